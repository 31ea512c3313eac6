/* SPDX-License-Identifier: LGPL-2.1-or-later */
/* vontle.hpp: the input history as a list model. Include vontle/vontle.hpp. */
#pragma once

#include <vontle/hpp/base.hpp>
#include <vontle/hpp/objects.hpp>
#include <vontle/hpp/input-history.hpp>

/* As GIO declares it, so that this header needs no GIO of its own. */
typedef struct _GListModel GListModel;

namespace vontle {
inline namespace v5 {

/* A reference to a VontleInputHistoryModel: the history's entries, newest
 * first, as a GListModel of VontleInputHistoryEntry items, for a GTK list
 * view. The model holds the history, so this handle may outlive the
 * history's own.
 *
 *   auto model = vontle::InputHistoryModel::create (history);
 *   gtk_list_view_set_model (view, GTK_SELECTION_MODEL (
 *     gtk_no_selection_new (G_LIST_MODEL (g_object_ref (model.get ())))));
 */
class [[nodiscard]] InputHistoryModel : public detail::ObjectHandle<InputHistoryModel, VontleInputHistoryModel>
{
public:
  static GType c_type () noexcept { return VONTLE_TYPE_INPUT_HISTORY_MODEL; }
  static constexpr const char adopt_name[] = "vontle::InputHistoryModel::adopt";
  static constexpr const char type_text[] = "VONTLE_IS_INPUT_HISTORY_MODEL (model)";

  /* An empty history handle gives an empty model handle, with a critical. */
  static InputHistoryModel create (const InputHistory &history) noexcept
  {
    return adopt (vontle_input_history_model_new (history.get ()));
  }

  [[nodiscard]] InputHistory history () const noexcept
  {
    return InputHistory::ref (vontle_input_history_model_get_history (object_));
  }

  /* Borrowed from this handle's reference; include gio/gio.h to use it. */
  [[nodiscard]] GListModel *list_model () const & noexcept { return reinterpret_cast<GListModel *> (object_); }
  GListModel *list_model () const && = delete;
};

} // namespace v5
} // namespace vontle

template <>
struct std::hash<vontle::InputHistoryModel>
{
  size_t operator() (const vontle::InputHistoryModel &h) const noexcept { return std::hash<const void *> () (h.get ()); }
};
