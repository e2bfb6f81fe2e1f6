#include "gui/version_fetch.h"

#include <QNetworkProxy>
#include <QWidget>
#include <QNetworkReply>
#include <QNetworkRequest>

#include "app/app.h"
#include "gui/gui_dialogs.h"
#include "gui/gui_text.h"

namespace mizuto {

namespace {

// A version page is a few hundred bytes; anything this large is not one, and is not kept
// in memory while it streams in.
constexpr qsizetype kMaxVersionPageBytes = 1 << 20;

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

VersionCheck::VersionCheck(std::string programTitleSjis, QObject* parent, Done done)
    : QObject(parent), programTitle_(std::move(programTitleSjis)), done_(std::move(done)) {
  manager_.setProxy(QNetworkProxy::NoProxy);
  deadline_.setSingleShot(true);
}

VersionCheck* VersionCheck::Start(const QUrl& versionPage, std::string programTitleSjis,
                                  QObject* parent, Done done, int timeoutMs) {
  auto* check = new VersionCheck(std::move(programTitleSjis), parent, std::move(done));
  check->Request(versionPage, timeoutMs);
  return check;
}

VersionCheck::~VersionCheck() {
  if (reply_ == nullptr) return;
  // Cancelled: the reply's last signals must not reach a half-destroyed check.
  reply_->disconnect(this);
  reply_->abort();
  delete reply_;
}

void VersionCheck::Request(const QUrl& versionPage, int timeoutMs) {
  const QString scheme = versionPage.scheme().toLower();
  if (!versionPage.isValid() || (scheme != QLatin1String("http") && scheme != QLatin1String("https"))) {
    // Only web addresses are fetched; the answer still comes from the event loop, as
    // every answer does.
    QTimer::singleShot(0, this, [this] {
      Report(kVersionConnectionError, VersionConnectionErrorMessage());
    });
    return;
  }
  QNetworkRequest request(versionPage);
  request.setAttribute(QNetworkRequest::CacheLoadControlAttribute, QNetworkRequest::AlwaysNetwork);
  request.setAttribute(QNetworkRequest::RedirectPolicyAttribute,
                       QNetworkRequest::NoLessSafeRedirectPolicy);
  request.setMaximumRedirectsAllowed(5);
  reply_ = manager_.get(request);
  connect(reply_, &QNetworkReply::readyRead, this, [this] {
    if (tooLarge_) return;
    body_ += reply_->readAll();
    if (body_.size() > kMaxVersionPageBytes) {
      tooLarge_ = true;
      reply_->abort();
    }
  });
  connect(reply_, &QNetworkReply::finished, this, &VersionCheck::Finish);
  connect(&deadline_, &QTimer::timeout, reply_, &QNetworkReply::abort);
  deadline_.start(timeoutMs > 0 ? timeoutMs : 0);
}

void VersionCheck::Finish() {
  deadline_.stop();
  QNetworkReply* reply = reply_;
  reply_ = nullptr;
  reply->disconnect(this);
  reply->deleteLater();
  VersionCheckResult result = kVersionConnectionError;
  std::string message = VersionConnectionErrorMessage();
  try {
    const int status = reply->attribute(QNetworkRequest::HttpStatusCodeAttribute).toInt();
    if (!tooLarge_ && reply->error() == QNetworkReply::NoError) body_ += reply->readAll();
    if (!tooLarge_ && reply->error() == QNetworkReply::NoError && status >= 200 && status <= 299 &&
        body_.size() <= kMaxVersionPageBytes) {
      const QByteArray contentType = reply->rawHeader("Content-Type");
      const std::string page = VersionPageBodyToSjis(
          std::string_view(body_.constData(), static_cast<std::size_t>(body_.size())),
          std::string_view(contentType.constData(), static_cast<std::size_t>(contentType.size())));
      result = EvaluateVersionPage(page, programTitle_, &message);
    }
  } catch (...) {
    // Out of memory or the like: the check is optional, so it reports a connection error.
    result = kVersionConnectionError;
    message = VersionConnectionErrorMessage();
  }
  Report(result, message);
}

void VersionCheck::Report(VersionCheckResult result, const std::string& messageSjis) {
  // Gone once the answer is given, whatever the answer does (even delete the parent).
  Done done = std::move(done_);
  done_ = nullptr;
  deleteLater();
  if (done) done(result, messageSjis);
}

void CheckVersionOnRequest(const QUrl& versionPage, const App& app, QWidget* parent,
                     std::function<void(const std::string& messageSjis)> answer) {
  // `parent` cancels the check when it goes. Without a parent the check lives until it
  // answers.
  QPointer<QWidget> owner(parent);
  VersionCheck::Start(versionPage, app.ProgramTitle(), parent,
                      [owner, hadParent = parent != nullptr, answer = std::move(answer)](
                          VersionCheckResult, const std::string& message) {
                        if (hadParent && owner.isNull()) return;
                        answer(message);
                      });
}

void ShowVersionAnswer(QWidget* parent, GuiDialogs& dialogs, const std::string& messageSjis) {
  dialogs.Message(parent, ToQt(messageSjis), QStringLiteral("バージョン情報"));
}

}  // namespace mizuto
