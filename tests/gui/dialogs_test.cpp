// The small windows (settings, version, sink counter) and the version check against a real
// HTTP server on 127.0.0.1.
#include <QApplication>
#include <QCheckBox>
#include <QCloseEvent>
#include <QDialogButtonBox>
#include <QDir>
#include <QElapsedTimer>
#include <QHostAddress>
#include <QAbstractProxyModel>
#include <QFileDialog>
#include <QFileSystemModel>
#include <QLocale>
#include <QMessageBox>
#include <QTimer>
#include <QTranslator>
#include <QLabel>
#include <QLineEdit>
#include <QPointer>
#include <QPushButton>
#include <QTest>
#include <QtTest/qtestspontaneevent.h>

#include <chrono>
#include <condition_variable>
#include <filesystem>
#include <functional>
#include <memory>
#include <mutex>
#include <optional>

#include <gtest/gtest.h>

#include "app/owner/app.h"
#include "app/version/version_check.h"
#include "gui/widgets/gui_dialogs.h"
#include "gui/widgets/gui_text.h"
#include "gui/widgets/program_icon.h"
#include "gui/settings/settings_dialog.h"
#include "gui/window/sink_counter_window.h"
#include "gui/widgets/toolkit_language.h"
#include "gui/version/version_dialog.h"
#include "gui/version/version_fetch.h"
#include "local_http_server.h"
#include "support/test_support.h"

namespace mizuto {
namespace {

using test::ClosedPort;
using test::HttpReply;
using test::LocalHttpServer;
using test::S;
using test::U;

struct Check {
  VersionCheckResult Result;
  std::string Message;  // UTF-8
};

// Starts a check and waits for its answer, which always comes from the event loop.
Check CheckAgainst(const QUrl& url, int timeoutMs = 5000) {
  App app;
  std::optional<Check> answer;
  bool answeredAtOnce = false;
  VersionCheck::Start(url, app.ProgramTitle(), nullptr,
                      [&](VersionCheckResult result, const std::string& message) {
                        answer = Check{result, U(message)};
                      },
                      timeoutMs);
  answeredAtOnce = answer.has_value();
  EXPECT_FALSE(answeredAtOnce) << "the check answered before returning";
  EXPECT_TRUE(QTest::qWaitFor([&] { return answer.has_value(); }, 30000)) << "no answer";
  return answer.value_or(Check{kVersionIsCurrent, "no answer"});
}

Check CheckAgainstServer(const std::string& reply) {
  LocalHttpServer server(reply);
  return CheckAgainst(server.Url());
}

TEST(VersionCheck, ReadsTheTitleOfTheServedPage) {
  LocalHttpServer current(HttpReply("<HTML><HEAD><TITLE>Mizuto Ver1.45</TITLE></HEAD></HTML>"));
  const Check same = CheckAgainst(current.Url());
  EXPECT_EQ(same.Result, kVersionIsCurrent);
  EXPECT_EQ(same.Message, "Mizuto Ver1.45は最新版です。");
  // One GET of the version page's path, naming the host.
  const std::string request = current.FirstRequest();
  EXPECT_EQ(request.rfind("GET /files/Ver_Mizuto.php HTTP/1.", 0), 0u) << request;
  EXPECT_NE(request.find("\r\nHost: 127.0.0.1:" + std::to_string(current.Port()) + "\r\n"),
            std::string::npos)
      << request;

  const Check newer = CheckAgainstServer(HttpReply("<TITLE>Mizuto Ver1.50</TITLE>"));
  EXPECT_EQ(newer.Result, kVersionFound);
  EXPECT_EQ(newer.Message, "Mizuto Ver1.50が見つかりました。");

  // A UTF-8 page with a Japanese title ends up as the same text as the page shows.
  const Check utf8 = CheckAgainstServer(
      HttpReply("<TITLE>Mizuto Ver1.50 修正版</TITLE>", "200 OK", "text/html; charset=utf-8"));
  EXPECT_EQ(utf8.Result, kVersionFound);
  EXPECT_EQ(utf8.Message, "Mizuto Ver1.50 修正版が見つかりました。");

  for (const std::string& body : {std::string("<title>Mizuto Ver1.50</title>"),
                                  std::string("<HTML><BODY>Mizuto</BODY></HTML>"),
                                  std::string()}) {
    const Check notAPage = CheckAgainstServer(HttpReply(body));
    EXPECT_EQ(notAPage.Result, kVersionConnectionError) << body;
    EXPECT_EQ(notAPage.Message, "接続エラー") << body;
  }
}

TEST(VersionCheck, FailedRequestsAreConnectionErrors) {
  // An error status is no version page, whatever its body says.
  const Check notFound =
      CheckAgainstServer(HttpReply("<TITLE>Mizuto Ver1.50</TITLE>", "404 Not Found"));
  EXPECT_EQ(notFound.Result, kVersionConnectionError);
  EXPECT_EQ(notFound.Message, "接続エラー");
  EXPECT_EQ(CheckAgainstServer(HttpReply("<TITLE>Mizuto Ver1.50</TITLE>", "500 Oops")).Result,
            kVersionConnectionError);

  // Nobody listening.
  const Check refused =
      CheckAgainst(QUrl(QStringLiteral("http://127.0.0.1:%1/files/Ver_Mizuto.php")
                            .arg(ClosedPort())));
  EXPECT_EQ(refused.Result, kVersionConnectionError);
  EXPECT_EQ(refused.Message, "接続エラー");

  // A server that accepts and never answers: only the time-out can end the wait (without
  // it the check would never return), and it ends as a connection error.
  {
    LocalHttpServer silent("");
    const Check timedOut = CheckAgainst(silent.Url(), 300);
    EXPECT_EQ(timedOut.Result, kVersionConnectionError);
    EXPECT_EQ(timedOut.Message, "接続エラー");
  }

  // A reply far larger than any version page is refused rather than kept in memory.
  std::string huge = "<TITLE>Mizuto Ver1.50</TITLE>";
  huge.append(3 << 20, 'x');
  EXPECT_EQ(CheckAgainstServer(HttpReply(huge)).Result, kVersionConnectionError);

  // Only web addresses are fetched: a local file is never read as the version page.
  test::TempDir dir;
  test::WriteBytes(dir.File("page.html"), "<TITLE>Mizuto Ver1.50</TITLE>");
  EXPECT_EQ(CheckAgainst(QUrl::fromLocalFile(QString::fromStdString(dir.File("page.html"))))
                .Result,
            kVersionConnectionError);
}

// The window may close while the site has not answered: the check goes with it, and its
// answer never reaches a window that is gone.
TEST(VersionCheck, ACheckEndsWithItsParent) {
  LocalHttpServer server(HttpReply("<TITLE>Mizuto Ver1.50</TITLE>"), /*held=*/true);
  int answers = 0;
  auto parent = std::make_unique<QObject>();
  QPointer<VersionCheck> check = VersionCheck::Start(
      server.Url(), "Mizuto Ver1.45", parent.get(), [&](VersionCheckResult, const std::string&) { ++answers; });
  EXPECT_TRUE(QTest::qWaitFor([&] { return !server.FirstRequest().empty(); }, 30000));
  parent.reset();
  EXPECT_TRUE(check.isNull());
  server.Release();
  QTest::qWait(50);  // whatever the socket still delivers finds nobody
  EXPECT_EQ(answers, 0);

  // Without a parent the check lives until it has answered, then goes.
  LocalHttpServer second(HttpReply("<TITLE>Mizuto Ver1.50</TITLE>"));
  check = VersionCheck::Start(second.Url(), "Mizuto Ver1.45", nullptr,
                              [&](VersionCheckResult, const std::string&) { ++answers; });
  EXPECT_TRUE(QTest::qWaitFor([&] { return answers == 1 && check.isNull(); }, 30000));
}

// A host name is looked up apart from the toolkit, and the server is still asked by that
// name: each address the lookup gives is tried in turn, a redirect's host is looked up again.
TEST(VersionCheck, AHostNameIsLookedUpAndAskedByName) {
  LocalHttpServer page(HttpReply("<TITLE>Mizuto Ver1.50</TITLE>"));
  LocalHttpServer movedTo(HttpReply("<TITLE>Mizuto Ver1.50</TITLE>"));
  const std::string elsewhere = "http://mirror.test:" + std::to_string(movedTo.Port()) + "/v.php";
  const std::string redirect = "HTTP/1.0 302 Found\r\nLocation: " + elsewhere +
                               "\r\nContent-Length: 0\r\nConnection: close\r\n\r\n";
  LocalHttpServer redirecting(redirect);
  LocalHttpServer toFile("HTTP/1.0 301 Moved\r\nLocation: file:///etc/hostname\r\nContent-Length: 0\r\n\r\n");
  LocalHttpServer loop("HTTP/1.0 302 Found\r\nLocation: /again\r\nContent-Length: 0\r\n\r\n");
  const QHostAddress local(QStringLiteral("127.0.0.1"));
  const QHostAddress nobody(QStringLiteral("127.0.0.2"));  // nothing listens there
  QStringList looked;
  auto resolve = [&](const QString& host) {
    looked << host;  // from the lookup's thread; read only once the answer came
    if (host == QLatin1String("version.test") || host == QLatin1String("mirror.test")) {
      return QList<QHostAddress>{local};
    }
    if (host == QLatin1String("two.test")) return QList<QHostAddress>{nobody, local};
    return QList<QHostAddress>{};
  };
  const struct {
    std::string Url;
    VersionCheckResult Result;
    const LocalHttpServer* AskedBy;  // the server whose first request names the host
    std::string Host;
    QStringList Looked;
  } cases[] = {
      {"http://version.test:" + std::to_string(page.Port()) + "/files/Ver_Mizuto.php", kVersionFound,
       &page, "version.test:" + std::to_string(page.Port()), {"version.test"}},
      {"http://two.test:" + std::to_string(page.Port()) + "/", kVersionFound, &page, "", {"two.test"}},
      {"http://unknown.test/", kVersionConnectionError, nullptr, "", {"unknown.test"}},
      {"http://127.0.0.1:" + std::to_string(redirecting.Port()) + "/", kVersionFound, &movedTo,
       "mirror.test:" + std::to_string(movedTo.Port()), {"mirror.test"}},
      // Only a web address is followed; a redirect loop ends after a few turns.
      {"http://127.0.0.1:" + std::to_string(toFile.Port()) + "/", kVersionConnectionError, nullptr, "", {}},
      {"http://127.0.0.1:" + std::to_string(loop.Port()) + "/", kVersionConnectionError, nullptr, "", {}},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.Url);
    looked.clear();
    std::optional<VersionCheckResult> result;
    VersionCheck::Start(QUrl(QString::fromStdString(c.Url)), "Mizuto Ver1.45", nullptr,
                        [&](VersionCheckResult r, const std::string&) { result = r; }, 10000, resolve);
    ASSERT_TRUE(QTest::qWaitFor([&] { return result.has_value(); }, 30000));
    EXPECT_EQ(*result, c.Result);
    EXPECT_EQ(looked, c.Looked);
    if (c.AskedBy != nullptr && !c.Host.empty()) {
      EXPECT_NE(c.AskedBy->FirstRequest().find("\r\nHost: " + c.Host + "\r\n"), std::string::npos)
          << c.AskedBy->FirstRequest();
    }
  }
}

// A name server that never answers holds neither the window's end nor the check's answer: the
// lookup's thread is left to finish alone, and its late answer reaches nobody.
TEST(VersionCheck, ALookupThatHangsHoldsNothing) {
  struct Gate {
    std::mutex Mutex;
    std::condition_variable Opened;
    bool Open = false;
    int Finished = 0;
  };
  auto gate = std::make_shared<Gate>();
  auto hanging = [gate](const QString&) {
    std::unique_lock<std::mutex> hold(gate->Mutex);
    gate->Opened.wait_for(hold, std::chrono::seconds(20), [&] { return gate->Open; });
    ++gate->Finished;
    return QList<QHostAddress>{QHostAddress(QStringLiteral("127.0.0.1"))};
  };
  LocalHttpServer server(HttpReply("<TITLE>Mizuto Ver1.50</TITLE>"));
  const QUrl byName(QStringLiteral("http://version.test:%1/").arg(server.Port()));
  int answers = 0;
  std::optional<VersionCheckResult> timedOut;
  QElapsedTimer clock;
  clock.start();
  // The time-out answers while the lookup still hangs.
  VersionCheck::Start(byName, "Mizuto Ver1.45", nullptr,
                      [&](VersionCheckResult r, const std::string&) { timedOut = r; }, 200, hanging);
  // The window closes while its check looks the name up.
  auto window = std::make_unique<QObject>();
  QPointer<VersionCheck> check = VersionCheck::Start(
      byName, "Mizuto Ver1.45", window.get(), [&](VersionCheckResult, const std::string&) { ++answers; },
      10000, hanging);
  QTest::qWait(50);
  window.reset();
  EXPECT_TRUE(check.isNull());
  EXPECT_TRUE(QTest::qWaitFor([&] { return timedOut.has_value(); }, 5000));
  EXPECT_EQ(timedOut, kVersionConnectionError);
  EXPECT_LT(clock.elapsed(), 3000) << "a hanging lookup held the check";
  {
    const std::lock_guard<std::mutex> hold(gate->Mutex);
    EXPECT_EQ(gate->Finished, 0);  // both lookups still hang
    gate->Open = true;
  }
  gate->Opened.notify_all();
  EXPECT_TRUE(QTest::qWaitFor(
      [&] {
        const std::lock_guard<std::mutex> hold(gate->Mutex);
        return gate->Finished == 2;
      },
      5000));
  QTest::qWait(50);  // whatever the lookups post finds nobody
  EXPECT_EQ(answers, 0);
  EXPECT_TRUE(server.FirstRequest().empty());  // nor is the page asked for after all
}

TEST(VersionCheck, PageAddressAndMessageBox) {
  EXPECT_EQ(VersionPageUrl(QUrl(QString::fromLatin1(kHomePageUrl))).toString(),
            QStringLiteral("http://mizuto.example/files/Ver_Mizuto.php"));

  // The home page comes from the environment when it names a web address.
  const QByteArray saved = qgetenv(kHomePageVariable);
  const struct {
    const char* Value;  // nullptr: not set
    const char* Expected;
  } homes[] = {
      {nullptr, "http://mizuto.example/"},
      {"http://127.0.0.1:8080/", "http://127.0.0.1:8080/"},
      {"https://mirror.example/mizuto/", "https://mirror.example/mizuto/"},
      {"", "http://mizuto.example/"},
      {"file:///etc/passwd", "http://mizuto.example/"},
      {"not an address", "http://mizuto.example/"},
  };
  for (const auto& h : homes) {
    if (h.Value) qputenv(kHomePageVariable, h.Value); else qunsetenv(kHomePageVariable);
    EXPECT_EQ(HomePageUrl().toString(), QString::fromLatin1(h.Expected))
        << (h.Value ? h.Value : "(unset)");
  }
  if (saved.isNull()) qunsetenv(kHomePageVariable); else qputenv(kHomePageVariable, saved);

  EXPECT_EQ(VersionPageUrl(QUrl(QStringLiteral("http://user@home.example:8080/a/index.html?x=1#top")))
                .toString(),
            QStringLiteral("http://home.example:8080/files/Ver_Mizuto.php"));

  // The Help menu's check shows its message whatever the result.
  GuiDialogs dialogs;
  QStringList shown;
  dialogs.Message = [&](QWidget*, const QString& text, const QString& caption) {
    shown << caption + QStringLiteral("|") + text;
  };
  App app;
  auto answer = [&dialogs](const std::string& message) { ShowVersionAnswer(nullptr, dialogs, message); };
  {
    LocalHttpServer server(HttpReply("<TITLE>Mizuto Ver1.46</TITLE>"));
    CheckVersionOnRequest(server.Url(), app, nullptr, answer);
    EXPECT_TRUE(QTest::qWaitFor([&] { return shown.size() == 1; }, 30000));
  }
  CheckVersionOnRequest(QUrl(QStringLiteral("http://127.0.0.1:%1/").arg(ClosedPort())), app, nullptr,
                  answer);
  EXPECT_TRUE(QTest::qWaitFor([&] { return shown.size() == 2; }, 30000));
  EXPECT_EQ(shown, QStringList({QStringLiteral("バージョン情報|Mizuto Ver1.46が見つかりました。"),
                                QStringLiteral("バージョン情報|接続エラー")}));
}

// --- the settings dialog ---

template <typename T>
T* Child(QWidget& parent, const char* name) {
  T* child = parent.findChild<T*>(QString::fromLatin1(name));
  EXPECT_NE(child, nullptr) << name;
  return child;
}

// A seam whose Exec shows the dialog, runs `script` on it as the user would, and returns
// the result the dialog was closed with. The folder browser answers `browse` and records
// the folder it was opened at in *browseStart.
GuiDialogs ScriptedDialogs(std::function<void(QDialog&)> script,
                           std::function<QString()> browse = [] { return QString(); },
                           QString* browseStart = nullptr) {
  GuiDialogs dialogs;
  dialogs.Exec = [script](QDialog& dialog) {
    dialog.show();
    script(dialog);
    return dialog.result();
  };
  dialogs.BrowseFolder = [browse, browseStart](QWidget*, const QString& title,
                                               const QString& start) {
    EXPECT_EQ(title, QStringLiteral("ログフォルダの選択"));
    if (browseStart) *browseStart = start;
    return browse();
  };
  return dialogs;
}

void Click(QDialog& dialog, const char* button) {
  QTest::mouseClick(Child<QPushButton>(dialog, button), Qt::LeftButton);
}

void Retype(QDialog& dialog, const char* edit, const QString& text) {
  QLineEdit* field = Child<QLineEdit>(dialog, edit);
  // QTest types only Latin-1 keys; the edit's own insert stands in for a Japanese IME.
  field->selectAll();
  field->insert(text);
}

TEST(SettingsDialog, LayoutFieldsAndTabOrder) {
  App app;
  app.UserName = S("提督タロウ");
  app.LogDir = Utf8Path::FromUtf8("/home/提督/logs");
  app.CheckVersionAtStart = 1;
  QWidget owner;
  owner.setGeometry(100, 100, 700, 500);
  bool ran = false;
  GuiDialogs dialogs = ScriptedDialogs([&](QDialog& dialog) {
    ran = true;
    EXPECT_EQ(dialog.objectName(), QStringLiteral("settingsDialog"));
    EXPECT_EQ(dialog.windowTitle(), QStringLiteral("設定"));
    EXPECT_EQ(dialog.size(), QSize(353, 172));
    EXPECT_EQ(dialog.minimumSize(), dialog.maximumSize());
    EXPECT_TRUE(dialog.windowFlags() & Qt::WindowStaysOnTopHint);
    EXPECT_EQ(dialog.parentWidget(), &owner);

    EXPECT_EQ(Child<QLineEdit>(dialog, "playerNameEdit")->text(), QStringLiteral("提督タロウ"));
    EXPECT_EQ(Child<QLineEdit>(dialog, "logFolderEdit")->text(), QStringLiteral("/home/提督/logs"));
    EXPECT_TRUE(Child<QCheckBox>(dialog, "versionCheckBox")->isChecked());
    EXPECT_EQ(Child<QCheckBox>(dialog, "versionCheckBox")->text(),
              QStringLiteral("起動時に最新バージョンをチェックする"));
    EXPECT_EQ(Child<QPushButton>(dialog, "okButton")->text(), QStringLiteral("OK"));
    EXPECT_EQ(Child<QPushButton>(dialog, "cancelButton")->text(), QStringLiteral("キャンセル"));
    EXPECT_EQ(Child<QPushButton>(dialog, "browseButton")->text(), QStringLiteral("参照"));
    EXPECT_EQ(Child<QLineEdit>(dialog, "logFolderEdit")->geometry(), QRect(8, 24, 297, 20));
    EXPECT_EQ(Child<QPushButton>(dialog, "okButton")->geometry(), QRect(192, 136, 75, 25));

    // Each caption sits 3 pixels above its edit box.
    for (const char* edit : {"playerNameEdit", "logFolderEdit", "counterFileEdit"}) {
      QLineEdit* field = Child<QLineEdit>(dialog, edit);
      QLabel* label = Child<QLabel>(dialog, (std::string(edit) + "Label").c_str());
      if (!field || !label) continue;
      EXPECT_EQ(label->geometry().bottom() + 1 + 3, field->y()) << edit;
      EXPECT_EQ(label->x(), field->x()) << edit;
    }
    EXPECT_EQ(Child<QLabel>(dialog, "playerNameEditLabel")->text(), QStringLiteral("プレイヤー名"));
    EXPECT_EQ(Child<QLabel>(dialog, "logFolderEditLabel")->text(), QStringLiteral("ログフォルダ"));

    // OK has the focus; Tab walks Cancel, the folder, its button, the check box, the name.
    QApplication::setActiveWindow(&dialog);
    EXPECT_EQ(dialog.focusWidget(), Child<QPushButton>(dialog, "okButton"));
    QStringList order;
    for (int i = 0; i < 8; ++i) {
      order << (QApplication::focusWidget() ? QApplication::focusWidget()->objectName()
                                            : QString());
      QTest::keyClick(QApplication::focusWidget() ? QApplication::focusWidget()
                                                  : static_cast<QWidget*>(&dialog),
                      Qt::Key_Tab);
    }
    EXPECT_EQ(order, QStringList({"okButton", "cancelButton", "logFolderEdit", "browseButton", "versionCheckBox",
                                  "counterFileEdit", "counterBrowseButton", "playerNameEdit"}));
    Click(dialog, "cancelButton");
  });
  EditSettingsInDialog(app, &owner, dialogs);
  EXPECT_TRUE(ran);
}

TEST(SettingsDialog, OkWritesTheFieldsBackAndCancelKeepsEverything) {
  App app;
  app.UserName = S("提督タロウ");
  app.LogDir = Utf8Path::FromUtf8("/old/logs");
  app.CheckVersionAtStart = 1;

  // Browse, then cancel: nothing changes, although the edit showed the chosen folder.
  GuiDialogs browseThenCancel = ScriptedDialogs(
      [](QDialog& dialog) {
        Click(dialog, "browseButton");
        EXPECT_EQ(Child<QLineEdit>(dialog, "logFolderEdit")->text(),
                  QStringLiteral("/home/提督/新しいログ"));
        Child<QCheckBox>(dialog, "versionCheckBox")->setChecked(false);
        Retype(dialog, "playerNameEdit", QStringLiteral("別人"));
        Click(dialog, "cancelButton");
      },
      [] { return QStringLiteral("/home/提督/新しいログ"); });
  EditSettingsInDialog(app, nullptr, browseThenCancel);
  EXPECT_EQ(U(app.UserName), "提督タロウ");
  EXPECT_EQ(app.LogDir.Utf8(), "/old/logs");
  EXPECT_EQ(app.CheckVersionAtStart, 1);

  // Closing the window any other way is a cancel too.
  GuiDialogs closeBox = ScriptedDialogs([](QDialog& dialog) {
    Retype(dialog, "playerNameEdit", QStringLiteral("別人"));
    dialog.close();
  });
  EditSettingsInDialog(app, nullptr, closeBox);
  EXPECT_EQ(U(app.UserName), "提督タロウ");

  // A cancelled browser leaves the folder as typed; OK takes every field as it stands,
  // an empty name included.
  GuiDialogs editAndOk = ScriptedDialogs(
      [](QDialog& dialog) {
        Retype(dialog, "logFolderEdit", QStringLiteral("/typed/ログ"));
        Click(dialog, "browseButton");
        EXPECT_EQ(Child<QLineEdit>(dialog, "logFolderEdit")->text(), QStringLiteral("/typed/ログ"));
        Child<QLineEdit>(dialog, "playerNameEdit")->clear();
        QTest::mouseClick(Child<QCheckBox>(dialog, "versionCheckBox"), Qt::LeftButton);
        Click(dialog, "okButton");
      },
      [] { return QString(); });
  EditSettingsInDialog(app, nullptr, editAndOk);
  EXPECT_EQ(app.UserName, "");
  EXPECT_EQ(app.LogDir.Utf8(), "/typed/ログ");
  EXPECT_EQ(app.CheckVersionAtStart, 0);

  // And back: checking stores 1, a chosen folder replaces the text, a name is converted.
  GuiDialogs browseAndOk = ScriptedDialogs(
      [](QDialog& dialog) {
        QTest::mouseClick(Child<QCheckBox>(dialog, "versionCheckBox"), Qt::LeftButton);
        Click(dialog, "browseButton");
        Retype(dialog, "playerNameEdit", QStringLiteral("ヤマト"));
        Click(dialog, "okButton");
      },
      [] { return QStringLiteral("/mnt/game/chat"); });
  EditSettingsInDialog(app, nullptr, browseAndOk);
  EXPECT_EQ(app.UserName, S("ヤマト"));
  EXPECT_EQ(app.LogDir.Utf8(), "/mnt/game/chat");
  EXPECT_EQ(app.CheckVersionAtStart, 1);
}

TEST(SettingsDialog, FolderChooserOpensAtTheLogFolderOrAtHome) {
  test::TempDir dir;
  const std::string existing = dir.File("ログ");
  std::filesystem::create_directory(existing);
  const struct {
    std::string LogDir;   // UTF-8, as the dialog shows it
    QString Expected;
  } cases[] = {
      {existing, QString::fromStdString(existing)},
      {dir.File("gone"), QDir::homePath()},
      {"", QDir::homePath()},
  };
  for (const auto& c : cases) {
    App app;
    app.LogDir = Utf8Path::FromUtf8(c.LogDir);
    QString start = QStringLiteral("(not opened)");
    GuiDialogs browse = ScriptedDialogs(
        [](QDialog& dialog) {
          Click(dialog, "browseButton");
          Click(dialog, "cancelButton");
        },
        [] { return QString(); }, &start);
    EditSettingsInDialog(app, nullptr, browse);
    EXPECT_EQ(start, c.Expected) << c.LogDir;
  }
}

// A folder that is not there is said beside the folder's caption as it is typed or chosen
// (and still taken: a drive may come back).
TEST(SettingsDialog, AFolderThatIsNotThereIsSaidInTheDialog) {
  test::TempDir dir;
  const struct {
    std::string Folder;
    bool Warned;
  } cases[] = {{dir.Path(), false}, {dir.File("gone"), true}, {"", false}};
  for (const auto& c : cases) {
    SCOPED_TRACE(c.Folder);
    App app;
    bool warnedAtStart = false, warnedTyped = false;
    GuiDialogs dialogs = ScriptedDialogs([&](QDialog& dialog) {
      warnedAtStart = Child<QLabel>(dialog, "logFolderWarning")->isVisible();
      Retype(dialog, "logFolderEdit", QString::fromStdString(c.Folder));
      warnedTyped = Child<QLabel>(dialog, "logFolderWarning")->isVisible();
      Click(dialog, "okButton");
    });
    EditSettingsInDialog(app, nullptr, dialogs);
    EXPECT_FALSE(warnedAtStart) << "no folder set yet";
    EXPECT_EQ(warnedTyped, c.Warned);
    EXPECT_EQ(app.LogDir.Utf8(), c.Folder);
  }
}

// The counter file is chosen with a file chooser or typed; empty turns it off; Cancel keeps it.
TEST(SettingsDialog, TheCounterFileIsChosenOrClearedAndKeptOnlyByOk) {
  App app;
  app.StreamCounter.SetPath("/old/score.txt");
  QString chooserStart;
  auto choose = [&](std::function<void(QDialog&)> script) {
    GuiDialogs dialogs = ScriptedDialogs(std::move(script));
    dialogs.ChooseFileToWrite = [&](QWidget*, const QString&, const QString& start) {
      chooserStart = start;
      return QStringLiteral("/stream/スコア.txt");
    };
    EditSettingsInDialog(app, nullptr, dialogs);
  };
  choose([](QDialog& dialog) {
    EXPECT_EQ(Child<QLineEdit>(dialog, "counterFileEdit")->text(), QStringLiteral("/old/score.txt"));
    Click(dialog, "counterBrowseButton");
    Click(dialog, "cancelButton");
  });
  EXPECT_EQ(chooserStart, QStringLiteral("/old/score.txt"));
  EXPECT_EQ(app.StreamCounter.Path(), "/old/score.txt");
  choose([](QDialog& dialog) {
    Click(dialog, "counterBrowseButton");
    Click(dialog, "okButton");
  });
  EXPECT_EQ(app.StreamCounter.Path(), "/stream/スコア.txt");
  choose([](QDialog& dialog) {
    Child<QLineEdit>(dialog, "counterFileEdit")->clear();
    Click(dialog, "okButton");
  });
  EXPECT_EQ(app.StreamCounter.Path(), "");
}

TEST(SettingsDialog, OkWithoutEditingKeepsTheExactBytes) {
  // A name with a malformed trailing lead byte and a folder whose name is no UTF-8 (a byte
  // the widget shows as U+FFFD): shown and accepted unchanged, both must come back as they
  // were, not as their round trip through the widget's text.
  App app;
  app.UserName = std::string("Taro\x81");
  app.LogDir = Utf8Path::FromUtf8("/logs/\xFF");
  ASSERT_NE(FromQt(ToQt(app.UserName)), app.UserName);
  GuiDialogs pressOk = ScriptedDialogs([](QDialog& dialog) { Click(dialog, "okButton"); });
  EditSettingsInDialog(app, nullptr, pressOk);
  EXPECT_EQ(app.UserName, std::string("Taro\x81"));
  EXPECT_EQ(app.LogDir.Utf8(), "/logs/\xFF");
}

// --- the version dialog and the sink counter window ---

TEST(VersionDialog, ShowsTheTitleAndIsReleasedAfterwards) {
  App app;
  QWidget owner;
  owner.setGeometry(200, 150, 640, 480);
  owner.show();
  QPointer<QDialog> seen;
  GuiDialogs dialogs;
  dialogs.Exec = [&](QDialog& dialog) {
    seen = &dialog;
    dialog.show();
    EXPECT_EQ(dialog.objectName(), QStringLiteral("versionDialog"));
    EXPECT_EQ(dialog.windowTitle(), QStringLiteral("バージョン情報"));
    EXPECT_EQ(dialog.size(), QSize(228, 48));
    EXPECT_EQ(dialog.minimumSize(), dialog.maximumSize());
    EXPECT_TRUE(dialog.windowFlags() & Qt::WindowStaysOnTopHint);
    EXPECT_LE((dialog.geometry().center() - owner.geometry().center()).manhattanLength(), 2);
    EXPECT_EQ(Child<QLabel>(dialog, "programTitle")->text(), QStringLiteral("Mizuto Ver1.45"));
    QLabel* notice = Child<QLabel>(dialog, "programDescription");
    EXPECT_FALSE(notice->text().isEmpty());
    EXPECT_FALSE(notice->text().contains('\n'));
    QLabel* image = Child<QLabel>(dialog, "programIcon");
    EXPECT_EQ(image->geometry(), QRect(8, 8, 33, 33));
    EXPECT_FALSE(image->pixmap().isNull());
    EXPECT_TRUE(dialog.findChildren<QPushButton*>().isEmpty());
    dialog.close();
    return dialog.result();
  };
  ShowVersionDialog(app, &owner, dialogs);
  EXPECT_TRUE(seen.isNull()) << "the dialog outlived its use";
}

// Runs `look` on the modal dialog that `open` opens, as soon as it is up, then closes it
// with Escape; returns whether a dialog was seen at all.
bool WithModalDialog(const std::function<void()>& open, const std::function<void(QWidget&)>& look) {
  bool seen = false;
  QTimer poll;
  poll.setInterval(10);
  QObject::connect(&poll, &QTimer::timeout, [&] {
    QWidget* dialog = QApplication::activeModalWidget();
    if (!dialog || !dialog->isVisible()) return;
    poll.stop();
    seen = true;
    look(*dialog);
    QTest::keyClick(dialog, Qt::Key_Escape);
  });
  poll.start();
  open();
  poll.stop();
  return seen;
}

TEST(RealDialogs, APlainMessageHasNoIconAndTheGivenCaption) {
  const GuiDialogs real = RealGuiDialogs();
  const bool seen = WithModalDialog(
      [&] { real.Message(nullptr, QStringLiteral("LOGは１コだけね"), QStringLiteral("Mizuto")); },
      [](QWidget& dialog) {
        auto* box = qobject_cast<QMessageBox*>(&dialog);
        ASSERT_NE(box, nullptr);
        EXPECT_EQ(box->icon(), QMessageBox::NoIcon);
        EXPECT_EQ(box->windowTitle(), QStringLiteral("Mizuto"));
        EXPECT_EQ(box->text(), QStringLiteral("LOGは１コだけね"));
        EXPECT_EQ(box->standardButtons(), QMessageBox::Ok);
      });
  EXPECT_TRUE(seen);
}

TEST(RealDialogs, TheToolkitSpeaksJapanese) {
  QTranslator japanese;
  ASSERT_TRUE(LoadToolkitJapanese(japanese)) << "qtbase_ja.qm is not installed";
  QApplication::installTranslator(&japanese);
  const GuiDialogs real = RealGuiDialogs();

  // The Yes/No question and the open dialog: their buttons and labels are the toolkit's.
  QStringList yesNo;
  EXPECT_TRUE(WithModalDialog([&] { real.AskYesNo(nullptr, QStringLiteral("登録しますか？"),
                                                  QStringLiteral("NPC艦隊の登録")); },
                              [&](QWidget& dialog) {
                                auto* box = qobject_cast<QMessageBox*>(&dialog);
                                ASSERT_NE(box, nullptr);
                                yesNo << box->button(QMessageBox::Yes)->text()
                                      << box->button(QMessageBox::No)->text();
                              }));
  EXPECT_EQ(yesNo, QStringList({QStringLiteral("はい(&Y)"), QStringLiteral("いいえ(&N)")}));

  QStringList openTexts;
  EXPECT_TRUE(WithModalDialog(
      [&] { real.OpenFile(nullptr, QDir::homePath(), QStringLiteral("ログファイル (*.html)")); },
      [&](QWidget& dialog) {
        auto* chooser = qobject_cast<QFileDialog*>(&dialog);
        ASSERT_NE(chooser, nullptr);
        openTexts << chooser->labelText(QFileDialog::Accept)
                  << chooser->labelText(QFileDialog::Reject)
                  << chooser->labelText(QFileDialog::FileName);
      }));
  EXPECT_EQ(openTexts, QStringList({QStringLiteral("開く(&O)"), QStringLiteral("キャンセル"),
                                    QStringLiteral("ファイル名(&N):")}));
  QApplication::removeTranslator(&japanese);
}

// A short message under a long title: the box is as wide as its title needs, so the title
// bar does not cut it. Each kind of box alike.
TEST(RealDialogs, SmallBoxesAreWideEnoughForTheirTitles) {
  const GuiDialogs real = RealGuiDialogs();
  const QString title = QStringLiteral("NPC艦隊の登録 ― 登録した艦隊の名前のお知らせ");
  std::vector<int> widths;
  const auto measure = [&](QWidget& dialog) {
    widths.push_back(dialog.width() - dialog.fontMetrics().horizontalAdvance(dialog.windowTitle()));
  };
  EXPECT_TRUE(WithModalDialog([&] { real.Message(nullptr, QStringLiteral("済"), title); }, measure));
  EXPECT_TRUE(WithModalDialog([&] { real.AskYesNo(nullptr, QStringLiteral("可?"), title); }, measure));
  EXPECT_TRUE(WithModalDialog([&] { real.Error(nullptr, QStringLiteral("x")); }, measure));
  ASSERT_EQ(widths.size(), 3u);
  for (int room : widths) EXPECT_GE(room, 120);  // the icon and the title bar's buttons
}

// The file chooser writes the dates and sizes of its files in Japanese ("2024/05/01 12:00"),
// not in the system's language.
TEST(RealDialogs, TheFileChooserWritesDatesInJapanese) {
  QLocale::setDefault(QLocale(QLocale::Japanese, QLocale::Japan));
  test::TempDir dir;
  test::WriteBytes(dir.File("chat_20240501.html"), std::string(3000, 'x'));
  const QDateTime may(QDate(2024, 5, 1), QTime(12, 0));
  {
    QFile file(QString::fromStdString(dir.File("chat_20240501.html")));
    ASSERT_TRUE(file.open(QIODevice::ReadWrite));
    ASSERT_TRUE(file.setFileTime(may, QFileDevice::FileModificationTime));
  }
  const GuiDialogs real = RealGuiDialogs();
  QString date, size;
  EXPECT_TRUE(WithModalDialog(
      [&] { real.OpenFile(nullptr, QString::fromStdString(dir.Path()), QStringLiteral("ログファイル (*.html)")); },
      [&](QWidget& dialog) {
        auto* chooser = qobject_cast<QFileDialog*>(&dialog);
        ASSERT_NE(chooser, nullptr);
        auto* files = chooser->findChild<QFileSystemModel*>();
        ASSERT_NE(files, nullptr);
        QAbstractProxyModel* shown = chooser->proxyModel();
        ASSERT_NE(shown, nullptr);
        const QString path = QString::fromStdString(dir.File("chat_20240501.html"));
        ASSERT_TRUE(QTest::qWaitFor([&] { return files->index(path).isValid() && files->size(files->index(path)) > 0; }, 5000));
        date = shown->mapFromSource(files->index(path, 3)).data().toString();
        size = shown->mapFromSource(files->index(path, 1)).data().toString();
      }));
  EXPECT_EQ(date, QStringLiteral("2024/05/01 12:00"));
  EXPECT_EQ(size, QLocale().formattedDataSize(3000));
  QLocale::setDefault(QLocale::c());
}

TEST(ProgramIconTest, HasThePictureAtEachSize) {
  const QIcon icon = ProgramIcon();
  for (int size : {16, 32, 48}) {
    const QImage image = icon.pixmap(size, size).toImage();
    EXPECT_EQ(image.size(), QSize(size, size));
    // A disc: the corners are clear, the middle is painted.
    EXPECT_EQ(qAlpha(image.pixel(0, 0)), 0) << size;
    EXPECT_EQ(qAlpha(image.pixel(size / 2, size / 2)), 255) << size;
  }
}

TEST(SinkCounterWindowTest, FloatsAboveWithoutButtonsAndShowsTheScore) {
  QWidget mainWindow;
  mainWindow.setGeometry(300, 200, 734, 707);
  mainWindow.show();
  SinkCounterWindow window(&mainWindow);
  EXPECT_FALSE(window.isVisible());
  EXPECT_EQ(window.objectName(), QStringLiteral("sinkCounterWindow"));
  EXPECT_EQ(window.windowTitle(), QStringLiteral("撃沈カウント"));
  EXPECT_TRUE(window.isWindow());
  // A tool window on top, with no frame from the window system (whose title bar could
  // bring buttons), and its own caption bar above the score.
  const Qt::WindowFlags flags = window.windowFlags();
  EXPECT_EQ(flags & Qt::WindowType_Mask, Qt::Tool);
  EXPECT_TRUE(flags & Qt::WindowStaysOnTopHint);
  EXPECT_TRUE(flags & Qt::FramelessWindowHint);
  EXPECT_FALSE(flags & (Qt::WindowCloseButtonHint | Qt::WindowMinimizeButtonHint |
                        Qt::WindowMaximizeButtonHint | Qt::WindowSystemMenuHint));
  EXPECT_NEAR(window.windowOpacity(), 128.0 / 255.0, 0.01);
  EXPECT_EQ(window.size(), QSize(209, SinkCounterWindow::kCaptionHeight + 26));
  EXPECT_EQ(window.minimumSize(), window.maximumSize());
  QLabel* caption = Child<QLabel>(window, "Caption");
  EXPECT_EQ(caption->text(), QStringLiteral("撃沈カウント"));
  EXPECT_TRUE(window.findChildren<QAbstractButton*>().isEmpty());

  QLabel* label = Child<QLabel>(window, "scoreLabel");
  EXPECT_EQ(label->text(), QStringLiteral("味方 0 - 0 敵"));
  EXPECT_EQ(label->alignment(), Qt::AlignCenter);
  EXPECT_TRUE(label->font().bold());
  EXPECT_EQ(label->font().pixelSize(), 21);
  EXPECT_EQ(label->palette().color(QPalette::WindowText), QColor(Qt::red));

  window.SetText(QStringLiteral("味方 3 - 12 敵"));
  EXPECT_EQ(label->text(), QStringLiteral("味方 3 - 12 敵"));
  EXPECT_EQ(window.Text(), QStringLiteral("味方 3 - 12 敵"));

  window.ShowCentredOn(&mainWindow);
  EXPECT_TRUE(window.isVisible());
  EXPECT_EQ(caption->geometry(), QRect(0, 0, 209, SinkCounterWindow::kCaptionHeight));
  EXPECT_EQ(label->geometry(), QRect(0, SinkCounterWindow::kCaptionHeight, 209, 26));
  EXPECT_LE((window.frameGeometry().center() - mainWindow.frameGeometry().center())
                .manhattanLength(),
            2);

  // Dragging the caption moves the window (by hand: there is no window manager here).
  const QPoint before = window.pos();
  QTest::mousePress(caption, Qt::LeftButton, {}, QPoint(20, 5));
  QTest::mouseMove(caption, QPoint(60, 35));
  QTest::mouseRelease(caption, Qt::LeftButton, {}, QPoint(60, 35));
  EXPECT_EQ(window.pos(), before + QPoint(40, 30));

  // The window system cannot close it; the program can.
  QCloseEvent fromWindowSystem;
  QSpontaneKeyEvent::setSpontaneous(&fromWindowSystem);
  // notify() directly: sendEvent would clear the spontaneous mark.
  QApplication::instance()->notify(&window, &fromWindowSystem);
  EXPECT_FALSE(fromWindowSystem.isAccepted());
  EXPECT_TRUE(window.isVisible());
  EXPECT_TRUE(window.close());
  EXPECT_FALSE(window.isVisible());
}

}  // namespace
}  // namespace mizuto
