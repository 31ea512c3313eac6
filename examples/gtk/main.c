/* SPDX-License-Identifier: LGPL-2.1-or-later */
/* vontle-gtk-example [--screenshot FILE] [TEMPLATE-FILE...]: libvontle's input
 * history and templates in a GTK 4 application. */
#include "example.h"

int
main (int argc, char **argv)
{
  g_autoptr (ExampleApplication) application = example_application_new ();
  return g_application_run (G_APPLICATION (application), argc, argv);
}
