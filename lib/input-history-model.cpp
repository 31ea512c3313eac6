/* SPDX-License-Identifier: LGPL-2.1-or-later */
#include "input-history-private.h"

#include <algorithm>
#include <utility>

/* -------------------------------------------------------------- entry -- */

struct _VontleInputHistoryEntry
{
  GObject parent_instance;
  char *text;
};

G_DEFINE_TYPE (VontleInputHistoryEntry, vontle_input_history_entry, G_TYPE_OBJECT)

namespace {

enum
{
  PROP_0,
  PROP_TEXT,
};

void
vontle_input_history_entry_set_property (GObject *object, guint property_id, const GValue *value,
                                         GParamSpec *pspec)
{
  if (property_id != PROP_TEXT)
    {
      G_OBJECT_WARN_INVALID_PROPERTY_ID (object, property_id, pspec);
      return;
    }
  g_free (std::exchange (VONTLE_INPUT_HISTORY_ENTRY (object)->text, g_value_dup_string (value)));
}

void
vontle_input_history_entry_get_property (GObject *object, guint property_id, GValue *value,
                                         GParamSpec *pspec)
{
  if (property_id != PROP_TEXT)
    {
      G_OBJECT_WARN_INVALID_PROPERTY_ID (object, property_id, pspec);
      return;
    }
  g_value_set_string (value, VONTLE_INPUT_HISTORY_ENTRY (object)->text);
}

void
vontle_input_history_entry_finalize (GObject *object)
{
  g_free (VONTLE_INPUT_HISTORY_ENTRY (object)->text);
  G_OBJECT_CLASS (vontle_input_history_entry_parent_class)->finalize (object);
}

/* Items are made in bulk as a list view scrolls: the text is set directly
 * rather than through the property machinery. */
VontleInputHistoryEntry *
entry_new (const char *text)
{
  auto *entry = static_cast<VontleInputHistoryEntry *> (g_object_new (VONTLE_TYPE_INPUT_HISTORY_ENTRY, nullptr));
  entry->text = g_strdup (text);
  return entry;
}

} // namespace

static void
vontle_input_history_entry_class_init (VontleInputHistoryEntryClass *klass)
{
  auto *object_class = G_OBJECT_CLASS (klass);
  object_class->set_property = vontle_input_history_entry_set_property;
  object_class->get_property = vontle_input_history_entry_get_property;
  object_class->finalize = vontle_input_history_entry_finalize;
  g_object_class_install_property (
    object_class, PROP_TEXT,
    g_param_spec_string ("text", "text", "The entry's line", nullptr,
                         static_cast<GParamFlags> (G_PARAM_READWRITE | G_PARAM_CONSTRUCT_ONLY
                                                   | G_PARAM_STATIC_STRINGS)));
}

static void
vontle_input_history_entry_init (VontleInputHistoryEntry * /*entry*/)
{
}

const char *
vontle_input_history_entry_get_text (VontleInputHistoryEntry *entry)
{
  if (!VONTLE_CHECK (VONTLE_IS_INPUT_HISTORY_ENTRY (entry)))
    return nullptr;
  return entry->text;
}

/* -------------------------------------------------------------- model -- */

/* The items lie oldest first, slot for slot beside the history's entry
 * list, so that the common change, a line added at the end, moves nothing;
 * a slot stays null until its item is asked for. The number of slots is the
 * model's size: what the history has reported so far. */
struct _VontleInputHistoryModel
{
  GObject parent_instance;
  VontleInputHistory *history;
  GPtrArray *items;
};

namespace {

void list_model_init (GListModelInterface *iface);

} // namespace

G_DEFINE_TYPE_WITH_CODE (VontleInputHistoryModel, vontle_input_history_model, G_TYPE_OBJECT,
                         G_IMPLEMENT_INTERFACE (G_TYPE_LIST_MODEL, list_model_init))

namespace {

enum
{
  PROP_MODEL_0,
  PROP_HISTORY,
};

void
release_item (gpointer item)
{
  if (item != nullptr)
    g_object_unref (item);
}

size_t
history_size (VontleInputHistory *history)
{
  VontleList *entries = vontle_input_history_list (history);
  return entries != nullptr ? vontle_list_size (entries) : 0;
}

/* Replaces REMOVED slots at POSITION with ADDED empty ones. */
void
splice_slots (GPtrArray *items, guint position, guint removed, guint added)
{
  g_ptr_array_remove_range (items, position, removed);
  const guint tail = items->len - position;
  g_ptr_array_set_size (items, static_cast<gint> (items->len + added));
  gpointer *const at = items->pdata + position;
  std::copy_backward (at, at + tail, at + tail + added);
  std::fill_n (at, added, nullptr);
}

void
on_entries_changed (VontleInputHistory *history, guint position, guint removed, guint added,
                    gpointer user_data)
{
  auto *model = VONTLE_INPUT_HISTORY_MODEL (user_data);
  const guint n = model->items->len;
  if (position > n || removed > n - position)
    {
      /* A report that does not fit what came before (a change through the
       * lent list that went unreported): start over from the list. */
      position = 0;
      removed = n;
      added = static_cast<guint> (history_size (history));
    }
  splice_slots (model->items, position, removed, added);
  /* Oldest first in the history, newest first here. */
  g_list_model_items_changed (G_LIST_MODEL (model), n - position - removed, removed, added);
}

GType
vontle_input_history_model_get_item_type (GListModel * /*list*/)
{
  return VONTLE_TYPE_INPUT_HISTORY_ENTRY;
}

guint
vontle_input_history_model_get_n_items (GListModel *list)
{
  return VONTLE_INPUT_HISTORY_MODEL (list)->items->len;
}

gpointer
vontle_input_history_model_get_item (GListModel *list, guint position)
{
  auto *model = VONTLE_INPUT_HISTORY_MODEL (list);
  GPtrArray *items = model->items;
  if (position >= items->len)
    return nullptr;
  const guint index = items->len - 1 - position;
  if (items->pdata[index] == nullptr)
    {
      /* As reported so far: during a reload the list may be ahead. */
      const char *text;
      if (!vontle::input_history_reported_entry (model->history, index, &text))
        return nullptr;
      items->pdata[index] = entry_new (text);
    }
  return g_object_ref (items->pdata[index]);
}

void
list_model_init (GListModelInterface *iface)
{
  iface->get_item_type = vontle_input_history_model_get_item_type;
  iface->get_n_items = vontle_input_history_model_get_n_items;
  iface->get_item = vontle_input_history_model_get_item;
}

void
vontle_input_history_model_set_property (GObject *object, guint property_id, const GValue *value,
                                         GParamSpec *pspec)
{
  if (property_id != PROP_HISTORY)
    {
      G_OBJECT_WARN_INVALID_PROPERTY_ID (object, property_id, pspec);
      return;
    }
  auto *model = VONTLE_INPUT_HISTORY_MODEL (object);
  model->history = static_cast<VontleInputHistory *> (g_value_dup_object (value));
}

void
vontle_input_history_model_get_property (GObject *object, guint property_id, GValue *value,
                                         GParamSpec *pspec)
{
  if (property_id != PROP_HISTORY)
    {
      G_OBJECT_WARN_INVALID_PROPERTY_ID (object, property_id, pspec);
      return;
    }
  g_value_set_object (value, VONTLE_INPUT_HISTORY_MODEL (object)->history);
}

void
vontle_input_history_model_constructed (GObject *object)
{
  G_OBJECT_CLASS (vontle_input_history_model_parent_class)->constructed (object);
  auto *model = VONTLE_INPUT_HISTORY_MODEL (object);
  if (!VONTLE_CHECK (model->history != NULL))
    return;
  g_ptr_array_set_size (model->items, static_cast<gint> (history_size (model->history)));
  g_signal_connect (model->history, "entries-changed", G_CALLBACK (on_entries_changed), model);
}

void
vontle_input_history_model_dispose (GObject *object)
{
  auto *model = VONTLE_INPUT_HISTORY_MODEL (object);
  if (model->history != nullptr)
    g_signal_handlers_disconnect_by_func (model->history, reinterpret_cast<gpointer> (on_entries_changed),
                                          model);
  g_clear_object (&model->history);
  G_OBJECT_CLASS (vontle_input_history_model_parent_class)->dispose (object);
}

void
vontle_input_history_model_finalize (GObject *object)
{
  g_ptr_array_unref (VONTLE_INPUT_HISTORY_MODEL (object)->items);
  G_OBJECT_CLASS (vontle_input_history_model_parent_class)->finalize (object);
}

} // namespace

static void
vontle_input_history_model_class_init (VontleInputHistoryModelClass *klass)
{
  auto *object_class = G_OBJECT_CLASS (klass);
  object_class->set_property = vontle_input_history_model_set_property;
  object_class->get_property = vontle_input_history_model_get_property;
  object_class->constructed = vontle_input_history_model_constructed;
  object_class->dispose = vontle_input_history_model_dispose;
  object_class->finalize = vontle_input_history_model_finalize;
  g_object_class_install_property (
    object_class, PROP_HISTORY,
    g_param_spec_object ("history", "history", "The history whose entries the model shows",
                         VONTLE_TYPE_INPUT_HISTORY,
                         static_cast<GParamFlags> (G_PARAM_READWRITE | G_PARAM_CONSTRUCT_ONLY
                                                   | G_PARAM_STATIC_STRINGS)));
}

static void
vontle_input_history_model_init (VontleInputHistoryModel *model)
{
  model->items = g_ptr_array_new_with_free_func (release_item);
}

VontleInputHistoryModel *
vontle_input_history_model_new (VontleInputHistory *history)
{
  if (!VONTLE_CHECK (VONTLE_IS_INPUT_HISTORY (history)))
    return nullptr;
  return static_cast<VontleInputHistoryModel *> (
    g_object_new (VONTLE_TYPE_INPUT_HISTORY_MODEL, "history", history, nullptr));
}

VontleInputHistory *
vontle_input_history_model_get_history (VontleInputHistoryModel *model)
{
  if (!VONTLE_CHECK (VONTLE_IS_INPUT_HISTORY_MODEL (model)))
    return nullptr;
  return model->history;
}
