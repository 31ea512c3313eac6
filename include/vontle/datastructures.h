/* SPDX-License-Identifier: LGPL-2.1-or-later */
/* libvontle: array list, its iterator, and a tree of nodes carrying user data. */
#pragma once

#include <stdbool.h>
#include <stddef.h>
#include <sys/types.h>
#include <glib.h>
#include <vontle/visibility.h>

G_BEGIN_DECLS

/**
 * VontleFreeFunction:
 * @data: (nullable): an element exactly as it was stored
 *
 * Releases one element of an owning container.
 */
typedef void (*VontleFreeFunction) (void *data);

/**
 * VontleCompareFunction:
 * @a: (nullable): first value
 * @b: (nullable): second value
 *
 * Orders two values. When a list searches, @a is the element and @b the
 * caller's data, and 0 means a match.
 *
 * Returns: negative when @a sorts before @b, positive when after, 0 when equal
 */
typedef int (*VontleCompareFunction) (const void *a, const void *b);

/**
 * VontleForeachFunction:
 * @data: (nullable): the element visited
 * @user_data: (nullable): the caller's data
 *
 * Visits one element.
 */
typedef void (*VontleForeachFunction) (void *data, void *user_data);

/**
 * VontleList: (skip)
 * @start: the element array; %NULL until the first insertion and after clearing
 * @size: number of elements, stored in `start[0]` to `start[size - 1]`
 * @free: when set, the list owns its elements and releases each one that leaves
 * @cmp: when set, the list keeps itself sorted; fixed at creation
 *
 * An ordered sequence of untyped pointers in one contiguous array. The array
 * grows by exactly one slot per insertion and never shrinks on removal.
 * Read the fields freely; change them only through the `vontle_list_*` calls.
 *
 * The list and its iterator take raw pointers and callbacks, so they are for
 * C and C++ only: bindings do not see them (Vala alone binds what a
 * reader/writer needs of the list). From Python or JavaScript, take the
 * string arrays that vontle_input_history_dup_lines() and
 * vontle_template_dup_referenced_names() return, and keep a history's
 * storage in a #VontleInputHistoryLinesIO subclass, which works with string
 * arrays too.
 *
 * ```c
 * static int
 * compare_words (const void *a, const void *b)
 * {
 *   return strcmp (a, b);
 * }
 *
 * g_autoptr (VontleList) words =
 *   vontle_sorted_list_new_with_free (compare_words, g_free);
 * vontle_list_append (words, g_strdup ("pear"));
 * vontle_list_append (words, g_strdup ("apple"));  // kept sorted: apple, pear
 *
 * // NULL for an empty list, which the loop treats as invalid
 * g_autoptr (VontleListIterator) it = vontle_list_iterator (words);
 * for (; vontle_list_iterator_is_valid (it); vontle_list_iterator_next (it))
 *   puts (vontle_list_iterator_data (it));
 * ```
 */
typedef struct _VontleList VontleList;
struct _VontleList
{
  void **start;
  size_t size;
  VontleFreeFunction free;
  VontleCompareFunction cmp;
};

/**
 * vontle_list_new: (skip)
 *
 * Creates a list that neither owns nor sorts its elements.
 *
 * Returns: (transfer full) (nullable): a new empty list that neither owns nor
 *   sorts its elements, or %NULL when memory is exhausted
 */
VONTLE_AVAILABLE_IN_ALL
VontleList *vontle_list_new (void) G_GNUC_WARN_UNUSED_RESULT;

/**
 * vontle_list_new_with_free: (skip)
 * @free: (nullable): releases elements that leave the list
 *
 * Creates a list that owns its elements: each element that leaves the list
 * is released with @free.
 *
 * Returns: (transfer full) (nullable): a new empty owning list, or %NULL
 */
VONTLE_AVAILABLE_IN_ALL
VontleList *vontle_list_new_with_free (VontleFreeFunction free) G_GNUC_WARN_UNUSED_RESULT;

/**
 * vontle_sorted_list_new: (skip)
 * @cmp: the order the list keeps; re-applied after every insertion
 *
 * Creates a list that keeps itself sorted by @cmp and does not own its
 * elements.
 *
 * Returns: (transfer full) (nullable): a new empty sorted list, or %NULL
 */
VONTLE_AVAILABLE_IN_ALL
VontleList *vontle_sorted_list_new (VontleCompareFunction cmp) G_GNUC_WARN_UNUSED_RESULT;

/**
 * vontle_sorted_list_new_with_free: (skip)
 * @cmp: the order the list keeps
 * @free: (nullable): releases elements that leave the list
 *
 * Creates a list that keeps itself sorted by @cmp and owns its elements.
 * Note the order of the arguments: comparator first.
 *
 * Returns: (transfer full) (nullable): a new empty sorted, owning list, or %NULL
 */
VONTLE_AVAILABLE_IN_ALL
VontleList *vontle_sorted_list_new_with_free (VontleCompareFunction cmp,
                                              VontleFreeFunction free) G_GNUC_WARN_UNUSED_RESULT;

/**
 * vontle_list_set_free_function: (skip)
 * @list: a list
 * @free: (nullable): the new free function; elements already stored are untouched
 *
 * Makes @list own its elements from now on, or with %NULL stop owning them.
 */
VONTLE_AVAILABLE_IN_ALL
void vontle_list_set_free_function (VontleList *list, VontleFreeFunction free);

/**
 * vontle_list_clear: (skip)
 * @list: (nullable): a list
 *
 * Releases every element (owning lists, in index order) and the array. The
 * list stays usable, with its free function and comparator.
 */
VONTLE_AVAILABLE_IN_ALL
void vontle_list_clear (VontleList *list);

/**
 * vontle_list_free: (skip)
 * @list: (nullable) (transfer full): a list
 *
 * Clears @list, then releases the record.
 */
VONTLE_AVAILABLE_IN_ALL
void vontle_list_free (VontleList *list);

/**
 * vontle_list_append: (skip)
 * @list: a list
 * @data: (nullable): the element
 *
 * Adds @data at the end. A sorted list then re-sorts stably, so @data ends
 * up after every element that compares equal to it.
 */
VONTLE_AVAILABLE_IN_ALL
void vontle_list_append (VontleList *list, void *data);

/**
 * vontle_list_prepend: (skip)
 * @list: a list
 * @data: (nullable): the element
 *
 * Adds @data at index 0. On a sorted list this is vontle_list_append().
 */
VONTLE_AVAILABLE_IN_ALL
void vontle_list_prepend (VontleList *list, void *data);

/**
 * vontle_list_sort: (skip)
 * @list: a list
 * @compare: (nullable): the order for this one sort; %NULL does nothing
 *
 * Sorts stably once. The list's own comparator is not changed.
 */
VONTLE_AVAILABLE_IN_ALL
void vontle_list_sort (VontleList *list, VontleCompareFunction compare);

/**
 * vontle_list_remove: (skip)
 * @list: a list
 * @data: (nullable): the element, compared by pointer
 *
 * Removes the first element pointer-equal to @data, releasing it if the list
 * owns its elements.
 */
VONTLE_AVAILABLE_IN_ALL
void vontle_list_remove (VontleList *list, void *data);

/**
 * vontle_list_position: (skip)
 * @list: a list
 * @data: (nullable): the element, compared by pointer
 *
 * Finds an element by pointer.
 *
 * Returns: the index of the first element pointer-equal to @data, or -1
 */
VONTLE_AVAILABLE_IN_ALL
ssize_t vontle_list_position (VontleList *list, void *data);

/**
 * vontle_list_nth: (skip)
 * @list: a list
 * @n: an index below the list's size
 *
 * Gives the element at an index.
 *
 * Returns: (transfer none) (nullable): the element at @n
 */
VONTLE_AVAILABLE_IN_ALL
void *vontle_list_nth (VontleList *list, size_t n);

/**
 * vontle_list_set_nth: (skip)
 * @list: an unsorted list
 * @n: an index below the list's size
 * @data: (nullable): the new element
 *
 * Replaces the element at @n, releasing the old one first if the list owns
 * its elements.
 */
VONTLE_AVAILABLE_IN_ALL
void vontle_list_set_nth (VontleList *list, size_t n, void *data);

/**
 * vontle_list_contains: (skip)
 * @list: a list
 * @data: (nullable): the element, compared by pointer
 *
 * Looks for an element by pointer.
 *
 * Returns: whether some element is pointer-equal to @data
 */
VONTLE_AVAILABLE_IN_ALL
bool vontle_list_contains (VontleList *list, void *data);

/**
 * vontle_list_find: (skip)
 * @list: a list
 * @compare: called as compare (element, @data), in index order
 * @data: (nullable): what is sought
 *
 * Looks for an element by value.
 *
 * Returns: (transfer none) (nullable): the first element for which @compare
 *   returns 0, or %NULL
 */
VONTLE_AVAILABLE_IN_ALL
void *vontle_list_find (VontleList *list, VontleCompareFunction compare, void *data);

/**
 * vontle_list_size: (skip)
 * @list: a list
 *
 * Counts the elements; the same as the record's `size` field.
 *
 * Returns: the number of elements
 */
VONTLE_AVAILABLE_IN_ALL
size_t vontle_list_size (VontleList *list);

/**
 * vontle_list_foreach: (skip)
 * @list: a list
 * @callback: called as callback (element, @data) for every element in order
 * @data: (nullable): passed to @callback
 *
 * @callback must not add elements to or remove elements from @list.
 */
VONTLE_AVAILABLE_IN_ALL
void vontle_list_foreach (VontleList *list, VontleForeachFunction callback, void *data);

/**
 * vontle_list_merge: (skip)
 * @list: the list that receives the elements
 * @other: (nullable): a different list, whose elements move to @list
 *
 * Appends @other's elements to @list and hands their ownership to @list:
 * @other's free function is cleared, and vontle_list_free() on @other then
 * releases only its array and record. Lists with different free functions
 * are merged all the same, with a warning in the log.
 *
 * Returns: (transfer none) (nullable): @list
 */
VONTLE_AVAILABLE_IN_ALL
VontleList *vontle_list_merge (VontleList *list, VontleList *other);

G_DEFINE_AUTOPTR_CLEANUP_FUNC (VontleList, vontle_list_free)

/* ------------------------------------------------------------ iterator -- */

/**
 * VontleListIterator: (skip)
 * @list: the list walked; not owned, and it must outlive the iterator
 * @index: the position, the index of the element under the iterator
 *
 * An index into a list. It keeps no copy of the list's size, so every call
 * measures @index against the list as it is then: the iterator turns invalid
 * when the list shrinks below it and valid again when the list grows past
 * it. After stepping off either end, @index equals the list's size.
 */
typedef struct _VontleListIterator VontleListIterator;
struct _VontleListIterator
{
  VontleList *list;
  size_t index;
};

/**
 * vontle_list_iterator: (skip)
 * @list: a list
 *
 * Starts a walk over @list at its first element.
 *
 * Returns: (transfer full) (nullable): a new iterator at index 0, or %NULL
 *   when @list is empty or memory is exhausted
 */
VONTLE_AVAILABLE_IN_ALL
VontleListIterator *vontle_list_iterator (VontleList *list) G_GNUC_WARN_UNUSED_RESULT;

/**
 * vontle_list_iterator_copy: (skip)
 * @iter: an iterator
 *
 * Copies an iterator.
 *
 * Returns: (transfer full) (nullable): a new iterator on the same list at the
 *   same index, moving independently of @iter
 */
VONTLE_AVAILABLE_IN_ALL
VontleListIterator *vontle_list_iterator_copy (VontleListIterator *iter)
  G_GNUC_WARN_UNUSED_RESULT;

/**
 * vontle_list_iterator_next: (skip)
 * @iter: (nullable): an iterator
 *
 * Steps one element toward the end. A null or invalid iterator stays as it is.
 *
 * Returns: (transfer none) (nullable): @iter, or %NULL when it stepped off
 *   the end or was not valid
 */
VONTLE_AVAILABLE_IN_ALL
VontleListIterator *vontle_list_iterator_next (VontleListIterator *iter);

/**
 * vontle_list_iterator_previous: (skip)
 * @iter: (nullable): an iterator
 *
 * Steps one element toward the start. Stepping back from index 0 makes the
 * iterator invalid, with its index set to the list's size.
 *
 * Returns: (transfer none) (nullable): @iter, or %NULL when it stepped off
 *   the start or was not valid
 */
VONTLE_AVAILABLE_IN_ALL
VontleListIterator *vontle_list_iterator_previous (VontleListIterator *iter);

/**
 * vontle_list_iterator_is_valid: (skip)
 * @iter: (nullable): an iterator
 *
 * Tells whether the iterator's index is below its list's current size.
 *
 * Returns: whether @iter stands on an element of its list
 */
VONTLE_AVAILABLE_IN_ALL
bool vontle_list_iterator_is_valid (VontleListIterator *iter);

/**
 * vontle_list_iterator_has_next: (skip)
 * @iter: (nullable): an iterator
 *
 * Tells whether vontle_list_iterator_next() would stay on the list.
 *
 * Returns: whether @iter is valid and an element follows the one under it
 */
VONTLE_AVAILABLE_IN_ALL
bool vontle_list_iterator_has_next (VontleListIterator *iter);

/**
 * vontle_list_iterator_has_previous: (skip)
 * @iter: (nullable): an iterator
 *
 * Tells whether vontle_list_iterator_previous() would stay on the list.
 *
 * Returns: whether @iter is valid and an element precedes the one under it
 */
VONTLE_AVAILABLE_IN_ALL
bool vontle_list_iterator_has_previous (VontleListIterator *iter);

/**
 * vontle_list_iterator_data: (skip)
 * @iter: a valid iterator
 *
 * Gives the element under the iterator.
 *
 * Returns: (transfer none) (nullable): the element under @iter
 */
VONTLE_AVAILABLE_IN_ALL
void *vontle_list_iterator_data (VontleListIterator *iter);

/**
 * vontle_list_iterator_set: (skip)
 * @iter: a valid iterator on an unsorted list
 * @data: (nullable): the new element
 *
 * Replaces the element under @iter, releasing the old one first if the list
 * owns its elements.
 */
VONTLE_AVAILABLE_IN_ALL
void vontle_list_iterator_set (VontleListIterator *iter, void *data);

/**
 * vontle_list_iterator_remove: (skip)
 * @iter: (nullable): an iterator
 *
 * Removes the element under @iter, releasing it if the list owns its
 * elements. The iterator keeps its index and so stands on the element that
 * followed; after removing the last element it is invalid. A null or invalid
 * iterator does nothing. Sorted lists allow this, as it keeps their order.
 */
VONTLE_AVAILABLE_IN_ALL
void vontle_list_iterator_remove (VontleListIterator *iter);

/**
 * vontle_list_iterator_free: (skip)
 * @iter: (nullable) (transfer full): an iterator
 *
 * Releases the iterator; its list is not touched.
 */
VONTLE_AVAILABLE_IN_ALL
void vontle_list_iterator_free (VontleListIterator *iter);

G_DEFINE_AUTOPTR_CLEANUP_FUNC (VontleListIterator, vontle_list_iterator_free)

/* ---------------------------------------------------------------- tree -- */

/**
 * VontleNode: (skip)
 * @node: the node's place in the tree, owned; its data is the node's
 *   #VontleNodeData record
 * @free: (nullable): applied to the node's data when the data is replaced or
 *   the node is released
 *
 * The handle on one node of a tree of user data. Whoever holds the root owns
 * the tree and releases it with vontle_node_free(). A handle stays valid
 * until its node or one of its ancestors is released.
 */
typedef struct _VontleNode VontleNode;
struct _VontleNode
{
  GNode *node;
  VontleFreeFunction free;
};

/**
 * VontleNodeData: (skip)
 * @node: the handle that owns this record
 * @data: the node's user data
 *
 * The record that a tree's #GNode carries; it leads from GLib's node back to
 * its handle.
 */
typedef struct _VontleNodeData VontleNodeData;
struct _VontleNodeData
{
  VontleNode *node;
  void *data;
};

/**
 * vontle_node_new: (skip)
 * @data: (nullable): the node's user data
 *
 * Creates the root of a new tree.
 *
 * Returns: (transfer full) (nullable): a new root node without free function,
 *   or %NULL when memory is exhausted
 */
VONTLE_AVAILABLE_IN_ALL
VontleNode *vontle_node_new (void *data) G_GNUC_WARN_UNUSED_RESULT;

/**
 * vontle_node_set_free_function: (skip)
 * @node: a node
 * @free: (nullable): the node's new free function; its data is not touched
 *
 * The function belongs to @node alone, not to its children.
 */
VONTLE_AVAILABLE_IN_ALL
void vontle_node_set_free_function (VontleNode *node, VontleFreeFunction free);

/**
 * vontle_node_free: (skip)
 * @node: (nullable) (transfer full): a node
 *
 * Releases @node and its whole subtree. Data is released in pre-order: a
 * node's data before its descendants', children first to last, each subtree
 * completely before the next sibling; every node's data with that node's
 * own free function. Releasing a child leaves the rest of its tree intact.
 * The depth of the tree does not limit this.
 */
VONTLE_AVAILABLE_IN_ALL
void vontle_node_free (VontleNode *node);

/**
 * vontle_node_append: (skip)
 * @parent: a node
 * @child: the root of another tree
 *
 * Attaches @child as the last child of @parent. @child keeps its free
 * function and data. A @child that has a parent, or that is @parent itself
 * or one of its ancestors, is refused with a critical warning.
 */
VONTLE_AVAILABLE_IN_ALL
void vontle_node_append (VontleNode *parent, VontleNode *child);

/**
 * vontle_node_append_data: (skip)
 * @parent: a node
 * @data: (nullable): the new node's user data
 *
 * Creates the last child of @parent. It starts with a copy of @parent's
 * current free function; later changes to either do not reach the other.
 *
 * Returns: (transfer none) (nullable): the new node, owned by the tree, or
 *   %NULL when memory is exhausted
 */
VONTLE_AVAILABLE_IN_ALL
VontleNode *vontle_node_append_data (VontleNode *parent, void *data);

/**
 * vontle_node_get_parent: (skip)
 * @node: a node
 *
 * Gives the node one level up.
 *
 * Returns: (transfer none) (nullable): the parent of @node, %NULL for a root
 */
VONTLE_AVAILABLE_IN_ALL
VontleNode *vontle_node_get_parent (VontleNode *node);

/**
 * vontle_node_get_root: (skip)
 * @node: a node
 *
 * Gives the top of the tree that @node belongs to.
 *
 * Returns: (transfer none) (nullable): the root of @node's tree; @node
 *   itself when it has no parent
 */
VONTLE_AVAILABLE_IN_ALL
VontleNode *vontle_node_get_root (VontleNode *node);

/**
 * vontle_node_get_children: (skip)
 * @node: a node
 *
 * Lists the direct children of @node.
 *
 * Returns: (transfer full) (nullable): a new list, neither owning nor sorted,
 *   of the handles of @node's direct children from first to last; empty when
 *   there are none. vontle_list_free() on it releases no node.
 */
VONTLE_AVAILABLE_IN_ALL
VontleList *vontle_node_get_children (VontleNode *node) G_GNUC_WARN_UNUSED_RESULT;

/**
 * vontle_node_get_num_children: (skip)
 * @node: a node
 *
 * Counts the direct children of @node, not their descendants.
 *
 * Returns: the number of @node's direct children
 */
VONTLE_AVAILABLE_IN_ALL
size_t vontle_node_get_num_children (VontleNode *node);

/**
 * vontle_node_get_data: (skip)
 * @node: a node
 *
 * Gives the data the node carries.
 *
 * Returns: (transfer none) (nullable): the node's user data
 */
VONTLE_AVAILABLE_IN_ALL
void *vontle_node_get_data (VontleNode *node);

/**
 * vontle_node_set_data: (skip)
 * @node: a node
 * @data: (nullable): the new user data
 *
 * Replaces the node's data, releasing the old data first with the node's free
 * function, if set, even when it is %NULL. Do not pass the data being
 * replaced while the node has a free function.
 */
VONTLE_AVAILABLE_IN_ALL
void vontle_node_set_data (VontleNode *node, void *data);

G_DEFINE_AUTOPTR_CLEANUP_FUNC (VontleNode, vontle_node_free)

G_END_DECLS
