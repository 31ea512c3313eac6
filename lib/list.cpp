/* SPDX-License-Identifier: LGPL-2.1-or-later */
#include "vontle-private.h"
#include "list-private.h"
#include "callback-marks.h"

#include <cstring>
#include <memory>
#include <utility>

namespace {

/* Comparators, visits and free functions are host code. One that changes the
 * list whose array a sort is working on would pull the array from under the
 * sort, and one that frees the list it walks would free the record under the
 * walk: both are refused, whatever other walks lie between the two. */
using vontle::Busy;
using vontle::BusyScope;

VontleList *
list_new (VontleCompareFunction cmp, VontleFreeFunction free_func)
{
  auto *list = static_cast<VontleList *> (g_try_malloc0 (sizeof (VontleList)));
  if (list == nullptr)
    return nullptr;
  list->cmp = cmp;
  list->free = free_func;
  return list;
}

/* The comparator travels to the sort adapter inside a struct: a function
 * pointer does not convert to gpointer portably. */
struct SortOrder
{
  VontleCompareFunction compare;
};

gint
compare_slots (gconstpointer a, gconstpointer b, gpointer user_data)
{
  const auto *order = static_cast<const SortOrder *> (user_data);
  return order->compare (*static_cast<void *const *> (a), *static_cast<void *const *> (b));
}

void
sort_stably (VontleList *list, VontleCompareFunction compare)
{
  const BusyScope scope (list, Busy::sorting);
  SortOrder order { compare };
#if GLIB_CHECK_VERSION(2, 82, 0)
  /* Newer than the GLib the build is pinned to, hence the guard. */
  G_GNUC_BEGIN_IGNORE_DEPRECATIONS
  g_sort_array (list->start, list->size, sizeof (void *), compare_slots, &order);
  G_GNUC_END_IGNORE_DEPRECATIONS
#else
  /* Before 2.82 this is GLib's merge sort, stable as well; its count is an
   * int, which an array of pointers addressable here cannot exceed in any
   * practical list. */
  g_assert (list->size <= G_MAXINT);
  g_qsort_with_data (list->start, static_cast<gint> (list->size), sizeof (void *),
                     compare_slots, &order);
#endif
}

/* Re-sorts a sorted list after its last slot received a new element. When
 * the elements before it are still in order, which they are unless their
 * keys changed behind the list's back, a stable sort can only move the new
 * element to just after the last element that does not compare greater: find
 * that place by binary search and move the tail once. Any disorder falls back
 * to the full stable sort, so the order is always the one the sort gives. */
void
resort_after_append (VontleList *list)
{
  const BusyScope scope (list, Busy::sorting);
  const VontleCompareFunction cmp = list->cmp;
  void **slots = list->start;
  const size_t last = list->size - 1;
  for (size_t i = 1; i < last; i++)
    if (cmp (slots[i - 1], slots[i]) > 0)
      {
        sort_stably (list, cmp);
        return;
      }

  void *added = slots[last];
  size_t low = 0;
  size_t high = last;
  while (low < high)
    {
      const size_t middle = low + (high - low) / 2;
      if (cmp (slots[middle], added) > 0)
        high = middle;
      else
        low = middle + 1;
    }
  memmove (slots + low + 1, slots + low, (last - low) * sizeof (void *));
  slots[low] = added;
}

/* Every insertion grows the array by exactly one slot per element, so the
 * array always holds exactly size slots. A failure is reported under
 * vontle_list_append whichever operation was growing the list. */
bool
grow_by (VontleList *list, size_t n)
{
  auto *new_start = static_cast<void **> (g_realloc_n (list->start, list->size + n, sizeof (void *)));
  if (!vontle::check (new_start != nullptr, "vontle_list_append", "new_start != NULL"))
    return false;
  list->start = new_start;
  return true;
}

ssize_t
index_of (const VontleList *list, const void *data)
{
  for (size_t i = 0; i < list->size; i++)
    if (list->start[i] == data)
      return static_cast<ssize_t> (i);
  return -1;
}

} // namespace

bool
vontle::list_is_sorting (const VontleList *list)
{
  return vontle::is_busy (list, Busy::sorting);
}

bool
vontle::list_is_walked (const VontleList *list)
{
  return vontle::is_busy (list, Busy::walking) || vontle::is_busy (list, Busy::sorting);
}

/* The list is whole again before the free function runs: it is host code,
 * and may look at or change the list (or free it: nothing here touches the
 * list after the call). */
void
vontle::list_remove_at (VontleList *list, size_t index)
{
  void *removed = list->start[index];
  memmove (list->start + index, list->start + index + 1,
           (list->size - index - 1) * sizeof (void *));
  list->size--;
  if (list->free != nullptr)
    list->free (removed);
}

void
vontle::list_replace_at (VontleList *list, size_t index, void *data)
{
  void *replaced = std::exchange (list->start[index], data);
  if (list->free != nullptr)
    list->free (replaced);
}

void
vontle::list_append_spare (VontleList *list, void *data, size_t *capacity)
{
  if (list->size == *capacity)
    {
      *capacity = MAX (size_t { 8 }, 2 * *capacity);
      list->start = g_renew (void *, list->start, *capacity);
    }
  list->start[list->size++] = data;
}

/* The same list as appending each element in turn, with one reallocation:
 * a batch of many appends otherwise pays a reallocation, and now and then a
 * move of the whole array, per element. A sorted list takes them one by one. */
void
vontle::list_append_all (VontleList *list, void *const *elements, size_t n)
{
  if (list->cmp != nullptr)
    {
      for (size_t i = 0; i < n; i++)
        vontle_list_append (list, elements[i]);
      return;
    }
  if (n == 0 || !grow_by (list, n))
    return;
  memcpy (list->start + list->size, elements, n * sizeof (void *));
  list->size += n;
}

VontleList *
vontle_list_new (void)
{
  return list_new (nullptr, nullptr);
}

VontleList *
vontle_list_new_with_free (VontleFreeFunction free)
{
  return list_new (nullptr, free);
}

VontleList *
vontle_sorted_list_new (VontleCompareFunction cmp)
{
  return list_new (cmp, nullptr);
}

VontleList *
vontle_sorted_list_new_with_free (VontleCompareFunction cmp, VontleFreeFunction free)
{
  return list_new (cmp, free);
}

void
vontle_list_set_free_function (VontleList *list, VontleFreeFunction free)
{
  if (!VONTLE_CHECK (list != NULL))
    return;
  list->free = free;
}

/* The list is empty before the first free function runs: one that removes
 * from the list, or appends to it, works on the empty list and never on the
 * array being released. Elements it appends stay. */
void
vontle_list_clear (VontleList *list)
{
  if (list == nullptr || !VONTLE_CHECK (!vontle::list_is_sorting (list)))
    return;
  g_autofree void **elements = std::exchange (list->start, nullptr);
  const size_t n = std::exchange (list->size, 0);
  const VontleFreeFunction free_func = list->free;
  if (free_func == nullptr)
    return;
  const BusyScope scope (list, Busy::walking);
  for (size_t i = 0; i < n; i++)
    free_func (elements[i]);
}

void
vontle_list_free (VontleList *list)
{
  if (list == nullptr || !VONTLE_CHECK (!vontle::list_is_walked (list)))
    return;
  /* A free function may have appended to the list while it was cleared. */
  while (list->start != nullptr)
    vontle_list_clear (list);
  g_free (list);
}

void
vontle_list_append (VontleList *list, void *data)
{
  if (!VONTLE_CHECK (list != NULL) || !VONTLE_CHECK (!vontle::list_is_sorting (list)) || !grow_by (list, 1))
    return;
  list->start[list->size++] = data;
  if (list->cmp != nullptr)
    resort_after_append (list);
}

void
vontle_list_prepend (VontleList *list, void *data)
{
  if (!VONTLE_CHECK (list != NULL) || !VONTLE_CHECK (!vontle::list_is_sorting (list)))
    return;
  if (list->cmp != nullptr)
    {
      vontle_list_append (list, data);
      return;
    }
  if (!grow_by (list, 1))
    return;
  memmove (list->start + 1, list->start, list->size * sizeof (void *));
  list->start[0] = data;
  list->size++;
}

void
vontle_list_sort (VontleList *list, VontleCompareFunction compare)
{
  if (!VONTLE_CHECK (list != NULL) || !VONTLE_CHECK (!vontle::list_is_sorting (list)))
    return;
  if (list->start != nullptr && compare != nullptr)
    sort_stably (list, compare);
}

void
vontle_list_remove (VontleList *list, void *data)
{
  if (!VONTLE_CHECK (list != NULL) || !VONTLE_CHECK (!vontle::list_is_sorting (list)))
    return;
  const ssize_t index = index_of (list, data);
  if (index >= 0)
    vontle::list_remove_at (list, static_cast<size_t> (index));
}

ssize_t
vontle_list_position (VontleList *list, void *data)
{
  if (!VONTLE_CHECK (list != NULL))
    return -1;
  return index_of (list, data);
}

void *
vontle_list_nth (VontleList *list, size_t n)
{
  if (!VONTLE_CHECK (list != NULL) || !VONTLE_CHECK (n < list->size))
    return nullptr;
  return list->start[n];
}

void
vontle_list_set_nth (VontleList *list, size_t n, void *data)
{
  if (!VONTLE_CHECK (list != NULL) || !VONTLE_CHECK (n < list->size)
      || !VONTLE_CHECK (list->cmp == NULL) || !VONTLE_CHECK (!vontle::list_is_sorting (list)))
    return;
  vontle::list_replace_at (list, n, data);
}

bool
vontle_list_contains (VontleList *list, void *data)
{
  if (!VONTLE_CHECK (list != NULL))
    return false;
  return index_of (list, data) >= 0;
}

void *
vontle_list_find (VontleList *list, VontleCompareFunction compare, void *data)
{
  if (!VONTLE_CHECK (list != NULL && compare != NULL))
    return nullptr;
  const BusyScope scope (list, Busy::walking);
  for (size_t i = 0; i < list->size; i++)
    if (compare (list->start[i], data) == 0)
      return list->start[i];
  return nullptr;
}

size_t
vontle_list_size (VontleList *list)
{
  if (!VONTLE_CHECK (list != NULL))
    return 0;
  return list->size;
}

void
vontle_list_foreach (VontleList *list, VontleForeachFunction callback, void *data)
{
  if (!VONTLE_CHECK (list != NULL && callback != NULL))
    return;
  /* Array and size are read afresh on every step, so a callback that breaks
   * the rules can at worst end the walk early, never read past the array. */
  const BusyScope scope (list, Busy::walking);
  for (size_t i = 0; list->start != nullptr && i < list->size; i++)
    callback (list->start[i], data);
}

VontleList *
vontle_list_merge (VontleList *list, VontleList *other)
{
  if (!VONTLE_CHECK (list != NULL))
    return nullptr;
  if (other == nullptr)
    return list;
  /* Appending a list to itself would grow it while walking it; refuse. A
   * donor that a callback of its own is walking or sorting would be left
   * without its free function under a walk that still reads it, and its
   * caller could no longer free it: refuse that too, before any change. */
  if (!VONTLE_CHECK (list != other) || !VONTLE_CHECK (!vontle::list_is_sorting (list))
      || !VONTLE_CHECK (!vontle::list_is_walked (other)))
    return list;

  if (list->free != other->free)
    VONTLE_LOG_HERE (VONTLE_LOG_WARNING, "vontle_list_merge: merging lists with different free functions!");
  other->free = nullptr;

  /* A sorted list's comparator runs while the other list's array is being
   * read: every change of the other list is refused meanwhile, as for a
   * list being sorted. */
  const BusyScope taking (other, Busy::sorting);
  if (other->start != nullptr)
    vontle::list_append_all (list, other->start, other->size);
  return list;
}
