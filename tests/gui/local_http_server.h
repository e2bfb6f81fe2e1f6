// A minimal HTTP server on 127.0.0.1, on a thread, with plain sockets: the version check
// is tested against it, never against the network.
#pragma once

#include <QString>
#include <QUrl>

#include <arpa/inet.h>
#include <netinet/in.h>
#include <poll.h>
#include <sys/socket.h>
#include <unistd.h>

#include <atomic>
#include <chrono>
#include <mutex>
#include <string>
#include <thread>

#include <gtest/gtest.h>

namespace mizuto::test {

class LocalHttpServer {
 public:
  // `reply` is sent whole (status line, headers, body) after the request's header; an
  // empty `reply` means the server accepts, reads and never answers. A `held` server
  // answers only once Release() is called: a test sees what the program does meanwhile.
  explicit LocalHttpServer(std::string reply, bool held = false)
      : reply_(std::move(reply)), held_(held) {
    listener_ = ::socket(AF_INET, SOCK_STREAM, 0);
    sockaddr_in address{};
    address.sin_family = AF_INET;
    address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    address.sin_port = 0;
    const bool ok =
        listener_ >= 0 &&
        ::bind(listener_, reinterpret_cast<sockaddr*>(&address), sizeof address) == 0 &&
        ::listen(listener_, 4) == 0;
    EXPECT_TRUE(ok) << "cannot listen on 127.0.0.1";
    socklen_t length = sizeof address;
    ::getsockname(listener_, reinterpret_cast<sockaddr*>(&address), &length);
    port_ = ntohs(address.sin_port);
    thread_ = std::thread([this] { Serve(); });
  }
  ~LocalHttpServer() {
    stop_ = true;
    thread_.join();
    ::close(listener_);
  }

  int Port() const { return port_; }
  void Release() { held_ = false; }
  QUrl Url(const QString& path = QStringLiteral("/files/Ver_Mizuto.php")) const {
    return QUrl(QStringLiteral("http://127.0.0.1:%1%2").arg(port_).arg(path));
  }
  std::string FirstRequest() const {
    std::lock_guard<std::mutex> lock(mutex_);
    return firstRequest_;
  }

 private:
  bool WaitReadable(int fd) {
    pollfd p{fd, POLLIN, 0};
    while (!stop_) {
      if (::poll(&p, 1, 20) > 0) return true;
    }
    return false;
  }

  void Serve() {
    while (WaitReadable(listener_)) {
      const int client = ::accept(listener_, nullptr, nullptr);
      if (client < 0) continue;
      std::string request;
      char buffer[1024];
      while (request.find("\r\n\r\n") == std::string::npos && WaitReadable(client)) {
        const ssize_t n = ::recv(client, buffer, sizeof buffer, 0);
        if (n <= 0) break;
        request.append(buffer, static_cast<std::size_t>(n));
      }
      {
        std::lock_guard<std::mutex> lock(mutex_);
        if (firstRequest_.empty()) firstRequest_ = request;
      }
      while (held_ && !stop_) std::this_thread::sleep_for(std::chrono::milliseconds(5));
      if (reply_.empty()) {
        // Hold the connection open without a word until the test ends.
        while (WaitReadable(client)) {
          if (::recv(client, buffer, sizeof buffer, 0) <= 0) break;
        }
      } else {
        std::size_t sent = 0;
        while (sent < reply_.size()) {
          const ssize_t n =
              ::send(client, reply_.data() + sent, reply_.size() - sent, MSG_NOSIGNAL);
          if (n <= 0) break;
          sent += static_cast<std::size_t>(n);
        }
      }
      ::close(client);
    }
  }

  std::string reply_;
  int listener_ = -1;
  int port_ = 0;
  std::atomic<bool> stop_{false};
  std::atomic<bool> held_;
  std::thread thread_;
  mutable std::mutex mutex_;
  std::string firstRequest_;
};

inline std::string HttpReply(const std::string& body, const std::string& status = "200 OK",
                      const std::string& contentType = "text/html") {
  return "HTTP/1.0 " + status + "\r\nContent-Type: " + contentType +
         "\r\nContent-Length: " + std::to_string(body.size()) +
         "\r\nConnection: close\r\n\r\n" + body;
}

// A port on 127.0.0.1 that nothing listens on: bound once, then closed.
inline int ClosedPort() {
  const int fd = ::socket(AF_INET, SOCK_STREAM, 0);
  sockaddr_in address{};
  address.sin_family = AF_INET;
  address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
  ::bind(fd, reinterpret_cast<sockaddr*>(&address), sizeof address);
  socklen_t length = sizeof address;
  ::getsockname(fd, reinterpret_cast<sockaddr*>(&address), &length);
  ::close(fd);
  return ntohs(address.sin_port);
}

}  // namespace mizuto::test
