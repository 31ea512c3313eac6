/* SPDX-License-Identifier: LGPL-2.1-or-later */
/* libvontle: input history with prefix navigation over a pluggable reader/writer. */
#pragma once

#include <glib-object.h>
#include <vontle/datastructures.h>
#include <vontle/visibility.h>

G_BEGIN_DECLS

/* ------------------------------------------------------ reader/writer -- */

/**
 * VONTLE_TYPE_INPUT_HISTORY_IO:
 *
 * The #GType of #VontleInputHistoryIO.
 */
#define VONTLE_TYPE_INPUT_HISTORY_IO (vontle_input_history_io_get_type ())

/**
 * VontleInputHistoryIO:
 *
 * Storage behind a [class@Vontle.InputHistory]. The application implements
 * this interface on a #GObject class of its own. A history calls append once
 * for every line appended to it, and read every time it resets, to reload its
 * whole entry list.
 *
 * Read returns a [struct@Vontle.List], a record of raw pointers, so this
 * interface is implemented directly in C and C++ only. From Python,
 * JavaScript or Vala, subclass [class@Vontle.InputHistoryLinesIO] instead,
 * which implements this interface over string arrays.
 *
 * A reader/writer that keeps the lines in memory:
 *
 * ```c
 * struct _MyStore { GObject parent_instance; GPtrArray *lines; };
 *
 * static void
 * my_store_append (VontleInputHistoryIO *io, const char *line)
 * {
 *   g_ptr_array_add (MY_STORE (io)->lines, g_strdup (line));  // line is lent
 * }
 *
 * static VontleList *
 * my_store_read (VontleInputHistoryIO *io)
 * {
 *   GPtrArray *lines = MY_STORE (io)->lines;
 *   VontleList *copy = vontle_list_new_with_free (g_free);
 *   for (guint i = 0; i < lines->len; i++)
 *     vontle_list_append (copy, g_strdup (g_ptr_array_index (lines, i)));
 *   return copy;  // the history takes it over
 * }
 *
 * static void
 * my_store_io_init (VontleInputHistoryIOInterface *iface)
 * {
 *   iface->append = my_store_append;
 *   iface->read = my_store_read;
 * }
 *
 * G_DEFINE_TYPE_WITH_CODE (MyStore, my_store, G_TYPE_OBJECT,
 *                          G_IMPLEMENT_INTERFACE (VONTLE_TYPE_INPUT_HISTORY_IO,
 *                                                 my_store_io_init))
 * ```
 *
 * `examples/history.c` in the source tree keeps the lines in a file.
 */

/**
 * vontle_input_history_io_get_type:
 *
 * Gives the type of the [iface@Vontle.InputHistoryIO] interface.
 *
 * Returns: the #GType of the interface, registered on first use
 */
VONTLE_AVAILABLE_IN_ALL
G_DECLARE_INTERFACE (VontleInputHistoryIO, vontle_input_history_io, VONTLE, INPUT_HISTORY_IO, GObject)

/**
 * VontleInputHistoryIOInterface:
 * @parent_iface: the type interface header
 * @append: stores @line; the string is lent for the length of the call only,
 *   so an implementation keeps its own copy
 * @read: returns a new list of g_malloc()ed strings, oldest first, which the
 *   caller takes over, or %NULL when nothing is stored. A list made with
 *   `vontle_list_new_with_free (g_free)` is taken over silently.
 * @padding: reserved; never set or called
 *
 * The interface structure of [iface@Vontle.InputHistoryIO]. An implementing
 * class fills both @append and @read.
 */
/**
 * VontleInputHistoryIOInterface.read: (skip)
 *
 * Returns a new list of g_malloc()ed strings, oldest first, which the caller
 * takes over, or %NULL when nothing is stored. A [struct@Vontle.List] of raw
 * pointers, so bindings do not see this slot; they subclass
 * [class@Vontle.InputHistoryLinesIO], whose read_lines returns a string array.
 */
struct _VontleInputHistoryIOInterface
{
  GTypeInterface parent_iface;

  void (*append) (VontleInputHistoryIO *io, const char *line);
  VontleList *(*read) (VontleInputHistoryIO *io);

  gpointer padding[4];
};

/**
 * vontle_input_history_io_append:
 * @io: a #VontleInputHistoryIO
 * @line: (nullable): the line to store, passed on as given
 *
 * Stores @line as the newest line. A history calls this once for every line
 * appended to it. The string is lent for the length of the call only, so an
 * implementation keeps its own copy.
 */
VONTLE_AVAILABLE_IN_ALL
void vontle_input_history_io_append (VontleInputHistoryIO *io, const char *line);

/**
 * vontle_input_history_io_read: (skip)
 * @io: a #VontleInputHistoryIO
 *
 * Gives every stored line, oldest first. A history calls this whenever it
 * resets and replaces its entries with the result. An implementation returns
 * a new list of g_malloc()ed strings, which the caller takes over, or %NULL
 * when nothing is stored; a list made with
 * `vontle_list_new_with_free (g_free)` is taken over silently.
 *
 * Returns: (transfer full) (nullable): what the implementation returned,
 *   unchanged
 */
VONTLE_AVAILABLE_IN_ALL
VontleList *vontle_input_history_io_read (VontleInputHistoryIO *io) G_GNUC_WARN_UNUSED_RESULT;

/* ------------------------------------------------------------ history -- */

/**
 * VONTLE_TYPE_INPUT_HISTORY:
 *
 * The #GType of #VontleInputHistory.
 */
#define VONTLE_TYPE_INPUT_HISTORY (vontle_input_history_get_type ())

/**
 * VontleInputHistory:
 * @parent_instance: the parent instance
 *
 * The lines entered on one input line, oldest first, with a walk back and
 * forth through those that start with what is being typed. All state is
 * private; the five operations live in class slots, so a subclass can
 * replace any of them.
 *
 * Returned strings are lent: they stay valid until the history next changes
 * them. [method@Vontle.InputHistory.previous] walks toward older entries
 * that start with the text typed when the walk began, and
 * [method@Vontle.InputHistory.next] back toward newer ones and, past the
 * newest, to the typed text itself.
 *
 * In C:
 *
 * ```c
 * g_autoptr (VontleInputHistory) history = vontle_input_history_new (NULL);
 * vontle_input_history_append (history, "open notes.txt");
 * vontle_input_history_append (history, "close");
 * vontle_input_history_append (history, "open todo.txt");
 * vontle_input_history_previous (history, "op");  // "open todo.txt"
 * vontle_input_history_previous (history, "op");  // "open notes.txt"
 * vontle_input_history_next (history, "op");      // "open todo.txt"
 * vontle_input_history_next (history, "op");      // "op", the typed text
 * ```
 *
 * In Python:
 *
 * ```python
 * history = Vontle.InputHistory.new(None)   # kept in memory only
 * for line in ('open notes.txt', 'close', 'open todo.txt'):
 *     history.append(line)
 * print(history.previous('op'))   # open todo.txt
 * print(history.previous('op'))   # open notes.txt
 * print(history.next('op'))       # open todo.txt
 * ```
 */

/**
 * VontleInputHistory::entries-changed:
 * @history: the history
 * @position: the index in the entry list, oldest first, where the change is
 * @removed: how many entries were removed there
 * @added: how many entries were added there
 *
 * Emitted right after the entry list changed, in the terms of
 * #GListModel::items-changed but over the entry list as
 * vontle_input_history_list() gives it (oldest first): a new line is one
 * entry added at the end, a repeated line is its removal and then that
 * addition, and a reset that reloads reports the stretch between what stayed
 * at the head and the tail of the list. A step of the walk changes nothing.
 * [class@Vontle.InputHistoryModel] follows the history through this signal.
 *
 * The default append and reset emit it, and so does setting
 * [property@Vontle.InputHistory:io] through its reset. A subclass that
 * replaces those slots, or a caller that changes the entries through the
 * lent list, reports each change with
 * vontle_input_history_entries_changed(); otherwise a model over the history
 * shows the entries as they were.
 */

/**
 * vontle_input_history_get_type:
 *
 * Gives the type of the [class@Vontle.InputHistory] class.
 *
 * Returns: the #GType of the class, registered on first use
 */
VONTLE_AVAILABLE_IN_ALL
G_DECLARE_DERIVABLE_TYPE (VontleInputHistory, vontle_input_history, VONTLE, INPUT_HISTORY, GObject)

/**
 * VontleInputHistoryClass:
 * @parent_class: the parent class
 * @append: adds a line as the newest entry, dropping earlier equal ones
 * @list: returns the entry list, lent
 * @next: one step toward newer entries; returns a lent string or %NULL
 * @previous: one step toward older entries; returns a lent string or %NULL
 * @reset: starts navigation over and reloads the entries from the reader/writer
 * @padding: reserved; never set or called
 *
 * The class structure of [class@Vontle.InputHistory]. The default slots
 * reach each other only through the public functions, so replacing @list or
 * @reset changes what the other defaults work on.
 *
 * @next and @previous return a string that the history lends, which a
 * binding cannot do: overriding them in Python or JavaScript leaks the
 * returned string on every call. Wrap the history in an object of your own
 * instead, as the input history overview shows.
 */
/**
 * VontleInputHistoryClass.list: (skip)
 *
 * Returns the entry list, lent. A [struct@Vontle.List] of raw pointers, so
 * bindings do not see this slot; they read the entries with
 * [method@Vontle.InputHistory.dup_lines].
 */
struct _VontleInputHistoryClass
{
  GObjectClass parent_class;

  void (*append) (VontleInputHistory *history, const char *line);
  VontleList *(*list) (VontleInputHistory *history);
  const char *(*next) (VontleInputHistory *history, const char *line);
  const char *(*previous) (VontleInputHistory *history, const char *line);
  void (*reset) (VontleInputHistory *history);

  gpointer padding[4];
};

/**
 * VontleInputHistory:io:
 *
 * The reader/writer that stores the lines, or %NULL for a history kept in
 * memory only. The history holds a reference to it. Setting it, at
 * construction or later, resets the history, which then loads its entries
 * from the new reader/writer's read; with %NULL the entries stay as they are.
 *
 * A reader/writer written in Python or JavaScript that keeps its history
 * closes a loop of references that the garbage collector cannot break: set
 * this property to %NULL when the history is no longer wanted, or, in
 * Python, have the reader/writer hold the history through `weakref`.
 */

/**
 * vontle_input_history_new:
 * @io: (nullable): the reader/writer; %NULL keeps the history in memory only
 *
 * Makes a history whose [property@Vontle.InputHistory:io] property is @io;
 * the entries are loaded from @io's read before this returns.
 *
 * Returns: (transfer full): a new history
 */
VONTLE_AVAILABLE_IN_ALL
VontleInputHistory *vontle_input_history_new (VontleInputHistoryIO *io) G_GNUC_WARN_UNUSED_RESULT;

/**
 * vontle_input_history_append:
 * @history: a #VontleInputHistory
 * @line: (nullable): the entered line; %NULL is ignored
 *
 * Makes @line the newest entry, removing every earlier entry equal to it,
 * hands it to the reader/writer and resets the history. @line may be a
 * string that this history lent out (an entry or the saved line).
 */
VONTLE_AVAILABLE_IN_ALL
void vontle_input_history_append (VontleInputHistory *history, const char *line);

/**
 * vontle_input_history_list: (skip)
 * @history: a #VontleInputHistory
 *
 * Gives the entries themselves, not a copy.
 *
 * Returns: (transfer none) (nullable): the entry list, oldest first. It stays
 *   the history's; a change made through it is a change to the history.
 */
VONTLE_AVAILABLE_IN_ALL
VontleList *vontle_input_history_list (VontleInputHistory *history);

/**
 * vontle_input_history_next:
 * @history: a #VontleInputHistory
 * @line: (nullable): the current input line
 *
 * Steps toward newer entries that start with the text typed when the walk
 * began. Past the newest entry it gives that text back. The first step after
 * a reset walks toward older entries, like vontle_input_history_previous().
 *
 * Returns: (transfer none) (nullable): the entry or the saved line, valid
 *   until the history next changes it; %NULL when nothing matches
 */
VONTLE_AVAILABLE_IN_ALL
const char *vontle_input_history_next (VontleInputHistory *history, const char *line);

/**
 * vontle_input_history_previous:
 * @history: a #VontleInputHistory
 * @line: (nullable): the current input line
 *
 * Steps toward older entries that start with the text typed when the walk
 * began; a walk begins at the first step after a reset and whenever the
 * walk stands below the newest entry.
 *
 * Returns: (transfer none) (nullable): the entry, valid until the entry list
 *   next changes; %NULL when no older entry matches
 */
VONTLE_AVAILABLE_IN_ALL
const char *vontle_input_history_previous (VontleInputHistory *history, const char *line);

/**
 * vontle_input_history_reset:
 * @history: a #VontleInputHistory
 *
 * Makes the next step start a new walk and, when a reader/writer is set,
 * replaces the entries with what its read returns.
 */
VONTLE_AVAILABLE_IN_ALL
void vontle_input_history_reset (VontleInputHistory *history);

/**
 * vontle_input_history_dup_lines:
 * @history: a history
 *
 * Copies the entries, as vontle_input_history_list() gives them, into a
 * string array: the form in which bindings read the history. A subclass
 * that replaces the list slot is honoured. %NULL elements of the list are
 * left out.
 *
 * Returns: (transfer full) (array zero-terminated=1): a new %NULL-terminated
 *   array of the entries, oldest first, empty when there are none (or when
 *   the entry list is %NULL); %NULL only when @history is not a history.
 *   Free it with g_strfreev().
 */
VONTLE_AVAILABLE_IN_ALL
char **vontle_input_history_dup_lines (VontleInputHistory *history) G_GNUC_WARN_UNUSED_RESULT;

/**
 * vontle_input_history_entries_changed:
 * @history: a #VontleInputHistory
 * @position: the index in the entry list, oldest first, where the change is
 * @removed: how many entries were removed there
 * @added: how many entries were added there
 *
 * Emits [signal@Vontle.InputHistory::entries-changed] for a change already
 * made to the entry list: for a subclass that replaces the append or reset
 * slots, or a caller that changed the entries through the lent list. Report
 * each change once, in the order they were made.
 */
VONTLE_AVAILABLE_IN_ALL
void vontle_input_history_entries_changed (VontleInputHistory *history, guint position, guint removed,
                                           guint added);

G_END_DECLS
