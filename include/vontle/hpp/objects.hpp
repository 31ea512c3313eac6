/* SPDX-License-Identifier: LGPL-2.1-or-later */
/* vontle.hpp: GObject handles and signal connections. Include vontle/vontle.hpp. */
#pragma once

#include <vontle/hpp/base.hpp>

namespace vontle {
inline namespace v5 {

class Connection;

namespace detail {

/* One GObject reference. Derived adds the typed calls. */
template <typename Derived, typename CType>
class ObjectHandle
{
public:
  ObjectHandle () noexcept = default;
  ObjectHandle (const ObjectHandle &other) noexcept
    : object_ (other.object_ ? static_cast<CType *> (g_object_ref (other.object_)) : nullptr) {}
  ObjectHandle (ObjectHandle &&other) noexcept : object_ (other.release ()) {}
  ObjectHandle &operator= (const ObjectHandle &other) noexcept
  {
    ObjectHandle copy (other);
    std::swap (object_, copy.object_);
    return *this;
  }
  ObjectHandle &operator= (ObjectHandle &&other) noexcept
  {
    ObjectHandle moved (std::move (other));
    std::swap (object_, moved.object_);
    return *this;
  }
  ~ObjectHandle ()
  {
    if (object_ != nullptr)
      g_object_unref (object_);
  }

  /* Takes over the caller's reference. An object of another type is
   * refused with a critical warning: the handle is empty and the reference
   * stays the caller's. */
  static Derived adopt (CType *object) noexcept
  {
    Derived handle;
    if (object == nullptr || is_instance (object, "adopt"))
      static_cast<ObjectHandle &> (handle).object_ = object;
    return handle;
  }
  /* Takes a reference of its own; refuses another type as adopt () does. */
  static Derived ref (CType *object) noexcept
  {
    if (object == nullptr || !is_instance (object, "ref"))
      return Derived ();
    Derived handle;
    static_cast<ObjectHandle &> (handle).object_ = static_cast<CType *> (g_object_ref (object));
    return handle;
  }

  CType *get () const noexcept { return object_; }
  [[nodiscard]] CType *release () noexcept { return std::exchange (object_, nullptr); }
  explicit operator bool () const noexcept { return object_ != nullptr; }
  /* The same object, not equal contents. */
  friend bool operator== (const ObjectHandle &a, const ObjectHandle &b) noexcept { return a.object_ == b.object_; }
  friend bool operator!= (const ObjectHandle &a, const ObjectHandle &b) noexcept { return a.object_ != b.object_; }
  using ordered_by_address = void;

private:
  /* Reported as GLib's own checks are, under the name of the call: CALL in
   * the scope of Derived::adopt_name ("vontle::Template::adopt"). */
  static bool is_instance (CType *object, const char *call) noexcept
  {
    if (G_TYPE_CHECK_INSTANCE_TYPE (object, Derived::c_type ()))
      return true;
    const std::string_view adopt_name = Derived::adopt_name;
    const std::string_view scope = adopt_name.substr (0, adopt_name.rfind ("::") + 2);
    char name[128];
    g_snprintf (name, sizeof name, "%.*s%s", static_cast<int> (scope.size ()), scope.data (), call);
    g_return_if_fail_warning (nullptr, name, Derived::type_text);
    return false;
  }

protected:
  CType *object_ = nullptr;
};

/* What a connected handler's closure carries: the functor, and the
 * Connection that currently stands for it (none once released). */
struct SlotBase
{
  virtual ~SlotBase () = default;
  gpointer instance = nullptr;
  gulong id = 0;
  Connection *owner = nullptr;
};

template <typename F>
struct Slot final : SlotBase
{
  explicit Slot (F &&f) : function (std::move (f)) {}
  explicit Slot (const F &f) : function (f) {}
  F function;
};

} // namespace detail

/* A signal handler's connection. Destroying it, or disconnect (), removes the
 * handler; after that the handler never runs again. When the object dies
 * first, the connection just becomes empty. Movable, not copyable. */
class [[nodiscard]] Connection
{
public:
  Connection () noexcept = default;
  Connection (Connection &&other) noexcept : slot_ (std::exchange (other.slot_, nullptr))
  {
    if (slot_ != nullptr)
      slot_->owner = this;
  }
  Connection &operator= (Connection &&other) noexcept
  {
    if (this != &other)
      {
        disconnect ();
        slot_ = std::exchange (other.slot_, nullptr);
        if (slot_ != nullptr)
          slot_->owner = this;
      }
    return *this;
  }
  ~Connection () { disconnect (); }

  /* A moved-from Connection is empty: connected () is false. */
  bool connected () const noexcept { return slot_ != nullptr; }

  void disconnect () noexcept
  {
    detail::SlotBase *slot = std::exchange (slot_, nullptr);
    if (slot == nullptr)
      return;
    slot->owner = nullptr;
    /* Frees the slot, now or when a running emission lets go of it. */
    g_signal_handler_disconnect (slot->instance, slot->id);
  }

  /* Leaves the handler connected for the object's whole life; returns its
   * id (0 when empty). Not [[nodiscard]]: the id is seldom wanted. */
  gulong release () noexcept
  {
    detail::SlotBase *slot = std::exchange (slot_, nullptr);
    if (slot == nullptr)
      return 0;
    slot->owner = nullptr;
    return slot->id;
  }

private:
  friend class Template;
  friend class InputHistoryLiveIO;

  /* Connects handler (a C function taking the signal's arguments and then the
   * slot) with the slot as its data; the closure owns the slot from then on.
   * A refused connection (GLib reports it) gives an empty Connection. */
  static Connection connect (gpointer instance, const char *signal, GCallback handler,
                             detail::SlotBase *slot) noexcept
  {
    slot->instance = instance;
    slot->id = g_signal_connect_data (instance, signal, handler, slot, destroy_slot, GConnectFlags (0));
    if (slot->id == 0)
      {
        delete slot;
        return Connection ();
      }
    return Connection (slot);
  }

  explicit Connection (detail::SlotBase *slot) noexcept : slot_ (slot) { slot_->owner = this; }

  /* The closure is gone: disconnected, or the object was disposed. */
  static void destroy_slot (gpointer data, GClosure *) noexcept
  {
    auto *slot = static_cast<detail::SlotBase *> (data);
    if (slot->owner != nullptr)
      slot->owner->slot_ = nullptr;
    delete slot;
  }

  detail::SlotBase *slot_ = nullptr;
};

} // namespace v5
} // namespace vontle
