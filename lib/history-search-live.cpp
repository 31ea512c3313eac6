/* SPDX-License-Identifier: LGPL-2.1-or-later */
/* A history search following the history's "entries-changed": each report
 * moves, drops or adds matches in place, with the smallest "items-changed". */
#include "history-search-state.h"

#include <algorithm>

namespace vontle::history_search {

namespace {

/* A removed entry's match, between its marking and its removal. */
constexpr guint32 leaving = G_MAXUINT32;

/* Marks the matches of the entries in [POSITION, END) as leaving, and
 * moves the indices at or past END by DELTA, so that every match names its
 * entry in the list as it is now before any report goes out. */
void
mark_and_shift (SearchState &state, size_t position, size_t end, std::ptrdiff_t delta)
{
  for (SearchMatch &m : state.matches)
    if (m.index >= position && m.index < end)
      m.index = leaving;
    else if (m.index >= end && m.index != leaving)
      m.index = static_cast<guint32> (static_cast<std::ptrdiff_t> (m.index) + delta);
  guint32 *kept = std::remove_if (state.pending.begin (), state.pending.end (),
                                  [&] (guint32 index) { return index >= position && index < end; });
  state.pending.truncate (static_cast<size_t> (kept - state.pending.begin ()));
  for (guint32 &index : state.pending)
    if (index >= end)
      index = static_cast<guint32> (static_cast<std::ptrdiff_t> (index) + delta);
}

/* Removes the leaving matches, each run of them as one report (from the
 * last, so that earlier positions hold), or as one span when there are
 * many runs. */
void
remove_leaving (VontleInputHistorySearch *search)
{
  Buffer<SearchMatch> &matches = search->state.matches;
  auto leaves = [] (const SearchMatch &m) { return m.index == leaving; };
  struct Run
  {
    size_t first;
    size_t length;
  };
  Buffer<Run> runs;
  for (size_t i = 0; i < matches.size (); i++)
    if (leaves (matches[i]))
      {
        if (!runs.empty () && runs.back ().first + runs.back ().length == i)
          runs.back ().length++;
        else
          runs.push_back ({ i, 1 });
      }
  if (runs.empty ())
    return;
  const guint64 generation = search->state.generation;
  if (runs.size () <= max_separate_reports)
    {
      for (size_t r = runs.size (); r-- > 0 && search->state.generation == generation;)
        {
          SearchMatch *from = matches.begin () + runs[r].first;
          SearchMatch *to = from + runs[r].length;
          release_items (from, to);
          matches.erase (from, to);
          items_changed (search, runs[r].first, runs[r].length, 0);
        }
      return;
    }
  const size_t first = runs.front ().first;
  const size_t old_size = matches.size ();
  for (SearchMatch &m : matches)
    if (leaves (m))
      g_clear_object (&m.item);
  SearchMatch *kept = std::remove_if (matches.begin () + first, matches.end (), leaves);
  matches.truncate (static_cast<size_t> (kept - matches.begin ()));
  items_changed (search, first, old_size - first, matches.size () - first);
}

void
follow_report (VontleInputHistorySearch *search, size_t position, size_t removed, size_t added)
{
  SearchState &state = search->state;
  if (position > state.known_size || removed > state.known_size - position)
    {
      /* A report that does not fit what came before (a change through the
       * lent list that went unreported): search afresh. */
      start_pass (search, false);
      return;
    }
  const size_t end = position + removed;
  const auto delta = static_cast<std::ptrdiff_t> (added) - static_cast<std::ptrdiff_t> (removed);
  mark_and_shift (state, position, end, delta);
  state.known_size = static_cast<size_t> (static_cast<std::ptrdiff_t> (state.known_size) + delta);
  /* Entries added where the pass has yet to go are left to it. */
  const bool scanned = position >= state.scan_next;
  if (!scanned)
    state.scan_next = static_cast<size_t> (static_cast<std::ptrdiff_t> (std::max (state.scan_next, end)) + delta);

  const guint64 generation = state.generation;
  remove_leaving (search);
  VontleList *entries = entries_of (search);
  if (!scanned || added == 0 || state.generation != generation || entries == nullptr
      || state.query->matches_nothing () || position + added > entries->size)
    return;
  Buffer<SearchMatch> found;
  const bool fuzzy = search->mode == VONTLE_INPUT_HISTORY_MATCH_FUZZY;
  for (size_t i = position; i < position + added; i++)
    test_entry (state, entries, i, fuzzy, found);
  insert_matches (search, found);
}

} // namespace

void
on_entries_changed (VontleInputHistory * /*history*/, guint position, guint removed, guint added, gpointer data)
{
  auto *search = VONTLE_INPUT_HISTORY_SEARCH (data);
  SearchState &state = search->state;
  if (state.reporting)
    {
      /* A handler of the view changed the history: its report follows this
       * one, in order. */
      state.deferred.push_back ({ position, removed, added });
      return;
    }
  const vontle::Hold held (search);
  state.reporting = true;
  follow_report (search, position, removed, added);
  while (!state.deferred.empty ())
    {
      const Report next = state.deferred[0];
      state.deferred.erase (state.deferred.begin (), state.deferred.begin () + 1);
      follow_report (search, next.position, next.removed, next.added);
    }
  state.reporting = false;
}

} // namespace vontle::history_search
