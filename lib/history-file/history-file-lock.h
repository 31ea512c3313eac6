/* SPDX-License-Identifier: LGPL-2.1-or-later */
/* The history file's lock, waited for with a bound: a holder that makes no
 * progress must not freeze the caller. Not installed. */
#pragma once

#include <gio/gio.h>

namespace vontle::history_file {

/* How long a wait for the lock goes on without progress (whole records of
 * other writers arriving, the lock changing hands, a new file renamed over
 * the path): while its holder does not run either (a stuck or stopped
 * process), and at all, however busy the holder is. Touching the file or
 * writing nothing is no progress. Progress starts the wait afresh: live
 * writers never make an append give up. */
struct Patience
{
  gint64 idle_holder_usec;
  gint64 busy_holder_usec;
};

/* An append: about one frame of a window on a holder that does nothing. */
constexpr Patience append_patience { 50 * G_TIME_SPAN_MILLISECOND, G_TIME_SPAN_SECOND };

/* Flush and finalize, asked for the lines' sake, wait longer. */
constexpr Patience flush_patience { 3 * G_TIME_SPAN_SECOND, 10 * G_TIME_SPAN_SECOND };

/* Takes OPERATION (LOCK_SH or LOCK_EX) on FD, the file that PATH names,
 * waiting as PATIENCE says. Whether the holder runs is known on Linux, from
 * the kernel's list of locks; where the holder cannot be told (another
 * system, a filesystem whose locks name neither the file's device nor its
 * inode), it counts as idle. */
bool lock_patiently (int fd, const char *path, int operation, const Patience &patience, GError **error);

} // namespace vontle::history_file
