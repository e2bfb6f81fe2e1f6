// Asking the home site whether a newer version exists: one HTTP GET of the version page,
// whose HTML title names the newest release.
#pragma once

#include <QUrl>
#include <string>

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

// Fetches the version page and compares its title with the program's title. Blocks the
// caller (user input stays queued) until the reply arrives or `timeoutMs` passes. Any
// failure of the request itself (no name, refused, time-out, an HTTP error status, an
// oversized reply) gives kVersionConnectionError with "接続エラー". Never throws.
// Returns a VersionCheckResult; *messageSjis gets the message (Shift-JIS).
int CheckLatestVersion(const QUrl& versionPage, const App& app, std::string* messageSjis,
                       int timeoutMs = 5000);

// The Help menu's check: runs it and shows its message, whatever the result, in a message
// box captioned "バージョン情報".
void VerCheckExecute(const QUrl& versionPage, const App& app, QWidget* parent,
                     GuiDialogs& dialogs);

}  // namespace mizuto
