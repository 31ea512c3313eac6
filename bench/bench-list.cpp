/* SPDX-License-Identifier: LGPL-2.1-or-later */
/* List and logger hot paths, each beside the floor a caller could write by
 * hand. Compare the pairs within one run: absolute times are noise. */
#include <benchmark/benchmark.h>

#include <algorithm>
#include <cstring>
#include <random>
#include <vector>

#include <glib.h>
#include <vontle/vontle.h>

namespace {

void *
as_pointer (size_t value)
{
  return reinterpret_cast<void *> (value + 1);
}

/* ---- appends ---- */

void
BM_ListAppend (benchmark::State &state)
{
  const auto n = static_cast<size_t> (state.range (0));
  for (auto _ : state)
    {
      VontleList *list = vontle_list_new ();
      for (size_t i = 0; i < n; i++)
        vontle_list_append (list, as_pointer (i));
      benchmark::DoNotOptimize (list->start);
      vontle_list_free (list);
    }
  state.SetItemsProcessed (state.iterations () * state.range (0));
}

void
BM_GPtrArrayAppend (benchmark::State &state)
{
  const auto n = static_cast<size_t> (state.range (0));
  for (auto _ : state)
    {
      GPtrArray *array = g_ptr_array_new ();
      for (size_t i = 0; i < n; i++)
        g_ptr_array_add (array, as_pointer (i));
      benchmark::DoNotOptimize (array->pdata);
      g_ptr_array_free (array, TRUE);
    }
  state.SetItemsProcessed (state.iterations () * state.range (0));
}

BENCHMARK (BM_ListAppend)->RangeMultiplier (10)->Range (1000, 1000000)->Unit (benchmark::kMicrosecond);
BENCHMARK (BM_GPtrArrayAppend)->RangeMultiplier (10)->Range (1000, 1000000)->Unit (benchmark::kMicrosecond);

/* ---- sorted insertion ---- */

struct Key
{
  int value;
};

int
compare_keys (const void *a, const void *b)
{
  const int x = static_cast<const Key *> (a)->value;
  const int y = static_cast<const Key *> (b)->value;
  return (x > y) - (x < y);
}

gint
compare_keys_data (gconstpointer a, gconstpointer b, gpointer)
{
  return compare_keys (a, b);
}

std::vector<Key>
random_keys (size_t n)
{
  std::mt19937 random (42);
  std::vector<Key> keys (n);
  for (auto &key : keys)
    key.value = static_cast<int> (random () % (n / 4 + 1)); /* many equal keys */
  return keys;
}

void
BM_SortedListInsert (benchmark::State &state)
{
  auto keys = random_keys (static_cast<size_t> (state.range (0)));
  for (auto _ : state)
    {
      VontleList *list = vontle_sorted_list_new (compare_keys);
      for (auto &key : keys)
        vontle_list_append (list, &key);
      benchmark::DoNotOptimize (list->start);
      vontle_list_free (list);
    }
  state.SetItemsProcessed (state.iterations () * state.range (0));
}

/* The floor: a plain array that, like the list, cannot trust keys not to
 * have changed, so it checks the order (n - 1 comparisons), then binary
 * searches and moves the tail once. */
void
BM_SortedArrayFloor (benchmark::State &state)
{
  auto keys = random_keys (static_cast<size_t> (state.range (0)));
  /* Called through a pointer, as a caller-supplied comparator is. */
  VontleCompareFunction compare = compare_keys;
  benchmark::DoNotOptimize (compare);
  for (auto _ : state)
    {
      void **array = nullptr;
      size_t size = 0;
      for (auto &key : keys)
        {
          array = static_cast<void **> (g_realloc_n (array, size + 1, sizeof (void *)));
          bool ordered = true;
          for (size_t i = 1; i < size && ordered; i++)
            ordered = compare (array[i - 1], array[i]) <= 0;
          benchmark::DoNotOptimize (ordered);
          void **place = std::upper_bound (array, array + size, static_cast<void *> (&key),
                                           [compare] (void *a, void *b) { return compare (a, b) < 0; });
          memmove (place + 1, place, static_cast<size_t> (array + size - place) * sizeof (void *));
          *place = &key;
          size++;
        }
      benchmark::DoNotOptimize (array);
      g_free (array);
    }
  state.SetItemsProcessed (state.iterations () * state.range (0));
}

void
BM_GSequenceInsertSorted (benchmark::State &state)
{
  auto keys = random_keys (static_cast<size_t> (state.range (0)));
  for (auto _ : state)
    {
      GSequence *sequence = g_sequence_new (nullptr);
      for (auto &key : keys)
        g_sequence_insert_sorted (sequence, &key, compare_keys_data, nullptr);
      benchmark::DoNotOptimize (sequence);
      g_sequence_free (sequence);
    }
  state.SetItemsProcessed (state.iterations () * state.range (0));
}

BENCHMARK (BM_SortedListInsert)->RangeMultiplier (10)->Range (100, 10000)->Unit (benchmark::kMicrosecond);
BENCHMARK (BM_SortedArrayFloor)->RangeMultiplier (10)->Range (100, 10000)->Unit (benchmark::kMicrosecond);
BENCHMARK (BM_GSequenceInsertSorted)->RangeMultiplier (10)->Range (100, 10000)->Unit (benchmark::kMicrosecond);

/* ---- searches ---- */

int
equal_pointer (const void *element, const void *data)
{
  return element == data ? 0 : 1;
}

VontleList *
filled_list (size_t n)
{
  VontleList *list = vontle_list_new ();
  for (size_t i = 0; i < n; i++)
    vontle_list_append (list, as_pointer (i));
  return list;
}

void
BM_ListPosition (benchmark::State &state)
{
  const auto n = static_cast<size_t> (state.range (0));
  g_autoptr (VontleList) list = filled_list (n);
  void *last = as_pointer (n - 1);
  for (auto _ : state)
    benchmark::DoNotOptimize (vontle_list_position (list, last));
  state.SetItemsProcessed (state.iterations () * state.range (0));
}

void
BM_ListFind (benchmark::State &state)
{
  const auto n = static_cast<size_t> (state.range (0));
  g_autoptr (VontleList) list = filled_list (n);
  void *last = as_pointer (n - 1);
  for (auto _ : state)
    benchmark::DoNotOptimize (vontle_list_find (list, equal_pointer, last));
  state.SetItemsProcessed (state.iterations () * state.range (0));
}

[[gnu::noinline]] ssize_t
hand_position (void *const *array, size_t size, const void *data)
{
  for (size_t i = 0; i < size; i++)
    if (array[i] == data)
      return static_cast<ssize_t> (i);
  return -1;
}

[[gnu::noinline]] void *
hand_find (void *const *array, size_t size, VontleCompareFunction compare, const void *data)
{
  for (size_t i = 0; i < size; i++)
    if (compare (array[i], data) == 0)
      return array[i];
  return nullptr;
}

void
BM_HandPosition (benchmark::State &state)
{
  const auto n = static_cast<size_t> (state.range (0));
  g_autoptr (VontleList) list = filled_list (n);
  void *last = as_pointer (n - 1);
  for (auto _ : state)
    benchmark::DoNotOptimize (hand_position (list->start, list->size, last));
  state.SetItemsProcessed (state.iterations () * state.range (0));
}

void
BM_HandFind (benchmark::State &state)
{
  const auto n = static_cast<size_t> (state.range (0));
  g_autoptr (VontleList) list = filled_list (n);
  void *last = as_pointer (n - 1);
  /* Hidden from the optimiser, as the library's caller-supplied comparator is. */
  VontleCompareFunction compare = equal_pointer;
  benchmark::DoNotOptimize (compare);
  for (auto _ : state)
    benchmark::DoNotOptimize (hand_find (list->start, list->size, compare, last));
  state.SetItemsProcessed (state.iterations () * state.range (0));
}

BENCHMARK (BM_ListPosition)->RangeMultiplier (100)->Range (100, 1000000);
BENCHMARK (BM_HandPosition)->RangeMultiplier (100)->Range (100, 1000000);
BENCHMARK (BM_ListFind)->RangeMultiplier (100)->Range (100, 1000000);
BENCHMARK (BM_HandFind)->RangeMultiplier (100)->Range (100, 1000000);

/* ---- logging below the threshold ---- */

[[gnu::noinline]] void
empty_call (const char *location, const char *function, VontleLogLevel level, const char *format, ...)
{
  benchmark::DoNotOptimize (location);
  benchmark::DoNotOptimize (function);
  benchmark::DoNotOptimize (level);
  benchmark::DoNotOptimize (format);
}

void
BM_LogBelowThreshold (benchmark::State &state)
{
  vontle_set_log_level (VONTLE_LOG_ERROR);
  for (auto _ : state)
    vontle_log (G_STRLOC, G_STRFUNC, VONTLE_LOG_DEBUG, "value %d", 42);
}

void
BM_EmptyCall (benchmark::State &state)
{
  for (auto _ : state)
    empty_call (G_STRLOC, G_STRFUNC, VONTLE_LOG_DEBUG, "value %d", 42);
}

BENCHMARK (BM_LogBelowThreshold);
BENCHMARK (BM_EmptyCall);

} // namespace

BENCHMARK_MAIN ();
