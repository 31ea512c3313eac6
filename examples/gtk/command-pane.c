/* SPDX-License-Identifier: LGPL-2.1-or-later */
/* The command page: an entry whose Up and Down walk the input history
 * through the lines that start with what was typed, and below it the
 * history's lines that start with it, newest first, live: a line that
 * another running instance enters shows at once. */
#include "example.h"

#include <string.h>

struct _ExampleCommandPane
{
  GtkBox parent_instance;
  GtkEntry *entry;
  GtkLabel *status;
  GtkListView *list;
  GtkWidget *placeholder;
  GtkStringFilter *filter;   /* owned by the filter model */
  GListModel *matches;       /* the history's lines that start with the prefix */
  GtkSingleSelection *selection;
  VontleInputHistory *history;
  char *typed;           /* the text a walk started from; NULL outside a walk */
  gboolean setting_text; /* the pane itself is changing the entry */
  char *place;           /* the selected line while the list changes */
  gboolean row_had_focus; /* and whether a row of the list had the focus */
};

G_DEFINE_TYPE (ExampleCommandPane, example_command_pane, GTK_TYPE_BOX)

/* ----------------------------------------------------- the list below -- */

static const char *
item_text (GListModel *model, guint position)
{
  g_autoptr (VontleInputHistoryEntry) entry = g_list_model_get_item (model, position);
  /* The model keeps its items: the text outlives this reference. */
  return entry != NULL ? vontle_input_history_entry_get_text (entry) : NULL;
}

/* Counts the lines shown; follows the list as other instances add to it. */
static void
update_status (ExampleCommandPane *self)
{
  const char *prefix = gtk_string_filter_get_search (self->filter);
  guint matches = g_list_model_get_n_items (self->matches);
  gtk_widget_set_visible (self->placeholder, matches == 0);
  gtk_label_set_text (GTK_LABEL (self->placeholder),
                      prefix == NULL || *prefix == '\0' ? "No commands yet" : "No earlier command starts with this");
  g_autofree char *status = g_strdup_printf ("%u earlier command%s", matches, matches == 1 ? "" : "s");
  if (prefix != NULL && *prefix != '\0')
    {
      g_autofree char *counted = g_steal_pointer (&status);
      status = g_strdup_printf ("%s %s with “%s”", counted, matches == 1 ? "starts" : "start", prefix);
    }
  gtk_label_set_text (self->status, status);
}

/* Where LINE is listed, or GTK_INVALID_LIST_POSITION. */
static guint
position_of (ExampleCommandPane *self, const char *line)
{
  for (guint i = 0; i < g_list_model_get_n_items (self->matches); i++)
    if (g_strcmp0 (item_text (self->matches, i), line) == 0)
      return i;
  return GTK_INVALID_LIST_POSITION;
}

/* Shows the lines that start with the prefix in use and selects the one the
 * walk stands on. */
static void
mark_list (ExampleCommandPane *self)
{
  const char *text = gtk_editable_get_text (GTK_EDITABLE (self->entry));
  gtk_string_filter_set_search (self->filter, self->typed != NULL ? self->typed : text);
  guint selected = self->typed != NULL ? position_of (self, text) : GTK_INVALID_LIST_POSITION;
  gtk_single_selection_set_selected (self->selection, selected);
  if (selected != GTK_INVALID_LIST_POSITION)
    gtk_widget_activate_action (GTK_WIDGET (self->list), "list.scroll-to-item", "u", selected);
  update_status (self);
}

/* A click on a row activates it, as Enter and a double click do. GTK's
 * rows activate on a double click only, or on a single click with the
 * selection following the pointer, which would move the walk's mark
 * whenever the pointer crosses the list. */
static void
on_row_released (GtkGestureClick *gesture, int n_press, double x, double y, GtkListItem *item)
{
  (void) x, (void) y;
  if (n_press == 1)
    gtk_widget_activate_action (gtk_event_controller_get_widget (GTK_EVENT_CONTROLLER (gesture)),
                                "list.activate-item", "u", gtk_list_item_get_position (item));
}

/* The row's box fills the row, so that the click lands on it anywhere. */
static void
setup_row (GtkSignalListItemFactory *factory, GtkListItem *item, gpointer user_data)
{
  (void) factory, (void) user_data;
  GtkWidget *label = example_command_label (12, 6);
  gtk_widget_set_hexpand (label, TRUE);
  GtkWidget *row = gtk_box_new (GTK_ORIENTATION_HORIZONTAL, 0);
  gtk_box_append (GTK_BOX (row), label);
  g_object_set_data (G_OBJECT (row), "list-item", item);
  GtkGesture *click = gtk_gesture_click_new ();
  g_signal_connect (click, "released", G_CALLBACK (on_row_released), item);
  gtk_widget_add_controller (row, GTK_EVENT_CONTROLLER (click));
  gtk_list_item_set_child (item, row);
}

static void
bind_row (GtkSignalListItemFactory *factory, GtkListItem *item, gpointer user_data)
{
  (void) factory, (void) user_data;
  VontleInputHistoryEntry *entry = gtk_list_item_get_item (item);
  GtkWidget *label = gtk_widget_get_first_child (gtk_list_item_get_child (item));
  gtk_label_set_text (GTK_LABEL (label), vontle_input_history_entry_get_text (entry));
}

/* ---------------------------------------------- the list as it changes -- */

static gboolean
focus_in_list (ExampleCommandPane *self)
{
  GtkRoot *root = gtk_widget_get_root (GTK_WIDGET (self->list));
  GtkWidget *focus = root != NULL ? gtk_root_get_focus (root) : NULL;
  return focus != NULL && gtk_widget_is_ancestor (focus, GTK_WIDGET (self->list));
}

/* The user's place in the list, noted before the selection and the list
 * view see a change. A change that keeps the selected entry's item object
 * keeps the selection and the focused row; one that brings new items for
 * the same lines (a reload reported as a replacement of the whole list, as
 * the history reports one that differs by too many lines) leaves no
 * selection, and the window's focus on a row widget that has left the list. */
static void
note_place (ExampleCommandPane *self)
{
  VontleInputHistoryEntry *selected = gtk_single_selection_get_selected_item (self->selection);
  g_free (self->place);
  self->place = selected != NULL ? g_strdup (vontle_input_history_entry_get_text (selected)) : NULL;
  self->row_had_focus = focus_in_list (self);
}

/* The row at POSITION takes the focus, as Up and Down in the list give it. */
static void
focus_row (ExampleCommandPane *self, guint position)
{
  for (GtkWidget *row = gtk_widget_get_first_child (GTK_WIDGET (self->list)); row != NULL;
       row = gtk_widget_get_next_sibling (row))
    {
      GtkWidget *child = gtk_widget_get_first_child (row);
      GtkListItem *item = child != NULL ? g_object_get_data (G_OBJECT (child), "list-item") : NULL;
      if (item != NULL && gtk_list_item_get_position (item) == position)
        {
          gtk_widget_grab_focus (row);
          return;
        }
    }
}

/* After the change: the noted line selected again, where it now is, and
 * its row focused if a row had the focus. */
static void
restore_place (ExampleCommandPane *self)
{
  g_autofree char *place = g_steal_pointer (&self->place);
  if (place == NULL || gtk_single_selection_get_selected (self->selection) != GTK_INVALID_LIST_POSITION)
    return;
  guint position = position_of (self, place);
  if (position == GTK_INVALID_LIST_POSITION)
    return;
  gtk_single_selection_set_selected (self->selection, position);
  if (self->row_had_focus && !focus_in_list (self))
    focus_row (self, position);
}

/* ------------------------------------------------------------ the walk -- */

static void
show_line (ExampleCommandPane *self, const char *line)
{
  self->setting_text = TRUE;
  gtk_editable_set_text (GTK_EDITABLE (self->entry), line);
  gtk_editable_set_position (GTK_EDITABLE (self->entry), -1);
  self->setting_text = FALSE;
  mark_list (self);
}

/* The next step starts a new walk from whatever is typed then. */
static void
end_walk (ExampleCommandPane *self)
{
  g_clear_pointer (&self->typed, g_free);
  vontle_input_history_reset (self->history);
}

static void
step_previous (GtkWidget *widget, const char *action_name, GVariant *parameter)
{
  (void) action_name, (void) parameter;
  ExampleCommandPane *self = EXAMPLE_COMMAND_PANE (widget);
  const char *text = gtk_editable_get_text (GTK_EDITABLE (self->entry));
  g_autofree char *typed = g_strdup (text);
  const char *line = vontle_input_history_previous (self->history, text);
  if (line == NULL)
    {
      /* Nothing matched: the next Up starts afresh from whatever is typed then. */
      if (self->typed == NULL)
        vontle_input_history_reset (self->history);
      gtk_widget_error_bell (widget);
      return;
    }
  if (self->typed == NULL)
    self->typed = g_steal_pointer (&typed);
  show_line (self, line);
}

/* Down only walks back: outside a walk there is nothing newer to go to. */
static void
step_next (GtkWidget *widget, const char *action_name, GVariant *parameter)
{
  (void) action_name, (void) parameter;
  ExampleCommandPane *self = EXAMPLE_COMMAND_PANE (widget);
  const char *line = self->typed == NULL
                       ? NULL
                       : vontle_input_history_next (self->history,
                                                    gtk_editable_get_text (GTK_EDITABLE (self->entry)));
  if (line == NULL)
    {
      gtk_widget_error_bell (widget);
      return;
    }
  show_line (self, line);
}

static void
restore_typed (GtkWidget *widget, const char *action_name, GVariant *parameter)
{
  (void) action_name, (void) parameter;
  ExampleCommandPane *self = EXAMPLE_COMMAND_PANE (widget);
  if (self->typed == NULL)
    return;
  g_autofree char *typed = g_steal_pointer (&self->typed);
  end_walk (self);
  show_line (self, typed);
}

/* Once the click or key that activated a row is handled: the row widget
 * takes the focus on a press, and a double click's second press comes
 * after the first click's activation. */
static gboolean
focus_entry (gpointer user_data)
{
  ExampleCommandPane *self = EXAMPLE_COMMAND_PANE (user_data);
  gtk_entry_grab_focus_without_selecting (self->entry); /* typing goes on from the line's end */
  return G_SOURCE_REMOVE;
}

/* A row chosen in the list: the walk goes to it, as if Up had been pressed
 * until it showed, so that Up and Down go on from there and Escape brings
 * back what was typed. The list's filter and the walk match by the same
 * prefix, so the line is found; if not, it is taken as typed. */
static void
on_row_activated (GtkListView *list, guint position, ExampleCommandPane *self)
{
  (void) list;
  g_autofree char *chosen = g_strdup (item_text (self->matches, position));
  if (chosen == NULL)
    return;
  g_autofree char *prefix = self->typed != NULL ? g_steal_pointer (&self->typed)
                                                : g_strdup (gtk_editable_get_text (GTK_EDITABLE (self->entry)));
  end_walk (self);
  const char *line;
  while ((line = vontle_input_history_previous (self->history, prefix)) != NULL && strcmp (line, chosen) != 0)
    ;
  if (line != NULL)
    {
      self->typed = g_steal_pointer (&prefix);
      show_line (self, line);
    }
  else
    {
      vontle_input_history_reset (self->history);
      gtk_editable_set_text (GTK_EDITABLE (self->entry), chosen);
      gtk_editable_set_position (GTK_EDITABLE (self->entry), -1);
    }
  g_idle_add_full (G_PRIORITY_DEFAULT_IDLE, focus_entry, g_object_ref (self), g_object_unref);
}

/* Enter: the line joins the history, as one line. */
static void
on_activate (GtkEntry *entry, ExampleCommandPane *self)
{
  g_autofree char *line = g_strstrip (g_strdup (gtk_editable_get_text (GTK_EDITABLE (entry))));
  g_strdelimit (line, "\r\n", ' ');
  if (*line == '\0')
    return;
  g_clear_pointer (&self->typed, g_free);
  vontle_input_history_append (self->history, line);
  show_line (self, "");
}

/* Typing ends a walk: the next Up starts from the new text. */
static void
on_changed (GtkEditable *editable, ExampleCommandPane *self)
{
  (void) editable;
  if (self->setting_text)
    return;
  if (self->typed != NULL)
    end_walk (self);
  mark_list (self);
}

/* -------------------------------------------------------------- set-up -- */

/* On the entry itself, ahead of the text widget's own key handling. */
static void
add_key_shortcuts (ExampleCommandPane *self)
{
  static const struct { guint key; const char *action; } keys[] = {
    { GDK_KEY_Up, "history.previous" }, { GDK_KEY_KP_Up, "history.previous" },
    { GDK_KEY_Down, "history.next" },   { GDK_KEY_KP_Down, "history.next" },
    { GDK_KEY_Escape, "history.restore" },
  };
  GtkEventController *controller = gtk_shortcut_controller_new ();
  gtk_event_controller_set_propagation_phase (controller, GTK_PHASE_CAPTURE);
  for (gsize i = 0; i < G_N_ELEMENTS (keys); i++)
    gtk_shortcut_controller_add_shortcut (
      GTK_SHORTCUT_CONTROLLER (controller),
      gtk_shortcut_new (gtk_keyval_trigger_new (keys[i].key, 0),
                        gtk_named_action_new (keys[i].action)));
  gtk_widget_add_controller (GTK_WIDGET (self->entry), controller);
}

static GtkWidget *
placeholder (void)
{
  GtkWidget *label = gtk_label_new (NULL);
  gtk_widget_set_name (label, "history-placeholder");
  gtk_widget_add_css_class (label, "dim-label");
  gtk_widget_set_valign (label, GTK_ALIGN_START);
  gtk_widget_set_can_target (label, FALSE);
  g_object_set (label, "margin-top", 18, "margin-bottom", 18, NULL);
  return label;
}

/* The history's model, filtered by prefix as the walk matches: a byte-wise
 * prefix, case and all. */
static GtkWidget *
history_frame (ExampleCommandPane *self, VontleInputHistoryModel *model)
{
  self->filter = gtk_string_filter_new (
    gtk_property_expression_new (VONTLE_TYPE_INPUT_HISTORY_ENTRY, NULL, "text"));
  gtk_string_filter_set_match_mode (self->filter, GTK_STRING_FILTER_MATCH_MODE_PREFIX);
  gtk_string_filter_set_ignore_case (self->filter, FALSE);
  GtkFilterListModel *matches = gtk_filter_list_model_new (G_LIST_MODEL (model), GTK_FILTER (self->filter));
  self->matches = G_LIST_MODEL (matches);
  g_signal_connect_swapped (matches, "items-changed", G_CALLBACK (update_status), self);
  /* Ahead of the selection's handler and after the list view's. */
  g_signal_connect_swapped (matches, "items-changed", G_CALLBACK (note_place), self);
  g_signal_connect_data (matches, "items-changed", G_CALLBACK (restore_place), self, NULL,
                         G_CONNECT_SWAPPED | G_CONNECT_AFTER);
  self->selection = gtk_single_selection_new (G_LIST_MODEL (g_object_ref (matches)));
  gtk_single_selection_set_autoselect (self->selection, FALSE);
  gtk_single_selection_set_can_unselect (self->selection, TRUE);

  GtkListItemFactory *factory = gtk_signal_list_item_factory_new ();
  g_signal_connect (factory, "setup", G_CALLBACK (setup_row), NULL);
  g_signal_connect (factory, "bind", G_CALLBACK (bind_row), NULL);
  self->list = GTK_LIST_VIEW (
    gtk_list_view_new (GTK_SELECTION_MODEL (g_object_ref (self->selection)), factory));
  g_signal_connect (self->list, "activate", G_CALLBACK (on_row_activated), self);
  gtk_widget_set_name (GTK_WIDGET (self->list), "history-list");

  GtkWidget *overlay = gtk_overlay_new ();
  gtk_overlay_set_child (GTK_OVERLAY (overlay), example_framed (GTK_WIDGET (self->list), TRUE));
  self->placeholder = placeholder ();
  gtk_overlay_add_overlay (GTK_OVERLAY (overlay), self->placeholder);
  gtk_widget_set_vexpand (overlay, TRUE);
  return overlay;
}

static void
example_command_pane_init (ExampleCommandPane *self)
{
  gtk_orientable_set_orientation (GTK_ORIENTABLE (self), GTK_ORIENTATION_VERTICAL);
  gtk_box_set_spacing (GTK_BOX (self), 12);
  g_object_set (self, "margin-start", 18, "margin-end", 18, "margin-top", 18, "margin-bottom", 18,
                NULL);

  GtkWidget *intro = gtk_label_new ("Enter runs nothing here: it adds the line to the history. "
                                    "Up and Down step through the earlier lines that start with "
                                    "what you typed, newest first; Escape brings your text back.");
  gtk_label_set_wrap (GTK_LABEL (intro), TRUE);
  gtk_label_set_xalign (GTK_LABEL (intro), 0);
  gtk_widget_add_css_class (intro, "dim-label");
  gtk_box_append (GTK_BOX (self), intro);

  self->entry = GTK_ENTRY (gtk_entry_new ());
  gtk_widget_set_name (GTK_WIDGET (self->entry), "command-entry");
  gtk_entry_set_placeholder_text (self->entry, "Type a command");
  gtk_entry_set_icon_from_icon_name (self->entry, GTK_ENTRY_ICON_PRIMARY, "utilities-terminal-symbolic");
  gtk_widget_add_css_class (GTK_WIDGET (self->entry), "monospace");
  g_signal_connect (self->entry, "activate", G_CALLBACK (on_activate), self);
  g_signal_connect (self->entry, "changed", G_CALLBACK (on_changed), self);
  add_key_shortcuts (self);
  gtk_box_append (GTK_BOX (self), GTK_WIDGET (self->entry));

  self->status = GTK_LABEL (gtk_label_new (NULL));
  gtk_widget_set_name (GTK_WIDGET (self->status), "walk-status");
  gtk_label_set_xalign (self->status, 0);
  gtk_widget_add_css_class (GTK_WIDGET (self->status), "heading");
  gtk_box_append (GTK_BOX (self), GTK_WIDGET (self->status));
  /* Back on this page, the list marks the walk's line or none: a row that
   * was only moved to in the list before leaving is not what the entry shows. */
  g_signal_connect (self, "map", G_CALLBACK (mark_list), NULL);
}

static void
example_command_pane_dispose (GObject *object)
{
  ExampleCommandPane *self = EXAMPLE_COMMAND_PANE (object);
  if (self->matches != NULL)
    g_signal_handlers_disconnect_by_data (self->matches, self);
  g_clear_object (&self->matches);
  g_clear_object (&self->selection);
  g_clear_object (&self->history);
  g_clear_pointer (&self->typed, g_free);
  g_clear_pointer (&self->place, g_free);
  G_OBJECT_CLASS (example_command_pane_parent_class)->dispose (object);
}

static void
example_command_pane_class_init (ExampleCommandPaneClass *klass)
{
  GtkWidgetClass *widget_class = GTK_WIDGET_CLASS (klass);
  G_OBJECT_CLASS (klass)->dispose = example_command_pane_dispose;
  gtk_widget_class_install_action (widget_class, "history.previous", NULL, step_previous);
  gtk_widget_class_install_action (widget_class, "history.next", NULL, step_next);
  gtk_widget_class_install_action (widget_class, "history.restore", NULL, restore_typed);
}

GtkWidget *
example_command_pane_new (VontleInputHistoryIO *io)
{
  ExampleCommandPane *self = g_object_new (EXAMPLE_TYPE_COMMAND_PANE, NULL);
  self->history = vontle_input_history_new (io);
  g_autoptr (VontleInputHistoryModel) model = vontle_input_history_model_new (self->history);
  GtkWidget *frame = history_frame (self, g_steal_pointer (&model));
  gtk_box_append (GTK_BOX (self), frame);
  gtk_box_append (GTK_BOX (self), example_search_pane_new (self->history, GTK_EDITABLE (self->entry), frame));
  /* The walk's count belongs to the list the search covers. */
  g_object_bind_property (frame, "visible", self->status, "visible", G_BINDING_SYNC_CREATE);
  mark_list (self);
  return GTK_WIDGET (self);
}

VontleInputHistory *
example_command_pane_get_history (ExampleCommandPane *self)
{
  return self->history;
}
