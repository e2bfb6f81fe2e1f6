// The page in a real browser (chromium, headless): the served page shows the log's battles
// and summary, follows the growing log without a reload and reports no error; the written
// file shows the same without any server; the overlay shows the sink counter.
#include <gtest/gtest.h>

#include <fcntl.h>
#include <spawn.h>
#include <sys/wait.h>

#include <regex>
#include <string>

#include "support/json_reader.h"
#include "web/served_log.h"

namespace mizuto::test {
namespace {

constexpr const char* kChromium = "/usr/bin/chromium";

// The DOM after the page's script ran. `waitMs`: keep the page open this long (0: until it
// has loaded).
std::string DumpDom(const std::string& url, int waitMs = 0) {
  TempDir profile;
  std::string command = std::string(kChromium) +
                        " --headless --no-sandbox --disable-gpu --disable-background-networking"
                        " --disable-component-update --disable-sync --no-first-run --user-data-dir=" +
                        profile.Path();
  if (waitMs > 0) command += " --timeout=" + std::to_string(waitMs);
  const Outcome outcome = RunCommand(command + " --dump-dom '" + url + "'");
  EXPECT_EQ(outcome.status, 0) << outcome.err.substr(0, 500);
  return outcome.out;
}

// How a text looks in the dumped DOM.
std::string Escaped(std::string text) {
  std::string out;
  for (const char c : text) {
    if (c == '&') out += "&amp;";
    else if (c == '<') out += "&lt;";
    else if (c == '>') out += "&gt;";
    else out += c;
  }
  return out;
}

std::vector<std::string> Rows(const std::string& dom) {
  std::vector<std::string> rows;
  const std::regex row(R"(<li class="(?:un)?counted(?: chosen)?" data-battle="\d+">([^<]*)</li>)");
  for (auto it = std::sregex_iterator(dom.begin(), dom.end(), row); it != std::sregex_iterator(); ++it) {
    rows.push_back((*it)[1]);
  }
  return rows;
}

std::string ElementText(const std::string& dom, const std::string& id) {
  std::smatch m;
  return std::regex_search(dom, m, std::regex("id=\"" + id + "\"[^>]*>([^<]*)<")) ? m[1].str() : "";
}

// A headless chromium driven over its debugging pipe: a page opened, expressions evaluated
// in it while it lives, and every error it reports (an exception, a refused resource, a
// console error) kept.
class Browser {
 public:
  Browser() {
    int toBrowser[2], fromBrowser[2];
    if (::pipe(toBrowser) != 0 || ::pipe(fromBrowser) != 0) return;
    posix_spawn_file_actions_t files;
    posix_spawn_file_actions_init(&files);
    posix_spawn_file_actions_adddup2(&files, toBrowser[0], 3);
    posix_spawn_file_actions_adddup2(&files, fromBrowser[1], 4);
    posix_spawn_file_actions_addopen(&files, 1, "/dev/null", O_WRONLY, 0);
    posix_spawn_file_actions_addopen(&files, 2, "/dev/null", O_WRONLY, 0);
    Strings args{kChromium, "--headless", "--no-sandbox", "--disable-gpu", "--disable-background-networking",
                 "--disable-component-update", "--disable-sync", "--no-first-run",
                 "--user-data-dir=" + profile_.Path(), "--remote-debugging-pipe", "about:blank"};
    std::vector<char*> argv;
    for (std::string& a : args) argv.push_back(a.data());
    argv.push_back(nullptr);
    if (posix_spawn(&pid_, kChromium, &files, nullptr, argv.data(), environ) != 0) pid_ = -1;
    posix_spawn_file_actions_destroy(&files);
    ::close(toBrowser[0]);
    ::close(fromBrowser[1]);
    out_ = toBrowser[1];
    in_ = fromBrowser[0];
  }
  ~Browser() {
    if (out_ >= 0) ::close(out_);
    if (in_ >= 0) ::close(in_);
    if (pid_ > 0) {
      ::kill(pid_, SIGTERM);
      ::waitpid(pid_, nullptr, 0);
    }
  }

  // Opens `url` in a new page; false when the browser does not answer.
  bool Open(const std::string& url) {
    const Json target = Call("Target.createTarget", R"({"url":")" + url + R"("})");
    if (target.Type != Json::Kind::Object) return false;
    const Json attached = Call("Target.attachToTarget",
                               R"({"targetId":")" + target["targetId"].Text + R"(","flatten":true})");
    if (attached.Type != Json::Kind::Object) return false;
    session_ = attached["sessionId"].Text;
    Call("Runtime.enable", "{}");
    Call("Log.enable", "{}");
    return true;
  }
  // The value of `expression` in the page, as a string ("" when it throws).
  std::string Evaluate(const std::string& expression) {
    std::string quoted = "\"String(";
    for (const char c : expression) {
      if (c == '"' || c == '\\') quoted += '\\';
      quoted += c;
    }
    quoted += ")\"";
    const Json result = Call("Runtime.evaluate", R"({"returnByValue":true,"expression":)" + quoted + "}");
    if (result.Type != Json::Kind::Object || result.Fields.count("exceptionDetails")) return "";
    return result["result"]["value"].Text;
  }
  const Strings& Errors() const { return errors_; }

 private:
  // Sends one command and waits for its answer's result (null on an error or no answer),
  // keeping the events that say something went wrong.
  Json Call(const std::string& method, const std::string& params) {
    const int id = ++lastId_;
    std::string message = R"({"id":)" + std::to_string(id) + R"(,"method":")" + method + R"(","params":)" + params;
    if (!session_.empty()) message += R"(,"sessionId":")" + session_ + "\"";
    message += '}';
    message += '\0';
    if (::write(out_, message.data(), message.size()) != static_cast<ssize_t>(message.size())) return {};
    const auto end = std::chrono::steady_clock::now() + std::chrono::seconds(30);
    while (std::chrono::steady_clock::now() < end) {
      std::size_t zero;
      while ((zero = buffer_.find('\0')) == std::string::npos) {
        pollfd p{in_, POLLIN, 0};
        if (::poll(&p, 1, 200) <= 0) {
          if (std::chrono::steady_clock::now() >= end) return {};
          continue;
        }
        char chunk[65536];
        const ssize_t n = ::read(in_, chunk, sizeof chunk);
        if (n <= 0) return {};
        buffer_.append(chunk, static_cast<std::size_t>(n));
      }
      const Json got = JsonReader::Read(std::string_view(buffer_).substr(0, zero));
      buffer_.erase(0, zero + 1);
      Keep(got);
      if (got.Fields.count("id") && got["id"].Number == id) {
        return got.Fields.count("result") ? got["result"] : Json{};
      }
    }
    return {};
  }
  void Keep(const Json& event) {
    if (!event.Fields.count("method")) return;
    const std::string& method = event["method"].Text;
    if (method == "Runtime.exceptionThrown") {
      errors_.push_back("exception: " + event["params"]["exceptionDetails"]["text"].Text);
    } else if (method == "Log.entryAdded" && event["params"]["entry"]["level"].Text == "error") {
      const Json& entry = event["params"]["entry"];
      errors_.push_back("log: " + entry["text"].Text + (entry.Fields.count("url") ? " " + entry["url"].Text : ""));
    } else if (method == "Runtime.consoleAPICalled" && event["params"]["type"].Text == "error") {
      errors_.push_back("console.error");
    }
  }

  TempDir profile_;
  pid_t pid_ = -1;
  int out_ = -1, in_ = -1;
  int lastId_ = 0;
  std::string session_;
  std::string buffer_;
  Strings errors_;
};

TEST(BrowserPage, TheServedPageFollowsTheGrowingLogWithoutAReload) {
  ServedLog served({"--active"});
  const ReportedLog half = ReportOf(served.Log, served.dir, true);
  const ReportedLog whole = ReportOf(served.WholeLog(), served.dir, true);
  ASSERT_LT(half.Battles.size(), whole.Battles.size());
  Browser browser;
  ASSERT_TRUE(browser.Open(served.Url("/")));
  const auto shown = [&] { return browser.Evaluate("document.querySelectorAll('#battleList li').length"); };
  ASSERT_TRUE(WaitUntil([&] { return shown() == std::to_string(half.Battles.size()); })) << shown();
  EXPECT_EQ(browser.Evaluate("document.getElementById('summary').textContent"), half.Summary);
  // The page marks itself; a reload would lose the mark.
  browser.Evaluate("window.notReloaded = 'yes'");
  served.Grow();
  ASSERT_TRUE(WaitUntil([&] { return shown() == std::to_string(whole.Battles.size()); })) << shown();
  EXPECT_TRUE(WaitUntil([&] { return browser.Evaluate("document.getElementById('summary').textContent") == whole.Summary; }));
  EXPECT_EQ(browser.Evaluate("document.getElementById('counter').textContent"), whole.Counter);
  EXPECT_EQ(browser.Evaluate("window.notReloaded"), "yes");
  // A battle clicked shows its transcript, asked of the server with the switches on.
  browser.Evaluate("document.querySelector('#battleList li').click()");
  EXPECT_TRUE(WaitUntil([&] { return browser.Evaluate("document.querySelectorAll('#battleTranscript div').length") != "0"; }));
  // The header's click sorts by the program's rules, with the page's token.
  browser.Evaluate("document.querySelectorAll('#tallyTable th')[1].click()");
  EXPECT_TRUE(WaitUntil([&] { return browser.Evaluate("document.querySelector('#tallyTable th.sorted') !== null") == "true"; }));
  EXPECT_EQ(browser.Errors(), Strings{});
}

TEST(BrowserPage, TheWrittenFileShowsTheReportWithoutAServer) {
  ServedLog served;
  const ReportedLog reported = ReportOf(served.Log, served.dir, false);
  const std::string file = served.dir.File("shared page.html");
  Program html({"--report", "--html", file, "--program-dir", served.dir.Path(), served.Log}, served.dir, "html");
  ASSERT_EQ(html.Stop(), 0) << html.Err();
  const std::string written = ReadBytes(file);
  // Nothing in it asks for anything from elsewhere.
  EXPECT_EQ(written.find("src=\"http"), std::string::npos);
  EXPECT_EQ(written.find("href=\"http"), std::string::npos);
  EXPECT_EQ(written.find("src=\"/"), std::string::npos);

  const std::string page = DumpDom("file://" + file);
  std::vector<std::string> expected;
  for (const std::string& label : reported.Battles) expected.push_back(Escaped(label));
  EXPECT_EQ(Rows(page), expected);
  EXPECT_EQ(ElementText(page, "summary"), Escaped(reported.Summary));
  // The chosen battle's transcript came from the file too.
  EXPECT_NE(page.find("id=\"battleTranscript\" class=\"transcript\"><div"), std::string::npos);
}

TEST(BrowserPage, TheOverlayShowsTheSinkCounter) {
  ServedLog served({"--active"});
  const ReportedLog reported = ReportOf(served.Log, served.dir, true);
  ASSERT_FALSE(reported.Counter.empty());
  const std::string overlay = DumpDom(served.Url("/overlay?size=120&color=%23ff0000"), 6000);
  EXPECT_EQ(ElementText(overlay, "scoreLabel"), Escaped(reported.Counter));
  EXPECT_NE(overlay.find("font-size: 120px"), std::string::npos);
}

}  // namespace
}  // namespace mizuto::test
