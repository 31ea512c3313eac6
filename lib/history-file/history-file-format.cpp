/* SPDX-License-Identifier: LGPL-2.1-or-later */
#include "history-file-format.h"

#include <cstring>

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
          marked_ = data[0] == unfinished_mark;
          line_begins_ = false;
        }
      const auto *newline = static_cast<const char *> (memchr (data, '\n', n));
      const size_t length = newline != nullptr ? static_cast<size_t> (newline - data) : n;
      /* A whole line in this piece is parsed where it lies. */
      if (newline != nullptr && partial_->len == 0 && !skipping_ && length <= max_record_bytes)
        take_line (data, length);
      else
        {
          take_piece (data, length);
          if (newline == nullptr)
            {
              fed_ += length;
              return;
            }
          end_line ();
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
  if (partial_->len == 0 && !skipping_)
    return End::closed;
  if (marked_)
    {
      g_string_truncate (partial_.get (), 0);
      skipping_ = false;
      return End::unfinished;
    }
  end_line ();
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
LineParser::take_line (const char *line, size_t length)
{
  const std::string_view entry = decode_line (line, length, scratch_.get ());
  if (entry.empty ())
    return;
  if (entry.size () > max_entry_bytes)
    {
      oversized_++;
      return;
    }
  sink_ (entry, data_);
  records_++;
}

void
LineParser::end_line ()
{
  if (!skipping_)
    take_line (partial_->str, partial_->len);
  g_string_truncate (partial_.get (), 0);
  skipping_ = false;
}

} // namespace vontle::history_file
