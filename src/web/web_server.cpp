#include "web/web_server.h"

#include <httplib.h>

#include <chrono>
#include <random>
#include <string_view>
#include <vector>

#include "app/owner/app.h"
#include "app/commands/active_mode.h"
#include "app/owner/result_views.h"
#include "web/page_text.h"
#include "web/results_json.h"
#include "web/web_assets.h"

namespace mizuto::web {
namespace {

constexpr std::string_view kRevisionZero = "{\"revision\":0";
// More than a browser ever sends.
constexpr std::size_t kMaxHeaders = 100;

// The page's styles and scripts come from the server alone; nothing inline runs.
constexpr const char* kPagePolicy =
    "default-src 'none'; script-src 'self'; style-src 'self'; connect-src 'self'; img-src 'self' data:; "
    "base-uri 'none'; form-action 'none'; frame-ancestors 'none'";

void Secure(httplib::Response& res) {
  res.set_header("X-Content-Type-Options", "nosniff");
  res.set_header("Cache-Control", "no-store");
  res.set_header("Referrer-Policy", "no-referrer");
}

void Reply(httplib::Response& res, int status, const std::string& text) {
  res.status = status;
  res.set_content(text + "\n", "text/plain; charset=utf-8");
}

// "CriticalView,SayView" -> the names.
std::vector<std::string> SplitNames(const std::string& list) {
  std::vector<std::string> names;
  std::size_t start = 0;
  while (start <= list.size()) {
    const std::size_t comma = std::min(list.find(',', start), list.size());
    if (comma > start) names.push_back(list.substr(start, comma - start));
    start = comma + 1;
  }
  return names;
}

// A decimal from 0 to `max`, or -1.
int SmallNumber(const std::string& text, int max) {
  if (text.empty() || text.size() > 7) return -1;
  int n = 0;
  for (const char c : text) {
    if (c < '0' || c > '9') return -1;
    n = n * 10 + (c - '0');
  }
  return n <= max ? n : -1;
}

bool SameToken(std::string_view a, std::string_view b) {
  // Compared in full whatever the first difference, so the time taken tells nothing.
  if (a.size() != b.size() || a.empty()) return false;
  unsigned char diff = 0;
  for (std::size_t i = 0; i < a.size(); ++i) diff |= static_cast<unsigned char>(a[i] ^ b[i]);
  return diff == 0;
}

}  // namespace

void SharedResults::Publish() {
  std::string body = ResultsJson(app_, 0, app_.Acts.ActiveMode.Checked);
  if (body == body_) return;
  body_ = std::move(body);
  ++revision_;
  json_ = "{\"revision\":" + std::to_string(revision_) + body_.substr(kRevisionZero.size());
  changed_.notify_all();
}

void SharedResults::Change(const std::function<void(App&)>& change) {
  std::lock_guard lock(mutex_);
  change(app_);
  Publish();
}

std::string SharedResults::Json(std::uint64_t* revision) {
  std::lock_guard lock(mutex_);
  if (json_.empty()) Publish();
  if (revision != nullptr) *revision = revision_;
  return json_;
}

void SharedResults::Read(const std::function<void(const App&)>& read) {
  std::lock_guard lock(mutex_);
  read(app_);
}

std::uint64_t SharedResults::WaitPast(std::uint64_t seen, int timeoutMs) {
  std::unique_lock lock(mutex_);
  changed_.wait_for(lock, std::chrono::milliseconds(timeoutMs), [&] { return closed_ || revision_ > seen; });
  return revision_;
}

void SharedResults::Close() {
  std::lock_guard lock(mutex_);
  closed_ = true;
  changed_.notify_all();
}

bool SharedResults::Closed() {
  std::lock_guard lock(mutex_);
  return closed_;
}

std::string NewToken() {
  std::random_device device;
  std::string token;
  for (int i = 0; i < 4; ++i) {
    char part[9];
    std::snprintf(part, sizeof part, "%08x", static_cast<unsigned>(device()));
    token += part;
  }
  return token;
}

WebServer::WebServer(SharedResults& results, std::string token, ServerLimits limits)
    : results_(results), token_(std::move(token)), limits_(limits), server_(std::make_unique<httplib::Server>()) {
  const int workers = limits_.Workers;
  server_->new_task_queue = [workers] { return new httplib::ThreadPool(static_cast<std::size_t>(workers)); };
  server_->set_payload_max_length(limits_.MaxBody);
  server_->set_read_timeout(limits_.ReadTimeoutS, 0);
  server_->set_write_timeout(limits_.ReadTimeoutS, 0);
  server_->set_keep_alive_timeout(2);
  server_->set_keep_alive_max_count(100);
  // The library's default lets a second socket bind the same port (SO_REUSEPORT): a second
  // Mizuto, or another program, would then share the player's port unseen, each answering
  // some of the requests. Only one listener may have it; a port still in TIME_WAIT may.
  server_->set_socket_options([](auto sock) {
    int yes = 1;
#ifdef _WIN32
    setsockopt(sock, SOL_SOCKET, SO_EXCLUSIVEADDRUSE, reinterpret_cast<const char*>(&yes), sizeof yes);
#else
    setsockopt(sock, SOL_SOCKET, SO_REUSEADDR, &yes, sizeof yes);
#endif
  });
  Route();
}

WebServer::~WebServer() { Stop(); }

bool WebServer::HostAllowed(const std::string& host) const {
  // A page of another site that a rebinding DNS name points at 127.0.0.1 still sends its
  // own name: only our loopback names with our port are ours.
  const std::string port = ":" + std::to_string(port_);
  return host == "127.0.0.1" + port || host == "localhost" + port;
}

void WebServer::Route() {
  Guard();
  RoutePages();
  RouteQuestions();
  RouteEvents();
  RouteChanges();
}

void WebServer::Guard() {
  httplib::Server& s = *server_;
  s.set_pre_routing_handler([this](const httplib::Request& req, httplib::Response& res) {
    Secure(res);
    // The library bounds each header line but not their number.
    if (req.headers.size() > kMaxHeaders) {
      Reply(res, 431, "too many header fields");
      return httplib::Server::HandlerResponse::Handled;
    }
    if (!HostAllowed(req.get_header_value("Host"))) {
      Reply(res, 421, "this server answers only 127.0.0.1:" + std::to_string(port_));
      return httplib::Server::HandlerResponse::Handled;
    }
    return httplib::Server::HandlerResponse::Unhandled;
  });
  s.set_error_handler([](const httplib::Request&, httplib::Response& res) {
    if (res.body.empty()) Reply(res, res.status, std::to_string(res.status));
  });
  s.set_exception_handler([](const httplib::Request&, httplib::Response& res, std::exception_ptr) {
    Reply(res, 500, "internal error");
  });
}

void WebServer::RoutePages() {
  httplib::Server& s = *server_;
  const auto page = [](httplib::Response& res, const std::string& html) {
    res.set_header("Content-Security-Policy", kPagePolicy);
    res.set_content(html, "text/html; charset=utf-8");
  };
  s.Get("/", [this, page](const httplib::Request&, httplib::Response& res) { page(res, ServedPage(token_, results_.Json(nullptr))); });
  // A streaming program's browser source shows the overlay on its own, never framed.
  s.Get("/overlay", [page](const httplib::Request&, httplib::Response& res) { page(res, OverlayPage()); });
  for (const EmbeddedFile& f : EmbeddedFiles()) {
    if (f.Name.ends_with(".html")) continue;  // the pages above, filled in
    const std::string name(f.Name);
    const std::string_view bytes = f.Bytes;
    s.Get("/" + name, [name, bytes](const httplib::Request&, httplib::Response& res) {
      res.set_content(bytes.data(), bytes.size(), MediaType(name));
    });
  }

  // Browsers ask for an icon on their own; the page has none.
  s.Get("/favicon.ico", [](const httplib::Request&, httplib::Response& res) { res.status = 204; });
}

void WebServer::RouteQuestions() {
  httplib::Server& s = *server_;
  s.Get("/api/results", [this](const httplib::Request&, httplib::Response& res) {
    res.set_content(results_.Json(nullptr), "application/json; charset=utf-8");
  });
  s.Get("/api/transcript", [this](const httplib::Request& req, httplib::Response& res) {
    const int battle = SmallNumber(req.get_param_value("battle"), 1 << 20);
    if (battle < 0) return Reply(res, 400, "battle takes a battle's number from 0");
    const std::vector<std::string> on = SplitNames(req.get_param_value("on"));
    std::string json;
    results_.Read([&](const App& app) { json = TranscriptJson(app, battle, on); });
    res.set_content(json, "application/json; charset=utf-8");
  });
}

void WebServer::RouteEvents() {
  httplib::Server& s = *server_;
  s.Get("/events", [this](const httplib::Request&, httplib::Response& res) {
    {
      std::lock_guard lock(streamsMutex_);
      if (streams_ >= limits_.EventStreams) return Reply(res, 503, "too many pages open");
      ++streams_;
    }
    auto seen = std::make_shared<std::uint64_t>(0);
    res.set_chunked_content_provider(
        "text/event-stream",
        [this, seen](std::size_t, httplib::DataSink& sink) {
          if (results_.Closed()) return false;
          std::uint64_t revision = 0;
          const std::string json = results_.Json(&revision);
          std::string event;
          if (revision != *seen) {
            *seen = revision;
            event = "event: results\ndata: " + json + "\n\n";
          } else {
            event = ": still here\n\n";  // a dropped page is found at the next write
          }
          if (!sink.write(event.data(), event.size())) return false;
          results_.WaitPast(*seen, 10000);
          return !results_.Closed();
        },
        [this](bool) {
          std::lock_guard lock(streamsMutex_);
          --streams_;
        });
  });
}

void WebServer::RouteChanges() {
  httplib::Server& s = *server_;
  // The changes: each needs the token the served page carries, and a page of another
  // origin cannot read it (nor send the header without the server's consent).
  const auto allowed = [this](const httplib::Request& req, httplib::Response& res) {
    if (!SameToken(req.get_header_value("X-Mizuto-Token"), token_)) {
      Reply(res, 403, "a change needs the page's token");
      return false;
    }
    return true;
  };
  s.Post("/api/active", [this, allowed](const httplib::Request& req, httplib::Response& res) {
    if (!allowed(req, res)) return;
    if (req.body != "on" && req.body != "off") return Reply(res, 400, "on or off");
    const bool on = req.body == "on";
    results_.Change([on](App& app) {
      if (app.Acts.ActiveMode.Checked == on) return;
      app.Acts.ActiveMode.Checked = on;
      ApplyActiveModeSwitch(app);
    });
    res.set_content(results_.Json(nullptr), "application/json; charset=utf-8");
  });
  s.Post("/api/sort", [this, allowed](const httplib::Request& req, httplib::Response& res) {
    if (!allowed(req, res)) return;
    const int column = SmallNumber(req.body, 1 << 16);
    bool known = false;
    results_.Read([&](const App& app) { known = column >= 0 && column < static_cast<int>(app.TallyTable.Columns.size()); });
    if (!known) return Reply(res, 400, "no such column");
    results_.Change([column](App& app) { SortTallyByColumn(app, column); });
    res.set_content(results_.Json(nullptr), "application/json; charset=utf-8");
  });
}

bool WebServer::Bind(int port, std::string* error) {
  if (port == 0) {
    port_ = server_->bind_to_any_port("127.0.0.1");
    if (port_ > 0) return true;
  } else if (server_->bind_to_port("127.0.0.1", port)) {
    port_ = port;
    return true;
  }
  *error = port == 0 ? std::string("no free port on 127.0.0.1")
                     : "port " + std::to_string(port) + " on 127.0.0.1 cannot be had (another program uses it?)";
  return false;
}

void WebServer::Start() {
  thread_ = std::thread([this] { server_->listen_after_bind(); });
}

void WebServer::Stop() {
  results_.Close();  // the event streams end
  if (server_) server_->stop();
  if (thread_.joinable()) thread_.join();
}

}  // namespace mizuto::web
