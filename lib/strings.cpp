/* SPDX-License-Identifier: LGPL-2.1-or-later */
#include "vontle-private.h"

#include <climits>
#include <cstring>

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

} // namespace

char *
vontle_escape_string (const char *string)
{
  if (string == nullptr)
    return nullptr;
  /* Counted first, so the builder is sized once and filled through a plain
   * pointer: appending byte by byte reloads the builder's fields after
   * every byte written. */
  size_t length = 0;
  for (const char *p = string; *p != '\0'; p++)
    length += needs_escape (*p) ? 2 : 1;
  g_autoptr (GString) escaped = g_string_sized_new (length);
  g_string_set_size (escaped, length);
  char *out = escaped->str;
  for (const char *p = string; *p != '\0'; p++)
    {
      if (needs_escape (*p))
        *out++ = '\\';
      *out++ = *p;
    }
  return g_string_free (static_cast<GString *> (g_steal_pointer (&escaped)), FALSE);
}

char *
vontle_replace_substring (const char *string, const char *old, const char *replacement)
{
  if (string == nullptr || old == nullptr || replacement == nullptr)
    return nullptr;
  if (string[0] == '\0' || old[0] == '\0' || strstr (string, old) == nullptr)
    return g_strdup (string);
  /* Splitting finds the occurrences left to right without overlap; joining
   * never looks at the replacement again. */
  g_auto (GStrv) pieces = g_strsplit (string, old, -1);
  return g_strjoinv (replacement, pieces);
}
