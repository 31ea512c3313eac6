/* SPDX-License-Identifier: LGPL-2.1-or-later */
/* vontle.hpp: searching an input history. Include vontle/vontle.hpp. */
#pragma once

#include <cstddef>
#include <optional>

#include <vontle/hpp/base.hpp>
#include <vontle/hpp/objects.hpp>
#include <vontle/hpp/input-history.hpp>

/* As GIO declares it, so that this header needs no GIO of its own. */
typedef struct _GListModel GListModel;

namespace vontle {
inline namespace v5 {

/* The index (oldest first) of the newest entry below BEFORE that matches
 * QUERY, or nothing. Reverse incremental search steps with it:
 *
 *   auto i = vontle::find (history, query, VONTLE_INPUT_HISTORY_MATCH_FUZZY);
 *   if (i)
 *     i = vontle::find (history, query, VONTLE_INPUT_HISTORY_MATCH_FUZZY, *i);
 */
inline std::optional<std::size_t>
find (const InputHistory &history, StringArg query, VontleInputHistoryMatchMode mode,
      std::optional<std::size_t> before = std::nullopt) noexcept
{
  const gssize limit = before ? static_cast<gssize> (*before) : -1;
  const gssize found = vontle_input_history_find (history.get (), query.c_str (), mode, limit);
  if (found < 0)
    return std::nullopt;
  return static_cast<std::size_t> (found);
}

/* A reference to a VontleInputHistorySearch: the entries that match a
 * query, as a GListModel of VontleInputHistoryMatch items. The search holds
 * the history, so this handle may outlive the history's own.
 *
 *   auto search = vontle::InputHistorySearch::create (history, VONTLE_INPUT_HISTORY_MATCH_FUZZY);
 *   search.set_query ("gco");
 */
class [[nodiscard]] InputHistorySearch
  : public detail::ObjectHandle<InputHistorySearch, VontleInputHistorySearch>
{
public:
  static GType c_type () noexcept { return VONTLE_TYPE_INPUT_HISTORY_SEARCH; }
  static constexpr const char adopt_name[] = "vontle::InputHistorySearch::adopt";
  static constexpr const char type_text[] = "VONTLE_IS_INPUT_HISTORY_SEARCH (search)";

  /* An empty history handle gives an empty search handle, with a critical. */
  static InputHistorySearch create (const InputHistory &history, VontleInputHistoryMatchMode mode) noexcept
  {
    return adopt (vontle_input_history_search_new (history.get (), mode));
  }

  InputHistory history () const noexcept
  {
    return InputHistory::ref (vontle_input_history_search_get_history (object_));
  }
  void set_query (StringArg query) noexcept { vontle_input_history_search_set_query (object_, query.c_str ()); }
  /* Lent until the query next changes. */
  const char *query () const & noexcept { return vontle_input_history_search_get_query (object_); }
  const char *query () const && = delete;
  void set_mode (VontleInputHistoryMatchMode mode) noexcept { vontle_input_history_search_set_mode (object_, mode); }
  VontleInputHistoryMatchMode mode () const noexcept { return vontle_input_history_search_get_mode (object_); }
  void set_incremental (bool incremental) noexcept
  {
    vontle_input_history_search_set_incremental (object_, incremental);
  }
  bool incremental () const noexcept { return vontle_input_history_search_get_incremental (object_); }
  bool searching () const noexcept { return vontle_input_history_search_is_searching (object_); }

  /* Borrowed from this handle's reference; include gio/gio.h to use it. */
  GListModel *list_model () const & noexcept { return reinterpret_cast<GListModel *> (object_); }
  GListModel *list_model () const && = delete;
};

} // namespace v5
} // namespace vontle

template <>
struct std::hash<vontle::InputHistorySearch>
{
  size_t operator() (const vontle::InputHistorySearch &h) const noexcept
  {
    return std::hash<const void *> () (h.get ());
  }
};
