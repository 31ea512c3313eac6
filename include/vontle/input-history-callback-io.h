/* SPDX-License-Identifier: LGPL-2.1-or-later */
/* libvontle: a history reader/writer made of two functions and their data. */
#pragma once

#include <glib-object.h>
#include <vontle/input-history-lines-io.h>
#include <vontle/visibility.h>

G_BEGIN_DECLS

/**
 * VONTLE_TYPE_INPUT_HISTORY_CALLBACK_IO:
 *
 * The #GType of #VontleInputHistoryCallbackIO.
 */
#define VONTLE_TYPE_INPUT_HISTORY_CALLBACK_IO (vontle_input_history_callback_io_get_type ())

/**
 * VontleInputHistoryCallbackIO:
 *
 * A #VontleInputHistoryLinesIO whose storage is two functions of the host
 * and their user data, made with vontle_input_history_callback_io_new().
 *
 * Storage written in a language without GObject support of its own (C++
 * through `vontle/vontle.hpp`, for example) needs no class of its own, and
 * so registers no type in the module that defines it: a plugin that is
 * unloaded leaves no class behind that points into its code, and two
 * plugins cannot race to register the same one.
 *
 * Each function runs on the thread that appends to or resets the history,
 * inside that call. vontle_input_history_callback_io_detach() lets go of the
 * functions and their data before the object itself goes, for storage that
 * is destroyed while a history may still hold the reader/writer.
 */

/**
 * VontleInputHistoryCallbackIOClass:
 * @parent_class: the parent class
 *
 * The class structure of #VontleInputHistoryCallbackIO, a final class: it
 * adds nothing, and nothing derives from it.
 */

/**
 * vontle_input_history_callback_io_get_type:
 *
 * Returns: the #GType of the class, registered on first use
 */
VONTLE_AVAILABLE_IN_ALL
G_DECLARE_FINAL_TYPE (VontleInputHistoryCallbackIO, vontle_input_history_callback_io, VONTLE,
                      INPUT_HISTORY_CALLBACK_IO, VontleInputHistoryLinesIO)

/**
 * VontleAppendLineFunc:
 * @line: the line appended to the history, lent for the call
 * @user_data: the user data given to vontle_input_history_callback_io_new()
 *
 * Stores @line as the newest line.
 */
typedef void (*VontleAppendLineFunc) (const char *line, gpointer user_data);

/**
 * VontleReadLinesFunc:
 * @user_data: the user data given to vontle_input_history_callback_io_new()
 *
 * Returns every stored line, oldest first.
 *
 * Returns: (transfer full) (array zero-terminated=1) (nullable): a new
 *   %NULL-terminated array of g_malloc()ed strings, which the history takes
 *   over, or %NULL when nothing is stored
 */
typedef char **(*VontleReadLinesFunc) (gpointer user_data);

/**
 * vontle_input_history_callback_io_new: (skip)
 * @append_line: (nullable): stores a line; %NULL stores nothing
 * @read_lines: (nullable): returns the stored lines; %NULL: nothing is stored
 * @user_data: passed to both functions
 * @destroy: (nullable): releases @user_data when the reader/writer lets go
 *   of it (detached or finalized)
 *
 * Makes a reader/writer that calls @append_line for each line the history
 * appends and @read_lines whenever it resets. Hand it to
 * vontle_input_history_new() like any other reader/writer.
 *
 * Returns: (transfer full): the new reader/writer
 */
VONTLE_AVAILABLE_IN_ALL
VontleInputHistoryCallbackIO *vontle_input_history_callback_io_new (VontleAppendLineFunc append_line,
                                                                    VontleReadLinesFunc read_lines,
                                                                    gpointer user_data,
                                                                    GDestroyNotify destroy);

/**
 * vontle_input_history_callback_io_detach:
 * @io: the reader/writer
 *
 * Lets go of the functions and releases the user data (its destroy notify
 * runs). From then on appends store nothing and reads report nothing
 * stored, so a history that holds @io empties at its next reset. Called
 * from inside one of the functions, the user data is released when the
 * outermost of them returns. Detaching twice does nothing more.
 */
VONTLE_AVAILABLE_IN_ALL
void vontle_input_history_callback_io_detach (VontleInputHistoryCallbackIO *io);

G_END_DECLS
