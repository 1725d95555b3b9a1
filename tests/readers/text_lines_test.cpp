#include "readers/text_lines.hpp"

#include <gtest/gtest.h>

TEST(TextLines, MixedTerminatorsEachEndOneLine) {
  // A group's closing brace followed by a lone CR must not swallow the next line.
  // CR CR LF is one end; a lone CR before anything else still ends a line.
  const auto lines = SplitLinesCopy("a\r\n\t}\r}\r\nb\nc\r\rd\r\r\ne\r\r\r\nf");
  const std::vector<std::string> expected{"a", "\t}", "}", "b", "c", "", "d", "e", "", "f"};
  EXPECT_EQ(lines, expected);
}

TEST(TextLines, FinalLineWithoutTerminatorAndEmptyText) {
  EXPECT_TRUE(SplitLines("").empty());
  EXPECT_EQ(SplitLinesCopy("x\n"), std::vector<std::string>{"x"});
  EXPECT_EQ(SplitLinesCopy("\n\n"), (std::vector<std::string>{"", ""}));
  EXPECT_EQ(SplitLinesCopy("only"), std::vector<std::string>{"only"});
  // Bytes outside ASCII pass through untouched.
  EXPECT_EQ(SplitLinesCopy("\xe9\xb0\r\n\x80"), (std::vector<std::string>{"\xe9\xb0", "\x80"}));
}
