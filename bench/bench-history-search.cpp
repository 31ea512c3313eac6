/* SPDX-License-Identifier: LGPL-2.1-or-later */
/* History search over a million shell-like lines, beside bare loops over the
 * same strings. Compare the pairs within one run: absolute times are noise. */
#include <benchmark/benchmark.h>

#include <cstring>
#include <ctime>

#include <algorithm>
#include <string>
#include <vector>

#include <gio/gio.h>
#include <vontle/vontle.h>

#include "shell-lines.h"

namespace {

/* Filled once per process through the lent list: appending a million lines
 * one by one would search the list for each. */
VontleInputHistory *
shared_history ()
{
  static VontleInputHistory *history = [] {
    VontleInputHistory *filled = vontle_input_history_new (nullptr);
    VontleList *entries = vontle_input_history_list (filled);
    for (const std::string &line : bench_lines::shell_lines ())
      vontle_list_append (entries, g_strdup (line.c_str ()));
    return filled;
  }();
  return history;
}

/* The history's own strings, oldest first, as a plain array. */
char *const *
entry_strings (size_t *n)
{
  VontleList *entries = vontle_input_history_list (shared_history ());
  *n = vontle_list_size (entries);
  return reinterpret_cast<char *const *> (entries->start);
}

/* Setting the query computes the whole result; the empty query that puts
 * the search back is not timed. */
void
search (benchmark::State &state, VontleInputHistoryMatchMode mode, const char *query)
{
  VontleInputHistorySearch *search = vontle_input_history_search_new (shared_history (), mode);
  for (auto _ : state)
    {
      vontle_input_history_search_set_query (search, query);
      state.PauseTiming ();
      if (g_list_model_get_n_items (G_LIST_MODEL (search)) == 0)
        state.SkipWithError ("nothing matched");
      vontle_input_history_search_set_query (search, "");
      state.ResumeTiming ();
    }
  g_object_unref (search);
}

/* The floors: newest to oldest, each line lowered into a buffer (ASCII),
 * then tested; the matching indices are kept, as a result must be. Letters
 * are lowered inline, as the fastest hand-written loop would. */
inline char
lower (char c)
{
  return static_cast<char> (c + (static_cast<unsigned char> (c - 'A') < 26U ? 'a' - 'A' : 0));
}

enum class Test
{
  prefix,
  substring,
  subsequence
};

[[gnu::noinline]] void
hand_scan (char *const *lines, size_t n, const char *query, Test test, std::vector<size_t> &found)
{
  const size_t query_length = strlen (query);
  char buffer[256];
  found.clear ();
  for (size_t i = n; i-- > 0;)
    {
      const char *line = lines[i];
      bool match = false;
      if (test == Test::subsequence)
        {
          const char *q = query;
          for (const char *p = line; *p != '\0' && *q != '\0'; p++)
            if (lower (*p) == *q)
              q++;
          match = *q == '\0';
        }
      else
        {
          size_t k = 0;
          const size_t limit = test == Test::prefix ? query_length : sizeof buffer - 1;
          for (; line[k] != '\0' && k < limit; k++)
            buffer[k] = lower (line[k]);
          buffer[k] = '\0';
          match = test == Test::prefix ? k == query_length && memcmp (buffer, query, k) == 0
                                       : strstr (buffer, query) != nullptr;
        }
      if (match)
        found.push_back (i);
    }
}

void
hand (benchmark::State &state, const char *query, Test test)
{
  size_t n;
  char *const *lines = entry_strings (&n);
  std::vector<size_t> found;
  for (auto _ : state)
    {
      hand_scan (lines, n, query, test, found);
      benchmark::DoNotOptimize (found.data ());
    }
}

void
BM_SearchSubstring (benchmark::State &state)
{
  search (state, VONTLE_INPUT_HISTORY_MATCH_SUBSTRING, bench_lines::substring_query);
}

void
BM_HandLowerStrstr (benchmark::State &state)
{
  hand (state, bench_lines::substring_query, Test::substring);
}

void
BM_SearchPrefix (benchmark::State &state)
{
  search (state, VONTLE_INPUT_HISTORY_MATCH_PREFIX, bench_lines::prefix_query);
}

void
BM_HandLowerPrefix (benchmark::State &state)
{
  hand (state, bench_lines::prefix_query, Test::prefix);
}

void
BM_SearchFuzzy (benchmark::State &state)
{
  search (state, VONTLE_INPUT_HISTORY_MATCH_FUZZY, bench_lines::fuzzy_query);
}

void
BM_HandSubsequence (benchmark::State &state)
{
  hand (state, bench_lines::fuzzy_query, Test::subsequence);
}

/* One character added to a query: only the current matches are tested. */
void
BM_SearchRefine (benchmark::State &state)
{
  VontleInputHistorySearch *search
    = vontle_input_history_search_new (shared_history (), VONTLE_INPUT_HISTORY_MATCH_SUBSTRING);
  for (auto _ : state)
    {
      state.PauseTiming ();
      vontle_input_history_search_set_query (search, bench_lines::substring_query);
      state.ResumeTiming ();
      vontle_input_history_search_set_query (search, bench_lines::substring_refined);
    }
  state.counters["matches"] = g_list_model_get_n_items (G_LIST_MODEL (search));
  g_object_unref (search);
}

/* Its floor: the bare loop over the lines the shorter query matched, after
 * the same full pass as the search's (untimed), so that both start from
 * the caches that pass leaves. */
void
BM_HandLowerStrstrOverMatches (benchmark::State &state)
{
  size_t n;
  char *const *lines = entry_strings (&n);
  std::vector<size_t> found;
  hand_scan (lines, n, bench_lines::substring_query, Test::substring, found);
  std::vector<char *> matched;
  for (const size_t i : found)
    matched.push_back (lines[i]);
  std::reverse (matched.begin (), matched.end ());
  for (auto _ : state)
    {
      state.PauseTiming ();
      hand_scan (lines, n, bench_lines::substring_query, Test::substring, found);
      state.ResumeTiming ();
      std::vector<size_t> refined;
      hand_scan (matched.data (), matched.size (), bench_lines::substring_refined, Test::substring, refined);
      benchmark::DoNotOptimize (refined.data ());
    }
}

/* The thread's CPU time now: what a slice costs whatever else the machine
 * runs (wall time on a loaded machine counts other programs' turns). */
gint64
thread_cpu_usec ()
{
  timespec now {};
  clock_gettime (CLOCK_THREAD_CPUTIME_ID, &now);
  return static_cast<gint64> (now.tv_sec) * G_USEC_PER_SEC + now.tv_nsec / 1000;
}

/* The longest main-loop iteration of an incremental fuzzy pass, in CPU
 * time of the thread, as the benchmark's time, beside a frame of 4 ms. */
void
BM_SearchIncrementalLongestSlice (benchmark::State &state)
{
  for (auto _ : state)
    {
      GMainContext *context = g_main_context_new ();
      g_main_context_push_thread_default (context);
      VontleInputHistorySearch *search
        = vontle_input_history_search_new (shared_history (), VONTLE_INPUT_HISTORY_MATCH_FUZZY);
      vontle_input_history_search_set_incremental (search, true);
      vontle_input_history_search_set_query (search, bench_lines::fuzzy_query);
      gint64 longest_usec = 0;
      int slices = 0;
      while (vontle_input_history_search_is_searching (search))
        {
          const gint64 start_usec = thread_cpu_usec ();
          g_main_context_iteration (context, TRUE);
          longest_usec = std::max (longest_usec, thread_cpu_usec () - start_usec);
          slices++;
        }
      state.SetIterationTime (static_cast<double> (longest_usec) / 1e6);
      state.counters["slices"] = slices;
      g_object_unref (search);
      g_main_context_pop_thread_default (context);
      g_main_context_unref (context);
    }
}

void
BM_FourMilliseconds (benchmark::State &state)
{
  for (auto _ : state)
    state.SetIterationTime (0.004);
}

} // namespace

BENCHMARK (BM_SearchSubstring)->Unit (benchmark::kMillisecond);
BENCHMARK (BM_HandLowerStrstr)->Unit (benchmark::kMillisecond);
BENCHMARK (BM_SearchPrefix)->Unit (benchmark::kMillisecond);
BENCHMARK (BM_HandLowerPrefix)->Unit (benchmark::kMillisecond);
BENCHMARK (BM_SearchFuzzy)->Unit (benchmark::kMillisecond);
BENCHMARK (BM_HandSubsequence)->Unit (benchmark::kMillisecond);
/* Each iteration of these two runs a full pass untimed: a fixed count keeps
 * the program's run short. */
BENCHMARK (BM_SearchRefine)->Iterations (30)->Unit (benchmark::kMicrosecond);
BENCHMARK (BM_HandLowerStrstrOverMatches)->Iterations (30)->Unit (benchmark::kMicrosecond);
BENCHMARK (BM_SearchIncrementalLongestSlice)->UseManualTime ()->Iterations (3)->Unit (benchmark::kMillisecond);
/* The same iteration count, so that the two rows pair up in the table. */
BENCHMARK (BM_FourMilliseconds)->UseManualTime ()->Iterations (3)->Unit (benchmark::kMillisecond);

BENCHMARK_MAIN ();
