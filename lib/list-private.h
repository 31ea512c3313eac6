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

} // namespace vontle
