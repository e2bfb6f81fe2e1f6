// Reading the version page: its HTML title names the newest release, whose version number
// is compared with this program's own. Qt-free, so the parsing is tested without a network.
#pragma once

#include <string>
#include <string_view>
#include <vector>

namespace mizuto {

enum VersionCheckResult {
  kVersionIsCurrent = 0,        // the page names this version or an older one
  kVersionFound = 1,            // the page names a newer version
  kVersionConnectionError = 2,  // no reply, or the reply is not a version page
};

// Evaluates a reply body (Shift-JIS) against the program's title (Shift-JIS). Writes the
// message of the result into *messageSjis (when not null) and returns the result.
// The title is the text between the first "</TITLE>" and the first "<TITLE>" before it;
// tags are matched in exactly this case, and every search starts on a character boundary.
// A title holds the program's name and a version number ("Mizuto Ver1.46"); only a higher
// number is announced ("<title>が見つかりました。"); the same or a lower one says that this
// program is the newest ("<program title>は最新版です。").
VersionCheckResult EvaluateVersionPage(std::string_view pageSjis, std::string_view programTitleSjis,
                                       std::string* messageSjis);

// The version number in a title: the dot-separated numbers after "Ver" (or, without "Ver",
// the first ones after the program's name), e.g. {1, 46}. Empty when there is none.
std::vector<long long> TitleVersion(std::string_view titleSjis);

// The message of a check that got no usable reply at all ("接続エラー"), in Shift-JIS.
const std::string& VersionConnectionErrorMessage();

// The reply body as Shift-JIS text. `contentType` is the reply's Content-Type header (may
// be empty). A body declared UTF-8, or undeclared but starting with a UTF-8 byte-order
// mark or well-formed UTF-8 with non-ASCII characters, is converted; anything else (a
// Shift-JIS page, the page of old, or plain ASCII) is taken byte for byte.
std::string VersionPageBodyToSjis(std::string_view body, std::string_view contentType);

}  // namespace mizuto
