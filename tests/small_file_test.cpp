// Reading a settings or list file whole, up to its limit and not a byte past it.
#include <gtest/gtest.h>

#include <string>

#include "platform/platform.h"
#include "support/test_basics.h"

namespace mizuto {
namespace {

// A file of exactly the limit is read; one byte more is refused whole.
TEST(SmallFileTest, AFileUpToTheLimitIsReadAndOneByteMoreIsNot) {
  constexpr std::size_t kLimit = 1000;
  const struct {
    std::size_t size;
    platform::SmallFileRead outcome;
  } cases[] = {
      {kLimit - 1, platform::SmallFileRead::Read},
      {kLimit, platform::SmallFileRead::Read},
      {kLimit + 1, platform::SmallFileRead::TooLarge},
  };
  test::TempDir dir;
  for (const auto& c : cases) {
    SCOPED_TRACE(c.size);
    std::string content(c.size, 'x');
    content.front() = '<';
    content.back() = '>';
    test::WriteBytes(dir.File("list.txt"), content);
    std::string bytes = "left over";
    std::string reason;
    EXPECT_EQ(platform::ReadSmallFile(dir.File("list.txt"), kLimit, &bytes, &reason), c.outcome) << reason;
    EXPECT_EQ(bytes, c.outcome == platform::SmallFileRead::Read ? content : std::string());
  }
}

}  // namespace
}  // namespace mizuto
