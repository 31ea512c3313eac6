/* SPDX-License-Identifier: LGPL-2.1-or-later */
/* libvontle for C++17 and later: owning handles, typed iteration, string
 * arguments and results, signal connections from lambdas and history storage
 * in a C++ class. Header only: everything here is inline and calls the C API,
 * so it adds no symbol to the library and needs nothing but libvontle.
 *
 * Ownership
 *   List, ListIterator, Node    move-only; each frees what it holds
 *   Template, InputHistory      one GObject reference each: a copy takes
 *                               another (g_object_ref), a move steals it
 *   UniqueString                a string the caller owns (g_free)
 *   ListView<T>, NodeRef        borrowed; they never free anything
 * Every handle gives its C pointer with get (), gives it up with release ()
 * and is made from one with adopt () (Template and InputHistory also with
 * ref (), which takes a new reference). A handle may be empty (default
 * constructed, moved from, or a constructor that ran out of memory); calling
 * through an empty handle is what calling the C function with NULL is: a
 * critical warning and a neutral result. Only walks differ: a range-for over
 * an empty list handle or a node's children walks nothing, silently.
 *
 * Strings go in as StringArg: a const char * (NULL where the C call allows
 * it) or a std::string is passed through as it is; a std::string_view is
 * copied into a NUL-terminated buffer for the length of the call. New strings
 * come back as UniqueString, which stays distinguishable from NULL; lent
 * strings come back as const char *, as in C.
 *
 * Nothing here throws. Callbacks from C into C++ (signal handlers, history
 * storage) are noexcept: an exception that escapes them ends the program
 * instead of unwinding through C frames. */
#pragma once

#if !defined(__cplusplus) || __cplusplus < 201703L
#error "vontle/vontle.hpp needs C++17 or later; C callers include vontle/vontle.h"
#endif

#include <cstddef>
#include <cstdint>
#include <iterator>
#include <optional>
#include <string>
#include <string_view>
#include <type_traits>
#include <utility>
#include <vector>

#include <glib-object.h>
#include <vontle/vontle.h>

namespace vontle {

/* ------------------------------------------------------------- strings -- */

/* A string argument for one call. Literals, const char * (NULL included) and
 * std::string are passed on without a copy; a std::string_view is copied,
 * into a small buffer inside the argument when it fits, and is never NULL,
 * not even when empty. A view with an embedded NUL is cut there, as every C
 * string is. Only ever a parameter: it may point into itself, so it can be
 * neither copied nor moved. */
class StringArg
{
public:
  StringArg (const char *string) noexcept : string_ (string) {}
  StringArg (const std::string &string) noexcept : string_ (string.c_str ()) {}
  StringArg (std::string_view string) noexcept
  {
    char *copy = buffer_;
    if (string.size () >= sizeof buffer_)
      copy = heap_ = static_cast<char *> (g_malloc (string.size () + 1));
    string.copy (copy, string.size ());
    copy[string.size ()] = '\0';
    string_ = copy;
  }
  StringArg (const StringArg &) = delete;
  StringArg &operator= (const StringArg &) = delete;
  ~StringArg () { g_free (heap_); }

  const char *c_str () const noexcept { return string_; }

private:
  const char *string_ = nullptr;
  char *heap_ = nullptr;
  char buffer_[64];
};

/* A string the caller owns, released with g_free; empty for a NULL result. */
class [[nodiscard]] UniqueString
{
public:
  UniqueString () noexcept = default;
  static UniqueString adopt (char *string) noexcept { return UniqueString (string); }
  UniqueString (UniqueString &&other) noexcept : string_ (other.release ()) {}
  UniqueString &operator= (UniqueString &&other) noexcept
  {
    if (this != &other)
      {
        g_free (string_);
        string_ = other.release ();
      }
    return *this;
  }
  ~UniqueString () { g_free (string_); }

  const char *get () const noexcept { return string_; }
  char *release () noexcept { return std::exchange (string_, nullptr); }
  explicit operator bool () const noexcept { return string_ != nullptr; }

  /* The text; an empty view for NULL (test the handle to tell them apart). */
  std::string_view view () const noexcept { return string_ ? std::string_view (string_) : std::string_view (); }
  std::optional<std::string> to_optional () const
  {
    return string_ ? std::optional<std::string> (string_) : std::nullopt;
  }

private:
  explicit UniqueString (char *string) noexcept : string_ (string) {}
  char *string_ = nullptr;
};

namespace detail {

/* Elements are untyped pointers; a typed view reads them as pointers, or as
 * integers stored with GINT_TO_POINTER and its kin. */
template <typename T>
inline T
element_cast (void *element) noexcept
{
  if constexpr (std::is_pointer_v<T>)
    return static_cast<T> (element);
  else
    {
      static_assert (std::is_integral_v<T> || std::is_enum_v<T>,
                     "list elements are read as pointers or as integers stored in pointers");
      return static_cast<T> (reinterpret_cast<std::uintptr_t> (element));
    }
}

/* What a view over a NULL list walks: nothing. */
inline const VontleList empty_list = { nullptr, 0, nullptr, nullptr };

} // namespace detail

/* --------------------------------------------------------------- lists -- */

/* A borrowed list read as elements of type T. Iteration reads the list's
 * fields directly and checks the size before every step, so elements added
 * meanwhile are visited and a list that shrinks is never read past its end.
 * A view over a NULL list is empty. */
template <typename T>
class ListView
{
public:
  class iterator
  {
  public:
    using iterator_category = std::input_iterator_tag;
    using value_type = T;
    using difference_type = std::ptrdiff_t;
    using pointer = void;
    using reference = T;

    iterator () noexcept = default;
    iterator (const VontleList *list, size_t index) noexcept : list_ (list), index_ (index) {}

    T operator* () const noexcept { return detail::element_cast<T> (list_->start[index_]); }
    iterator &operator++ () noexcept { ++index_; return *this; }
    iterator operator++ (int) noexcept { iterator before = *this; ++index_; return before; }

    /* Every position at or past the end equals end (): the end moves with the list. */
    friend bool operator== (const iterator &a, const iterator &b) noexcept
    {
      return a.at_end () ? b.at_end () : !b.at_end () && a.index_ == b.index_;
    }
    friend bool operator!= (const iterator &a, const iterator &b) noexcept { return !(a == b); }

  private:
    bool at_end () const noexcept { return index_ >= list_->size; }
    const VontleList *list_ = &detail::empty_list;
    size_t index_ = 0;
  };

  using value_type = T;
  using const_iterator = iterator;

  ListView (VontleList *list = nullptr) noexcept : list_ (list) {}

  iterator begin () const noexcept { return iterator (walked (), 0); }
  iterator end () const noexcept { return iterator (walked (), SIZE_MAX); }
  size_t size () const noexcept { return walked ()->size; }
  bool empty () const noexcept { return size () == 0; }
  /* Through vontle_list_nth (), which checks n against the size. */
  T operator[] (size_t n) const noexcept { return detail::element_cast<T> (vontle_list_nth (list_, n)); }
  VontleList *get () const noexcept { return list_; }

private:
  const VontleList *walked () const noexcept { return list_ ? list_ : &detail::empty_list; }
  VontleList *list_;
};

/* An owning list. Elements are untyped pointers: read them typed through
 * as<T> (), e.g. for (const char *s : list.as<const char *> ()). Range-for
 * over the list itself gives void *. */
class [[nodiscard]] List
{
public:
  List () noexcept = default;
  /* NULL free function: the list owns nothing. Empty when memory ran out. */
  static List create (VontleFreeFunction free_func = nullptr) noexcept
  {
    return List (vontle_list_new_with_free (free_func));
  }
  static List create_sorted (VontleCompareFunction cmp, VontleFreeFunction free_func = nullptr) noexcept
  {
    return List (vontle_sorted_list_new_with_free (cmp, free_func));
  }
  static List adopt (VontleList *list) noexcept { return List (list); }

  List (List &&other) noexcept : list_ (other.release ()) {}
  List &operator= (List &&other) noexcept
  {
    if (this != &other)
      {
        vontle_list_free (list_);
        list_ = other.release ();
      }
    return *this;
  }
  ~List () { vontle_list_free (list_); }

  VontleList *get () const noexcept { return list_; }
  VontleList *release () noexcept { return std::exchange (list_, nullptr); }
  explicit operator bool () const noexcept { return list_ != nullptr; }

  using iterator = ListView<void *>::iterator;
  using const_iterator = iterator;
  using value_type = void *;

  template <typename T>
  ListView<T> as () const noexcept { return ListView<T> (list_); }
  iterator begin () const noexcept { return as<void *> ().begin (); }
  iterator end () const noexcept { return as<void *> ().end (); }

  size_t size () const noexcept { return vontle_list_size (list_); }
  bool empty () const noexcept { return size () == 0; }
  template <typename T = void *>
  T nth (size_t n) const noexcept { return detail::element_cast<T> (vontle_list_nth (list_, n)); }
  ssize_t position (void *element) const noexcept { return vontle_list_position (list_, element); }
  bool contains (void *element) const noexcept { return vontle_list_contains (list_, element); }
  template <typename T = void *>
  T find (VontleCompareFunction compare, void *wanted) const noexcept
  {
    return detail::element_cast<T> (vontle_list_find (list_, compare, wanted));
  }

  void append (void *element) noexcept { vontle_list_append (list_, element); }
  void prepend (void *element) noexcept { vontle_list_prepend (list_, element); }
  void set_nth (size_t n, void *element) noexcept { vontle_list_set_nth (list_, n, element); }
  void remove (void *element) noexcept { vontle_list_remove (list_, element); }
  void sort (VontleCompareFunction compare) noexcept { vontle_list_sort (list_, compare); }
  void clear () noexcept { vontle_list_clear (list_); }
  void set_free_function (VontleFreeFunction free_func) noexcept { vontle_list_set_free_function (list_, free_func); }

  /* Takes other's elements over and frees its record. */
  void merge (List &&other) noexcept
  {
    vontle_list_merge (list_, other.list_);
    /* Refused (a NULL or the same list): other keeps what it has. */
    if (list_ != nullptr && &other != this)
      other = List ();
  }

private:
  explicit List (VontleList *list) noexcept : list_ (list) {}
  VontleList *list_ = nullptr;
};

/* An owning list iterator; it must not outlive its list. */
class [[nodiscard]] ListIterator
{
public:
  ListIterator () noexcept = default;
  /* At the first element; empty for an empty list, where
   * vontle_list_iterator () returns NULL. */
  static ListIterator create (const List &list) noexcept { return ListIterator (vontle_list_iterator (list.get ())); }
  static ListIterator adopt (VontleListIterator *iter) noexcept { return ListIterator (iter); }

  ListIterator (ListIterator &&other) noexcept : iter_ (other.release ()) {}
  ListIterator &operator= (ListIterator &&other) noexcept
  {
    if (this != &other)
      {
        vontle_list_iterator_free (iter_);
        iter_ = other.release ();
      }
    return *this;
  }
  ~ListIterator () { vontle_list_iterator_free (iter_); }

  VontleListIterator *get () const noexcept { return iter_; }
  VontleListIterator *release () noexcept { return std::exchange (iter_, nullptr); }
  /* Whether the handle holds an iterator; valid () tells whether it stands on an element. */
  explicit operator bool () const noexcept { return iter_ != nullptr; }

  ListIterator copy () const noexcept { return ListIterator (vontle_list_iterator_copy (iter_)); }

  bool valid () const noexcept { return vontle_list_iterator_is_valid (iter_); }
  bool has_next () const noexcept { return vontle_list_iterator_has_next (iter_); }
  bool has_previous () const noexcept { return vontle_list_iterator_has_previous (iter_); }
  /* Each returns whether the iterator stands on an element after the step. */
  bool next () noexcept { return vontle_list_iterator_next (iter_) != nullptr; }
  bool previous () noexcept { return vontle_list_iterator_previous (iter_) != nullptr; }

  template <typename T = void *>
  T data () const noexcept { return detail::element_cast<T> (vontle_list_iterator_data (iter_)); }
  void set (void *element) noexcept { vontle_list_iterator_set (iter_, element); }
  void remove () noexcept { vontle_list_iterator_remove (iter_); }

private:
  explicit ListIterator (VontleListIterator *iter) noexcept : iter_ (iter) {}
  VontleListIterator *iter_ = nullptr;
};

/* ---------------------------------------------------------------- tree -- */

class Node;
class NodeChildren;

/* A borrowed node: a child that its tree owns, or any node of a tree held
 * elsewhere. Valid as long as the node is. */
class NodeRef
{
public:
  NodeRef () noexcept = default;
  explicit NodeRef (VontleNode *node) noexcept : node_ (node) {}

  VontleNode *get () const noexcept { return node_; }
  explicit operator bool () const noexcept { return node_ != nullptr; }
  friend bool operator== (const NodeRef &a, const NodeRef &b) noexcept { return a.node_ == b.node_; }
  friend bool operator!= (const NodeRef &a, const NodeRef &b) noexcept { return a.node_ != b.node_; }

  template <typename T = void *>
  T data () const noexcept { return detail::element_cast<T> (vontle_node_get_data (node_)); }
  void set_data (void *value) noexcept { vontle_node_set_data (node_, value); }
  void set_free_function (VontleFreeFunction free_func) noexcept { vontle_node_set_free_function (node_, free_func); }

  NodeRef parent () const noexcept { return NodeRef (vontle_node_get_parent (node_)); }
  NodeRef root () const noexcept { return NodeRef (vontle_node_get_root (node_)); }
  size_t num_children () const noexcept { return vontle_node_get_num_children (node_); }
  /* Children first to last; see NodeChildren. */
  NodeChildren children () const noexcept;

  /* The new last child, owned by the tree, with this node's free function. */
  NodeRef append_data (void *value) noexcept { return NodeRef (vontle_node_append_data (node_, value)); }
  /* Makes child's tree the last child; the tree then owns it. When the C
   * call refuses it, child keeps it and an empty NodeRef is returned. */
  NodeRef append (Node &&child) noexcept;

protected:
  VontleNode *node_ = nullptr;
};

/* An owning handle on the root of a tree: destroying it frees the tree. */
class [[nodiscard]] Node : public NodeRef
{
public:
  Node () noexcept = default;
  /* Empty when memory ran out. */
  static Node create (void *value = nullptr, VontleFreeFunction free_func = nullptr) noexcept
  {
    Node root (vontle_node_new (value));
    if (root && free_func != nullptr)
      root.set_free_function (free_func);
    return root;
  }
  static Node adopt (VontleNode *root) noexcept { return Node (root); }

  Node (Node &&other) noexcept : NodeRef (other.release ()) {}
  Node &operator= (Node &&other) noexcept
  {
    if (this != &other)
      {
        vontle_node_free (node_);
        node_ = other.release ();
      }
    return *this;
  }
  ~Node () { vontle_node_free (node_); }

  VontleNode *release () noexcept { return std::exchange (node_, nullptr); }

private:
  explicit Node (VontleNode *root) noexcept : NodeRef (root) {}
};

/* A node's children, walked through the tree itself (no list is made). The
 * next sibling is read before the loop body runs, so the body may free the
 * child it was given. A NULL node has no children. */
class NodeChildren
{
public:
  class iterator
  {
  public:
    using iterator_category = std::input_iterator_tag;
    using value_type = NodeRef;
    using difference_type = std::ptrdiff_t;
    using pointer = void;
    using reference = NodeRef;

    iterator () noexcept = default;
    explicit iterator (GNode *child) noexcept : child_ (child), next_ (child ? child->next : nullptr) {}

    NodeRef operator* () const noexcept { return NodeRef (static_cast<VontleNodeData *> (child_->data)->node); }
    iterator &operator++ () noexcept
    {
      child_ = next_;
      next_ = child_ ? child_->next : nullptr;
      return *this;
    }
    iterator operator++ (int) noexcept { iterator before = *this; ++*this; return before; }
    friend bool operator== (const iterator &a, const iterator &b) noexcept { return a.child_ == b.child_; }
    friend bool operator!= (const iterator &a, const iterator &b) noexcept { return a.child_ != b.child_; }

  private:
    GNode *child_ = nullptr;
    GNode *next_ = nullptr;
  };

  explicit NodeChildren (VontleNode *node) noexcept
    : first_ (node != nullptr && node->node != nullptr ? node->node->children : nullptr) {}
  iterator begin () const noexcept { return iterator (first_); }
  iterator end () const noexcept { return iterator (); }

private:
  GNode *first_;
};

inline NodeChildren
NodeRef::children () const noexcept
{
  return NodeChildren (node_);
}

inline NodeRef
NodeRef::append (Node &&child) noexcept
{
  VontleNode *attached = child.get ();
  vontle_node_append (node_, attached);
  if (node_ == nullptr || attached == nullptr || vontle_node_get_parent (attached) != node_)
    return NodeRef ();
  child.release ();
  return NodeRef (attached);
}

/* ------------------------------------------------------------- objects -- */

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

  /* Takes over the caller's reference. */
  static Derived adopt (CType *object) noexcept
  {
    Derived handle;
    static_cast<ObjectHandle &> (handle).object_ = object;
    return handle;
  }
  /* Takes a reference of its own. */
  static Derived ref (CType *object) noexcept
  {
    return adopt (object ? static_cast<CType *> (g_object_ref (object)) : nullptr);
  }

  CType *get () const noexcept { return object_; }
  CType *release () noexcept { return std::exchange (object_, nullptr); }
  explicit operator bool () const noexcept { return object_ != nullptr; }

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

  /* Leaves the handler connected for the object's whole life; returns its id. */
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

/* --------------------------------------------------------- the history -- */

namespace detail {

/* The instance of the GObject class that stands for an InputHistoryStorage.
 * The class may have been registered by another module that includes this
 * header, so its functions touch only this plain layout and call back through
 * the function pointers that the module which made the instance put there.
 * The type name carries the layout's version: change one, change both. */
struct StorageInstance
{
  GObject parent_instance;
  void *storage; /* the C++ object; NULL once it is destroyed */
  void (*append) (void *storage, const char *line);
  VontleList *(*read) (void *storage);
};

inline constexpr char storage_type_name[] = "VontleCxxInputHistoryStorage1";

inline void
storage_io_append (VontleInputHistoryIO *io, const char *line) noexcept
{
  auto *self = reinterpret_cast<StorageInstance *> (io);
  if (self->storage != nullptr && line != nullptr)
    self->append (self->storage, line);
}

inline VontleList *
storage_io_read (VontleInputHistoryIO *io) noexcept
{
  auto *self = reinterpret_cast<StorageInstance *> (io);
  return self->storage != nullptr ? self->read (self->storage) : nullptr;
}

inline void
storage_io_init (gpointer iface, gpointer) noexcept
{
  auto *io_iface = static_cast<VontleInputHistoryIOInterface *> (iface);
  io_iface->append = storage_io_append;
  io_iface->read = storage_io_read;
}

/* Registers the class unless another module already did. Two modules that
 * race here from two threads on first use can both miss the name: the loser
 * gets GLib's warning about the existing type and uses the winner's. */
inline GType
register_storage_type () noexcept
{
  if (GType type = g_type_from_name (storage_type_name))
    return type;
  GType type = g_type_register_static_simple (G_TYPE_OBJECT, storage_type_name, sizeof (GObjectClass),
                                              nullptr, sizeof (StorageInstance), nullptr, GTypeFlags (0));
  if (type == 0)
    return g_type_from_name (storage_type_name);
  const GInterfaceInfo info = { storage_io_init, nullptr, nullptr };
  g_type_add_interface_static (type, VONTLE_TYPE_INPUT_HISTORY_IO, &info);
  return type;
}

inline GType
storage_type () noexcept
{
  static const GType type = register_storage_type ();
  return type;
}

} // namespace detail

/* Storage for an input history, written as a C++ class: override append and
 * read, then hand the object to InputHistory::create (). Behind it stands a
 * small GObject implementing VontleInputHistoryIO, which the history holds a
 * reference to and which points back here without owning this object.
 *
 * Lifetime: keep the storage alive for as long as a history uses it. When it
 * is destroyed first, the GObject forgets it: appends then store nothing and
 * every read reports nothing stored, so the history empties at its next
 * reset, but nothing dangles. A derived destructor that makes the history
 * append or reset still runs with this object half destroyed: destroy the
 * history first. Storage objects can be neither copied nor moved. */
class InputHistoryStorage
{
public:
  InputHistoryStorage () noexcept
    : object_ (static_cast<detail::StorageInstance *> (g_object_new (detail::storage_type (), nullptr)))
  {
    object_->storage = this;
    object_->append = append_line;
    object_->read = read_lines;
  }
  InputHistoryStorage (const InputHistoryStorage &) = delete;
  InputHistoryStorage &operator= (const InputHistoryStorage &) = delete;
  virtual ~InputHistoryStorage ()
  {
    object_->storage = nullptr;
    g_object_unref (object_);
  }

  /* Stores a line the history appended; the view is valid during the call only. */
  virtual void append (std::string_view line) = 0;
  /* Every stored line, oldest first; std::nullopt when nothing is stored. */
  virtual std::optional<std::vector<std::string>> read () = 0;

  /* The reader/writer object (borrowed) to give to vontle_input_history_new (). */
  VontleInputHistoryIO *io () const noexcept { return reinterpret_cast<VontleInputHistoryIO *> (object_); }

private:
  static void append_line (void *storage, const char *line) noexcept
  {
    static_cast<InputHistoryStorage *> (storage)->append (line);
  }

  /* The history takes a g_free-owning list over silently. */
  static VontleList *read_lines (void *storage) noexcept
  {
    std::optional<std::vector<std::string>> lines = static_cast<InputHistoryStorage *> (storage)->read ();
    if (!lines)
      return nullptr;
    VontleList *list = vontle_list_new_with_free (g_free);
    for (size_t i = 0; list != nullptr && i < lines->size (); i++)
      vontle_list_append (list, g_strndup ((*lines)[i].data (), (*lines)[i].size ()));
    return list;
  }

  detail::StorageInstance *object_;
};

/* A reference to a VontleInputHistory. */
class [[nodiscard]] InputHistory : public detail::ObjectHandle<InputHistory, VontleInputHistory>
{
public:
  /* NULL io: a history kept in memory only. */
  static InputHistory create (VontleInputHistoryIO *io = nullptr) noexcept
  {
    return adopt (vontle_input_history_new (io));
  }
  /* Not from a temporary: the storage must outlive the history. */
  static InputHistory create (InputHistoryStorage &storage) noexcept { return create (storage.io ()); }

  void append (StringArg line) noexcept { vontle_input_history_append (object_, line.c_str ()); }
  /* The entries, oldest first, lent: valid until the history next changes. */
  ListView<const char *> list () const noexcept { return vontle_input_history_list (object_); }
  /* Lent strings, or NULL when nothing matches. */
  const char *next (StringArg line) noexcept { return vontle_input_history_next (object_, line.c_str ()); }
  const char *previous (StringArg line) noexcept { return vontle_input_history_previous (object_, line.c_str ()); }
  void reset () noexcept { vontle_input_history_reset (object_); }
};

/* ----------------------------------------------------------- templates -- */

/* A reference to a VontleTemplate. Handlers connected with the on_* calls are
 * lambdas or other functors; each may take the template (Template &) and,
 * for variable-changed, the name (std::string_view), or take nothing of
 * either. They run after the class handlers, like any handler. */
class [[nodiscard]] Template : public detail::ObjectHandle<Template, VontleTemplate>
{
public:
  /* NULL base: empty. Empty handle when the object could not be made. */
  static Template create (StringArg base = nullptr) noexcept { return adopt (vontle_template_new (base.c_str ())); }

  void set_base (StringArg base) noexcept { vontle_template_set_base (object_, base.c_str ()); }
  /* Lent until the base next changes; NULL when this is no template. */
  const char *base () const noexcept { return vontle_template_get_base (object_); }
  /* Lent; empty when the list could not be allocated. */
  ListView<const char *> referenced_variables () const noexcept
  {
    return vontle_template_referenced_variables (object_);
  }
  bool add_variable (StringArg name) noexcept { return vontle_template_add_variable (object_, name.c_str ()); }
  void set_variable_value (StringArg name, StringArg value) noexcept
  {
    vontle_template_set_variable_value (object_, name.c_str (), value.c_str ());
  }
  /* Empty while a referenced variable is missing. */
  UniqueString evaluate () const noexcept { return UniqueString::adopt (vontle_template_evaluate (object_)); }

  template <typename F>
  Connection on_base_changed (F &&handler) noexcept { return connect_plain (object_, "base-changed", std::forward<F> (handler)); }
  template <typename F>
  Connection on_changed (F &&handler) noexcept { return connect_plain (object_, "changed", std::forward<F> (handler)); }
  template <typename F>
  Connection on_variable_changed (F &&handler) noexcept
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
  static Connection connect_plain (VontleTemplate *object, const char *signal, F &&handler) noexcept
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

/* ----------------------------------------------------------- utilities -- */

/* NULL user name: the current user's. */
inline UniqueString home_directory (StringArg user_name = nullptr) noexcept
{
  return UniqueString::adopt (vontle_get_home_directory (user_name.c_str ()));
}
inline UniqueString fix_path (StringArg path) noexcept { return UniqueString::adopt (vontle_fix_path (path.c_str ())); }
inline UniqueString xdg_path (VontleXdgPath kind) noexcept { return UniqueString::adopt (vontle_get_xdg_path (kind)); }
inline bool xdg_open (StringArg uri, StringArg working_directory = nullptr) noexcept
{
  return vontle_xdg_open_with_working_directory (uri.c_str (), working_directory.c_str ());
}
inline UniqueString escape_string (StringArg string) noexcept
{
  return UniqueString::adopt (vontle_escape_string (string.c_str ()));
}
inline UniqueString replace_substring (StringArg string, StringArg old, StringArg replacement) noexcept
{
  return UniqueString::adopt (vontle_replace_substring (string.c_str (), old.c_str (), replacement.c_str ()));
}

} // namespace vontle
