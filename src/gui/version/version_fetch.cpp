#include "gui/version/version_fetch.h"

#include <QMetaObject>
#include <QNetworkProxy>
#include <QNetworkReply>
#include <QNetworkRequest>
#include <QVariant>
#include <QWidget>

#ifdef _WIN32
#include <ws2tcpip.h>
#else
#include <netdb.h>
#include <sys/socket.h>
#endif

#include <mutex>
#include <system_error>
#include <thread>

#include "app/owner/app.h"
#include "gui/widgets/gui_dialogs.h"
#include "gui/widgets/gui_text.h"

namespace mizuto {

namespace {

// A version page is a few hundred bytes; anything this large is not one, and is not kept
// in memory while it streams in.
constexpr qsizetype kMaxVersionPageBytes = 1 << 20;
// As many redirects as a browser's fetch of a small page would follow without a doubt.
constexpr int kMaxRedirects = 5;

// The system's addresses of `host`, in its order of preference. Blocks for as long as the
// name servers take.
QList<QHostAddress> SystemAddresses(const QString& host) {
  QList<QHostAddress> addresses;
  const QByteArray name = QUrl::toAce(host);
  if (name.isEmpty()) return addresses;
  addrinfo hints{};
  hints.ai_family = AF_UNSPEC;
  hints.ai_socktype = SOCK_STREAM;
  addrinfo* found = nullptr;
  if (::getaddrinfo(name.constData(), nullptr, &hints, &found) != 0) return addresses;
  for (const addrinfo* a = found; a != nullptr; a = a->ai_next) {
    const QHostAddress address(a->ai_addr);
    if (!address.isNull() && !addresses.contains(address)) addresses << address;
  }
  ::freeaddrinfo(found);
  return addresses;
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

struct VersionCheck::Lookup {
  std::mutex Mutex;
  VersionCheck* Check = nullptr;  // null once the check has gone or has answered
};

VersionCheck::VersionCheck(std::string programTitleSjis, QObject* parent, Done done, Resolver resolve)
    : QObject(parent),
      programTitle_(std::move(programTitleSjis)),
      done_(std::move(done)),
      resolve_(resolve ? std::move(resolve) : Resolver(SystemAddresses)) {
  manager_.setProxy(QNetworkProxy::NoProxy);
  deadline_.setSingleShot(true);
  // The time-out covers the whole check: the name's lookup, every address and redirect.
  connect(&deadline_, &QTimer::timeout, this, [this] {
    if (reply_ != nullptr) {
      reply_->abort();  // answers through Finish
    } else {
      Report(kVersionConnectionError, VersionConnectionErrorMessage());
    }
  });
}

VersionCheck* VersionCheck::Start(const QUrl& versionPage, std::string programTitleSjis,
                                  QObject* parent, Done done, int timeoutMs, Resolver resolve) {
  auto* check = new VersionCheck(std::move(programTitleSjis), parent, std::move(done), std::move(resolve));
  check->deadline_.start(timeoutMs > 0 ? timeoutMs : 0);
  check->Request(versionPage);
  return check;
}

VersionCheck::~VersionCheck() {
  Disown();
  if (reply_ == nullptr) return;
  // Cancelled: the reply's last signals must not reach a half-destroyed check.
  reply_->disconnect(this);
  reply_->abort();
  delete reply_;
}

// A lookup still running finds nobody to answer; the thread ends on its own.
void VersionCheck::Disown() {
  if (!lookup_) return;
  const std::lock_guard<std::mutex> hold(lookup_->Mutex);
  lookup_->Check = nullptr;
}

void VersionCheck::Request(const QUrl& page) {
  const QString scheme = page.scheme().toLower();
  if (!page.isValid() || page.host().isEmpty() ||
      (scheme != QLatin1String("http") && scheme != QLatin1String("https"))) {
    // Only web addresses are fetched; the answer still comes from the event loop, as
    // every answer does.
    QTimer::singleShot(0, this, [this] {
      Report(kVersionConnectionError, VersionConnectionErrorMessage());
    });
    return;
  }
  page_ = page;
  page_.setUserInfo(QString());
  const QHostAddress literal(page_.host());
  if (!literal.isNull()) {
    addresses_ = {literal};
    Fetch();
    return;
  }
  Disown();
  lookup_ = std::make_shared<Lookup>();
  lookup_->Check = this;
  try {
    std::thread([lookup = lookup_, resolve = resolve_, host = page_.host()] {
      QList<QHostAddress> found;
      try {
        found = resolve(host);
      } catch (...) {
        found.clear();  // no address: a connection error, as a name that is not known
      }
      const std::lock_guard<std::mutex> hold(lookup->Mutex);
      VersionCheck* check = lookup->Check;
      if (check == nullptr) return;
      // Posted while the lock holds the check alive; a check deleted before the event is
      // delivered takes the event with it.
      QMetaObject::invokeMethod(
          check, [check, found] { check->Resolved(found); }, Qt::QueuedConnection);
    }).detach();
  } catch (const std::system_error&) {
    QTimer::singleShot(0, this, [this] {
      Report(kVersionConnectionError, VersionConnectionErrorMessage());
    });
  }
}

void VersionCheck::Resolved(const QList<QHostAddress>& addresses) {
  Disown();
  lookup_.reset();
  if (!done_) return;  // answered already (the time-out)
  addresses_ = addresses;
  Fetch();
}

// The page at the next address to try. The server is asked by the page's host name, and a
// secure server's certificate is checked against that name.
void VersionCheck::Fetch() {
  if (addresses_.isEmpty()) {
    Report(kVersionConnectionError, VersionConnectionErrorMessage());
    return;
  }
  QUrl byAddress = page_;
  byAddress.setHost(addresses_.takeFirst().toString());
  body_.clear();
  tooLarge_ = false;
  QNetworkRequest request(byAddress);
  request.setAttribute(QNetworkRequest::CacheLoadControlAttribute, QNetworkRequest::AlwaysNetwork);
  request.setAttribute(QNetworkRequest::RedirectPolicyAttribute, QNetworkRequest::ManualRedirectPolicy);
  request.setRawHeader("Host", page_.authority(QUrl::FullyEncoded).toLatin1());
  request.setPeerVerifyName(page_.host());
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
}

// A redirect to a web address is followed as the page itself is (its host looked up
// apart), a few times at most, never from a secure page to a plain one.
bool VersionCheck::FollowRedirect(const QNetworkReply& reply) {
  const int status = reply.attribute(QNetworkRequest::HttpStatusCodeAttribute).toInt();
  const QVariant target = reply.attribute(QNetworkRequest::RedirectionTargetAttribute);
  if (status < 300 || status > 399 || !target.isValid() || redirects_ >= kMaxRedirects) return false;
  const QUrl next = page_.resolved(target.toUrl());
  if (page_.scheme().toLower() == QLatin1String("https") && next.scheme().toLower() != QLatin1String("https")) {
    return false;
  }
  ++redirects_;
  Request(next);
  return true;
}

void VersionCheck::Finish() {
  QNetworkReply* reply = reply_;
  reply_ = nullptr;
  reply->disconnect(this);
  reply->deleteLater();
  const int status = reply->attribute(QNetworkRequest::HttpStatusCodeAttribute).toInt();
  // No server at this address (not a time-out, nor an answer): the next one is tried.
  if (status == 0 && !tooLarge_ && !addresses_.isEmpty() && reply->error() != QNetworkReply::NoError &&
      reply->error() != QNetworkReply::OperationCanceledError) {
    Fetch();
    return;
  }
  if (!tooLarge_ && reply->error() == QNetworkReply::NoError && FollowRedirect(*reply)) return;
  VersionCheckResult result = kVersionConnectionError;
  std::string message = VersionConnectionErrorMessage();
  try {
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
  deadline_.stop();
  Disown();
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
