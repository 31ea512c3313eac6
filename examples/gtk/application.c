/* SPDX-License-Identifier: LGPL-2.1-or-later */
/* The application: keyboard accelerators, a window and more on Ctrl+N,
 * files from the command line opened as templates, one a window, and
 * --screenshot for a headless run. */
#include "example.h"

struct _ExampleApplication
{
  GtkApplication parent_instance;
  char *screenshot; /* --screenshot FILE: render the window there and quit */
};

G_DEFINE_TYPE (ExampleApplication, example_application, GTK_TYPE_APPLICATION)

/* Closing the windows, rather than quitting outright, lets each remember
 * its size. */
static void
quit (GSimpleAction *action, GVariant *parameter, gpointer user_data)
{
  (void) action, (void) parameter;
  GList *windows = gtk_application_get_windows (GTK_APPLICATION (user_data));
  while (windows != NULL)
    {
      GList *next = windows->next;
      gtk_window_close (GTK_WINDOW (windows->data));
      windows = next;
    }
}

/* Another window on the same history: each has its walk of its own and
 * shows the lines entered in the others as they are entered. */
static void
new_window (GSimpleAction *action, GVariant *parameter, gpointer user_data)
{
  (void) action, (void) parameter;
  gtk_window_present (GTK_WINDOW (example_window_new (EXAMPLE_APPLICATION (user_data))));
}

static const GActionEntry application_actions[] = {
  { "quit", quit, NULL, NULL, NULL, { 0 } },
  { "new-window", new_window, NULL, NULL, NULL, { 0 } },
};

static void
set_accels (GtkApplication *application)
{
  static const struct { const char *action; const char *accels[2]; } accels[] = {
    { "app.quit", { "<Control>q", NULL } },
    { "app.new-window", { "<Control>n", NULL } },
    { "win.open", { "<Control>o", NULL } },
    { "win.save-and-open", { "<Control>s", NULL } },
    { "win.show-help-overlay", { "<Control>question", NULL } },
    { "win.show-page::commands", { "<Alt>1", NULL } },
    { "win.show-page::template", { "<Alt>2", NULL } },
  };
  for (gsize i = 0; i < G_N_ELEMENTS (accels); i++)
    gtk_application_set_accels_for_action (application, accels[i].action, accels[i].accels);
}

static void
example_application_startup (GApplication *application)
{
  G_APPLICATION_CLASS (example_application_parent_class)->startup (application);
  g_action_map_add_action_entries (G_ACTION_MAP (application), application_actions,
                                   G_N_ELEMENTS (application_actions), application);
  set_accels (GTK_APPLICATION (application));
  gtk_window_set_default_icon_name (EXAMPLE_APPLICATION_ID);
}

static gboolean
take_screenshot (gpointer user_data)
{
  ExampleApplication *self = EXAMPLE_APPLICATION (user_data);
  GtkWindow *window = gtk_application_get_active_window (GTK_APPLICATION (self));
  g_autoptr (GError) error = NULL;
  if (window == NULL || !example_save_screenshot (GTK_WIDGET (window), self->screenshot, &error))
    g_printerr ("%s: %s\n", g_get_prgname (), error != NULL ? error->message : "no window");
  else
    g_print ("%s: wrote %s\n", g_get_prgname (), self->screenshot);
  quit (NULL, NULL, self);
  return G_SOURCE_REMOVE;
}

static ExampleWindow *
window_of (ExampleApplication *self)
{
  GtkWindow *window = gtk_application_get_active_window (GTK_APPLICATION (self));
  return window != NULL ? EXAMPLE_WINDOW (window) : example_window_new (self);
}

static void
present (ExampleApplication *self, ExampleWindow *window)
{
  gtk_window_present (GTK_WINDOW (window));
  if (self->screenshot != NULL)
    g_timeout_add_seconds_full (G_PRIORITY_DEFAULT, 1, take_screenshot, g_object_ref (self),
                                g_object_unref);
}

static void
example_application_activate (GApplication *application)
{
  ExampleApplication *self = EXAMPLE_APPLICATION (application);
  present (self, window_of (self));
}

static void
example_application_open (GApplication *application, GFile **files, int n_files, const char *hint)
{
  (void) hint;
  ExampleApplication *self = EXAMPLE_APPLICATION (application);
  ExampleWindow *window = window_of (self);
  /* One template a window: the first in the window in use, each other one
   * in a new window, as a file manager passes several. */
  for (int i = 1; i < n_files; i++)
    {
      ExampleWindow *other = example_window_new (self);
      example_window_load_template (other, files[i]);
      gtk_window_present (GTK_WINDOW (other));
    }
  if (n_files > 0)
    example_window_load_template (window, files[0]);
  present (self, window);
}

static int
example_application_handle_local_options (GApplication *application, GVariantDict *options)
{
  ExampleApplication *self = EXAMPLE_APPLICATION (application);
  g_variant_dict_lookup (options, "screenshot", "^ay", &self->screenshot);
  if (self->screenshot != NULL)
    g_application_set_flags (application,
                             g_application_get_flags (application) | G_APPLICATION_NON_UNIQUE);
  /* --new-window (the desktop file's action): the running instance opens
   * it; without one, this instance starts with its first window. */
  if (g_variant_dict_contains (options, "new-window") && g_application_register (application, NULL, NULL)
      && g_application_get_is_remote (application))
    {
      g_action_group_activate_action (G_ACTION_GROUP (application), "new-window", NULL);
      return 0;
    }
  return -1; /* go on */
}

static void
example_application_finalize (GObject *object)
{
  g_free (EXAMPLE_APPLICATION (object)->screenshot);
  G_OBJECT_CLASS (example_application_parent_class)->finalize (object);
}

static void
example_application_class_init (ExampleApplicationClass *klass)
{
  GApplicationClass *application_class = G_APPLICATION_CLASS (klass);
  G_OBJECT_CLASS (klass)->finalize = example_application_finalize;
  application_class->startup = example_application_startup;
  application_class->activate = example_application_activate;
  application_class->open = example_application_open;
  application_class->handle_local_options = example_application_handle_local_options;
}

static void
example_application_init (ExampleApplication *self)
{
  g_application_add_main_option (G_APPLICATION (self), "screenshot", 0, G_OPTION_FLAG_NONE,
                                 G_OPTION_ARG_FILENAME,
                                 "Render the window into a PNG file after a second, then quit",
                                 "FILE");
  g_application_add_main_option (G_APPLICATION (self), "new-window", 0, G_OPTION_FLAG_NONE,
                                 G_OPTION_ARG_NONE, "Open another window on the history", NULL);
}

ExampleApplication *
example_application_new (void)
{
  return g_object_new (EXAMPLE_TYPE_APPLICATION, "application-id", EXAMPLE_APPLICATION_ID, "flags",
                       G_APPLICATION_HANDLES_OPEN, NULL);
}
