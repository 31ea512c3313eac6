/* SPDX-License-Identifier: LGPL-2.1-or-later */
/* Template evaluation beside a hand-written one-pass substitution of the
 * same base. Compare the pair within one run: absolute times are noise. */
#include <benchmark/benchmark.h>

#include <cstring>
#include <map>
#include <string>
#include <vector>

#include <glib-object.h>
#include <vontle/vontle.h>
#include <vontle/vontle.hpp>

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

/* The same evaluation through the C++ API. */
void
BM_TemplateEvaluateCxx (benchmark::State &state)
{
  auto object = vontle::Template::adopt (make_template ());
  for (auto _ : state)
    {
      vontle::UniqueString result = object.evaluate ();
      benchmark::DoNotOptimize (result.get ());
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
BENCHMARK (BM_TemplateEvaluateCxx)->Unit (benchmark::kMicrosecond);

/* ---- setup: a base that names many distinct variables ---- */

/* "@n0@ @n1@ ... ": every name once, in order. */
const std::vector<std::string> &
distinct_names (size_t count)
{
  static std::map<size_t, std::vector<std::string>> cache;
  auto &names = cache[count];
  for (size_t i = names.size (); i < count; i++)
    names.push_back (std::string (1, 'n').append (std::to_string (i)));
  return names;
}

std::string
distinct_base (size_t count)
{
  std::string base;
  for (const auto &name : distinct_names (count))
    {
      base += '@';
      base += name;
      base += "@ ";
    }
  return base;
}

/* Set the base, then add every variable it names: the template is ready
 * after the last one. */
void
BM_TemplateSetup (benchmark::State &state)
{
  const auto count = static_cast<size_t> (state.range (0));
  const std::string base = distinct_base (count);
  const auto &names = distinct_names (count);
  const auto set_up = [&] {
    VontleTemplate *object = vontle_template_new (base.c_str ());
    for (const auto &name : names)
      vontle_template_add_variable (object, name.c_str ());
    return object;
  };
  {
    g_autoptr (VontleTemplate) object = set_up ();
    g_autofree char *text = vontle_template_evaluate (object);
    if (text == nullptr)
      state.SkipWithError ("the template is not ready after setup");
  }
  for (auto _ : state)
    g_object_unref (set_up ());
  state.SetItemsProcessed (state.iterations () * static_cast<int64_t> (count));
}

bool
is_valid_name (const char *name)
{
  if (!is_name_start (*name))
    return false;
  while (*++name != '\0')
    if (!is_name_char (*name))
      return false;
  return true;
}

/* The same work by hand: the distinct names of the base in order of first
 * appearance with a count of those without a variable, then each variable
 * checked, stored in a GHashTable and counted off. */
void
BM_HandSetup (benchmark::State &state)
{
  const auto count = static_cast<size_t> (state.range (0));
  const std::string base = distinct_base (count);
  const auto &names = distinct_names (count);
  for (auto _ : state)
    {
      GHashTable *referenced = g_hash_table_new (g_str_hash, g_str_equal);
      GPtrArray *order = g_ptr_array_new_with_free_func (g_free);
      GHashTable *variables = g_hash_table_new_full (g_str_hash, g_str_equal, g_free, g_free);
      size_t missing = 0;
      const char *const end = base.c_str () + base.size ();
      for (const char *at = base.c_str ();
           (at = static_cast<const char *> (memchr (at, '@', static_cast<size_t> (end - at))));)
        {
          const char *p = at + 1;
          if (p < end && is_name_start (*p))
            {
              while (++p < end && is_name_char (*p))
                ;
              if (p < end && *p == '@')
                {
                  char *name = g_strndup (at + 1, static_cast<gsize> (p - at - 1));
                  if (g_hash_table_add (referenced, name))
                    {
                      g_ptr_array_add (order, name);
                      missing++;
                    }
                  else
                    g_free (name);
                  at = p + 1;
                  continue;
                }
            }
          at++;
        }
      for (const auto &name : names)
        if (is_valid_name (name.c_str ()) && !g_hash_table_contains (variables, name.c_str ()))
          {
            g_hash_table_insert (variables, g_strdup (name.c_str ()), g_strdup (""));
            if (g_hash_table_contains (referenced, name.c_str ()))
              missing--;
          }
      if (missing != 0)
        state.SkipWithError ("not every name was counted off");
      g_hash_table_unref (variables);
      g_hash_table_unref (referenced);
      g_ptr_array_unref (order);
    }
  state.SetItemsProcessed (state.iterations () * static_cast<int64_t> (count));
}

/* ---- a new template with a short base, as an editor makes one per keystroke ---- */

constexpr const char *short_base = "Hello @name@, you have @count@ new messages.";

void
BM_TemplateShortBase (benchmark::State &state)
{
  for (auto _ : state)
    {
      VontleTemplate *object = vontle_template_new (nullptr);
      vontle_template_set_base (object, short_base);
      benchmark::DoNotOptimize (vontle_template_get_base (object));
      g_object_unref (object);
    }
}

/* By hand: a copy of the base and its names, in order of first appearance
 * in an array and in a GHashTable. */
void
BM_HandShortBase (benchmark::State &state)
{
  for (auto _ : state)
    {
      char *base = g_strdup (short_base);
      GHashTable *referenced = g_hash_table_new (g_str_hash, g_str_equal);
      GPtrArray *order = g_ptr_array_new_with_free_func (g_free);
      const char *const end = base + strlen (base);
      for (const char *at = base; (at = static_cast<const char *> (memchr (at, '@', static_cast<size_t> (end - at))));)
        {
          const char *p = at + 1;
          while (p < end && is_name_char (*p))
            p++;
          if (p < end && *p == '@' && p > at + 1 && is_name_start (at[1]))
            {
              char *name = g_strndup (at + 1, static_cast<gsize> (p - at - 1));
              if (g_hash_table_add (referenced, name))
                g_ptr_array_add (order, name);
              else
                g_free (name);
              at = p + 1;
              continue;
            }
          at++;
        }
      benchmark::DoNotOptimize (order->len);
      g_hash_table_unref (referenced);
      g_ptr_array_unref (order);
      g_free (base);
    }
}

BENCHMARK (BM_TemplateShortBase)->Unit (benchmark::kMicrosecond);
BENCHMARK (BM_HandShortBase)->Unit (benchmark::kMicrosecond);

BENCHMARK (BM_TemplateSetup)->Arg (10000)->Arg (100000)->Unit (benchmark::kMillisecond);
BENCHMARK (BM_HandSetup)->Arg (10000)->Arg (100000)->Unit (benchmark::kMillisecond);

} // namespace

BENCHMARK_MAIN ();
