#include "gui/version_fetch.h"

#include <QEventLoop>
#include <QNetworkAccessManager>
#include <QNetworkProxy>
#include <QNetworkReply>
#include <QNetworkRequest>
#include <QTimer>
#include <optional>

#include "app/app.h"
#include "app/version_check.h"
#include "gui/gui_dialogs.h"
#include "gui/gui_text.h"

namespace mizuto {

namespace {

// A version page is a few hundred bytes; anything this large is not one, and is not kept
// in memory while it streams in.
constexpr qsizetype kMaxVersionPageBytes = 1 << 20;

struct Fetched {
  QByteArray Body;
  QByteArray ContentType;
};

// One GET; the body of a successful (2xx) reply, or nothing on any failure.
std::optional<Fetched> FetchPage(const QUrl& url, int timeoutMs) {
  const QString scheme = url.scheme().toLower();
  if (!url.isValid() || (scheme != QLatin1String("http") && scheme != QLatin1String("https")))
    return std::nullopt;

  QNetworkAccessManager manager;
  manager.setProxy(QNetworkProxy::NoProxy);
  QNetworkRequest request(url);
  request.setAttribute(QNetworkRequest::CacheLoadControlAttribute,
                       QNetworkRequest::AlwaysNetwork);
  request.setAttribute(QNetworkRequest::RedirectPolicyAttribute,
                       QNetworkRequest::NoLessSafeRedirectPolicy);
  request.setMaximumRedirectsAllowed(5);

  QNetworkReply* reply = manager.get(request);
  Fetched fetched;
  bool tooLarge = false;
  QEventLoop loop;
  QTimer deadline;
  deadline.setSingleShot(true);
  QObject::connect(&deadline, &QTimer::timeout, reply, &QNetworkReply::abort);
  QObject::connect(reply, &QNetworkReply::readyRead, reply, [&]() {
    if (tooLarge) return;
    fetched.Body += reply->readAll();
    if (fetched.Body.size() > kMaxVersionPageBytes) {
      tooLarge = true;
      reply->abort();
    }
  });
  QObject::connect(reply, &QNetworkReply::finished, &loop, &QEventLoop::quit);
  deadline.start(timeoutMs > 0 ? timeoutMs : 0);
  // The check blocks its caller by design; clicks and keys wait in the queue meanwhile.
  if (!reply->isFinished()) loop.exec(QEventLoop::ExcludeUserInputEvents);
  deadline.stop();

  const bool ok = !tooLarge && reply->error() == QNetworkReply::NoError;
  const int status = reply->attribute(QNetworkRequest::HttpStatusCodeAttribute).toInt();
  if (ok) {
    fetched.Body += reply->readAll();
    fetched.ContentType = reply->rawHeader("Content-Type");
  }
  reply->disconnect();
  delete reply;
  if (!ok || status < 200 || status > 299 || fetched.Body.size() > kMaxVersionPageBytes)
    return std::nullopt;
  return fetched;
}

}  // namespace

QUrl HomePageUrl() {
  const QUrl fromEnvironment(qEnvironmentVariable(kHomePageVariable), QUrl::StrictMode);
  const QString scheme = fromEnvironment.scheme().toLower();
  if (fromEnvironment.isValid() && !fromEnvironment.host().isEmpty() &&
      (scheme == QLatin1String("http") || scheme == QLatin1String("https"))) {
    return fromEnvironment;
  }
  return QUrl(QString::fromLatin1(kHomePageUrl));
}

QUrl VersionPageUrl(const QUrl& home) {
  QUrl url = home;
  url.setUserInfo(QString());
  url.setPath(QStringLiteral("/files/Ver_Mizuto.php"));
  url.setQuery(QString());
  url.setFragment(QString());
  return url;
}

int CheckLatestVersion(const QUrl& versionPage, const App& app, std::string* messageSjis,
                       int timeoutMs) {
  try {
    const std::optional<Fetched> fetched = FetchPage(versionPage, timeoutMs);
    if (fetched) {
      const std::string page = VersionPageBodyToSjis(
          std::string_view(fetched->Body.constData(),
                           static_cast<std::size_t>(fetched->Body.size())),
          std::string_view(fetched->ContentType.constData(),
                           static_cast<std::size_t>(fetched->ContentType.size())));
      return EvaluateVersionPage(page, app.ProgramTitle(), messageSjis);
    }
  } catch (...) {
    // Out of memory or the like: the check is optional, so it reports a connection error.
  }
  if (messageSjis) *messageSjis = VersionConnectionErrorMessage();
  return kVersionConnectionError;
}

void VerCheckExecute(const QUrl& versionPage, const App& app, QWidget* parent,
                     GuiDialogs& dialogs) {
  std::string message;
  CheckLatestVersion(versionPage, app, &message);
  dialogs.Message(parent, ToQt(message), QStringLiteral("バージョン情報"));
}

}  // namespace mizuto
