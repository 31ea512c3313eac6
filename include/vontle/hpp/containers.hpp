/* SPDX-License-Identifier: LGPL-2.1-or-later */
/* vontle.hpp: lists, list iterators and trees. Include vontle/vontle.hpp. */
#pragma once

#include <vontle/hpp/base.hpp>

namespace vontle {
inline namespace v5 {

namespace detail {

/* What a view over a NULL list walks: nothing. */
inline const VontleList empty_list = { nullptr, 0, nullptr, nullptr };

/* Where exceptions are on, the sort catches them: its own namespace keeps
 * it apart from the plain one, so a program that mixes both kinds of
 * translation units links each to its own. */
#if defined(__cpp_exceptions)
inline namespace catching {
#else
inline namespace plain {
#endif

/* One sort with a C++ callable. The C comparator carries no data, so the
 * callable of the sort running on this thread sits in a thread-local
 * pointer; a sort inside the callable sets its own and puts this one back. */
template <typename Compare>
class SortCall
{
public:
  explicit SortCall (Compare &compare) noexcept : compare_ (compare) {}
  SortCall (const SortCall &) = delete;
  SortCall &operator= (const SortCall &) = delete;

  void sort (VontleList *list)
  {
    SortCall *outer = std::exchange (running, this);
    vontle_list_sort (list, compare_slots);
    running = outer;
#if defined(__cpp_exceptions)
    if (error_)
      std::rethrow_exception (error_);
#endif
  }

private:
  /* An exception must not unwind through the C sort, which would leave the
   * list marked as being sorted: it is kept until the sort returns, and
   * every later comparison says "equal" so that the sort ends soon. */
  static int compare_slots (const void *a, const void *b) noexcept
  {
    SortCall *call = running;
#if defined(__cpp_exceptions)
    if (call->error_)
      return 0;
    try
      {
        return call->compare_ (a, b);
      }
    catch (...)
      {
        call->error_ = std::current_exception ();
        return 0;
      }
#else
    return call->compare_ (a, b);
#endif
  }

  static inline thread_local SortCall *running = nullptr;
  Compare &compare_;
#if defined(__cpp_exceptions)
  std::exception_ptr error_;
#endif
};

} // inline namespace catching or plain

} // namespace detail

/* --------------------------------------------------------------- lists -- */

/* A borrowed list read as elements of type T: a view, cheap to copy, that
 * never frees anything, so its iterators stay valid when the view itself is
 * gone (a borrowed range). Iteration reads the list's fields directly and
 * checks the size on every comparison, so elements added meanwhile are
 * visited and a list that shrinks is never read past its end. A view over a
 * NULL list is empty. Elements come out by value (T), so nothing is written
 * into the list through a view. */
template <typename T>
class ListView
{
public:
  /* An index into the list. Positions are clamped to the list's current
   * size, so end () follows the list as it grows or shrinks, and every
   * position past the end equals end (). Random access: it is an index. */
  class iterator
  {
  public:
    /* Random access, as an index is, though elements come out as values,
     * not references into storage: std::prev, std::distance and
     * std::advance then step by arithmetic, and backwards. The same in
     * every standard, so that all translation units share one definition. */
    using iterator_concept = std::random_access_iterator_tag;
    using iterator_category = std::random_access_iterator_tag;
    using value_type = T;
    using difference_type = std::ptrdiff_t;
    using pointer = void;
    using reference = T;

    iterator () noexcept = default;
    iterator (const VontleList *list, size_t index) noexcept : list_ (list), index_ (index) {}

    T operator* () const noexcept { return detail::element_cast<T> (list_->start[index_]); }
    T operator[] (difference_type n) const noexcept { return *(*this + n); }

    /* Plain, as a loop's step should be: only end () lies past the end,
     * and it is never stepped forward. */
    iterator &operator++ () noexcept { ++index_; return *this; }
    iterator operator++ (int) noexcept { iterator before = *this; ++*this; return before; }
    iterator &operator-- () noexcept { index_ = position () - 1; return *this; }
    iterator operator-- (int) noexcept { iterator before = *this; --*this; return before; }
    iterator &operator+= (difference_type n) noexcept
    {
      index_ = static_cast<size_t> (static_cast<difference_type> (position ()) + n);
      return *this;
    }
    iterator &operator-= (difference_type n) noexcept { return *this += -n; }
    friend iterator operator+ (iterator it, difference_type n) noexcept { return it += n; }
    friend iterator operator+ (difference_type n, iterator it) noexcept { return it += n; }
    friend iterator operator- (iterator it, difference_type n) noexcept { return it -= n; }
    friend difference_type operator- (const iterator &a, const iterator &b) noexcept
    {
      return static_cast<difference_type> (a.position ()) - static_cast<difference_type> (b.position ());
    }

    /* What comparing positions gives, in the form a loop's test compiles best. */
    friend bool operator== (const iterator &a, const iterator &b) noexcept
    {
      return a.at_end () ? b.at_end () : !b.at_end () && a.index_ == b.index_;
    }
    friend bool operator!= (const iterator &a, const iterator &b) noexcept { return !(a == b); }
    friend bool operator< (const iterator &a, const iterator &b) noexcept { return a.position () < b.position (); }
    friend bool operator> (const iterator &a, const iterator &b) noexcept { return b < a; }
    friend bool operator<= (const iterator &a, const iterator &b) noexcept { return !(b < a); }
    friend bool operator>= (const iterator &a, const iterator &b) noexcept { return !(a < b); }

  private:
    bool at_end () const noexcept { return index_ >= list_->size; }
    size_t position () const noexcept { return index_ < list_->size ? index_ : list_->size; }
    const VontleList *list_ = &detail::empty_list;
    size_t index_ = 0;
  };

  using value_type = T;
  using const_iterator = iterator;

  ListView () noexcept = default;
  explicit ListView (VontleList *list) noexcept : list_ (list) {}

  iterator begin () const noexcept { return iterator (walked (), 0); }
  iterator end () const noexcept { return iterator (walked (), SIZE_MAX); }
  size_t size () const noexcept { return walked ()->size; }
  bool empty () const noexcept { return size () == 0; }
  /* Through vontle_list_nth (), which checks n against the size. */
  T operator[] (size_t n) const noexcept { return detail::element_cast<T> (vontle_list_nth (list_, n)); }
  VontleList *get () const noexcept { return list_; }

private:
  const VontleList *walked () const noexcept { return list_ ? list_ : &detail::empty_list; }
  VontleList *list_ = nullptr;
};

/* An owning list. Elements are untyped pointers: read them typed through
 * as<T> (), e.g. for (const char *s : list.as<const char *> ()). Range-for
 * over the list itself gives void *. Views and iterators are taken from a
 * list that lives on (not from a temporary, which frees the list at the end
 * of the full expression). A moved-from List is empty. Equality compares
 * which list is held, not the elements. */
class [[nodiscard]] List
{
public:
  List () noexcept = default;
  /* NULL free function: the list owns nothing. Empty when memory ran out.
   * The free function and the comparator are called from C: they must not
   * throw, as nothing can unwind through the C code that calls them. */
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

  /* The C list, for the C API; the List keeps it. */
  VontleList *get () const noexcept { return list_; }
  [[nodiscard]] VontleList *release () noexcept { return std::exchange (list_, nullptr); }
  explicit operator bool () const noexcept { return list_ != nullptr; }
  friend bool operator== (const List &a, const List &b) noexcept { return a.list_ == b.list_; }
  friend bool operator!= (const List &a, const List &b) noexcept { return a.list_ != b.list_; }
  using ordered_by_address = void;

  using iterator = ListView<void *>::iterator;
  using const_iterator = iterator;
  using value_type = void *;

  template <typename T>
  ListView<T> as () const & noexcept { return ListView<T> (list_); }
  template <typename T>
  ListView<T> as () const && = delete;
  iterator begin () const & noexcept { return as<void *> ().begin (); }
  iterator begin () const && = delete;
  iterator end () const & noexcept { return as<void *> ().end (); }
  iterator end () const && = delete;

  size_t size () const noexcept { return vontle_list_size (list_); }
  bool empty () const noexcept { return size () == 0; }
  template <typename T = void *>
  T nth (size_t n) const noexcept { return detail::element_cast<T> (vontle_list_nth (list_, n)); }
  /* Lookups only compare pointers, or hand WANTED to compare as the C
   * comparator's const argument: none writes through it. */
  ssize_t position (const void *element) const noexcept
  {
    return vontle_list_position (list_, const_cast<void *> (element));
  }
  bool contains (const void *element) const noexcept
  {
    return vontle_list_contains (list_, const_cast<void *> (element));
  }
  template <typename T = void *>
  T find (VontleCompareFunction compare, const void *wanted) const noexcept
  {
    return detail::element_cast<T> (vontle_list_find (list_, compare, const_cast<void *> (wanted)));
  }

  void append (void *element) noexcept { vontle_list_append (list_, element); }
  void prepend (void *element) noexcept { vontle_list_prepend (list_, element); }
  void set_nth (size_t n, void *element) noexcept { vontle_list_set_nth (list_, n, element); }
  void remove (const void *element) noexcept { vontle_list_remove (list_, const_cast<void *> (element)); }
  /* Sorts once with a C comparator, which must not throw. */
  void sort (VontleCompareFunction compare) noexcept { vontle_list_sort (list_, compare); }
  /* Sorts once with any callable taking two elements (const void *) and
   * returning an int, capturing lambdas included; a sort inside compare
   * is its own. An exception thrown by compare is caught before it reaches
   * the C sort, which finishes with every element still in the list, in an
   * unspecified order; it is then thrown again from here. (Call names the
   * sort of this translation unit's exception setting, so that the two
   * kinds of instance never share a name.) */
  template <typename Compare,
            typename = std::enable_if_t<std::is_invocable_r_v<int, Compare &, const void *, const void *>>,
            typename Call = detail::SortCall<std::remove_reference_t<Compare>>>
  void sort (Compare &&compare)
  {
    Call (compare).sort (list_);
  }
  void clear () noexcept { vontle_list_clear (list_); }
  void set_free_function (VontleFreeFunction free_func) noexcept { vontle_list_set_free_function (list_, free_func); }

  /* Takes other's elements over and frees its record. Refused (an empty
   * handle, the same list, or a list its comparator is sorting): other keeps
   * what it has. */
  void merge (List &&other) noexcept
  {
    VontleList *donor = &other == this ? list_ : other.list_;
    if (donor == nullptr || donor == list_ || list_ == nullptr)
      {
        /* Refused by the C call, which says why. */
        static_cast<void> (vontle_list_merge (list_, donor));
        return;
      }
    if (merged (donor))
      other = List ();
  }

private:
  explicit List (VontleList *list) noexcept : list_ (list) {}

  /* Whether the C merge took DONOR's elements over: it returns the list
   * either way, but a merge that went through has cleared the donor's free
   * function and grown the list by the donor's size; one that was refused
   * changed neither. */
  bool merged (VontleList *donor) noexcept
  {
    const bool owned = donor->free != nullptr;
    const size_t before = list_->size;
    const size_t given = donor->size;
    static_cast<void> (vontle_list_merge (list_, donor));
    return owned ? donor->free == nullptr : list_->size == before + given;
  }

  VontleList *list_ = nullptr;
};

/* An owning list iterator; it must not outlive its list. It can change the
 * list (set, remove), so it is made from a List that may be changed: never
 * from a const List. */
class [[nodiscard]] ListIterator
{
public:
  ListIterator () noexcept = default;
  /* At the first element; empty for an empty list, where
   * vontle_list_iterator () returns NULL. */
  static ListIterator create (List &list) noexcept { return ListIterator (vontle_list_iterator (list.get ())); }
  static ListIterator create (const List &) = delete;
  static ListIterator create (List &&) = delete;
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
  [[nodiscard]] VontleListIterator *release () noexcept { return std::exchange (iter_, nullptr); }
  /* Whether the handle holds an iterator; valid () tells whether it stands on an element. */
  explicit operator bool () const noexcept { return iter_ != nullptr; }
  friend bool operator== (const ListIterator &a, const ListIterator &b) noexcept { return a.iter_ == b.iter_; }
  friend bool operator!= (const ListIterator &a, const ListIterator &b) noexcept { return a.iter_ != b.iter_; }

  /* Empty when memory ran out. */
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
  using ordered_by_address = void;

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

private:
  VontleNode *node_ = nullptr;
};

/* An owning handle on the root of a tree: destroying it frees the tree. A
 * moved-from Node is empty. It is no NodeRef, so that no NodeRef & can
 * point it at another tree: it lends one, through ref () or by converting,
 * and only while it lives on. What it lends (nodes, children, data) is
 * never taken from a temporary Node, which frees the tree at the end of the
 * full expression. */
class [[nodiscard]] Node
{
public:
  Node () noexcept = default;
  /* Empty when memory ran out. The free function is called from C: it must
   * not throw. */
  static Node create (void *value = nullptr, VontleFreeFunction free_func = nullptr) noexcept
  {
    Node root (vontle_node_new (value));
    if (root && free_func != nullptr)
      root.set_free_function (free_func);
    return root;
  }
  static Node adopt (VontleNode *root) noexcept { return Node (root); }

  Node (Node &&other) noexcept : root_ (other.release ()) {}
  Node &operator= (Node &&other) noexcept
  {
    if (this != &other)
      {
        vontle_node_free (root_.get ());
        root_ = NodeRef (other.release ());
      }
    return *this;
  }
  ~Node () { vontle_node_free (root_.get ()); }

  VontleNode *get () const noexcept { return root_.get (); }
  [[nodiscard]] VontleNode *release () noexcept { return std::exchange (root_, NodeRef ()).get (); }
  explicit operator bool () const noexcept { return static_cast<bool> (root_); }
  friend bool operator== (const Node &a, const Node &b) noexcept { return a.root_ == b.root_; }
  friend bool operator!= (const Node &a, const Node &b) noexcept { return a.root_ != b.root_; }
  using ordered_by_address = void;

  /* The root, borrowed. */
  NodeRef ref () const & noexcept { return root_; }
  NodeRef ref () const && = delete;
  operator NodeRef () const & noexcept { return root_; }
  operator NodeRef () const && = delete;

  template <typename T = void *>
  T data () const & noexcept { return root_.data<T> (); }
  template <typename T = void *>
  T data () const && = delete;
  void set_data (void *value) noexcept { root_.set_data (value); }
  void set_free_function (VontleFreeFunction free_func) noexcept { root_.set_free_function (free_func); }

  /* A root has no parent; a Node adopted from inside a tree may. */
  NodeRef parent () const & noexcept { return root_.parent (); }
  NodeRef parent () const && = delete;
  NodeRef root () const & noexcept { return root_.root (); }
  NodeRef root () const && = delete;
  size_t num_children () const noexcept { return root_.num_children (); }
  NodeChildren children () const & noexcept;
  NodeChildren children () const && = delete;

  NodeRef append_data (void *value) & noexcept { return root_.append_data (value); }
  NodeRef append_data (void *value) && = delete;
  NodeRef append (Node &&child) & noexcept;
  NodeRef append (Node &&child) && = delete;

private:
  explicit Node (VontleNode *root) noexcept : root_ (root) {}
  NodeRef root_;
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

inline NodeChildren
Node::children () const & noexcept
{
  return root_.children ();
}

inline NodeRef
NodeRef::append (Node &&child) noexcept
{
  VontleNode *attached = child.get ();
  vontle_node_append (node_, attached);
  if (node_ == nullptr || attached == nullptr || vontle_node_get_parent (attached) != node_)
    return NodeRef ();
  static_cast<void> (child.release ());
  return NodeRef (attached);
}

inline NodeRef
Node::append (Node &&child) & noexcept
{
  return root_.append (std::move (child));
}

} // namespace v5
} // namespace vontle

/* Views never own what they walk: their iterators outlive them. */
#if defined(__cpp_lib_ranges)
namespace std::ranges {
template <typename T>
inline constexpr bool enable_borrowed_range<vontle::ListView<T>> = true;
template <typename T>
inline constexpr bool enable_view<vontle::ListView<T>> = true;
template <>
inline constexpr bool enable_borrowed_range<vontle::NodeChildren> = true;
} // namespace std::ranges
#endif

template <>
struct std::hash<vontle::List>
{
  size_t operator() (const vontle::List &list) const noexcept { return std::hash<const void *> () (list.get ()); }
};
template <>
struct std::hash<vontle::NodeRef>
{
  size_t operator() (const vontle::NodeRef &node) const noexcept { return std::hash<const void *> () (node.get ()); }
};
template <>
struct std::hash<vontle::Node>
{
  size_t operator() (const vontle::Node &node) const noexcept { return std::hash<const void *> () (node.get ()); }
};
