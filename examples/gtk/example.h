/* SPDX-License-Identifier: LGPL-2.1-or-later */
/* The GTK 4 example application: its parts, as the program and its test
 * use them. */
#pragma once

#include <gtk/gtk.h>
#include <vontle/vontle.h>

G_BEGIN_DECLS

#define EXAMPLE_APPLICATION_ID "org.vontle.Example"

/* The application: a window on activation and another on Ctrl+N, the
 * files given on the command line loaded into template panes, one each. */
#define EXAMPLE_TYPE_APPLICATION (example_application_get_type ())
G_DECLARE_FINAL_TYPE (ExampleApplication, example_application, EXAMPLE, APPLICATION,
                      GtkApplication)
ExampleApplication *example_application_new (void);

/* The main window: a command page and a template page in a stack. */
#define EXAMPLE_TYPE_WINDOW (example_window_get_type ())
G_DECLARE_FINAL_TYPE (ExampleWindow, example_window, EXAMPLE, WINDOW, GtkApplicationWindow)
ExampleWindow *example_window_new (ExampleApplication *application);
void example_window_load_template (ExampleWindow *window, GFile *file);

/* A command entry whose Up and Down walk the input history by prefix. */
#define EXAMPLE_TYPE_COMMAND_PANE (example_command_pane_get_type ())
G_DECLARE_FINAL_TYPE (ExampleCommandPane, example_command_pane, EXAMPLE, COMMAND_PANE, GtkBox)
GtkWidget *example_command_pane_new (VontleInputHistoryIO *io);
VontleInputHistory *example_command_pane_get_history (ExampleCommandPane *pane);

/* Ctrl+R on TARGET: a search over HISTORY's lines that covers COVERED while
 * it is open; Enter puts the chosen line in TARGET. Append it beside
 * COVERED; it starts hidden. */
GtkWidget *example_search_pane_new (VontleInputHistory *history, GtkEditable *target, GtkWidget *covered);

/* A template's base, a form with one row per referenced variable, a live
 * preview and a button that saves the result and opens it. */
#define EXAMPLE_TYPE_TEMPLATE_PANE (example_template_pane_get_type ())
G_DECLARE_FINAL_TYPE (ExampleTemplatePane, example_template_pane, EXAMPLE, TEMPLATE_PANE, GtkBox)
GtkWidget *example_template_pane_new (void);
VontleTemplate *example_template_pane_get_template (ExampleTemplatePane *pane);
void example_template_pane_load (ExampleTemplatePane *pane, GFile *file);

/* CHILD scrolled vertically inside a frame, as both panes show their lists
 * and texts; EXPAND fills the height. */
GtkWidget *example_framed (GtkWidget *child, gboolean expand);

/* A list row's label for a command line: monospaced, ellipsized, left
 * aligned, with the given margins around it. */
GtkWidget *example_command_label (int margin_x, int margin_y);

/* Where the command history is stored, for the given application id. */
VontleInputHistoryIO *example_history_io_new (const char *application_id);

/* APPLICATION_ID/NAME in the library's state directory: $XDG_STATE_HOME,
 * or ~/.local/state when that is unset, empty or relative, read from the
 * environment on every call. */
char *example_state_file (const char *application_id, const char *name);

/* The window's remembered size, and storing it. */
void example_state_load_window_size (GtkWindow *window, const char *application_id);
gboolean example_state_save_window_size (GtkWindow *window, const char *application_id,
                                         GError **error);

/* Renders a realized widget as it is on screen into a PNG file. */
gboolean example_save_screenshot (GtkWidget *widget, const char *path, GError **error);

G_END_DECLS
