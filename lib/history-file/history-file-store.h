/* SPDX-License-Identifier: LGPL-2.1-or-later */
/* The history file store's work: reading the file into the entry set,
 * writing the pending lines, shortening the file, and logging each run of
 * failures once. The GObject in input-history-file.cpp drives it. Not
 * installed. */
#pragma once

#include "history-file-entries.h"
#include "history-file-mark.h"
#include "history-file-lock.h"

#include <cstddef>

#include <gio/gio.h>
#include <vontle/datastructures.h>

namespace vontle::history_file {

/* A run of failures is logged at its first failure and at the success that
 * ends it, not at every step in between. */
class FailureLatch
{
public:
  /* Records an outcome: whether it begins or ends a run of failures. */
  bool
  begins_or_ends_run (bool failed)
  {
    const bool turned = failed != failing_;
    failing_ = failed;
    return turned;
  }

private:
  bool failing_ = false;
};

struct Store
{
  Store ();
  Store (const Store &) = delete;
  Store &operator= (const Store &) = delete;
  ~Store ();

  [[nodiscard]] size_t pending_count () const { return pending->len; }

  char *path = nullptr; /* absolute, or null when made without one */
  guint max_entries = 0;
  bool sync = false;
  Entries entries;      /* as of the last parse */
  PtrArray pending;     /* lines not yet written, oldest first */
  ReadMark mark;        /* what that parse covered */
  size_t skipped = 0;   /* lines too long, passed over since last logged */
  bool swept = false;   /* stale temporaries removed */
  size_t rewrite_backoff_appends = 0; /* appends between tries of a failing rewrite */
  size_t appends_before_rewrite = 0;  /* appends before the next try */
  gint64 lock_given_up_usec = 0; /* when an append last gave up on the lock */
  /* The entries are what the last read returned (no pending lines then, and
   * no parse since but read_appended's), READ_COUNT of them. */
  bool read_whole = false;
  size_t read_count = 0;
  /* While read_appended parses: each entry parsed, copied (GPtrArray of
   * strings), and whether it was an entry before (GArray of gboolean). */
  GPtrArray *appended = nullptr;
  GArray *appended_seen = nullptr;
  FailureLatch reading, writing, rewriting, syncing;
};

/* Adds LINE to the pending lines, unless it cannot be an entry: an empty
 * line (the file's empty lines are none) or one too long (logged). */
bool queue_line (Store &store, const char *line);

/* Changes how many entries the store keeps: fewer are cut at once, more
 * come back from the file at the next read. */
void set_max_entries (Store &store, guint max_entries);

/* The entries, brought up to date with the file (a failure is logged),
 * followed by the pending lines: as the history would hold them after
 * appending those. Null when there are none. */
VontleList *read_entries (Store &store);

/* When the file has only grown since the last read_entries, whose result a
 * history of HELD entries holds: parses the new bytes alone, adds each
 * entry parsed to LINES (new strings) and to SEEN whether it was an entry
 * before, and returns true. Those lines appended in order to what that read
 * returned, each once at its newest place and at most max-entries, are what
 * read_entries would give now. False when a full read is needed. */
bool read_appended (Store &store, size_t held, GPtrArray *lines, GArray *seen);

/* Writes the pending lines, waiting for the lock as PATIENCE says; then,
 * still under the lock, parses what the file gained and shortens it when it
 * is due. *WRITTEN: how many lines went. False, with ERROR set, while lines
 * remain pending. */
bool write_pending (Store &store, const Patience &patience, size_t *written, GError **error);

/* Logs the first failure of a run of writes (ERROR), and the write that
 * ends it. */
void report_write (Store &store, const GError *error);

} // namespace vontle::history_file
