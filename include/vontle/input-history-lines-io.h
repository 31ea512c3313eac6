/* SPDX-License-Identifier: LGPL-2.1-or-later */
/* libvontle: a history reader/writer that works with string arrays. */
#pragma once

#include <glib-object.h>
#include <vontle/input-history.h>
#include <vontle/visibility.h>

G_BEGIN_DECLS

/**
 * VONTLE_TYPE_INPUT_HISTORY_LINES_IO:
 *
 * The #GType of #VontleInputHistoryLinesIO.
 */
#define VONTLE_TYPE_INPUT_HISTORY_LINES_IO (vontle_input_history_lines_io_get_type ())

/**
 * VontleInputHistoryLinesIO:
 * @parent_instance: the parent instance
 *
 * An abstract #VontleInputHistoryIO whose storage works with lines and
 * string arrays instead of #VontleList, so that it can be implemented in any
 * language with GObject Introspection bindings. A subclass fills
 * #VontleInputHistoryLinesIOClass.append_line and
 * #VontleInputHistoryLinesIOClass.read_lines and is handed to
 * vontle_input_history_new() like any other reader/writer.
 *
 * Its #VontleInputHistoryIOInterface.append passes each line on to
 * append_line. Its #VontleInputHistoryIOInterface.read makes the array that
 * read_lines returns into a new list whose free function is g_free(): the
 * strings move into the list as they are, and only the array itself is
 * released.
 *
 * In Python:
 *
 * ```python
 * class Store(Vontle.InputHistoryLinesIO):
 *     def __init__(self):
 *         super().__init__()
 *         self.lines = []
 *
 *     def do_append_line(self, line):
 *         self.lines.append(line)
 *
 *     def do_read_lines(self):
 *         return self.lines
 *
 * history = Vontle.InputHistory.new(Store())
 * ```
 */

/**
 * vontle_input_history_lines_io_get_type:
 *
 * Returns: the #GType of the class, registered on first use
 */
VONTLE_AVAILABLE_IN_ALL
G_DECLARE_DERIVABLE_TYPE (VontleInputHistoryLinesIO, vontle_input_history_lines_io, VONTLE,
                          INPUT_HISTORY_LINES_IO, GObject)

/**
 * VontleInputHistoryLinesIOClass:
 * @parent_class: the parent class
 * @append_line: stores a line; see #VontleInputHistoryLinesIOClass::append_line
 * @read_lines: returns every stored line; see
 *   #VontleInputHistoryLinesIOClass::read_lines
 * @padding: reserved; never set or called
 *
 * A subclass fills both @append_line and @read_lines. One that leaves a slot
 * empty gets a critical warning each time the history needs it, and the
 * history then stores nothing, or finds nothing stored.
 */
struct _VontleInputHistoryLinesIOClass
{
  GObjectClass parent_class;

  void (*append_line) (VontleInputHistoryLinesIO *self, const char *line);
  char **(*read_lines) (VontleInputHistoryLinesIO *self);

  gpointer padding[4];
};

/**
 * VontleInputHistoryLinesIOClass::append_line:
 * @self: the reader/writer
 * @line: the line appended to the history
 *
 * Stores @line as the newest line. The string is lent for the length of the
 * call only, so an implementation keeps its own copy.
 */

/**
 * VontleInputHistoryLinesIOClass::read_lines:
 * @self: the reader/writer
 *
 * Returns every stored line, oldest first. The history calls it whenever it
 * resets: when it is made, and after every line appended to it.
 *
 * From Python, return a list (or `None`): PyGObject splits a `str`, and the
 * first item of a tuple, into one line per character. From JavaScript,
 * return an array.
 *
 * Returns: (transfer full) (array zero-terminated=1) (nullable): a new
 *   %NULL-terminated array of g_malloc()ed strings, oldest first, or %NULL
 *   when nothing is stored
 */

G_END_DECLS
