/* SPDX-License-Identifier: LGPL-2.1-or-later */
/* The history file store beside what it stands in for: an append to a
 * history over the file against the same history over lines kept in memory;
 * a first load against reading the file at once and deduplicating it by
 * hand; eight processes appending to one file at once, against the same
 * processes writing bare lines; and an append while a stuck process holds
 * the lock, against the frame it may take. Compare the pairs within one
 * run. */
#include <benchmark/benchmark.h>

#include <algorithm>
#include <cstdio>
#include <cstring>
#include <string>
#include <vector>

#include <csignal>

#include <fcntl.h>
#include <gio/gio.h>
#include <glib-object.h>
#include <glib/gstdio.h>
#include <sys/file.h>
#include <sys/wait.h>
#include <unistd.h>
#include <vontle/vontle.h>

namespace {

constexpr size_t entry_count = 100000;
constexpr size_t load_lines = 100000;
constexpr size_t load_distinct = 25000;
constexpr int processes = 8;
constexpr int appends_per_process = 1000;

std::string
work_dir ()
{
  static const std::string dir = [] {
    g_autofree char *made = g_dir_make_tmp ("vontle-bench-history-XXXXXX", nullptr);
    return std::string (made != nullptr ? made : "/tmp");
  }();
  return dir;
}

std::string
entry (size_t i)
{
  char line[64];
  snprintf (line, sizeof line, "make -C build-%06zu install", i);
  return line;
}

/* ----------------------------------------------------------- append -- */

/* Lines in memory, read back as copies: the storage a host would write
 * first, and the floor of what any store's read costs the history. */
struct MemoryLines
{
  VontleInputHistoryLinesIO parent;
  std::vector<std::string> *lines;
};
struct MemoryLinesClass
{
  VontleInputHistoryLinesIOClass parent_class;
};

G_DEFINE_TYPE (MemoryLines, memory_lines, VONTLE_TYPE_INPUT_HISTORY_LINES_IO)

/* Keeps each line once, at its newest place, as the history does. */
void
memory_lines_append_line (VontleInputHistoryLinesIO *self, const char *line)
{
  auto &lines = *reinterpret_cast<MemoryLines *> (self)->lines;
  const auto equal = std::find (lines.begin (), lines.end (), line);
  if (equal != lines.end ())
    lines.erase (equal);
  lines.emplace_back (line);
}

char **
memory_lines_read_lines (VontleInputHistoryLinesIO *self)
{
  const auto &lines = *reinterpret_cast<MemoryLines *> (self)->lines;
  char **copy = g_new (char *, lines.size () + 1);
  for (size_t i = 0; i < lines.size (); i++)
    copy[i] = g_strndup (lines[i].data (), lines[i].size ());
  copy[lines.size ()] = nullptr;
  return copy;
}

void
memory_lines_class_init (MemoryLinesClass *klass)
{
  klass->parent_class.append_line = memory_lines_append_line;
  klass->parent_class.read_lines = memory_lines_read_lines;
}

void
memory_lines_init (MemoryLines *)
{
}

/* Appending the oldest entry again moves it to the end: the history keeps
 * its size, and both sides do the same work besides their storage. */
void
append_oldest (benchmark::State &state, VontleInputHistory *history)
{
  size_t next = 0;
  for (auto _ : state)
    {
      const std::string line = entry (next++ % entry_count);
      vontle_input_history_append (history, line.c_str ());
    }
  if (vontle_list_size (vontle_input_history_list (history)) != entry_count)
    state.SkipWithError ("the history changed its size");
}

void
BM_HistoryFileAppend (benchmark::State &state)
{
  const std::string path = work_dir () + "/append";
  std::string contents;
  for (size_t i = 0; i < entry_count; i++)
    contents += entry (i) + "\n";
  g_file_set_contents (path.c_str (), contents.data (), static_cast<gssize> (contents.size ()), nullptr);
  g_autoptr (VontleInputHistoryFile) store = vontle_input_history_file_new (path.c_str ());
  g_object_set (store, "max-entries", static_cast<guint> (entry_count), nullptr);
  g_autoptr (VontleInputHistory) history = vontle_input_history_new (VONTLE_INPUT_HISTORY_IO (store));
  append_oldest (state, history);
  g_remove (path.c_str ());
}

/* A line that another process appended, as a watching process takes it
 * up: the file grows by one record and the store says so. Its floor is the
 * process's own append (BM_HistoryFileAppend). New lines, at the cap. */
void
BM_HistoryFileForeignLine (benchmark::State &state)
{
  const std::string path = work_dir () + "/foreign";
  std::string contents;
  for (size_t i = 0; i < entry_count; i++)
    contents += entry (i) + "\n";
  g_file_set_contents (path.c_str (), contents.data (), static_cast<gssize> (contents.size ()), nullptr);
  g_autoptr (VontleInputHistoryFile) store = vontle_input_history_file_new (path.c_str ());
  g_object_set (store, "max-entries", static_cast<guint> (entry_count), nullptr);
  g_autoptr (VontleInputHistory) history = vontle_input_history_new (VONTLE_INPUT_HISTORY_IO (store));
  g_autoptr (VontleInputHistoryModel) model = vontle_input_history_model_new (history);
  const int fd = open (path.c_str (), O_WRONLY | O_APPEND);
  size_t next = 0;
  for (auto _ : state)
    {
      char line[64];
      const int length = snprintf (line, sizeof line, "from elsewhere %zu\n", next++);
      if (write (fd, line, static_cast<size_t> (length)) != length)
        state.SkipWithError ("write failed");
      g_signal_emit_by_name (store, "storage-changed");
    }
  close (fd);
  if (vontle_list_size (vontle_input_history_list (history)) != entry_count
      || g_list_model_get_n_items (G_LIST_MODEL (model)) != entry_count)
    state.SkipWithError ("the history changed its size");
  g_remove (path.c_str ());
}

void
BM_HistoryMemoryLinesAppend (benchmark::State &state)
{
  std::vector<std::string> lines;
  for (size_t i = 0; i < entry_count; i++)
    lines.push_back (entry (i));
  auto *store = static_cast<MemoryLines *> (g_object_new (memory_lines_get_type (), nullptr));
  store->lines = &lines;
  VontleInputHistory *history = vontle_input_history_new (VONTLE_INPUT_HISTORY_IO (store));
  append_oldest (state, history);
  g_object_unref (history);
  g_object_unref (store);
}

/* The store's own part of an append, without the history's search of its
 * entries: the line written under the lock, and what the file gained
 * parsed. */
void
BM_HistoryFileIOAppend (benchmark::State &state)
{
  const std::string path = work_dir () + "/io-append";
  std::string contents;
  for (size_t i = 0; i < entry_count; i++)
    contents.append (entry (i)).append ("\n");
  g_file_set_contents (path.c_str (), contents.data (), static_cast<gssize> (contents.size ()), nullptr);
  VontleInputHistoryFile *store = vontle_input_history_file_new (path.c_str ());
  g_object_set (store, "max-entries", static_cast<guint> (entry_count), nullptr);
  vontle_list_free (vontle_input_history_io_read (VONTLE_INPUT_HISTORY_IO (store)));
  size_t next = 0;
  for (auto _ : state)
    vontle_input_history_io_append (VONTLE_INPUT_HISTORY_IO (store), entry (next++ % entry_count).c_str ());
  g_object_unref (store);
  g_remove (path.c_str ());
}

/* The floor: the least any locked append does, the file opened, locked,
 * written once and closed. */
void
BM_BareLockedAppend (benchmark::State &state)
{
  const std::string path = work_dir () + "/bare-append";
  size_t next = 0;
  for (auto _ : state)
    {
      const std::string record = entry (next++ % entry_count).append ("\n");
      const int fd = open (path.c_str (), O_WRONLY | O_APPEND | O_CREAT | O_CLOEXEC, 0600);
      if (fd < 0 || flock (fd, LOCK_EX) != 0 || write (fd, record.data (), record.size ()) < 0)
        state.SkipWithError ("bare append failed");
      close (fd);
    }
  g_remove (path.c_str ());
}

/* ------------------------------------------------------------- load -- */

/* 100 000 lines of about 50 bytes, 25 000 distinct, in an order that moves
 * every entry several times. */
const std::string &
load_file ()
{
  static const std::string path = [] {
    std::string file = work_dir () + "/load";
    std::string contents;
    for (size_t i = 0; i < load_lines; i++)
      {
        char line[80];
        snprintf (line, sizeof line, "git log --oneline --graph -- src/module-%05zu.c\n",
                  (i * 7919) % load_distinct);
        contents += line;
      }
    g_file_set_contents (file.c_str (), contents.data (), static_cast<gssize> (contents.size ()), nullptr);
    return file;
  }();
  return path;
}

void
BM_HistoryFileFirstLoad (benchmark::State &state)
{
  const std::string &path = load_file ();
  for (auto _ : state)
    {
      VontleInputHistoryFile *store = vontle_input_history_file_new (path.c_str ());
      g_object_set (store, "max-entries", 0u, nullptr);
      VontleList *entries = vontle_input_history_io_read (VONTLE_INPUT_HISTORY_IO (store));
      if (vontle_list_size (entries) != load_distinct)
        state.SkipWithError ("wrong number of entries");
      vontle_list_free (entries);
      g_object_unref (store);
    }
}

/* The floor: the whole file in one read, split in place, newest first into
 * a hash table that keeps the first (newest) of equal lines, then the kept
 * lines copied out oldest first. */
void
BM_HandLoadDeduplicated (benchmark::State &state)
{
  const std::string &path = load_file ();
  for (auto _ : state)
    {
      g_autofree char *contents = nullptr;
      gsize length = 0;
      g_file_get_contents (path.c_str (), &contents, &length, nullptr);
      std::vector<char *> lines;
      for (char *start = contents, *end = contents + length; start < end;)
        {
          auto *newline = static_cast<char *> (memchr (start, '\n', static_cast<size_t> (end - start)));
          if (newline == nullptr)
            newline = end;
          *newline = '\0';
          if (newline > start)
            lines.push_back (start);
          start = newline + 1;
        }
      GHashTable *seen = g_hash_table_new (g_str_hash, g_str_equal);
      std::vector<const char *> kept;
      for (size_t i = lines.size (); i-- > 0;)
        if (g_hash_table_add (seen, lines[i]))
          kept.push_back (lines[i]);
      VontleList *entries = vontle_list_new_with_free (g_free);
      for (size_t i = kept.size (); i-- > 0;)
        vontle_list_append (entries, g_strdup (kept[i]));
      if (vontle_list_size (entries) != load_distinct)
        state.SkipWithError ("wrong number of entries");
      vontle_list_free (entries);
      g_hash_table_unref (seen);
    }
}

/* ------------------------------------------------------- concurrency -- */

/* Runs APPEND in each of 8 processes at once, 1 000 times each, and checks
 * that all 8 000 lines arrived. Wall time: the work is in the children. */
template <typename Append>
void
eight_processes (benchmark::State &state, const char *name, Append append)
{
  const std::string path = work_dir () + "/" + name;
  for (auto _ : state)
    {
      g_remove (path.c_str ());
      std::vector<pid_t> children;
      for (int p = 0; p < processes; p++)
        {
          const pid_t pid = fork ();
          if (pid == 0)
            _exit (append (path, p) ? 0 : 1);
          children.push_back (pid);
        }
      bool ok = true;
      for (pid_t pid : children)
        {
          int status = 0;
          ok = waitpid (pid, &status, 0) == pid && WIFEXITED (status) && WEXITSTATUS (status) == 0 && ok;
        }
      state.PauseTiming ();
      g_autofree char *contents = nullptr;
      gsize length = 0;
      g_file_get_contents (path.c_str (), &contents, &length, nullptr);
      size_t lines = 0;
      for (gsize i = 0; i < length; i++)
        lines += contents[i] == '\n';
      if (!ok || lines != static_cast<size_t> (processes * appends_per_process))
        state.SkipWithError ("lines missing");
      state.ResumeTiming ();
    }
  state.SetItemsProcessed (state.iterations () * processes * appends_per_process);
  g_remove (path.c_str ());
}

void
BM_HistoryFileEightProcesses (benchmark::State &state)
{
  eight_processes (state, "eight", [] (const std::string &path, int p) {
    g_autoptr (VontleInputHistoryFile) store = vontle_input_history_file_new (path.c_str ());
    for (int i = 0; i < appends_per_process; i++)
      {
        const std::string line = "process " + std::to_string (p) + " line " + std::to_string (i);
        vontle_input_history_io_append (VONTLE_INPUT_HISTORY_IO (store), line.c_str ());
      }
    guint pending;
    g_object_get (store, "pending", &pending, nullptr);
    return pending == 0;
  });
}

/* The floor: each line one O_APPEND write, no lock, nothing read back. */
void
BM_BareAppendEightProcesses (benchmark::State &state)
{
  eight_processes (state, "bare", [] (const std::string &path, int p) {
    const int fd = open (path.c_str (), O_WRONLY | O_APPEND | O_CREAT | O_CLOEXEC, 0600);
    bool ok = fd >= 0;
    for (int i = 0; ok && i < appends_per_process; i++)
      {
        const std::string line = "process " + std::to_string (p) + " line " + std::to_string (i) + "\n";
        ok = write (fd, line.data (), line.size ()) == static_cast<ssize_t> (line.size ());
      }
    return ok && close (fd) == 0;
  });
}

/* -------------------------------------------------------- lock held -- */

/* A process that took the lock and does nothing more (stuck, or stopped):
 * the time an append takes to give up and return, its line pending. */
void
BM_HistoryFileAppendLockHeld (benchmark::State &state)
{
  const std::string path = work_dir () + "/held";
  g_file_set_contents (path.c_str (), "", 0, nullptr);
  int ready[2];
  if (pipe (ready) != 0)
    {
      state.SkipWithError ("no pipe");
      return;
    }
  const pid_t holder = fork ();
  if (holder == 0)
    {
      const int fd = open (path.c_str (), O_RDONLY | O_CLOEXEC);
      if (flock (fd, LOCK_EX) == 0 && write (ready[1], "x", 1) == 1)
        pause ();
      _exit (1);
    }
  char byte;
  VontleInputHistoryFile *store = vontle_input_history_file_new (path.c_str ());
  if (read (ready[0], &byte, 1) != 1)
    state.SkipWithError ("no lock holder");
  for (auto _ : state)
    vontle_input_history_io_append (VONTLE_INPUT_HISTORY_IO (store), "line");
  guint pending;
  g_object_get (store, "pending", &pending, nullptr);
  if (pending != state.iterations ())
    state.SkipWithError ("a line was written past the lock");
  kill (holder, SIGKILL);
  waitpid (holder, nullptr, 0);
  g_object_unref (store);
  close (ready[0]);
  close (ready[1]);
  g_remove (path.c_str ());
}

/* The floor: one frame of a window at 20 frames a second, the wait the
 * store allows itself on such a holder. */
void
BM_OneFrame (benchmark::State &state)
{
  for (auto _ : state)
    g_usleep (50 * G_TIME_SPAN_MILLISECOND);
}

BENCHMARK (BM_HistoryFileAppend)->Unit (benchmark::kMicrosecond);
BENCHMARK (BM_HistoryFileForeignLine)->Unit (benchmark::kMicrosecond);
BENCHMARK (BM_HistoryMemoryLinesAppend)->Unit (benchmark::kMicrosecond);
BENCHMARK (BM_HistoryFileIOAppend)->Unit (benchmark::kMicrosecond);
BENCHMARK (BM_BareLockedAppend)->Unit (benchmark::kMicrosecond);
BENCHMARK (BM_HistoryFileFirstLoad)->Unit (benchmark::kMillisecond);
BENCHMARK (BM_HandLoadDeduplicated)->Unit (benchmark::kMillisecond);
BENCHMARK (BM_HistoryFileEightProcesses)->Unit (benchmark::kMillisecond)->UseRealTime ();
BENCHMARK (BM_BareAppendEightProcesses)->Unit (benchmark::kMillisecond)->UseRealTime ();
BENCHMARK (BM_HistoryFileAppendLockHeld)->Unit (benchmark::kMillisecond)->UseRealTime ();
BENCHMARK (BM_OneFrame)->Unit (benchmark::kMillisecond)->UseRealTime ();

} // namespace

BENCHMARK_MAIN ();
