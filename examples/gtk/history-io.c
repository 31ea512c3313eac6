/* SPDX-License-Identifier: LGPL-2.1-or-later */
/* The command history's storage: the library's file store, one line per
 * entry in $XDG_STATE_HOME/APPLICATION_ID/history. It locks the file for
 * each record, so several windows and instances share one history, keeps a
 * line that could not be written until a write succeeds, and rewrites the
 * file atomically once it has grown to twice what it keeps. */
#include "example.h"

/* The newest entries kept. This also bounds what each read parses: the
 * file never holds much more than twice as many records. */
#define HISTORY_LIMIT 1000

/* The one place that chooses the history's storage. */
VontleInputHistoryIO *
example_history_io_new (const char *application_id)
{
  VontleInputHistoryFile *file = vontle_input_history_file_new_for_application (application_id);
  g_object_set (file, "max-entries", (guint) HISTORY_LIMIT, NULL);
  return VONTLE_INPUT_HISTORY_IO (file);
}
