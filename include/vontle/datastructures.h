/* libvontle: array list. */
#pragma once

#include <stdbool.h>
#include <stddef.h>
#include <sys/types.h>
#include <glib.h>

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
 * Returns: (transfer full) (nullable): a new empty list that neither owns nor
 *   sorts its elements, or %NULL when memory is exhausted
 */
VontleList *vontle_list_new (void);

/**
 * vontle_list_new_with_free: (skip)
 * @free: (nullable): releases elements that leave the list
 *
 * Returns: (transfer full) (nullable): a new empty owning list, or %NULL
 */
VontleList *vontle_list_new_with_free (VontleFreeFunction free);

/**
 * vontle_sorted_list_new: (skip)
 * @cmp: the order the list keeps; re-applied after every insertion
 *
 * Returns: (transfer full) (nullable): a new empty sorted list, or %NULL
 */
VontleList *vontle_sorted_list_new (VontleCompareFunction cmp);

/**
 * vontle_sorted_list_new_with_free: (skip)
 * @cmp: the order the list keeps
 * @free: (nullable): releases elements that leave the list
 *
 * Note the order of the arguments: comparator first.
 *
 * Returns: (transfer full) (nullable): a new empty sorted, owning list, or %NULL
 */
VontleList *vontle_sorted_list_new_with_free (VontleCompareFunction cmp, VontleFreeFunction free);

/**
 * vontle_list_set_free_function: (skip)
 * @list: a list
 * @free: (nullable): the new free function; elements already stored are untouched
 */
void vontle_list_set_free_function (VontleList *list, VontleFreeFunction free);

/**
 * vontle_list_clear: (skip)
 * @list: (nullable): a list
 *
 * Releases every element (owning lists, in index order) and the array. The
 * list stays usable, with its free function and comparator.
 */
void vontle_list_clear (VontleList *list);

/**
 * vontle_list_free: (skip)
 * @list: (nullable) (transfer full): a list
 *
 * Clears @list, then releases the record.
 */
void vontle_list_free (VontleList *list);

/**
 * vontle_list_append: (skip)
 * @list: a list
 * @data: (nullable): the element
 *
 * Adds @data at the end. A sorted list then re-sorts stably, so @data ends
 * up after every element that compares equal to it.
 */
void vontle_list_append (VontleList *list, void *data);

/**
 * vontle_list_prepend: (skip)
 * @list: a list
 * @data: (nullable): the element
 *
 * Adds @data at index 0. On a sorted list this is vontle_list_append().
 */
void vontle_list_prepend (VontleList *list, void *data);

/**
 * vontle_list_sort: (skip)
 * @list: a list
 * @compare: (nullable): the order for this one sort; %NULL does nothing
 *
 * Sorts stably once. The list's own comparator is not changed.
 */
void vontle_list_sort (VontleList *list, VontleCompareFunction compare);

/**
 * vontle_list_remove: (skip)
 * @list: a list
 * @data: (nullable): the element, compared by pointer
 *
 * Removes the first element pointer-equal to @data, releasing it if the list
 * owns its elements.
 */
void vontle_list_remove (VontleList *list, void *data);

/**
 * vontle_list_position: (skip)
 * @list: a list
 * @data: (nullable): the element, compared by pointer
 *
 * Returns: the index of the first element pointer-equal to @data, or -1
 */
ssize_t vontle_list_position (VontleList *list, void *data);

/**
 * vontle_list_nth: (skip)
 * @list: a list
 * @n: an index below the list's size
 *
 * Returns: (transfer none) (nullable): the element at @n
 */
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
void vontle_list_set_nth (VontleList *list, size_t n, void *data);

/**
 * vontle_list_contains: (skip)
 * @list: a list
 * @data: (nullable): the element, compared by pointer
 *
 * Returns: whether some element is pointer-equal to @data
 */
bool vontle_list_contains (VontleList *list, void *data);

/**
 * vontle_list_find: (skip)
 * @list: a list
 * @compare: called as compare (element, @data), in index order
 * @data: (nullable): what is sought
 *
 * Returns: (transfer none) (nullable): the first element for which @compare
 *   returns 0, or %NULL
 */
void *vontle_list_find (VontleList *list, VontleCompareFunction compare, void *data);

/**
 * vontle_list_size: (skip)
 * @list: a list
 *
 * Returns: the number of elements
 */
size_t vontle_list_size (VontleList *list);

/**
 * vontle_list_foreach: (skip)
 * @list: a list
 * @callback: called as callback (element, @data) for every element in order
 * @data: (nullable): passed to @callback
 *
 * @callback must not add elements to or remove elements from @list.
 */
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
VontleList *vontle_list_merge (VontleList *list, VontleList *other);

G_DEFINE_AUTOPTR_CLEANUP_FUNC (VontleList, vontle_list_free)

G_END_DECLS
