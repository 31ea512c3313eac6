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
 * Storage behind a #VontleInputHistory. The application implements this
 * interface on a #GObject class of its own; the library ships no
 * implementation. A history calls append once for every line appended to it,
 * and read every time it resets, to reload its whole entry list.
 */

/**
 * vontle_input_history_io_get_type:
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
 * An implementing class fills both @append and @read.
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
 * @io: an object implementing #VontleInputHistoryIO
 * @line: (nullable): the line to store, passed on as given
 *
 * Calls the implementing class's append.
 */
VONTLE_AVAILABLE_IN_ALL
void vontle_input_history_io_append (VontleInputHistoryIO *io, const char *line);

/**
 * vontle_input_history_io_read: (skip)
 * @io: an object implementing #VontleInputHistoryIO
 *
 * Calls the implementing class's read.
 *
 * Returns: (transfer full) (nullable): what read returned, unchanged
 */
VONTLE_AVAILABLE_IN_ALL
VontleList *vontle_input_history_io_read (VontleInputHistoryIO *io);

/* ------------------------------------------------------------ history -- */

/**
 * VONTLE_TYPE_INPUT_HISTORY:
 *
 * The #GType of #VontleInputHistory.
 */
#define VONTLE_TYPE_INPUT_HISTORY (vontle_input_history_get_type ())

/**
 * VontleInputHistory:
 *
 * The lines entered on one input line, oldest first, with a walk back and
 * forth through those that start with what is being typed. All state is
 * private; the five operations live in class slots, so a subclass can
 * replace any of them.
 */

/**
 * vontle_input_history_get_type:
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
 * The default slots reach each other only through the public functions, so
 * replacing @list or @reset changes what the other defaults work on.
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
 * vontle_input_history_new:
 * @io: (nullable): the reader/writer; %NULL keeps the history in memory only
 *
 * Makes a history whose "io" property is @io; the entries are loaded from
 * @io's read before this returns.
 *
 * Returns: (transfer full): a new history
 */
VONTLE_AVAILABLE_IN_ALL
VontleInputHistory *vontle_input_history_new (VontleInputHistoryIO *io);

/**
 * vontle_input_history_append:
 * @history: a history
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
 * @history: a history
 *
 * Returns: (transfer none) (nullable): the entry list, oldest first. It stays
 *   the history's; a change made through it is a change to the history.
 */
VONTLE_AVAILABLE_IN_ALL
VontleList *vontle_input_history_list (VontleInputHistory *history);

/**
 * vontle_input_history_next:
 * @history: a history
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
 * @history: a history
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
 * @history: a history
 *
 * Makes the next step start a new walk and, when a reader/writer is set,
 * replaces the entries with what its read returns.
 */
VONTLE_AVAILABLE_IN_ALL
void vontle_input_history_reset (VontleInputHistory *history);

G_END_DECLS
