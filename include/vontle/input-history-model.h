/* SPDX-License-Identifier: LGPL-2.1-or-later */
/* libvontle: an input history's entries as a list model, newest first. */
#pragma once

#include <glib-object.h>
#include <vontle/input-history.h>
#include <vontle/visibility.h>

G_BEGIN_DECLS

/**
 * VONTLE_TYPE_INPUT_HISTORY_ENTRY:
 *
 * The #GType of #VontleInputHistoryEntry.
 */
#define VONTLE_TYPE_INPUT_HISTORY_ENTRY (vontle_input_history_entry_get_type ())

/**
 * VontleInputHistoryEntry:
 *
 * One entry of a history, as an item of [class@Vontle.InputHistoryModel]:
 * an immutable object that holds a copy of the line.
 */

/**
 * vontle_input_history_entry_get_type:
 *
 * Returns: the #GType of the class, registered on first use
 */
VONTLE_AVAILABLE_IN_ALL
G_DECLARE_FINAL_TYPE (VontleInputHistoryEntry, vontle_input_history_entry, VONTLE,
                      INPUT_HISTORY_ENTRY, GObject)

/**
 * VontleInputHistoryEntryClass:
 * @parent_class: the parent class
 *
 * The class structure. The class is final: it cannot be derived from.
 */

/**
 * VontleInputHistoryEntry:text:
 *
 * The entry's line, set when the item is made. A `GtkStringFilter` or a
 * `GtkPropertyExpression` reads it by this name.
 */

/**
 * vontle_input_history_entry_get_text:
 * @entry: an entry
 *
 * Gives the entry's line.
 *
 * Returns: (nullable): the line, valid as long as @entry
 */
VONTLE_AVAILABLE_IN_ALL
const char *vontle_input_history_entry_get_text (VontleInputHistoryEntry *entry);

/**
 * VONTLE_TYPE_INPUT_HISTORY_MODEL:
 *
 * The #GType of #VontleInputHistoryModel.
 */
#define VONTLE_TYPE_INPUT_HISTORY_MODEL (vontle_input_history_model_get_type ())

/**
 * VontleInputHistoryModel:
 *
 * A history's entries as a #GListModel of [class@Vontle.InputHistoryEntry]
 * items, newest first, as a history list shows them: bind it to a
 * `GtkListView`, or filter it by prefix with a `GtkFilterListModel` and a
 * `GtkStringFilter` on "text". The class implements #GListModel; include
 * `gio/gio.h` to use it as one, as the library's headers do not.
 *
 * ```c
 * g_autoptr (VontleInputHistoryModel) model = vontle_input_history_model_new (history);
 * GListModel *list = G_LIST_MODEL (model);
 * for (guint i = 0; i < g_list_model_get_n_items (list); i++)
 *   {
 *     g_autoptr (VontleInputHistoryEntry) entry = g_list_model_get_item (list, i);
 *     puts (vontle_input_history_entry_get_text (entry));  // newest first
 *   }
 * ```
 *
 * The model follows [signal@Vontle.InputHistory::entries-changed]:
 * #GListModel::items-changed says what changed in the smallest terms: a new
 * line is one item inserted at 0, a repeated line is its removal and an
 * insertion at 0, a reload reports what differs between the entries before
 * and after. A step of the walk changes nothing. With a
 * [class@Vontle.InputHistoryFile] as reader/writer, lines that other
 * processes append show while the main loop runs (see
 * [signal@Vontle.InputHistoryLiveIO::storage-changed]).
 *
 * Items are made when first asked for and kept until their entry leaves the
 * history: a model over many entries costs a pointer per entry until then.
 */

/**
 * vontle_input_history_model_get_type:
 *
 * Returns: the #GType of the class, registered on first use
 */
VONTLE_AVAILABLE_IN_ALL
G_DECLARE_FINAL_TYPE (VontleInputHistoryModel, vontle_input_history_model, VONTLE,
                      INPUT_HISTORY_MODEL, GObject)

/**
 * VontleInputHistoryModelClass:
 * @parent_class: the parent class
 *
 * The class structure. The class is final: it cannot be derived from.
 */

/**
 * VontleInputHistoryModel:history:
 *
 * The history whose entries the model shows; the model holds a reference
 * to it. Set at construction only.
 */

/**
 * vontle_input_history_model_new:
 * @history: the history to show
 *
 * Makes a model of @history's entries, newest first.
 *
 * Returns: (transfer full) (nullable): a new model, or %NULL (with a
 *   critical warning) when @history is not a history
 */
VONTLE_AVAILABLE_IN_ALL
VontleInputHistoryModel *vontle_input_history_model_new (VontleInputHistory *history)
  G_GNUC_WARN_UNUSED_RESULT;

/**
 * vontle_input_history_model_get_history:
 * @model: a model
 *
 * Gives the history the model shows.
 *
 * Returns: (transfer none) (nullable): the history, lent by the model
 */
VONTLE_AVAILABLE_IN_ALL
VontleInputHistory *vontle_input_history_model_get_history (VontleInputHistoryModel *model);

G_END_DECLS
