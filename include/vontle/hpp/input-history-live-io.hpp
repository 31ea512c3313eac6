/* SPDX-License-Identifier: LGPL-2.1-or-later */
/* vontle.hpp: a reader/writer that reports storage changed behind the
 * history's back. Include vontle/vontle.hpp. */
#pragma once

#include <type_traits>
#include <utility>

#include <vontle/hpp/base.hpp>
#include <vontle/hpp/objects.hpp>

namespace vontle {
inline namespace v5 {

/* A reference to an object that implements VontleInputHistoryLiveIO, such
 * as the file store. A history over it reloads by itself; this handle is
 * for code that wants to hear of such changes too, or to report them from a
 * reader/writer of its own.
 *
 *   auto live = vontle::InputHistoryLiveIO::ref (VONTLE_INPUT_HISTORY_LIVE_IO (store.get ()));
 *   auto connection = live.on_storage_changed ([] { puts ("changed elsewhere"); });
 */
class [[nodiscard]] InputHistoryLiveIO : public detail::ObjectHandle<InputHistoryLiveIO, VontleInputHistoryLiveIO>
{
public:
  static GType c_type () noexcept { return VONTLE_TYPE_INPUT_HISTORY_LIVE_IO; }
  static constexpr const char adopt_name[] = "vontle::InputHistoryLiveIO::adopt";
  static constexpr const char type_text[] = "VONTLE_IS_INPUT_HISTORY_LIVE_IO (io)";

  /* The reader/writer, borrowed from this handle's reference. */
  VontleInputHistoryIO *io () const & noexcept { return reinterpret_cast<VontleInputHistoryIO *> (object_); }
  VontleInputHistoryIO *io () const && = delete;

  /* For an implementation: its storage changed elsewhere. */
  void emit_storage_changed () noexcept
  {
    if (object_ != nullptr)
      g_signal_emit_by_name (object_, "storage-changed");
  }

  /* HANDLER takes nothing. An empty handle gives an empty Connection. */
  template <typename F>
  Connection on_storage_changed (F &&handler) noexcept
  {
    using Function = std::decay_t<F>;
    static_assert (std::is_invocable_v<Function &>, "a storage-changed handler takes nothing");
    if (object_ == nullptr)
      return Connection ();
    return Connection::connect (object_, "storage-changed", reinterpret_cast<GCallback> (&thunk<Function>),
                                new detail::Slot<Function> (std::forward<F> (handler)));
  }

private:
  template <typename Function>
  static void thunk (VontleInputHistoryLiveIO * /*io*/, gpointer data) noexcept
  {
    static_cast<detail::Slot<Function> *> (data)->function ();
  }
};

} // namespace v5
} // namespace vontle

template <>
struct std::hash<vontle::InputHistoryLiveIO>
{
  size_t operator() (const vontle::InputHistoryLiveIO &h) const noexcept { return std::hash<const void *> () (h.get ()); }
};
