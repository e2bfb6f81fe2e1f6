// `mizuto --serve` from outside, over real connections on 127.0.0.1: it serves the report's
// results, answers only its own Host, lets no path reach the disk, refuses oversized
// requests and keeps serving, serves one client while others hold their connections, takes a
// change only with the page's token, pushes the growing log to an open page, and says so
// when its port is taken.
#include <gtest/gtest.h>

#include <regex>
#include <string>
#include <vector>

#include "support/json_reader.h"
#include "web/served_log.h"

namespace mizuto::test {
namespace {

Json ResultsOf(const std::string& answer) { return JsonReader::Read(Body(answer)); }

Strings Labels(const Json& results) {
  Strings labels;
  for (const Json& b : results["battles"].Items) labels.push_back(b["label"].Text);
  return labels;
}

std::string TokenOf(const ServedLog& served) {
  const std::string page = Body(Get(served.Port, "/", served.Host()));
  std::smatch m;
  return std::regex_search(page, m, std::regex(R"re(<meta name="mizuto-token" content="([0-9a-f]+)">)re")) ? m[1].str()
                                                                                                       : "";
}

std::string Post(const ServedLog& served, const std::string& path, const std::string& token, const std::string& body) {
  std::string request = "POST " + path + " HTTP/1.1\r\nHost: " + served.Host() + "\r\nConnection: close\r\n";
  if (!token.empty()) request += "X-Mizuto-Token: " + token + "\r\n";
  request += "Content-Type: text/plain\r\nContent-Length: " + std::to_string(body.size()) + "\r\n\r\n" + body;
  return Exchange(served.Port, request);
}

TEST(WebServer, ServesTheResultsTheReportPrints) {
  ServedLog served;
  const ReportedLog reported = ReportOf(served.Log, served.dir, false);
  const std::string answer = Get(served.Port, "/api/results", served.Host());
  ASSERT_EQ(Status(answer), 200) << answer;
  const Json results = ResultsOf(answer);
  EXPECT_FALSE(reported.Battles.empty());
  EXPECT_EQ(Labels(results), reported.Battles);
  EXPECT_EQ(results["summary"].Text, reported.Summary);
  // The page and its files are served as what they are.
  for (const auto& [path, type] : {std::pair{"/", "text/html"}, std::pair{"/overlay", "text/html"},
                                   std::pair{"/page.js", "text/javascript"}, std::pair{"/page.css", "text/css"},
                                   std::pair{"/chart.min.js", "text/javascript"}}) {
    const std::string got = Get(served.Port, path, served.Host());
    EXPECT_EQ(Status(got), 200) << path;
    EXPECT_NE(got.find("Content-Type: " + std::string(type)), std::string::npos) << path;
    EXPECT_NE(got.find("X-Content-Type-Options: nosniff"), std::string::npos) << path;
  }
}

TEST(WebServer, AnswersOnlyItsOwnHost) {
  ServedLog served;
  const std::string port = std::to_string(served.Port);
  const std::string other = std::to_string(served.Port == 65535 ? 1 : served.Port + 1);
  const struct {
    std::string host;
    int status;
  } cases[] = {
      {"127.0.0.1:" + port, 200},
      {"localhost:" + port, 200},
      // A name that a rebinding DNS answer points at 127.0.0.1.
      {"attacker.example:" + port, 421},
      {"attacker.example", 421},
      {"127.0.0.1", 421},
      {"127.0.0.1:" + other, 421},
      {"localhost.attacker.example:" + port, 421},
      {"127.0.0.1:" + port + ".attacker.example", 421},
      {"", 421},
  };
  for (const auto& c : cases) {
    for (const char* path : {"/", "/api/results", "/events"}) {
      std::string request = std::string("GET ") + path + " HTTP/1.1\r\n";
      if (!c.host.empty()) request += "Host: " + c.host + "\r\n";
      request += "Connection: close\r\n\r\n";
      if (c.status == 200 && std::string(path) == "/events") {
        const int fd = Connect(served.Port);
        ASSERT_GT(::send(fd, request.data(), request.size(), MSG_NOSIGNAL), 0);
        const auto event = [](const std::string& got) { return got.find("event: results") != std::string::npos; };
        EXPECT_TRUE(event(Receive(fd, event))) << c.host;
        ::close(fd);
      } else {
        const std::string answer = Exchange(served.Port, request);
        EXPECT_EQ(Status(answer), c.status) << c.host << " " << path;
      }
    }
  }
}

TEST(WebServer, NoPathReachesTheDisk) {
  ServedLog served;
  // A file beside the log, and the system's: neither may come back, however the path is
  // spelt.
  WriteBytes(served.dir.File("secret.txt"), "SECRET-BYTES");
  const char* paths[] = {
      "/../../../../etc/passwd",
      "/%2e%2e/%2e%2e/%2e%2e/etc/passwd",
      "/%2E%2E%2F%2E%2E%2Fetc%2Fpasswd",
      "/..%2f..%2f..%2fetc%2fpasswd",
      "/page.js/../../secret.txt",
      "/./page.js",
      "//etc/passwd",
      "/secret.txt",
      "/log.html",
      "/Mizuto.ini",
      "/PAGE.JS",
      "/page.js%00.html",
      "/api/../secret.txt",
      "/src/web/page/page.js",
      "/page.html",
      "/overlay.html",
  };
  for (const char* path : paths) {
    const std::string answer = Get(served.Port, path, served.Host());
    EXPECT_TRUE(Status(answer) == 404 || Status(answer) == 400) << path << "\n" << answer.substr(0, 200);
    EXPECT_EQ(answer.find("SECRET-BYTES"), std::string::npos) << path;
    EXPECT_EQ(answer.find("root:"), std::string::npos) << path;
  }
}

TEST(WebServer, OversizedAndMalformedRequestsGet4xxAndTheServerGoesOn) {
  ServedLog served;
  const std::string host = "Host: " + served.Host() + "\r\n";
  const struct {
    const char* what;
    std::string request;
  } cases[] = {
      {"a 1 MB header", "GET / HTTP/1.1\r\n" + host + "X-Big: " + std::string(1 << 20, 'a') + "\r\n\r\n"},
      {"10 000 headers", "GET / HTTP/1.1\r\n" + host + [] {
         std::string many;
         for (int i = 0; i < 10000; ++i) many += "X-H" + std::to_string(i) + ": v\r\n";
         return many;
       }() + "\r\n"},
      {"a 64 kB path", "GET /" + std::string(64 << 10, 'a') + " HTTP/1.1\r\n" + host + "\r\n"},
      {"a 1 MB body", "POST /api/active HTTP/1.1\r\n" + host + "Content-Length: 1048576\r\n\r\n" +
                          std::string(1 << 20, 'x')},
      {"no request line", "\r\n\r\n"},
      {"garbage", "\x16\x03\x01\x02\x00\x01\x00\x01\xfc\x03\x03 not http\r\n\r\n"},
      {"a bad version", "GET / HTTP/9.9\r\n" + host + "\r\n"},
  };
  for (const auto& c : cases) {
    const std::string answer = Exchange(served.Port, c.request);
    // Either a 4xx, or the connection closed without an answer: never a page.
    const int status = Status(answer);
    EXPECT_TRUE(status == 0 || (status >= 400 && status < 500)) << c.what << ": " << answer.substr(0, 200);
    EXPECT_EQ(Status(Get(served.Port, "/api/results", served.Host())), 200) << "after " << c.what;
  }
}

TEST(WebServer, ServesWhileOtherConnectionsAreHeld) {
  ServedLog served;
  // Clients that connect and then send half a request, or nothing, and wait.
  std::vector<int> held;
  for (int i = 0; i < 20; ++i) {
    const int fd = Connect(served.Port);
    ASSERT_GE(fd, 0);
    if (i % 2 == 0) {
      const std::string half = "GET / HTTP/1.1\r\nHost: " + served.Host() + "\r\n";
      ASSERT_GT(::send(fd, half.data(), half.size(), MSG_NOSIGNAL), 0);
    }
    held.push_back(fd);
  }
  // Pages with their event streams open too.
  std::vector<int> streams;
  for (int i = 0; i < 3; ++i) {
    const int fd = Connect(served.Port);
    const std::string request = "GET /events HTTP/1.1\r\nHost: " + served.Host() + "\r\n\r\n";
    ASSERT_GT(::send(fd, request.data(), request.size(), MSG_NOSIGNAL), 0);
    EXPECT_NE(Receive(fd, [](const std::string& got) { return got.find("\n\n") != std::string::npos; })
                  .find("event: results"),
              std::string::npos);
    streams.push_back(fd);
  }
  for (int round = 0; round < 5; ++round) {
    EXPECT_EQ(Status(Get(served.Port, "/api/results", served.Host())), 200) << round;
  }
  for (int fd : held) ::close(fd);
  for (int fd : streams) ::close(fd);
}

TEST(WebServer, AChangeNeedsThePagesToken) {
  ServedLog served;
  const std::string token = TokenOf(served);
  ASSERT_EQ(token.size(), 32u);
  // Another run has another token.
  {
    ServedLog other;
    EXPECT_NE(TokenOf(other), token);
  }
  const struct {
    std::string token;
    const char* path;
    const char* body;
    int status;
  } cases[] = {
      {"", "/api/active", "on", 403},
      {"0123456789abcdef0123456789abcdef", "/api/active", "on", 403},
      {token.substr(0, 31), "/api/active", "on", 403},
      {token + "0", "/api/active", "on", 403},
      {"", "/api/sort", "1", 403},
      {token, "/api/active", "maybe", 400},
      {token, "/api/sort", "99999", 400},
      {token, "/api/sort", "-1", 400},
      {token, "/api/active", "on", 200},
      {token, "/api/sort", "1", 200},
  };
  for (const auto& c : cases) {
    const std::string answer = Post(served, c.path, c.token, c.body);
    EXPECT_EQ(Status(answer), c.status) << c.path << " " << c.body << " token " << c.token;
  }
  // What the token allowed took effect; what was refused did not.
  const Json results = ResultsOf(Get(served.Port, "/api/results", served.Host()));
  EXPECT_TRUE(results["active"].Boolean);
  EXPECT_EQ(results["tallies"]["sortColumn"].Number, 1);
  // A GET changes nothing, token or not.
  EXPECT_EQ(Status(Get(served.Port, "/api/active", served.Host())), 404);
}

TEST(WebServer, TheEventStreamPushesTheGrowingLog) {
  ServedLog served({"--active"});
  const ReportedLog whole = ReportOf(served.WholeLog(), served.dir, true);
  const int fd = Connect(served.Port);
  const std::string request = "GET /events HTTP/1.1\r\nHost: " + served.Host() + "\r\n\r\n";
  ASSERT_GT(::send(fd, request.data(), request.size(), MSG_NOSIGNAL), 0);
  // The last complete event's JSON.
  std::string last;
  auto lastEvent = [&last](const std::string& got) {
    const std::size_t end = got.rfind("\n\n");
    if (end == std::string::npos) return false;
    const std::size_t start = got.rfind("data: ", end);
    if (start == std::string::npos) return false;
    last = got.substr(start + 6, end - start - 6);
    return true;
  };
  Receive(fd, lastEvent);
  ASSERT_FALSE(last.empty());
  const std::size_t before = JsonReader::Read(last)["battles"].size();
  ASSERT_LT(before, whole.Battles.size());
  served.Grow();
  // The next tick's push brings every battle and the whole log's summary.
  std::string seen;
  Receive(fd, [&](const std::string& got) {
    seen = got;
    return lastEvent(got) && JsonReader::Read(last)["battles"].size() == whole.Battles.size();
  });
  ::close(fd);
  const Json results = JsonReader::Read(last);
  ASSERT_EQ(results["battles"].size(), whole.Battles.size()) << seen.substr(0, 300);
  EXPECT_EQ(results["summary"].Text, whole.Summary);
  EXPECT_EQ(results["counter"]["text"].Text, whole.Counter);
  EXPECT_TRUE(results["active"].Boolean);
}

TEST(WebServer, ATakenPortIsSaidAndEndsWithItsOwnStatus) {
  ServedLog served;
  Program second({"--serve", "--port", std::to_string(served.Port), "--program-dir", served.dir.Path(), served.Log},
                 served.dir, "second");
  EXPECT_EQ(second.Stop(), 5);
  EXPECT_NE(second.Err().find("port " + std::to_string(served.Port)), std::string::npos) << second.Err();
  EXPECT_EQ(second.Out(), "");
}

TEST(WebServer, ABattlesTranscriptIsTheReportsUnderTheSwitchesAsked) {
  ServedLog served;
  // The report shows the transcript under the switches the settings hold; the page asks
  // with the same switches on.
  Program report({"--report", "--detail", "2", "--program-dir", served.dir.Path(), served.Log}, served.dir, "detail");
  ASSERT_EQ(report.Stop(), 0);
  const std::string out = report.Out();
  Strings expected = Lines(out.substr(out.find("[detail]\n") + 9));
  const Json results = ResultsOf(Get(served.Port, "/api/results", served.Host()));
  std::string on;
  for (const Json& s : results["switches"].Items) {
    if (s["on"].Boolean) on += (on.empty() ? "" : ",") + s["name"].Text;
  }
  const Json transcript = ResultsOf(Get(served.Port, "/api/transcript?battle=1&on=" + on, served.Host()));
  Strings lines;
  for (const Json& d : transcript["lines"].Items) {
    lines.push_back(d["colour"].Text + "\t" + (d["bold"].Boolean ? "b" : "-") + "\t" + d["text"].Text);
  }
  EXPECT_FALSE(expected.empty());
  EXPECT_EQ(lines, expected);
  // Every switch on shows at least as much; a battle not in the list shows nothing; what is
  // no battle number is refused.
  std::string all;
  for (const Json& s : results["switches"].Items) all += (all.empty() ? "" : ",") + s["name"].Text;
  EXPECT_GE(ResultsOf(Get(served.Port, "/api/transcript?battle=1&on=" + all, served.Host()))["lines"].size(),
            lines.size());
  EXPECT_EQ(ResultsOf(Get(served.Port, "/api/transcript?battle=4000&on=" + all, served.Host()))["lines"].size(), 0u);
  for (const char* bad : {"-1", "x", "", "1e3", "99999999999"}) {
    EXPECT_EQ(Status(Get(served.Port, std::string("/api/transcript?battle=") + bad, served.Host())), 400) << bad;
  }
}

TEST(WebServer, TheWrittenPageIsOneFileOrTheReasonWhyNot) {
  ServedLog served;
  const ReportedLog reported = ReportOf(served.Log, served.dir, false);
  const std::string folder = served.dir.File("a folder");
  ASSERT_EQ(RunCommand("mkdir '" + folder + "'").status, 0);
  const struct {
    Strings args;
    int status;
  } cases[] = {
      {{"--html", served.dir.File("page.html"), served.Log}, 0},
      {{"--html", folder, served.Log}, 3},                          // a folder is never replaced
      {{"--html", served.dir.File("no/such/folder/page.html"), served.Log}, 3},
      {{"--html", served.dir.File("other.html"), served.dir.File("missing.html")}, 1},
      {{"--html", "", served.Log}, 2},
      {{"--html"}, 2},
  };
  for (const auto& c : cases) {
    Strings args{"--report", "--program-dir", served.dir.Path()};
    args.insert(args.end(), c.args.begin(), c.args.end());
    Program html(args, served.dir, "html");
    EXPECT_EQ(html.Stop(), c.status) << c.args[1] << "\n" << html.Err();
    EXPECT_EQ(html.Out(), "");
    if (c.status == 3) {
      EXPECT_NE(html.Err().find("could not be written"), std::string::npos) << html.Err();
    }
  }
  const std::string page = ReadBytes(served.dir.File("page.html"));
  for (const std::string& label : reported.Battles) {
    std::string inJson;  // as the data block spells it
    for (const char c : label) inJson += c == '<' ? std::string("\\u003c") : std::string(1, c);
    EXPECT_NE(page.find(inJson), std::string::npos) << label;
  }
  EXPECT_NE(page.find("id=\"mizuto-results\""), std::string::npos);
  EXPECT_EQ(page.find("<meta name=\"mizuto-token\""), std::string::npos);  // a shared file holds no token
}

TEST(WebServer, StopsCleanlyOnEitherSignalWithPagesOpen) {
  for (const int signal : {SIGINT, SIGTERM}) {
    TempDir dir;
    WriteBytes(dir.File("log.html"), "");
    Program server({"--serve", "--port", "0", "--no-history", "--program-dir", dir.Path(), dir.File("log.html")}, dir,
                   "serve");
    ASSERT_TRUE(WaitUntil([&] { return Lines(server.Out()).size() >= 2; })) << server.Err();
    std::smatch m;
    const std::string first = Lines(server.Out())[0];
    ASSERT_TRUE(std::regex_match(first, m, std::regex(R"(http://127\.0\.0\.1:(\d+)/)"))) << first;
    EXPECT_EQ(Lines(server.Out())[1], first + "overlay");
    // A page's event stream is open while the stop comes.
    const int fd = Connect(std::stoi(m[1]));
    const std::string request = "GET /events HTTP/1.1\r\nHost: 127.0.0.1:" + m[1].str() + "\r\n\r\n";
    ASSERT_GT(::send(fd, request.data(), request.size(), MSG_NOSIGNAL), 0);
    Receive(fd, [](const std::string& got) { return got.find("event: results") != std::string::npos; });
    EXPECT_EQ(server.Stop(signal), 0) << signal;
    ::close(fd);
    EXPECT_EQ(server.Err(), "");
  }
}

TEST(WebServer, BadArgumentsGiveTheUsage) {
  TempDir dir;
  for (const Strings& args : {Strings{"--serve", "--port", "65536"}, Strings{"--serve", "--port", "x"},
                              Strings{"--serve", "--port"}, Strings{"--serve", "--bogus"},
                              Strings{"--serve", "a.html", "b.html"}}) {
    Program program(args, dir, "bad");
    EXPECT_EQ(program.Stop(), 2) << args.back();
    EXPECT_NE(program.Err().find("usage: mizuto --serve"), std::string::npos) << program.Err();
  }
}

}  // namespace
}  // namespace mizuto::test
