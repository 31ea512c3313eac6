/* SPDX-License-Identifier: LGPL-2.1-or-later */
/* The string helpers on 1 MB, beside a hand-written loop and GLib's own
 * replacement. Compare the pairs within one run: absolute times are noise. */
#include <benchmark/benchmark.h>

#include <cstring>
#include <string>

#include <glib.h>
#include <vontle/vontle.h>

namespace {

constexpr size_t text_size = 1 << 20;

/* Shell-ish text: blanks everywhere, now and then a quote, a tab, a hash or a
 * backslash, and the word "ipsum" about once per 100 bytes. */
std::string
make_text ()
{
  static const char *const lines[] = {
    "Lorem ipsum dolor sit amet, consectetur adipiscing elit.\n",
    "echo \"it's done\" # and\tthen some\n",
    "cp C:\\path\\to\\file /tmp/out; ipsum again\n",
    "plain_words_without_anything_to_escape_at_all_here_ok\n",
  };
  std::string text;
  text.reserve (text_size + 128);
  for (size_t i = 0; text.size () < text_size; i++)
    text += lines[i % G_N_ELEMENTS (lines)];
  text.resize (text_size);
  return text;
}

const std::string &
shared_text ()
{
  static const std::string text = make_text ();
  return text;
}

constexpr char old_word[] = "ipsum";
constexpr char new_word[] = "IPSUM-X";

/* ---- escaping ---- */

/* The floor: the worst case fits twice the length, so one allocation and a
 * switch per byte. */
[[gnu::noinline]] char *
hand_escape (const char *string)
{
  const size_t length = strlen (string);
  auto *escaped = static_cast<char *> (g_malloc (2 * length + 1));
  char *out = escaped;
  for (const char *p = string; *p != '\0'; p++)
    {
      switch (*p)
        {
        case '\\':
        case ' ':
        case '\t':
        case '"':
        case '\'':
        case '#':
          *out++ = '\\';
          break;
        default:
          break;
        }
      *out++ = *p;
    }
  *out = '\0';
  return escaped;
}

void
BM_EscapeString (benchmark::State &state)
{
  const char *text = shared_text ().c_str ();
  for (auto _ : state)
    {
      char *escaped = vontle_escape_string (text);
      benchmark::DoNotOptimize (escaped);
      g_free (escaped);
    }
  state.SetBytesProcessed (state.iterations () * static_cast<int64_t> (text_size));
}

void
BM_HandEscape (benchmark::State &state)
{
  const char *text = shared_text ().c_str ();
  g_autofree char *expected = vontle_escape_string (text);
  g_autofree char *got = hand_escape (text);
  if (g_strcmp0 (expected, got) != 0)
    state.SkipWithError ("the hand-written escape differs from the library's");
  for (auto _ : state)
    {
      char *escaped = hand_escape (text);
      benchmark::DoNotOptimize (escaped);
      g_free (escaped);
    }
  state.SetBytesProcessed (state.iterations () * static_cast<int64_t> (text_size));
}

BENCHMARK (BM_EscapeString)->Unit (benchmark::kMicrosecond);
BENCHMARK (BM_HandEscape)->Unit (benchmark::kMicrosecond);

/* ---- replacing ---- */

/* What a caller with GLib 2.68 or later writes: copy, then replace in place. */
char *
glib_replace (const char *string, const char *old, const char *replacement)
{
  GString *copy = g_string_new (string);
  g_string_replace (copy, old, replacement, 0);
  return g_string_free (copy, FALSE);
}

/* A hand-written strstr loop, for reference. */
[[gnu::noinline]] char *
hand_replace (const char *string, const char *old, const char *replacement)
{
  const size_t old_length = strlen (old);
  GString *result = g_string_sized_new (strlen (string));
  const char *rest = string;
  while (const char *found = strstr (rest, old))
    {
      g_string_append_len (result, rest, found - rest);
      g_string_append (result, replacement);
      rest = found + old_length;
    }
  g_string_append (result, rest);
  return g_string_free (result, FALSE);
}

void
BM_ReplaceSubstring (benchmark::State &state)
{
  const char *text = shared_text ().c_str ();
  for (auto _ : state)
    {
      char *replaced = vontle_replace_substring (text, old_word, new_word);
      benchmark::DoNotOptimize (replaced);
      g_free (replaced);
    }
  state.SetBytesProcessed (state.iterations () * static_cast<int64_t> (text_size));
}

void
replace_peer (benchmark::State &state, char *(*replace) (const char *, const char *, const char *))
{
  const char *text = shared_text ().c_str ();
  g_autofree char *expected = vontle_replace_substring (text, old_word, new_word);
  g_autofree char *got = replace (text, old_word, new_word);
  if (g_strcmp0 (expected, got) != 0)
    state.SkipWithError ("the peer's result differs from the library's");
  for (auto _ : state)
    {
      char *replaced = replace (text, old_word, new_word);
      benchmark::DoNotOptimize (replaced);
      g_free (replaced);
    }
  state.SetBytesProcessed (state.iterations () * static_cast<int64_t> (text_size));
}

void
BM_GStringReplace (benchmark::State &state)
{
  replace_peer (state, glib_replace);
}

void
BM_HandReplace (benchmark::State &state)
{
  replace_peer (state, hand_replace);
}

BENCHMARK (BM_ReplaceSubstring)->Unit (benchmark::kMicrosecond);
BENCHMARK (BM_GStringReplace)->Unit (benchmark::kMicrosecond);
BENCHMARK (BM_HandReplace)->Unit (benchmark::kMicrosecond);

} // namespace

BENCHMARK_MAIN ();
