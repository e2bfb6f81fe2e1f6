#include "web/serve_command.h"

#include "app/commands/active_mode.h"
#include "app/owner/app.h"
#include "app/owner/load_driver.h"
#include "app/commands/main_commands.h"
#include "app/owner/result_views.h"
#include "app/commands/start_up.h"
#include "platform/platform.h"
#include "text/codec.h"
#include "text/sjis.h"
#include "web/page_text.h"
#include "web/results_json.h"
#include "web/web_server.h"

namespace mizuto::web {
namespace {

// The first load: the named log, or the newest log of the log folder; in active mode
// followed from there as the window's switch starts it.
void LoadFirst(App& app, const ServeOptions& options) {
  app.Acts.ActiveMode.Checked = options.Active;
  if (options.LogPath.empty()) {
    LoadNewestLog(app);
  } else {
    app.CurrentLogPath = options.LogPath;
    LoadAndAnalyse(app);
  }
  if (options.Active) ApplyActiveModeSwitch(app);
  if (app.LogUnrecognised) app.AppendError(UnrecognisedLogHint());
}

// One tick of active mode: the log followed on, or, while none was found, the log folder
// searched again for one.
void Tick(App& app) {
  if (!app.Acts.ActiveMode.Checked) return;
  if (app.CurrentLogPath.empty()) {
    if (LoadNewestLog(app)) ApplyActiveModeSwitch(app);
    return;
  }
  if (app.TimerRunning) TickFollowedLog(app);
}

}  // namespace

int RunServe(const ServeOptions& options, std::ostream& out, std::ostream& err) {
  // Listening starts before the load, so a stop asked for during a long one still ends
  // the server cleanly.
  platform::ListenForStopRequests();
  App app;
  app.ProgramDir = options.ProgramDir;
  StartUp(app);
  app.History.Enable(!options.NoHistory);
  app.History.RunBeside(true);
  SharedResults results(app);
  WebServer server(results, NewToken());
  std::string error;
  if (!server.Bind(options.Port, &error)) {
    err << "mizuto: " << error << "; choose another with --port N\n";
    return kPortUnavailableStatus;
  }
  results.Change([&options](App& a) { LoadFirst(a, options); });
  server.Start();
  const std::string address = "http://127.0.0.1:" + std::to_string(server.Port()) + "/";
  out << address << '\n' << address << "overlay\n";
  out.flush();

  int interval = 0;
  while (!platform::StopRequested()) {
    results.Read([&interval](const App& a) { interval = a.TimerIntervalMs; });
    platform::SleepUnlessStopped(interval);
    if (platform::StopRequested()) break;
    results.Change(Tick);
  }
  server.Stop();
  // What the history still owes is written before the end.
  results.Change([](App& a) { a.History.Finish(a); });
  return 0;
}

int RunHtmlReport(const ReportOptions& options, std::ostream& err) {
  App app;
  if (!LoadForReport(options, app, err)) return 1;
  const std::string page = SelfContainedPage(ResultsJson(app, 1, false), AllTranscriptsJson(app));
  std::string error;
  if (!platform::ReplaceFile(options.HtmlFile, page, &error)) {
    err << "mizuto: the page could not be written (" << error << ")\n";
    return kOutputFailedStatus;
  }
  return 0;
}

}  // namespace mizuto::web
