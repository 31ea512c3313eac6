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
   * bytes parsed tells; -1 when it must be parsed anew from the start, as
   * when it changed without growing (an edit in place that keeps its size,
   * a password overwritten, say). */
  [[nodiscard]] off_t resume_point (int fd, const struct stat &st) const;

  /* How a parse ended. */
  enum class Ending
  {
    closed,      /* with a line feed */
    open,        /* with a line that has no line feed yet */
    on_boundary, /* with a line feed on the torn-record boundary: a line
                  * feed after it voids the line before */
  };

  /* A parse starts at START: 0, or where resume_point () said. The mark is
   * forgotten until the parse ends. */
  void start (off_t start);

  /* The parse went on through BYTES: the last of them are kept to be
   * compared before the next parse, without reading them again. */
  void keep (std::string_view bytes);

  /* A parse of FD (status ST) has reached END, as ENDING says; the bytes up
   * to there hold RECORDS entry lines, duplicates counted. */
  void mark (int fd, const struct stat &st, off_t end, Ending ending, size_t records);

  void
  forget ()
  {
    known_ = false;
    kept_end_ = -1;
  }

  [[nodiscard]] bool known () const { return known_; }
  [[nodiscard]] off_t end () const { return end_; }
  [[nodiscard]] Ending ending () const { return ending_; }
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
  off_t kept_end_ = -1; /* where the kept bytes end, while a parse goes on */
  Ending ending_ = Ending::closed;
  size_t records_ = 0;
};

} // namespace vontle::history_file
