/* SPDX-License-Identifier: LGPL-2.1-or-later */
/* history: an input history kept in a file, driven by line commands.
 *
 *   add TEXT    enter TEXT as a new line
 *   prev TEXT   step to the next older entry that starts with TEXT
 *   next TEXT   step back toward newer entries (past the newest: TEXT again)
 *   list        print every entry, oldest first
 *
 * Commands come from standard input, one per line; entries are kept in
 * $XDG_DATA_HOME/vontle-examples/history and survive between runs. With
 * standard input a terminal or empty, a short built-in session shows prefix
 * navigation on a separate file of its own.
 *
 * ExampleFileHistory below is the part an application writes: a reader/writer
 * that stores one line per entry. */
#include <errno.h>
#include <stdio.h>
#include <string.h>
#include <unistd.h>

#include <vontle/vontle.h>

/* ------------------------------------------------ the reader/writer -- */

#define EXAMPLE_TYPE_FILE_HISTORY (example_file_history_get_type ())
G_DECLARE_FINAL_TYPE (ExampleFileHistory, example_file_history, EXAMPLE, FILE_HISTORY, GObject)

struct _ExampleFileHistory
{
  GObject parent_instance;
  char *path;
  GPtrArray *lines; /* oldest first, owned */
};

static void example_file_history_io_init (VontleInputHistoryIOInterface *iface);

G_DEFINE_TYPE_WITH_CODE (ExampleFileHistory, example_file_history, G_TYPE_OBJECT,
                         G_IMPLEMENT_INTERFACE (VONTLE_TYPE_INPUT_HISTORY_IO,
                                                example_file_history_io_init))

static void
example_file_history_load (ExampleFileHistory *self)
{
  g_autofree char *contents = NULL;
  if (!g_file_get_contents (self->path, &contents, NULL, NULL))
    return; /* nothing stored yet */
  g_auto (GStrv) lines = g_strsplit (contents, "\n", -1);
  for (char **line = lines; *line != NULL; line++)
    if (**line != '\0')
      g_ptr_array_add (self->lines, g_strdup (*line));
}

static void
example_file_history_save (ExampleFileHistory *self)
{
  g_autoptr (GString) contents = g_string_new (NULL);
  for (guint i = 0; i < self->lines->len; i++)
    g_string_append_printf (contents, "%s\n", (const char *) self->lines->pdata[i]);
  g_autoptr (GError) error = NULL;
  g_autofree char *dir = g_path_get_dirname (self->path);
  if (g_mkdir_with_parents (dir, 0700) != 0
      || !g_file_set_contents (self->path, contents->str, (gssize) contents->len, &error))
    fprintf (stderr, "history: cannot save %s: %s\n", self->path,
             error != NULL ? error->message : g_strerror (errno));
}

/* The history hands over every line it takes in; keep the file free of
 * duplicates the way the history keeps its list. */
static void
example_file_history_append (VontleInputHistoryIO *io, const char *line)
{
  ExampleFileHistory *self = EXAMPLE_FILE_HISTORY (io);
  for (guint i = self->lines->len; i > 0; i--)
    if (g_strcmp0 (self->lines->pdata[i - 1], line) == 0)
      g_ptr_array_remove_index (self->lines, i - 1);
  g_ptr_array_add (self->lines, g_strdup (line));
  example_file_history_save (self);
}

/* A new list of new strings, oldest first: the history takes both over. */
static VontleList *
example_file_history_read (VontleInputHistoryIO *io)
{
  ExampleFileHistory *self = EXAMPLE_FILE_HISTORY (io);
  VontleList *list = vontle_list_new_with_free (g_free);
  for (guint i = 0; list != NULL && i < self->lines->len; i++)
    vontle_list_append (list, g_strdup (self->lines->pdata[i]));
  return list;
}

static void
example_file_history_io_init (VontleInputHistoryIOInterface *iface)
{
  iface->append = example_file_history_append;
  iface->read = example_file_history_read;
}

static void
example_file_history_finalize (GObject *object)
{
  ExampleFileHistory *self = EXAMPLE_FILE_HISTORY (object);
  g_free (self->path);
  g_ptr_array_unref (self->lines);
  G_OBJECT_CLASS (example_file_history_parent_class)->finalize (object);
}

static void
example_file_history_class_init (ExampleFileHistoryClass *klass)
{
  G_OBJECT_CLASS (klass)->finalize = example_file_history_finalize;
}

static void
example_file_history_init (ExampleFileHistory *self)
{
  self->lines = g_ptr_array_new_with_free_func (g_free);
}

static ExampleFileHistory *
example_file_history_new (const char *file_name)
{
  ExampleFileHistory *self = g_object_new (EXAMPLE_TYPE_FILE_HISTORY, NULL);
  g_autofree char *data_dir = vontle_get_xdg_path (VONTLE_XDG_DATA);
  self->path = g_build_filename (data_dir, "vontle-examples", file_name, NULL);
  example_file_history_load (self);
  return self;
}

/* ------------------------------------------------------- the commands -- */

static void
print_entry (void *data, void *user_data)
{
  (void) user_data;
  printf ("  %s\n", (const char *) data);
}

/* Runs one command line; returns FALSE for one it does not know. */
static gboolean
run_command (VontleInputHistory *history, const char *command)
{
  const char *space = strchr (command, ' ');
  g_autofree char *verb = space ? g_strndup (command, (gsize) (space - command)) : g_strdup (command);
  const char *text = space ? space + 1 : "";

  if (strcmp (verb, "add") == 0)
    vontle_input_history_append (history, text);
  else if (strcmp (verb, "prev") == 0 || strcmp (verb, "next") == 0)
    {
      const char *entry = verb[0] == 'p' ? vontle_input_history_previous (history, text)
                                         : vontle_input_history_next (history, text);
      printf ("%s\n", entry != NULL ? entry : "(no entry)");
    }
  else if (strcmp (verb, "list") == 0)
    vontle_list_foreach (vontle_input_history_list (history), print_entry, NULL);
  else
    {
      fprintf (stderr, "history: unknown command '%s' (add, prev, next, list)\n", verb);
      return FALSE;
    }
  return TRUE;
}

static const char *const demo_session[] = {
  "add git status", "add ls -l", "add git commit -m 'first'", "add git push",
  "list",
  "prev git", "prev git", "prev git", "prev git",
  "next git", "next git", "next git",
  NULL,
};

static int
play_demo (void)
{
  g_autoptr (ExampleFileHistory) store = example_file_history_new ("demo");
  g_autoptr (VontleInputHistory) history = vontle_input_history_new (VONTLE_INPUT_HISTORY_IO (store));
  printf ("built-in session (entries in %s):\n", store->path);
  for (const char *const *command = demo_session; *command != NULL; command++)
    {
      printf ("> %s\n", *command);
      run_command (history, *command);
    }
  return 0;
}

int
main (void)
{
  if (isatty (STDIN_FILENO))
    return play_demo ();

  g_autoptr (ExampleFileHistory) store = example_file_history_new ("history");
  g_autoptr (VontleInputHistory) history = vontle_input_history_new (VONTLE_INPUT_HISTORY_IO (store));
  char line[4096];
  gboolean any = FALSE, ok = TRUE;
  while (fgets (line, sizeof line, stdin) != NULL)
    {
      line[strcspn (line, "\r\n")] = '\0';
      if (line[0] == '\0')
        continue;
      any = TRUE;
      ok = run_command (history, line) && ok;
    }
  if (!any)
    return play_demo ();
  return ok ? 0 : 1;
}
