// Converts a UTF-8 text file to Shift-JIS with CR LF line ends (used by the build for the
// list files shipped with the program).
#include <cstdio>
#include <string>

#include "battle/reference_lists.h"
#include "platform/platform.h"
#include "text/codec.h"

int main(int argc, char** argv) {
  if (argc != 3) {
    std::fprintf(stderr, "usage: mizuto_to_sjis IN OUT\n");
    return 2;
  }
  std::string bytes;
  if (!mizuto::ReadWholeFile(argv[1], &bytes)) {
    std::fprintf(stderr, "cannot read %s\n", argv[1]);
    return 1;
  }
  std::string out;
  for (const std::string& line : mizuto::SplitListLines(bytes)) {
    out += mizuto::Utf8ToSjis(line);
    out += "\r\n";
  }
  std::string error;
  if (!mizuto::platform::ReplaceFile(argv[2], out, &error)) {
    std::fprintf(stderr, "%s\n", error.c_str());
    return 1;
  }
  return 0;
}
