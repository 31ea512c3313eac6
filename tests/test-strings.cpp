/* SPDX-License-Identifier: LGPL-2.1-or-later */
#include "vontle-test.h"

#include <vontle/vontle.h>

using vontle_test::take;

namespace {

using StringTest = vontle_test::GLibLogTest;

TEST_F (StringTest, EscapeMarksTheSixCharactersBytewise)
{
  const std::pair<const char *, const char *> table[] = {
    { "", "" },
    { "a b", "a\\ b" },
    { "it's #1", "it\\'s\\ \\#1" },
    { "\\n", "\\\\n" },
    { "\t\"q\"", "\\\t\\\"q\\\"" },
    { "a\nb$;|&`()\xc3\xa9\x7f", "a\nb$;|&`()\xc3\xa9\x7f" },
  };
  for (const auto &[input, expected] : table)
    EXPECT_EQ (take (vontle_escape_string (input)), expected) << input;
  EXPECT_EQ (vontle_escape_string (nullptr), nullptr);
}

/* Every byte value once, against the six characters written out here: only
 * they gain a backslash, bytes above 127 included. */
TEST_F (StringTest, EscapeOfEveryByteValue)
{
  std::string input, expected;
  for (int value = 1; value < 256; value++)
    {
      const char byte = static_cast<char> (value);
      input += byte;
      if (byte == '\\' || byte == ' ' || byte == '\t' || byte == '"' || byte == '\'' || byte == '#')
        expected += '\\';
      expected += byte;
    }
  EXPECT_EQ (take (vontle_escape_string (input.c_str ())), expected);
}

TEST_F (StringTest, ReplaceIsOneLeftToRightPassWithoutOverlap)
{
  const std::tuple<const char *, const char *, const char *, const char *> table[] = {
    { "a-b-c", "-", "+", "a+b+c" }, { "aaa", "aa", "b", "ba" }, { "-a-", "-", "", "a" },
    { "abc", "x", "y", "abc" },     { "", "a", "b", "" },       { "abc", "", "y", "abc" },
    { "ab", "b", "bb", "abb" },     { "xyxy", "xy", "<xy>", "<xy><xy>" },
  };
  for (const auto &[string, old, replacement, expected] : table)
    {
      char *replaced = vontle_replace_substring (string, old, replacement);
      EXPECT_NE (replaced, string);
      EXPECT_EQ (take (replaced), expected) << string << " / " << old;
    }
  EXPECT_EQ (vontle_replace_substring (nullptr, "a", "b"), nullptr);
  EXPECT_EQ (vontle_replace_substring ("a", nullptr, "b"), nullptr);
  EXPECT_EQ (vontle_replace_substring ("a", "a", nullptr), nullptr);
}

} // namespace
