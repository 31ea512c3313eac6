/* SPDX-License-Identifier: LGPL-2.1-or-later */
#include "history-file-mark.h"

#include "history-file-base.h"
#include "history-file-posix.h"

namespace vontle::history_file {

bool
ReadMark::unchanged (const struct stat &st) const
{
  return known_ && st.st_dev == dev_ && st.st_ino == ino_ && st.st_size == end_ && same_time (st.st_mtim, mtime_);
}

off_t
ReadMark::resume_point (int fd, const struct stat &st) const
{
  if (!known_ || dev_ != st.st_dev || ino_ != st.st_ino || st.st_size < end_)
    return -1;
  char buffer[signature_bytes + 1];
  const size_t n = signature_length_;
  const ssize_t got = read_at (fd, buffer, n + 1, end_ - static_cast<off_t> (n));
  if (got < static_cast<ssize_t> (n) || std::string_view (buffer, n) != signature ())
    return -1;
  if (!ends_open_ || got == static_cast<ssize_t> (n))
    return end_;
  /* A line cut short goes on only as the next writer leaves it: ended by a
   * line feed of its own. Anything else re-reads it whole. */
  return buffer[n] == '\n' ? end_ + 1 : -1;
}

void
ReadMark::mark (int fd, const struct stat &st, off_t end, bool ends_open, size_t records)
{
  const off_t start = end > static_cast<off_t> (signature_bytes) ? end - static_cast<off_t> (signature_bytes) : 0;
  const ssize_t got = read_at (fd, signature_, static_cast<size_t> (end - start), start);
  known_ = got == end - start;
  dev_ = st.st_dev;
  ino_ = st.st_ino;
  end_ = end;
  mtime_ = st.st_mtim;
  signature_length_ = known_ ? static_cast<size_t> (got) : 0;
  ends_open_ = ends_open;
  records_ = records;
}

} // namespace vontle::history_file
