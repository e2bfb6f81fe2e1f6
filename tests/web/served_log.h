// What the tests of the browser view share: a generated log served by `mizuto --serve` in the
// background, the report of the same log to compare with, and plain HTTP over a socket
// (hostile requests are sent byte for byte, as no client library would send them).
#pragma once

#include <gtest/gtest.h>

#include <arpa/inet.h>
#include <netinet/in.h>
#include <poll.h>
#include <sys/socket.h>
#include <unistd.h>

#include <chrono>
#include <memory>
#include <regex>
#include <string>

#include "support/background_program.h"
#include "support/test_support.h"

namespace mizuto::test {

// The report's sections of a log, as `mizuto --report` prints them.
struct ReportedLog {
  Strings Battles;
  std::string Summary;
  std::string Counter;
};

inline ReportedLog ReportOf(const std::string& log, const TempDir& dir, bool active) {
  Strings args{"--report", "--program-dir", dir.Path(), log};
  if (active) args.insert(args.begin() + 1, "--active");
  Program report(args, dir, "report");
  EXPECT_EQ(report.Stop(), 0) << report.Err();
  ReportedLog reported;
  std::string section;
  for (const std::string& line : Lines(report.Out())) {
    if (std::regex_match(line, std::regex(R"(\[[a-z-]+\])"))) {
      section = line;
    } else if (section == "[battles]") {
      reported.Battles.push_back(line);
    } else if (section == "[summary]") {
      reported.Summary = line;
    } else if (section == "[sink-counter]") {
      reported.Counter = line;
    }
  }
  return reported;
}

// A log made by the generator, served from its first half; Grow() appends the rest, as the
// game writes on.
class ServedLog {
 public:
  explicit ServedLog(Strings serveOptions = {}, unsigned seed = 31, int battles = 8) {
    const std::string full = dir.File("full.html");
    const std::string command = std::string(MIZUTO_LOGGEN) + " --seed " + std::to_string(seed) + " --battles " +
                                std::to_string(battles) + " --players 12 --out " + full + " --program-dir " +
                                dir.Path();
    EXPECT_EQ(RunCommand(command).status, 0);
    whole_ = ReadBytes(full);
    // Cut at a line's end near the middle: the first half holds some of the battles.
    cut_ = whole_.find("\r\n", whole_.size() / 2);
    cut_ = cut_ == std::string::npos ? whole_.size() : cut_ + 2;
    Log = dir.File("log.html");
    WriteBytes(Log, whole_.substr(0, cut_));
    serveOptions.insert(serveOptions.begin(), {"--serve", "--port", "0", "--program-dir", dir.Path()});
    serveOptions.push_back(Log);
    server_ = std::make_unique<Program>(serveOptions, dir, "serve");
    EXPECT_TRUE(WaitUntil([&] { return Lines(server_->Out()).size() >= 2; })) << server_->Err();
    const Strings printed = Lines(server_->Out());
    std::smatch m;
    if (!printed.empty() && std::regex_match(printed[0], m, std::regex(R"(http://127\.0\.0\.1:(\d+)/)"))) {
      Port = std::stoi(m[1]);
    }
    EXPECT_GT(Port, 0) << server_->Out() << server_->Err();
  }
  ~ServedLog() {
    if (server_) {
      EXPECT_EQ(server_->Stop(SIGTERM), 0) << server_->Err();
    }
  }

  void Grow() { AppendBytes(Log, whole_.substr(cut_)); }
  // The whole log (what the served one becomes after Grow) in a file of its own.
  std::string WholeLog() {
    const std::string path = dir.File("whole.html");
    WriteBytes(path, whole_);
    return path;
  }
  std::string Host() const { return "127.0.0.1:" + std::to_string(Port); }
  std::string Url(const std::string& path) const { return "http://" + Host() + path; }

  TempDir dir;
  std::string Log;
  int Port = 0;

 private:
  std::string whole_;
  std::size_t cut_ = 0;
  std::unique_ptr<Program> server_;
};

// A connection to 127.0.0.1:port; -1 when it cannot be made.
inline int Connect(int port) {
  const int fd = ::socket(AF_INET, SOCK_STREAM, 0);
  sockaddr_in address{};
  address.sin_family = AF_INET;
  address.sin_port = htons(static_cast<std::uint16_t>(port));
  address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
  if (::connect(fd, reinterpret_cast<sockaddr*>(&address), sizeof address) != 0) {
    ::close(fd);
    return -1;
  }
  return fd;
}

// Reads what arrives until the peer closes, `until` is met, or 20 s pass.
inline std::string Receive(int fd, const std::function<bool(const std::string&)>& until = nullptr) {
  std::string got;
  const auto end = std::chrono::steady_clock::now() + std::chrono::seconds(20);
  while (std::chrono::steady_clock::now() < end) {
    pollfd p{fd, POLLIN, 0};
    if (::poll(&p, 1, 100) <= 0) continue;
    char buffer[65536];
    const ssize_t n = ::recv(fd, buffer, sizeof buffer, 0);
    if (n <= 0) break;
    got.append(buffer, static_cast<std::size_t>(n));
    if (until && until(got)) break;
  }
  return got;
}

// Sends `request` as it is (a peer that stops reading cuts it short) and returns the answer.
inline std::string Exchange(int port, const std::string& request) {
  const int fd = Connect(port);
  if (fd < 0) return "";
  for (std::size_t sent = 0; sent < request.size();) {
    const ssize_t n = ::send(fd, request.data() + sent, request.size() - sent, MSG_NOSIGNAL);
    if (n <= 0) break;
    sent += static_cast<std::size_t>(n);
  }
  const std::string answer = Receive(fd, [](const std::string& got) {
    // One whole answer with its body, or its head when it has no length.
    const std::size_t head = got.find("\r\n\r\n");
    if (head == std::string::npos) return false;
    std::smatch m;
    const std::string header = got.substr(0, head);
    if (!std::regex_search(header, m, std::regex(R"(Content-Length: (\d+))", std::regex::icase))) return true;
    return got.size() >= head + 4 + std::stoul(m[1]);
  });
  ::close(fd);
  return answer;
}

// The status of an answer ("HTTP/1.1 404 Not Found" -> 404); 0 for none.
inline int Status(const std::string& answer) {
  std::smatch m;
  return std::regex_search(answer, m, std::regex(R"(^HTTP/1\.[01] (\d{3}))")) ? std::stoi(m[1]) : 0;
}

inline std::string Body(const std::string& answer) {
  const std::size_t head = answer.find("\r\n\r\n");
  return head == std::string::npos ? std::string() : answer.substr(head + 4);
}

inline std::string Get(int port, const std::string& path, const std::string& host) {
  return Exchange(port, "GET " + path + " HTTP/1.1\r\nHost: " + host + "\r\nConnection: close\r\n\r\n");
}

}  // namespace mizuto::test
