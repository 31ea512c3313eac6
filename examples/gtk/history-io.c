/* SPDX-License-Identifier: LGPL-2.1-or-later */
/* The command history's storage: one line per entry in
 * $XDG_STATE_HOME/APPLICATION_ID/history, each new entry added with one
 * write under an advisory lock, so that two windows or two instances never
 * interleave their lines. The file is read once, when the store is made; the
 * history's later reads are served from memory. */
/* flock */
#define _DEFAULT_SOURCE

#include "example.h"

#include <errno.h>
#include <string.h>
#include <fcntl.h>
#include <sys/file.h>
#include <unistd.h>
#include <glib/gstdio.h>

#define EXAMPLE_TYPE_HISTORY_STORE (example_history_store_get_type ())
G_DECLARE_FINAL_TYPE (ExampleHistoryStore, example_history_store, EXAMPLE, HISTORY_STORE, GObject)

struct _ExampleHistoryStore
{
  GObject parent_instance;
  char *path;
  GPtrArray *lines; /* oldest first, each once */
};

static void example_history_store_io_init (VontleInputHistoryIOInterface *iface);

G_DEFINE_TYPE_WITH_CODE (ExampleHistoryStore, example_history_store, G_TYPE_OBJECT,
                         G_IMPLEMENT_INTERFACE (VONTLE_TYPE_INPUT_HISTORY_IO,
                                                example_history_store_io_init))

/* Keeps the newest copy of a line only, as the history does. */
static void
remember (ExampleHistoryStore *self, const char *line)
{
  for (guint i = self->lines->len; i > 0; i--)
    if (g_strcmp0 (self->lines->pdata[i - 1], line) == 0)
      g_ptr_array_remove_index (self->lines, i - 1);
  g_ptr_array_add (self->lines, g_strdup (line));
}

static void
load (ExampleHistoryStore *self)
{
  g_autofree char *contents = NULL;
  if (!g_file_get_contents (self->path, &contents, NULL, NULL))
    return; /* nothing stored yet */
  g_auto (GStrv) lines = g_strsplit (contents, "\n", -1);
  for (char **line = lines; *line != NULL; line++)
    if (**line != '\0' && g_utf8_validate (*line, -1, NULL))
      remember (self, *line);
}

/* One write of the whole record, so that a crash leaves at most a partial
 * last line, which the next load reads as a line of its own. */
static void
store (ExampleHistoryStore *self, const char *line)
{
  g_autofree char *dir = g_path_get_dirname (self->path);
  g_autofree char *record = g_strconcat (line, "\n", NULL);
  int fd = -1;
  if (g_mkdir_with_parents (dir, 0700) != 0
      || (fd = g_open (self->path, O_WRONLY | O_APPEND | O_CREAT | O_CLOEXEC, 0600)) < 0
      || flock (fd, LOCK_EX) != 0
      || write (fd, record, strlen (record)) != (ssize_t) strlen (record))
    g_message ("history: cannot store a line in %s: %s", self->path, g_strerror (errno));
  if (fd >= 0)
    close (fd); /* also releases the lock */
}

static void
example_history_store_append (VontleInputHistoryIO *io, const char *line)
{
  ExampleHistoryStore *self = EXAMPLE_HISTORY_STORE (io);
  if (line == NULL)
    return;
  remember (self, line);
  /* A line break would split the entry in two on the next load. */
  if (strchr (line, '\n') == NULL)
    store (self, line);
}

static VontleList *
example_history_store_read (VontleInputHistoryIO *io)
{
  ExampleHistoryStore *self = EXAMPLE_HISTORY_STORE (io);
  VontleList *list = vontle_list_new_with_free (g_free);
  for (guint i = 0; list != NULL && i < self->lines->len; i++)
    vontle_list_append (list, g_strdup (self->lines->pdata[i]));
  return list;
}

static void
example_history_store_io_init (VontleInputHistoryIOInterface *iface)
{
  iface->append = example_history_store_append;
  iface->read = example_history_store_read;
}

static void
example_history_store_finalize (GObject *object)
{
  ExampleHistoryStore *self = EXAMPLE_HISTORY_STORE (object);
  g_free (self->path);
  g_ptr_array_unref (self->lines);
  G_OBJECT_CLASS (example_history_store_parent_class)->finalize (object);
}

static void
example_history_store_class_init (ExampleHistoryStoreClass *klass)
{
  G_OBJECT_CLASS (klass)->finalize = example_history_store_finalize;
}

static void
example_history_store_init (ExampleHistoryStore *self)
{
  self->lines = g_ptr_array_new_with_free_func (g_free);
}

/* The one place that chooses the history's storage. */
VontleInputHistoryIO *
example_history_io_new (const char *application_id)
{
  ExampleHistoryStore *self = g_object_new (EXAMPLE_TYPE_HISTORY_STORE, NULL);
  self->path = example_state_file (application_id, "history");
  load (self);
  return VONTLE_INPUT_HISTORY_IO (self);
}
