/* SPDX-License-Identifier: LGPL-2.1-or-later */
#include "history-file-lock.h"

#include "history-file-base.h"

#include <cstring>

#include <sys/file.h>
#include <sys/stat.h>
#include <unistd.h>

#ifdef __linux__
#include <linux/magic.h>
#include <sys/vfs.h>
#endif

namespace vontle::history_file {

namespace {

/* The lock is polled: a blocking flock cannot be given up. Short pauses
 * first, as most holders are done within a record's write. */
constexpr gulong first_pause_usec = 20;
constexpr gulong longest_pause_usec = 500;

/* What a waiter sees of the file and its path. The holder makes progress
 * when whole records arrive (the file changes size and ends with a line
 * feed) or when the path comes to name another file (a rewrite renamed over
 * it); a touch, an empty write or half a record is none. */
struct Look
{
  struct stat file = {};
  struct stat path = {};
  bool ends_whole = true;

  static Look
  at (int fd, const char *path, const Look *before)
  {
    Look look;
    static_cast<void> (fstat (fd, &look.file));
    static_cast<void> (stat (path, &look.path));
    if (before != nullptr && look.file.st_size == before->file.st_size)
      look.ends_whole = before->ends_whole;
    else
      {
        char last = '\n';
        look.ends_whole = look.file.st_size == 0
                          || (pread (fd, &last, 1, look.file.st_size - 1) == 1 && last == '\n');
      }
    return look;
  }

  [[nodiscard]] bool
  progressed_from (const Look &before) const
  {
    return !same_file (path, before.path) || (file.st_size != before.file.st_size && ends_whole);
  }
};

#ifdef __linux__
/* Whether process PID is running, ready to run or waiting for its disk
 * (syncing a rewritten file, say), as its status says; not when it sleeps
 * or is stopped. */
bool
process_runs (long pid)
{
  g_autofree char *name = g_strdup_printf ("/proc/%ld/stat", pid);
  g_autofree char *status = nullptr;
  if (!g_file_get_contents (name, &status, nullptr, nullptr))
    return false;
  /* The state follows the command name, which may hold anything. */
  const char *name_end = g_strrstr (status, ")");
  return name_end != nullptr && name_end[1] == ' ' && (name_end[2] == 'R' || name_end[2] == 'D');
}

/* Whether the kernel's list of locks may name the file FD by another device
 * than its status does: btrfs gives each subvolume a device of its own, and
 * overlayfs shows the device of the overlay, while locks name the device of
 * the filesystem below. The inode number alone then tells the file. */
bool
lock_device_differs (int fd)
{
  struct statfs fs;
  return fstatfs (fd, &fs) == 0
         && (static_cast<unsigned long> (fs.f_type) == BTRFS_SUPER_MAGIC
             || static_cast<unsigned long> (fs.f_type) == OVERLAYFS_SUPER_MAGIC);
}
#endif

/* The processes that hold a flock on a file: who they are (a sum of their
 * ids, which changes when the lock changes hands) and whether one of them
 * is at work. */
struct Holders
{
  guint64 ids = 0;
  bool working = false;

#ifdef __linux__
  static Holders
  of (int fd, const struct stat &st)
  {
    Holders holders;
    g_autofree char *locks = nullptr;
    if (!g_file_get_contents ("/proc/locks", &locks, nullptr, nullptr))
      return holders;
    /* Linux's encoding of a device number, as <sys/sysmacros.h> has it. */
    const auto dev = static_cast<guint64> (st.st_dev);
    const guint64 major = ((dev >> 8) & 0xfff) | ((dev >> 32) & ~guint64 { 0xfff });
    const guint64 minor = (dev & 0xff) | ((dev >> 12) & ~guint64 { 0xff });
    g_autofree char *file_id = g_strdup_printf ("%02" G_GINT64_MODIFIER "x:%02" G_GINT64_MODIFIER "x:%" G_GUINT64_FORMAT,
                                                major, minor, static_cast<guint64> (st.st_ino));
    g_autofree char *inode_id = g_strdup_printf (":%" G_GUINT64_FORMAT, static_cast<guint64> (st.st_ino));
    const bool any_device = lock_device_differs (fd);
    g_auto (GStrv) lines = g_strsplit (locks, "\n", -1);
    for (char **line = lines; *line != nullptr; line++)
      {
        /* "1: FLOCK  ADVISORY  WRITE 1234 08:01:5678 0 EOF"; waiters have
         * "->" before the kind. */
        enum Field { number, kind, mode, access, pid_field, file_field, fields_used };
        g_auto (GStrv) fields = g_strsplit_set (*line, " ", -1);
        const char *kept[fields_used];
        int n = 0;
        for (char **field = fields; *field != nullptr && n < fields_used; field++)
          if (**field != '\0')
            kept[n++] = *field;
        if (n < fields_used || strcmp (kept[kind], "FLOCK") != 0
            || (strcmp (kept[file_field], file_id) != 0
                && !(any_device && g_str_has_suffix (kept[file_field], inode_id))))
          continue;
        const auto pid = static_cast<long> (g_ascii_strtoll (kept[pid_field], nullptr, 10));
        holders.ids += static_cast<guint64> (pid);
        holders.working = holders.working || process_runs (pid);
      }
    return holders;
  }
#else
  static Holders
  of (int, const struct stat &)
  {
    return {};
  }
#endif
};

/* 0 when OPERATION on FD is had at once, else why not (errno). */
int
try_lock (int fd, int operation)
{
  return flock (fd, operation | LOCK_NB) == 0 ? 0 : errno;
}

} // namespace

bool
lock_patiently (int fd, const char *path, int operation, const Patience &patience, GError **error)
{
  /* The lock is mostly free: the file is looked at only when it is not. */
  int refused = try_lock (fd, operation);
  if (refused == 0)
    return true;
  Look last = Look::at (fd, path, nullptr);
  /* When the holders last made progress, and when one was last seen at
   * work. */
  gint64 progress_usec = g_get_monotonic_time ();
  gint64 active_usec = progress_usec;
  Holders last_holders;
  bool seen_holders = false;
  gulong pause_usec = first_pause_usec;
  for (;;)
    {
      if (refused != EWOULDBLOCK && refused != EINTR)
        return fail (error, "Failed to lock file", path, refused);
      const Look now = Look::at (fd, path, &last);
      const gint64 now_usec = g_get_monotonic_time ();
      if (now.progressed_from (last))
        {
          /* Other writers are getting on: the wait starts afresh. */
          progress_usec = active_usec = now_usec;
          pause_usec = first_pause_usec;
        }
      else if (now_usec - active_usec >= patience.idle_holder_usec / 2)
        {
          /* Asked only once the file has been still for a while: the
           * holders' status costs more than a look at the file. A lock that
           * changed hands is progress; a holder at work is not idle. */
          const Holders holders = Holders::of (fd, now.file);
          if (seen_holders && holders.ids != last_holders.ids)
            progress_usec = active_usec = now_usec;
          else if (holders.working)
            active_usec = now_usec;
          last_holders = holders;
          seen_holders = true;
        }
      last = now;
      if (now_usec - active_usec >= patience.idle_holder_usec
          || now_usec - progress_usec >= patience.busy_holder_usec)
        return fail (error, G_IO_ERROR_BUSY, "Failed to lock file", path,
                     "another process holds its lock and makes no progress");
      g_usleep (pause_usec);
      pause_usec = MIN (pause_usec * 2, longest_pause_usec);
      refused = try_lock (fd, operation);
      if (refused == 0)
        return true;
    }
}

} // namespace vontle::history_file
