/* SPDX-License-Identifier: LGPL-2.1-or-later */
/* libvontle: searching an input history by prefix, substring or fuzzy. */
#pragma once

#include <stdbool.h>

#include <glib-object.h>
#include <vontle/input-history.h>
#include <vontle/visibility.h>

G_BEGIN_DECLS

/**
 * VontleInputHistoryMatchMode:
 * @VONTLE_INPUT_HISTORY_MATCH_PREFIX: the entry starts with the query
 * @VONTLE_INPUT_HISTORY_MATCH_SUBSTRING: the entry contains the query
 * @VONTLE_INPUT_HISTORY_MATCH_FUZZY: the entry holds the query's characters
 *   in order, not necessarily together
 *
 * How a history search matches an entry against its query.
 *
 * In every mode the case rule is "smartcase": a query with no upper-case
 * letter matches regardless of case, by Unicode case folding ("straße"
 * finds "STRASSE", "école" finds "ÉCOLE"); a query with an upper-case letter
 * matches exactly. An empty query, or one that is not valid UTF-8, matches
 * nothing.
 */
typedef enum
{
  VONTLE_INPUT_HISTORY_MATCH_PREFIX,
  VONTLE_INPUT_HISTORY_MATCH_SUBSTRING,
  VONTLE_INPUT_HISTORY_MATCH_FUZZY,
} VontleInputHistoryMatchMode;

/**
 * VONTLE_TYPE_INPUT_HISTORY_MATCH_MODE:
 *
 * The #GType of #VontleInputHistoryMatchMode.
 */
#define VONTLE_TYPE_INPUT_HISTORY_MATCH_MODE (vontle_input_history_match_mode_get_type ())

/**
 * vontle_input_history_match_mode_get_type:
 *
 * Returns: the #GType of the enumeration, registered on first use
 */
VONTLE_AVAILABLE_IN_ALL
GType vontle_input_history_match_mode_get_type (void) G_GNUC_CONST;

/**
 * vontle_input_history_find:
 * @history: a history
 * @query: (nullable): what to look for; %NULL is the empty query
 * @mode: how entries match @query
 * @before: an index in the entry list, or -1 for the end of the list
 *
 * Finds the newest entry below index @before that matches @query: the
 * index, in the entry list as vontle_input_history_list() lends it (oldest
 * first). Reverse incremental search (Ctrl+R) is a loop over it:
 *
 * ```c
 * gssize i = vontle_input_history_find (history, query, mode, -1);
 * // each further Ctrl+R:
 * i = vontle_input_history_find (history, query, mode, i);
 * ```
 *
 * It keeps no state and emits nothing. A @before past the end counts as the
 * end.
 *
 * Returns: the index of the entry, or -1 when none matches (and, with a
 *   critical warning, when @history is not a history, @mode is not a mode
 *   or @before is below -1)
 */
VONTLE_AVAILABLE_IN_ALL
gssize vontle_input_history_find (VontleInputHistory *history, const char *query,
                                  VontleInputHistoryMatchMode mode, gssize before);

/**
 * VONTLE_TYPE_INPUT_HISTORY_MATCH:
 *
 * The #GType of #VontleInputHistoryMatch.
 */
#define VONTLE_TYPE_INPUT_HISTORY_MATCH (vontle_input_history_match_get_type ())

/**
 * VontleInputHistoryMatch:
 *
 * One entry that a [class@Vontle.InputHistorySearch] found: an immutable
 * object with a copy of the line and the characters that matched.
 */

/**
 * vontle_input_history_match_get_type:
 *
 * Returns: the #GType of the class, registered on first use
 */
VONTLE_AVAILABLE_IN_ALL
G_DECLARE_FINAL_TYPE (VontleInputHistoryMatch, vontle_input_history_match, VONTLE,
                      INPUT_HISTORY_MATCH, GObject)

/**
 * VontleInputHistoryMatchClass:
 * @parent_class: the parent class
 *
 * The class structure. The class is final: it cannot be derived from.
 */

/**
 * VontleInputHistoryMatch:text:
 *
 * The entry's line, set when the item is made.
 */

/**
 * vontle_input_history_match_get_text:
 * @match: a match
 *
 * Gives the matched entry's line.
 *
 * Returns: (nullable): the line, valid as long as @match
 */
VONTLE_AVAILABLE_IN_ALL
const char *vontle_input_history_match_get_text (VontleInputHistoryMatch *match);

/**
 * vontle_input_history_match_get_positions:
 * @match: a match
 * @n_positions: (out) (optional): where to store the number of positions
 *
 * Gives, for each character of the line that matched the query, the byte
 * offset where it starts, ascending: what to highlight (a Pango attribute
 * from each offset to the next character).
 *
 * Returns: (array length=n_positions) (transfer none) (nullable): the
 *   offsets, valid as long as @match; %NULL when there are none
 */
VONTLE_AVAILABLE_IN_ALL
const guint *vontle_input_history_match_get_positions (VontleInputHistoryMatch *match, guint *n_positions);

/**
 * VONTLE_TYPE_INPUT_HISTORY_SEARCH:
 *
 * The #GType of #VontleInputHistorySearch.
 */
#define VONTLE_TYPE_INPUT_HISTORY_SEARCH (vontle_input_history_search_get_type ())

/**
 * VontleInputHistorySearch:
 *
 * The entries of a history that match a query, as a #GListModel of
 * [class@Vontle.InputHistoryMatch] items: bind it to a `GtkListView`. The
 * class implements #GListModel; include `gio/gio.h` to use it as one, as
 * the library's headers do not.
 *
 * ```c
 * g_autoptr (VontleInputHistorySearch) search
 *   = vontle_input_history_search_new (history, VONTLE_INPUT_HISTORY_MATCH_FUZZY);
 * vontle_input_history_search_set_query (search, "gco");  // "git commit", ...
 * ```
 *
 * Order: prefix and substring matches come newest first. Fuzzy matches come
 * best first, then newest first: each matched character scores 16, and 32
 * more at the start of the line, or 24 more at the start of a word (after a
 * byte that is not an ASCII letter or digit); a character right after the
 * previous matched one scores 16 more. The characters scored are those of
 * the tightest stretch that ends where the query's last character is first
 * reached, each taken as early as it can be within that stretch. Between
 * equal scores the shorter line ranks first. Each entry appears once.
 *
 * Setting the query or the mode computes the whole result before it
 * returns, with one #GListModel::items-changed, unless
 * [property@Vontle.InputHistorySearch:incremental] is set: the work then
 * runs in slices of at most a few milliseconds in the thread-default main
 * context of the thread that set the query, matches appear as they are
 * found, and [property@Vontle.InputHistorySearch:searching] is true until
 * the pass is done. A query that adds characters at the end of the previous
 * one, with the same mode and case rule, only filters the current matches.
 *
 * The search follows [signal@Vontle.InputHistory::entries-changed]: a new
 * entry that matches appears at its place (one insertion), one that leaves
 * the history disappears.
 *
 * Matches cost 16 bytes each; items are made when first asked for.
 */

/**
 * vontle_input_history_search_get_type:
 *
 * Returns: the #GType of the class, registered on first use
 */
VONTLE_AVAILABLE_IN_ALL
G_DECLARE_FINAL_TYPE (VontleInputHistorySearch, vontle_input_history_search, VONTLE,
                      INPUT_HISTORY_SEARCH, GObject)

/**
 * VontleInputHistorySearchClass:
 * @parent_class: the parent class
 *
 * The class structure. The class is final: it cannot be derived from.
 */

/**
 * VontleInputHistorySearch:history:
 *
 * The history searched; the search holds a reference to it. Set at
 * construction only.
 */

/**
 * VontleInputHistorySearch:query:
 *
 * What to look for. The empty query, the default, matches nothing.
 */

/**
 * VontleInputHistorySearch:mode:
 *
 * How entries match the query.
 */

/**
 * VontleInputHistorySearch:incremental:
 *
 * Whether a new query is searched in slices from the main loop rather
 * than before the setter returns.
 */

/**
 * VontleInputHistorySearch:searching:
 *
 * Whether an incremental pass is under way.
 */

/**
 * vontle_input_history_search_new:
 * @history: the history to search
 * @mode: how entries match the query
 *
 * Makes a search over @history, with the empty query (no matches yet).
 *
 * Returns: (transfer full) (nullable): a new search, or %NULL (with a
 *   critical warning) when @history is not a history
 */
VONTLE_AVAILABLE_IN_ALL
VontleInputHistorySearch *vontle_input_history_search_new (VontleInputHistory *history,
                                                           VontleInputHistoryMatchMode mode)
  G_GNUC_WARN_UNUSED_RESULT;

/**
 * vontle_input_history_search_get_history:
 * @search: a search
 *
 * Gives the history searched.
 *
 * Returns: (transfer none) (nullable): the history, lent by the search
 */
VONTLE_AVAILABLE_IN_ALL
VontleInputHistory *vontle_input_history_search_get_history (VontleInputHistorySearch *search);

/**
 * vontle_input_history_search_set_query:
 * @search: a search
 * @query: (nullable): what to look for; %NULL is the empty query
 *
 * Sets [property@Vontle.InputHistorySearch:query].
 */
VONTLE_AVAILABLE_IN_ALL
void vontle_input_history_search_set_query (VontleInputHistorySearch *search, const char *query);

/**
 * vontle_input_history_search_get_query:
 * @search: a search
 *
 * Gives the query.
 *
 * Returns: (nullable): the query, lent until it next changes; %NULL only
 *   when @search is not a search
 */
VONTLE_AVAILABLE_IN_ALL
const char *vontle_input_history_search_get_query (VontleInputHistorySearch *search);

/**
 * vontle_input_history_search_set_mode:
 * @search: a search
 * @mode: how entries match the query
 *
 * Sets [property@Vontle.InputHistorySearch:mode] and searches again.
 */
VONTLE_AVAILABLE_IN_ALL
void vontle_input_history_search_set_mode (VontleInputHistorySearch *search, VontleInputHistoryMatchMode mode);

/**
 * vontle_input_history_search_get_mode:
 * @search: a search
 *
 * Gives the mode.
 *
 * Returns: the mode (prefix when @search is not a search)
 */
VONTLE_AVAILABLE_IN_ALL
VontleInputHistoryMatchMode vontle_input_history_search_get_mode (VontleInputHistorySearch *search);

/**
 * vontle_input_history_search_set_incremental:
 * @search: a search
 * @incremental: whether to search in slices from the main loop
 *
 * Sets [property@Vontle.InputHistorySearch:incremental]. Turning it off
 * during a pass finishes the pass before it returns.
 */
VONTLE_AVAILABLE_IN_ALL
void vontle_input_history_search_set_incremental (VontleInputHistorySearch *search, bool incremental);

/**
 * vontle_input_history_search_get_incremental:
 * @search: a search
 *
 * Gives [property@Vontle.InputHistorySearch:incremental].
 *
 * Returns: whether the search works in slices
 */
VONTLE_AVAILABLE_IN_ALL
bool vontle_input_history_search_get_incremental (VontleInputHistorySearch *search);

/**
 * vontle_input_history_search_is_searching:
 * @search: a search
 *
 * Gives [property@Vontle.InputHistorySearch:searching].
 *
 * Returns: whether an incremental pass is under way
 */
VONTLE_AVAILABLE_IN_ALL
bool vontle_input_history_search_is_searching (VontleInputHistorySearch *search);

G_END_DECLS
