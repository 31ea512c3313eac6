/* SPDX-License-Identifier: LGPL-2.1-or-later */
/* What every layer of the history file store needs: a failure as a GError
 * in GLib's form, and telling files and times apart. Includes nothing of the
 * store's own. Not installed. */
#pragma once

#include <cerrno>

#include <gio/gio.h>
#include <sys/stat.h>

namespace vontle::history_file {

/* Sets ERROR in the form of GLib's own file errors, "WHAT “PATH”: REASON"
 * (the path as it can be shown), with the code and reason of errno CODE;
 * returns false. */
inline bool
fail (GError **error, const char *what, const char *path, int code = errno)
{
  g_autofree char *shown = g_filename_display_name (path);
  g_set_error (error, G_IO_ERROR, g_io_error_from_errno (code), "%s \u201c%s\u201d: %s", what, shown,
               g_strerror (code));
  return false;
}

/* The same, with a reason of the store's own. */
inline bool
fail (GError **error, GIOErrorEnum code, const char *what, const char *path, const char *reason)
{
  g_autofree char *shown = g_filename_display_name (path);
  g_set_error (error, G_IO_ERROR, code, "%s \u201c%s\u201d: %s", what, shown, reason);
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
