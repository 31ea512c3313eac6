/* SPDX-License-Identifier: LGPL-2.1-or-later */
/* The frame that both panes put around their lists and texts. */
#include "example.h"

/* A scrolled child in a frame, the panes' one way of showing a list or a
 * text; it scrolls vertically only. */
GtkWidget *
example_framed (GtkWidget *child, gboolean expand)
{
  GtkWidget *scrolled = gtk_scrolled_window_new ();
  gtk_scrolled_window_set_child (GTK_SCROLLED_WINDOW (scrolled), child);
  gtk_scrolled_window_set_policy (GTK_SCROLLED_WINDOW (scrolled), GTK_POLICY_NEVER,
                                  GTK_POLICY_AUTOMATIC);
  gtk_widget_set_vexpand (scrolled, expand);
  GtkWidget *frame = gtk_frame_new (NULL);
  gtk_frame_set_child (GTK_FRAME (frame), scrolled);
  return frame;
}

GtkWidget *
example_command_label (int margin_x, int margin_y)
{
  GtkWidget *label = gtk_label_new (NULL);
  gtk_label_set_xalign (GTK_LABEL (label), 0);
  gtk_label_set_ellipsize (GTK_LABEL (label), PANGO_ELLIPSIZE_END);
  gtk_widget_add_css_class (label, "monospace");
  g_object_set (label, "margin-start", margin_x, "margin-end", margin_x, "margin-top", margin_y,
                "margin-bottom", margin_y, NULL);
  return label;
}
