/* SPDX-License-Identifier: LGPL-2.1-or-later */
/* The template page. The base is edited in a text view; the template's
 * signals drive the rest: base-changed rebuilds the form (one row per
 * referenced name), variable-changed records which names have a value and
 * changed redraws the preview. */
#include "example.h"

#include <string.h>

#define DEFAULT_BASE                                                                               \
  "Dear @customer@,\n\n"                                                                           \
  "your order @order-id@ has left our warehouse and should reach you on @date@.\n\n"               \
  "Kind regards,\n@sender@\n"

/* Unset names stand out in the preview: they come out of the evaluation
 * between these two control characters, which markup escaping turns into
 * character references that no escaped text can contain. */
#define UNSET_OPEN "\x01"
#define UNSET_CLOSE "\x02"
#define UNSET_OPEN_ESCAPED "&#x1;"
#define UNSET_CLOSE_ESCAPED "&#x2;"
#define UNSET_OPEN_MARKUP "<span foreground=\"#c01c28\" weight=\"bold\">@"
#define UNSET_CLOSE_MARKUP "@</span>"

struct _ExampleTemplatePane
{
  GtkBox parent_instance;
  VontleTemplate *template;
  GtkTextView *base_view;
  GtkListBox *form;
  GHashTable *rows;      /* name → its form row, kept while the name is off the form */
  GHashTable *set_names; /* names that are variables of the template */
  GtkLabel *preview;
  GtkLabel *unset;
  GtkLabel *status;
  GtkWidget *save_button;
  GCancellable *cancellable; /* loads and saves in flight */
};

G_DEFINE_TYPE (ExampleTemplatePane, example_template_pane, GTK_TYPE_BOX)

/* -------------------------------------------------------------- the form -- */

static const char *
row_value (ExampleTemplatePane *self, const char *name)
{
  GtkWidget *row = g_hash_table_lookup (self->rows, name);
  GtkWidget *entry = row != NULL ? g_object_get_data (G_OBJECT (row), "entry") : NULL;
  return entry != NULL ? gtk_editable_get_text (GTK_EDITABLE (entry)) : "";
}

/* A value typed into a row: the first one makes the name a variable. */
static void
on_row_changed (GtkEditable *entry, ExampleTemplatePane *self)
{
  const char *name = g_object_get_data (G_OBJECT (entry), "name");
  if (!g_hash_table_contains (self->set_names, name)
      && !vontle_template_add_variable (self->template, name))
    return;
  vontle_template_set_variable_value (self->template, name, gtk_editable_get_text (entry));
}

static GtkWidget *
new_row (ExampleTemplatePane *self, const char *name)
{
  GtkWidget *box = gtk_box_new (GTK_ORIENTATION_HORIZONTAL, 12);
  g_object_set (box, "margin-start", 8, "margin-end", 4, "margin-top", 2, "margin-bottom", 2, NULL);
  GtkWidget *label = gtk_label_new (name);
  gtk_label_set_xalign (GTK_LABEL (label), 0);
  gtk_label_set_width_chars (GTK_LABEL (label), 10);
  gtk_label_set_ellipsize (GTK_LABEL (label), PANGO_ELLIPSIZE_END);
  GtkWidget *entry = gtk_entry_new ();
  gtk_widget_set_hexpand (entry, TRUE);
  gtk_entry_set_placeholder_text (GTK_ENTRY (entry), "unset");
  gtk_accessible_update_relation (GTK_ACCESSIBLE (entry), GTK_ACCESSIBLE_RELATION_LABELLED_BY,
                                  label, NULL, -1);
  g_object_set_data_full (G_OBJECT (entry), "name", g_strdup (name), g_free);
  g_signal_connect (entry, "changed", G_CALLBACK (on_row_changed), self);
  gtk_box_append (GTK_BOX (box), label);
  gtk_box_append (GTK_BOX (box), entry);
  GtkWidget *row = gtk_list_box_row_new ();
  gtk_list_box_row_set_activatable (GTK_LIST_BOX_ROW (row), FALSE);
  /* Only the field takes the focus: Tab goes from field to field, where a
   * focusable row would take a stop of its own between them. */
  gtk_widget_set_focusable (row, FALSE);
  gtk_list_box_row_set_child (GTK_LIST_BOX_ROW (row), box);
  gtk_widget_set_name (row, name);
  g_object_set_data (G_OBJECT (row), "entry", entry);
  return g_object_ref_sink (row);
}

/* The rows follow the referenced names in order; a row that leaves keeps
 * its value for when its name comes back. */
static void
on_base_changed (VontleTemplate *template, ExampleTemplatePane *self)
{
  GtkListBoxRow *row; /* rows only: the placeholder is a child too */
  while ((row = gtk_list_box_get_row_at_index (self->form, 0)) != NULL)
    gtk_list_box_remove (self->form, GTK_WIDGET (row));
  g_auto (GStrv) names = vontle_template_dup_referenced_names (template);
  for (char **name = names; name != NULL && *name != NULL; name++)
    {
      GtkWidget *name_row = g_hash_table_lookup (self->rows, *name);
      if (name_row == NULL)
        {
          name_row = new_row (self, *name);
          g_hash_table_insert (self->rows, g_strdup (*name), name_row);
        }
      gtk_list_box_append (self->form, name_row);
    }
}

static void
on_variable_changed (VontleTemplate *template, const char *name, ExampleTemplatePane *self)
{
  (void) template;
  if (!g_hash_table_contains (self->set_names, name))
    g_hash_table_add (self->set_names, g_strdup (name));
}

/* ----------------------------------------------------------- the preview -- */

/* The evaluation of a copy of the template in which every unset name
 * stands for itself between the markers. */
static char *
evaluate_marking_unset (ExampleTemplatePane *self, char **names)
{
  g_autoptr (VontleTemplate) copy = vontle_template_new (vontle_template_get_base (self->template));
  for (char **name = names; *name != NULL; name++)
    {
      g_autofree char *marked = g_strconcat (UNSET_OPEN, *name, UNSET_CLOSE, NULL);
      gboolean set = g_hash_table_contains (self->set_names, *name);
      vontle_template_add_variable (copy, *name);
      vontle_template_set_variable_value (copy, *name, set ? row_value (self, *name) : marked);
    }
  return vontle_template_evaluate (copy);
}

static char *
preview_markup (ExampleTemplatePane *self, char **names, gboolean complete)
{
  g_autofree char *text
    = complete ? vontle_template_evaluate (self->template) : evaluate_marking_unset (self, names);
  if (text == NULL)
    return g_strdup ("");
  g_autofree char *escaped = g_markup_escape_text (text, -1);
  g_autofree char *opened = vontle_replace_substring (escaped, UNSET_OPEN_ESCAPED, UNSET_OPEN_MARKUP);
  return vontle_replace_substring (opened, UNSET_CLOSE_ESCAPED, UNSET_CLOSE_MARKUP);
}

static char *
unset_text (ExampleTemplatePane *self, char **names)
{
  g_autoptr (GString) text = g_string_new (NULL);
  for (char **name = names; *name != NULL; name++)
    if (!g_hash_table_contains (self->set_names, *name))
      g_string_append_printf (text, "%s@%s@", text->len > 0 ? ", " : "", *name);
  if (text->len == 0)
    return g_strdup ("Every variable has a value.");
  g_string_prepend (text, "Unset: ");
  return g_string_free (g_steal_pointer (&text), FALSE);
}

static void
on_changed (VontleTemplate *template, ExampleTemplatePane *self)
{
  g_auto (GStrv) names = vontle_template_dup_referenced_names (template);
  if (names == NULL)
    return;
  g_autofree char *unset = unset_text (self, names);
  gboolean complete = vontle_template_is_ready (template);
  g_autofree char *markup = preview_markup (self, names, complete);
  gtk_label_set_markup (self->preview, markup);
  gtk_label_set_text (self->unset, unset);
  gtk_widget_action_set_enabled (GTK_WIDGET (self), "template.save-and-open", complete);
}

/* ------------------------------------------------------- loading a base -- */

static void
on_buffer_changed (GtkTextBuffer *buffer, ExampleTemplatePane *self)
{
  GtkTextIter start, end;
  gtk_text_buffer_get_bounds (buffer, &start, &end);
  g_autofree char *base = gtk_text_buffer_get_text (buffer, &start, &end, FALSE);
  vontle_template_set_base (self->template, base);
}

static void
show_status (ExampleTemplatePane *self, const char *text)
{
  gtk_label_set_text (self->status, text);
}

static void
on_loaded (GObject *source, GAsyncResult *result, gpointer user_data)
{
  g_autoptr (GError) error = NULL;
  g_autofree char *contents = NULL;
  gsize length = 0;
  gboolean loaded
    = g_file_load_contents_finish (G_FILE (source), result, &contents, &length, NULL, &error);
  if (g_error_matches (error, G_IO_ERROR, G_IO_ERROR_CANCELLED))
    return; /* the pane is gone */
  ExampleTemplatePane *self = EXAMPLE_TEMPLATE_PANE (user_data);
  g_autofree char *name = g_file_get_parse_name (G_FILE (source));
  g_autofree char *message = NULL;
  if (!loaded)
    message = g_strdup_printf ("Cannot open %s: %s", name, error->message);
  else if (!g_utf8_validate (contents, (gssize) length, NULL) || memchr (contents, 0, length) != NULL)
    message = g_strdup_printf ("%s is not text", name);
  else
    {
      gtk_text_buffer_set_text (gtk_text_view_get_buffer (self->base_view), contents, (int) length);
      message = g_strdup_printf ("Opened %s", name);
    }
  show_status (self, message);
}

void
example_template_pane_load (ExampleTemplatePane *self, GFile *file)
{
  g_file_load_contents_async (file, self->cancellable, on_loaded, self);
}

static void
on_open_response (GtkNativeDialog *dialog, int response, ExampleTemplatePane *self)
{
  g_autoptr (GFile) file = response == GTK_RESPONSE_ACCEPT
                             ? gtk_file_chooser_get_file (GTK_FILE_CHOOSER (dialog))
                             : NULL;
  if (file != NULL)
    example_template_pane_load (self, file);
  g_object_unref (dialog); /* the reference open_template took */
}

static void
open_template (GtkWidget *widget, const char *action_name, GVariant *parameter)
{
  (void) action_name, (void) parameter;
  GtkRoot *root = gtk_widget_get_root (widget);
  GtkFileChooserNative *dialog
    = gtk_file_chooser_native_new ("Open Template", GTK_IS_WINDOW (root) ? GTK_WINDOW (root) : NULL,
                                   GTK_FILE_CHOOSER_ACTION_OPEN, "_Open", "_Cancel");
  gtk_native_dialog_set_modal (GTK_NATIVE_DIALOG (dialog), TRUE);
  g_signal_connect_object (dialog, "response", G_CALLBACK (on_open_response), widget, 0);
  gtk_native_dialog_show (GTK_NATIVE_DIALOG (dialog));
}

/* ------------------------------------------------------- save and open -- */

static char *
result_path (void)
{
  return g_build_filename (g_get_user_cache_dir (), EXAMPLE_APPLICATION_ID, "result.txt", NULL);
}

static void
on_saved (GObject *source, GAsyncResult *result, gpointer user_data)
{
  g_autoptr (GError) error = NULL;
  gboolean saved = g_file_replace_contents_finish (G_FILE (source), result, NULL, &error);
  if (g_error_matches (error, G_IO_ERROR, G_IO_ERROR_CANCELLED))
    return; /* the pane is gone */
  ExampleTemplatePane *self = EXAMPLE_TEMPLATE_PANE (user_data);
  g_autofree char *path = g_file_get_path (G_FILE (source));
  g_autofree char *message = NULL;
  if (!saved)
    message = g_strdup_printf ("Cannot save %s: %s", path, error->message);
  else if (vontle_xdg_open (path))
    message = g_strdup_printf ("Saved %s and opened it", path);
  else
    message = g_strdup_printf ("Saved %s; no application could open it", path);
  show_status (self, message);
}

static void
save_and_open (GtkWidget *widget, const char *action_name, GVariant *parameter)
{
  (void) action_name, (void) parameter;
  ExampleTemplatePane *self = EXAMPLE_TEMPLATE_PANE (widget);
  g_autofree char *text = vontle_template_evaluate (self->template);
  g_autofree char *path = result_path ();
  g_autofree char *dir = g_path_get_dirname (path);
  if (text == NULL || g_mkdir_with_parents (dir, 0700) != 0)
    {
      show_status (self, "Cannot save the result");
      return;
    }
  g_autoptr (GFile) file = g_file_new_for_path (path);
  gsize length = strlen (text);
  g_autoptr (GBytes) bytes = g_bytes_new_take (g_steal_pointer (&text), length);
  g_file_replace_contents_bytes_async (file, bytes, NULL, FALSE, G_FILE_CREATE_PRIVATE,
                                       self->cancellable, on_saved, self);
  show_status (self, "Saving…");
}

/* -------------------------------------------------------------- set-up -- */

static GtkWidget *
heading (const char *text)
{
  GtkWidget *label = gtk_label_new (text);
  gtk_label_set_xalign (GTK_LABEL (label), 0);
  gtk_widget_add_css_class (label, "heading");
  return label;
}

static GtkWidget *
editing_column (ExampleTemplatePane *self)
{
  GtkWidget *column = gtk_box_new (GTK_ORIENTATION_VERTICAL, 6);
  self->base_view = GTK_TEXT_VIEW (gtk_text_view_new ());
  gtk_widget_set_name (GTK_WIDGET (self->base_view), "base-view");
  gtk_text_view_set_monospace (self->base_view, TRUE);
  gtk_text_view_set_wrap_mode (self->base_view, GTK_WRAP_WORD_CHAR);
  g_object_set (self->base_view, "left-margin", 8, "right-margin", 8, "top-margin", 8,
                "bottom-margin", 8, NULL);
  gtk_box_append (GTK_BOX (column), heading ("Base"));
  gtk_box_append (GTK_BOX (column), example_framed (GTK_WIDGET (self->base_view), TRUE));

  self->form = GTK_LIST_BOX (gtk_list_box_new ());
  gtk_widget_set_name (GTK_WIDGET (self->form), "variable-form");
  gtk_list_box_set_selection_mode (self->form, GTK_SELECTION_NONE);
  GtkWidget *none = gtk_label_new ("The base refers to no @name@");
  gtk_widget_add_css_class (none, "dim-label");
  g_object_set (none, "margin-top", 18, "margin-bottom", 18, NULL);
  gtk_list_box_set_placeholder (self->form, none);
  gtk_box_append (GTK_BOX (column), heading ("Variables"));
  gtk_box_append (GTK_BOX (column), example_framed (GTK_WIDGET (self->form), TRUE));
  gtk_widget_set_size_request (column, 320, -1);
  return column;
}

static GtkWidget *
preview_column (ExampleTemplatePane *self)
{
  GtkWidget *column = gtk_box_new (GTK_ORIENTATION_VERTICAL, 6);
  self->preview = GTK_LABEL (gtk_label_new (NULL));
  gtk_widget_set_name (GTK_WIDGET (self->preview), "preview");
  gtk_label_set_wrap (self->preview, TRUE);
  gtk_label_set_wrap_mode (self->preview, PANGO_WRAP_WORD_CHAR);
  gtk_label_set_selectable (self->preview, TRUE);
  gtk_label_set_xalign (self->preview, 0);
  gtk_label_set_yalign (self->preview, 0);
  g_object_set (self->preview, "margin-start", 8, "margin-end", 8, "margin-top", 8,
                "margin-bottom", 8, NULL);
  gtk_box_append (GTK_BOX (column), heading ("Preview"));
  gtk_box_append (GTK_BOX (column), example_framed (GTK_WIDGET (self->preview), TRUE));

  self->unset = GTK_LABEL (gtk_label_new (NULL));
  gtk_widget_set_name (GTK_WIDGET (self->unset), "unset");
  gtk_label_set_wrap (self->unset, TRUE);
  gtk_label_set_xalign (self->unset, 0);
  gtk_box_append (GTK_BOX (column), GTK_WIDGET (self->unset));

  GtkWidget *actions = gtk_box_new (GTK_ORIENTATION_HORIZONTAL, 12);
  self->status = GTK_LABEL (gtk_label_new (NULL));
  gtk_widget_set_name (GTK_WIDGET (self->status), "status");
  gtk_label_set_ellipsize (self->status, PANGO_ELLIPSIZE_MIDDLE);
  gtk_label_set_xalign (self->status, 0);
  gtk_widget_set_hexpand (GTK_WIDGET (self->status), TRUE);
  gtk_widget_add_css_class (GTK_WIDGET (self->status), "dim-label");
  self->save_button = gtk_button_new_with_mnemonic ("_Save and Open");
  gtk_widget_set_name (self->save_button, "save-button");
  gtk_widget_add_css_class (self->save_button, "suggested-action");
  gtk_actionable_set_action_name (GTK_ACTIONABLE (self->save_button), "template.save-and-open");
  gtk_box_append (GTK_BOX (actions), GTK_WIDGET (self->status));
  gtk_box_append (GTK_BOX (actions), self->save_button);
  gtk_box_append (GTK_BOX (column), actions);
  gtk_widget_set_size_request (column, 320, -1);
  return column;
}

static void
example_template_pane_init (ExampleTemplatePane *self)
{
  self->rows = g_hash_table_new_full (g_str_hash, g_str_equal, g_free, g_object_unref);
  self->set_names = g_hash_table_new_full (g_str_hash, g_str_equal, g_free, NULL);
  self->cancellable = g_cancellable_new ();
  self->template = vontle_template_new (NULL);
  g_signal_connect (self->template, "base-changed", G_CALLBACK (on_base_changed), self);
  g_signal_connect (self->template, "variable-changed", G_CALLBACK (on_variable_changed), self);
  g_signal_connect (self->template, "changed", G_CALLBACK (on_changed), self);

  gtk_box_set_homogeneous (GTK_BOX (self), TRUE);
  gtk_box_set_spacing (GTK_BOX (self), 18);
  g_object_set (self, "margin-start", 18, "margin-end", 18, "margin-top", 18, "margin-bottom", 18,
                NULL);
  gtk_box_append (GTK_BOX (self), editing_column (self));
  gtk_box_append (GTK_BOX (self), preview_column (self));

  GtkTextBuffer *buffer = gtk_text_view_get_buffer (self->base_view);
  g_signal_connect (buffer, "changed", G_CALLBACK (on_buffer_changed), self);
  gtk_text_buffer_set_text (buffer, DEFAULT_BASE, -1);
}

/* The template goes first: its handlers reach into the widgets. */
static void
example_template_pane_dispose (GObject *object)
{
  ExampleTemplatePane *self = EXAMPLE_TEMPLATE_PANE (object);
  g_cancellable_cancel (self->cancellable);
  if (self->template != NULL)
    g_signal_handlers_disconnect_by_data (self->template, self);
  g_clear_object (&self->template);
  if (self->base_view != NULL)
    g_signal_handlers_disconnect_by_data (gtk_text_view_get_buffer (self->base_view), self);
  g_clear_pointer (&self->rows, g_hash_table_unref);
  G_OBJECT_CLASS (example_template_pane_parent_class)->dispose (object);
}

static void
example_template_pane_finalize (GObject *object)
{
  ExampleTemplatePane *self = EXAMPLE_TEMPLATE_PANE (object);
  g_hash_table_unref (self->set_names);
  g_object_unref (self->cancellable);
  G_OBJECT_CLASS (example_template_pane_parent_class)->finalize (object);
}

static void
example_template_pane_class_init (ExampleTemplatePaneClass *klass)
{
  GtkWidgetClass *widget_class = GTK_WIDGET_CLASS (klass);
  G_OBJECT_CLASS (klass)->dispose = example_template_pane_dispose;
  G_OBJECT_CLASS (klass)->finalize = example_template_pane_finalize;
  gtk_widget_class_install_action (widget_class, "template.save-and-open", NULL, save_and_open);
  gtk_widget_class_install_action (widget_class, "template.open", NULL, open_template);
}

GtkWidget *
example_template_pane_new (void)
{
  return g_object_new (EXAMPLE_TYPE_TEMPLATE_PANE, NULL);
}

VontleTemplate *
example_template_pane_get_template (ExampleTemplatePane *self)
{
  return self->template;
}
