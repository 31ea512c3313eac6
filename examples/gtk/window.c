/* SPDX-License-Identifier: LGPL-2.1-or-later */
/* The main window: the command and template pages in a stack, switched from
 * the header bar, a shortcuts window, and the size it had last time. */
#include "example.h"

struct _ExampleWindow
{
  GtkApplicationWindow parent_instance;
  GtkStack *stack;
  GtkWidget *command_pane;
  GtkWidget *template_pane;
};

G_DEFINE_TYPE (ExampleWindow, example_window, GTK_TYPE_APPLICATION_WINDOW)

static void
show_page (GSimpleAction *action, GVariant *parameter, gpointer user_data)
{
  (void) action;
  ExampleWindow *self = EXAMPLE_WINDOW (user_data);
  const char *name = g_variant_get_string (parameter, NULL);
  if (gtk_stack_get_child_by_name (self->stack, name) != NULL)
    gtk_stack_set_visible_child_name (self->stack, name);
}

/* The template actions live on the template pane; from the window they
 * act on it whatever page is shown. */
static void
forward_to_template (GSimpleAction *action, GVariant *parameter, gpointer user_data)
{
  (void) parameter;
  ExampleWindow *self = EXAMPLE_WINDOW (user_data);
  g_autofree char *name = g_strconcat ("template.", g_action_get_name (G_ACTION (action)), NULL);
  gtk_stack_set_visible_child (self->stack, self->template_pane);
  if (!gtk_widget_activate_action (self->template_pane, name, NULL))
    gtk_widget_error_bell (GTK_WIDGET (self));
}

static const GActionEntry window_actions[] = {
  { "show-page", show_page, "s", NULL, NULL, { 0 } },
  { "open", forward_to_template, NULL, NULL, NULL, { 0 } },
  { "save-and-open", forward_to_template, NULL, NULL, NULL, { 0 } },
};

static GtkWidget *
primary_menu (void)
{
  g_autoptr (GMenu) menu = g_menu_new ();
  g_menu_append (menu, "_New Window", "app.new-window");
  g_menu_append (menu, "_Open Template…", "win.open");
  g_menu_append (menu, "_Keyboard Shortcuts", "win.show-help-overlay");
  g_menu_append (menu, "_Quit", "app.quit");
  GtkWidget *button = gtk_menu_button_new ();
  gtk_menu_button_set_icon_name (GTK_MENU_BUTTON (button), "open-menu-symbolic");
  gtk_menu_button_set_menu_model (GTK_MENU_BUTTON (button), G_MENU_MODEL (menu));
  gtk_widget_set_tooltip_text (button, "Main Menu");
  return button;
}

static GtkWidget *
header_bar (ExampleWindow *self)
{
  GtkWidget *switcher = gtk_stack_switcher_new ();
  gtk_stack_switcher_set_stack (GTK_STACK_SWITCHER (switcher), self->stack);
  GtkWidget *bar = gtk_header_bar_new ();
  gtk_header_bar_set_title_widget (GTK_HEADER_BAR (bar), switcher);
  gtk_header_bar_pack_end (GTK_HEADER_BAR (bar), primary_menu ());
  return bar;
}

static gboolean
on_close_request (GtkWindow *window, gpointer user_data)
{
  (void) user_data;
  g_autoptr (GError) error = NULL;
  if (!example_state_save_window_size (window, EXAMPLE_APPLICATION_ID, &error))
    g_message ("cannot remember the window size: %s", error->message);
  return FALSE; /* close it */
}

static void
example_window_init (ExampleWindow *self)
{
  g_autoptr (GtkBuilder) builder = gtk_builder_new_from_resource ("/org/vontle/Example/shortcuts.ui");
  gtk_application_window_set_help_overlay (
    GTK_APPLICATION_WINDOW (self), GTK_SHORTCUTS_WINDOW (gtk_builder_get_object (builder, "help_overlay")));
  g_action_map_add_action_entries (G_ACTION_MAP (self), window_actions, G_N_ELEMENTS (window_actions),
                                   self);

  self->stack = GTK_STACK (gtk_stack_new ());
  gtk_widget_set_name (GTK_WIDGET (self->stack), "pages");
  gtk_stack_set_transition_type (self->stack, GTK_STACK_TRANSITION_TYPE_CROSSFADE);
  g_autoptr (VontleInputHistoryIO) io = example_history_io_new (EXAMPLE_APPLICATION_ID);
  self->command_pane = example_command_pane_new (io);
  self->template_pane = example_template_pane_new ();
  gtk_widget_set_name (self->command_pane, "command-pane");
  gtk_widget_set_name (self->template_pane, "template-pane");
  gtk_stack_add_titled (self->stack, self->command_pane, "commands", "Commands");
  gtk_stack_add_titled (self->stack, self->template_pane, "template", "Template");
  gtk_window_set_child (GTK_WINDOW (self), GTK_WIDGET (self->stack));
  gtk_window_set_titlebar (GTK_WINDOW (self), header_bar (self));
  gtk_window_set_title (GTK_WINDOW (self), "libvontle Example");

  gtk_window_set_default_size (GTK_WINDOW (self), 880, 560);
  example_state_load_window_size (GTK_WINDOW (self), EXAMPLE_APPLICATION_ID);
  g_signal_connect (self, "close-request", G_CALLBACK (on_close_request), NULL);
}

static void
example_window_class_init (ExampleWindowClass *klass)
{
  (void) klass;
}

ExampleWindow *
example_window_new (ExampleApplication *application)
{
  return g_object_new (EXAMPLE_TYPE_WINDOW, "application", application, NULL);
}

void
example_window_load_template (ExampleWindow *self, GFile *file)
{
  gtk_stack_set_visible_child (self->stack, self->template_pane);
  example_template_pane_load (EXAMPLE_TEMPLATE_PANE (self->template_pane), file);
}
