/* SPDX-License-Identifier: LGPL-2.1-or-later */
#include "vontle-private.h"

#include <climits>
#include <cstring>
#include <string_view>

namespace {

constexpr char escaped_characters[] = { '\\', ' ', '\t', '"', '\'', '#' };

/* The set as a table by byte value, built at compile time: the same answer
 * as searching the six characters, without a library call per byte. */
struct EscapeTable
{
  bool escaped[UCHAR_MAX + 1] = {};

  constexpr EscapeTable ()
  {
    for (char c : escaped_characters)
      escaped[static_cast<unsigned char> (c)] = true;
  }
};

constexpr EscapeTable escape_table;

bool
needs_escape (char byte)
{
  return escape_table.escaped[static_cast<unsigned char> (byte)];
}

/* Occurrences are found left to right, each search resuming after the end
 * of the previous occurrence, exactly as splitting at them would. strstr
 * rather than a naive scan: it stays linear however the pattern repeats. */
const char *
find_next (const char *rest, std::string_view sought)
{
  /* sought always views a whole NUL-terminated argument. */
  return strstr (rest, sought.data ());
}

/* The length of the result when every occurrence grows by GROWTH bytes. */
size_t
replaced_length (const char *string, std::string_view sought, size_t growth)
{
  size_t length = strlen (string);
  for (const char *found = find_next (string, sought); found != nullptr;
       found = find_next (found + sought.size (), sought))
    if (!g_size_checked_add (&length, length, growth))
      g_error ("vontle_replace_substring: the result would not fit in memory");
  return length;
}

/* Writes STRING with every occurrence of SOUGHT replaced by WITH into OUT,
 * which has room for the result and its NUL; returns the result's length.
 * The replacement is copied, never searched. */
size_t
copy_replacing (char *out, const char *string, std::string_view sought, std::string_view with)
{
  char *end = out;
  const char *rest = string;
  for (const char *found = find_next (rest, sought); found != nullptr;
       found = find_next (rest, sought))
    {
      const auto kept = static_cast<size_t> (found - rest);
      memcpy (end, rest, kept);
      end += kept;
      memcpy (end, with.data (), with.size ());
      end += with.size ();
      rest = found + sought.size ();
    }
  const size_t tail = strlen (rest);
  memcpy (end, rest, tail + 1);
  return static_cast<size_t> (end - out) + tail;
}

} // namespace

char *
vontle_escape_string (const char *string)
{
  if (string == nullptr)
    return nullptr;
  /* Counted first, so the result is allocated once at its exact size and
   * filled through a plain pointer: memory stays at input plus output. */
  size_t length = 0;
  for (const char *p = string; *p != '\0'; p++)
    length += needs_escape (*p) ? 2 : 1;
  auto *escaped = static_cast<char *> (g_malloc (length + 1));
  char *out = escaped;
  for (const char *p = string; *p != '\0'; p++)
    {
      if (needs_escape (*p))
        *out++ = '\\';
      *out++ = *p;
    }
  *out = '\0';
  return escaped;
}

char *
vontle_replace_substring (const char *string, const char *old, const char *replacement)
{
  if (string == nullptr || old == nullptr || replacement == nullptr)
    return nullptr;
  const std::string_view text (string);
  const std::string_view sought (old);
  const std::string_view with (replacement);
  if (text.empty () || sought.empty ())
    return static_cast<char *> (g_memdup2 (string, text.size () + 1));
  /* A replacement no longer than what it replaces never lengthens the text,
   * so one pass fills a buffer of the input's size, trimmed afterwards.
   * A longer one needs the count first to size the result exactly. */
  const size_t size = with.size () <= sought.size ()
                        ? text.size ()
                        : replaced_length (string, sought, with.size () - sought.size ());
  auto *result = static_cast<char *> (g_malloc (size + 1));
  const size_t length = copy_replacing (result, string, sought, with);
  if (length == size)
    return result;
  return static_cast<char *> (g_realloc (result, length + 1));
}
