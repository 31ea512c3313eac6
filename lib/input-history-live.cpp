/* SPDX-License-Identifier: LGPL-2.1-or-later */
/* A history over the library's file store catches up with lines that other
 * processes appended from those lines alone, instead of a reset's full copy
 * and comparison of every entry. */
#include "input-history-private.h"
#include "list-private.h"

gssize
vontle::input_history_find_newest (const VontleList *entries, const char *line)
{
  for (size_t i = entries->size; i-- > 0;)
    if (g_strcmp0 (static_cast<const char *> (entries->start[i]), line) == 0)
      return static_cast<gssize> (i);
  return -1;
}

namespace {

/* As a read would have it: LINE once, at the end, and at most MAX entries.
 * Each change is reported as it is made, so that a model reading the list
 * while it hears of one finds the list as told. */
void
append_entry (VontleInputHistory *history, VontleList *entries, char *line, bool seen, guint max)
{
  if (const gssize at = seen ? vontle::input_history_find_newest (entries, line) : -1; at >= 0)
    {
      vontle::list_remove_at (entries, static_cast<size_t> (at));
      vontle_input_history_entries_changed (history, static_cast<guint> (at), 1, 0);
    }
  vontle_list_append (entries, line);
  vontle_input_history_entries_changed (history, static_cast<guint> (entries->size - 1), 0, 1);
  while (max > 0 && entries->size > max)
    {
      vontle::list_remove_at (entries, 0);
      vontle_input_history_entries_changed (history, 0, 1, 0);
    }
}

} // namespace

bool
vontle::input_history_catch_up (VontleInputHistory *history)
{
  auto *priv = input_history_private (history);
  /* A subclass that reloads or keeps its entries its own way gets its reset. */
  if (!VONTLE_IS_INPUT_HISTORY_FILE (priv->io) || !input_history_has_default_entries (history)
      || priv->entries == nullptr)
    return false;
  g_autoptr (GPtrArray) lines = g_ptr_array_new_with_free_func (g_free);
  g_autoptr (GArray) seen = g_array_new (FALSE, FALSE, sizeof (gboolean));
  guint max = 0;
  if (!input_history_file_read_appended (VONTLE_INPUT_HISTORY_FILE (priv->io), priv->entries->size, lines, seen,
                                         &max))
    return false;
  const vontle::Hold held (history);
  const guint64 generation = priv->reload_generation;
  /* A handler of the reports that resets the history has the lines read. */
  for (guint i = 0; i < lines->len && priv->reload_generation == generation; i++)
    append_entry (history, priv->entries, static_cast<char *> (g_steal_pointer (&lines->pdata[i])),
                  g_array_index (seen, gboolean, i) != FALSE, max);
  return true;
}
