/* SPDX-License-Identifier: LGPL-2.1-or-later */
/* Differential fuzzer for the string helpers against small models. The input
 * is split at NUL bytes into the string, the sought text and the replacement. */
#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <string>
#include <vector>

#include <vontle/vontle.h>

#include "fuzz-support.h"

namespace {

std::string
model_escape (const std::string &text)
{
  std::string out;
  for (char c : text)
    {
      if (c == '\\' || c == ' ' || c == '\t' || c == '"' || c == '\'' || c == '#')
        out += '\\';
      out += c;
    }
  return out;
}

/* Left to right, non-overlapping, the replacement never searched again. */
std::string
model_replace (const std::string &text, const std::string &old_text, const std::string &new_text)
{
  if (text.empty () || old_text.empty ())
    return text;
  std::string out;
  size_t from = 0;
  for (size_t at; (at = text.find (old_text, from)) != std::string::npos; from = at + old_text.size ())
    out.append (text, from, at - from).append (new_text);
  return out.append (text, from, std::string::npos);
}

void
expect (const char *got, const std::string &want)
{
  if (got == nullptr || want != got)
    fuzz::mismatch ();
}

} // namespace

extern "C" int
LLVMFuzzerTestOneInput (const uint8_t *data, size_t size)
{
  const auto parts = fuzz::split_at_nul (data, size, 3);
  const std::string &text = parts[0], &old_text = parts[1], &new_text = parts[2];

  g_autofree char *escaped = vontle_escape_string (text.c_str ());
  expect (escaped, model_escape (text));

  g_autofree char *replaced = vontle_replace_substring (text.c_str (), old_text.c_str (), new_text.c_str ());
  expect (replaced, model_replace (text, old_text, new_text));
  if (!text.empty () && !old_text.empty ())
    {
      /* The model's word is checked against the definition itself. */
      g_auto (GStrv) pieces = g_strsplit (text.c_str (), old_text.c_str (), -1);
      g_autofree char *joined = g_strjoinv (new_text.c_str (), pieces);
      expect (replaced, joined);
    }
  return 0;
}
