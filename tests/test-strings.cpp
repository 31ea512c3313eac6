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

/* What the replacement must equal byte for byte: split at every occurrence,
 * left to right without overlap, and join with the replacement. */
std::string
split_and_join (const char *string, const char *old, const char *replacement)
{
  if (string[0] == '\0' || old[0] == '\0')
    return string;
  g_auto (GStrv) pieces = g_strsplit (string, old, -1);
  return take (g_strjoinv (replacement, pieces));
}

/* Shorter, equal and longer replacements take different roads (trimmed
 * buffer or counted size); overlapping and periodic patterns, partial matches
 * just before a real one, and replacements that contain the pattern or
 * complete it with the text around are where a search that resumes in the
 * wrong place, or a count that disagrees with the copy, would show. */
TEST_F (StringTest, ReplaceEqualsSplitAndJoin)
{
  /* Long enough for many thousand occurrences; ASan checks the whole rest of
   * the string on every strstr, which makes much longer runs crawl there. */
  const std::string big_run (1 << 14, 'a');
  const std::tuple<std::string, const char *, const char *> table[] = {
    { "aaaa", "aa", "a" },        { "aaaaa", "aa", "aaa" },     { "abababa", "aba", "" },
    { "aaab", "aab", "x" },       { "abcabd", "abd", "ab" },    { "xaxbx", "x", "xx" },
    { "ab", "b", "bb" },          { "ba", "a", "ab" },          { "abc", "abc", "" },
    { "abc", "abc", "abcabc" },   { "abc", "abcd", "z" },       { "a", "a", "a" },
    { "\xc3\xa9\xc3\xa9", "\xa9\xc3", "-" }, { "--", "-", "" }, { "x-y", "-", "--" },
    { big_run, "a", "" },         { big_run, "a", "b" },        { big_run, "aaa", "bbbb" },
    { big_run + "b", "ab", "ba" },
  };
  for (const auto &[string, old, replacement] : table)
    EXPECT_EQ (take (vontle_replace_substring (string.c_str (), old, replacement)),
               split_and_join (string.c_str (), old, replacement))
      << string.substr (0, 16) << " / " << old << " / " << replacement;
}

} // namespace
