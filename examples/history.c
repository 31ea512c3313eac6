/* SPDX-License-Identifier: LGPL-2.1-or-later */
/* history: an input history kept in a file, driven by line commands.
 *
 *   add TEXT    enter TEXT as a new line
 *   prev TEXT   step to the next older entry that starts with TEXT
 *   next TEXT   step back toward newer entries (past the newest: TEXT again)
 *   list        print every entry, oldest first
 *
 * Commands come from standard input, one per line of any length; entries
 * are kept in $XDG_STATE_HOME/vontle-examples/history (~/.local/state when
 * unset) by the library's file store, and survive between runs; several
 * instances may run at once. "history --demo" plays a short built-in session
 * that shows prefix navigation on a history in a temporary directory,
 * removed afterwards. */
/* getline */
#define _POSIX_C_SOURCE 200809L

#include <stdio.h>
#include <stdlib.h>
#include <string.h>
#include <glib/gstdio.h>

#include <vontle/vontle.h>

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

/* The store keeps a line it could not write and tries again at the next
 * append; before leaving, a last try says whether everything got there. */
static gboolean
save (VontleInputHistoryFile *store)
{
  g_autoptr (GError) error = NULL;
  if (vontle_input_history_file_flush (store, &error))
    return TRUE;
  fprintf (stderr, "history: cannot save: %s\n", error->message);
  return FALSE;
}

static const char usage[] =
  "Usage: history [--demo]\n"
  "Reads commands from standard input, one per line:\n"
  "  add TEXT    enter TEXT as a new line\n"
  "  prev TEXT   step to the next older entry that starts with TEXT\n"
  "  next TEXT   step back toward newer entries (past the newest: TEXT again)\n"
  "  list        print every entry, oldest first\n"
  "Entries are kept in $XDG_STATE_HOME/vontle-examples/history.\n"
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
    g_autoptr (VontleInputHistoryFile) store = vontle_input_history_file_new (path);
    g_autoptr (VontleInputHistory) history = vontle_input_history_new (VONTLE_INPUT_HISTORY_IO (store));
    printf ("built-in session (on a temporary history):\n");
    for (const char *const *command = demo_session; *command != NULL; command++)
      {
        printf ("> %s\n", *command);
        run_command (history, *command);
      }
    saved = save (store);
  }
  g_remove (path);
  g_rmdir (dir);
  return saved ? 0 : 1;
}

/* Runs the commands on standard input against the user's history. */
static int
run_input (void)
{
  g_autoptr (VontleInputHistoryFile) store = vontle_input_history_file_new_for_application ("vontle-examples");
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
  return save (store) && ok ? 0 : 1;
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
