/* SPDX-License-Identifier: LGPL-2.1-or-later */
/* The file holds one record per line (history-file-format.h). Records are
 * only ever appended, each with one write under an exclusive lock; readers
 * take a shared lock, so they never see half a record of a live writer. The
 * file is rewritten (new file, sync, rename) once it holds more than twice
 * the entries kept. A store remembers the entries it parsed and where it
 * stopped, so that a file that has only grown costs the new bytes alone.
 *
 * Like the rest of the library, these units need no C++ runtime: their
 * containers are GLib's, owned through small holders. */
#include "history-file-store.h"

#include "history-file-format.h"
#include "history-file-posix.h"
#include "list-private.h"
#include "vontle-private.h"

#include <cstring>
#include <memory>
#include <utility>

namespace vontle::history_file {

namespace {

constexpr size_t chunk_bytes = size_t { 64 } << 10;

/* The longest pause, in appends, between tries of a rewrite that fails. */
constexpr size_t longest_rewrite_backoff_appends = 1024;

void
add_entry (std::string_view entry, void *data)
{
  auto *store = static_cast<Store *> (data);
  if (store->appended != nullptr)
    {
      const gboolean seen = store->entries.contains (entry);
      g_array_append_val (store->appended_seen, seen);
      g_ptr_array_add (store->appended, g_strndup (entry.data (), entry.size ()));
    }
  store->entries.add (entry, store->max_entries);
}

/* Feeds PARSER (and MARK) the bytes of FD from *OFFSET, which follows them,
 * up to SIZE, the size seen: a writer that does not lock may be appending.
 * False, with errno set, when they cannot be read. */
bool
parse_until (int fd, off_t size, LineParser &parser, ReadMark &mark, off_t *offset)
{
  /* An append's few new bytes need no chunk's worth of buffer. */
  const size_t buffer_bytes = *offset < size ? MIN (chunk_bytes, static_cast<size_t> (size - *offset)) : 1;
  const vontle::GMemory<char[]> buffer (g_new (char, buffer_bytes));
  while (*offset < size)
    {
      const size_t wanted = MIN (buffer_bytes, static_cast<size_t> (size - *offset));
      const ssize_t got = read_at (fd, buffer.get (), wanted, *offset);
      if (got < 0)
        return false;
      if (got == 0)
        break;
      parser.feed (buffer.get (), static_cast<size_t> (got));
      mark.keep (std::string_view (buffer.get (), static_cast<size_t> (got)));
      *offset += got;
    }
  return true;
}

/* Brings the entries up to date with the open file FD (locked by the
 * caller): the new bytes only when the file has only grown, else all of
 * it. APPENDED: the caller found the file as the mark has it, and only
 * appended to it since. */
bool
catch_up (Store &store, int fd, bool appended, GError **error)
{
  struct stat st;
  if (fstat (fd, &st) != 0)
    return fail (error, "Failed to look at file", store.path);
  ReadMark &mark = store.mark;
  off_t offset = appended ? mark.end () : mark.resume_point (fd, st);
  size_t records = mark.records ();
  /* Past the line feed that closed an open line, the parse starts afresh. */
  auto ending = offset == mark.end () ? mark.ending () : ReadMark::Ending::closed;
  if (offset < 0)
    {
      store.entries.clear ();
      offset = 0;
      records = 0;
    }
  mark.start (offset);

  const off_t start = offset;
  LineParser parser (add_entry, &store, static_cast<guint64> (start));
  if (!parse_until (fd, st.st_size, parser, mark, &offset))
    return fail (error, "Failed to read file", store.path);
  switch (parser.finish ())
    {
    case LineParser::End::closed:
      if (offset != start)
        ending = parser.ends_on_boundary () ? ReadMark::Ending::on_boundary : ReadMark::Ending::closed;
      break;
    case LineParser::End::open:
      ending = ReadMark::Ending::open;
      break;
    case LineParser::End::unfinished:
      /* The next parse starts on that line again: its writer may yet be
       * followed by one that cuts it off. */
      offset = start + static_cast<off_t> (parser.line_start ());
      ending = ReadMark::Ending::closed;
      break;
    }
  store.skipped += parser.oversized ();
  mark.mark (fd, st, offset, ending, records + parser.records ());
  return true;
}

/* ------------------------------------------------------------- logging -- */

/* Logs the failure (ERROR) that begins a run of failures, followed by what
 * comes of it (THEN, made only then), or the success that ends a run: the
 * file can be DONE again. */
template <typename Then>
void
report_turn (FailureLatch &latch, const Store &store, const GError *error, Then then, const char *done)
{
  if (!latch.begins_or_ends_run (error != nullptr))
    return;
  if (error != nullptr)
    {
      g_autofree char *consequence = then ();
      VONTLE_LOG_HERE (VONTLE_LOG_ERROR, "%s. %s", error->message, consequence);
      return;
    }
  g_autofree char *shown = g_filename_display_name (store.path);
  VONTLE_LOG_HERE (VONTLE_LOG_ERROR, "The history file \u201c%s\u201d can be %s again.", shown, done);
}

void
report_read (Store &store, const GError *error)
{
  report_turn (
    store.reading, store, error, [] { return g_strdup ("The history keeps the lines it has."); }, "read");
}

/* After a parse, once the file is unlocked: a host's logger may write to
 * this very history. */
void
report_skipped (Store &store)
{
  if (store.skipped == 0)
    return;
  g_autofree char *shown = g_filename_display_name (store.path);
  VONTLE_LOG_HERE (VONTLE_LOG_ERROR, "Skipped %zu line(s) longer than %zu bytes in the history file \u201c%s\u201d.",
                   std::exchange (store.skipped, 0), max_entry_bytes, shown);
}

void
report_rewrite (Store &store, const GError *error)
{
  report_turn (
    store.rewriting, store, error, [] { return g_strdup ("The history file is not shortened and keeps growing."); },
    "shortened");
}

void
report_sync (Store &store, const GError *error)
{
  report_turn (
    store.syncing, store, error,
    [] { return g_strdup ("The lines are written, but a crash of the system may lose them."); }, "synced");
}

/* ---------------------------------------------------------------- read -- */

/* Updates the entries from the file when it may have changed since the last
 * parse. */
bool
refresh (Store &store, GError **error)
{
  struct stat st;
  if (stat (store.path, &st) != 0)
    {
      /* No file, or a file where a directory should be: nothing stored. */
      if (errno != ENOENT && errno != ENOTDIR)
        return fail (error, "Failed to look at file", store.path);
      store.entries.clear (); /* nothing stored (any more) */
      store.mark.forget ();
      return true;
    }
  if (store.mark.unchanged (st))
    return true;
  Fd fd;
  return open_locked (store.path, Access::read, append_patience, fd, &st, error)
         && catch_up (store, fd.get (), false, error);
}

/* The entries followed by the pending lines, each at its newest place, at
 * most max-entries. */
VontleList *
entries_with_pending (const Store &store)
{
  const size_t pending = store.pending_count ();
  /* The pending lines, newest first, each once: they end the list. */
  const vontle::GMemory<const char *[]> tail (g_new (const char *, pending));
  size_t tail_length = 0;
  g_autoptr (GHashTable) newer = pending > 0 ? g_hash_table_new (g_str_hash, g_str_equal) : nullptr;
  for (size_t i = pending; i-- > 0;)
    {
      auto *line = static_cast<char *> (store.pending->pdata[i]);
      if (g_hash_table_add (newer, line))
        tail[tail_length++] = line;
    }

  /* Copies of the entries (their text is NUL-terminated), then of the tail
   * oldest first; those before the last max-entries are dropped again. */
  const vontle::GMemory<void *[]> copies (g_new (void *, store.entries.size () + tail_length));
  size_t length = 0;
  store.entries.for_each ([&] (std::string_view entry) {
    if (newer == nullptr || !g_hash_table_contains (newer, entry.data ()))
      copies[length++] = const_cast<char *> (entry.data ());
  });
  for (size_t i = tail_length; i-- > 0;)
    copies[length++] = const_cast<char *> (tail[i]);

  const size_t max = store.max_entries;
  const size_t first = max > 0 && length > max ? length - max : 0;
  if (first == length)
    return nullptr;
  VontleList *list = vontle_list_new_with_free (g_free);
  if (list == nullptr)
    return nullptr;
  for (size_t i = first; i < length; i++)
    copies[i] = g_strdup (static_cast<const char *> (copies[i]));
  vontle::list_append_all (list, copies.get () + first, length - first);
  return list;
}

/* ------------------------------------------------------------- rewrite -- */

/* Writes the entries into FD, a new file. */
bool
fill_with_entries (int fd, void *data, GError **error)
{
  const auto &store = *static_cast<const Store *> (data);
  const String buffer { g_string_sized_new (chunk_bytes) };
  bool ok = true;
  off_t total = 0;
  const auto flush = [&] () {
    ok = ok && write_at (fd, store.path, total, view_of (buffer.get ()), error);
    total += static_cast<off_t> (buffer->len);
    g_string_truncate (buffer.get (), 0);
  };
  store.entries.for_each ([&] (std::string_view entry) {
    append_escaped (buffer.get (), entry);
    g_string_append_c (buffer.get (), '\n');
    if (buffer->len >= chunk_bytes)
      flush ();
  });
  flush ();
  return ok;
}

/* Replaces the file (CURRENT, under the caller's exclusive lock) with one
 * that holds the entries alone. */
bool
rewrite (Store &store, const struct stat &current, GError **error)
{
  Fd made;
  struct stat made_st;
  if (!replace (store.path, current, fill_with_entries, &store, made, &made_st, error))
    return false;
  store.mark.mark (made.get (), made_st, made_st.st_size, ReadMark::Ending::closed, store.entries.size ());
  return true;
}

/* Whether a rewrite is to be tried now: after a failure, the next try waits
 * for twice as many appends as the last. */
bool
rewrite_may_try (Store &store)
{
  if (store.appends_before_rewrite == 0)
    return true;
  store.appends_before_rewrite--;
  return false;
}

void
note_rewrite (Store &store, bool ok)
{
  store.rewrite_backoff_appends
    = ok ? 0 : MIN (MAX (store.rewrite_backoff_appends * 2, size_t { 1 }), longest_rewrite_backoff_appends);
  store.appends_before_rewrite = store.rewrite_backoff_appends;
}

/* --------------------------------------------------------------- write -- */

/* Where the last line of FD (SIZE bytes, no line feed at the end) starts;
 * -1 when that is further back than any record reaches. */
off_t
last_line_start (int fd, off_t size)
{
  constexpr size_t look_back_bytes = 4096;
  char buffer[look_back_bytes];
  const off_t reach = static_cast<off_t> (max_record_bytes) + 1;
  const off_t floor = size > reach ? size - reach : 0;
  for (off_t end = size; end > floor;)
    {
      const auto n = static_cast<size_t> (MIN (static_cast<off_t> (sizeof buffer), end - floor));
      const off_t start = end - static_cast<off_t> (n);
      if (read_at (fd, buffer, n, start) != static_cast<ssize_t> (n))
        return -1;
      for (size_t i = n; i-- > 0;)
        if (buffer[i] == '\n')
          return start + static_cast<off_t> (i) + 1;
      end = start;
    }
  return floor == 0 ? 0 : -1;
}

/* Makes the end of FD (SIZE bytes, locked for writing) a place where a
 * record may start, and returns the size then. A record cut short by a
 * killed writer is cut off; where it cannot be (an append-only file), it is
 * ended with two line feeds, which make it no entry (*LEAD). A last line
 * without line feed that is no record cut short (written by hand) is ended
 * by a line feed of its own, so that two entries are never glued together. */
off_t
prepare_end (int fd, off_t size, const char **lead)
{
  *lead = "";
  char last = '\n';
  if (size == 0 || read_at (fd, &last, 1, size - 1) != 1 || last == '\n')
    return size;
  const off_t start = last_line_start (fd, size);
  char first = '\n';
  const bool legacy_marked = start >= 0 && read_at (fd, &first, 1, start) == 1 && first == legacy_unfinished_mark;
  if (static_cast<guint64> (size) % torn_boundary_bytes != 0 && !legacy_marked)
    {
      *lead = "\n";
      return size;
    }
  if (start >= 0 && ftruncate (fd, start) == 0)
    return start;
  *lead = "\n\n";
  return size;
}

/* The pending lines, oldest first, one write each, at the end of FD (open
 * for appending and locked; SIZE bytes long; ENDS_WHOLE: known to end with a
 * line feed). The written lines leave the pending ones; returns how many
 * they were. */
size_t
write_records (Store &store, int fd, off_t size, bool ends_whole, bool *ok, GError **error)
{
  const char *lead = "";
  if (!ends_whole)
    size = prepare_end (fd, size, &lead);
  size_t written = 0;
  const String record { g_string_new (nullptr) };
  *ok = true;
  while (written < store.pending_count ())
    {
      g_string_assign (record.get (), lead);
      append_escaped (record.get (), static_cast<const char *> (store.pending->pdata[written]));
      g_string_append_c (record.get (), '\n');
      if (!append_whole (fd, store.path, size, view_of (record.get ()), error))
        {
          *ok = false;
          break;
        }
      size += static_cast<off_t> (record->len);
      lead = "";
      written++;
    }
  g_ptr_array_remove_range (store.pending.get (), 0, static_cast<guint> (written));
  return written;
}

} // namespace

Store::Store () : pending (g_ptr_array_new_with_free_func (g_free)) {}

Store::~Store ()
{
  g_free (path);
}

bool
queue_line (Store &store, const char *line)
{
  if (line == nullptr || line[0] == '\0')
    return false;
  if (const size_t length = strlen (line); length > max_entry_bytes)
    {
      g_autofree char *shown = g_filename_display_name (store.path);
      VONTLE_LOG_HERE (VONTLE_LOG_ERROR, "A line of %zu bytes is too long to keep in the history file \u201c%s\u201d.",
                       length, shown);
      return false;
    }
  g_ptr_array_add (store.pending.get (), g_strdup (line));
  return true;
}

void
set_max_entries (Store &store, guint max_entries)
{
  store.read_whole = false;
  store.max_entries = max_entries;
  store.entries.trim (max_entries);
  store.mark.forget ();
}

VontleList *
read_entries (Store &store)
{
  /* Right after an append gave up waiting for the lock, its holder is not
   * waited for a second time: the entries stay as they are until the next
   * read. */
  const gint64 given_up_usec = std::exchange (store.lock_given_up_usec, 0);
  const bool just_given_up
    = given_up_usec != 0 && g_get_monotonic_time () - given_up_usec < append_patience.busy_holder_usec;
  if (store.path != nullptr && !just_given_up)
    {
      g_autoptr (GError) error = nullptr;
      refresh (store, &error);
      report_skipped (store);
      report_read (store, error);
    }
  store.read_whole = store.path != nullptr && store.pending_count () == 0 && store.mark.known ();
  store.read_count = store.entries.size ();
  return entries_with_pending (store);
}

bool
read_appended (Store &store, size_t held, GPtrArray *lines, GArray *seen)
{
  if (!store.read_whole || held != store.read_count || store.pending_count () > 0)
    return false;
  struct stat st;
  if (stat (store.path, &st) != 0)
    return false;
  if (store.mark.unchanged (st))
    return true;
  Fd fd;
  g_autoptr (GError) error = nullptr;
  if (!open_locked (store.path, Access::read, append_patience, fd, &st, &error)
      || store.mark.resume_point (fd.get (), st) < 0)
    return false;
  store.appended = lines;
  store.appended_seen = seen;
  const bool parsed = catch_up (store, fd.get (), false, &error);
  store.appended = nullptr;
  store.appended_seen = nullptr;
  fd.reset ();
  report_skipped (store);
  report_read (store, error);
  store.read_whole = parsed;
  store.read_count = store.entries.size ();
  return parsed;
}

bool
write_pending (Store &store, const Patience &patience, size_t *written, GError **error)
{
  *written = 0;
  if (store.pending_count () == 0)
    return true;
  store.read_whole = false;
  if (store.path == nullptr)
    {
      g_set_error_literal (error, G_IO_ERROR, G_IO_ERROR_INVALID_ARGUMENT,
                           "Failed to write to the history file: the store was made without a path");
      return false;
    }
  Fd fd;
  struct stat locked;
  if (!open_locked (store.path, Access::append, patience, fd, &locked, error))
    {
      if (error != nullptr && g_error_matches (*error, G_IO_ERROR, G_IO_ERROR_BUSY))
        store.lock_given_up_usec = g_get_monotonic_time ();
      return false;
    }
  if (!std::exchange (store.swept, true))
    remove_stale_temporaries (store.path);
  bool ok;
  /* The file as the last parse left it, ended by a line feed: its end need
   * not be looked at, nor its last bytes compared after the write. */
  const bool as_parsed = store.mark.unchanged (locked) && store.mark.ending () != ReadMark::Ending::open;
  *written = write_records (store, fd.get (), locked.st_size, as_parsed, &ok, error);
  /* The lines are in the file either way; only their surviving a crash of
   * the system is in doubt. */
  const bool synced = *written > 0 && store.sync;
  g_autoptr (GError) sync_error = nullptr;
  if (synced && fsync (fd.get ()) != 0)
    fail (&sync_error, "Failed to sync file", store.path);

  g_autoptr (GError) read_error = nullptr;
  g_autoptr (GError) rewrite_error = nullptr;
  const bool parsed = catch_up (store, fd.get (), as_parsed, &read_error);
  const bool rewrite_due = parsed && store.max_entries > 0
                           && store.mark.records () > 2 * static_cast<size_t> (store.max_entries)
                           && rewrite_may_try (store);
  if (rewrite_due)
    note_rewrite (store, rewrite (store, locked, &rewrite_error));
  /* Unlocked before anything is logged: a host's logger may write to this
   * very history. */
  fd.reset ();
  if (synced)
    report_sync (store, sync_error);
  report_skipped (store);
  report_read (store, read_error);
  if (rewrite_due)
    report_rewrite (store, rewrite_error);
  return ok;
}

void
report_write (Store &store, const GError *error)
{
  report_turn (
    store.writing, store, error,
    [&store] {
      return g_strdup_printf ("%zu line(s) kept in memory, to be written at the next append.",
                              store.pending_count ());
    },
    "written");
}

} // namespace vontle::history_file
