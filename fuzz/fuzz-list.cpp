/* SPDX-License-Identifier: LGPL-2.1-or-later */
/* Differential fuzzer for the list: a byte string is a program of list
 * operations run on a plain, an owning and a sorted owning list at once, each
 * beside a std::vector model. Every free-function call is counted against
 * the model's idea of which elements left the list. */
#include <algorithm>
#include <cstdint>
#include <cstdlib>
#include <map>
#include <vector>

#include <vontle/vontle.h>

#include "fuzz-support.h"

namespace {

/* Elements are small integers disguised as pointers; 0 is the null element. */
using Element = uintptr_t;

std::map<Element, long> releases;

void *
as_pointer (Element e)
{
  return reinterpret_cast<void *> (e);
}

void
count_release (void *data)
{
  releases[reinterpret_cast<Element> (data)]++;
}

int
compare_elements (const void *a, const void *b)
{
  /* Order by the low nibble only, so many elements compare equal and the
   * stability of sorted insertion is exercised. */
  const Element x = reinterpret_cast<Element> (a) & 0xf;
  const Element y = reinterpret_cast<Element> (b) & 0xf;
  return (x > y) - (x < y);
}

/* A different order for one-off sorts: descending by the high bits. */
int
compare_descending (const void *a, const void *b)
{
  const Element x = reinterpret_cast<Element> (a) >> 3;
  const Element y = reinterpret_cast<Element> (b) >> 3;
  return (x < y) - (x > y);
}

bool model_less (Element a, Element b) { return compare_elements (as_pointer (a), as_pointer (b)) < 0; }
bool model_descending (Element a, Element b) { return compare_descending (as_pointer (a), as_pointer (b)) < 0; }

struct Subject
{
  VontleList *list;
  std::vector<Element> model;
  bool owning;
  bool sorted;
  std::map<Element, long> expected_releases;

  void release (Element e)
  {
    if (owning)
      expected_releases[e]++;
  }

  /* The obviously correct model of an insertion: a sorted list appends and
   * then stably re-sorts the whole array. */
  void model_insert (Element e, bool at_front)
  {
    if (at_front && !sorted)
      model.insert (model.begin (), e);
    else
      model.push_back (e);
    if (sorted)
      std::stable_sort (model.begin (), model.end (), model_less);
  }

  void check () const
  {
    if (list->size != model.size ())
      fuzz::mismatch ();
    for (size_t i = 0; i < model.size (); i++)
      if (reinterpret_cast<Element> (list->start[i]) != model[i])
        fuzz::mismatch ();
  }
};

void
merge_run (Subject &s, Element first, Element count)
{
  VontleList *other = vontle_list_new_with_free (s.owning ? count_release : nullptr);
  for (Element k = 0; k < count; k++)
    vontle_list_append (other, as_pointer (first + k));
  vontle_list_merge (s.list, other);
  for (Element k = 0; k < count; k++)
    s.model_insert (first + k, false);
  vontle_list_free (other); /* owns nothing any more */
}

void
remove_first (Subject &s, Element e)
{
  auto it = std::find (s.model.begin (), s.model.end (), e);
  if (it != s.model.end ())
    {
      s.release (e);
      s.model.erase (it);
    }
  vontle_list_remove (s.list, as_pointer (e));
}

void
check_search (const Subject &s, Element e)
{
  auto it = std::find (s.model.begin (), s.model.end (), e);
  const ssize_t expected = it == s.model.end () ? -1 : it - s.model.begin ();
  if (vontle_list_position (s.list, as_pointer (e)) != expected
      || vontle_list_contains (s.list, as_pointer (e)) != (expected >= 0))
    fuzz::mismatch ();
}

void
run (Subject &s, const uint8_t *data, size_t size)
{
  for (size_t i = 0; i + 1 < size; i += 2)
    {
      const uint8_t op = data[i] % 9;
      const Element e = data[i + 1] % 64;
      switch (op)
        {
        case 0:
        case 1:
          s.model_insert (e, op == 1);
          (op == 1 ? vontle_list_prepend : vontle_list_append) (s.list, as_pointer (e));
          break;
        case 2:
          remove_first (s, e);
          break;
        case 3: /* replace in place: unsorted lists only */
          if (!s.sorted && !s.model.empty ())
            {
              const size_t n = e % s.model.size ();
              s.release (s.model[n]);
              s.model[n] = e + 100;
              vontle_list_set_nth (s.list, n, as_pointer (e + 100));
            }
          break;
        case 4: /* one-off sort in another order */
          std::stable_sort (s.model.begin (), s.model.end (), model_descending);
          vontle_list_sort (s.list, compare_descending);
          break;
        case 5:
          if (e % 8 == 0)
            {
              for (Element gone : s.model)
                s.release (gone);
              s.model.clear ();
              vontle_list_clear (s.list);
            }
          break;
        case 6:
          merge_run (s, e, e % 4);
          break;
        case 7:
          check_search (s, e);
          break;
        case 8:
          if (!s.model.empty ()
              && vontle_list_nth (s.list, e % s.model.size ()) != as_pointer (s.model[e % s.model.size ()]))
            fuzz::mismatch ();
          break;
        }
      s.check ();
    }
}

} // namespace

extern "C" int
LLVMFuzzerTestOneInput (const uint8_t *data, size_t size)
{
  vontle_set_log_level (static_cast<VontleLogLevel> (4)); /* merges may warn */
  for (int kind = 0; kind < 3; kind++)
    {
      Subject s {};
      s.owning = kind != 0;
      s.sorted = kind == 2;
      s.list = s.sorted ? vontle_sorted_list_new_with_free (compare_elements, count_release)
               : s.owning ? vontle_list_new_with_free (count_release)
                          : vontle_list_new ();
      releases.clear ();
      run (s, data, size);
      for (Element e : s.model)
        s.release (e);
      vontle_list_free (s.list);
      if (releases != s.expected_releases)
        fuzz::mismatch ();
    }
  return 0;
}
