/* SPDX-License-Identifier: LGPL-2.1-or-later */
/* The command page: an entry whose Up and Down walk the input history
 * through the lines that start with what was typed, and the history itself
 * below it, newest first, with the lines of the current walk marked. */
#include "example.h"

struct _ExampleCommandPane
{
  GtkBox parent_instance;
  GtkEntry *entry;
  GtkLabel *status;
  GtkListBox *list;
  VontleInputHistory *history;
  char *typed;           /* the text a walk started from; NULL outside a walk */
  gboolean setting_text; /* the pane itself is changing the entry */
};

G_DEFINE_TYPE (ExampleCommandPane, example_command_pane, GTK_TYPE_BOX)

/* ----------------------------------------------------- the list below -- */

static const char *
row_text (GtkWidget *row)
{
  return gtk_label_get_text (GTK_LABEL (gtk_list_box_row_get_child (GTK_LIST_BOX_ROW (row))));
}

static void
fill_list (ExampleCommandPane *self)
{
  GtkListBoxRow *row; /* rows only: the placeholder is a child too */
  while ((row = gtk_list_box_get_row_at_index (self->list, 0)) != NULL)
    gtk_list_box_remove (self->list, GTK_WIDGET (row));
  g_auto (GStrv) lines = vontle_input_history_dup_lines (self->history);
  for (guint i = lines != NULL ? g_strv_length (lines) : 0; i > 0; i--)
    {
      GtkWidget *label = gtk_label_new (lines[i - 1]);
      gtk_label_set_xalign (GTK_LABEL (label), 0);
      gtk_label_set_ellipsize (GTK_LABEL (label), PANGO_ELLIPSIZE_END);
      gtk_widget_add_css_class (label, "monospace");
      g_object_set (label, "margin-start", 12, "margin-end", 12, "margin-top", 6, "margin-bottom", 6,
                    NULL);
      gtk_list_box_append (self->list, label);
    }
}

/* Dims the lines that do not start with the prefix in use, selects the one
 * the walk stands on and says how many match. */
static void
mark_list (ExampleCommandPane *self)
{
  const char *text = gtk_editable_get_text (GTK_EDITABLE (self->entry));
  const char *prefix = self->typed != NULL ? self->typed : text;
  guint matches = 0;
  gtk_list_box_unselect_all (self->list);
  for (GtkWidget *row = gtk_widget_get_first_child (GTK_WIDGET (self->list)); row != NULL;
       row = gtk_widget_get_next_sibling (row))
    {
      if (!GTK_IS_LIST_BOX_ROW (row))
        continue;
      gboolean match = g_str_has_prefix (row_text (row), prefix);
      matches += match;
      if (match)
        gtk_widget_remove_css_class (row, "dim-label");
      else
        gtk_widget_add_css_class (row, "dim-label");
      if (self->typed != NULL && g_strcmp0 (row_text (row), text) == 0)
        gtk_list_box_select_row (self->list, GTK_LIST_BOX_ROW (row));
    }
  g_autofree char *status = g_strdup_printf ("%u earlier command%s", matches, matches == 1 ? "" : "s");
  if (*prefix != '\0')
    {
      g_autofree char *counted = g_steal_pointer (&status);
      status = g_strdup_printf ("%s %s with “%s”", counted, matches == 1 ? "starts" : "start", prefix);
    }
  gtk_label_set_text (self->status, status);
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
  fill_list (self);
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
placeholder (const char *text)
{
  GtkWidget *label = gtk_label_new (text);
  gtk_widget_add_css_class (label, "dim-label");
  g_object_set (label, "margin-top", 18, "margin-bottom", 18, NULL);
  return label;
}

static GtkWidget *
history_frame (ExampleCommandPane *self)
{
  self->list = GTK_LIST_BOX (gtk_list_box_new ());
  gtk_widget_set_name (GTK_WIDGET (self->list), "history-list");
  gtk_list_box_set_selection_mode (self->list, GTK_SELECTION_SINGLE);
  gtk_list_box_set_placeholder (self->list, placeholder ("No commands yet"));
  return example_framed (GTK_WIDGET (self->list), TRUE);
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
  gtk_box_append (GTK_BOX (self), history_frame (self));
}

static void
example_command_pane_dispose (GObject *object)
{
  ExampleCommandPane *self = EXAMPLE_COMMAND_PANE (object);
  g_clear_object (&self->history);
  g_clear_pointer (&self->typed, g_free);
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
  fill_list (self);
  mark_list (self);
  return GTK_WIDGET (self);
}

VontleInputHistory *
example_command_pane_get_history (ExampleCommandPane *self)
{
  return self->history;
}
