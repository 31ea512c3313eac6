/* SPDX-License-Identifier: LGPL-2.1-or-later */
/* vontle.hpp: templates. Include vontle/vontle.hpp. */
#pragma once

#include <vontle/hpp/base.hpp>
#include <vontle/hpp/containers.hpp>
#include <vontle/hpp/objects.hpp>

namespace vontle {
inline namespace v5 {

/* A reference to a VontleTemplate. Handlers connected with the on_* calls are
 * lambdas or other functors; each may take the template (Template &) and,
 * for variable-changed, the name (std::string_view), or take nothing of
 * either. They run after the class handlers, like any handler. GLib calls
 * them through noexcept functions, as no exception may unwind through its
 * signal emission: one that escapes a handler calls std::terminate. */
class [[nodiscard]] Template : public detail::ObjectHandle<Template, VontleTemplate>
{
public:
  static GType c_type () noexcept { return VONTLE_TYPE_TEMPLATE; }
  /* Names the handle's calls in its critical warnings. */
  static constexpr const char adopt_name[] = "vontle::Template::adopt";
  static constexpr const char type_text[] = "VONTLE_IS_TEMPLATE(object)";

  /* NULL base: empty. Empty handle when the object could not be made. */
  static Template create (StringArg base = nullptr) noexcept { return adopt (vontle_template_new (base.c_str ())); }

  void set_base (StringArg base) noexcept { vontle_template_set_base (object_, base.c_str ()); }
  /* Lent until the base next changes; NULL when this is no template (a
   * LentString: test it before reading it). Not from a temporary handle,
   * whose reference may be the last. */
  [[nodiscard]] LentString base () const & noexcept { return LentString (vontle_template_get_base (object_)); }
  LentString base () const && = delete;
  /* Lent; empty when the list could not be allocated. Not from a temporary. */
  [[nodiscard]] ListView<const char *> referenced_variables () const & noexcept
  {
    return ListView<const char *> (vontle_template_referenced_variables (object_));
  }
  ListView<const char *> referenced_variables () const && = delete;
  /* The referenced names, copied: safe from any handle. May allocate.
   * (Mode: see detail::Mode.) */
  template <typename Mode = detail::Mode>
  [[nodiscard]] std::vector<std::string> dup_referenced_names () const
  {
    return detail::take_strv (vontle_template_dup_referenced_names (object_));
  }
  bool add_variable (StringArg name) noexcept { return vontle_template_add_variable (object_, name.c_str ()); }
  void set_variable_value (StringArg name, StringArg value) noexcept
  {
    vontle_template_set_variable_value (object_, name.c_str (), value.c_str ());
  }
  /* Empty while a referenced variable is missing. */
  [[nodiscard]] UniqueString evaluate () const noexcept { return UniqueString::adopt (vontle_template_evaluate (object_)); }

  /* Each copies or moves the handler into the connection: that may throw
   * (std::bad_alloc, or what the handler's own copy throws), and the
   * exception then reaches the caller, with nothing connected. */
  template <typename F>
  Connection on_base_changed (F &&handler) { return connect_plain (object_, "base-changed", std::forward<F> (handler)); }
  template <typename F>
  Connection on_changed (F &&handler) { return connect_plain (object_, "changed", std::forward<F> (handler)); }
  template <typename F>
  Connection on_variable_changed (F &&handler)
  {
    using Function = std::decay_t<F>;
    static_assert (std::is_invocable_v<Function &, Template &, std::string_view>
                     || std::is_invocable_v<Function &, std::string_view>,
                   "a variable-changed handler takes (Template &, std::string_view) or (std::string_view)");
    return Connection::connect (object_, "variable-changed",
                                reinterpret_cast<GCallback> (&on_variable_changed_thunk<Function>),
                                new detail::Slot<Function> (std::forward<F> (handler)));
  }

private:
  template <typename F>
  static Connection connect_plain (VontleTemplate *object, const char *signal, F &&handler)
  {
    using Function = std::decay_t<F>;
    static_assert (std::is_invocable_v<Function &, Template &> || std::is_invocable_v<Function &>,
                   "a base-changed or changed handler takes (Template &) or nothing");
    return Connection::connect (object, signal, reinterpret_cast<GCallback> (&plain_thunk<Function>),
                                new detail::Slot<Function> (std::forward<F> (handler)));
  }

  /* The handler gets a reference of its own: it may drop the caller's last one. */
  template <typename Function>
  static void plain_thunk (VontleTemplate *object, gpointer data) noexcept
  {
    Function &function = static_cast<detail::Slot<Function> *> (data)->function;
    if constexpr (std::is_invocable_v<Function &, Template &>)
      {
        Template self = ref (object);
        function (self);
      }
    else
      function ();
  }

  template <typename Function>
  static void on_variable_changed_thunk (VontleTemplate *object, const char *name, gpointer data) noexcept
  {
    Function &function = static_cast<detail::Slot<Function> *> (data)->function;
    const std::string_view view = name ? std::string_view (name) : std::string_view ();
    if constexpr (std::is_invocable_v<Function &, Template &, std::string_view>)
      {
        Template self = ref (object);
        function (self, view);
      }
    else
      function (view);
  }
};


} // namespace v5
} // namespace vontle

template <>
struct std::hash<vontle::Template>
{
  size_t operator() (const vontle::Template &t) const noexcept { return std::hash<const void *> () (t.get ()); }
};
