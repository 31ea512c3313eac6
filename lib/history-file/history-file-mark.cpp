/* SPDX-License-Identifier: LGPL-2.1-or-later */
#include "history-file-mark.h"

#include "history-file-base.h"
#include "history-file-posix.h"

#include <cstring>

namespace vontle::history_file {

bool
ReadMark::unchanged (const struct stat &st) const
{
  return known_ && st.st_dev == dev_ && st.st_ino == ino_ && st.st_size == end_ && same_time (st.st_mtim, mtime_);
}

off_t
ReadMark::resume_point (int fd, const struct stat &st) const
{
  if (!known_ || dev_ != st.st_dev || ino_ != st.st_ino || st.st_size < end_
      || (st.st_size == end_ && !same_time (st.st_mtim, mtime_)))
    return -1;
  char buffer[signature_bytes + 1];
  const size_t n = signature_length_;
  const ssize_t got = read_at (fd, buffer, n + 1, end_ - static_cast<off_t> (n));
  if (got < static_cast<ssize_t> (n) || std::string_view (buffer, n) != signature ())
    return -1;
  if (got == static_cast<ssize_t> (n))
    return end_;
  const char next = buffer[n];
  switch (ending_)
    {
    case Ending::open:
      /* A line cut short goes on only as the next writer leaves it: ended
       * by a line feed of its own. Anything else re-reads it whole. */
      return next == '\n' ? end_ + 1 : -1;
    case Ending::on_boundary:
      return next == '\n' ? -1 : end_;
    case Ending::closed:
      break;
    }
  return end_;
}

void
ReadMark::start (off_t start)
{
  const bool resumes = known_ && (start == end_ || start == end_ + 1);
  known_ = false;
  if (start == 0)
    {
      signature_length_ = 0;
      kept_end_ = 0;
      return;
    }
  kept_end_ = resumes ? end_ : -1;
  if (start == end_ + 1)
    keep ("\n"); /* past the line feed that ended an open line */
}

void
ReadMark::keep (std::string_view bytes)
{
  if (kept_end_ < 0)
    return;
  kept_end_ += static_cast<off_t> (bytes.size ());
  if (bytes.size () >= signature_bytes)
    {
      memcpy (signature_, bytes.data () + bytes.size () - signature_bytes, signature_bytes);
      signature_length_ = signature_bytes;
      return;
    }
  const size_t kept = MIN (signature_length_, signature_bytes - bytes.size ());
  memmove (signature_, signature_ + signature_length_ - kept, kept);
  memcpy (signature_ + kept, bytes.data (), bytes.size ());
  signature_length_ = kept + bytes.size ();
}

void
ReadMark::mark (int fd, const struct stat &st, off_t end, Ending ending, size_t records)
{
  const off_t start = end > static_cast<off_t> (signature_bytes) ? end - static_cast<off_t> (signature_bytes) : 0;
  if (end == kept_end_ && static_cast<off_t> (signature_length_) == end - start)
    known_ = true;
  else
    {
      const ssize_t got = read_at (fd, signature_, static_cast<size_t> (end - start), start);
      known_ = got == end - start;
      signature_length_ = known_ ? static_cast<size_t> (got) : 0;
    }
  kept_end_ = -1;
  dev_ = st.st_dev;
  ino_ = st.st_ino;
  end_ = end;
  mtime_ = st.st_mtim;
  ending_ = ending;
  records_ = records;
}

} // namespace vontle::history_file
