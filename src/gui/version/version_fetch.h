// Asking the home site whether a newer version exists: one HTTP GET of the version page,
// whose HTML title names the newest release. The request runs in the background: the
// window goes on answering while it waits, and the result is shown when it arrives.
#pragma once

#include <QByteArray>
#include <QHostAddress>
#include <QList>
#include <QNetworkAccessManager>
#include <QObject>
#include <QPointer>
#include <QTimer>
#include <QUrl>
#include <functional>
#include <memory>
#include <string>

#include "app/version/version_check.h"

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

// One check of the version page. A host name is resolved on a thread that nothing waits
// for: a name lookup cannot be cancelled, and the toolkit's own lookups run on a pool that
// the end of the program waits for, so a name server that never answered held the process
// long after its window had closed. The toolkit is given addresses only, and follows no
// redirect by itself (a redirect names a host again). Any failure of the request itself (no name, refused,
// time-out, an HTTP error status, an oversized reply, an address that is not http or https)
// gives kVersionConnectionError with "接続エラー".
class VersionCheck : public QObject {
  Q_OBJECT

 public:
  // The result and its message (Shift-JIS).
  using Done = std::function<void(VersionCheckResult result, const std::string& messageSjis)>;

  // The addresses of a host name, in the order to try them (empty: none). It may take as
  // long as the name server does; it runs on a thread of its own.
  using Resolver = std::function<QList<QHostAddress>(const QString& host)>;

  // Starts a check of `versionPage` against `programTitleSjis` and returns at once. `done`
  // runs exactly once, from the event loop, when the reply has arrived, failed or taken
  // longer than `timeoutMs`; the check then deletes itself. Deleting `parent` (or the check)
  // before that cancels it, and `done` never runs. `resolve` finds the host's addresses
  // (empty: the system's resolver).
  static VersionCheck* Start(const QUrl& versionPage, std::string programTitleSjis,
                             QObject* parent, Done done, int timeoutMs = 5000,
                             Resolver resolve = {});
  ~VersionCheck() override;

 private:
  struct Lookup;

  VersionCheck(std::string programTitleSjis, QObject* parent, Done done, Resolver resolve);
  void Request(const QUrl& page);
  void Disown();
  void Resolved(const QList<QHostAddress>& addresses);
  void Fetch();
  void Finish();
  bool FollowRedirect(const QNetworkReply& reply);
  void Report(VersionCheckResult result, const std::string& messageSjis);

  std::string programTitle_;
  Done done_;
  Resolver resolve_;
  QNetworkAccessManager manager_;
  QTimer deadline_;
  QNetworkReply* reply_ = nullptr;
  QByteArray body_;
  bool tooLarge_ = false;
  // The page asked for now (by its host's name), the addresses left to try and the
  // redirects followed so far.
  QUrl page_;
  QList<QHostAddress> addresses_;
  int redirects_ = 0;
  // The host name being resolved: the lookup thread answers through it while the check lives.
  std::shared_ptr<Lookup> lookup_;
};

// The Help menu's check: starts it and hands its message, whatever the result, to `answer`
// once it is known (from the event loop). Cancelled with `parent`.
void CheckVersionOnRequest(const QUrl& versionPage, const App& app, QWidget* parent,
                     std::function<void(const std::string& messageSjis)> answer);
// The check's answer: its message in a box captioned "バージョン情報".
void ShowVersionAnswer(QWidget* parent, GuiDialogs& dialogs, const std::string& messageSjis);

}  // namespace mizuto
