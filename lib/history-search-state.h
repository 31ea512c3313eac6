/* SPDX-License-Identifier: LGPL-2.1-or-later */
/* The state of a VontleInputHistorySearch, shared by its two units: the
 * object with its passes, and the following of the history's changes. Not
 * installed. */
#pragma once

#include <memory>
#include <new>

#include "history-matcher.h"
#include "vontle-private.h"

namespace vontle::history_search {

/* One match: 16 bytes, the item made when a view first asks for it. The
 * index is the entry's place in the history's list, kept up to date as the
 * history reports its changes. */
struct SearchMatch
{
  guint32 index;
  guint32 key; /* fuzzy rank; 0 in the other modes */
  VontleInputHistoryMatch *item;
};
constexpr size_t match_bytes = 16;
static_assert (sizeof (SearchMatch) <= match_bytes);

/* Best first, then newest first. */
inline bool
ranks_before (const SearchMatch &a, const SearchMatch &b)
{
  if (a.key != b.key)
    return a.key > b.key;
  return a.index > b.index;
}

/* More separate runs than this in one change are reported as one span. */
constexpr size_t max_separate_reports = 8;

struct Report
{
  guint position;
  guint removed;
  guint added;
};

/* A query in GLib's allocator. */
struct QueryDeleter
{
  void operator() (HistoryQuery *query) const noexcept
  {
    query->~HistoryQuery ();
    g_free (query);
  }
};
using QueryPointer = std::unique_ptr<HistoryQuery, QueryDeleter>;

inline QueryPointer
make_query (const char *text, VontleInputHistoryMatchMode mode)
{
  return QueryPointer (new (g_malloc (sizeof (HistoryQuery))) HistoryQuery (text, mode));
}

struct SearchState
{
  Buffer<SearchMatch> matches;
  /* Entry indices still to test before the scan goes on, ascending, so that
   * the newest comes off the back: the matches a refined query filters. */
  Buffer<guint32> pending;
  /* The entries below this index are still to test. */
  size_t scan_next = 0;
  /* The number of entries as the history's reports describe them. */
  size_t known_size = 0;
  QueryPointer query;
  GSource *slice = nullptr;
  /* Reports that arrive while one is being passed on to the view. */
  Buffer<Report> deferred;
  bool reporting = false;
  /* Counts restarts, so that a restart from a handler ends older work. */
  guint64 generation = 0;
};

VontleList *entries_of (VontleInputHistorySearch *search);
void release_items (SearchMatch *from, SearchMatch *to);
void items_changed (VontleInputHistorySearch *search, size_t position, size_t removed, size_t added);
/* Tests entry INDEX; on a match appends it to FOUND. */
void test_entry (SearchState &state, VontleList *entries, size_t index, bool fuzzy, Buffer<SearchMatch> &found);
/* Adds FOUND at their places. */
void insert_matches (VontleInputHistorySearch *search, Buffer<SearchMatch> &found);
/* A pass with the current query and mode; MAY_REFINE lets it filter the
 * current matches when the query only grew. */
void start_pass (VontleInputHistorySearch *search, bool may_refine);
/* The "entries-changed" handler. */
void on_entries_changed (VontleInputHistory *history, guint position, guint removed, guint added, gpointer data);

} // namespace vontle::history_search

struct _VontleInputHistorySearch
{
  GObject parent_instance;
  VontleInputHistory *history;
  char *query;
  VontleInputHistoryMatchMode mode;
  bool incremental;
  bool searching;
  vontle::history_search::SearchState state;
};
