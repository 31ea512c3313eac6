/* SPDX-License-Identifier: LGPL-2.1-or-later */
#include "vontle-private.h"
#include "list-private.h"

VontleListIterator *
vontle_list_iterator (VontleList *list)
{
  if (!VONTLE_CHECK (list != NULL) || list->size == 0)
    return nullptr;
  auto *iter = static_cast<VontleListIterator *> (g_try_malloc0 (sizeof (VontleListIterator)));
  if (iter != nullptr)
    iter->list = list;
  return iter;
}

VontleListIterator *
vontle_list_iterator_copy (VontleListIterator *iter)
{
  if (!VONTLE_CHECK (iter != NULL))
    return nullptr;
  return static_cast<VontleListIterator *> (g_memdup2 (iter, sizeof (VontleListIterator)));
}

VontleListIterator *
vontle_list_iterator_next (VontleListIterator *iter)
{
  if (!vontle_list_iterator_is_valid (iter))
    return nullptr;
  iter->index++;
  return iter->index < iter->list->size ? iter : nullptr;
}

VontleListIterator *
vontle_list_iterator_previous (VontleListIterator *iter)
{
  if (!vontle_list_iterator_is_valid (iter))
    return nullptr;
  if (iter->index == 0)
    {
      /* Off the start lands where off the end does, so one test covers both. */
      iter->index = iter->list->size;
      return nullptr;
    }
  iter->index--;
  return iter;
}

bool
vontle_list_iterator_is_valid (VontleListIterator *iter)
{
  return iter != nullptr && iter->list != nullptr && iter->index < iter->list->size;
}

bool
vontle_list_iterator_has_next (VontleListIterator *iter)
{
  return vontle_list_iterator_is_valid (iter) && iter->index + 1 < iter->list->size;
}

bool
vontle_list_iterator_has_previous (VontleListIterator *iter)
{
  return vontle_list_iterator_is_valid (iter) && iter->index != 0;
}

void *
vontle_list_iterator_data (VontleListIterator *iter)
{
  if (!vontle::check (vontle_list_iterator_is_valid (iter), __func__,
                      "vontle_list_iterator_is_valid(iter)"))
    return nullptr;
  return iter->list->start[iter->index];
}

void
vontle_list_iterator_set (VontleListIterator *iter, void *data)
{
  if (!vontle::check (vontle_list_iterator_is_valid (iter), __func__,
                      "vontle_list_iterator_is_valid(iter)")
      || !VONTLE_CHECK (iter->list->cmp == NULL)
      || !VONTLE_CHECK (!vontle::list_is_sorting (iter->list)))
    return;
  vontle::list_replace_at (iter->list, iter->index, data);
}

void
vontle_list_iterator_remove (VontleListIterator *iter)
{
  if (vontle_list_iterator_is_valid (iter) && VONTLE_CHECK (!vontle::list_is_sorting (iter->list)))
    vontle::list_remove_at (iter->list, iter->index);
}

void
vontle_list_iterator_free (VontleListIterator *iter)
{
  g_free (iter);
}
