/* SPDX-License-Identifier: LGPL-2.1-or-later */
#include "history-file-lock.h"

#include "history-file-base.h"

#include <cstring>

#include <sys/file.h>
#include <sys/stat.h>

namespace vontle::history_file {

namespace {

/* The lock is polled: a blocking flock cannot be given up. Short pauses
 * first, as most holders are done within a record's write. */
constexpr gulong first_pause_usec = 20;
constexpr gulong longest_pause_usec = 500;

/* What a waiter sees of the file and its path: when it changes, the lock
 * holder is making progress. */
struct Look
{
  struct stat file = {};
  struct stat path = {};

  static Look
  at (int fd, const char *path)
  {
    Look look;
    static_cast<void> (fstat (fd, &look.file));
    static_cast<void> (stat (path, &look.path));
    return look;
  }

  [[nodiscard]] bool
  same_as (const Look &other) const
  {
    return file.st_size == other.file.st_size && same_time (file.st_mtim, other.file.st_mtim)
           && same_time (file.st_ctim, other.file.st_ctim) && same_file (path, other.path);
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
  of (const struct stat &st)
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
        if (n < fields_used || strcmp (kept[kind], "FLOCK") != 0 || strcmp (kept[file_field], file_id) != 0)
          continue;
        const auto pid = static_cast<long> (g_ascii_strtoll (kept[pid_field], nullptr, 10));
        holders.ids += static_cast<guint64> (pid);
        holders.working = holders.working || process_runs (pid);
      }
    return holders;
  }
#else
  static Holders
  of (const struct stat &)
  {
    return {};
  }
#endif
};

} // namespace

bool
lock_patiently (int fd, const char *path, int operation, const Patience &patience, GError **error)
{
  Look last = Look::at (fd, path);
  /* When the file last changed, and when its holder was last seen at
   * work. */
  gint64 changed_usec = g_get_monotonic_time ();
  gint64 active_usec = changed_usec;
  Holders last_holders;
  bool seen_holders = false;
  gulong pause_usec = first_pause_usec;
  for (;;)
    {
      if (flock (fd, operation | LOCK_NB) == 0)
        return true;
      if (errno != EWOULDBLOCK && errno != EINTR)
        return fail_step (error, "locking");
      const Look now = Look::at (fd, path);
      const gint64 now_usec = g_get_monotonic_time ();
      if (!now.same_as (last))
        {
          /* Other writers are getting on: the wait starts afresh. */
          last = now;
          changed_usec = active_usec = now_usec;
          pause_usec = first_pause_usec;
        }
      else if (now_usec - active_usec >= patience.idle_holder_usec / 2)
        {
          /* Asked only once the file has been still for a while: the
           * holders' status costs more than a look at the file. A lock that
           * changed hands, or a holder at work, is progress too. */
          const Holders holders = Holders::of (now.file);
          if (holders.working || (seen_holders && holders.ids != last_holders.ids))
            active_usec = now_usec;
          last_holders = holders;
          seen_holders = true;
        }
      if (now_usec - active_usec >= patience.idle_holder_usec
          || now_usec - changed_usec >= patience.busy_holder_usec)
        {
          g_set_error_literal (error, G_IO_ERROR, G_IO_ERROR_BUSY,
                               "another process holds its lock and makes no progress");
          return false;
        }
      g_usleep (pause_usec);
      pause_usec = MIN (pause_usec * 2, longest_pause_usec);
    }
}

} // namespace vontle::history_file
