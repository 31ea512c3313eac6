/* SPDX-License-Identifier: LGPL-2.1-or-later */
#include "vontle-private.h"
#include "list-private.h"

namespace {

void io_init (VontleInputHistoryIOInterface *iface);

} // namespace

G_DEFINE_ABSTRACT_TYPE_WITH_CODE (VontleInputHistoryLinesIO, vontle_input_history_lines_io,
                                  G_TYPE_OBJECT,
                                  G_IMPLEMENT_INTERFACE (VONTLE_TYPE_INPUT_HISTORY_IO, io_init))

static void
vontle_input_history_lines_io_class_init (VontleInputHistoryLinesIOClass * /*klass*/)
{
}

static void
vontle_input_history_lines_io_init (VontleInputHistoryLinesIO * /*self*/)
{
}

namespace {

constexpr const char is_lines_io_text[] = "VONTLE_IS_INPUT_HISTORY_LINES_IO(io) == true";

/* The interface operations name themselves in the critical that an
 * unfilled slot raises. */
void
vontle_input_history_lines_io_append (VontleInputHistoryIO *io, const char *line)
{
  if (auto append_line = vontle::slot_of (io, VONTLE_TYPE_INPUT_HISTORY_LINES_IO,
                                          &VontleInputHistoryLinesIOClass::append_line, __func__,
                                          is_lines_io_text, "klass != NULL && klass->append_line != NULL"))
    append_line (VONTLE_INPUT_HISTORY_LINES_IO (io), line);
}

/* The strings move into the list as they are; only the array goes. */
VontleList *
vontle_input_history_lines_io_read (VontleInputHistoryIO *io)
{
  auto read_lines = vontle::slot_of (io, VONTLE_TYPE_INPUT_HISTORY_LINES_IO,
                                     &VontleInputHistoryLinesIOClass::read_lines, __func__,
                                     is_lines_io_text, "klass != NULL && klass->read_lines != NULL");
  if (read_lines == nullptr)
    return nullptr;
  g_autofree char **lines = read_lines (VONTLE_INPUT_HISTORY_LINES_IO (io));
  if (lines == nullptr)
    return nullptr;
  VontleList *list = vontle_list_new_with_free (g_free);
  if (list == nullptr)
    {
      g_strfreev (g_steal_pointer (&lines));
      return nullptr;
    }
  /* One growth for all the lines: appending them one by one costs a
   * reallocation per line, and where realloc moves the block (sanitizers,
   * other allocators) a copy of the whole array per line. */
  size_t n = 0;
  while (lines[n] != nullptr)
    n++;
  vontle::list_append_all (list, reinterpret_cast<void *const *> (lines), n);
  return list;
}

void
io_init (VontleInputHistoryIOInterface *iface)
{
  iface->append = vontle_input_history_lines_io_append;
  iface->read = vontle_input_history_lines_io_read;
}

} // namespace
