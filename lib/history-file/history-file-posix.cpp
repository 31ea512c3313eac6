/* SPDX-License-Identifier: LGPL-2.1-or-later */
#include "history-file-posix.h"

#include <cstring>

#include <fcntl.h>
#include <glib/gstdio.h>
#include <sys/file.h>
#include <sys/resource.h>

namespace vontle::history_file {

namespace {

/* Histories hold passwords typed by mistake: for the user's eyes only. */
constexpr mode_t file_mode = 0600;
constexpr mode_t directory_mode = 0700;
constexpr mode_t permission_bits = S_IRWXU | S_IRWXG | S_IRWXO;

constexpr const char temp_marker[] = ".vontle-";
constexpr int temp_name_length = 8;
constexpr int temp_attempts = 100;

/* Anything but a regular file is refused before it is opened: opening a
 * FIFO could block, opening a device may act on it. */
bool
check_regular (const char *path, const struct stat &st, GError **error)
{
  if (S_ISREG (st.st_mode))
    return true;
  if (S_ISDIR (st.st_mode))
    return fail (error, G_IO_ERROR_IS_DIRECTORY, "Failed to open file", path, "it is a directory");
  return fail (error, G_IO_ERROR_NOT_REGULAR_FILE, "Failed to open file", path, "it is not a regular file");
}

/* Whether other users can write the directory of PATH (then *DIR is its
 * status). */
bool
in_shared_directory (const char *path, struct stat *dir)
{
  g_autofree char *name = g_path_get_dirname (path);
  return stat (name, dir) == 0 && (dir->st_mode & S_IWOTH) != 0;
}

bool
trusted_owner (uid_t owner, const struct stat &dir)
{
  return owner == geteuid () || owner == dir.st_uid;
}

/* As the kernel's protected symlinks do: in a directory that others can
 * write, a link is followed only when it is this user's or the directory
 * owner's; anything else that is no link is opened without following one,
 * so that a link planted meanwhile fails the open. */
bool
guard_link (const char *path, const struct stat &dir, int *flags, GError **error)
{
  struct stat st;
  if (lstat (path, &st) != 0 || !S_ISLNK (st.st_mode))
    {
      *flags |= O_NOFOLLOW;
      return true;
    }
  if (trusted_owner (st.st_uid, dir))
    return true;
  return fail (error, G_IO_ERROR_PERMISSION_DENIED, "Failed to open file", path,
               "it is another user's symbolic link, in a directory that others can write");
}

bool
open_regular (const char *path, Access access, Fd &fd, struct stat *st, GError **error)
{
  struct stat before;
  if (stat (path, &before) == 0 && !check_regular (path, before, error))
    return false;
  int flags = access == Access::read ? O_RDONLY : O_RDWR | O_APPEND | O_CREAT;
  struct stat dir;
  const bool guarded = access == Access::append && in_shared_directory (path, &dir);
  if (guarded && !guard_link (path, dir, &flags, error))
    return false;
  fd.reset (open (path, flags | O_CLOEXEC | O_NOCTTY | O_NONBLOCK, file_mode));
  if (!fd.valid ())
    return fail (error, "Failed to open file", path);
  if (fstat (fd.get (), st) != 0)
    return fail (error, "Failed to look at file", path);
  if (!check_regular (path, *st, error))
    return false;
  if (guarded && !trusted_owner (st->st_uid, dir))
    return fail (error, G_IO_ERROR_PERMISSION_DENIED, "Failed to open file", path,
                 "it belongs to another user, in a directory that others can write");
  /* A regular file: blocking from here on. O_NONBLOCK is the only flag
   * dropped (one call, where GLib's helper asks for the flags first). */
  static_cast<void> (fcntl (fd.get (), F_SETFL, flags & O_APPEND));
  return true;
}

bool
open_locked_once (const char *path, Access access, const Patience &patience, Fd &fd, struct stat *locked,
                  GError **error)
{
  const int operation = access == Access::read ? LOCK_SH : LOCK_EX;
  for (;;)
    {
      struct stat opened;
      if (!open_regular (path, access, fd, &opened, error)
          || !lock_patiently (fd.get (), path, operation, patience, error))
        return false;
      if (stat (path, locked) != 0)
        return fail (error, "Failed to look at file", path);
      if (same_file (opened, *locked))
        return true;
      /* Another process renamed a new file over this one: that is
       * progress, so the wait starts afresh on the new file. */
    }
}

bool
within_size_limit (const char *path, off_t offset, size_t n, GError **error)
{
  struct rlimit limit;
  if (getrlimit (RLIMIT_FSIZE, &limit) != 0 || limit.rlim_cur == RLIM_INFINITY)
    return true;
  /* Past the limit the write would raise SIGXFSZ, which ends the process
   * unless the application handles it: it is never tried. */
  if (static_cast<rlim_t> (offset) + n <= limit.rlim_cur)
    return true;
  return fail (error, "Failed to write to file", path, EFBIG);
}

bool
write_all (int fd, const char *path, std::string_view bytes, GError **error)
{
  const char *data = bytes.data ();
  size_t n = bytes.size ();
  while (n > 0)
    {
      ssize_t written;
      do
        written = write (fd, data, n);
      while (written < 0 && errno == EINTR);
      if (written <= 0)
        return fail (error, "Failed to write to file", path, written < 0 ? errno : EIO);
      data += written;
      n -= static_cast<size_t> (written);
    }
  return true;
}

/* The file that PATH names once the symbolic links it ends in are followed:
 * the replacement goes there, and leaves the links as they are. Links among
 * the directories above need no resolving, a rename goes through them. */
bool
final_target (const char *path, char **target, GError **error)
{
  constexpr int max_links = 40; /* as the kernel's own loop limit */
  g_autofree char *current = g_strdup (path);
  for (int links = 0; links < max_links; links++)
    {
      struct stat st;
      if (lstat (current, &st) != 0)
        return fail (error, "Failed to look at file", current);
      if (!S_ISLNK (st.st_mode))
        {
          *target = g_steal_pointer (&current);
          return true;
        }
      g_autofree char *link = g_file_read_link (current, nullptr);
      if (link == nullptr)
        return fail (error, "Failed to read the symbolic link", current);
      if (!g_path_is_absolute (link))
        {
          g_autofree char *dir = g_path_get_dirname (current);
          g_free (std::exchange (link, g_build_filename (dir, link, nullptr)));
        }
      g_free (std::exchange (current, g_steal_pointer (&link)));
    }
  return fail (error, "Failed to follow the symbolic links of", path, ELOOP);
}

/* Where the temporary files of TARGET go, and how their names start. */
struct TempPlace
{
  explicit TempPlace (const char *target)
    : dir (g_path_get_dirname (target)), base (g_path_get_basename (target)),
      prefix (g_strconcat (".", base, temp_marker, nullptr))
  {
  }
  ~TempPlace ()
  {
    g_free (dir);
    g_free (base);
    g_free (prefix);
  }
  TempPlace (const TempPlace &) = delete;
  TempPlace &operator= (const TempPlace &) = delete;

  char *dir;
  char *base;
  char *prefix;
};

void
remove_temporaries (const TempPlace &place)
{
  g_autoptr (GDir) stream = g_dir_open (place.dir, 0, nullptr);
  if (stream == nullptr)
    return;
  while (const char *name = g_dir_read_name (stream))
    if (g_str_has_prefix (name, place.prefix))
      {
        g_autofree char *stale = g_build_filename (place.dir, name, nullptr);
        static_cast<void> (g_unlink (stale));
      }
}

/* A new file beside the target, made exclusively (never through a link). */
bool
create_temporary (const TempPlace &place, char **temp_path, Fd &fd, GError **error)
{
  static constexpr char alphabet[] = "abcdefghijklmnopqrstuvwxyzABCDEFGHIJKLMNOPQRSTUVWXYZ0123456789";
  for (int attempt = 0; attempt < temp_attempts; attempt++)
    {
      char suffix[temp_name_length + 1];
      for (int i = 0; i < temp_name_length; i++)
        suffix[i] = alphabet[g_random_int_range (0, sizeof alphabet - 1)];
      suffix[temp_name_length] = '\0';
      g_autofree char *name = g_strconcat (place.prefix, suffix, nullptr);
      g_autofree char *candidate = g_build_filename (place.dir, name, nullptr);
      fd.reset (open (candidate, O_RDWR | O_CREAT | O_EXCL | O_CLOEXEC | O_NOFOLLOW | O_NOCTTY, file_mode));
      if (fd.valid ())
        {
          *temp_path = g_steal_pointer (&candidate);
          return true;
        }
      if (errno != EEXIST)
        break;
    }
  return fail (error, "Failed to make a temporary file in", place.dir);
}

/* The new file takes the old one's place for everyone who could use it: a
 * rewrite by another user (root, say) must not lock its owner out. */
bool
keep_owner_and_mode (int fd, const char *target, const struct stat &current, GError **error)
{
  struct stat st;
  if (fstat (fd, &st) != 0)
    return fail (error, "Failed to look at the new copy of", target);
  if ((st.st_uid != current.st_uid || st.st_gid != current.st_gid)
      && fchown (fd, current.st_uid, current.st_gid) != 0)
    return fail (error, "Failed to give the new copy the owner and group of", target);
  if (fchmod (fd, current.st_mode & permission_bits) != 0)
    return fail (error, "Failed to give the new copy the mode of", target);
  return true;
}

} // namespace

bool
open_locked (const char *path, Access access, const Patience &patience, Fd &fd, struct stat *locked, GError **error)
{
  g_autoptr (GError) first = nullptr;
  if (open_locked_once (path, access, patience, fd, locked, &first))
    return true;
  if (access == Access::read || !g_error_matches (first, G_IO_ERROR, G_IO_ERROR_NOT_FOUND))
    {
      g_propagate_error (error, g_steal_pointer (&first));
      return false;
    }
  g_autofree char *dir = g_path_get_dirname (path);
  if (g_mkdir_with_parents (dir, directory_mode) != 0)
    return fail (error, "Failed to make directory", dir);
  return open_locked_once (path, access, patience, fd, locked, error);
}

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

bool
append_whole (int fd, const char *path, off_t size, std::string_view bytes, GError **error)
{
  if (!within_size_limit (path, size, bytes.size (), error))
    return false;
  if (write_all (fd, path, bytes, error))
    return true;
  /* The file never ends inside a record. */
  static_cast<void> (ftruncate (fd, size));
  return false;
}

bool
write_at (int fd, const char *path, off_t offset, std::string_view bytes, GError **error)
{
  return within_size_limit (path, offset, bytes.size (), error) && write_all (fd, path, bytes, error);
}

bool
replace (const char *path, const struct stat &current, Fill fill, void *data, Fd &made, struct stat *made_st,
         GError **error)
{
  g_autofree char *target = nullptr;
  if (!final_target (path, &target, error))
    return false;
  const TempPlace place (target);
  remove_temporaries (place);
  g_autofree char *temp_path = nullptr;
  if (!create_temporary (place, &temp_path, made, error))
    return false;
  const bool ok = fill (made.get (), data, error) && keep_owner_and_mode (made.get (), target, current, error)
                  && (fsync (made.get ()) == 0 || fail (error, "Failed to sync the new copy of", target))
                  && (fstat (made.get (), made_st) == 0 || fail (error, "Failed to look at the new copy of", target))
                  && (rename (temp_path, target) == 0 || fail (error, "Failed to rename the new copy over", target));
  if (!ok)
    {
      static_cast<void> (g_unlink (temp_path));
      made.reset ();
      return false;
    }
  /* The rename lasts across a system crash once the directory is synced. */
  Fd dir_fd (open (place.dir, O_RDONLY | O_CLOEXEC | O_DIRECTORY));
  if (dir_fd.valid ())
    static_cast<void> (fsync (dir_fd.get ()));
  return true;
}

void
remove_stale_temporaries (const char *path)
{
  g_autofree char *target = nullptr;
  if (final_target (path, &target, nullptr))
    remove_temporaries (TempPlace (target));
}

} // namespace vontle::history_file
