/* SPDX-License-Identifier: LGPL-2.1-or-later */
/* template-render [FILE] [NAME=VALUE ...]
 *
 * Renders a template whose base names variables as @name@. FILE (a first
 * argument without '=') is read as the base, after "~" expansion; without it
 * a built-in base and built-in values are used. Every referenced variable
 * that is not given is named on standard error and the program fails. */
#include <stdio.h>
#include <string.h>

#include <vontle/vontle.h>

static const char builtin_base[] =
  "Hello @name@!\n"
  "This text was rendered by libvontle @version@ from a template;\n"
  "pass a file and NAME=VALUE pairs to render your own.\n";

static const char *const builtin_values[] = { "name=world", NULL };

static gboolean
add_assignment (VontleTemplate *tmpl, GHashTable *given, const char *assignment)
{
  const char *eq = strchr (assignment, '=');
  if (eq == NULL || eq == assignment)
    {
      fprintf (stderr, "template-render: expected NAME=VALUE, got '%s'\n", assignment);
      return FALSE;
    }
  g_autofree char *name = g_strndup (assignment, (gsize) (eq - assignment));
  if (!g_hash_table_contains (given, name) && !vontle_template_add_variable (tmpl, name))
    {
      fprintf (stderr, "template-render: '%s' is not a valid variable name\n", name);
      return FALSE;
    }
  vontle_template_set_variable_value (tmpl, name, eq + 1);
  g_hash_table_add (given, g_steal_pointer (&name));
  return TRUE;
}

static char *
read_base (const char *file)
{
  g_autofree char *path = vontle_fix_path (file);
  g_autoptr (GError) error = NULL;
  char *contents = NULL;
  if (!g_file_get_contents (path, &contents, NULL, &error))
    fprintf (stderr, "template-render: %s\n", error->message);
  return contents;
}

/* Names each referenced variable that has no value; returns how many. */
static guint
report_missing (VontleTemplate *tmpl, GHashTable *given)
{
  VontleList *names = vontle_template_referenced_variables (tmpl);
  guint missing = 0;
  for (size_t i = 0; i < vontle_list_size (names); i++)
    {
      const char *name = vontle_list_nth (names, i);
      if (!g_hash_table_contains (given, name))
        {
          fprintf (stderr, "template-render: variable '%s' is not set\n", name);
          missing++;
        }
    }
  return missing;
}

int
main (int argc, char **argv)
{
  int first_assignment = 1;
  g_autofree char *base = NULL;
  if (argc > 1 && strchr (argv[1], '=') == NULL)
    {
      base = read_base (argv[1]);
      if (base == NULL)
        return 1;
      first_assignment = 2;
    }
  else
    base = g_strdup (builtin_base);

  g_autoptr (VontleTemplate) tmpl = vontle_template_new (base);
  g_autoptr (GHashTable) given = g_hash_table_new_full (g_str_hash, g_str_equal, g_free, NULL);

  if (argc == 1)
    {
      for (const char *const *value = builtin_values; *value != NULL; value++)
        add_assignment (tmpl, given, *value);
      g_autofree char *version = g_strconcat ("version=", vontle_version (), NULL);
      add_assignment (tmpl, given, version);
    }
  for (int i = first_assignment; i < argc; i++)
    if (!add_assignment (tmpl, given, argv[i]))
      return 1;

  if (report_missing (tmpl, given) > 0)
    return 1;

  g_autofree char *text = vontle_template_evaluate (tmpl);
  if (text == NULL)
    return 1;
  fputs (text, stdout);
  return 0;
}
