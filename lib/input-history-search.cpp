/* SPDX-License-Identifier: LGPL-2.1-or-later */
#include "history-search-state.h"

#include <algorithm>
#include <cstring>
#include <new>
#include <utility>

namespace {

void list_model_init (GListModelInterface *iface);

} // namespace

G_DEFINE_TYPE_WITH_CODE (VontleInputHistorySearch, vontle_input_history_search, G_TYPE_OBJECT,
                         G_IMPLEMENT_INTERFACE (G_TYPE_LIST_MODEL, list_model_init))

namespace {

enum
{
  PROP_0,
  PROP_HISTORY,
  PROP_QUERY,
  PROP_MODE,
  PROP_INCREMENTAL,
  PROP_SEARCHING,
  N_PROPS
};

GParamSpec *properties[N_PROPS];

} // namespace

namespace vontle::history_search {

/* A slice of an incremental pass works this long, checking the clock
 * every few entries, so that with the last check's overrun no slice comes
 * near 4 ms. */
constexpr gint64 slice_budget_usec = 2000;
constexpr size_t entries_between_clock_checks = 64;

VontleList *
entries_of (VontleInputHistorySearch *search)
{
  return search->history != nullptr ? vontle_input_history_list (search->history) : nullptr;
}

static size_t
history_size (VontleInputHistorySearch *search)
{
  VontleList *entries = entries_of (search);
  return entries != nullptr ? entries->size : 0;
}

void
release_items (SearchMatch *from, SearchMatch *to)
{
  for (auto *it = from; it != to; ++it)
    g_clear_object (&it->item);
}

void
items_changed (VontleInputHistorySearch *search, size_t position, size_t removed, size_t added)
{
  if (removed > 0 || added > 0)
    g_list_model_items_changed (G_LIST_MODEL (search), static_cast<guint> (position), static_cast<guint> (removed),
                                static_cast<guint> (added));
}

static void
set_searching (VontleInputHistorySearch *search, bool searching)
{
  if (search->searching == searching)
    return;
  search->searching = searching;
  g_object_notify_by_pspec (G_OBJECT (search), properties[PROP_SEARCHING]);
}

static void
stop_slices (SearchState &state)
{
  if (state.slice == nullptr)
    return;
  g_source_destroy (state.slice);
  g_clear_pointer (&state.slice, g_source_unref);
}

/* Tests entry INDEX; on a match appends it to FOUND. */
void
test_entry (SearchState &state, VontleList *entries, size_t index, bool fuzzy, Buffer<SearchMatch> &found)
{
  const auto *line = static_cast<const char *> (entries->start[index]);
  guint32 score = 0;
  if (!state.query->test (line, &score))
    return;
  const guint32 key = fuzzy ? vontle::fuzzy_rank_key (score, strlen (line)) : 0;
  found.push_back ({ static_cast<guint32> (index), key, nullptr });
}

/* The matches a refined query tests lie scattered over the history: their
 * list slots and lines are asked for a few candidates ahead, the slot
 * first, so that its line's address is at hand when that is asked for. */
constexpr size_t slot_lead = 16;
constexpr size_t line_lead = 8;

static void
prefetch_pending (const Buffer<guint32> &pending, VontleList *entries)
{
  const size_t n = pending.size ();
  if (n > slot_lead)
    __builtin_prefetch (&entries->start[pending[n - 1 - slot_lead]]);
  if (n > line_lead)
    __builtin_prefetch (entries->start[pending[n - 1 - line_lead]]);
}

/* Tests what is left of the pass, the refined matches first, until
 * DEADLINE_USEC (0: no limit). Returns whether the pass is done. */
static bool
run_pass (VontleInputHistorySearch *search, gint64 deadline_usec, Buffer<SearchMatch> &found)
{
  SearchState &state = search->state;
  VontleList *entries = entries_of (search);
  if (entries == nullptr || state.query->matches_nothing ())
    {
      state.pending.clear ();
      state.scan_next = 0;
      return true;
    }
  const bool fuzzy = search->mode == VONTLE_INPUT_HISTORY_MATCH_FUZZY;
  for (size_t tested = 1;; tested++)
    {
      if (!state.pending.empty ())
        {
          prefetch_pending (state.pending, entries);
          test_entry (state, entries, state.pending.back (), fuzzy, found);
          state.pending.pop_back ();
        }
      else if (state.scan_next > 0)
        test_entry (state, entries, --state.scan_next, fuzzy, found);
      else
        return true;
      if (deadline_usec != 0 && tested % entries_between_clock_checks == 0 && g_get_monotonic_time () >= deadline_usec)
        return state.pending.empty () && state.scan_next == 0;
    }
}

/* Replaces every match with FRESH (in order) in one report. */
static void
replace_matches (VontleInputHistorySearch *search, Buffer<SearchMatch> &&fresh)
{
  Buffer<SearchMatch> &matches = search->state.matches;
  const size_t removed = matches.size ();
  release_items (matches.begin (), matches.end ());
  matches = std::move (fresh);
  /* Growth by doubling may leave as much again unused: a result keeps its
   * 16 bytes a match and no more. */
  matches.shrink_to_fit ();
  search->state.pending.shrink_to_fit ();
  items_changed (search, 0, removed, matches.size ());
}

/* Adds FOUND at their places: one insertion each when they are few,
 * otherwise one report from the first place to the end. */
void
insert_matches (VontleInputHistorySearch *search, Buffer<SearchMatch> &found)
{
  SearchState &state = search->state;
  Buffer<SearchMatch> &matches = state.matches;
  /* A strict order over distinct indices: no sort needs to be stable. */
  std::sort (found.begin (), found.end (), ranks_before);
  const guint64 generation = state.generation;
  if (found.size () <= max_separate_reports)
    {
      for (const SearchMatch &m : found)
        {
          if (state.generation != generation)
            return;
          auto *const at = std::lower_bound (matches.begin (), matches.end (), m, ranks_before);
          const auto position = static_cast<size_t> (at - matches.begin ());
          matches.insert (at, m);
          items_changed (search, position, 0, 1);
        }
      return;
    }
  const size_t old_size = matches.size ();
  const auto first = static_cast<size_t> (
    std::lower_bound (matches.begin (), matches.end (), found.front (), ranks_before) - matches.begin ());
  Buffer<SearchMatch> merged;
  merged.resize (old_size + found.size ());
  std::copy (matches.begin (), matches.begin () + first, merged.begin ());
  std::merge (matches.begin () + first, matches.end (), found.begin (), found.end (), merged.begin () + first,
              ranks_before);
  matches = std::move (merged);
  items_changed (search, first, old_size - first, matches.size () - first);
}

static gboolean
run_slice (gpointer data)
{
  auto *search = VONTLE_INPUT_HISTORY_SEARCH (data);
  const vontle::Hold held (search);
  SearchState &state = search->state;
  GSource *self = state.slice;
  Buffer<SearchMatch> found;
  const bool done = run_pass (search, g_get_monotonic_time () + slice_budget_usec, found);
  if (done)
    g_clear_pointer (&state.slice, g_source_unref);
  insert_matches (search, found);
  if (!done)
    return state.slice == self ? G_SOURCE_CONTINUE : G_SOURCE_REMOVE;
  if (state.slice == nullptr)
    {
      state.matches.shrink_to_fit ();
      state.pending.shrink_to_fit ();
      set_searching (search, false);
    }
  return G_SOURCE_REMOVE;
}

/* A pass with the current query and mode: the whole history, or only the
 * current matches when the query refines the previous one. */
void
start_pass (VontleInputHistorySearch *search, bool may_refine)
{
  SearchState &state = search->state;
  stop_slices (state);
  state.generation++;
  state.deferred.clear ();
  auto query = make_query (search->query, search->mode);
  const bool refine = may_refine && state.query != nullptr && query->refines (*state.query);
  state.query = std::move (query);
  state.known_size = history_size (search);
  if (refine)
    {
      /* Newest first already, but for fuzzy ranks. */
      state.pending.clear ();
      state.pending.reserve (state.matches.size ());
      for (size_t i = state.matches.size (); i-- > 0;)
        state.pending.push_back (state.matches[i].index);
      if (!std::is_sorted (state.pending.begin (), state.pending.end ()))
        /* A comparator of our own: libc++ keeps std::sort over plain
         * unsigned with std::less in its shared library, which lib/ does not
         * link. */
        std::sort (state.pending.begin (), state.pending.end (), [] (guint32 a, guint32 b) { return a < b; });
    }
  else
    {
      state.pending.clear ();
      state.scan_next = state.known_size;
    }
  Buffer<SearchMatch> found;
  if (!search->incremental)
    {
      run_pass (search, 0, found);
      std::sort (found.begin (), found.end (), ranks_before);
      replace_matches (search, std::move (found));
      set_searching (search, false);
      return;
    }
  replace_matches (search, {});
  if (state.pending.empty () && state.scan_next == 0)
    {
      set_searching (search, false);
      return;
    }
  state.slice = g_idle_source_new ();
  g_source_set_name (state.slice, "[vontle] history search");
  g_source_set_callback (state.slice, run_slice, search, nullptr);
  g_autoptr (GMainContext) context = g_main_context_ref_thread_default ();
  g_source_attach (state.slice, context);
  set_searching (search, true);
}

} // namespace vontle::history_search

using namespace vontle::history_search;

namespace {

/* --------------------------------------------------------- list model -- */

GType
vontle_input_history_search_get_item_type (GListModel * /*list*/)
{
  return VONTLE_TYPE_INPUT_HISTORY_MATCH;
}

guint
vontle_input_history_search_get_n_items (GListModel *list)
{
  return static_cast<guint> (VONTLE_INPUT_HISTORY_SEARCH (list)->state.matches.size ());
}

gpointer
vontle_input_history_search_get_item (GListModel *list, guint position)
{
  auto *search = VONTLE_INPUT_HISTORY_SEARCH (list);
  SearchState &state = search->state;
  if (position >= state.matches.size ())
    return nullptr;
  SearchMatch &m = state.matches[position];
  if (m.item == nullptr)
    {
      VontleList *entries = entries_of (search);
      if (entries == nullptr || m.index >= entries->size)
        return nullptr;
      m.item = vontle::match_item_new (static_cast<const char *> (entries->start[m.index]), *state.query);
    }
  return g_object_ref (m.item);
}

void
list_model_init (GListModelInterface *iface)
{
  iface->get_item_type = vontle_input_history_search_get_item_type;
  iface->get_n_items = vontle_input_history_search_get_n_items;
  iface->get_item = vontle_input_history_search_get_item;
}

/* ------------------------------------------------------------ GObject -- */

void
vontle_input_history_search_set_property (GObject *object, guint property_id, const GValue *value,
                                          GParamSpec *pspec)
{
  auto *search = VONTLE_INPUT_HISTORY_SEARCH (object);
  switch (property_id)
    {
    case PROP_HISTORY:
      search->history = static_cast<VontleInputHistory *> (g_value_dup_object (value));
      break;
    case PROP_QUERY:
      vontle_input_history_search_set_query (search, g_value_get_string (value));
      break;
    case PROP_MODE:
      vontle_input_history_search_set_mode (search, static_cast<VontleInputHistoryMatchMode> (g_value_get_enum (value)));
      break;
    case PROP_INCREMENTAL:
      vontle_input_history_search_set_incremental (search, g_value_get_boolean (value));
      break;
    default:
      G_OBJECT_WARN_INVALID_PROPERTY_ID (object, property_id, pspec);
    }
}

void
vontle_input_history_search_get_property (GObject *object, guint property_id, GValue *value, GParamSpec *pspec)
{
  auto *search = VONTLE_INPUT_HISTORY_SEARCH (object);
  switch (property_id)
    {
    case PROP_HISTORY:
      g_value_set_object (value, search->history);
      break;
    case PROP_QUERY:
      g_value_set_string (value, search->query);
      break;
    case PROP_MODE:
      g_value_set_enum (value, search->mode);
      break;
    case PROP_INCREMENTAL:
      g_value_set_boolean (value, search->incremental);
      break;
    case PROP_SEARCHING:
      g_value_set_boolean (value, search->searching);
      break;
    default:
      G_OBJECT_WARN_INVALID_PROPERTY_ID (object, property_id, pspec);
    }
}

void
vontle_input_history_search_constructed (GObject *object)
{
  G_OBJECT_CLASS (vontle_input_history_search_parent_class)->constructed (object);
  auto *search = VONTLE_INPUT_HISTORY_SEARCH (object);
  if (!VONTLE_CHECK (search->history != NULL))
    return;
  search->state.known_size = history_size (search);
  g_signal_connect (search->history, "entries-changed", G_CALLBACK (on_entries_changed), search);
}

void
vontle_input_history_search_dispose (GObject *object)
{
  auto *search = VONTLE_INPUT_HISTORY_SEARCH (object);
  stop_slices (search->state);
  if (search->history != nullptr)
    g_signal_handlers_disconnect_by_func (search->history, reinterpret_cast<gpointer> (on_entries_changed), search);
  g_clear_object (&search->history);
  G_OBJECT_CLASS (vontle_input_history_search_parent_class)->dispose (object);
}

void
vontle_input_history_search_finalize (GObject *object)
{
  auto *search = VONTLE_INPUT_HISTORY_SEARCH (object);
  release_items (search->state.matches.begin (), search->state.matches.end ());
  search->state.~SearchState ();
  g_free (search->query);
  G_OBJECT_CLASS (vontle_input_history_search_parent_class)->finalize (object);
}

constexpr auto settable_flags
  = static_cast<GParamFlags> (G_PARAM_READWRITE | G_PARAM_EXPLICIT_NOTIFY | G_PARAM_STATIC_STRINGS);

} // namespace

static void
vontle_input_history_search_class_init (VontleInputHistorySearchClass *klass)
{
  auto *object_class = G_OBJECT_CLASS (klass);
  object_class->set_property = vontle_input_history_search_set_property;
  object_class->get_property = vontle_input_history_search_get_property;
  object_class->constructed = vontle_input_history_search_constructed;
  object_class->dispose = vontle_input_history_search_dispose;
  object_class->finalize = vontle_input_history_search_finalize;
  properties[PROP_HISTORY] = g_param_spec_object (
    "history", "history", "The history searched", VONTLE_TYPE_INPUT_HISTORY,
    static_cast<GParamFlags> (G_PARAM_READWRITE | G_PARAM_CONSTRUCT_ONLY | G_PARAM_STATIC_STRINGS));
  properties[PROP_QUERY] = g_param_spec_string ("query", "query", "What to look for", "", settable_flags);
  properties[PROP_MODE] = g_param_spec_enum ("mode", "mode", "How entries match the query",
                                             VONTLE_TYPE_INPUT_HISTORY_MATCH_MODE,
                                             VONTLE_INPUT_HISTORY_MATCH_PREFIX, settable_flags);
  properties[PROP_INCREMENTAL] = g_param_spec_boolean ("incremental", "incremental",
                                                       "Whether to search in slices from the main loop", FALSE,
                                                       settable_flags);
  properties[PROP_SEARCHING] = g_param_spec_boolean (
    "searching", "searching", "Whether an incremental pass is under way", FALSE,
    static_cast<GParamFlags> (G_PARAM_READABLE | G_PARAM_EXPLICIT_NOTIFY | G_PARAM_STATIC_STRINGS));
  g_object_class_install_properties (object_class, N_PROPS, properties);
}

static void
vontle_input_history_search_init (VontleInputHistorySearch *search)
{
  new (&search->state) SearchState ();
  search->query = g_strdup ("");
}

VontleInputHistorySearch *
vontle_input_history_search_new (VontleInputHistory *history, VontleInputHistoryMatchMode mode)
{
  if (!VONTLE_CHECK (VONTLE_IS_INPUT_HISTORY (history)) || !VONTLE_CHECK (mode <= VONTLE_INPUT_HISTORY_MATCH_FUZZY))
    return nullptr;
  return static_cast<VontleInputHistorySearch *> (
    g_object_new (VONTLE_TYPE_INPUT_HISTORY_SEARCH, "history", history, "mode", mode, nullptr));
}

VontleInputHistory *
vontle_input_history_search_get_history (VontleInputHistorySearch *search)
{
  if (!VONTLE_CHECK (VONTLE_IS_INPUT_HISTORY_SEARCH (search)))
    return nullptr;
  return search->history;
}

void
vontle_input_history_search_set_query (VontleInputHistorySearch *search, const char *query)
{
  if (!VONTLE_CHECK (VONTLE_IS_INPUT_HISTORY_SEARCH (search)))
    return;
  if (query == nullptr)
    query = "";
  if (strcmp (query, search->query) == 0)
    return;
  g_free (std::exchange (search->query, g_strdup (query)));
  const vontle::Hold held (search);
  start_pass (search, true);
  g_object_notify_by_pspec (G_OBJECT (search), properties[PROP_QUERY]);
}

const char *
vontle_input_history_search_get_query (VontleInputHistorySearch *search)
{
  if (!VONTLE_CHECK (VONTLE_IS_INPUT_HISTORY_SEARCH (search)))
    return nullptr;
  return search->query;
}

void
vontle_input_history_search_set_mode (VontleInputHistorySearch *search, VontleInputHistoryMatchMode mode)
{
  if (!VONTLE_CHECK (VONTLE_IS_INPUT_HISTORY_SEARCH (search)) || !VONTLE_CHECK (mode <= VONTLE_INPUT_HISTORY_MATCH_FUZZY))
    return;
  if (search->mode == mode)
    return;
  search->mode = mode;
  const vontle::Hold held (search);
  start_pass (search, false);
  g_object_notify_by_pspec (G_OBJECT (search), properties[PROP_MODE]);
}

VontleInputHistoryMatchMode
vontle_input_history_search_get_mode (VontleInputHistorySearch *search)
{
  if (!VONTLE_CHECK (VONTLE_IS_INPUT_HISTORY_SEARCH (search)))
    return VONTLE_INPUT_HISTORY_MATCH_PREFIX;
  return search->mode;
}

void
vontle_input_history_search_set_incremental (VontleInputHistorySearch *search, bool incremental)
{
  if (!VONTLE_CHECK (VONTLE_IS_INPUT_HISTORY_SEARCH (search)) || search->incremental == incremental)
    return;
  search->incremental = incremental;
  const vontle::Hold held (search);
  if (!incremental && search->state.slice != nullptr)
    {
      /* The pass under way is finished here, as a search that is not
       * incremental would have done. */
      stop_slices (search->state);
      vontle::Buffer<SearchMatch> found;
      run_pass (search, 0, found);
      insert_matches (search, found);
      set_searching (search, false);
    }
  g_object_notify_by_pspec (G_OBJECT (search), properties[PROP_INCREMENTAL]);
}

bool
vontle_input_history_search_get_incremental (VontleInputHistorySearch *search)
{
  if (!VONTLE_CHECK (VONTLE_IS_INPUT_HISTORY_SEARCH (search)))
    return false;
  return search->incremental;
}

bool
vontle_input_history_search_is_searching (VontleInputHistorySearch *search)
{
  if (!VONTLE_CHECK (VONTLE_IS_INPUT_HISTORY_SEARCH (search)))
    return false;
  return search->searching;
}
