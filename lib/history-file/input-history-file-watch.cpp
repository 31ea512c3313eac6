/* SPDX-License-Identifier: LGPL-2.1-or-later */
#include "input-history-file-watch.h"

#include <new>

namespace vontle::history_file {

class FileWatch
{
public:
  FileWatch (const char *path, void (*changed) (gpointer), gpointer data)
    : path_ (g_strdup (path)), context_ (g_main_context_ref_thread_default ()),
      creator_ (g_thread_self ()), changed_ (changed), data_ (data)
  {
    /* Started from the loop: monitors need GLib's worker thread, which a
     * process that never runs a loop (or forks) is better without. */
    starter_ = g_idle_source_new ();
    g_source_set_callback (starter_, start, this, nullptr);
    g_source_attach (starter_, context_);
  }
  FileWatch (const FileWatch &) = delete;
  FileWatch &operator= (const FileWatch &) = delete;
  ~FileWatch ()
  {
    stop_starter ();
    drop_monitor ();
    g_main_context_unref (context_);
    g_clear_object (&file_);
    g_free (path_);
  }

private:
  static gboolean
  start (gpointer self)
  {
    auto *watch = static_cast<FileWatch *> (self);
    watch->stop_starter ();
    /* A thread without a context of its own shares the global default one
     * with the main thread: the store stays with the thread that made it,
     * unwatched, rather than being called from another. */
    if (g_thread_self () != watch->creator_)
      return G_SOURCE_REMOVE;
    /* Made here, not with the store: the first GFile of a process loads
     * GIO's modules, a cost for the loop to pay, not every store. */
    watch->arm ();
    /* What changed before the monitor was there. */
    watch->changed_ (watch->data_);
    return G_SOURCE_REMOVE;
  }

  void
  stop_starter ()
  {
    if (starter_ == nullptr)
      return;
    g_source_destroy (starter_);
    g_clear_pointer (&starter_, g_source_unref);
  }

  void
  drop_monitor ()
  {
    if (monitor_ == nullptr)
      return;
    g_signal_handlers_disconnect_by_data (monitor_, this);
    g_file_monitor_cancel (monitor_);
    g_clear_object (&monitor_);
  }

  /* Watches the file when its directory exists, else the nearest directory
   * that does: GLib would poll a missing one only every few seconds. */
  void
  arm ()
  {
    drop_monitor ();
    /* A history kept behind a symbolic link (dotfile setups) changes where
     * the link leads: the monitor of a name sees only its own directory. */
    g_autofree char *target = link_target (path_);
    g_clear_object (&file_);
    file_ = g_file_new_for_path (target);
    g_autoptr (GFile) directory = g_file_get_parent (file_);
    on_file_ = directory == nullptr || g_file_query_exists (directory, nullptr);
    while (!on_file_ && directory != nullptr && !g_file_query_exists (directory, nullptr))
      {
        GFile *parent = g_file_get_parent (directory);
        g_object_unref (directory);
        directory = parent;
      }
    /* The monitor reports in the thread-default context at its making. */
    g_main_context_push_thread_default (context_);
    monitor_ = on_file_ ? g_file_monitor_file (file_, G_FILE_MONITOR_NONE, nullptr, nullptr)
               : directory != nullptr ? g_file_monitor_directory (directory, G_FILE_MONITOR_NONE, nullptr, nullptr)
                                      : nullptr;
    g_main_context_pop_thread_default (context_);
    if (monitor_ != nullptr)
      g_signal_connect (monitor_, "changed", G_CALLBACK (on_event), this);
  }

  [[nodiscard]] bool
  directory_exists () const
  {
    g_autoptr (GFile) directory = g_file_get_parent (file_);
    return directory == nullptr || g_file_query_exists (directory, nullptr);
  }

  /* Where PATH leads through symbolic links in its last component, as far
   * as they lead (a link may point at a file not made yet). */
  static char *
  link_target (const char *path)
  {
    constexpr int max_links = 40;
    char *current = g_strdup (path);
    for (int i = 0; i < max_links; i++)
      {
        g_autofree char *next = g_file_read_link (current, nullptr);
        if (next == nullptr)
          break;
        g_autofree char *directory = g_path_get_dirname (current);
        g_free (current);
        current = g_canonicalize_filename (next, directory);
      }
    return current;
  }

  static void
  on_event (GFileMonitor * /*monitor*/, GFile * /*child*/, GFile * /*other*/, GFileMonitorEvent /*event*/,
            gpointer self)
  {
    auto *watch = static_cast<FileWatch *> (self);
    /* Something appeared on the way (perhaps the file's directory), or the
     * directory went: GLib would look for it again only every few seconds,
     * so the nearest directory that exists is watched meanwhile. */
    if (!watch->on_file_ || !watch->directory_exists ())
      {
        watch->arm ();
        if (!watch->on_file_)
          {
            watch->changed_ (watch->data_);
            return;
          }
      }
    watch->changed_ (watch->data_);
  }

  char *path_;
  GFile *file_ = nullptr;
  GMainContext *context_;
  GThread *creator_;
  GSource *starter_ = nullptr;
  GFileMonitor *monitor_ = nullptr;
  bool on_file_ = false;
  void (*changed_) (gpointer);
  gpointer data_;
};

/* The store's unit needs no C++ runtime; neither does this one. */
FileWatch *
file_watch_new (const char *path, void (*changed) (gpointer data), gpointer data)
{
  return new (g_malloc (sizeof (FileWatch))) FileWatch (path, changed, data);
}

void
file_watch_free (FileWatch *watch)
{
  if (watch == nullptr)
    return;
  watch->~FileWatch ();
  g_free (watch);
}

} // namespace vontle::history_file
