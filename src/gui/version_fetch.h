// Asking the home site whether a newer version exists: one HTTP GET of the version page,
// whose HTML title names the newest release. The request runs in the background: the
// window goes on answering while it waits, and the result is shown when it arrives.
#pragma once

#include <QByteArray>
#include <QNetworkAccessManager>
#include <QObject>
#include <QPointer>
#include <QTimer>
#include <QUrl>
#include <functional>
#include <string>

#include "app/version_check.h"

class QNetworkReply;
class QWidget;

namespace mizuto {

struct App;
struct GuiDialogs;

// The home page. The address of the real site is not known here: this host is a
// placeholder under the reserved ".example" domain, to be replaced once the site exists.
inline constexpr const char* kHomePageUrl = "http://mizuto.example/";
// The environment variable that names another home page (a mirror, a test server).
inline constexpr const char* kHomePageVariable = "MIZUTO_HOME_URL";

// The home page: the address in $MIZUTO_HOME_URL when it is a web (http or https) address,
// else the placeholder above.
QUrl HomePageUrl();

// The version page on the home page's host: same scheme, host and port, path
// "/files/Ver_Mizuto.php".
QUrl VersionPageUrl(const QUrl& home);

// One check of the version page. Any failure of the request itself (no name, refused,
// time-out, an HTTP error status, an oversized reply, an address that is not http or https)
// gives kVersionConnectionError with "接続エラー".
class VersionCheck : public QObject {
  Q_OBJECT

 public:
  // The result and its message (Shift-JIS).
  using Done = std::function<void(VersionCheckResult result, const std::string& messageSjis)>;

  // Starts a check of `versionPage` against `programTitleSjis` and returns at once. `done`
  // runs exactly once, from the event loop, when the reply has arrived, failed or taken
  // longer than `timeoutMs`; the check then deletes itself. Deleting `parent` (or the check)
  // before that cancels it, and `done` never runs.
  static VersionCheck* Start(const QUrl& versionPage, std::string programTitleSjis,
                             QObject* parent, Done done, int timeoutMs = 5000);
  ~VersionCheck() override;

 private:
  VersionCheck(std::string programTitleSjis, QObject* parent, Done done);
  void Request(const QUrl& versionPage, int timeoutMs);
  void Finish();
  void Report(VersionCheckResult result, const std::string& messageSjis);

  std::string programTitle_;
  Done done_;
  QNetworkAccessManager manager_;
  QTimer deadline_;
  QNetworkReply* reply_ = nullptr;
  QByteArray body_;
  bool tooLarge_ = false;
};

// The Help menu's check: starts it and hands its message, whatever the result, to `answer`
// once it is known (from the event loop). Cancelled with `parent`.
void CheckVersionOnRequest(const QUrl& versionPage, const App& app, QWidget* parent,
                     std::function<void(const std::string& messageSjis)> answer);
// The check's answer: its message in a box captioned "バージョン情報".
void ShowVersionAnswer(QWidget* parent, GuiDialogs& dialogs, const std::string& messageSjis);

}  // namespace mizuto
