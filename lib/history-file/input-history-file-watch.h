/* SPDX-License-Identifier: LGPL-2.1-or-later */
/* The history file store's watch on its file. Not installed. */
#pragma once

#include <gio/gio.h>

namespace vontle::history_file {

class FileWatch;

/* Calls CHANGED (DATA) whenever the file at PATH may have changed: written,
 * replaced, made or removed, by this process or another. It runs in the
 * thread-default main context of the calling thread, and starts only when
 * that thread first runs that context: a program without a main loop starts
 * no monitor (and no thread). A missing directory on the way is waited for
 * through the nearest directory that exists. */
FileWatch *file_watch_new (const char *path, void (*changed) (gpointer data), gpointer data);

void file_watch_free (FileWatch *watch);

} // namespace vontle::history_file
