#include "app/version/version_check.h"

#include <algorithm>
#include <cctype>

#include "text/codec.h"
#include "text/sjis.h"
#include "text/utf8.h"

namespace mizuto {

namespace {

// The word every valid version page title holds: the program's name without its version.
constexpr std::string_view kProgramNameWord = "Mizuto";
constexpr std::string_view kTitleOpen = "<TITLE>";
constexpr std::string_view kTitleClose = "</TITLE>";

std::string Lower(std::string_view text) {
  std::string out(text);
  for (char& c : out) c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
  return out;
}

// The charset parameter of a Content-Type header, lower-cased, or empty.
std::string CharsetOf(std::string_view contentType) {
  const std::string lower = Lower(contentType);
  const std::size_t at = lower.find("charset=");
  if (at == std::string::npos) return {};
  std::size_t begin = at + 8;
  std::size_t end = begin;
  while (end < lower.size() && lower[end] != ';' && lower[end] != ' ' && lower[end] != '\t')
    ++end;
  std::string value = lower.substr(begin, end - begin);
  if (value.size() >= 2 && (value.front() == '"' || value.front() == '\'') &&
      value.back() == value.front())
    value = value.substr(1, value.size() - 2);
  return value;
}

bool IsUtf8Name(std::string_view charset) { return charset == "utf-8" || charset == "utf8"; }

bool IsDigit(char c) { return c >= '0' && c <= '9'; }

// -1, 0 or 1 as a is lower than, equal to or higher than b; missing parts count as 0, so
// 1.5 and 1.5.0 are the same version.
int CompareVersions(const std::vector<long long>& a, const std::vector<long long>& b) {
  for (std::size_t i = 0; i < std::max(a.size(), b.size()); ++i) {
    const long long x = i < a.size() ? a[i] : 0;
    const long long y = i < b.size() ? b[i] : 0;
    if (x != y) return x < y ? -1 : 1;
  }
  return 0;
}

}  // namespace

std::vector<long long> TitleVersion(std::string_view titleSjis) {
  const std::size_t name = FindChar(titleSjis, kProgramNameWord);
  if (name == 0) return {};
  std::string_view rest = FromByte(titleSjis, static_cast<long long>(name + kProgramNameWord.size()));
  if (const std::size_t ver = FindChar(rest, "Ver")) rest = FromByte(rest, static_cast<long long>(ver + 3));
  // Digits are ASCII, and no trail byte of a double-byte character is one.
  std::size_t i = 0;
  while (i < rest.size() && !IsDigit(rest[i])) ++i;
  std::vector<long long> parts;
  while (i < rest.size() && IsDigit(rest[i])) {
    long long value = 0;
    while (i < rest.size() && IsDigit(rest[i])) {
      // A number too long to be a version is cut, not overflowed.
      if (value < 1'000'000'000'000LL) value = value * 10 + (rest[i] - '0');
      ++i;
    }
    parts.push_back(value);
    if (i + 1 < rest.size() && rest[i] == '.' && IsDigit(rest[i + 1])) {
      ++i;
    } else {
      break;
    }
  }
  return parts;
}

const std::string& VersionConnectionErrorMessage() { return SJ("接続エラー"); }

VersionCheckResult EvaluateVersionPage(std::string_view pageSjis, std::string_view programTitleSjis,
                                       std::string* messageSjis) {
  auto finish = [messageSjis](VersionCheckResult result, std::string message) {
    if (messageSjis) *messageSjis = std::move(message);
    return result;
  };
  auto fail = [&finish]() {
    return finish(kVersionConnectionError, VersionConnectionErrorMessage());
  };

  const std::size_t close = FindChar(pageSjis, kTitleClose);
  if (close == 0) return fail();
  const std::string_view head = CutBytes(pageSjis, static_cast<long long>(close) - 1);
  const std::size_t open = FindChar(head, kTitleOpen);
  if (open == 0) return fail();
  const std::string_view title =
      FromByte(head, static_cast<long long>(open + kTitleOpen.size()));
  if (FindChar(title, kProgramNameWord) == 0) return fail();
  // A title without a version number cannot name a newer version.
  const std::vector<long long> offered = TitleVersion(title);
  if (offered.empty()) return fail();

  // An older release on the page (a mirror not yet updated) is no news either.
  if (CompareVersions(offered, TitleVersion(programTitleSjis)) <= 0)
    return finish(kVersionIsCurrent, std::string(programTitleSjis) + SJ("は最新版です。"));
  return finish(kVersionFound, std::string(title) + SJ("が見つかりました。"));
}

std::string VersionPageBodyToSjis(std::string_view body, std::string_view contentType) {
  constexpr std::string_view kUtf8Bom = "\xEF\xBB\xBF";
  if (body.substr(0, kUtf8Bom.size()) == kUtf8Bom)
    return Utf8ToSjis(body.substr(kUtf8Bom.size()));
  const std::string charset = CharsetOf(contentType);
  if (IsUtf8Name(charset)) return Utf8ToSjis(body);
  if (charset.empty()) {
    bool hasMultiByte = false;
    if (IsWellFormedUtf8(body, &hasMultiByte) && hasMultiByte) return Utf8ToSjis(body);
  }
  return std::string(body);
}

}  // namespace mizuto
