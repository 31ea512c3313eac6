/* SPDX-License-Identifier: LGPL-2.1-or-later */
/* libvontle: a history reader/writer that keeps the lines in a file. */
#pragma once

#include <glib-object.h>
#include <vontle/input-history.h>
#include <vontle/visibility.h>

G_BEGIN_DECLS

/**
 * VONTLE_TYPE_INPUT_HISTORY_FILE:
 *
 * The #GType of #VontleInputHistoryFile.
 */
#define VONTLE_TYPE_INPUT_HISTORY_FILE (vontle_input_history_file_get_type ())

/**
 * VontleInputHistoryFile:
 *
 * A [iface@Vontle.InputHistoryIO] that keeps a history's lines in a text
 * file, ready to hand to [ctor@Vontle.InputHistory.new]. Several processes
 * may keep their histories in one file at once: each sees the lines that the
 * others appended at its next append or reset.
 *
 * ```c
 * g_autoptr (VontleInputHistoryFile) store =
 *   vontle_input_history_file_new_for_application ("org.example.App");
 * g_autoptr (VontleInputHistory) history =
 *   vontle_input_history_new (VONTLE_INPUT_HISTORY_IO (store));
 * vontle_input_history_append (history, "open notes.txt");
 * ```
 *
 * Read gives what the same history would hold in memory after the same
 * appends: every entry once, at the place of its newest occurrence, oldest
 * first, and no more than [property@Vontle.InputHistoryFile:max-entries] of
 * the newest. An empty line, and a line longer than 1 MiB (counted before
 * escaping), is not stored.
 *
 * The file is UTF-8 text with one entry per line. A backslash, a line feed
 * and a carriage return inside an entry are written as `\\`, `\n` and `\r`,
 * and read back so: in a file written by hand, `\\`, `\n` and `\r` stand
 * for a backslash, a line feed and a carriage return, while a backslash
 * before any other character, or at the end of a line, is itself (so
 * `C:\new\dir` reads as `C:`, a line feed, then `ew\dir`). A `\r` before
 * the line feed, empty lines and NUL bytes are left out. A last line that
 * starts with a NUL byte and has no line feed is a record whose writer was
 * killed: it is no entry, and the next append removes it. The file (mode
 * 0600) and any missing directory (0700) are made at the first append.
 *
 * Every entry is written with one `write` under an advisory lock on the
 * file, never past the process's file size limit. A record that a kill could
 * cut short (one that does not fit in what is left of a 4 KiB page of the
 * file) starts with a NUL byte, so that no part of it ever reads as an
 * entry. Once the file holds more than twice max-entries lines, it is
 * rewritten into a new file in the same directory that replaces it in one
 * rename, so a crash leaves the old file or the new one; the new file gets
 * the owner, group and mode of the old one, and where it cannot (another
 * user's file), the file is not rewritten and keeps growing. A history path
 * that is a symbolic link stays one, and its target is rewritten. In a
 * directory that other users can write, the store follows no symbolic link
 * and writes no file that belongs to another user (neither the process's
 * nor the directory owner's): the lines then stay pending, as below.
 *
 * An append waits for the lock as long as the file keeps changing (other
 * writers getting on), then at most 50 ms on a holder that makes no
 * progress (a stuck or stopped process), or 1 s on one that runs (or waits
 * for its disk) without changing the file; the line then stays pending.
 * vontle_input_history_file_flush() and the last try when the store is
 * finalized wait 3 s and 10 s in those cases. Reading waits as an append
 * does.
 *
 * When a line cannot be written (a full disk, a file size limit, a directory
 * that cannot be written), the store keeps it: read still returns it, it
 * counts in [property@Vontle.InputHistoryFile:pending], and the next append
 * or vontle_input_history_file_flush() writes it. The first failure of such
 * a run is logged as an error with the path and the system's reason, and so
 * is the write that succeeds again; a rewrite that fails is tried again
 * after ever more appends, and both its failure and its recovery are logged
 * once. A file that cannot be read (a directory,
 * a FIFO, a device, no permission) is logged the same way, once until it can
 * be read again, and the history then holds the lines that it held before.
 *
 * The store watches its file (a #GFileMonitor; through the nearest existing
 * directory while the file's own does not exist yet) and emits
 * [signal@Vontle.InputHistoryLiveIO::storage-changed] when another process
 * changed it, so that a history over it, and a
 * [class@Vontle.InputHistoryModel] over that, follow within a second or so.
 * The watch runs in the thread-default main context of the thread that made
 * the store, and starts only when that thread first runs that context.
 * Without a running main loop nothing is watched: no monitor, no thread, and
 * the lines of other processes show at the next append or reset.
 *
 * Stores are used from one thread at a time, like every object of the
 * library; stores of several threads or processes on one file exclude each
 * other through the lock.
 */

/**
 * vontle_input_history_file_get_type:
 *
 * Returns: the #GType of the class, registered on first use
 */
VONTLE_AVAILABLE_IN_ALL
G_DECLARE_FINAL_TYPE (VontleInputHistoryFile, vontle_input_history_file, VONTLE,
                      INPUT_HISTORY_FILE, GObject)

/**
 * VontleInputHistoryFileClass:
 * @parent_class: the parent class
 *
 * The class structure. The class is final: it cannot be derived from.
 */

/**
 * VontleInputHistoryFile:path:
 *
 * The file, as an absolute path: a leading `~` or `~user` is expanded, and a
 * relative path is taken from the current directory when the store is made,
 * as vontle_fix_path() does. A `~user` that names no user leaves no path
 * (see vontle_input_history_file_new()).
 */

/**
 * VontleInputHistoryFile:max-entries:
 *
 * How many of the newest entries read returns; 0 keeps every entry. Also
 * bounds the file: it is rewritten with these entries once it holds more than
 * twice as many lines (never when this is 0).
 */

/**
 * VontleInputHistoryFile:sync:
 *
 * Whether each append waits until the line has reached the disk (`fsync`),
 * so that it survives a crash of the system, not just of the process.
 */

/**
 * VontleInputHistoryFile:pending:
 *
 * How many appended lines are not yet in the file because writing them
 * failed. They are written by the next append or
 * vontle_input_history_file_flush(); read returns them meanwhile.
 */

/**
 * vontle_input_history_file_new:
 * @path: (type filename): the file; a leading `~` or `~user` is expanded
 *
 * Makes a store for the history file @path. Nothing is created on disk until
 * the first line is appended.
 *
 * Returns: (transfer full) (nullable): a new store, or %NULL (with a critical
 *   warning) when @path starts with `~user` for a user that does not exist
 */
VONTLE_AVAILABLE_IN_ALL
VontleInputHistoryFile *vontle_input_history_file_new (const char *path) G_GNUC_WARN_UNUSED_RESULT;

/**
 * vontle_input_history_file_new_for_application:
 * @application_id: the application's name or id, e.g. `org.example.App`; not
 *   empty, without `/`, and neither `.` nor `..`
 *
 * Makes a store for the file `history` in the application's state directory,
 * `$XDG_STATE_HOME/@application_id/`, where `$XDG_STATE_HOME` is
 * `~/.local/state` when it is unset, empty or not an absolute path.
 *
 * Returns: (transfer full) (nullable): a new store, or %NULL (with a critical
 *   warning) for an id that cannot name a directory
 */
VONTLE_AVAILABLE_IN_ALL
VontleInputHistoryFile *vontle_input_history_file_new_for_application (const char *application_id)
  G_GNUC_WARN_UNUSED_RESULT;

/**
 * vontle_input_history_file_get_path:
 * @file: the store
 *
 * Gives the file the store keeps its lines in.
 *
 * Returns: (type filename) (nullable): the file's absolute path, lent by the
 *   store; %NULL only for a store made without one
 */
VONTLE_AVAILABLE_IN_ALL
const char *vontle_input_history_file_get_path (VontleInputHistoryFile *file);

/**
 * vontle_input_history_file_flush:
 * @file: the store
 * @error: return location for a #GError, or %NULL
 *
 * Writes the lines that earlier appends could not write.
 *
 * Returns: %TRUE when no line is pending any more; %FALSE with @error set (a
 *   #G_IO_ERROR naming the file and the system's reason) when some still are
 */
VONTLE_AVAILABLE_IN_ALL
gboolean vontle_input_history_file_flush (VontleInputHistoryFile *file, GError **error);

G_END_DECLS
