/* SPDX-License-Identifier: LGPL-2.1-or-later */
/* vontle.hpp: lists, list iterators and trees. Include vontle/vontle.hpp. */
#pragma once

#include <vontle/hpp/base.hpp>

namespace vontle {
inline namespace v5 {

namespace detail {

/* What a view over a NULL list walks: nothing. */
inline const VontleList empty_list = { nullptr, 0, nullptr, nullptr };

/* Whether R, what a C++ comparator returns, is a three-way result: an
 * integer (only its sign counts) or, under C++20, a strong or weak
 * ordering. A bool is none: a "less" predicate read as one would sort
 * backwards. */
template <typename R>
inline constexpr bool is_three_way = (std::is_integral_v<R> && !std::is_same_v<R, bool>)
#if defined(__cpp_impl_three_way_comparison) && __has_include(<compare>)
                                     || std::is_same_v<R, std::strong_ordering> || std::is_same_v<R, std::weak_ordering>
#endif
  ;

/* The callable's result type, for a comparator called with two elements. */
template <typename Compare>
using compare_result = std::remove_cv_t<std::remove_reference_t<std::invoke_result_t<Compare &, const void *, const void *>>>;

/* Where exceptions are on, the call catches them: see Mode (base.hpp). */
#if defined(__cpp_exceptions)
inline namespace catching {
#else
inline namespace plain {
#endif

/* One sort or search with a C++ callable. The C comparator carries no data,
 * so the callable of the call running on this thread sits in a thread-local
 * pointer; a call inside the callable sets its own and puts this one back. */
template <typename Compare>
class CompareCall
{
  static_assert (is_three_way<compare_result<Compare>>,
                 "a comparator returns an int (negative, 0, positive) or, under C++20, std::strong_ordering or "
                 "std::weak_ordering; a bool \"less\" would be read as a three-way result");

public:
  explicit CompareCall (Compare &compare) noexcept : compare_ (compare) {}
  CompareCall (const CompareCall &) = delete;
  CompareCall &operator= (const CompareCall &) = delete;

  void sort (VontleList *list)
  {
    CompareCall *outer = std::exchange (running, this);
    vontle_list_sort (list, compare_slots);
    finish (outer);
  }

  void *find (VontleList *list, const void *wanted)
  {
    CompareCall *outer = std::exchange (running, this);
    void *found = vontle_list_find (list, compare_slots, const_cast<void *> (wanted));
    finish (outer);
    return found;
  }

private:
  void finish (CompareCall *outer)
  {
    running = outer;
#if defined(__cpp_exceptions)
    if (error_)
      std::rethrow_exception (error_);
#endif
  }

  static int three_way (const void *a, const void *b)
  {
    const compare_result<Compare> order = running->compare_ (a, b);
    return (order > 0) - (order < 0);
  }

  /* An exception must not unwind through the C sort, which would leave the
   * list marked as being sorted: it is kept until the C call returns, and
   * every later comparison says "equal" (which also ends a search) so that
   * the call ends soon. */
  static int compare_slots (const void *a, const void *b) noexcept
  {
#if defined(__cpp_exceptions)
    if (running->error_)
      return 0;
    try
      {
        return three_way (a, b);
      }
    catch (...)
      {
        running->error_ = std::current_exception ();
        return 0;
      }
#else
    return three_way (a, b);
#endif
  }

  static inline thread_local CompareCall *running = nullptr;
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
 * into the list through a view.
 *
 * The view and its iterators are valid while the list lives, whatever
 * changes it; an iterator is an index, so after an insertion or removal
 * before it, it stands on another element. Removing the element a
 * range-for is on makes the walk skip the next one: use List::remove_if. */
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

  [[nodiscard]] iterator begin () const noexcept { return iterator (walked (), 0); }
  [[nodiscard]] iterator end () const noexcept { return iterator (walked (), SIZE_MAX); }
  [[nodiscard]] size_t size () const noexcept { return walked ()->size; }
  [[nodiscard]] bool empty () const noexcept { return size () == 0; }
  /* Through vontle_list_nth (), which checks n against the size. */
  [[nodiscard]] T operator[] (size_t n) const noexcept { return detail::element_cast<T> (vontle_list_nth (list_, n)); }
  [[nodiscard]] VontleList *get () const noexcept { return list_; }

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
  [[nodiscard]] VontleList *get () const noexcept { return list_; }
  [[nodiscard]] VontleList *release () noexcept { return std::exchange (list_, nullptr); }
  explicit operator bool () const noexcept { return list_ != nullptr; }
  friend bool operator== (const List &a, const List &b) noexcept { return a.list_ == b.list_; }
  friend bool operator!= (const List &a, const List &b) noexcept { return a.list_ != b.list_; }
  using ordered_by_address = void;

  using iterator = ListView<void *>::iterator;
  using const_iterator = iterator;
  using value_type = void *;

  template <typename T>
  [[nodiscard]] ListView<T> as () const & noexcept { return ListView<T> (list_); }
  template <typename T>
  ListView<T> as () const && = delete;
  [[nodiscard]] iterator begin () const & noexcept { return as<void *> ().begin (); }
  iterator begin () const && = delete;
  [[nodiscard]] iterator end () const & noexcept { return as<void *> ().end (); }
  iterator end () const && = delete;

  [[nodiscard]] size_t size () const noexcept { return vontle_list_size (list_); }
  /* Whether the list is empty; clear () empties it. */
  [[nodiscard]] bool empty () const noexcept { return size () == 0; }
  template <typename T = void *>
  [[nodiscard]] T nth (size_t n) const noexcept { return detail::element_cast<T> (vontle_list_nth (list_, n)); }
  /* Lookups only compare pointers, or hand WANTED to compare as the C
   * comparator's const argument: none writes through it. */
  [[nodiscard]] ssize_t position (const void *element) const noexcept
  {
    return vontle_list_position (list_, const_cast<void *> (element));
  }
  [[nodiscard]] bool contains (const void *element) const noexcept
  {
    return vontle_list_contains (list_, const_cast<void *> (element));
  }
  /* The first element for which compare (element, wanted) is 0 (or equal),
   * or NULL. Takes what sort () takes: a C comparator, or any callable, with
   * the same results and the same handling of exceptions. */
  template <typename T = void *>
  [[nodiscard]] T find (VontleCompareFunction compare, const void *wanted) const noexcept
  {
    return detail::element_cast<T> (vontle_list_find (list_, compare, const_cast<void *> (wanted)));
  }
  template <typename T = void *, typename Compare,
            typename = std::enable_if_t<std::is_invocable_v<Compare &, const void *, const void *>>,
            typename Call = detail::CompareCall<std::remove_reference_t<Compare>>>
  [[nodiscard]] T find (Compare &&compare, const void *wanted) const
  {
    return detail::element_cast<T> (Call (compare).find (list_, wanted));
  }

  void append (void *element) noexcept { vontle_list_append (list_, element); }
  void prepend (void *element) noexcept { vontle_list_prepend (list_, element); }
  void set_nth (size_t n, void *element) noexcept { vontle_list_set_nth (list_, n, element); }
  void remove (const void *element) noexcept { vontle_list_remove (list_, const_cast<void *> (element)); }
  /* Sorts once with a C comparator, which must not throw. */
  void sort (VontleCompareFunction compare) noexcept { vontle_list_sort (list_, compare); }
  /* Sorts once with any callable taking two elements (const void *) and
   * returning a three-way result, capturing lambdas included: an int whose
   * sign counts, as in C, or under C++20 std::strong_ordering or
   * std::weak_ordering (a <=> b). A callable that returns bool, a "less"
   * such as std::less<> or a < b, does not compile: it would sort
   * backwards. A sort inside compare is its own. An exception thrown by
   * compare is caught before it reaches the C sort, which finishes with
   * every element still in the list, in an unspecified order; it is then
   * thrown again from here. (Call names the sort of this translation unit's
   * exception setting, so that the two kinds of instance never share a
   * name.) */
  template <typename Compare,
            typename = std::enable_if_t<std::is_invocable_v<Compare &, const void *, const void *>>,
            typename Call = detail::CompareCall<std::remove_reference_t<Compare>>>
  void sort (Compare &&compare)
  {
    Call (compare).sort (list_);
  }
  /* Removes, in one walk, every element (read as T) for which pred is true,
   * freeing each as remove () does, and returns how many went. This is how
   * to remove while walking: a range-for that removes the element it is on
   * skips the next one. Also as vontle::erase_if (list, pred). */
  template <typename T = void *, typename Pred>
  size_t remove_if (Pred &&pred) noexcept (std::is_nothrow_invocable_v<Pred &, T>);
  void clear () noexcept { vontle_list_clear (list_); }
  void set_free_function (VontleFreeFunction free_func) noexcept { vontle_list_set_free_function (list_, free_func); }

  /* Takes other's elements over and frees its record. Refused (an empty
   * handle, the same list, a list its comparator is sorting, or an other
   * that one of its own callbacks is walking or sorting): other keeps what
   * it has. */
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

  [[nodiscard]] VontleListIterator *get () const noexcept { return iter_; }
  [[nodiscard]] VontleListIterator *release () noexcept { return std::exchange (iter_, nullptr); }
  /* Whether the handle holds an iterator; valid () tells whether it stands on an element. */
  explicit operator bool () const noexcept { return iter_ != nullptr; }
  friend bool operator== (const ListIterator &a, const ListIterator &b) noexcept { return a.iter_ == b.iter_; }
  friend bool operator!= (const ListIterator &a, const ListIterator &b) noexcept { return a.iter_ != b.iter_; }

  /* Empty when memory ran out. */
  ListIterator copy () const noexcept { return ListIterator (vontle_list_iterator_copy (iter_)); }

  [[nodiscard]] bool valid () const noexcept { return vontle_list_iterator_is_valid (iter_); }
  [[nodiscard]] bool has_next () const noexcept { return vontle_list_iterator_has_next (iter_); }
  [[nodiscard]] bool has_previous () const noexcept { return vontle_list_iterator_has_previous (iter_); }
  /* Each returns whether the iterator stands on an element after the step. */
  bool next () noexcept { return vontle_list_iterator_next (iter_) != nullptr; }
  bool previous () noexcept { return vontle_list_iterator_previous (iter_) != nullptr; }

  template <typename T = void *>
  [[nodiscard]] T data () const noexcept { return detail::element_cast<T> (vontle_list_iterator_data (iter_)); }
  void set (void *element) noexcept { vontle_list_iterator_set (iter_, element); }
  void remove () noexcept { vontle_list_iterator_remove (iter_); }

private:
  explicit ListIterator (VontleListIterator *iter) noexcept : iter_ (iter) {}
  VontleListIterator *iter_ = nullptr;
};

template <typename T, typename Pred>
inline size_t
List::remove_if (Pred &&pred) noexcept (std::is_nothrow_invocable_v<Pred &, T>)
{
  static_assert (std::is_invocable_r_v<bool, Pred &, T>, "remove_if takes a predicate of one element (T)");
  size_t removed = 0;
  for (ListIterator it = ListIterator::create (*this); it.valid ();)
    {
      if (!pred (it.data<T> ()))
        {
          it.next ();
          continue;
        }
      const size_t before = size ();
      it.remove ();
      /* A removal refused (the list is being sorted) steps on all the same. */
      if (size () < before)
        removed++;
      else
        it.next ();
    }
  return removed;
}

template <typename T = void *, typename Pred>
inline size_t
erase_if (List &list, Pred &&pred) noexcept (std::is_nothrow_invocable_v<Pred &, T>)
{
  return list.remove_if<T> (std::forward<Pred> (pred));
}

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

  [[nodiscard]] VontleNode *get () const noexcept { return node_; }
  explicit operator bool () const noexcept { return node_ != nullptr; }
  friend bool operator== (const NodeRef &a, const NodeRef &b) noexcept { return a.node_ == b.node_; }
  friend bool operator!= (const NodeRef &a, const NodeRef &b) noexcept { return a.node_ != b.node_; }
  using ordered_by_address = void;

  template <typename T = void *>
  [[nodiscard]] T data () const noexcept { return detail::element_cast<T> (vontle_node_get_data (node_)); }
  void set_data (void *value) noexcept { vontle_node_set_data (node_, value); }
  void set_free_function (VontleFreeFunction free_func) noexcept { vontle_node_set_free_function (node_, free_func); }

  [[nodiscard]] NodeRef parent () const noexcept { return NodeRef (vontle_node_get_parent (node_)); }
  [[nodiscard]] NodeRef root () const noexcept { return NodeRef (vontle_node_get_root (node_)); }
  [[nodiscard]] size_t num_children () const noexcept { return vontle_node_get_num_children (node_); }
  /* Children first to last; see NodeChildren. */
  [[nodiscard]] NodeChildren children () const noexcept;

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

  [[nodiscard]] VontleNode *get () const noexcept { return root_.get (); }
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
  [[nodiscard]] T data () const & noexcept { return root_.data<T> (); }
  template <typename T = void *>
  T data () const && = delete;
  void set_data (void *value) noexcept { root_.set_data (value); }
  void set_free_function (VontleFreeFunction free_func) noexcept { root_.set_free_function (free_func); }

  /* A root has no parent; a Node adopted from inside a tree may. */
  [[nodiscard]] NodeRef parent () const & noexcept { return root_.parent (); }
  NodeRef parent () const && = delete;
  [[nodiscard]] NodeRef root () const & noexcept { return root_.root (); }
  NodeRef root () const && = delete;
  [[nodiscard]] size_t num_children () const noexcept { return root_.num_children (); }
  [[nodiscard]] NodeChildren children () const & noexcept;
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
 * range holds only the node: begin () reads its first child, so a range
 * kept from children () walks the children the node has when the walk
 * starts. It is valid while the node lives. An iterator reads the next
 * sibling as it steps onto a child, so the loop body may free the child it
 * was given, but no other child of the node: the iterator is valid while
 * the child it stands on and that next sibling are. A NULL node has no
 * children. */
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

  explicit NodeChildren (VontleNode *node) noexcept : node_ (node) {}
  [[nodiscard]] iterator begin () const noexcept
  {
    return iterator (node_ != nullptr && node_->node != nullptr ? node_->node->children : nullptr);
  }
  [[nodiscard]] iterator end () const noexcept { return iterator (); }

private:
  VontleNode *node_;
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

/* Views never own what they walk: their iterators outlive them. Guarded on
 * what the specialisations need (C++20 and concepts, <string_view> declares
 * both variables), not on __cpp_lib_ranges, which a standard library whose
 * ranges are partial leaves undefined. */
#if __cplusplus > 201703L && defined(__cpp_concepts)
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
