/* SPDX-License-Identifier: LGPL-2.1-or-later */
/* The history file on disk: opening it without following what other users
 * planted, its lock waited for with a bound, reading at an offset, writing a
 * record whole, and replacing the file in one rename. Failures come as a
 * GError that names what could not be done, and to which file. Not
 * installed. */
#pragma once

#include <cerrno>
#include <string_view>
#include <utility>

#include <gio/gio.h>
#include <sys/stat.h>
#include <unistd.h>

#include "history-file-base.h"
#include "history-file-lock.h"

namespace vontle::history_file {

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

private:
  int fd_;
};

enum class Access
{
  read,   /* shared lock */
  append, /* exclusive lock; the file (0600) and its directories (0700) are
           * made when missing */
};

/* Opens PATH as a regular file, never blocking on the open itself, and
 * locks it, waiting while the holder of the lock makes progress, as
 * PATIENCE bounds it. Reopens while the path
 * names another file once the lock is held (another process renamed a new
 * one over it). *LOCKED describes the file under the lock.
 *
 * For appending, in a directory that other users can write, neither a
 * symbolic link nor a file of another user (one that is neither this
 * process's nor the directory owner's) is used. */
bool open_locked (const char *path, Access access, const Patience &patience, Fd &fd, struct stat *locked,
                  GError **error);

/* Reads up to N bytes at OFFSET; fewer only at the end of the file. -1 with
 * errno on failure. */
ssize_t read_at (int fd, char *buffer, size_t n, off_t offset);

/* Writes BYTES at the end of FD (the file PATH, open for appending, SIZE
 * bytes long) with one write when it can: never past the process's file size
 * limit, and cut back to SIZE when the write fails halfway. */
bool append_whole (int fd, const char *path, off_t size, std::string_view bytes, GError **error);

/* Writes BYTES at OFFSET of FD (a new file, for PATH), within the file size
 * limit. */
bool write_at (int fd, const char *path, off_t offset, std::string_view bytes, GError **error);

/* Replaces the file that PATH names (its symbolic links followed; they stay)
 * with a new one that FILL writes: a temporary file in the same directory,
 * made exclusively, given the owner, group and mode of the file it replaces
 * (CURRENT), synced, renamed over it, and the directory synced. A crash
 * leaves the old file or the new one. On success *MADE is the new file,
 * still open, and *MADE_ST its status. */
using Fill = bool (*) (int fd, void *data, GError **error);
bool replace (const char *path, const struct stat &current, Fill fill, void *data, Fd &made,
              struct stat *made_st, GError **error);

/* Removes the temporary files that replace() leaves when it is killed. Only
 * for a caller that holds the exclusive lock on the current file: no
 * replacement is then under way. */
void remove_stale_temporaries (const char *path);

} // namespace vontle::history_file
