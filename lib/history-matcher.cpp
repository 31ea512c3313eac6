/* SPDX-License-Identifier: LGPL-2.1-or-later */
#include "history-matcher.h"

#include <algorithm>
#include <cstring>

namespace vontle {

namespace {

constexpr size_t no_match = G_MAXSIZE;

/* The first byte that is not ASCII, and the letters that lowering moves. */
constexpr guchar first_non_ascii = 0x80;
constexpr unsigned ascii_letters = 26;

/* Where the score sits in a fuzzy rank key, above the length. */
constexpr unsigned rank_score_shift = 16;

/* The fuzzy score of one matched character, and what adds to it. */
constexpr guint32 score_per_character = 16;
constexpr guint32 score_at_text_start = 32;
constexpr guint32 score_at_word_start = 24;
constexpr guint32 score_after_previous = 16;

/* g_ascii_tolower without the call, for the loops over every byte. */
inline guchar
lower_ascii (guchar c)
{
  return static_cast<guchar> (c + (static_cast<unsigned> (c - 'A') < ascii_letters ? 'a' - 'A' : 0));
}

/* Whether S starts with PATTERN, ASCII letters of S lowered. */
inline bool
starts_with_lowered (const guchar *s, const guchar *pattern)
{
  for (; *pattern != '\0'; s++, pattern++)
    if (lower_ascii (*s) != *pattern)
      return false;
  return true;
}

bool
is_word_byte (guchar c)
{
  return g_ascii_isalnum (c) || c >= first_non_ascii;
}

/* The length of the character at S, or 1 for a byte that starts no valid
 * character: lines from storage need not be UTF-8. */
size_t
char_length (const char *s, size_t remaining)
{
  if (static_cast<guchar> (*s) < first_non_ascii)
    return 1;
  const gunichar c = g_utf8_get_char_validated (s, static_cast<gssize> (remaining));
  if (c == static_cast<gunichar> (-1) || c == static_cast<gunichar> (-2))
    return 1;
  return static_cast<size_t> (g_utf8_next_char (s) - s);
}

/* LINE with each character case-folded; ORIGIN, when given, gets for each
 * byte of the result the offset in LINE of the character it came from. */
void
fold_into (const char *line, size_t length, Buffer<char> &out, Buffer<guint> *origin)
{
  out.clear ();
  if (origin != nullptr)
    origin->clear ();
  for (size_t i = 0; i < length;)
    {
      const size_t n = char_length (line + i, length - i);
      const size_t before = out.size ();
      if (n == 1)
        out.push_back (static_cast<char> (lower_ascii (static_cast<guchar> (line[i]))));
      else
        {
          g_autofree char *folded = g_utf8_casefold (line + i, static_cast<gssize> (n));
          out.append (folded, strlen (folded));
        }
      if (origin != nullptr)
        for (size_t k = before; k < out.size (); k++)
          origin->push_back (static_cast<guint> (i));
      i += n;
    }
}

bool
has_upper_case (const char *text)
{
  for (const char *p = text; *p != '\0'; p = g_utf8_next_char (p))
    {
      const gunichar c = g_utf8_get_char (p);
      if (g_unichar_isupper (c) || g_unichar_istitle (c))
        return true;
    }
  return false;
}

bool
same_character (const char *text, size_t text_length, const char *pattern, size_t pattern_length)
{
  return text_length == pattern_length && memcmp (text, pattern, text_length) == 0;
}

/* Where the shortest run of TEXT that begins at its start and holds the
 * pattern's characters in order ends, or no_match. */
size_t
fuzzy_end (const char *text, size_t length, const Buffer<char> &pattern)
{
  size_t j = 0;
  size_t i = 0;
  while (i < length && j < pattern.size ())
    {
      const size_t n = char_length (text + i, length - i);
      const size_t m = char_length (pattern.data () + j, pattern.size () - j);
      if (same_character (text + i, n, pattern.data () + j, m))
        j += m;
      i += n;
    }
  return j == pattern.size () ? i : no_match;
}

/* The character starts of TEXT in [FROM, TO). */
void
char_starts (const char *text, size_t from, size_t to, Buffer<guint> &out)
{
  for (size_t i = from; i < to; i += char_length (text + i, to - i))
    out.push_back (static_cast<guint> (i));
}

/* The matched characters of a fuzzy match that ends at END: the backward
 * walk (each pattern character as late as it can be) finds where the
 * tightest stretch ending there starts, and a forward walk from that start
 * takes each character as early as it can be within it, where word starts
 * usually lie. */
void
fuzzy_positions (const char *text, size_t end, const Buffer<char> &pattern, Buffer<guint> &out)
{
  Buffer<guint> starts;
  char_starts (text, 0, end, starts);
  Buffer<guint> pattern_starts;
  char_starts (pattern.data (), 0, pattern.size (), pattern_starts);
  out.clear ();
  size_t k = starts.size ();
  for (size_t q = pattern_starts.size (); q-- > 0;)
    {
      const size_t m = (q + 1 < pattern_starts.size () ? pattern_starts[q + 1] : pattern.size ()) - pattern_starts[q];
      while (k-- > 0)
        {
          const size_t n = (k + 1 < starts.size () ? starts[k + 1] : end) - starts[k];
          if (same_character (text + starts[k], n, pattern.data () + pattern_starts[q], m))
            {
              out.push_back (starts[k]);
              break;
            }
        }
    }
  if (out.empty ())
    return;
  const size_t start = out.back ();
  out.clear ();
  size_t j = 0;
  for (size_t i = start; i < end && j < pattern.size ();)
    {
      const size_t n = char_length (text + i, end - i);
      const size_t m = char_length (pattern.data () + j, pattern.size () - j);
      if (same_character (text + i, n, pattern.data () + j, m))
        {
          out.push_back (static_cast<guint> (i));
          j += m;
        }
      i += n;
    }
}

guint32
fuzzy_score (const char *text, size_t length, const Buffer<guint> &positions)
{
  guint32 score = 0;
  size_t previous_end = no_match;
  for (const guint p : positions)
    {
      score += score_per_character;
      if (p == 0)
        score += score_at_text_start;
      else if (!is_word_byte (static_cast<guchar> (text[p - 1])))
        score += score_at_word_start;
      if (p == previous_end)
        score += score_after_previous;
      previous_end = p + char_length (text + p, length - p);
    }
  return score;
}

/* The matched characters in TEXT, already folded when the query folds. */
Buffer<guint>
positions_in (const char *text, size_t length, const Buffer<char> &pattern, VontleInputHistoryMatchMode mode)
{
  Buffer<guint> out;
  switch (mode)
    {
    case VONTLE_INPUT_HISTORY_MATCH_PREFIX:
      if (length >= pattern.size () && memcmp (text, pattern.data (), pattern.size ()) == 0)
        char_starts (text, 0, pattern.size (), out);
      break;
    case VONTLE_INPUT_HISTORY_MATCH_SUBSTRING:
      if (const char *at = strstr (text, pattern.data ()))
        {
          const auto from = static_cast<size_t> (at - text);
          char_starts (text, from, from + pattern.size (), out);
        }
      break;
    case VONTLE_INPUT_HISTORY_MATCH_FUZZY:
      if (const size_t end = fuzzy_end (text, length, pattern); end != no_match)
        fuzzy_positions (text, end, pattern, out);
      break;
    }
  return out;
}

} // namespace

HistoryQuery::HistoryQuery (const char *text, VontleInputHistoryMatchMode mode) : mode_ (mode)
{
  if (text != nullptr)
    raw_.append (text, strlen (text));
  raw_.terminated ();
  usable_ = !raw_.empty () && g_utf8_validate (raw_.data (), static_cast<gssize> (raw_.size ()), nullptr);
  if (!usable_)
    return;
  folds_ = !has_upper_case (raw_.data ());
  if (folds_)
    fold_into (raw_.data (), raw_.size (), pattern_, nullptr);
  else
    pattern_.append (raw_.data (), raw_.size ());
  pattern_.terminated ();
}

bool
HistoryQuery::test (const char *line, guint32 *score)
{
  *score = 0;
  if (!usable_ || line == nullptr)
    return false;
  if (folds_)
    return test_ascii (line, score);
  return test_text (line, strlen (line), score);
}

/* Lowers ASCII letters as it goes; the first byte outside ASCII hands the
 * line to the folding path. An ASCII byte folds to itself lowered, and a
 * pattern character outside ASCII never equals one, so whatever this path
 * decides before that byte stands. */
bool
HistoryQuery::test_ascii (const char *line, guint32 *score)
{
  switch (mode_)
    {
    case VONTLE_INPUT_HISTORY_MATCH_PREFIX:
      return test_ascii_prefix (line, score);
    case VONTLE_INPUT_HISTORY_MATCH_SUBSTRING:
      return test_ascii_substring (line, score);
    case VONTLE_INPUT_HISTORY_MATCH_FUZZY:
      return test_ascii_fuzzy (line, score);
    }
  return false;
}

bool
HistoryQuery::test_ascii_prefix (const char *line, guint32 *score)
{
  for (size_t k = 0; k < pattern_.size (); k++)
    {
      const auto c = static_cast<guchar> (line[k]);
      if (c >= first_non_ascii)
        return test_folded (line, score);
      if (lower_ascii (c) != static_cast<guchar> (pattern_[k]))
        return false;
    }
  return true;
}

/* One pass, no copy: the whole line is read anyway, to learn whether it is
 * ASCII. */
bool
HistoryQuery::test_ascii_substring (const char *line, guint32 *score)
{
  const auto *pattern = reinterpret_cast<const guchar *> (pattern_.data ());
  guchar seen = 0;
  bool found = false;
  for (const auto *s = reinterpret_cast<const guchar *> (line); *s != '\0'; s++)
    {
      seen |= *s;
      if (!found && lower_ascii (*s) == pattern[0])
        found = starts_with_lowered (s + 1, pattern + 1);
    }
  if (seen >= first_non_ascii)
    return test_folded (line, score);
  return found;
}

bool
HistoryQuery::test_ascii_fuzzy (const char *line, guint32 *score)
{
  size_t j = 0;
  size_t i = 0;
  for (; j < pattern_.size (); i++)
    {
      const auto c = static_cast<guchar> (line[i]);
      if (c == '\0')
        return false;
      if (c >= first_non_ascii)
        return test_folded (line, score);
      if (lower_ascii (c) == static_cast<guchar> (pattern_[j]))
        j++;
    }
  /* Scored over the lowered run only: the rest of the line cannot change
   * where the characters lie. */
  scratch_.clear ();
  scratch_.append (line, i);
  for (char &c : scratch_)
    c = static_cast<char> (lower_ascii (static_cast<guchar> (c)));
  return test_text (scratch_.terminated (), scratch_.size (), score);
}

bool
HistoryQuery::test_folded (const char *line, guint32 *score)
{
  Buffer<char> folded;
  fold_into (line, strlen (line), folded, nullptr);
  return test_text (folded.terminated (), folded.size (), score);
}

bool
HistoryQuery::test_text (const char *text, size_t length, guint32 *score) const
{
  switch (mode_)
    {
    case VONTLE_INPUT_HISTORY_MATCH_PREFIX:
      return length >= pattern_.size () && memcmp (text, pattern_.data (), pattern_.size ()) == 0;
    case VONTLE_INPUT_HISTORY_MATCH_SUBSTRING:
      return strstr (text, pattern_.data ()) != nullptr;
    case VONTLE_INPUT_HISTORY_MATCH_FUZZY:
      {
        const size_t end = fuzzy_end (text, length, pattern_);
        if (end == no_match)
          return false;
        Buffer<guint> positions;
        fuzzy_positions (text, end, pattern_, positions);
        *score = fuzzy_score (text, length, positions);
        return true;
      }
    }
  return false;
}

Buffer<guint>
HistoryQuery::positions (const char *line) const
{
  if (!usable_ || line == nullptr)
    return {};
  const size_t length = strlen (line);
  if (!folds_)
    return positions_in (line, length, pattern_, mode_);
  Buffer<char> folded;
  Buffer<guint> origin;
  fold_into (line, length, folded, &origin);
  Buffer<guint> out;
  for (const guint p : positions_in (folded.terminated (), folded.size (), pattern_, mode_))
    if (out.empty () || out.back () != origin[p])
      out.push_back (origin[p]);
  return out;
}

bool
HistoryQuery::refines (const HistoryQuery &previous) const noexcept
{
  return usable_ && previous.usable_ && mode_ == previous.mode_ && folds_ == previous.folds_
         && raw_.size () > previous.raw_.size ()
         && memcmp (raw_.data (), previous.raw_.data (), previous.raw_.size ()) == 0;
}

guint32
fuzzy_rank_key (guint32 score, size_t line_length) noexcept
{
  const guint32 capped_score = std::min<guint32> (score, G_MAXUINT16);
  const auto capped_length = static_cast<guint32> (std::min<size_t> (line_length, G_MAXUINT16));
  return (capped_score << rank_score_shift) | (G_MAXUINT16 - capped_length);
}

} // namespace vontle
