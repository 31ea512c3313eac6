/* SPDX-License-Identifier: LGPL-2.1-or-later */
/* What a store knows of the file it read last: which file, how far the
 * parse went, and the last bytes before that point. Not installed. */
#pragma once

#include <cstddef>
#include <string_view>

#include <sys/stat.h>
#include <sys/types.h>

namespace vontle::history_file {

class ReadMark
{
public:
  /* Whether ST, the file the path names now, is exactly the file as it was
   * read: the same file, size and modification time. */
  [[nodiscard]] bool unchanged (const struct stat &st) const;

  /* Where the parse of FD (whose status is ST) goes on: past what was
   * parsed when the file has only grown since, as far as a look at the last
   * bytes parsed tells; -1 when it must be parsed anew from the start. */
  [[nodiscard]] off_t resume_point (int fd, const struct stat &st) const;

  /* A parse of FD (status ST) has reached END; the bytes up to there hold
   * RECORDS entry lines, duplicates counted. ENDS_OPEN: the last of them has
   * no line feed yet. */
  void mark (int fd, const struct stat &st, off_t end, bool ends_open, size_t records);

  void forget () { known_ = false; }

  [[nodiscard]] bool known () const { return known_; }
  [[nodiscard]] off_t end () const { return end_; }
  [[nodiscard]] bool ends_open () const { return ends_open_; }
  [[nodiscard]] size_t records () const { return known_ ? records_ : 0; }

private:
  /* The bytes before end_ compared before an incremental read: a file that
   * was truncated and has grown again past the old end differs there. */
  static constexpr size_t signature_bytes = 32;

  [[nodiscard]] std::string_view signature () const { return { signature_, signature_length_ }; }

  bool known_ = false;
  dev_t dev_ = 0;
  ino_t ino_ = 0;
  off_t end_ = 0;
  struct timespec mtime_ = {};
  char signature_[signature_bytes] = {};
  size_t signature_length_ = 0;
  bool ends_open_ = false;
  size_t records_ = 0;
};

} // namespace vontle::history_file
