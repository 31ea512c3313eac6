/* SPDX-License-Identifier: LGPL-2.1-or-later */
/* Shared by the list, iterator and tree tests: recorded releases, keyed
 * items, and a look at a list's elements. */
#pragma once

#include "vontle-test.h"

#include <cstdint>
#include <vector>

#include <vontle/vontle.h>

namespace vontle_test {

/* Free-function calls are recorded, in order, for ownership checks. */
inline std::vector<void *> released;
inline void record_release (void *data) { released.push_back (data); }
inline void other_release (void *data) { released.push_back (data); }

/* Elements are pointers to keyed items; the comparator orders by key. */
struct Item
{
  int key;
  int id;
};

inline int
compare_keys (const void *a, const void *b)
{
  const int ka = static_cast<const Item *> (a)->key;
  const int kb = static_cast<const Item *> (b)->key;
  return (ka > kb) - (ka < kb);
}

inline std::vector<void *>
contents (const VontleList *list)
{
  return std::vector<void *> (list->start, list->start + list->size);
}

inline void *P (uintptr_t value) { return reinterpret_cast<void *> (value); }

class ListTest : public GLibLogTest
{
protected:
  void SetUp () override
  {
    GLibLogTest::SetUp ();
    released.clear ();
  }
};

} // namespace vontle_test
