/* SPDX-License-Identifier: LGPL-2.1-or-later */
/* The command history's storage: one line per entry in
 * $XDG_STATE_HOME/APPLICATION_ID/history, each new entry added with one
 * write under an advisory lock, so that two windows or two instances never
 * interleave their lines. The file is read once, when the store is made, and
 * rewritten then when it has grown to twice what it holds; the history's
 * later reads are served from memory. */
/* flock */
#define _DEFAULT_SOURCE

#include "example.h"

#include <errno.h>
#include <string.h>
#include <fcntl.h>
#include <sys/file.h>
#include <sys/stat.h>
#include <unistd.h>
#include <glib/gstdio.h>

/* The newest entries kept; older ones go when the file is rewritten. This
 * also bounds what is read at start-up. */
#define HISTORY_LIMIT 1000

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
  if (self->lines->len > HISTORY_LIMIT)
    g_ptr_array_remove_index (self->lines, 0);
}

/* The file at path, opened for appending and locked. A rewrite replaces the
 * file while another store may wait for the lock on the old one: the lock
 * counts only once it is held on the file that the path still names. */
static int
open_locked (const char *path)
{
  for (int attempt = 0; attempt < 8; attempt++)
    {
      int fd = g_open (path, O_RDWR | O_APPEND | O_CREAT | O_CLOEXEC, 0600);
      if (fd < 0)
        return -1;
      struct stat held, named;
      if (flock (fd, LOCK_EX) == 0 && fstat (fd, &held) == 0 && g_stat (path, &named) == 0
          && held.st_dev == named.st_dev && held.st_ino == named.st_ino)
        return fd;
      int saved = errno;
      close (fd);
      errno = saved;
    }
  return -1;
}

/* The records from the newest back, each line once, at most the limit. */
static void
take_lines (ExampleHistoryStore *self, char **records, guint n_records)
{
  g_autoptr (GHashTable) seen = g_hash_table_new (g_str_hash, g_str_equal);
  for (guint i = n_records; i > 0 && g_hash_table_size (seen) < HISTORY_LIMIT; i--)
    {
      const char *line = records[i - 1];
      if (*line != '\0' && g_utf8_validate (line, -1, NULL) && g_hash_table_add (seen, (gpointer) line))
        g_ptr_array_add (self->lines, g_strdup (line));
    }
  for (guint i = 0, j = self->lines->len; j > i + 1; i++, j--) /* oldest first */
    {
      gpointer newer = self->lines->pdata[i];
      self->lines->pdata[i] = self->lines->pdata[j - 1];
      self->lines->pdata[j - 1] = newer;
    }
}

/* Through a temporary file in the same directory, synced, then renamed. */
static void
rewrite (ExampleHistoryStore *self)
{
  g_autoptr (GString) contents = g_string_new (NULL);
  for (guint i = 0; i < self->lines->len; i++)
    g_string_append_printf (contents, "%s\n", (const char *) self->lines->pdata[i]);
  g_autoptr (GError) error = NULL;
  if (!g_file_set_contents (self->path, contents->str, (gssize) contents->len, &error))
    g_message ("history: cannot rewrite %s: %s", self->path, error->message);
}

static void
load (ExampleHistoryStore *self)
{
  int fd = open_locked (self->path);
  if (fd < 0)
    return; /* nothing can be stored: appends will say so */
  g_autofree char *contents = NULL;
  gsize length = 0;
  if (g_file_get_contents (self->path, &contents, &length, NULL))
    {
      g_auto (GStrv) records = g_strsplit (contents, "\n", -1);
      guint n_records = g_strv_length (records);
      take_lines (self, records, n_records);
      /* Also when a crash cut the last record short: the next record
       * would otherwise be appended to it. */
      if (n_records > 2 * self->lines->len + 16 || (length > 0 && contents[length - 1] != '\n'))
        rewrite (self);
    }
  close (fd); /* also releases the lock */
}

/* One write of the whole record, so that a crash leaves at most a partial
 * last line, which the next load reads as a line of its own. */
static void
store (ExampleHistoryStore *self, const char *line)
{
  g_autofree char *record = g_strconcat (line, "\n", NULL);
  const size_t length = strlen (record);
  int fd = open_locked (self->path);
  if (fd < 0 || write (fd, record, length) != (ssize_t) length)
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
  g_autofree char *dir = g_path_get_dirname (self->path);
  g_mkdir_with_parents (dir, 0700); /* a failure shows when the file is opened */
  load (self);
  return VONTLE_INPUT_HISTORY_IO (self);
}
