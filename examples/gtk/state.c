/* SPDX-License-Identifier: LGPL-2.1-or-later */
/* What the application keeps between runs under $XDG_STATE_HOME, and the
 * window rendered into a PNG file. */
#include "example.h"

#include <errno.h>

#define WINDOW_GROUP "window"

/* As the library's file store finds it: read at every call (GLib keeps
 * its first answer), and an XDG base directory must be absolute. */
static char *
state_home (void)
{
  const char *value = g_getenv ("XDG_STATE_HOME");
  if (value != NULL && g_path_is_absolute (value))
    return g_strdup (value);
  return g_build_filename (g_get_home_dir (), ".local", "state", NULL);
}

char *
example_state_file (const char *application_id, const char *name)
{
  g_autofree char *home = state_home ();
  return g_build_filename (home, application_id, name, NULL);
}

/* A few lines of key file: read at once, before the window is shown. */
void
example_state_load_window_size (GtkWindow *window, const char *application_id)
{
  g_autofree char *path = example_state_file (application_id, "window.ini");
  g_autoptr (GKeyFile) file = g_key_file_new ();
  if (!g_key_file_load_from_file (file, path, G_KEY_FILE_NONE, NULL))
    return;
  g_autoptr (GError) error = NULL;
  int width = g_key_file_get_integer (file, WINDOW_GROUP, "width", &error);
  int height = error == NULL ? g_key_file_get_integer (file, WINDOW_GROUP, "height", &error) : 0;
  if (error == NULL && width > 0 && height > 0)
    gtk_window_set_default_size (window, MIN (width, 16384), MIN (height, 16384));
  if (g_key_file_get_boolean (file, WINDOW_GROUP, "maximized", NULL))
    gtk_window_maximize (window);
}

/* GTK keeps the default size current while the user resizes the window,
 * and leaves it alone while the window is maximized, so it is the size to
 * come back to. */
gboolean
example_state_save_window_size (GtkWindow *window, const char *application_id, GError **error)
{
  int width = 0, height = 0;
  gtk_window_get_default_size (window, &width, &height);
  g_autoptr (GKeyFile) file = g_key_file_new ();
  g_key_file_set_integer (file, WINDOW_GROUP, "width", width);
  g_key_file_set_integer (file, WINDOW_GROUP, "height", height);
  g_key_file_set_boolean (file, WINDOW_GROUP, "maximized", gtk_window_is_maximized (window));
  g_autofree char *path = example_state_file (application_id, "window.ini");
  g_autofree char *dir = g_path_get_dirname (path);
  if (g_mkdir_with_parents (dir, 0700) != 0)
    {
      g_set_error (error, G_FILE_ERROR, g_file_error_from_errno (errno), "cannot create %s: %s",
                   dir, g_strerror (errno));
      return FALSE;
    }
  return g_key_file_save_to_file (file, path, error); /* through a temporary file */
}

gboolean
example_save_screenshot (GtkWidget *widget, const char *path, GError **error)
{
  int width = gtk_widget_get_width (widget);
  int height = gtk_widget_get_height (widget);
  GtkNative *native = gtk_widget_get_native (widget);
  GskRenderer *renderer = native != NULL ? gtk_native_get_renderer (native) : NULL;
  if (renderer == NULL || width <= 0 || height <= 0)
    {
      g_set_error (error, G_IO_ERROR, G_IO_ERROR_NOT_INITIALIZED, "the widget is not on screen");
      return FALSE;
    }
  g_autoptr (GdkPaintable) paintable = gtk_widget_paintable_new (widget);
  GtkSnapshot *snapshot = gtk_snapshot_new ();
  gdk_paintable_snapshot (paintable, snapshot, width, height);
  g_autoptr (GskRenderNode) node = gtk_snapshot_free_to_node (snapshot);
  if (node == NULL)
    {
      g_set_error (error, G_IO_ERROR, G_IO_ERROR_FAILED, "the widget drew nothing");
      return FALSE;
    }
  g_autoptr (GdkTexture) texture
    = gsk_renderer_render_texture (renderer, node, &GRAPHENE_RECT_INIT (0, 0, width, height));
  if (!gdk_texture_save_to_png (texture, path))
    {
      g_set_error (error, G_IO_ERROR, G_IO_ERROR_FAILED, "cannot write %s", path);
      return FALSE;
    }
  return TRUE;
}
