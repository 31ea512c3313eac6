/* SPDX-License-Identifier: LGPL-2.1-or-later */
/* What every layer of the history file store needs: a failure as a GError
 * from errno, and telling files and times apart. Includes nothing of the
 * store's own. Not installed. */
#pragma once

#include <cerrno>

#include <gio/gio.h>
#include <sys/stat.h>

namespace vontle::history_file {

/* Sets ERROR from errno (or CODE) for STEP and returns false. */
inline bool
fail_step (GError **error, const char *step, int code = errno)
{
  g_set_error (error, G_IO_ERROR, g_io_error_from_errno (code), "%s: %s", step, g_strerror (code));
  return false;
}

inline bool
same_file (const struct stat &a, const struct stat &b)
{
  return a.st_dev == b.st_dev && a.st_ino == b.st_ino;
}

inline bool
same_time (const struct timespec &a, const struct timespec &b)
{
  return a.tv_sec == b.tv_sec && a.tv_nsec == b.tv_nsec;
}

} // namespace vontle::history_file
