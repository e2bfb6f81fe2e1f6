// A program run in the background by a test, its output going to files, and waiting for
// what it prints: for the tests that follow a log or write the history from two programs.
#pragma once

#include <gtest/gtest.h>

#ifndef _WIN32
#include <fcntl.h>
#include <signal.h>
#include <spawn.h>
#include <sys/wait.h>
#endif

#include <chrono>
#include <functional>
#include <string>
#include <thread>
#include <vector>

#include "support/test_support.h"
#ifdef _WIN32
// Stop requests reach a Windows program as console control events, which a test cannot send
// to one child of its own alone: the cases that stop the follower are POSIX's.
#define SKIP_WITHOUT_STOP_SIGNALS() GTEST_SKIP() << "stop requests are signals only on POSIX"
constexpr int SIGKILL = 9;
#else
#define SKIP_WITHOUT_STOP_SIGNALS() (void)0
extern char** environ;
#endif

namespace mizuto::test {

using Strings = std::vector<std::string>;

// Only guards against a follower that never gets there; no result depends on it.
inline bool WaitUntil(const std::function<bool()>& condition) {
  const auto end = std::chrono::steady_clock::now() + std::chrono::seconds(30);
  while (!condition()) {
    if (std::chrono::steady_clock::now() > end) return false;
    std::this_thread::sleep_for(std::chrono::milliseconds(5));
  }
  return true;
}

inline Strings Lines(const std::string& text) {  // complete lines only
  Strings lines;
  for (std::size_t start = 0, nl; (nl = text.find('\n', start)) != std::string::npos; start = nl + 1) {
    lines.push_back(text.substr(start, nl - start));
  }
  return lines;
}

// The program running in the background, its output going to files in `dir`.
#ifdef _WIN32
class Program {
 public:
  Program(const Strings& args, const test::TempDir& dir, const std::string& name)
      : out_(dir.File(name + ".out")), err_(dir.File(name + ".err")) {
    std::string line;
    for (const std::string& a : args) line += (line.empty() ? "\"" : " \"") + a + "\"";
    process_ = test::StartProgram(MIZUTO_EXE, line, out_, err_);
  }
  ~Program() {
    if (process_) Stop(SIGKILL);
  }
  // Messages keep Windows' line ends; the tests look for the text.
  std::string Out() const { return test::ReadBytes(out_); }
  std::string Err() const {
    std::string text = test::ReadBytes(err_);
    std::erase(text, '\r');
    return text;
  }
  // The exit status (0: wait for the end; SIGKILL: end it first, -1).
  int Stop(int signal = 0) {
    if (!process_) return -2;
    const int status = test::WaitForProgram(process_, signal == SIGKILL);
    process_ = nullptr;
    return status;
  }

 private:
  std::string out_, err_;
  void* process_ = nullptr;
};
#else
class Program {
 public:
  Program(Strings args, const test::TempDir& dir, const std::string& name)
      : out_(dir.File(name + ".out")), err_(dir.File(name + ".err")) {
    args.insert(args.begin(), MIZUTO_EXE);
    std::vector<char*> argv;
    for (std::string& a : args) argv.push_back(a.data());
    argv.push_back(nullptr);
    posix_spawn_file_actions_t files;
    posix_spawn_file_actions_init(&files);
    posix_spawn_file_actions_addopen(&files, 1, out_.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0644);
    posix_spawn_file_actions_addopen(&files, 2, err_.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0644);
    if (posix_spawn(&pid_, MIZUTO_EXE, &files, nullptr, argv.data(), environ) != 0) pid_ = -1;
    posix_spawn_file_actions_destroy(&files);
  }
  ~Program() {
    if (pid_ > 0) Stop(SIGKILL);
  }
  std::string Out() const { return test::ReadBytes(out_); }
  std::string Err() const { return test::ReadBytes(err_); }
  // The exit status after `signal` (0: none, wait for the end), -1 when the signal killed it.
  int Stop(int signal = 0) {
    if (pid_ <= 0) return -2;
    if (signal != 0) ::kill(pid_, signal);
    int raw = 0;
    ::waitpid(pid_, &raw, 0);
    pid_ = -1;
    return WIFEXITED(raw) ? WEXITSTATUS(raw) : -1;
  }

 private:
  std::string out_, err_;
  pid_t pid_ = -1;
};
#endif

}  // namespace mizuto::test
