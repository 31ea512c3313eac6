/* SPDX-License-Identifier: LGPL-2.1-or-later */
/* The history's default next and previous: a walk through the entries that
 * start with what was typed when the walk began. */
#include "input-history-private.h"

#include <algorithm>
#include <utility>

namespace {

enum class Direction
{
  newer,
  older,
};

VontleInputHistoryPrivate *
private_of (VontleInputHistory *history)
{
  return vontle::input_history_private (history);
}

/* A walk begins after a reset and whenever it stands at the bottom; on an
 * entry the prefix typed when the walk began is kept. */
void
begin_walk_if_due (VontleInputHistoryPrivate *priv, const char *line, size_t n)
{
  if (priv->reset_pending)
    priv->position = priv->match_position = n;
  else if (priv->match_position != n)
    return;
  /* The host may hand the saved line itself back as line: copy it before
   * the old one is released. */
  g_free (std::exchange (priv->saved_line, g_strdup (line)));
}

/* Moves the walk one index. Returns false when the walk ends at an edge
 * instead, with *edge set to what the step then returns. A pending reset
 * sends even a step toward newer entries toward older ones. */
bool
advance (VontleInputHistoryPrivate *priv, Direction direction, size_t n, const char **edge)
{
  if (priv->reset_pending || direction == Direction::older)
    {
      if (priv->position == 0)
        {
          priv->reset_pending = false;
          priv->position = priv->match_position;
          *edge = nullptr;
          return false;
        }
      priv->position--;
      return true;
    }
  if (priv->position + 1 >= n)
    {
      priv->position = priv->match_position = n;
      *edge = priv->saved_line;
      return false;
    }
  priv->position++;
  return true;
}

/* How many of the COUNT entries after index FROM, going by DELTA (+1 or -1),
 * are non-null and do not start with PREFIX, before the first that is null
 * or does. Reads the array and calls nothing but the prefix test. */
size_t
count_mismatches (void *const *slots, size_t from, size_t count, ptrdiff_t delta, const char *prefix)
{
  void *const *const start = slots + from;
  void *const *const end = start + delta * static_cast<ptrdiff_t> (count);
  for (void *const *slot = start; slot != end;)
    {
      slot += delta;
      const auto *entry = static_cast<const char *> (*slot);
      if (entry == nullptr || g_str_has_prefix (entry, prefix))
        return static_cast<size_t> ((slot - start) * delta) - 1;
    }
  return count;
}

/* Passes, in one stretch, the entries that the next at most BUDGET moves of
 * the walk would test and reject, and returns how many. Only moves that stay
 * inside the array, short of an edge, with a prefix set, are taken: no test
 * among them can report and so reach the host through a log handler. */
size_t
pass_mismatches (VontleInputHistoryPrivate *priv, const VontleList *entries, Direction direction,
                 size_t n, size_t budget)
{
  if (priv->saved_line == nullptr)
    return 0;
  const bool older = priv->reset_pending || direction == Direction::older;
  const size_t position = priv->position;
  size_t room;
  if (older)
    room = position <= entries->size ? position : 0;
  else
    {
      const size_t end = std::min (n, entries->size);
      room = position + 1 < end ? end - 1 - position : 0;
    }
  const size_t passed = count_mismatches (entries->start, position, std::min (room, budget),
                                          older ? -1 : 1, priv->saved_line);
  priv->position = older ? position - passed : position + passed;
  return passed;
}

/* One step: from where the walk stands, one index at a time toward older
 * (or newer) entries, at most n moves, until an entry starts with the saved
 * line or the walk reaches an edge. Runs of rejected entries are passed in a
 * stretch; the edges, the entry that ends a stretch and every test that may
 * report go one move at a time. */
const char *
step (VontleInputHistory *history, const char *line, Direction direction)
{
  VontleList *entries = vontle_input_history_list (history);
  if (entries == nullptr)
    return nullptr;
  const size_t n = vontle_list_size (entries);
  if (n == 0)
    return nullptr;

  auto *priv = private_of (history);
  priv->last_step_time = g_get_monotonic_time ();
  begin_walk_if_due (priv, line, n);
  size_t moves = 0;
  while (moves < n)
    {
      moves += pass_mismatches (priv, entries, direction, n, n - moves);
      if (moves == n)
        break;
      moves++;
      const char *edge;
      if (!advance (priv, direction, n, &edge))
        {
          priv->on_entry = priv->match_position < n;
          return edge;
        }
      /* vontle_list_nth reports an index past the end of a list shortened
       * through the lent list, and yields null. */
      const auto *entry = static_cast<const char *> (vontle_list_nth (entries, priv->position));
      if (entry == nullptr)
        return nullptr;
      if (g_str_has_prefix (entry, priv->saved_line))
        {
          priv->reset_pending = false;
          priv->on_entry = true;
          priv->match_position = priv->position;
          return entry;
        }
    }
  return nullptr;
}

} // namespace

const char *
vontle_input_history_real_next (VontleInputHistory *history, const char *line)
{
  return step (history, line, Direction::newer);
}

const char *
vontle_input_history_real_previous (VontleInputHistory *history, const char *line)
{
  return step (history, line, Direction::older);
}
