/* SPDX-License-Identifier: LGPL-2.1-or-later */
/* The history file store as a GObject: its properties, the reader/writer
 * interface, flush and the constructors. The work on the file is done in
 * history-file-store.cpp and the units it builds on. */
#include "vontle-private.h"

#include "history-file-format.h"
#include "history-file-posix.h"
#include "history-file-store.h"
#include "input-history-file-watch.h"

#include <cstring>
#include <new>
#include <utility>

#include <sys/stat.h>

using vontle::history_file::Patience;
using vontle::history_file::Store;

namespace {

constexpr guint default_max_entries = 10000;

} // namespace

struct VontleInputHistoryFilePrivate
{
  Store store;
  vontle::FileWatch *watch = nullptr; /* null without a path */
};

struct _VontleInputHistoryFile
{
  GObject parent_instance;
};

namespace {

void io_init (VontleInputHistoryIOInterface *iface);
void live_io_init (VontleInputHistoryLiveIOInterface * /*iface*/) {}

} // namespace

G_DEFINE_TYPE_WITH_CODE (VontleInputHistoryFile, vontle_input_history_file, G_TYPE_OBJECT,
                         G_ADD_PRIVATE (VontleInputHistoryFile)
                         G_IMPLEMENT_INTERFACE (VONTLE_TYPE_INPUT_HISTORY_IO, io_init)
                         G_IMPLEMENT_INTERFACE (VONTLE_TYPE_INPUT_HISTORY_LIVE_IO, live_io_init))

namespace {

enum
{
  PROP_0,
  PROP_PATH,
  PROP_MAX_ENTRIES,
  PROP_SYNC,
  PROP_PENDING,
  N_PROPERTIES,
};

GParamSpec *properties[N_PROPERTIES];

VontleInputHistoryFilePrivate *
private_of (VontleInputHistoryFile *file)
{
  return static_cast<VontleInputHistoryFilePrivate *> (vontle_input_history_file_get_instance_private (file));
}

Store &
store_of (VontleInputHistoryFile *file)
{
  return private_of (file)->store;
}

/* An absolute path for PATH, or null: a `~user` that names nobody leaves a
 * relative path, which must never put the file under whatever directory is
 * current. */
char *
absolute_path (const char *path)
{
  g_autofree char *fixed = vontle_fix_path (path);
  return fixed != nullptr && g_path_is_absolute (fixed) ? g_steal_pointer (&fixed) : nullptr;
}

/* Writes what is pending, logs a change between failing and working, and
 * notifies a change of "pending" once the file is closed again. */
bool
sync_pending (VontleInputHistoryFile *file, size_t pending_before, const Patience &patience, GError **error)
{
  Store &store = store_of (file);
  size_t written;
  g_autoptr (GError) failure = nullptr;
  const bool ok = write_pending (store, patience, &written, &failure);
  report_write (store, failure, written);
  if (store.pending_count () != pending_before)
    g_object_notify_by_pspec (G_OBJECT (file), properties[PROP_PENDING]);
  if (!ok)
    g_propagate_error (error, g_steal_pointer (&failure));
  return ok;
}

void
vontle_input_history_file_append (VontleInputHistoryIO *io, const char *line)
{
  auto *file = VONTLE_INPUT_HISTORY_FILE (io);
  Store &store = store_of (file);
  /* An empty line cannot be told from the empty lines of a hand-written
   * file, which are no entries. */
  if (line == nullptr || line[0] == '\0')
    return;
  if (strlen (line) > vontle::history_file::max_entry_bytes)
    {
      VONTLE_LOG_HERE (VONTLE_LOG_ERROR, "History file '%s': a line of %zu bytes is too long to keep.", store.path,
                       strlen (line));
      return;
    }
  const size_t pending_before = store.pending_count ();
  g_ptr_array_add (store.pending.get (), g_strdup (line));
  sync_pending (file, pending_before, vontle::history_file::append_patience, nullptr);
}

VontleList *
vontle_input_history_file_read (VontleInputHistoryIO *io)
{
  return read_entries (store_of (VONTLE_INPUT_HISTORY_FILE (io)));
}

void
io_init (VontleInputHistoryIOInterface *iface)
{
  iface->append = vontle_input_history_file_append;
  iface->read = vontle_input_history_file_read;
}

void
vontle_input_history_file_set_property (GObject *object, guint property_id, const GValue *value,
                                        GParamSpec *pspec)
{
  Store &store = store_of (VONTLE_INPUT_HISTORY_FILE (object));
  switch (property_id)
    {
    case PROP_PATH:
      g_free (std::exchange (store.path, absolute_path (g_value_get_string (value))));
      break;
    case PROP_MAX_ENTRIES:
      if (g_value_get_uint (value) == store.max_entries)
        break;
      set_max_entries (store, g_value_get_uint (value));
      g_object_notify_by_pspec (object, pspec);
      break;
    case PROP_SYNC:
      if (static_cast<bool> (g_value_get_boolean (value)) == store.sync)
        break;
      store.sync = g_value_get_boolean (value);
      g_object_notify_by_pspec (object, pspec);
      break;
    default:
      G_OBJECT_WARN_INVALID_PROPERTY_ID (object, property_id, pspec);
    }
}

void
vontle_input_history_file_get_property (GObject *object, guint property_id, GValue *value,
                                        GParamSpec *pspec)
{
  Store &store = store_of (VONTLE_INPUT_HISTORY_FILE (object));
  switch (property_id)
    {
    case PROP_PATH:
      g_value_set_string (value, store.path);
      break;
    case PROP_MAX_ENTRIES:
      g_value_set_uint (value, store.max_entries);
      break;
    case PROP_SYNC:
      g_value_set_boolean (value, store.sync);
      break;
    case PROP_PENDING:
      g_value_set_uint (value, static_cast<guint> (store.pending_count ()));
      break;
    default:
      G_OBJECT_WARN_INVALID_PROPERTY_ID (object, property_id, pspec);
    }
}

/* Whether the file is not the one, or not as long, as the last parse saw:
 * another process wrote it. The store's own writes are parsed at once. */
bool
changed_since_read (const Store &store)
{
  struct stat st;
  if (stat (store.path, &st) != 0)
    return store.mark.known ();
  return !store.mark.unchanged (st);
}

void
notice_change (gpointer file)
{
  if (changed_since_read (store_of (VONTLE_INPUT_HISTORY_FILE (file))))
    g_signal_emit_by_name (file, "storage-changed");
}

void
vontle_input_history_file_constructed (GObject *object)
{
  G_OBJECT_CLASS (vontle_input_history_file_parent_class)->constructed (object);
  auto *priv = private_of (VONTLE_INPUT_HISTORY_FILE (object));
  const char *path = priv->store.path;
  if (VONTLE_CHECK (path != NULL))
    priv->watch = vontle::file_watch_new (path, notice_change, object);
}

/* A last try for the lines still pending: the process may be on its way
 * out. What still cannot be written is lost, and the log says so. */
void
vontle_input_history_file_finalize (GObject *object)
{
  auto *priv = private_of (VONTLE_INPUT_HISTORY_FILE (object));
  Store &store = priv->store;
  if (store.pending_count () > 0 && store.path != nullptr)
    {
      g_autoptr (GError) error = nullptr;
      size_t written;
      if (!write_pending (store, vontle::history_file::flush_patience, &written, &error))
        VONTLE_LOG_HERE (VONTLE_LOG_ERROR, "History file '%s': %zu line(s) could not be written and are lost: %s.",
                         store.path, store.pending_count (), error->message);
      else
        report_write (store, nullptr, written);
    }
  vontle::file_watch_free (priv->watch);
  priv->~VontleInputHistoryFilePrivate ();
  G_OBJECT_CLASS (vontle_input_history_file_parent_class)->finalize (object);
}

} // namespace

static void
vontle_input_history_file_class_init (VontleInputHistoryFileClass *klass)
{
  auto *object_class = G_OBJECT_CLASS (klass);
  object_class->set_property = vontle_input_history_file_set_property;
  object_class->get_property = vontle_input_history_file_get_property;
  object_class->constructed = vontle_input_history_file_constructed;
  object_class->finalize = vontle_input_history_file_finalize;

  constexpr auto flags = static_cast<GParamFlags> (G_PARAM_READWRITE | G_PARAM_STATIC_STRINGS
                                                   | G_PARAM_EXPLICIT_NOTIFY);
  properties[PROP_PATH] = g_param_spec_string (
    "path", "path", "The history file", nullptr,
    static_cast<GParamFlags> (G_PARAM_READWRITE | G_PARAM_CONSTRUCT_ONLY | G_PARAM_STATIC_STRINGS));
  properties[PROP_MAX_ENTRIES] = g_param_spec_uint (
    "max-entries", "max-entries", "How many of the newest entries are kept (0: all)", 0, G_MAXUINT,
    default_max_entries, flags);
  properties[PROP_SYNC] = g_param_spec_boolean ("sync", "sync", "Whether each append waits for the disk",
                                                FALSE, flags);
  properties[PROP_PENDING] = g_param_spec_uint (
    "pending", "pending", "Appended lines not yet written to the file", 0, G_MAXUINT, 0,
    static_cast<GParamFlags> (G_PARAM_READABLE | G_PARAM_STATIC_STRINGS));
  g_object_class_install_properties (object_class, N_PROPERTIES, properties);
}

static void
vontle_input_history_file_init (VontleInputHistoryFile *file)
{
  auto *priv = new (private_of (file)) VontleInputHistoryFilePrivate ();
  priv->store.max_entries = default_max_entries;
}

VontleInputHistoryFile *
vontle_input_history_file_new (const char *path)
{
  if (!VONTLE_CHECK (path != NULL))
    return nullptr;
  g_autofree char *absolute = absolute_path (path);
  if (!VONTLE_CHECK (absolute != NULL))
    return nullptr;
  return static_cast<VontleInputHistoryFile *> (
    g_object_new (VONTLE_TYPE_INPUT_HISTORY_FILE, "path", absolute, nullptr));
}

VontleInputHistoryFile *
vontle_input_history_file_new_for_application (const char *application_id)
{
  if (!VONTLE_CHECK (application_id != NULL) || !VONTLE_CHECK (application_id[0] != '\0')
      || !VONTLE_CHECK (strchr (application_id, '/') == NULL)
      || !VONTLE_CHECK (strcmp (application_id, ".") != 0 && strcmp (application_id, "..") != 0))
    return nullptr;
  /* History is state: worth keeping, not worth carrying to another machine. */
  g_autofree char *base = vontle::user_state_dir ();
  g_autofree char *path = g_build_filename (base, application_id, "history", nullptr);
  return vontle_input_history_file_new (path);
}

const char *
vontle_input_history_file_get_path (VontleInputHistoryFile *file)
{
  if (!VONTLE_CHECK (VONTLE_IS_INPUT_HISTORY_FILE (file)))
    return nullptr;
  return store_of (file).path;
}

gboolean
vontle_input_history_file_flush (VontleInputHistoryFile *file, GError **error)
{
  if (!VONTLE_CHECK (VONTLE_IS_INPUT_HISTORY_FILE (file)))
    return FALSE;
  g_autoptr (GError) failure = nullptr;
  if (sync_pending (file, store_of (file).pending_count (), vontle::history_file::flush_patience, &failure))
    return TRUE;
  const char *path = store_of (file).path;
  g_set_error (error, G_IO_ERROR, failure->code, "Cannot write to the history file '%s': %s",
               path != nullptr ? path : "(none)", failure->message);
  return FALSE;
}
