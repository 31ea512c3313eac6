/* SPDX-License-Identifier: LGPL-2.1-or-later */
/* template-render [FILE | -] [NAME=VALUE ...]
 *
 * Renders a template whose base names variables as @name@. FILE (a first
 * argument without '=') is read as the base, after "~" expansion; "-" reads
 * standard input. Without it a built-in base with built-in values is used,
 * and NAME=VALUE pairs override those values. Every referenced variable that
 * is not given is named on standard error and the program fails. */
#include <stdio.h>
#include <string.h>

#include <vontle/vontle.h>

static const char usage[] =
  "Usage: template-render [FILE | -] [NAME=VALUE ...]\n"
  "Render FILE (\"-\": standard input; none: a built-in template) with @NAME@\n"
  "replaced by VALUE. Fails, naming them, when variables are left unset.\n";

static const char builtin_base[] =
  "Hello @name@!\n"
  "This text was rendered by libvontle @version@ from a template;\n"
  "pass a file and NAME=VALUE pairs to render your own.\n";

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

static gboolean
read_stdin (char **contents, gsize *length, GError **error)
{
  g_autoptr (GString) text = g_string_new (NULL);
  char buffer[65536];
  size_t got;
  while ((got = fread (buffer, 1, sizeof buffer, stdin)) > 0)
    g_string_append_len (text, buffer, (gssize) got);
  if (ferror (stdin))
    {
      g_set_error_literal (error, G_FILE_ERROR, G_FILE_ERROR_IO, "cannot read standard input");
      return FALSE;
    }
  *length = text->len;
  *contents = g_string_free (g_steal_pointer (&text), FALSE);
  return TRUE;
}

static gboolean
load (const char *file, char **contents, gsize *length, GError **error)
{
  if (strcmp (file, "-") == 0)
    return read_stdin (contents, length, error);
  g_autofree char *path = vontle_fix_path (file);
  if (g_file_test (path, G_FILE_TEST_IS_DIR))
    {
      g_set_error (error, G_FILE_ERROR, G_FILE_ERROR_ISDIR, "%s is a directory", path);
      return FALSE;
    }
  return g_file_get_contents (path, contents, length, error);
}

/* The base as text, or NULL after a one-line error: a template is text, so a
 * NUL byte (which would cut it short) is refused, as is a name that is not a
 * readable file. */
static char *
read_base (const char *file)
{
  g_autoptr (GError) error = NULL;
  g_autofree char *contents = NULL;
  gsize length = 0;
  if (*file == '\0')
    fprintf (stderr, "template-render: the file name is empty\n");
  else if (!load (file, &contents, &length, &error))
    fprintf (stderr, "template-render: %s\n", error->message);
  else if (strlen (contents) != length)
    fprintf (stderr, "template-render: %s holds a NUL byte; a template is text\n",
             strcmp (file, "-") == 0 ? "standard input" : file);
  else
    return g_steal_pointer (&contents);
  return NULL;
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
  if (argc > 1 && (strcmp (argv[1], "--help") == 0 || strcmp (argv[1], "-h") == 0))
    {
      fputs (usage, stdout);
      return 0;
    }
  if (argc > 1 && argv[1][0] == '-' && argv[1][1] != '\0')
    {
      fprintf (stderr, "template-render: unknown option '%s'\n%s", argv[1], usage);
      return 2;
    }
  if (argc > 1 && strchr (argv[1], '=') == NULL)
    {
      base = read_base (argv[1]);
      if (base == NULL)
        return 1;
      first_assignment = 2;
    }

  g_autoptr (VontleTemplate) tmpl = vontle_template_new (base != NULL ? base : builtin_base);
  g_autoptr (GHashTable) given = g_hash_table_new_full (g_str_hash, g_str_equal, g_free, NULL);

  if (base == NULL)
    {
      /* The built-in template's own values; pairs given below override them. */
      g_autofree char *version = g_strconcat ("version=", vontle_version (), NULL);
      add_assignment (tmpl, given, "name=world");
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
