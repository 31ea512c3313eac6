/* SPDX-License-Identifier: LGPL-2.1-or-later */
/* history: an input history kept in a file, driven by line commands.
 *
 *   add TEXT    enter TEXT as a new line
 *   prev TEXT   step to the next older entry that starts with TEXT
 *   next TEXT   step back toward newer entries (past the newest: TEXT again)
 *   list        print every entry, oldest first
 *
 * Commands come from standard input, one per line of any length; entries
 * are kept in $XDG_DATA_HOME/vontle-examples/history and survive between
 * runs. "history --demo" plays a short built-in session that shows prefix
 * navigation on a history in a temporary directory, removed afterwards.
 *
 * ExampleFileHistory below is the part an application writes: a reader/writer
 * that stores one line per entry. */
/* getline */
#define _POSIX_C_SOURCE 200809L

#include <errno.h>
#include <stdio.h>
#include <stdlib.h>
#include <string.h>
#include <glib/gstdio.h>

#include <vontle/vontle.h>

/* ------------------------------------------------ the reader/writer -- */

#define EXAMPLE_TYPE_FILE_HISTORY (example_file_history_get_type ())
G_DECLARE_FINAL_TYPE (ExampleFileHistory, example_file_history, EXAMPLE, FILE_HISTORY, GObject)

struct _ExampleFileHistory
{
  GObject parent_instance;
  char *path;
  GPtrArray *lines; /* oldest first, owned */
  gboolean save_failed;
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
    {
      fprintf (stderr, "history: cannot save %s: %s\n", self->path,
               error != NULL ? error->message : g_strerror (errno));
      self->save_failed = TRUE;
    }
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
example_file_history_new (const char *path)
{
  ExampleFileHistory *self = g_object_new (EXAMPLE_TYPE_FILE_HISTORY, NULL);
  self->path = g_strdup (path);
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

/* Runs one command line; returns FALSE for one it does not know or cannot
 * run. */
static gboolean
run_command (VontleInputHistory *history, const char *command)
{
  const char *space = strchr (command, ' ');
  g_autofree char *verb = space ? g_strndup (command, (gsize) (space - command)) : g_strdup (command);
  const char *text = space ? space + 1 : "";

  if (strcmp (verb, "add") == 0)
    {
      if (*text == '\0')
        {
          fprintf (stderr, "history: add needs the TEXT to enter\n");
          return FALSE;
        }
      vontle_input_history_append (history, text);
    }
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

static const char usage[] =
  "Usage: history [--demo]\n"
  "Reads commands from standard input, one per line:\n"
  "  add TEXT    enter TEXT as a new line\n"
  "  prev TEXT   step to the next older entry that starts with TEXT\n"
  "  next TEXT   step back toward newer entries (past the newest: TEXT again)\n"
  "  list        print every entry, oldest first\n"
  "Entries are kept in $XDG_DATA_HOME/vontle-examples/history.\n"
  "--demo plays a short session on a history in a temporary directory.\n";

static const char *const demo_session[] = {
  "add git status", "add ls -l", "add git commit -m 'first'", "add git push",
  "list",
  "prev git", "prev git", "prev git", "prev git",
  "next git", "next git", "next git",
  NULL,
};

/* The demo never touches the user's own history: it runs in a directory of
 * its own that is removed afterwards. */
static int
play_demo (void)
{
  g_autoptr (GError) error = NULL;
  g_autofree char *dir = g_dir_make_tmp ("vontle-history-demo-XXXXXX", &error);
  if (dir == NULL)
    {
      fprintf (stderr, "history: %s\n", error->message);
      return 1;
    }
  g_autofree char *path = g_build_filename (dir, "history", NULL);
  gboolean saved;
  {
    g_autoptr (ExampleFileHistory) store = example_file_history_new (path);
    g_autoptr (VontleInputHistory) history = vontle_input_history_new (VONTLE_INPUT_HISTORY_IO (store));
    printf ("built-in session (on a temporary history):\n");
    for (const char *const *command = demo_session; *command != NULL; command++)
      {
        printf ("> %s\n", *command);
        run_command (history, *command);
      }
    saved = !store->save_failed;
  }
  g_remove (path);
  g_rmdir (dir);
  return saved ? 0 : 1;
}

/* Runs the commands on standard input against the user's history. */
static int
run_input (void)
{
  g_autofree char *data_dir = vontle_get_xdg_path (VONTLE_XDG_DATA);
  g_autofree char *path = g_build_filename (data_dir, "vontle-examples", "history", NULL);
  g_autoptr (ExampleFileHistory) store = example_file_history_new (path);
  g_autoptr (VontleInputHistory) history = vontle_input_history_new (VONTLE_INPUT_HISTORY_IO (store));
  char *line = NULL;
  size_t capacity = 0;
  ssize_t length;
  gboolean ok = TRUE;
  while ((length = getline (&line, &capacity, stdin)) >= 0)
    {
      line[strcspn (line, "\r\n")] = '\0';
      if (line[0] != '\0')
        ok = run_command (history, line) && ok;
    }
  free (line);
  return ok && !store->save_failed ? 0 : 1;
}

int
main (int argc, char **argv)
{
  if (argc == 2 && (strcmp (argv[1], "--help") == 0 || strcmp (argv[1], "-h") == 0))
    {
      fputs (usage, stdout);
      return 0;
    }
  if (argc == 2 && strcmp (argv[1], "--demo") == 0)
    return play_demo ();
  if (argc > 1)
    {
      fprintf (stderr, "history: unknown argument '%s'\n%s", argv[1], usage);
      return 2;
    }
  return run_input ();
}
