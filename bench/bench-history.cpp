/* SPDX-License-Identifier: LGPL-2.1-or-later */
/* One history step over a long history, beside a bare prefix loop over the
 * same strings. Compare the pairs within one run: absolute times are noise. */
#include <benchmark/benchmark.h>

#include <cstdio>
#include <cstdlib>

#include <string>
#include <vector>

#include <glib-object.h>
#include <vontle/vontle.h>
#include <vontle/vontle.hpp>

namespace {

constexpr size_t entry_count = 100000;

/* Lines of a build session: they share a long stem, so a prefix that
 * repeats the stem is compared over many bytes before it fails. */
constexpr char entry_format[] = "make -C build-%06zu install";
constexpr char stem_miss_prefix[] = "make -C build-1000000"; /* 7 digits: no entry */
constexpr char first_byte_miss_prefix[] = "ninja";
constexpr char oldest_only_prefix[] = "make -C build-000000 ";

/* Filled once per process through the public append, as a host fills it;
 * each append scans the whole list for an equal line, so this takes a while
 * and is kept out of every measurement. */
VontleInputHistory *
shared_history ()
{
  static VontleInputHistory *history = [] {
    VontleInputHistory *filled = vontle_input_history_new (nullptr);
    char line[64];
    for (size_t i = 0; i < entry_count; i++)
      {
        snprintf (line, sizeof line, entry_format, i);
        vontle_input_history_append (filled, line);
      }
    return filled;
  }();
  return history;
}

/* The entry strings themselves, oldest first, read from the history's own
 * array so that both sides touch the same memory. */
char *const *
entry_strings (size_t *n)
{
  VontleList *entries = vontle_input_history_list (shared_history ());
  *n = vontle_list_size (entries);
  return reinterpret_cast<char *const *> (entries->start);
}

/* A fresh walk that matches nothing scans every entry and leaves the walk
 * fresh (reset pending), so the same step can be repeated as is. */
void
history_previous_miss (benchmark::State &state, const char *prefix)
{
  VontleInputHistory *history = shared_history ();
  vontle_input_history_reset (history);
  for (auto _ : state)
    {
      const char *found = vontle_input_history_previous (history, prefix);
      benchmark::DoNotOptimize (found);
      if (found != nullptr)
        {
          state.SkipWithError ("the prefix matched an entry");
          break;
        }
    }
  state.SetItemsProcessed (state.iterations () * static_cast<int64_t> (entry_count));
}

/* The floor: newest to oldest, one g_str_has_prefix per entry, no state. */
[[gnu::noinline]] const char *
hand_previous (char *const *entries, size_t n, const char *prefix)
{
  for (size_t i = n; i-- > 0;)
    if (g_str_has_prefix (entries[i], prefix))
      return entries[i];
  return nullptr;
}

void
hand_prefix_scan (benchmark::State &state, const char *prefix)
{
  size_t n;
  char *const *entries = entry_strings (&n);
  for (auto _ : state)
    benchmark::DoNotOptimize (hand_previous (entries, n, prefix));
  state.SetItemsProcessed (state.iterations () * static_cast<int64_t> (n));
}

void
BM_HistoryPreviousStemMiss (benchmark::State &state)
{
  history_previous_miss (state, stem_miss_prefix);
}

void
BM_HandPrefixScanStemMiss (benchmark::State &state)
{
  hand_prefix_scan (state, stem_miss_prefix);
}

void
BM_HistoryPreviousFirstByteMiss (benchmark::State &state)
{
  history_previous_miss (state, first_byte_miss_prefix);
}

void
BM_HandPrefixScanFirstByteMiss (benchmark::State &state)
{
  hand_prefix_scan (state, first_byte_miss_prefix);
}

/* A prefix that only the oldest entry has: the step finds it after the full
 * scan and stands on it, so a reset (constant time without a reader/writer)
 * puts the walk back before the next step. */
void
BM_HistoryPreviousOldestOnly (benchmark::State &state)
{
  VontleInputHistory *history = shared_history ();
  for (auto _ : state)
    {
      vontle_input_history_reset (history);
      const char *found = vontle_input_history_previous (history, oldest_only_prefix);
      benchmark::DoNotOptimize (found);
      if (found == nullptr)
        {
          state.SkipWithError ("the oldest entry did not match");
          break;
        }
    }
  state.SetItemsProcessed (state.iterations () * static_cast<int64_t> (entry_count));
}

void
BM_HandPrefixScanOldestOnly (benchmark::State &state)
{
  hand_prefix_scan (state, oldest_only_prefix);
}

/* ---- reading the storage: C++ storage against a C lines store ---- */

/* The C floor: a lines store whose read hands out a copy of its array, the
 * least a store that keeps its lines can do. */
struct CLinesStore
{
  VontleInputHistoryLinesIO parent_instance;
  char **lines;
};

struct CLinesStoreClass
{
  VontleInputHistoryLinesIOClass parent_class;
};

GType c_lines_store_get_type ();
G_DEFINE_TYPE (CLinesStore, c_lines_store, VONTLE_TYPE_INPUT_HISTORY_LINES_IO)

void
c_lines_store_append (VontleInputHistoryLinesIO *, const char *)
{
}

char **
c_lines_store_read (VontleInputHistoryLinesIO *io)
{
  return g_strdupv (reinterpret_cast<CLinesStore *> (io)->lines);
}

static void
c_lines_store_class_init (CLinesStoreClass *klass)
{
  VONTLE_INPUT_HISTORY_LINES_IO_CLASS (klass)->append_line = c_lines_store_append;
  VONTLE_INPUT_HISTORY_LINES_IO_CLASS (klass)->read_lines = c_lines_store_read;
}

static void
c_lines_store_init (CLinesStore *)
{
}

std::vector<std::string>
stored_lines ()
{
  std::vector<std::string> lines;
  char line[64];
  for (size_t i = 0; i < entry_count; i++)
    {
      snprintf (line, sizeof line, entry_format, i);
      lines.emplace_back (line);
    }
  return lines;
}

/* A reset reads the whole store into the history's list. */
void
BM_StorageReadC (benchmark::State &state)
{
  auto *store = static_cast<CLinesStore *> (g_object_new (c_lines_store_get_type (), nullptr));
  std::vector<std::string> lines = stored_lines ();
  store->lines = g_new0 (char *, lines.size () + 1);
  for (size_t i = 0; i < lines.size (); i++)
    store->lines[i] = g_strdup (lines[i].c_str ());
  VontleInputHistory *history = vontle_input_history_new (VONTLE_INPUT_HISTORY_IO (store));
  for (auto _ : state)
    vontle_input_history_reset (history);
  state.SetItemsProcessed (state.iterations () * static_cast<int64_t> (entry_count));
  g_object_unref (history);
  g_strfreev (store->lines);
  g_object_unref (store);
}

class DirectStorage : public vontle::InputHistoryStorage
{
public:
  void append (std::string_view line) override { lines.emplace_back (line); }
  bool read_into (StoredLines &out) override
  {
    out.reserve (lines.size ());
    for (const std::string &line : lines)
      out.add (line);
    return true;
  }
  std::vector<std::string> lines;
};

class VectorStorage : public vontle::InputHistoryStorage
{
public:
  void append (std::string_view line) override { lines.emplace_back (line); }
  std::optional<std::vector<std::string>> read () override { return lines; }
  std::vector<std::string> lines;
};

template <typename Storage>
void
storage_read_cxx (benchmark::State &state)
{
  Storage storage;
  storage.lines = stored_lines ();
  auto history = vontle::InputHistory::create (storage);
  for (auto _ : state)
    history.reset ();
  state.SetItemsProcessed (state.iterations () * static_cast<int64_t> (entry_count));
}

void
BM_StorageReadCxx (benchmark::State &state)
{
  storage_read_cxx<DirectStorage> (state);
}

void
BM_StorageReadCxxVector (benchmark::State &state)
{
  storage_read_cxx<VectorStorage> (state);
}

/* ---- appends with a list model attached ---- */

char **
read_build_session (gpointer /*user_data*/)
{
  char **lines = g_new (char *, entry_count + 1);
  for (size_t i = 0; i < entry_count; i++)
    lines[i] = g_strdup_printf (entry_format, i);
  lines[entry_count] = nullptr;
  return lines;
}

/* A history of entry_count lines in memory, loaded in one read rather than
 * through entry_count appends. */
VontleInputHistory *
loaded_history ()
{
  g_autoptr (VontleInputHistoryCallbackIO) io
    = vontle_input_history_callback_io_new (nullptr, read_build_session, nullptr, nullptr);
  VontleInputHistory *history = vontle_input_history_new (VONTLE_INPUT_HISTORY_IO (io));
  g_object_set (history, "io", nullptr, nullptr); /* the entries stay */
  return history;
}

/* New lines, or lines already present spread over the whole history (their
 * removal moves the newer entries and, with a model, its item slots too). */
void
history_append (benchmark::State &state, bool repeated, bool with_model)
{
  g_autoptr (VontleInputHistory) history = loaded_history ();
  g_autoptr (VontleInputHistoryModel) model = with_model ? vontle_input_history_model_new (history) : nullptr;
  char line[64];
  size_t i = 0;
  for (auto _ : state)
    {
      if (repeated)
        snprintf (line, sizeof line, entry_format, (i++ * 7919) % entry_count);
      else
        snprintf (line, sizeof line, "ninja -C out-%zu", i++);
      vontle_input_history_append (history, line);
    }
}

void BM_HistoryAppendNew (benchmark::State &state) { history_append (state, false, false); }
void BM_HistoryAppendNewWithModel (benchmark::State &state) { history_append (state, false, true); }
void BM_HistoryAppendRepeated (benchmark::State &state) { history_append (state, true, false); }
void BM_HistoryAppendRepeatedWithModel (benchmark::State &state) { history_append (state, true, true); }

BENCHMARK (BM_HistoryAppendNew)->Unit (benchmark::kMicrosecond);
BENCHMARK (BM_HistoryAppendNewWithModel)->Unit (benchmark::kMicrosecond);
BENCHMARK (BM_HistoryAppendRepeated)->Unit (benchmark::kMicrosecond);
BENCHMARK (BM_HistoryAppendRepeatedWithModel)->Unit (benchmark::kMicrosecond);

BENCHMARK (BM_HistoryPreviousStemMiss)->Unit (benchmark::kMicrosecond);
BENCHMARK (BM_HandPrefixScanStemMiss)->Unit (benchmark::kMicrosecond);
BENCHMARK (BM_HistoryPreviousFirstByteMiss)->Unit (benchmark::kMicrosecond);
BENCHMARK (BM_HandPrefixScanFirstByteMiss)->Unit (benchmark::kMicrosecond);
BENCHMARK (BM_HistoryPreviousOldestOnly)->Unit (benchmark::kMicrosecond);
BENCHMARK (BM_HandPrefixScanOldestOnly)->Unit (benchmark::kMicrosecond);
BENCHMARK (BM_StorageReadC)->Unit (benchmark::kMillisecond);
BENCHMARK (BM_StorageReadCxx)->Unit (benchmark::kMillisecond);
BENCHMARK (BM_StorageReadCxxVector)->Unit (benchmark::kMillisecond);

/* ---- loading through the lines reader/writer ---- */

/* A store that keeps nothing but the size of what it hands out: each read
 * gives n fresh lines of a build session, as a file store would after
 * reading its file. */
} // namespace

G_DECLARE_FINAL_TYPE (BenchLinesStore, bench_lines_store, BENCH, LINES_STORE, VontleInputHistoryLinesIO)
struct _BenchLinesStore
{
  VontleInputHistoryLinesIO parent;
  size_t n;
};

namespace {

char *
load_line (size_t i)
{
  return g_strdup_printf (entry_format, i);
}

char **
bench_lines_store_read_lines (VontleInputHistoryLinesIO *self)
{
  const size_t n = BENCH_LINES_STORE (self)->n;
  char **lines = g_new (char *, n + 1);
  for (size_t i = 0; i < n; i++)
    lines[i] = load_line (i);
  lines[n] = nullptr;
  return lines;
}

void bench_lines_store_append_line (VontleInputHistoryLinesIO *, const char *) {}

} // namespace

G_DEFINE_TYPE (BenchLinesStore, bench_lines_store, VONTLE_TYPE_INPUT_HISTORY_LINES_IO)
static void bench_lines_store_init (BenchLinesStore *) {}
static void
bench_lines_store_class_init (BenchLinesStoreClass *klass)
{
  VONTLE_INPUT_HISTORY_LINES_IO_CLASS (klass)->read_lines = bench_lines_store_read_lines;
  VONTLE_INPUT_HISTORY_LINES_IO_CLASS (klass)->append_line = bench_lines_store_append_line;
}

namespace {

/* A reset drops the loaded entries and loads n lines anew, through the
 * reader/writer's array and the list it becomes. */
void
BM_HistoryLoadLines (benchmark::State &state)
{
  auto *store = static_cast<BenchLinesStore *> (g_object_new (bench_lines_store_get_type (), nullptr));
  store->n = static_cast<size_t> (state.range (0));
  VontleInputHistory *history = vontle_input_history_new (VONTLE_INPUT_HISTORY_IO (store));
  for (auto _ : state)
    vontle_input_history_reset (history);
  if (vontle_list_size (vontle_input_history_list (history)) != store->n)
    state.SkipWithError ("the history did not load every line");
  g_object_unref (history);
  g_object_unref (store);
  state.SetItemsProcessed (state.iterations () * state.range (0));
}

/* The floor: the same strings made and put into a GPtrArray that owns them,
 * the previous load released first. */
void
BM_GPtrArrayLoadLines (benchmark::State &state)
{
  const auto n = static_cast<size_t> (state.range (0));
  GPtrArray *lines = g_ptr_array_new_with_free_func (g_free);
  for (auto _ : state)
    {
      g_ptr_array_unref (lines);
      lines = g_ptr_array_new_with_free_func (g_free);
      for (size_t i = 0; i < n; i++)
        g_ptr_array_add (lines, load_line (i));
      benchmark::DoNotOptimize (lines->pdata);
    }
  g_ptr_array_unref (lines);
  state.SetItemsProcessed (state.iterations () * state.range (0));
}

BENCHMARK (BM_HistoryLoadLines)->Arg (1000000)->Unit (benchmark::kMillisecond);
BENCHMARK (BM_GPtrArrayLoadLines)->Arg (1000000)->Unit (benchmark::kMillisecond);

} // namespace

BENCHMARK_MAIN ();
