/* SPDX-License-Identifier: LGPL-2.1-or-later */
#include "vontle-private.h"
#include "list-private.h"
#include "input-history-file-watch.h"

#include <cerrno>
#include <cstring>
#include <memory>
#include <new>
#include <string_view>
#include <utility>

#include <fcntl.h>
#include <glib-unix.h>
#include <sys/file.h>
#include <sys/stat.h>
#include <unistd.h>

/* The file holds one record per line: the entry with backslash, line feed
 * and carriage return escaped. Records are only ever appended, each with one
 * write under an exclusive flock; readers take a shared flock, so they never
 * see half a record of a live writer. The file is rewritten (new file, fsync,
 * rename) once it holds more than twice the entries kept. A store remembers
 * the entries it parsed and where it stopped, so that a file that has only
 * grown costs the new bytes alone.
 *
 * Like the rest of the library, this unit needs no C++ runtime: its
 * containers are GLib's, owned through the small holders below. */

namespace {

constexpr guint default_max_entries = 10000;

/* Longer lines are refused on append and skipped on read: one stray line of
 * a binary file must not cost its size in memory. */
constexpr size_t max_line_bytes = size_t { 1 } << 20;

constexpr size_t chunk_bytes = size_t { 64 } << 10;

/* The last bytes parsed, compared before an incremental read: a file that
 * was truncated and has grown again past the old end differs there. */
constexpr size_t signature_bytes = 32;

/* How often to reopen when the path keeps naming a new file after the lock
 * was taken (other processes rewriting it all the while). */
constexpr int identity_attempts = 64;

constexpr const char temp_marker[] = ".vontle-";
constexpr int temp_name_length = 8;
constexpr int temp_attempts = 100;

/* Histories hold passwords typed by mistake: for the user's eyes only. */
constexpr mode_t file_mode = 0600;
constexpr mode_t directory_mode = 0700;

/* Dead slots the entry array may hold beyond twice the live ones before it
 * is compacted. */
constexpr size_t compact_slack = 64;

/* ------------------------------------------------------------ holders -- */

struct PtrArrayUnref
{
  void operator() (GPtrArray *array) const { g_ptr_array_unref (array); }
};
using PtrArray = std::unique_ptr<GPtrArray, PtrArrayUnref>;

struct HashTableUnref
{
  void operator() (GHashTable *table) const { g_hash_table_unref (table); }
};
using HashTable = std::unique_ptr<GHashTable, HashTableUnref>;

struct StringFree
{
  void operator() (GString *string) const { static_cast<void> (g_string_free (string, TRUE)); }
};
using String = std::unique_ptr<GString, StringFree>;

/* An array from g_new. */
template <typename T> using Array = std::unique_ptr<T[], vontle::GFreeDeleter>;

std::string_view
view_of (const GString *string)
{
  return { string->str, string->len };
}

/* ------------------------------------------------------------ entries -- */

/* Text with its length: the key of the entry index, where lookups come
 * with text that is not NUL-terminated (a line seen where it lies in the
 * read buffer). */
struct Key
{
  const char *text;
  size_t length;
};

/* One allocation per entry: the key, where it sits in the slots, and the
 * text itself (NUL-terminated) right behind. The key comes first, so that
 * the index's keys are the entries themselves. */
struct Entry
{
  Key key;
  size_t slot;

  static Entry *
  make (std::string_view text, size_t slot)
  {
    void *memory = g_malloc (sizeof (Entry) + text.size () + 1);
    char *copy = static_cast<char *> (memory) + sizeof (Entry);
    memcpy (copy, text.data (), text.size ());
    copy[text.size ()] = '\0';
    return new (memory) Entry { { copy, text.size () }, slot };
  }
};

/* g_str_hash's function (djb2: hash * 33 + byte), over a length rather
 * than up to a NUL. */
constexpr guint32 djb2_seed = 5381;
constexpr unsigned djb2_shift = 5;

guint
key_hash (gconstpointer key)
{
  const auto *k = static_cast<const Key *> (key);
  guint32 hash = djb2_seed;
  for (size_t i = 0; i < k->length; i++)
    hash = (hash << djb2_shift) + hash + static_cast<unsigned char> (k->text[i]);
  return hash;
}

gboolean
key_equal (gconstpointer a, gconstpointer b)
{
  const auto *x = static_cast<const Key *> (a);
  const auto *y = static_cast<const Key *> (b);
  return x->length == y->length && memcmp (x->text, y->text, x->length) == 0;
}

/* The distinct entries, oldest first, each at its newest occurrence: an
 * array of slots (null where an entry moved on or was dropped) and an index
 * from text to entry, so that adding is constant time whatever the size. */
class Entries
{
public:
  Entries () : slots_ (g_ptr_array_new ()), index_ (g_hash_table_new (key_hash, key_equal)) {}
  Entries (const Entries &) = delete;
  Entries &operator= (const Entries &) = delete;
  ~Entries () { free_entries (); }

  /* Makes TEXT the newest entry; keeps at most MAX (0: all). An entry seen
   * before moves, text and all: only a new one is copied. */
  void
  add (std::string_view text, size_t max)
  {
    const Key key { text.data (), text.size () };
    if (auto *found = static_cast<Entry *> (g_hash_table_lookup (index_.get (), &key)); found != nullptr)
      {
        slot (found->slot) = nullptr;
        found->slot = slots_->len;
        g_ptr_array_add (slots_.get (), found);
      }
    else
      {
        Entry *entry = Entry::make (text, slots_->len);
        g_ptr_array_add (slots_.get (), entry);
        g_hash_table_add (index_.get (), entry);
        live_++;
        trim (max);
      }
    if (slots_->len > 2 * live_ + compact_slack)
      compact ();
  }

  void
  trim (size_t max)
  {
    while (max > 0 && live_ > max)
      drop_oldest ();
  }

  void
  clear ()
  {
    free_entries ();
    g_ptr_array_set_size (slots_.get (), 0);
    g_hash_table_remove_all (index_.get ());
    head_ = live_ = 0;
  }

  [[nodiscard]] size_t size () const { return live_; }

  /* Visits the entries, oldest first, each as a view of its text, which is
   * NUL-terminated too. */
  template <typename Visit>
  void
  for_each (Visit visit) const
  {
    for (size_t i = head_; i < slots_->len; i++)
      if (const auto *entry = static_cast<const Entry *> (slots_->pdata[i]); entry != nullptr)
        visit (std::string_view (entry->key.text, entry->key.length));
  }

private:
  [[nodiscard]] gpointer &slot (size_t i) const { return slots_->pdata[i]; }

  void
  free_entries ()
  {
    for (size_t i = head_; i < slots_->len; i++)
      g_free (std::exchange (slot (i), nullptr));
  }

  void
  drop_oldest ()
  {
    while (slot (head_) == nullptr)
      head_++;
    auto *oldest = static_cast<Entry *> (std::exchange (slot (head_), nullptr));
    g_hash_table_remove (index_.get (), oldest);
    g_free (oldest);
    head_++;
    live_--;
  }

  void
  compact ()
  {
    size_t filled = 0;
    for (size_t i = head_; i < slots_->len; i++)
      if (auto *entry = static_cast<Entry *> (slot (i)); entry != nullptr)
        {
          entry->slot = filled;
          slot (filled++) = entry;
        }
    g_ptr_array_set_size (slots_.get (), static_cast<gint> (filled));
    head_ = 0;
  }

  PtrArray slots_;
  HashTable index_;
  size_t head_ = 0;
  size_t live_ = 0;
};

/* ----------------------------------------------------------- encoding -- */

void
append_escaped (GString *out, std::string_view entry)
{
  for (char c : entry)
    switch (c)
      {
      case '\\':
        g_string_append_len (out, "\\\\", 2);
        break;
      case '\n':
        g_string_append_len (out, "\\n", 2);
        break;
      case '\r':
        g_string_append_len (out, "\\r", 2);
        break;
      default:
        g_string_append_c (out, c);
      }
}

/* The entry a line (without its line feed) stands for: a final carriage
 * return goes, NUL bytes go, and the three escapes are undone. Any other
 * backslash stays as written, so hand-written lines read as they show.
 * Gives a view of LINE itself when nothing needs undoing, else of SCRATCH;
 * empty for a line that gives no entry. */
std::string_view
decode_line (const char *line, size_t length, GString *scratch)
{
  if (length > 0 && line[length - 1] == '\r')
    length--;
  if (memchr (line, '\\', length) == nullptr && memchr (line, '\0', length) == nullptr)
    return { line, length };
  g_string_truncate (scratch, 0);
  for (size_t i = 0; i < length; i++)
    {
      char c = line[i];
      if (c == '\0')
        continue;
      if (c == '\\' && i + 1 < length)
        {
          const char next = line[i + 1];
          if (next == '\\' || next == 'n' || next == 'r')
            {
              c = next == 'n' ? '\n' : next == 'r' ? '\r' : '\\';
              i++;
            }
        }
      g_string_append_c (scratch, c);
    }
  return view_of (scratch);
}

/* Splits a stream of bytes, fed in pieces, into entries. A line longer than
 * max_line_bytes is skipped without being held whole. */
class LineParser
{
public:
  LineParser (Entries &entries, size_t max) : entries_ (entries), max_ (max) {}

  void
  feed (const char *data, size_t n)
  {
    while (n > 0)
      {
        const auto *newline = static_cast<const char *> (memchr (data, '\n', n));
        const size_t length = newline != nullptr ? static_cast<size_t> (newline - data) : n;
        /* A whole line in this piece is parsed where it lies. */
        if (newline != nullptr && partial_->len == 0 && !skipping_ && length <= max_line_bytes)
          take_line (data, length);
        else
          {
            take_piece (data, length);
            if (newline == nullptr)
              return;
            end_line ();
          }
        data += length + 1;
        n -= length + 1;
      }
  }

  /* The bytes after the last line feed are a line cut short: it still counts.
   * Returns whether there were any. */
  bool
  finish ()
  {
    const bool open = partial_->len > 0 || skipping_;
    if (open)
      end_line ();
    return open;
  }

  [[nodiscard]] size_t records () const { return records_; }
  [[nodiscard]] size_t oversized () const { return oversized_; }

private:
  void
  take_piece (const char *data, size_t length)
  {
    if (skipping_)
      return;
    if (partial_->len + length > max_line_bytes)
      {
        g_string_truncate (partial_.get (), 0);
        skipping_ = true;
        oversized_++;
        return;
      }
    g_string_append_len (partial_.get (), data, static_cast<gssize> (length));
  }

  void
  take_line (const char *line, size_t length)
  {
    const std::string_view entry = decode_line (line, length, scratch_.get ());
    if (entry.empty ())
      return;
    entries_.add (entry, max_);
    records_++;
  }

  void
  end_line ()
  {
    if (!skipping_)
      take_line (partial_->str, partial_->len);
    g_string_truncate (partial_.get (), 0);
    skipping_ = false;
  }

  Entries &entries_;
  size_t max_;
  String partial_ { g_string_new (nullptr) };
  String scratch_ { g_string_new (nullptr) };
  bool skipping_ = false;
  size_t records_ = 0;
  size_t oversized_ = 0;
};

/* ------------------------------------------------------------ failures -- */

struct Failure
{
  GIOErrorEnum code = G_IO_ERROR_FAILED;
  /* g_strerror's text or a literal: both last as long as the process. */
  const char *reason = "";
};

Failure
failure_from_errno (int error)
{
  return { g_io_error_from_errno (error), g_strerror (error) };
}

/* Records ERROR (errno by default) as the failure and returns false, for
 * the caller to return in turn. */
bool
fail (Failure *failure, int error = errno)
{
  *failure = failure_from_errno (error);
  return false;
}

bool
fail (Failure *failure, GIOErrorEnum code, const char *reason)
{
  *failure = { code, reason };
  return false;
}

/* --------------------------------------------------------- descriptors -- */

class Fd
{
public:
  explicit Fd (int fd = -1) : fd_ (fd) {}
  Fd (const Fd &) = delete;
  Fd &operator= (const Fd &) = delete;
  ~Fd () { reset (); }

  [[nodiscard]] int get () const { return fd_; }
  [[nodiscard]] bool valid () const { return fd_ >= 0; }

  void
  reset (int fd = -1)
  {
    if (fd_ >= 0)
      close (fd_);
    fd_ = fd;
  }

  /* Closes now and says whether that worked: a failed close of a written
   * file may be a failed write. */
  bool
  close_checked ()
  {
    const int result = close (std::exchange (fd_, -1));
    return result == 0;
  }

private:
  int fd_;
};

bool
same_file (const struct stat &a, const struct stat &b)
{
  return a.st_dev == b.st_dev && a.st_ino == b.st_ino;
}

bool
same_time (const struct timespec &a, const struct timespec &b)
{
  return a.tv_sec == b.tv_sec && a.tv_nsec == b.tv_nsec;
}

/* Anything but a regular file is refused before it is opened: opening a
 * FIFO could block, opening a device may act on it. */
bool
check_regular (const struct stat &st, Failure *failure)
{
  if (S_ISREG (st.st_mode))
    return true;
  if (S_ISDIR (st.st_mode))
    *failure = { G_IO_ERROR_IS_DIRECTORY, "it is a directory" };
  else
    *failure = { G_IO_ERROR_NOT_REGULAR_FILE, "it is not a regular file" };
  return false;
}

/* Opens PATH as a regular file, never blocking on the open itself. */
bool
open_regular (const char *path, int flags, Fd &fd, struct stat *st, Failure *failure)
{
  struct stat before;
  if (stat (path, &before) == 0 && !check_regular (before, failure))
    return false;
  fd.reset (open (path, flags | O_CLOEXEC | O_NOCTTY | O_NONBLOCK, file_mode));
  if (!fd.valid ())
    return fail (failure);
  if (fstat (fd.get (), st) != 0)
    return fail (failure);
  if (!check_regular (*st, failure))
    return false;
  static_cast<void> (g_unix_set_fd_nonblocking (fd.get (), FALSE, nullptr));
  return true;
}

/* Waits for the lock, through signals that interrupt the wait. */
bool
lock (int fd, int operation, Failure *failure)
{
  int result;
  do
    result = flock (fd, operation);
  while (result != 0 && errno == EINTR);
  return result == 0 || fail (failure);
}

bool
write_all (int fd, const char *data, size_t n, Failure *failure)
{
  while (n > 0)
    {
      ssize_t written;
      do
        written = write (fd, data, n);
      while (written < 0 && errno == EINTR);
      if (written <= 0)
        return fail (failure, written < 0 ? errno : EIO);
      data += written;
      n -= static_cast<size_t> (written);
    }
  return true;
}

/* Reads up to N bytes at OFFSET; fewer only at the end of the file. */
ssize_t
read_at (int fd, char *buffer, size_t n, off_t offset)
{
  size_t total = 0;
  while (total < n)
    {
      ssize_t got;
      do
        got = pread (fd, buffer + total, n - total, offset + static_cast<off_t> (total));
      while (got < 0 && errno == EINTR);
      if (got < 0)
        return -1;
      if (got == 0)
        break;
      total += static_cast<size_t> (got);
    }
  return static_cast<ssize_t> (total);
}

/* The last signature_bytes bytes of a stream fed in pieces. */
struct Signature
{
  char bytes[signature_bytes];
  size_t length = 0;

  void
  keep (std::string_view more)
  {
    if (more.size () >= signature_bytes)
      {
        memcpy (bytes, more.data () + more.size () - signature_bytes, signature_bytes);
        length = signature_bytes;
        return;
      }
    const size_t total = length + more.size ();
    const size_t dropped = total > signature_bytes ? total - signature_bytes : 0;
    memmove (bytes, bytes + dropped, length - dropped);
    memcpy (bytes + length - dropped, more.data (), more.size ());
    length = total - dropped;
  }

  void clear () { length = 0; }

  [[nodiscard]] std::string_view view () const { return { bytes, length }; }
};

/* What the store knows of the file: the entries as of the last parse, and
 * which file and how much of it that parse covered. */
struct StoreState
{
  Entries entries;
  PtrArray pending { g_ptr_array_new_with_free_func (g_free) }; /* lines not yet written, oldest first */
  bool loaded = false;         /* entries and the fields below describe a file */
  dev_t dev = 0;
  ino_t ino = 0;
  off_t parsed = 0;            /* bytes parsed, from the start */
  struct timespec mtime = {};
  mode_t mode = file_mode;
  Signature signature;         /* the last bytes before parsed */
  bool ends_open = false;      /* the parse ended on a line without line feed */
  size_t records = 0;          /* entry lines in the file, duplicates counted */
  size_t skipped = 0;          /* lines too long, passed over since last logged */
  bool write_failing = false;
  bool read_failing = false;
  bool rewrite_failing = false;

  [[nodiscard]] size_t pending_count () const { return pending->len; }
  [[nodiscard]] const char *pending_line (size_t i) const { return static_cast<const char *> (pending->pdata[i]); }
};

} // namespace

/* ------------------------------------------------------------- object -- */

struct VontleInputHistoryFilePrivate
{
  char *path; /* absolute, or null when made without one */
  guint max_entries;
  gboolean sync;
  StoreState state;
  vontle::FileWatch *watch; /* null without a path */
};

struct _VontleInputHistoryFile
{
  GObject parent_instance;
};

namespace {

void io_init (VontleInputHistoryIOInterface *iface);

} // namespace

G_DEFINE_TYPE_WITH_CODE (VontleInputHistoryFile, vontle_input_history_file, G_TYPE_OBJECT,
                         G_ADD_PRIVATE (VontleInputHistoryFile)
                         G_IMPLEMENT_INTERFACE (VONTLE_TYPE_INPUT_HISTORY_IO, io_init))

namespace {

enum
{
  PROP_0,
  PROP_PATH,
  PROP_MAX_ENTRIES,
  PROP_SYNC,
  PROP_PENDING,
  N_PROPERTIES,
};

GParamSpec *properties[N_PROPERTIES];

VontleInputHistoryFilePrivate *
private_of (VontleInputHistoryFile *file)
{
  return static_cast<VontleInputHistoryFilePrivate *> (vontle_input_history_file_get_instance_private (file));
}

/* --------------------------------------------------------------- parse -- */

/* Whether the bytes parsed so far are still the file's first bytes, as far as
 * a look at the last of them tells, so that only what follows needs
 * parsing. */
bool
can_continue (const StoreState &state, int fd, const struct stat &st)
{
  if (!state.loaded || state.dev != st.st_dev || state.ino != st.st_ino || st.st_size < state.parsed)
    return false;
  char buffer[signature_bytes + 1];
  const size_t n = state.signature.length;
  const off_t start = state.parsed - static_cast<off_t> (n);
  const ssize_t got = read_at (fd, buffer, n + 1, start);
  if (got < static_cast<ssize_t> (n) || std::string_view (buffer, n) != state.signature.view ())
    return false;
  /* A line cut short goes on only as the next writer leaves it: ended by a
   * line feed of its own. Anything else re-reads it whole. */
  return !state.ends_open || got == static_cast<ssize_t> (n) || buffer[n] == '\n';
}

/* Brings the entries up to date with the open file FD (locked by the
 * caller): the new bytes only when the file has only grown, else all of
 * it. */
bool
catch_up (VontleInputHistoryFile *file, int fd, Failure *failure)
{
  auto *priv = private_of (file);
  StoreState &state = priv->state;
  struct stat st;
  if (fstat (fd, &st) != 0)
    return fail (failure);
  off_t offset = state.parsed;
  if (!can_continue (state, fd, st))
    {
      state.entries.clear ();
      state.signature.clear ();
      state.records = 0;
      state.ends_open = false;
      offset = 0;
    }
  else if (state.ends_open && st.st_size > offset)
    {
      offset++; /* the line feed that ends the line cut short */
      state.signature.keep ("\n");
    }
  state.loaded = false;

  LineParser parser (state.entries, priv->max_entries);
  g_autofree char *buffer = static_cast<char *> (g_malloc (chunk_bytes));
  for (;;)
    {
      const ssize_t got = read_at (fd, buffer, chunk_bytes, offset);
      if (got < 0)
        return fail (failure);
      if (got == 0)
        break;
      parser.feed (buffer, static_cast<size_t> (got));
      state.signature.keep (std::string_view (buffer, static_cast<size_t> (got)));
      offset += got;
    }
  const bool ends_open = parser.finish ();
  if (offset != state.parsed)
    state.ends_open = ends_open;
  state.records += parser.records ();
  state.skipped += parser.oversized ();

  /* Under the lock nobody appends: the file is still as fstat saw it. */
  state.dev = st.st_dev;
  state.ino = st.st_ino;
  state.mtime = st.st_mtim;
  state.mode = st.st_mode;
  state.parsed = offset;
  state.loaded = true;
  return true;
}

/* ------------------------------------------------------------- logging -- */

void
report_read (VontleInputHistoryFile *file, const Failure *failure)
{
  auto *priv = private_of (file);
  StoreState &state = priv->state;
  if (failure != nullptr && !state.read_failing)
    VONTLE_LOG_HERE (VONTLE_LOG_ERROR,
                     "Cannot read the history file '%s': %s. The history keeps the lines it has.",
                     priv->path, failure->reason);
  else if (failure == nullptr && state.read_failing)
    VONTLE_LOG_HERE (VONTLE_LOG_ERROR, "The history file '%s' can be read again.", priv->path);
  state.read_failing = failure != nullptr;
}

/* After a parse, once the file is unlocked: a host's logger may write to
 * this very history. */
void
report_skipped (VontleInputHistoryFile *file)
{
  auto *priv = private_of (file);
  if (priv->state.skipped > 0)
    VONTLE_LOG_HERE (VONTLE_LOG_ERROR, "History file '%s': skipped %zu line(s) longer than %zu bytes.",
                     priv->path, std::exchange (priv->state.skipped, 0), max_line_bytes);
}

void
report_write (VontleInputHistoryFile *file, const Failure *failure, size_t written)
{
  auto *priv = private_of (file);
  StoreState &state = priv->state;
  if (failure != nullptr && !state.write_failing)
    VONTLE_LOG_HERE (VONTLE_LOG_ERROR,
                     "Cannot write to the history file '%s': %s. %zu line(s) kept in memory, "
                     "to be written at the next append.",
                     priv->path, failure->reason, state.pending_count ());
  else if (failure == nullptr && state.write_failing)
    VONTLE_LOG_HERE (VONTLE_LOG_ERROR,
                     "The history file '%s' can be written again: %zu kept line(s) written.",
                     priv->path, written);
  state.write_failing = failure != nullptr;
}

void
report_rewrite (VontleInputHistoryFile *file, const Failure *failure)
{
  auto *priv = private_of (file);
  StoreState &state = priv->state;
  if (failure != nullptr && !state.rewrite_failing)
    VONTLE_LOG_HERE (VONTLE_LOG_ERROR,
                     "Cannot shorten the history file '%s': %s. It keeps growing meanwhile.",
                     priv->path, failure->reason);
  state.rewrite_failing = failure != nullptr;
}

/* Whether the file is not the one, or not as long, as the last parse saw:
 * another process wrote it. The store's own writes are parsed at once. */
bool
changed_since_read (VontleInputHistoryFile *file)
{
  auto *priv = private_of (file);
  const StoreState &state = priv->state;
  struct stat st;
  if (stat (priv->path, &st) != 0)
    return state.loaded;
  return !state.loaded || st.st_dev != state.dev || st.st_ino != state.ino || st.st_size != state.parsed
         || !same_time (st.st_mtim, state.mtime);
}

void
notice_change (gpointer file)
{
  if (changed_since_read (VONTLE_INPUT_HISTORY_FILE (file)))
    g_signal_emit_by_name (file, "storage-changed");
}

/* ---------------------------------------------------------------- read -- */

/* Opens PATH and takes LOCK_OPERATION on it, reopening while the path names
 * another file once the lock is held: a rewrite in another process renames
 * a new file over the one that was opened. *LOCKED describes the file as it
 * is under the lock. */
bool
open_locked (const char *path, int flags, int lock_operation, Fd &fd, struct stat *locked,
             Failure *failure)
{
  for (int attempt = 0; attempt < identity_attempts; attempt++)
    {
      struct stat opened;
      if (!open_regular (path, flags, fd, &opened, failure) || !lock (fd.get (), lock_operation, failure))
        return false;
      if (stat (path, locked) == 0 && same_file (opened, *locked))
        return true;
    }
  return fail (failure, G_IO_ERROR_BUSY, "it keeps being replaced by other processes");
}

/* Updates the entries from the file when it may have changed since the last
 * parse. Returns false, with FAILURE set, when it cannot be read. */
bool
refresh (VontleInputHistoryFile *file, Failure *failure)
{
  auto *priv = private_of (file);
  StoreState &state = priv->state;
  struct stat st;
  if (stat (priv->path, &st) != 0)
    {
      /* No file, or a file where a directory should be: nothing stored. */
      if (errno != ENOENT && errno != ENOTDIR)
        return fail (failure);
      state.entries.clear (); /* nothing stored (any more) */
      state.loaded = false;
      return true;
    }
  if (!check_regular (st, failure))
    return false;
  if (state.loaded && st.st_dev == state.dev && st.st_ino == state.ino && st.st_size == state.parsed && same_time (st.st_mtim, state.mtime))
    return true;
  Fd fd;
  return open_locked (priv->path, O_RDONLY, LOCK_SH, fd, &st, failure) && catch_up (file, fd.get (), failure);
}

/* The entries followed by the pending lines, as the history would hold them
 * after appending those: each at its newest place, at most max-entries. */
VontleList *
entries_with_pending (VontleInputHistoryFile *file)
{
  auto *priv = private_of (file);
  const StoreState &state = priv->state;
  const size_t pending = state.pending_count ();
  /* The pending lines, newest first, each once: they end the list. */
  const Array<const char *> tail (g_new (const char *, pending));
  size_t tail_length = 0;
  g_autoptr (GHashTable) newer = pending > 0 ? g_hash_table_new (g_str_hash, g_str_equal) : nullptr;
  for (size_t i = pending; i-- > 0;)
    if (g_hash_table_add (newer, const_cast<char *> (state.pending_line (i))))
      tail[tail_length++] = state.pending_line (i);

  /* Copies of the entries (their text is NUL-terminated), then of the tail
   * oldest first; those before the last max-entries are dropped again. */
  const Array<void *> copies (g_new (void *, state.entries.size () + tail_length));
  size_t length = 0;
  state.entries.for_each ([&] (std::string_view entry) {
    if (newer == nullptr || !g_hash_table_contains (newer, entry.data ()))
      copies[length++] = const_cast<char *> (entry.data ());
  });
  for (size_t i = tail_length; i-- > 0;)
    copies[length++] = const_cast<char *> (tail[i]);

  const size_t max = priv->max_entries;
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

VontleList *
vontle_input_history_file_read (VontleInputHistoryIO *io)
{
  auto *file = VONTLE_INPUT_HISTORY_FILE (io);
  if (private_of (file)->path != nullptr)
    {
      Failure failure;
      const bool ok = refresh (file, &failure);
      report_skipped (file);
      report_read (file, ok ? nullptr : &failure);
    }
  return entries_with_pending (file);
}

/* ------------------------------------------------------------- rewrite -- */

/* A temporary file left by a process killed during a rewrite. Only a
 * process holding the lock on the current file rewrites, so under that lock
 * no other rewrite is under way and every such file is stale. */
void
remove_stale_temporaries (const char *dir, const char *prefix)
{
  g_autoptr (GDir) stream = g_dir_open (dir, 0, nullptr);
  if (stream == nullptr)
    return;
  while (const char *name = g_dir_read_name (stream))
    if (g_str_has_prefix (name, prefix))
      {
        g_autofree char *stale = g_build_filename (dir, name, nullptr);
        static_cast<void> (unlink (stale));
      }
}

/* A new file beside TARGET, made exclusively (never through a symlink). */
bool
create_temporary (const char *prefix, const char *dir, char **temp_path, Fd &fd, Failure *failure)
{
  static constexpr char alphabet[] = "abcdefghijklmnopqrstuvwxyzABCDEFGHIJKLMNOPQRSTUVWXYZ0123456789";
  for (int attempt = 0; attempt < temp_attempts; attempt++)
    {
      char suffix[temp_name_length + 1];
      for (int i = 0; i < temp_name_length; i++)
        suffix[i] = alphabet[g_random_int_range (0, sizeof alphabet - 1)];
      suffix[temp_name_length] = '\0';
      g_autofree char *name = g_strconcat (prefix, suffix, nullptr);
      g_autofree char *candidate = g_build_filename (dir, name, nullptr);
      fd.reset (open (candidate, O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC | O_NOFOLLOW | O_NOCTTY, file_mode));
      if (fd.valid ())
        {
          *temp_path = g_steal_pointer (&candidate);
          return true;
        }
      if (errno != EEXIST)
        break;
    }
  return fail (failure);
}

/* Writes the entries to TEMP_FD and makes it durable; returns its size. */
bool
write_entries (const StoreState &state, int temp_fd, off_t *size, Signature *last_bytes,
               Failure *failure)
{
  const String buffer { g_string_sized_new (chunk_bytes) };
  bool ok = true;
  off_t total = 0;
  state.entries.for_each ([&] (std::string_view entry) {
    append_escaped (buffer.get (), entry);
    g_string_append_c (buffer.get (), '\n');
    if (ok && buffer->len >= chunk_bytes)
      {
        ok = write_all (temp_fd, buffer->str, buffer->len, failure);
        total += static_cast<off_t> (buffer->len);
        last_bytes->keep (view_of (buffer.get ()));
        g_string_truncate (buffer.get (), 0);
      }
  });
  if (ok)
    {
      ok = write_all (temp_fd, buffer->str, buffer->len, failure);
      total += static_cast<off_t> (buffer->len);
      last_bytes->keep (view_of (buffer.get ()));
    }
  ok = ok && (fsync (temp_fd) == 0 || fail (failure));
  *size = total;
  return ok;
}

/* The file that PATH names once the symbolic links it ends in are followed:
 * the rewrite replaces that one, and leaves the links as they are. Links
 * among the directories above need no resolving, a rename goes through
 * them. */
bool
final_target (const char *path, char **target, Failure *failure)
{
  constexpr int max_links = 40; /* as the kernel's own loop limit */
  g_autofree char *current = g_strdup (path);
  for (int links = 0; links < max_links; links++)
    {
      struct stat st;
      if (lstat (current, &st) != 0)
        return fail (failure);
      if (!S_ISLNK (st.st_mode))
        {
          *target = g_steal_pointer (&current);
          return true;
        }
      g_autofree char *link = g_file_read_link (current, nullptr);
      if (link == nullptr)
        return fail (failure, G_IO_ERROR_FAILED, "its symbolic link cannot be read");
      if (!g_path_is_absolute (link))
        {
          g_autofree char *dir = g_path_get_dirname (current);
          g_free (std::exchange (link, g_build_filename (dir, link, nullptr)));
        }
      g_free (std::exchange (current, g_steal_pointer (&link)));
    }
  return fail (failure, ELOOP);
}

/* Replaces the file with one that holds the entries alone, under the
 * caller's exclusive lock on it, through a temporary file in the target's
 * directory: a crash leaves the old file or the new one. A symbolic link
 * stays: its target is what gets replaced. */
bool
rewrite (VontleInputHistoryFile *file, Failure *failure)
{
  auto *priv = private_of (file);
  StoreState &state = priv->state;
  g_autofree char *target = nullptr;
  if (!final_target (priv->path, &target, failure))
    return false;
  g_autofree char *dir = g_path_get_dirname (target);
  g_autofree char *base = g_path_get_basename (target);
  g_autofree char *prefix = g_strconcat (".", base, temp_marker, nullptr);
  remove_stale_temporaries (dir, prefix);

  g_autofree char *temp_path = nullptr;
  Fd temp;
  if (!create_temporary (prefix, dir, &temp_path, temp, failure))
    return false;
  off_t size = 0;
  Signature last_bytes;
  struct stat new_st = {};
  /* The file keeps the mode it was given (by default 0600). */
  const bool ok = write_entries (state, temp.get (), &size, &last_bytes, failure)
                  && ((fchmod (temp.get (), state.mode & (S_IRWXU | S_IRWXG | S_IRWXO)) == 0
                       && fstat (temp.get (), &new_st) == 0 && temp.close_checked ()
                       && rename (temp_path, target) == 0) || fail (failure));
  if (!ok)
    {
      static_cast<void> (unlink (temp_path));
      return false;
    }
  /* The rename lasts across a system crash once the directory is synced. */
  Fd dir_fd (open (dir, O_RDONLY | O_CLOEXEC | O_DIRECTORY));
  if (dir_fd.valid ())
    static_cast<void> (fsync (dir_fd.get ()));

  state.dev = new_st.st_dev;
  state.ino = new_st.st_ino;
  state.mtime = new_st.st_mtim;
  state.parsed = size;
  state.signature = last_bytes;
  state.ends_open = false;
  state.records = state.entries.size ();
  state.loaded = true;
  return true;
}

/* --------------------------------------------------------------- write -- */

/* The pending lines, oldest first, one write each, at the end of FD (open
 * for appending and locked; SIZE bytes long). A record that fails half written is cut off
 * again, so that the file never ends in part of an entry. The written lines
 * leave the pending ones; returns how many they were. */
size_t
write_records (StoreState &state, int fd, off_t size, Failure *failure, bool *ok)
{
  /* After a line cut short the first record starts on a line of its own,
   * so that two entries are never glued together. */
  char last = '\n';
  bool line_open = size > 0 && read_at (fd, &last, 1, size - 1) == 1 && last != '\n';
  size_t written = 0;
  const String record { g_string_new (nullptr) };
  *ok = true;
  while (written < state.pending_count ())
    {
      g_string_truncate (record.get (), 0);
      if (line_open)
        g_string_append_c (record.get (), '\n');
      append_escaped (record.get (), state.pending_line (written));
      g_string_append_c (record.get (), '\n');
      if (!write_all (fd, record->str, record->len, failure))
        {
          static_cast<void> (ftruncate (fd, size));
          *ok = false;
          break;
        }
      size += static_cast<off_t> (record->len);
      line_open = false;
      written++;
    }
  g_ptr_array_remove_range (state.pending.get (), 0, static_cast<guint> (written));
  return written;
}

/* Opens the file for appending, making it (0600) and its missing
 * directories (0700) when needed, and takes the exclusive lock. */
bool
open_for_append (const char *path, Fd &fd, struct stat *locked, Failure *failure)
{
  constexpr int flags = O_RDWR | O_APPEND | O_CREAT;
  if (open_locked (path, flags, LOCK_EX, fd, locked, failure))
    return true;
  if (failure->code != G_IO_ERROR_NOT_FOUND)
    return false;
  g_autofree char *dir = g_path_get_dirname (path);
  if (g_mkdir_with_parents (dir, directory_mode) != 0)
    return fail (failure);
  return open_locked (path, flags, LOCK_EX, fd, locked, failure);
}

/* Writes the pending lines; then, still under the lock, parses what the
 * file gained (those lines, and whatever other processes appended) and
 * shortens the file once it holds more than twice the entries kept. Returns
 * false, with FAILURE set, while lines remain pending. */
bool
write_pending (VontleInputHistoryFile *file, Failure *failure, size_t *written)
{
  auto *priv = private_of (file);
  StoreState &state = priv->state;
  *written = 0;
  if (state.pending_count () == 0)
    return true;
  if (priv->path == nullptr)
    {
      *failure = { G_IO_ERROR_INVALID_ARGUMENT, "the store has no path" };
      return false;
    }
  Fd fd;
  struct stat locked;
  if (!open_for_append (priv->path, fd, &locked, failure))
    return false;
  bool ok;
  *written = write_records (state, fd.get (), locked.st_size, failure, &ok);
  /* The lines are in the file either way; only their surviving a crash of
   * the system is in doubt. */
  const int sync_error = *written > 0 && priv->sync && fsync (fd.get ()) != 0 ? errno : 0;

  Failure read_failure;
  Failure rewrite_failure;
  const bool parsed = catch_up (file, fd.get (), &read_failure);
  const bool rewrite_due = parsed && priv->max_entries > 0
                           && state.records > 2 * static_cast<size_t> (priv->max_entries);
  const bool rewritten = rewrite_due && rewrite (file, &rewrite_failure);
  /* Unlocked before anything is logged: a host's logger may write to this
   * very history. */
  fd.reset ();
  if (sync_error != 0)
    VONTLE_LOG_HERE (VONTLE_LOG_ERROR, "Cannot sync the history file '%s': %s.", priv->path,
                     g_strerror (sync_error));
  report_skipped (file);
  report_read (file, parsed ? nullptr : &read_failure);
  if (rewrite_due)
    report_rewrite (file, rewritten ? nullptr : &rewrite_failure);
  return ok && state.pending_count () == 0;
}

/* Writes what is pending, logs a change between failing and working, and
 * notifies a change of "pending" once the file is closed again. */
bool
sync_pending (VontleInputHistoryFile *file, size_t pending_before, Failure *failure)
{
  size_t written;
  const bool ok = write_pending (file, failure, &written);
  report_write (file, ok ? nullptr : failure, written);
  if (private_of (file)->state.pending_count () != pending_before)
    g_object_notify_by_pspec (G_OBJECT (file), properties[PROP_PENDING]);
  return ok;
}

size_t
escaped_length (const char *line)
{
  size_t length = 0;
  for (const char *c = line; *c != '\0'; c++)
    length += *c == '\\' || *c == '\n' || *c == '\r' ? 2 : 1;
  return length;
}

void
vontle_input_history_file_append (VontleInputHistoryIO *io, const char *line)
{
  auto *file = VONTLE_INPUT_HISTORY_FILE (io);
  auto *priv = private_of (file);
  /* An empty line cannot be told from the empty lines of a hand-written
   * file, which are no entries. */
  if (line == nullptr || line[0] == '\0')
    return;
  if (escaped_length (line) > max_line_bytes)
    {
      VONTLE_LOG_HERE (VONTLE_LOG_ERROR, "History file '%s': a line of %zu bytes is too long to keep.",
                       priv->path, strlen (line));
      return;
    }
  const size_t pending_before = priv->state.pending_count ();
  g_ptr_array_add (priv->state.pending.get (), g_strdup (line));
  Failure failure;
  sync_pending (file, pending_before, &failure);
}

void
io_init (VontleInputHistoryIOInterface *iface)
{
  iface->append = vontle_input_history_file_append;
  iface->read = vontle_input_history_file_read;
}

/* ------------------------------------------------------------- object -- */

void
vontle_input_history_file_set_property (GObject *object, guint property_id, const GValue *value,
                                        GParamSpec *pspec)
{
  auto *priv = private_of (VONTLE_INPUT_HISTORY_FILE (object));
  switch (property_id)
    {
    case PROP_PATH:
      g_free (std::exchange (priv->path, vontle_fix_path (g_value_get_string (value))));
      break;
    case PROP_MAX_ENTRIES:
      if (g_value_get_uint (value) == priv->max_entries)
        break;
      priv->max_entries = g_value_get_uint (value);
      /* Fewer entries are cut here; more come back from the file, parsed
       * anew at the next read. */
      priv->state.entries.trim (priv->max_entries);
      priv->state.loaded = false;
      g_object_notify_by_pspec (object, pspec);
      break;
    case PROP_SYNC:
      if (g_value_get_boolean (value) == priv->sync)
        break;
      priv->sync = g_value_get_boolean (value);
      g_object_notify_by_pspec (object, pspec);
      break;
    default:
      G_OBJECT_WARN_INVALID_PROPERTY_ID (object, property_id, pspec);
    }
}

void
vontle_input_history_file_get_property (GObject *object, guint property_id, GValue *value,
                                        GParamSpec *pspec)
{
  auto *priv = private_of (VONTLE_INPUT_HISTORY_FILE (object));
  switch (property_id)
    {
    case PROP_PATH:
      g_value_set_string (value, priv->path);
      break;
    case PROP_MAX_ENTRIES:
      g_value_set_uint (value, priv->max_entries);
      break;
    case PROP_SYNC:
      g_value_set_boolean (value, priv->sync);
      break;
    case PROP_PENDING:
      g_value_set_uint (value, static_cast<guint> (priv->state.pending_count ()));
      break;
    default:
      G_OBJECT_WARN_INVALID_PROPERTY_ID (object, property_id, pspec);
    }
}

void
vontle_input_history_file_constructed (GObject *object)
{
  G_OBJECT_CLASS (vontle_input_history_file_parent_class)->constructed (object);
  auto *priv = private_of (VONTLE_INPUT_HISTORY_FILE (object));
  const char *path = priv->path;
  if (VONTLE_CHECK (path != NULL))
    priv->watch = vontle::file_watch_new (path, notice_change, object);
}

/* A last try for the lines still pending: the process may be on its way
 * out. What still cannot be written is lost, and the log says so. */
void
vontle_input_history_file_finalize (GObject *object)
{
  auto *file = VONTLE_INPUT_HISTORY_FILE (object);
  auto *priv = private_of (file);
  if (priv->state.pending_count () > 0 && priv->path != nullptr)
    {
      Failure failure;
      size_t written;
      if (!write_pending (file, &failure, &written))
        VONTLE_LOG_HERE (VONTLE_LOG_ERROR,
                         "History file '%s': %zu line(s) could not be written and are lost: %s.",
                         priv->path, priv->state.pending_count (), failure.reason);
      else
        report_write (file, nullptr, written);
    }
  vontle::file_watch_free (priv->watch);
  g_free (priv->path);
  priv->~VontleInputHistoryFilePrivate ();
  G_OBJECT_CLASS (vontle_input_history_file_parent_class)->finalize (object);
}

} // namespace

static void
vontle_input_history_file_class_init (VontleInputHistoryFileClass *klass)
{
  auto *object_class = G_OBJECT_CLASS (klass);
  object_class->set_property = vontle_input_history_file_set_property;
  object_class->get_property = vontle_input_history_file_get_property;
  object_class->constructed = vontle_input_history_file_constructed;
  object_class->finalize = vontle_input_history_file_finalize;

  constexpr auto flags = static_cast<GParamFlags> (G_PARAM_READWRITE | G_PARAM_STATIC_STRINGS
                                                   | G_PARAM_EXPLICIT_NOTIFY);
  properties[PROP_PATH] = g_param_spec_string (
    "path", "path", "The history file", nullptr,
    static_cast<GParamFlags> (G_PARAM_READWRITE | G_PARAM_CONSTRUCT_ONLY | G_PARAM_STATIC_STRINGS));
  properties[PROP_MAX_ENTRIES] = g_param_spec_uint (
    "max-entries", "max-entries", "How many of the newest entries are kept (0: all)", 0, G_MAXUINT,
    default_max_entries, flags);
  properties[PROP_SYNC] = g_param_spec_boolean ("sync", "sync", "Whether each append waits for the disk",
                                                FALSE, flags);
  properties[PROP_PENDING] = g_param_spec_uint (
    "pending", "pending", "Appended lines not yet written to the file", 0, G_MAXUINT, 0,
    static_cast<GParamFlags> (G_PARAM_READABLE | G_PARAM_STATIC_STRINGS));
  g_object_class_install_properties (object_class, N_PROPERTIES, properties);
}

static void
vontle_input_history_file_init (VontleInputHistoryFile *file)
{
  auto *priv = new (private_of (file)) VontleInputHistoryFilePrivate ();
  priv->max_entries = default_max_entries;
}

VontleInputHistoryFile *
vontle_input_history_file_new (const char *path)
{
  if (!VONTLE_CHECK (path != NULL))
    return nullptr;
  return static_cast<VontleInputHistoryFile *> (
    g_object_new (VONTLE_TYPE_INPUT_HISTORY_FILE, "path", path, nullptr));
}

VontleInputHistoryFile *
vontle_input_history_file_new_for_application (const char *application_id)
{
  if (!VONTLE_CHECK (application_id != NULL) || !VONTLE_CHECK (application_id[0] != '\0')
      || !VONTLE_CHECK (strchr (application_id, '/') == NULL)
      || !VONTLE_CHECK (strcmp (application_id, ".") != 0 && strcmp (application_id, "..") != 0))
    return nullptr;
  /* History is state: worth keeping, not worth carrying to another machine. */
  const char *state_home = g_getenv ("XDG_STATE_HOME");
  g_autofree char *base = state_home != nullptr && g_path_is_absolute (state_home)
                            ? g_strdup (state_home)
                            : g_build_filename (g_get_home_dir (), ".local", "state", nullptr);
  g_autofree char *path = g_build_filename (base, application_id, "history", nullptr);
  return vontle_input_history_file_new (path);
}

const char *
vontle_input_history_file_get_path (VontleInputHistoryFile *file)
{
  if (!VONTLE_CHECK (VONTLE_IS_INPUT_HISTORY_FILE (file)))
    return nullptr;
  return private_of (file)->path;
}

gboolean
vontle_input_history_file_flush (VontleInputHistoryFile *file, GError **error)
{
  if (!VONTLE_CHECK (VONTLE_IS_INPUT_HISTORY_FILE (file)))
    return FALSE;
  auto *priv = private_of (file);
  Failure failure;
  if (sync_pending (file, priv->state.pending_count (), &failure))
    return TRUE;
  g_set_error (error, G_IO_ERROR, failure.code, "Cannot write to the history file '%s': %s",
               priv->path != nullptr ? priv->path : "(none)", failure.reason);
  return FALSE;
}
