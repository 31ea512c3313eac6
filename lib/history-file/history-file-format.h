/* SPDX-License-Identifier: LGPL-2.1-or-later */
/* The history file's line format: escaping an entry into a record, and
 * splitting bytes back into entries. No I/O. Not installed. */
#pragma once

#include <cstddef>
#include <memory>
#include <string_view>

#include <glib.h>

namespace vontle::history_file {

/* Longer entries are refused on append and skipped on read: one stray line
 * of a binary file must not cost its size in memory. */
constexpr size_t max_entry_bytes = size_t { 1 } << 20;

/* The kernel copies a write into the file page by page and stops between
 * pages for a fatal signal: a write cut short by a kill ends on a multiple
 * of this, the smallest page size. A last line without line feed that ends
 * there is taken for a record cut short, no entry. A line whose line feed
 * lies there, followed at once by another line feed, is one too: a writer
 * that cannot cut off a record cut short (an append-only file) ends it so. */
constexpr guint64 torn_boundary_bytes = 4096;

/* Files of an earlier version led a record that a kill could cut short with
 * this byte: a last line that starts with it and has no line feed is no
 * entry either. Inside a line the byte is dropped, as every NUL byte is. */
constexpr char legacy_unfinished_mark = '\0';

/* An entry escaped doubles at most; a line may also hold the legacy mark and
 * a carriage return that a hand-written line may carry: no record is
 * longer. */
constexpr size_t max_record_bytes = 2 * max_entry_bytes + 2;

struct StringFree
{
  void operator() (GString *string) const { static_cast<void> (g_string_free (string, TRUE)); }
};
using String = std::unique_ptr<GString, StringFree>;

inline std::string_view
view_of (const GString *string)
{
  return { string->str, string->len };
}

/* Appends ENTRY with backslash, line feed and carriage return escaped. */
void append_escaped (GString *out, std::string_view entry);

/* The entry a line (without its line feed) stands for: a final carriage
 * return goes, NUL bytes go, and `\\`, `\n` and `\r` are undone; a
 * backslash before anything else, or last, stays as written. Gives a view of
 * LINE itself when nothing needs undoing, else of SCRATCH; empty for a line
 * that gives no entry. */
std::string_view decode_line (const char *line, size_t length, GString *scratch);

/* Splits a stream of bytes, fed in pieces, into entries, each handed to a
 * sink. A line too long to be a record is skipped without being held
 * whole. OFFSET: where in the file the first byte fed lies. */
class LineParser
{
public:
  using Sink = void (*) (std::string_view entry, void *data);

  LineParser (Sink sink, void *data, guint64 offset = 0) : sink_ (sink), data_ (data), offset_ (offset) {}

  void feed (const char *data, size_t n);

  enum class End
  {
    closed,     /* the bytes ended with a line feed */
    open,       /* a last line without line feed: it counts */
    unfinished, /* a record cut short: no entry; it starts at line_start () */
  };
  End finish ();

  /* Where the last line begins, counted from the first byte fed. */
  [[nodiscard]] size_t line_start () const { return line_start_; }
  /* Whether the bytes ended with a line whose line feed lies on
   * torn_boundary_bytes: a line feed after it would make it no entry. */
  [[nodiscard]] bool ends_on_boundary () const { return ends_on_boundary_; }
  [[nodiscard]] size_t records () const { return records_; }
  [[nodiscard]] size_t oversized () const { return oversized_; }

private:
  void take_piece (const char *data, size_t length);
  void take_line (const char *line, size_t length, bool on_boundary);
  void end_line (bool on_boundary);
  void emit (std::string_view entry);
  void settle_held (bool void_it);

  Sink sink_;
  void *data_;
  guint64 offset_;
  String held_ { g_string_new (nullptr) }; /* an entry whose line feed lies on the boundary */
  bool holding_ = false;
  bool ends_on_boundary_ = false;
  String partial_ { g_string_new (nullptr) };
  String scratch_ { g_string_new (nullptr) };
  bool skipping_ = false;
  bool line_begins_ = true;
  bool marked_ = false; /* the current line starts with legacy_unfinished_mark */
  size_t fed_ = 0;
  size_t line_start_ = 0;
  size_t records_ = 0;
  size_t oversized_ = 0;
};

} // namespace vontle::history_file
