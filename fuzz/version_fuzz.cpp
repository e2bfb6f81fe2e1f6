// The version page: a reply body with its Content-Type, made Shift-JIS and evaluated
// against the program's title. The input's first line (up to the first LF) is the
// Content-Type, the rest the body.
//   - the result is one of the three, and its message is the one that result gives: our
//     own title is never reported as another version.
#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>

#include "app/owner/app.h"
#include "app/version/version_check.h"
#include "fuzz_support.h"
#include "text/codec.h"
#include "text/sjis.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  using namespace mizuto;
  const std::string_view input(reinterpret_cast<const char*>(data), size);
  const std::size_t lf = input.find('\n');
  const std::string_view contentType = lf == std::string_view::npos ? std::string_view() : input.substr(0, lf);
  const std::string_view body = lf == std::string_view::npos ? input : input.substr(lf + 1);

  static const App app;
  const std::string title = app.ProgramTitle();
  const std::string page = VersionPageBodyToSjis(body, contentType);
  std::string message;
  const int result = EvaluateVersionPage(page, title, &message);
  switch (result) {
    case kVersionIsCurrent:
      if (message != title + SJ("は最新版です。")) fuzz::Fail("current, but the message is another");
      break;
    case kVersionFound:
      if (!ContainsBytes(message, SJ("が見つかりました。"))) fuzz::Fail("found, but the message is another");
      if (message == title + SJ("が見つかりました。")) fuzz::Fail("our own title reported as another version");
      break;
    case kVersionConnectionError:
      if (message != VersionConnectionErrorMessage()) fuzz::Fail("failed, but the message is another");
      break;
    default:
      fuzz::Fail("result %d is none of the three", result);
  }
  return 0;
}
