/* SPDX-License-Identifier: LGPL-2.1-or-later */
/* List internals shared by the list and its iterator. Not installed. */
#pragma once

#include <cstddef>

#include <vontle/datastructures.h>

namespace vontle {

/* Releases the element at INDEX (owning lists) and closes the gap; the array
 * keeps its length. INDEX must be below the list's size. */
void list_remove_at (VontleList *list, size_t index);

/* Releases the element at INDEX (owning lists), also when it is null, then
 * stores DATA in its slot. INDEX must be below the list's size. */
void list_replace_at (VontleList *list, size_t index, void *data);

/* Appends N elements in order, as N calls of vontle_list_append would,
 * growing the array once. LIST must not be null. */
void list_append_all (VontleList *list, void *const *elements, size_t n);

/* Appends DATA to an unsorted list that only its owner touches, doubling
 * its slots when the *CAPACITY allocated ones run out. Growing by one slot
 * per element costs a reallocation, and often a move of the whole array,
 * per append; a list with spare slots must never reach the other list
 * operations that grow it, and vontle_list_free releases it as usual. */
void list_append_spare (VontleList *list, void *data, size_t *capacity);

/* Whether a comparator is running on this thread, at any depth, while a
 * sort works on LIST's array or a merge reads it: the list then refuses
 * every change. */
bool list_is_sorting (const VontleList *list);

/* Whether a callback of LIST (comparator, visit, find or free function) is
 * running on this thread, at any depth: the list then refuses to be freed. */
bool list_is_walked (const VontleList *list);

} // namespace vontle
