/* SPDX-License-Identifier: LGPL-2.1-or-later */
/* Template evaluation beside a hand-written one-pass substitution of the
 * same base. Compare the pair within one run: absolute times are noise. */
#include <benchmark/benchmark.h>

#include <cstring>
#include <string>

#include <glib-object.h>
#include <vontle/vontle.h>

namespace {

constexpr int variable_count = 100;
constexpr int reference_count = 10000;
constexpr size_t base_size = 1 << 20;

std::string
variable_name (int i)
{
  return "var" + std::to_string (i);
}

std::string
variable_value (int i)
{
  return "value-" + std::to_string (i * 7919 % 1000);
}

/* About 100 bytes of text between references, some with at signs that do
 * not form a reference ("user@example.com", "@ 5"), so both sides have to
 * reject candidates too. */
std::string
make_base ()
{
  static const char *const fillers[] = {
    "The quick brown fox jumps over the lazy dog while the build runs; ",
    "mail user@example.com about it, ",
    "the price is @ 5 per unit and nobody minds. ",
    "Lorem ipsum dolor sit amet, consectetur adipiscing elit, sed do eiusmod. ",
  };
  std::string base;
  base.reserve (base_size + 256);
  const size_t gap = base_size / reference_count;
  size_t filler = 0;
  for (int i = 0; i < reference_count; i++)
    {
      const size_t goal = base.size () + gap;
      while (base.size () + 16 < goal)
        base += fillers[filler++ % G_N_ELEMENTS (fillers)];
      base += '@';
      base += variable_name (i * 37 % variable_count);
      base += '@';
    }
  while (base.size () < base_size)
    base += fillers[filler++ % G_N_ELEMENTS (fillers)];
  return base;
}

const std::string &
shared_base ()
{
  static const std::string base = make_base ();
  return base;
}

VontleTemplate *
make_template ()
{
  VontleTemplate *object = vontle_template_new (shared_base ().c_str ());
  for (int i = 0; i < variable_count; i++)
    {
      vontle_template_add_variable (object, variable_name (i).c_str ());
      vontle_template_set_variable_value (object, variable_name (i).c_str (),
                                          variable_value (i).c_str ());
    }
  return object;
}

/* ---- the floor ---- */

bool
is_name_start (char c)
{
  return g_ascii_isalnum (c);
}

bool
is_name_char (char c)
{
  return g_ascii_isalnum (c) || c == '_' || c == '-';
}

/* Finds each '@' with memchr, reads a name and its closing '@', looks the
 * name up in a hash table and copies the value; anything else is copied as
 * it stands and the search resumes right after the rejected '@'. */
[[gnu::noinline]] char *
hand_substitute (const char *base, size_t length, GHashTable *values)
{
  GString *result = g_string_sized_new (length);
  const char *const end = base + length;
  const char *copied = base;
  const char *at = base;
  GString *name = g_string_sized_new (64);
  while ((at = static_cast<const char *> (memchr (at, '@', static_cast<size_t> (end - at)))))
    {
      const char *p = at + 1;
      if (p < end && is_name_start (*p))
        {
          p++;
          while (p < end && is_name_char (*p))
            p++;
          if (p < end && *p == '@')
            {
              g_string_truncate (name, 0);
              g_string_append_len (name, at + 1, p - at - 1);
              if (const auto *value = static_cast<const char *> (g_hash_table_lookup (values, name->str)))
                {
                  g_string_append_len (result, copied, at - copied);
                  g_string_append (result, value);
                  copied = at = p + 1;
                  continue;
                }
            }
        }
      at++;
    }
  g_string_append_len (result, copied, end - copied);
  g_string_free (name, TRUE);
  return g_string_free (result, FALSE);
}

GHashTable *
make_values ()
{
  GHashTable *values = g_hash_table_new_full (g_str_hash, g_str_equal, g_free, g_free);
  for (int i = 0; i < variable_count; i++)
    g_hash_table_insert (values, g_strdup (variable_name (i).c_str ()),
                         g_strdup (variable_value (i).c_str ()));
  return values;
}

/* ---- benchmarks ---- */

void
BM_TemplateEvaluate (benchmark::State &state)
{
  g_autoptr (VontleTemplate) object = make_template ();
  for (auto _ : state)
    {
      char *result = vontle_template_evaluate (object);
      benchmark::DoNotOptimize (result);
      g_free (result);
    }
  state.SetBytesProcessed (state.iterations () * static_cast<int64_t> (shared_base ().size ()));
}

void
BM_HandSubstitute (benchmark::State &state)
{
  const std::string &base = shared_base ();
  GHashTable *values = make_values ();
  /* Both sides must produce the same text, or the comparison means nothing. */
  g_autoptr (VontleTemplate) object = make_template ();
  g_autofree char *expected = vontle_template_evaluate (object);
  g_autofree char *got = hand_substitute (base.c_str (), base.size (), values);
  if (g_strcmp0 (expected, got) != 0)
    state.SkipWithError ("the hand-written substitution differs from the template's result");
  for (auto _ : state)
    {
      char *result = hand_substitute (base.c_str (), base.size (), values);
      benchmark::DoNotOptimize (result);
      g_free (result);
    }
  g_hash_table_unref (values);
  state.SetBytesProcessed (state.iterations () * static_cast<int64_t> (base.size ()));
}

BENCHMARK (BM_TemplateEvaluate)->Unit (benchmark::kMicrosecond);
BENCHMARK (BM_HandSubstitute)->Unit (benchmark::kMicrosecond);

} // namespace

BENCHMARK_MAIN ();
