/* SPDX-License-Identifier: LGPL-2.1-or-later */
#include "history-file-format.h"

#include <cstring>
#include <utility>

namespace vontle::history_file {

void
append_escaped (GString *out, std::string_view entry)
{
  for (char c : entry)
    switch (c)
      {
      case '\\':
        g_string_append_len (out, "\\\\", 2);
        break;
      case '\n':
        g_string_append_len (out, "\\n", 2);
        break;
      case '\r':
        g_string_append_len (out, "\\r", 2);
        break;
      default:
        g_string_append_c (out, c);
      }
}

std::string_view
decode_line (const char *line, size_t length, GString *scratch)
{
  if (length > 0 && line[length - 1] == '\r')
    length--;
  if (memchr (line, '\\', length) == nullptr && memchr (line, '\0', length) == nullptr)
    return { line, length };
  g_string_truncate (scratch, 0);
  for (size_t i = 0; i < length; i++)
    {
      char c = line[i];
      if (c == '\0')
        continue;
      if (c == '\\' && i + 1 < length)
        {
          const char next = line[i + 1];
          if (next == '\\' || next == 'n' || next == 'r')
            {
              c = next == 'n' ? '\n' : next == 'r' ? '\r' : '\\';
              i++;
            }
        }
      g_string_append_c (scratch, c);
    }
  return view_of (scratch);
}

void
LineParser::feed (const char *data, size_t n)
{
  while (n > 0)
    {
      if (line_begins_)
        {
          settle_held (data[0] == '\n');
          marked_ = data[0] == legacy_unfinished_mark;
          line_begins_ = false;
        }
      const auto *newline = static_cast<const char *> (memchr (data, '\n', n));
      const size_t length = newline != nullptr ? static_cast<size_t> (newline - data) : n;
      const bool on_boundary = (offset_ + fed_ + length) % torn_boundary_bytes == 0;
      /* A whole line in this piece is parsed where it lies. */
      if (newline != nullptr && partial_->len == 0 && !skipping_ && length <= max_record_bytes)
        take_line (data, length, on_boundary);
      else
        {
          take_piece (data, length);
          if (newline == nullptr)
            {
              fed_ += length;
              return;
            }
          end_line (on_boundary);
        }
      data += length + 1;
      n -= length + 1;
      fed_ += length + 1;
      line_start_ = fed_;
      line_begins_ = true;
    }
}

LineParser::End
LineParser::finish ()
{
  ends_on_boundary_ = holding_;
  settle_held (false);
  if (partial_->len == 0 && !skipping_)
    return End::closed;
  if (marked_ || (offset_ + fed_) % torn_boundary_bytes == 0)
    {
      g_string_truncate (partial_.get (), 0);
      skipping_ = false;
      return End::unfinished;
    }
  end_line (false);
  return End::open;
}

void
LineParser::take_piece (const char *data, size_t length)
{
  if (skipping_)
    return;
  if (partial_->len + length > max_record_bytes)
    {
      g_string_truncate (partial_.get (), 0);
      skipping_ = true;
      oversized_++;
      return;
    }
  g_string_append_len (partial_.get (), data, static_cast<gssize> (length));
}

void
LineParser::take_line (const char *line, size_t length, bool on_boundary)
{
  const std::string_view entry = decode_line (line, length, scratch_.get ());
  if (entry.empty ())
    return;
  if (entry.size () > max_entry_bytes)
    {
      oversized_++;
      return;
    }
  if (!on_boundary)
    {
      emit (entry);
      return;
    }
  /* Whether it is an entry shows with the next byte. */
  g_string_assign (held_.get (), "");
  g_string_append_len (held_.get (), entry.data (), static_cast<gssize> (entry.size ()));
  holding_ = true;
}

void
LineParser::end_line (bool on_boundary)
{
  if (!skipping_)
    take_line (partial_->str, partial_->len, on_boundary);
  g_string_truncate (partial_.get (), 0);
  skipping_ = false;
}

void
LineParser::emit (std::string_view entry)
{
  sink_ (entry, data_);
  records_++;
}

/* The held line is an entry unless VOID_IT: a line feed follows it. */
void
LineParser::settle_held (bool void_it)
{
  if (!std::exchange (holding_, false))
    return;
  if (!void_it)
    emit (view_of (held_.get ()));
}

} // namespace vontle::history_file
