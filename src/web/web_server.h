// The loopback HTTP server of the browser view. It serves the embedded page, the overlay and
// the JSON of one App, and pushes each change to the open pages as Server-Sent Events. It is
// a door into the player's machine all the same: it answers only requests addressed to its
// own loopback name and port, serves nothing from disk, limits what a request may carry and
// how many threads it uses, and takes a change only with the run's token.
#pragma once

#include <condition_variable>
#include <cstdint>
#include <functional>
#include <memory>
#include <mutex>
#include <string>
#include <thread>

namespace httplib {
class Server;
}

namespace mizuto {
struct App;
}

namespace mizuto::web {

// The App the server shows, and the lock that every reader and writer of it takes: the
// server's threads read it, the ticks and the page's commands change it.
class SharedResults {
 public:
  explicit SharedResults(App& app) : app_(app) {}

  // Runs `change` on the App under the lock, then tells the waiting pages if what they
  // show changed.
  void Change(const std::function<void(App&)>& change);
  // The page's JSON now, and its revision.
  std::string Json(std::uint64_t* revision);
  // Runs `read` under the lock.
  void Read(const std::function<void(const App&)>& read);
  // Waits until the revision passes `seen`, a stop, or `timeoutMs`; the revision now.
  std::uint64_t WaitPast(std::uint64_t seen, int timeoutMs);
  // Wakes every waiter for good (the server is stopping).
  void Close();
  bool Closed();
 private:
  void Publish();  // under mutex_

  App& app_;
  std::mutex mutex_;
  std::condition_variable changed_;
  std::uint64_t revision_ = 1;
  std::string body_;  // the last JSON published, its revision 0; empty before the first
  std::string json_;  // the same with its revision
  bool closed_ = false;
};

struct ServerLimits {
  int Workers = 24;        // threads, one per open connection
  int EventStreams = 8;    // open /events streams at once (each holds a worker)
  int ReadTimeoutS = 5;    // a client that sends nothing for this long is dropped
  std::size_t MaxBody = 4096;
};

class WebServer {
 public:
  WebServer(SharedResults& results, std::string token, ServerLimits limits = {});
  ~WebServer();
  WebServer(const WebServer&) = delete;
  WebServer& operator=(const WebServer&) = delete;

  // Binds 127.0.0.1:port (0: any free port). False with `error` set when the port cannot be
  // had (in use, not permitted).
  bool Bind(int port, std::string* error);
  int Port() const { return port_; }
  // Serves on a thread of its own until Stop.
  void Start();
  void Stop();

 private:
  void Route();
  // The routes, by what they do: the checks before every request, the pages and their
  // files, the questions, the live pushes, the changes (each needing the page's token).
  void Guard();
  void RoutePages();
  void RouteQuestions();
  void RouteEvents();
  void RouteChanges();
  bool HostAllowed(const std::string& host) const;

  SharedResults& results_;
  std::string token_;
  ServerLimits limits_;
  std::unique_ptr<httplib::Server> server_;
  std::thread thread_;
  int port_ = 0;
  std::mutex streamsMutex_;
  int streams_ = 0;
};

// A new token: 128 random bits in hex.
std::string NewToken();

}  // namespace mizuto::web
