/* SPDX-License-Identifier: LGPL-2.1-or-later */
/* Ctrl+R on the command entry: a search over the whole history, fuzzy by
 * default, its matched characters in bold. Enter puts the chosen line in
 * the entry, Escape goes back to it; Up, Down and Ctrl+R move through the
 * matches. The pane covers the history list while it is open. */
#include "example.h"

typedef struct
{
  GtkWidget *pane;
  GtkEditable *target; /* the command entry */
  GtkWidget *covered;  /* shown again when the search closes */
  GtkSearchEntry *query;
  GtkLabel *status;
  GtkSingleSelection *selection;
  VontleInputHistorySearch *search;
} SearchPane;

static void
search_pane_free (gpointer data)
{
  SearchPane *self = data;
  g_signal_handlers_disconnect_by_data (self->search, self);
  g_object_unref (self->search);
  g_object_unref (self->selection);
  g_free (self);
}

static void
update_status (SearchPane *self)
{
  guint n = g_list_model_get_n_items (G_LIST_MODEL (self->search));
  g_autofree char *text = NULL;
  if (vontle_input_history_search_is_searching (self->search))
    text = g_strdup_printf ("Searching… %u so far", n);
  else if (*vontle_input_history_search_get_query (self->search) == '\0')
    text = g_strdup ("Type to search the history");
  else
    text = g_strdup_printf (g_dngettext (NULL, "%u match", "%u matches", n), n);
  gtk_label_set_text (self->status, text);
}

static void
close_search (SearchPane *self)
{
  gtk_widget_set_visible (self->pane, FALSE);
  gtk_widget_set_visible (self->covered, TRUE);
  gtk_widget_grab_focus (GTK_WIDGET (self->target));
}

/* Ctrl+R on the command entry: the search opens with the typed text. */
static gboolean
open_search (GtkWidget *widget, GVariant *args, gpointer data)
{
  (void) widget, (void) args;
  SearchPane *self = data;
  gtk_widget_set_visible (self->covered, FALSE);
  gtk_widget_set_visible (self->pane, TRUE);
  gtk_editable_set_text (GTK_EDITABLE (self->query), gtk_editable_get_text (self->target));
  gtk_editable_set_position (GTK_EDITABLE (self->query), -1);
  gtk_widget_grab_focus (GTK_WIDGET (self->query));
  return TRUE;
}

static void
on_query_changed (GtkEditable *query, SearchPane *self)
{
  vontle_input_history_search_set_query (self->search, gtk_editable_get_text (query));
}

static void
on_choose (GtkSearchEntry *query, SearchPane *self)
{
  (void) query;
  g_autoptr (VontleInputHistoryMatch) match = gtk_single_selection_get_selected_item (self->selection) != NULL
    ? g_object_ref (gtk_single_selection_get_selected_item (self->selection)) : NULL;
  if (match != NULL)
    {
      gtk_editable_set_text (self->target, vontle_input_history_match_get_text (match));
      gtk_editable_set_position (self->target, -1);
    }
  close_search (self);
}

/* Up, Down, and Ctrl+R for the next older match, as in a shell. */
static gboolean
move_selection (GtkWidget *widget, GVariant *args, gpointer data)
{
  (void) widget;
  SearchPane *self = data;
  const guint n = g_list_model_get_n_items (G_LIST_MODEL (self->selection));
  const guint selected = gtk_single_selection_get_selected (self->selection);
  const int step = g_variant_get_int32 (args);
  if (n == 0)
    return TRUE;
  if (selected == GTK_INVALID_LIST_POSITION)
    gtk_single_selection_set_selected (self->selection, 0);
  else if ((step > 0 && selected + 1 < n) || (step < 0 && selected > 0))
    gtk_single_selection_set_selected (self->selection, selected + step);
  return TRUE;
}

static void
on_mode_selected (GtkDropDown *modes, GParamSpec *pspec, SearchPane *self)
{
  (void) pspec;
  vontle_input_history_search_set_mode (self->search, gtk_drop_down_get_selected (modes));
}

static void
setup_row (GtkSignalListItemFactory *factory, GtkListItem *item, gpointer user_data)
{
  (void) factory, (void) user_data;
  gtk_list_item_set_child (item, example_command_label (6, 3));
}

/* Each matched character in bold and underlined, from the match's byte
 * offsets. */
static void
bind_row (GtkSignalListItemFactory *factory, GtkListItem *item, gpointer user_data)
{
  (void) factory, (void) user_data;
  VontleInputHistoryMatch *match = gtk_list_item_get_item (item);
  const char *text = vontle_input_history_match_get_text (match);
  guint n = 0;
  const guint *positions = vontle_input_history_match_get_positions (match, &n);
  PangoAttrList *attributes = pango_attr_list_new ();
  for (guint i = 0; i < n; i++)
    {
      const guint end = (guint) (g_utf8_next_char (text + positions[i]) - text);
      PangoAttribute *attributes_of_char[] = { pango_attr_weight_new (PANGO_WEIGHT_BOLD),
                                               pango_attr_underline_new (PANGO_UNDERLINE_SINGLE) };
      for (gsize k = 0; k < G_N_ELEMENTS (attributes_of_char); k++)
        {
          attributes_of_char[k]->start_index = positions[i];
          attributes_of_char[k]->end_index = end;
          pango_attr_list_insert (attributes, attributes_of_char[k]);
        }
    }
  GtkLabel *label = GTK_LABEL (gtk_list_item_get_child (item));
  gtk_label_set_text (label, text);
  gtk_label_set_attributes (label, attributes);
  pango_attr_list_unref (attributes);
}

static void
add_shortcut (GtkWidget *widget, guint key, GdkModifierType modifiers, GtkShortcutFunc callback,
              SearchPane *self, GVariant *args)
{
  GtkEventController *controller = gtk_shortcut_controller_new ();
  gtk_event_controller_set_propagation_phase (controller, GTK_PHASE_CAPTURE);
  GtkShortcut *shortcut = gtk_shortcut_new (gtk_keyval_trigger_new (key, modifiers),
                                            gtk_callback_action_new (callback, self, NULL));
  gtk_shortcut_set_arguments (shortcut, args);
  gtk_shortcut_controller_add_shortcut (GTK_SHORTCUT_CONTROLLER (controller), shortcut);
  gtk_widget_add_controller (widget, controller);
}

static GtkWidget *
search_row (SearchPane *self)
{
  GtkWidget *row = gtk_box_new (GTK_ORIENTATION_HORIZONTAL, 6);
  self->query = GTK_SEARCH_ENTRY (gtk_search_entry_new ());
  gtk_widget_set_name (GTK_WIDGET (self->query), "search-entry");
  g_object_set (self->query, "placeholder-text", "Search the history", NULL);
  gtk_widget_set_hexpand (GTK_WIDGET (self->query), TRUE);
  g_signal_connect (self->query, "changed", G_CALLBACK (on_query_changed), self);
  g_signal_connect (self->query, "activate", G_CALLBACK (on_choose), self);
  g_signal_connect_swapped (self->query, "stop-search", G_CALLBACK (close_search), self);
  add_shortcut (GTK_WIDGET (self->query), GDK_KEY_Down, 0, move_selection, self, g_variant_new_int32 (1));
  add_shortcut (GTK_WIDGET (self->query), GDK_KEY_Up, 0, move_selection, self, g_variant_new_int32 (-1));
  add_shortcut (GTK_WIDGET (self->query), GDK_KEY_r, GDK_CONTROL_MASK, move_selection, self,
                g_variant_new_int32 (1));
  gtk_box_append (GTK_BOX (row), GTK_WIDGET (self->query));

  static const char *const modes[] = { "Prefix", "Substring", "Fuzzy", NULL };
  GtkWidget *mode = gtk_drop_down_new_from_strings (modes);
  gtk_widget_set_name (mode, "search-mode");
  gtk_widget_set_tooltip_text (mode, "How lines match: case is ignored unless you type a capital");
  gtk_drop_down_set_selected (GTK_DROP_DOWN (mode), VONTLE_INPUT_HISTORY_MATCH_FUZZY);
  g_signal_connect (mode, "notify::selected", G_CALLBACK (on_mode_selected), self);
  gtk_box_append (GTK_BOX (row), mode);
  return row;
}

GtkWidget *
example_search_pane_new (VontleInputHistory *history, GtkEditable *target, GtkWidget *covered)
{
  SearchPane *self = g_new0 (SearchPane, 1);
  self->target = target;
  self->covered = covered;
  self->search = vontle_input_history_search_new (history, VONTLE_INPUT_HISTORY_MATCH_FUZZY);
  /* A long history is searched in slices, so typing never waits for it. */
  vontle_input_history_search_set_incremental (self->search, TRUE);
  g_signal_connect_swapped (self->search, "items-changed", G_CALLBACK (update_status), self);
  g_signal_connect_swapped (self->search, "notify::searching", G_CALLBACK (update_status), self);

  self->pane = gtk_box_new (GTK_ORIENTATION_VERTICAL, 12);
  gtk_widget_set_name (self->pane, "search-pane");
  gtk_widget_set_vexpand (self->pane, TRUE);
  gtk_widget_set_visible (self->pane, FALSE);
  g_object_set_data_full (G_OBJECT (self->pane), "search-pane", self, search_pane_free);
  gtk_box_append (GTK_BOX (self->pane), search_row (self));

  self->status = GTK_LABEL (gtk_label_new (NULL));
  gtk_widget_set_name (GTK_WIDGET (self->status), "search-status");
  gtk_label_set_xalign (self->status, 0);
  gtk_widget_add_css_class (GTK_WIDGET (self->status), "heading");
  gtk_box_append (GTK_BOX (self->pane), GTK_WIDGET (self->status));
  update_status (self);

  self->selection = gtk_single_selection_new (G_LIST_MODEL (g_object_ref (self->search)));
  GtkListItemFactory *factory = gtk_signal_list_item_factory_new ();
  g_signal_connect (factory, "setup", G_CALLBACK (setup_row), NULL);
  g_signal_connect (factory, "bind", G_CALLBACK (bind_row), NULL);
  GtkWidget *list = gtk_list_view_new (GTK_SELECTION_MODEL (g_object_ref (self->selection)), factory);
  gtk_widget_set_name (list, "search-list");
  gtk_box_append (GTK_BOX (self->pane), example_framed (list, TRUE));

  add_shortcut (GTK_WIDGET (target), GDK_KEY_r, GDK_CONTROL_MASK, open_search, self, NULL);
  return self->pane;
}
