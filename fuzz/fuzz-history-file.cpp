/* SPDX-License-Identifier: LGPL-2.1-or-later */
/* Fuzzer for the history file reader on arbitrary file bytes: no crash, no
 * leak, and the entries are those of a small model of the format, both from
 * the line parser fed in two pieces and from a store. The file is also read
 * in two steps (it grows between them), which must give what one read
 * gives; and the entries, written by a store of their own, read back
 * unchanged. */
#include <algorithm>
#include <cstdint>
#include <cstdlib>
#include <string>
#include <unordered_map>
#include <vector>

#include <glib/gstdio.h>
#include <vontle/vontle.h>

#include "fuzz-support.h"
#include "history-file-format.h"

namespace {

using Lines = std::vector<std::string>;

/* The format as written down: one entry per line; a final carriage return
 * and NUL bytes dropped; \\, \n and \r undone, any other backslash kept;
 * empty lines are no entries, nor is a last line without line feed that
 * starts with a NUL byte or ends on a multiple of 4096 bytes (a record cut
 * short), nor a line whose line feed lies on such a multiple and is followed
 * by another line feed. */
Lines
model_lines (const std::string &bytes)
{
  Lines all;
  size_t start = 0;
  while (start < bytes.size ())
    {
      size_t end = bytes.find ('\n', start);
      if (end == std::string::npos)
        end = bytes.size ();
      std::string line = bytes.substr (start, end - start);
      if (end == bytes.size () && !line.empty () && (line[0] == '\0' || end % 4096 == 0))
        break;
      start = end + 1;
      if (end % 4096 == 0 && end + 1 < bytes.size () && bytes[end + 1] == '\n')
        continue;
      if (!line.empty () && line.back () == '\r')
        line.pop_back ();
      std::string entry;
      for (size_t i = 0; i < line.size (); i++)
        {
          if (line[i] == '\0')
            continue;
          if (line[i] == '\\' && i + 1 < line.size ()
              && (line[i + 1] == '\\' || line[i + 1] == 'n' || line[i + 1] == 'r'))
            {
              entry += line[i + 1] == 'n' ? '\n' : line[i + 1] == 'r' ? '\r' : '\\';
              i++;
              continue;
            }
          entry += line[i];
        }
      if (!entry.empty ())
        all.push_back (entry);
    }
  return all;
}

/* Each entry at its newest place. */
Lines
model (const Lines &all)
{
  std::unordered_map<std::string, size_t> newest;
  for (size_t i = 0; i < all.size (); i++)
    newest[all[i]] = i;
  Lines entries;
  for (size_t i = 0; i < all.size (); i++)
    if (newest[all[i]] == i)
      entries.push_back (all[i]);
  return entries;
}

void
collect (std::string_view entry, void *data)
{
  static_cast<Lines *> (data)->emplace_back (entry);
}

/* The parser alone, fed BYTES in two pieces. */
Lines
parse (const std::string &bytes, size_t split)
{
  Lines lines;
  vontle::history_file::LineParser parser (collect, &lines);
  parser.feed (bytes.data (), split);
  parser.feed (bytes.data () + split, bytes.size () - split);
  static_cast<void> (parser.finish ());
  return lines;
}

Lines
take_list (VontleList *list)
{
  Lines lines;
  for (size_t i = 0; list != nullptr && i < list->size; i++)
    lines.emplace_back (static_cast<const char *> (list->start[i]));
  vontle_list_free (list);
  return lines;
}

Lines
read_store (VontleInputHistoryFile *store)
{
  return take_list (vontle_input_history_io_read (VONTLE_INPUT_HISTORY_IO (store)));
}

VontleInputHistoryFile *
unbounded_store (const std::string &path)
{
  VontleInputHistoryFile *store = vontle_input_history_file_new (path.c_str ());
  g_object_set (store, "max-entries", 0u, nullptr);
  return store;
}

void
write_bytes (const std::string &path, const std::string &bytes, const char *mode)
{
  FILE *file = fopen (path.c_str (), mode);
  if (file == nullptr || fwrite (bytes.data (), 1, bytes.size (), file) != bytes.size ())
    abort ();
  fclose (file);
}

const std::string &
work_dir ()
{
  static const std::string dir = [] {
    g_autofree char *made = g_dir_make_tmp ("vontle-fuzz-history-XXXXXX", nullptr);
    if (made == nullptr)
      abort ();
    return std::string (made);
  }();
  return dir;
}

} // namespace

extern "C" int
LLVMFuzzerTestOneInput (const uint8_t *data, size_t size)
{
  const std::string bytes (reinterpret_cast<const char *> (data), size);
  const std::string path = work_dir () + "/history", copy = work_dir () + "/copy";
  const Lines all = model_lines (bytes);
  const Lines expected = model (all);

  /* In two steps: the first part, then the file grows by the rest. */
  const size_t split = size > 0 ? data[0] % (size + 1) : 0;
  if (parse (bytes, split) != all)
    fuzz::mismatch ();
  write_bytes (path, bytes.substr (0, split), "wb");
  g_autoptr (VontleInputHistoryFile) store = unbounded_store (path);
  static_cast<void> (read_store (store));
  write_bytes (path, bytes.substr (split), "ab");
  if (read_store (store) != expected)
    fuzz::mismatch ();

  g_autoptr (VontleInputHistoryFile) fresh = unbounded_store (path);
  if (read_store (fresh) != expected)
    fuzz::mismatch ();

  /* Each append opens and locks the file: a few entries tell as much. */
  const Lines written (expected.begin (), expected.begin () + std::min<size_t> (expected.size (), 32));
  g_remove (copy.c_str ());
  g_autoptr (VontleInputHistoryFile) writer = unbounded_store (copy);
  for (const std::string &entry : written)
    vontle_input_history_io_append (VONTLE_INPUT_HISTORY_IO (writer), entry.c_str ());
  g_autoptr (VontleInputHistoryFile) reader = unbounded_store (copy);
  if (read_store (reader) != written)
    fuzz::mismatch ();
  return 0;
}
