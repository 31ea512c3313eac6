#include "vontle-test.h"

#include <vontle/vontle.h>

#include <algorithm>
#include <random>

using vontle_test::StderrCapture;
using ::testing::ElementsAre;
using ::testing::ElementsAreArray;

namespace {

/* Free-function calls are recorded, in order, for ownership checks. */
std::vector<void *> released;
void record_release (void *data) { released.push_back (data); }
void other_release (void *data) { released.push_back (data); }

/* Elements are pointers to keyed items; the comparator orders by key. */
struct Item
{
  int key;
  int id;
};

int
compare_keys (const void *a, const void *b)
{
  const int ka = static_cast<const Item *> (a)->key;
  const int kb = static_cast<const Item *> (b)->key;
  return (ka > kb) - (ka < kb);
}

int
compare_keys_descending (const void *a, const void *b)
{
  return compare_keys (b, a);
}

std::vector<void *>
contents (const VontleList *list)
{
  return std::vector<void *> (list->start, list->start + list->size);
}

void *P (uintptr_t value) { return reinterpret_cast<void *> (value); }

class ListTest : public vontle_test::GLibLogTest
{
protected:
  void SetUp () override
  {
    GLibLogTest::SetUp ();
    released.clear ();
  }
};

TEST_F (ListTest, ConstructorsSetOwnershipAndOrder)
{
  g_autoptr (VontleList) plain = vontle_list_new ();
  g_autoptr (VontleList) owning = vontle_list_new_with_free (record_release);
  g_autoptr (VontleList) sorted = vontle_sorted_list_new (compare_keys);
  g_autoptr (VontleList) both = vontle_sorted_list_new_with_free (compare_keys, record_release);

  EXPECT_EQ (plain->start, nullptr);
  EXPECT_EQ (plain->size, 0u);
  EXPECT_EQ (plain->free, nullptr);
  EXPECT_EQ (plain->cmp, nullptr);
  EXPECT_EQ (owning->free, record_release);
  EXPECT_EQ (sorted->cmp, compare_keys);
  EXPECT_EQ (sorted->free, nullptr);
  EXPECT_EQ (both->cmp, compare_keys);
  EXPECT_EQ (both->free, record_release);
}

TEST_F (ListTest, AppendPrependAndGrowthByExactlyOneSlot)
{
  g_autoptr (VontleList) list = vontle_list_new ();
  vontle_list_append (list, P (1));
  vontle_list_append (list, P (2));
  vontle_list_prepend (list, P (3));
  vontle_list_append (list, nullptr);
  EXPECT_THAT (contents (list), ElementsAre (P (3), P (1), P (2), nullptr));
  EXPECT_EQ (vontle_list_size (list), 4u);
}

TEST_F (ListTest, NthAtTheBoundary)
{
  g_autoptr (VontleList) list = vontle_list_new ();
  vontle_list_append (list, P (1));
  vontle_list_append (list, P (2));
  EXPECT_EQ (vontle_list_nth (list, 1), P (2));
  ExpectNoMessages ();
  EXPECT_EQ (vontle_list_nth (list, 2), nullptr);
  ExpectCritical ("vontle_list_nth", "n < list->size");
}

TEST_F (ListTest, SortedInsertionIsStableAndPrependAppends)
{
  Item one { 1, 0 }, two { 2, 0 }, three { 3, 0 }, second_two { 2, 1 }, third_two { 2, 2 };
  g_autoptr (VontleList) list = vontle_sorted_list_new (compare_keys);
  vontle_list_append (list, &three);
  vontle_list_append (list, &one);
  vontle_list_append (list, &two);
  vontle_list_append (list, &second_two);
  vontle_list_prepend (list, &third_two);
  EXPECT_THAT (contents (list), ElementsAre (&one, &two, &second_two, &third_two, &three));

  Item zero { 0, 0 };
  vontle_list_prepend (list, &zero);
  EXPECT_EQ (vontle_list_nth (list, 0), &zero);
}

TEST_F (ListTest, SortedInsertionMatchesAStableSortOnRandomData)
{
  std::mt19937 random (7);
  std::vector<Item> items (400);
  for (int i = 0; i < static_cast<int> (items.size ()); i++)
    items[i] = { static_cast<int> (random () % 10), i };

  g_autoptr (VontleList) list = vontle_sorted_list_new (compare_keys);
  for (auto &item : items)
    (random () % 2 ? vontle_list_append : vontle_list_prepend) (list, &item);

  std::vector<Item *> expected;
  for (auto &item : items)
    expected.push_back (&item);
  std::stable_sort (expected.begin (), expected.end (),
                    [] (const Item *a, const Item *b) { return a->key < b->key; });
  ASSERT_EQ (list->size, expected.size ());
  for (size_t i = 0; i < expected.size (); i++)
    EXPECT_EQ (list->start[i], expected[i]) << "at " << i;
}

/* Keys that change behind the list's back leave it out of order; the next
 * insertion must still give exactly what a stable sort of the whole array
 * (new element last) gives. */
TEST_F (ListTest, SortedInsertionAfterKeysChangedMatchesAFullStableSort)
{
  std::mt19937 random (11);
  std::vector<Item> items (300);
  g_autoptr (VontleList) list = vontle_sorted_list_new (compare_keys);
  std::vector<void *> model;
  for (int i = 0; i < static_cast<int> (items.size ()); i++)
    {
      if (i % 10 == 9)
        items[random () % i].key = static_cast<int> (random () % 8);
      items[i] = { static_cast<int> (random () % 8), i };
      model.assign (list->start, list->start + list->size);
      model.push_back (&items[i]);
      std::stable_sort (model.begin (), model.end (),
                        [] (const void *a, const void *b) { return compare_keys (a, b) < 0; });
      vontle_list_append (list, &items[i]);
      ASSERT_TRUE (std::equal (model.begin (), model.end (), list->start)) << "after insertion " << i;
    }
}

TEST_F (ListTest, OneOffSortKeepsTheListComparator)
{
  Item a { 1, 0 }, b { 2, 0 }, c { 3, 0 };
  g_autoptr (VontleList) list = vontle_sorted_list_new (compare_keys);
  for (Item *item : { &b, &c, &a })
    vontle_list_append (list, item);
  vontle_list_sort (list, compare_keys_descending);
  EXPECT_THAT (contents (list), ElementsAre (&c, &b, &a));
  EXPECT_EQ (list->cmp, compare_keys);

  Item d { 0, 0 };
  vontle_list_append (list, &d);
  EXPECT_THAT (contents (list), ElementsAre (&d, &a, &b, &c));

  vontle_list_sort (list, nullptr);
  g_autoptr (VontleList) empty = vontle_list_new ();
  vontle_list_sort (empty, compare_keys);
  ExpectNoMessages ();
}

TEST_F (ListTest, RemoveTakesOnlyTheFirstOccurrenceAndReleasesIt)
{
  g_autoptr (VontleList) list = vontle_list_new_with_free (record_release);
  for (uintptr_t v : { 1, 2, 1, 3 })
    vontle_list_append (list, P (v));
  vontle_list_remove (list, P (1));
  EXPECT_THAT (contents (list), ElementsAre (P (2), P (1), P (3)));
  EXPECT_THAT (released, ElementsAre (P (1)));

  vontle_list_remove (list, P (9));
  EXPECT_EQ (list->size, 3u);
  EXPECT_EQ (released.size (), 1u);

  vontle_list_remove (list, P (3));
  EXPECT_THAT (contents (list), ElementsAre (P (2), P (1)));
  released.clear ();
}

TEST_F (ListTest, PositionAndContainsCompareByPointer)
{
  g_autoptr (VontleList) list = vontle_list_new ();
  for (uintptr_t v : { 1, 2, 2 })
    vontle_list_append (list, P (v));
  vontle_list_append (list, nullptr);

  EXPECT_EQ (vontle_list_position (list, P (2)), 1);
  EXPECT_EQ (vontle_list_position (list, nullptr), 3);
  EXPECT_EQ (vontle_list_position (list, P (99)), -1);
  EXPECT_TRUE (vontle_list_contains (list, P (1)));
  EXPECT_TRUE (vontle_list_contains (list, nullptr));
  EXPECT_FALSE (vontle_list_contains (list, P (99)));
}

/* Records every call so the search order and argument order can be checked. */
std::vector<std::pair<const void *, const void *>> find_calls;

int
match_value (const void *element, const void *data)
{
  find_calls.emplace_back (element, data);
  return element == *static_cast<void *const *> (data) ? 0 : 1;
}

TEST_F (ListTest, FindPassesElementThenDataAndStopsAtTheFirstMatch)
{
  g_autoptr (VontleList) list = vontle_list_new ();
  find_calls.clear ();
  void *sought = P (2);
  EXPECT_EQ (vontle_list_find (list, match_value, &sought), nullptr);
  EXPECT_TRUE (find_calls.empty ());

  for (uintptr_t v : { 1, 2, 2, 3 })
    vontle_list_append (list, P (v));
  EXPECT_EQ (vontle_list_find (list, match_value, &sought), P (2));
  EXPECT_THAT (find_calls, ElementsAre (std::pair<const void *, const void *> (P (1), &sought),
                                        std::pair<const void *, const void *> (P (2), &sought)));

  find_calls.clear ();
  void *missing = P (9);
  EXPECT_EQ (vontle_list_find (list, match_value, &missing), nullptr);
  EXPECT_EQ (find_calls.size (), 4u);

  /* A matching element that is itself null comes back as null. */
  vontle_list_append (list, nullptr);
  void *null_element = nullptr;
  EXPECT_EQ (vontle_list_find (list, match_value, &null_element), nullptr);
}

TEST_F (ListTest, SetNthReleasesTheOldElementOnceEvenWhenNull)
{
  g_autoptr (VontleList) list = vontle_list_new_with_free (record_release);
  vontle_list_append (list, nullptr);
  vontle_list_append (list, P (2));
  vontle_list_set_nth (list, 0, P (5));
  vontle_list_set_nth (list, 1, P (6));
  EXPECT_THAT (released, ElementsAre (nullptr, P (2)));
  EXPECT_THAT (contents (list), ElementsAre (P (5), P (6)));
  released.clear ();
}

TEST_F (ListTest, SetNthChecksIndexBeforeSortedness)
{
  Item a { 1, 0 };
  g_autoptr (VontleList) sorted = vontle_sorted_list_new (compare_keys);
  vontle_list_append (sorted, &a);

  vontle_list_set_nth (sorted, 1, P (7));
  ExpectCritical ("vontle_list_set_nth", "n < list->size");
  vontle_list_set_nth (sorted, 0, P (7));
  ExpectCritical ("vontle_list_set_nth", "list->cmp == NULL");
  EXPECT_THAT (contents (sorted), ElementsAre (&a));
}

TEST_F (ListTest, ClearReleasesInIndexOrderAndLeavesTheListUsable)
{
  g_autoptr (VontleList) list = vontle_list_new_with_free (record_release);
  for (void *v : std::initializer_list<void *> { P (1), nullptr, P (3) })
    vontle_list_append (list, v);
  vontle_list_clear (list);
  EXPECT_THAT (released, ElementsAre (P (1), nullptr, P (3)));
  EXPECT_EQ (list->start, nullptr);
  EXPECT_EQ (list->size, 0u);
  EXPECT_EQ (list->free, record_release);

  vontle_list_append (list, P (4));
  EXPECT_THAT (contents (list), ElementsAre (P (4)));
  vontle_list_free (g_steal_pointer (&list));
  EXPECT_THAT (released, ElementsAre (P (1), nullptr, P (3), P (4)));
  released.clear ();
}

TEST_F (ListTest, FreeFunctionCanBeChangedLater)
{
  g_autoptr (VontleList) list = vontle_list_new ();
  vontle_list_append (list, P (1));
  vontle_list_set_free_function (list, record_release);
  vontle_list_remove (list, P (1));
  EXPECT_THAT (released, ElementsAre (P (1)));
  released.clear ();
}

struct Visit
{
  std::vector<void *> seen;
};

void
visit (void *data, void *user_data)
{
  static_cast<Visit *> (user_data)->seen.push_back (data);
}

TEST_F (ListTest, ForeachVisitsInIndexOrder)
{
  g_autoptr (VontleList) list = vontle_list_new ();
  Visit none;
  vontle_list_foreach (list, visit, &none);
  EXPECT_TRUE (none.seen.empty ());

  for (void *v : std::initializer_list<void *> { P (1), nullptr, P (3) })
    vontle_list_append (list, v);
  Visit all;
  vontle_list_foreach (list, visit, &all);
  EXPECT_THAT (all.seen, ElementsAre (P (1), nullptr, P (3)));
}

TEST_F (ListTest, MergeMovesElementsAndOwnership)
{
  g_autoptr (VontleList) list = vontle_list_new_with_free (record_release);
  VontleList *other = vontle_list_new_with_free (record_release);
  vontle_list_append (list, P (1));
  vontle_list_append (other, P (2));
  vontle_list_append (other, P (3));

  StderrCapture capture;
  EXPECT_EQ (vontle_list_merge (list, other), list);
  EXPECT_EQ (capture.Finish (), "");
  EXPECT_THAT (contents (list), ElementsAre (P (1), P (2), P (3)));
  EXPECT_EQ (other->free, nullptr);
  EXPECT_EQ (other->size, 2u);

  vontle_list_free (other);
  EXPECT_TRUE (released.empty ());
  vontle_list_free (g_steal_pointer (&list));
  EXPECT_THAT (released, ElementsAre (P (1), P (2), P (3)));
  released.clear ();
}

TEST_F (ListTest, MergeWithDifferentFreeFunctionsWarnsOnceAtWarningLevel)
{
  for (VontleLogLevel threshold : { VONTLE_LOG_WARNING, VONTLE_LOG_ERROR })
    {
      vontle_set_log_level (threshold);
      g_autoptr (VontleList) list = vontle_list_new_with_free (record_release);
      VontleList *other = vontle_list_new_with_free (other_release);
      vontle_list_append (other, P (2));

      StderrCapture capture;
      vontle_list_merge (list, other);
      const std::string written = capture.Finish ();
      if (threshold == VONTLE_LOG_WARNING)
        EXPECT_EQ (written, "warning: vontle_list_merge: merging lists with different free functions!\n");
      else
        EXPECT_EQ (written, "");

      EXPECT_EQ (other->free, nullptr);
      vontle_list_free (other);
      EXPECT_TRUE (released.empty ());
      vontle_list_free (g_steal_pointer (&list));
      EXPECT_THAT (released, ElementsAre (P (2)));
      released.clear ();
    }
}

TEST_F (ListTest, MergeIntoASortedListSortsEveryElement)
{
  Item a { 1, 0 }, b { 2, 0 }, c { 3, 0 };
  g_autoptr (VontleList) list = vontle_sorted_list_new (compare_keys);
  g_autoptr (VontleList) other = vontle_list_new ();
  vontle_list_append (list, &b);
  vontle_list_append (other, &c);
  vontle_list_append (other, &a);
  vontle_list_merge (list, other);
  EXPECT_THAT (contents (list), ElementsAre (&a, &b, &c));
}

TEST_F (ListTest, MergeEdgeCases)
{
  g_autoptr (VontleList) list = vontle_list_new ();
  EXPECT_EQ (vontle_list_merge (list, nullptr), list);
  ExpectNoMessages ();

  g_autoptr (VontleList) other = vontle_list_new_with_free (record_release);
  vontle_list_append (other, P (1));
  EXPECT_EQ (vontle_list_merge (nullptr, other), nullptr);
  ExpectCritical ("vontle_list_merge", "list != NULL");
  EXPECT_EQ (other->free, record_release);
  EXPECT_EQ (other->size, 1u);

  /* Merging a list into itself is refused and changes nothing. */
  EXPECT_EQ (vontle_list_merge (other, other), other);
  ExpectCritical ("vontle_list_merge", "list != other");
  EXPECT_EQ (other->size, 1u);
  EXPECT_EQ (other->free, record_release);
  vontle_list_free (g_steal_pointer (&other));
  released.clear ();
}

TEST_F (ListTest, NullListIsReportedWithNeutralResults)
{
  vontle_list_clear (nullptr);
  vontle_list_free (nullptr);
  ExpectNoMessages ();

  vontle_list_set_free_function (nullptr, record_release);
  ExpectCritical ("vontle_list_set_free_function", "list != NULL");
  vontle_list_append (nullptr, P (1));
  ExpectCritical ("vontle_list_append", "list != NULL");
  vontle_list_prepend (nullptr, P (1));
  ExpectCritical ("vontle_list_prepend", "list != NULL");
  vontle_list_sort (nullptr, compare_keys);
  ExpectCritical ("vontle_list_sort", "list != NULL");
  vontle_list_remove (nullptr, P (1));
  ExpectCritical ("vontle_list_remove", "list != NULL");
  EXPECT_EQ (vontle_list_position (nullptr, P (1)), -1);
  ExpectCritical ("vontle_list_position", "list != NULL");
  EXPECT_EQ (vontle_list_nth (nullptr, 0), nullptr);
  ExpectCritical ("vontle_list_nth", "list != NULL");
  vontle_list_set_nth (nullptr, 0, P (1));
  ExpectCritical ("vontle_list_set_nth", "list != NULL");
  EXPECT_FALSE (vontle_list_contains (nullptr, P (1)));
  ExpectCritical ("vontle_list_contains", "list != NULL");
  EXPECT_EQ (vontle_list_find (nullptr, compare_keys, P (1)), nullptr);
  ExpectCritical ("vontle_list_find", "list != NULL && compare != NULL");
  EXPECT_EQ (vontle_list_size (nullptr), 0u);
  ExpectCritical ("vontle_list_size", "list != NULL");
  vontle_list_foreach (nullptr, visit, nullptr);
  ExpectCritical ("vontle_list_foreach", "list != NULL && callback != NULL");
}

TEST_F (ListTest, MissingCallbacksAreReported)
{
  g_autoptr (VontleList) list = vontle_list_new ();
  vontle_list_append (list, P (1));
  EXPECT_EQ (vontle_list_find (list, nullptr, P (1)), nullptr);
  ExpectCritical ("vontle_list_find", "list != NULL && compare != NULL");
  vontle_list_foreach (list, nullptr, nullptr);
  ExpectCritical ("vontle_list_foreach", "list != NULL && callback != NULL");
}

} // namespace

/* ------------------------------------------------------------ iterator -- */

namespace {

using IteratorTest = ListTest;

VontleList *
list_of (std::initializer_list<void *> elements, VontleFreeFunction free = nullptr)
{
  VontleList *list = vontle_list_new_with_free (free);
  for (void *element : elements)
    vontle_list_append (list, element);
  return list;
}

TEST_F (IteratorTest, WalksForwardOffTheEndAndStaysThere)
{
  g_autoptr (VontleList) list = list_of ({ P (1), P (2), P (3) });
  g_autoptr (VontleListIterator) iter = vontle_list_iterator (list);
  ASSERT_NE (iter, nullptr);
  EXPECT_EQ (iter->list, list);
  EXPECT_EQ (vontle_list_iterator_data (iter), P (1));
  EXPECT_FALSE (vontle_list_iterator_has_previous (iter));
  EXPECT_TRUE (vontle_list_iterator_has_next (iter));

  EXPECT_EQ (vontle_list_iterator_next (iter), iter);
  EXPECT_EQ (vontle_list_iterator_data (iter), P (2));
  EXPECT_TRUE (vontle_list_iterator_has_previous (iter));
  EXPECT_EQ (vontle_list_iterator_next (iter), iter);
  EXPECT_EQ (vontle_list_iterator_data (iter), P (3));
  EXPECT_FALSE (vontle_list_iterator_has_next (iter));
  EXPECT_TRUE (vontle_list_iterator_is_valid (iter));

  EXPECT_EQ (vontle_list_iterator_next (iter), nullptr);
  EXPECT_FALSE (vontle_list_iterator_is_valid (iter));
  EXPECT_FALSE (vontle_list_iterator_has_next (iter));
  EXPECT_FALSE (vontle_list_iterator_has_previous (iter));
  EXPECT_EQ (iter->index, 3u);

  /* Neither step moves an iterator that is off the list. */
  EXPECT_EQ (vontle_list_iterator_next (iter), nullptr);
  EXPECT_EQ (vontle_list_iterator_previous (iter), nullptr);
  EXPECT_EQ (iter->index, 3u);
  EXPECT_EQ (vontle_list_iterator_data (iter), nullptr);
  ExpectCritical ("vontle_list_iterator_data", "vontle_list_iterator_is_valid(iter)");
}

TEST_F (IteratorTest, WalksBackOffTheStartToTheSize)
{
  g_autoptr (VontleList) list = list_of ({ P (1), P (2), P (3) });
  g_autoptr (VontleListIterator) iter = vontle_list_iterator (list);
  iter->index = 2;
  EXPECT_EQ (vontle_list_iterator_previous (iter), iter);
  EXPECT_EQ (vontle_list_iterator_data (iter), P (2));
  EXPECT_EQ (vontle_list_iterator_previous (iter), iter);
  EXPECT_EQ (vontle_list_iterator_data (iter), P (1));

  EXPECT_EQ (vontle_list_iterator_previous (iter), nullptr);
  EXPECT_FALSE (vontle_list_iterator_is_valid (iter));
  EXPECT_EQ (iter->index, 3u);
  EXPECT_EQ (vontle_list_iterator_next (iter), nullptr);
  EXPECT_EQ (iter->index, 3u);
}

TEST_F (IteratorTest, ValidityFollowsTheListsLiveSize)
{
  g_autoptr (VontleList) list = list_of ({ P (1), P (2) });
  g_autoptr (VontleListIterator) iter = vontle_list_iterator (list);
  while (vontle_list_iterator_next (iter) != nullptr)
    ;
  EXPECT_EQ (iter->index, 2u);

  vontle_list_append (list, P (3));
  EXPECT_TRUE (vontle_list_iterator_is_valid (iter));
  EXPECT_EQ (vontle_list_iterator_data (iter), P (3));
  EXPECT_TRUE (vontle_list_iterator_has_previous (iter));

  vontle_list_remove (list, P (1));
  EXPECT_FALSE (vontle_list_iterator_is_valid (iter));
  EXPECT_EQ (vontle_list_iterator_next (iter), nullptr);
  EXPECT_EQ (iter->index, 2u);
}

TEST_F (IteratorTest, RemoveOnAnOwningListReleasesAndMovesOnToTheFollower)
{
  g_autoptr (VontleList) list = list_of ({ P (1), P (2), P (3) }, record_release);
  g_autoptr (VontleListIterator) iter = vontle_list_iterator (list);
  vontle_list_iterator_next (iter);

  vontle_list_iterator_remove (iter);
  EXPECT_THAT (released, ElementsAre (P (2)));
  EXPECT_TRUE (vontle_list_iterator_is_valid (iter));
  EXPECT_EQ (vontle_list_iterator_data (iter), P (3));

  vontle_list_iterator_remove (iter);
  EXPECT_THAT (released, ElementsAre (P (2), P (3)));
  EXPECT_FALSE (vontle_list_iterator_is_valid (iter));
  EXPECT_EQ (iter->index, 1u);
  EXPECT_THAT (contents (list), ElementsAre (P (1)));

  /* An invalid or null iterator removes nothing, silently. */
  vontle_list_iterator_remove (iter);
  vontle_list_iterator_remove (nullptr);
  EXPECT_EQ (list->size, 1u);
  EXPECT_EQ (released.size (), 2u);
  released.clear ();
}

TEST_F (IteratorTest, RemoveKeepsASortedListInOrder)
{
  Item a { 1, 0 }, b { 2, 0 }, c { 3, 0 };
  g_autoptr (VontleList) list = vontle_sorted_list_new (compare_keys);
  for (Item *item : { &c, &a, &b })
    vontle_list_append (list, item);
  g_autoptr (VontleListIterator) iter = vontle_list_iterator (list);
  vontle_list_iterator_remove (iter);
  EXPECT_THAT (contents (list), ElementsAre (&b, &c));
  EXPECT_EQ (vontle_list_iterator_data (iter), &b);
}

TEST_F (IteratorTest, CopiesMoveIndependently)
{
  g_autoptr (VontleList) list = list_of ({ P (1), P (2), P (3) });
  g_autoptr (VontleListIterator) iter = vontle_list_iterator (list);
  vontle_list_iterator_next (iter);
  g_autoptr (VontleListIterator) copy = vontle_list_iterator_copy (iter);
  ASSERT_NE (copy, nullptr);
  ASSERT_NE (copy, iter);
  EXPECT_EQ (copy->list, list);

  vontle_list_iterator_next (iter);
  EXPECT_EQ (vontle_list_iterator_data (copy), P (2));
  vontle_list_iterator_previous (copy);
  EXPECT_EQ (vontle_list_iterator_data (iter), P (3));
  EXPECT_EQ (vontle_list_iterator_data (copy), P (1));
}

TEST_F (IteratorTest, SetReplacesAndReleasesTheOldElementEvenWhenNull)
{
  g_autoptr (VontleList) list = list_of ({ nullptr, P (2) }, record_release);
  g_autoptr (VontleListIterator) iter = vontle_list_iterator (list);
  vontle_list_iterator_set (iter, P (5));
  vontle_list_iterator_next (iter);
  vontle_list_iterator_set (iter, P (6));
  EXPECT_THAT (released, ElementsAre (nullptr, P (2)));
  EXPECT_THAT (contents (list), ElementsAre (P (5), P (6)));

  vontle_list_iterator_next (iter);
  vontle_list_iterator_set (iter, P (7));
  ExpectCritical ("vontle_list_iterator_set", "vontle_list_iterator_is_valid(iter)");
  EXPECT_THAT (contents (list), ElementsAre (P (5), P (6)));
  EXPECT_EQ (released.size (), 2u);
  released.clear ();
}

TEST_F (IteratorTest, SetOnASortedListChecksValidityFirst)
{
  Item a { 1, 0 }, b { 2, 0 };
  g_autoptr (VontleList) list = vontle_sorted_list_new_with_free (compare_keys, record_release);
  vontle_list_append (list, &a);
  g_autoptr (VontleListIterator) iter = vontle_list_iterator (list);

  vontle_list_iterator_set (iter, &b);
  ExpectCritical ("vontle_list_iterator_set", "iter->list->cmp == NULL");
  vontle_list_iterator_next (iter);
  vontle_list_iterator_set (iter, &b);
  ExpectCritical ("vontle_list_iterator_set", "vontle_list_iterator_is_valid(iter)");
  EXPECT_THAT (contents (list), ElementsAre (&a));
  EXPECT_TRUE (released.empty ());
  vontle_list_free (g_steal_pointer (&list));
  released.clear ();
}

TEST_F (IteratorTest, NullAndEmptyCases)
{
  EXPECT_EQ (vontle_list_iterator (nullptr), nullptr);
  ExpectCritical ("vontle_list_iterator", "list != NULL");
  EXPECT_EQ (vontle_list_iterator_copy (nullptr), nullptr);
  ExpectCritical ("vontle_list_iterator_copy", "iter != NULL");
  EXPECT_EQ (vontle_list_iterator_data (nullptr), nullptr);
  ExpectCritical ("vontle_list_iterator_data", "vontle_list_iterator_is_valid(iter)");
  vontle_list_iterator_set (nullptr, P (1));
  ExpectCritical ("vontle_list_iterator_set", "vontle_list_iterator_is_valid(iter)");

  g_autoptr (VontleList) empty = vontle_list_new ();
  EXPECT_EQ (vontle_list_iterator (empty), nullptr);
  EXPECT_EQ (vontle_list_iterator_next (nullptr), nullptr);
  EXPECT_EQ (vontle_list_iterator_previous (nullptr), nullptr);
  EXPECT_FALSE (vontle_list_iterator_is_valid (nullptr));
  EXPECT_FALSE (vontle_list_iterator_has_next (nullptr));
  EXPECT_FALSE (vontle_list_iterator_has_previous (nullptr));
  vontle_list_iterator_free (nullptr);

  VontleListIterator listless { nullptr, 0 };
  EXPECT_FALSE (vontle_list_iterator_is_valid (&listless));
  EXPECT_EQ (vontle_list_iterator_previous (&listless), nullptr);
  vontle_list_iterator_remove (&listless);
  EXPECT_EQ (listless.index, 0u);
  ExpectNoMessages ();
}

} // namespace

/* ---------------------------------------------------------------- tree -- */

namespace {

/* Which free function released which data, in order. */
struct Release
{
  char by;
  void *data;
  bool operator== (const Release &) const = default;
};
std::vector<Release> tree_releases;
void release_by_a (void *data) { tree_releases.push_back ({ 'a', data }); }
void release_by_b (void *data) { tree_releases.push_back ({ 'b', data }); }

std::vector<void *>
released_data ()
{
  std::vector<void *> data;
  for (const auto &release : tree_releases)
    data.push_back (release.data);
  return data;
}

/* Releasing the list must leave the children and their data alone. */
std::vector<void *>
children_of (VontleNode *node)
{
  g_autoptr (VontleList) children = vontle_node_get_children (node);
  return contents (children);
}

class TreeTest : public vontle_test::GLibLogTest
{
protected:
  void SetUp () override
  {
    GLibLogTest::SetUp ();
    tree_releases.clear ();
  }
};

TEST_F (TreeTest, ANewNodeIsARootOfItsOwn)
{
  g_autoptr (VontleNode) node = vontle_node_new (P (1));
  ASSERT_NE (node, nullptr);
  EXPECT_EQ (node->free, nullptr);
  EXPECT_EQ (vontle_node_get_data (node), P (1));
  EXPECT_EQ (vontle_node_get_parent (node), nullptr);
  EXPECT_EQ (vontle_node_get_root (node), node);
  EXPECT_EQ (vontle_node_get_num_children (node), 0u);
  g_autoptr (VontleList) children = vontle_node_get_children (node);
  ASSERT_NE (children, nullptr);
  EXPECT_EQ (children->size, 0u);
  EXPECT_EQ (children->free, nullptr);
  EXPECT_EQ (children->cmp, nullptr);

  auto *nodedata = static_cast<VontleNodeData *> (node->node->data);
  EXPECT_EQ (nodedata->node, node);
  EXPECT_EQ (nodedata->data, P (1));
}

TEST_F (TreeTest, NavigationAnswersWithHandles)
{
  g_autoptr (VontleNode) root = vontle_node_new (P (1));
  vontle_node_set_free_function (root, release_by_a);
  VontleNode *first = vontle_node_append_data (root, P (2));
  VontleNode *second = vontle_node_append_data (root, P (3));
  VontleNode *grandchild = vontle_node_append_data (first, P (4));

  EXPECT_THAT (children_of (root), ElementsAre (first, second));
  EXPECT_THAT (children_of (first), ElementsAre (grandchild));
  EXPECT_EQ (vontle_node_get_num_children (root), 2u);
  EXPECT_EQ (vontle_node_get_num_children (first), 1u);
  EXPECT_EQ (vontle_node_get_parent (first), root);
  EXPECT_EQ (vontle_node_get_parent (second), root);
  EXPECT_EQ (vontle_node_get_parent (grandchild), first);
  EXPECT_EQ (vontle_node_get_root (grandchild), root);
  EXPECT_EQ (vontle_node_get_root (second), root);
  EXPECT_EQ (vontle_node_get_data (grandchild), P (4));
  EXPECT_TRUE (tree_releases.empty ());
}

TEST_F (TreeTest, FiveNodesAreReleasedInPreOrder)
{
  VontleNode *root = vontle_node_new (P (1));
  vontle_node_set_free_function (root, release_by_a);
  VontleNode *first = vontle_node_append_data (root, P (2));
  VontleNode *second = vontle_node_append_data (root, P (4));
  vontle_node_append_data (first, P (3));
  vontle_node_append_data (second, P (5));

  vontle_node_free (root);
  EXPECT_THAT (released_data (), ElementsAre (P (1), P (2), P (3), P (4), P (5)));
}

TEST_F (TreeTest, EachNodeReleasesItsDataWithItsOwnFunction)
{
  VontleNode *root = vontle_node_new (P (1));
  vontle_node_set_free_function (root, release_by_a);
  VontleNode *copied = vontle_node_append_data (root, P (2));
  EXPECT_EQ (copied->free, release_by_a);

  /* The copy was taken at creation: changing either side later does not
   * reach the other. */
  vontle_node_set_free_function (root, release_by_b);
  EXPECT_EQ (copied->free, release_by_a);
  VontleNode *later = vontle_node_append_data (root, P (3));
  vontle_node_set_free_function (later, nullptr);
  EXPECT_EQ (root->free, release_by_b);

  VontleNode *own = vontle_node_new (P (4));
  vontle_node_set_free_function (own, release_by_a);
  vontle_node_append (copied, own);
  EXPECT_EQ (own->free, release_by_a);

  vontle_node_free (root);
  EXPECT_THAT (tree_releases, ElementsAre (Release { 'b', P (1) }, Release { 'a', P (2) },
                                           Release { 'a', P (4) }));
}

TEST_F (TreeTest, ReleasingAMiddleSubtreeLeavesTheRestIntact)
{
  g_autoptr (VontleNode) root = vontle_node_new (P (1));
  vontle_node_set_free_function (root, release_by_a);
  VontleNode *middle = vontle_node_append_data (root, P (2));
  VontleNode *last = vontle_node_append_data (root, P (5));
  vontle_node_append_data (middle, P (3));
  vontle_node_append_data (middle, P (4));

  vontle_node_free (middle);
  EXPECT_THAT (released_data (), ElementsAre (P (2), P (3), P (4)));
  EXPECT_EQ (vontle_node_get_num_children (root), 1u);
  EXPECT_THAT (children_of (root), ElementsAre (last));
  EXPECT_EQ (vontle_node_get_data (root), P (1));
  EXPECT_EQ (vontle_node_get_parent (last), root);

  tree_releases.clear ();
  vontle_node_free (g_steal_pointer (&root));
  EXPECT_THAT (released_data (), ElementsAre (P (1), P (5)));
}

/* A reference tree kept by the test, to compare the release order of an
 * irregular shape against a plain recursive pre-order. */
struct Shape
{
  uintptr_t data;
  std::vector<Shape> children;
};

void
pre_order (const Shape &shape, std::vector<void *> &order)
{
  order.push_back (P (shape.data));
  for (const auto &child : shape.children)
    pre_order (child, order);
}

void
grow_shape (Shape &shape, VontleNode *node, std::mt19937 &random, uintptr_t &next, int depth)
{
  const int n_children = depth > 6 ? 0 : static_cast<int> (random () % 4);
  for (int i = 0; i < n_children; i++)
    {
      shape.children.push_back ({ next++, {} });
      VontleNode *child = vontle_node_append_data (node, P (shape.children.back ().data));
      grow_shape (shape.children.back (), child, random, next, depth + 1);
    }
}

TEST_F (TreeTest, AnIrregularTreeIsReleasedInPreOrder)
{
  std::mt19937 random (11);
  for (int round = 0; round < 20; round++)
    {
      tree_releases.clear ();
      uintptr_t next = 1;
      Shape shape { next++, {} };
      VontleNode *root = vontle_node_new (P (shape.data));
      vontle_node_set_free_function (root, release_by_a);
      grow_shape (shape, root, random, next, 0);

      std::vector<void *> expected;
      pre_order (shape, expected);
      vontle_node_free (root);
      EXPECT_EQ (released_data (), expected) << "round " << round;
    }
}

TEST_F (TreeTest, AMillionDeepChainIsReleasedWithoutRecursion)
{
  constexpr uintptr_t depth = 1000000;
  static uintptr_t expected_next;
  static uintptr_t out_of_order;
  expected_next = 1;
  out_of_order = 0;
  auto count_in_order = [] (void *data) {
    if (reinterpret_cast<uintptr_t> (data) != expected_next)
      out_of_order++;
    expected_next++;
  };

  VontleNode *root = vontle_node_new (P (1));
  vontle_node_set_free_function (root, count_in_order);
  VontleNode *deepest = root;
  for (uintptr_t i = 2; i <= depth; i++)
    deepest = vontle_node_append_data (deepest, P (i));
  ASSERT_NE (deepest, nullptr);
  EXPECT_EQ (vontle_node_get_root (deepest), root);

  vontle_node_free (root);
  EXPECT_EQ (expected_next, depth + 1);
  EXPECT_EQ (out_of_order, 0u);
}

TEST_F (TreeTest, SetDataReleasesTheOldDataOnceEvenWhenNull)
{
  g_autoptr (VontleNode) node = vontle_node_new (nullptr);
  vontle_node_set_data (node, P (1));
  EXPECT_TRUE (tree_releases.empty ());

  vontle_node_set_free_function (node, release_by_a);
  vontle_node_set_data (node, nullptr);
  vontle_node_set_data (node, P (2));
  EXPECT_THAT (released_data (), ElementsAre (P (1), nullptr));
  EXPECT_EQ (vontle_node_get_data (node), P (2));
  tree_releases.clear ();
}

TEST_F (TreeTest, AttachingAboveItselfIsRefused)
{
  constexpr const char *no_cycle = "child != parent && !g_node_is_ancestor (child->node, parent->node)";
  g_autoptr (VontleNode) root = vontle_node_new (P (1));
  VontleNode *child = vontle_node_append_data (root, P (2));
  VontleNode *grandchild = vontle_node_append_data (child, P (3));

  vontle_node_append (grandchild, root);
  ExpectCritical ("vontle_node_append", no_cycle);
  vontle_node_append (root, root);
  ExpectCritical ("vontle_node_append", no_cycle);
  /* An attached ancestor is refused for the cycle before GLib sees it. */
  vontle_node_append (grandchild, child);
  ExpectCritical ("vontle_node_append", no_cycle);

  EXPECT_EQ (vontle_node_get_parent (root), nullptr);
  EXPECT_EQ (vontle_node_get_root (grandchild), root);
  EXPECT_EQ (vontle_node_get_num_children (grandchild), 0u);
  EXPECT_THAT (children_of (root), ElementsAre (child));
  EXPECT_THAT (children_of (child), ElementsAre (grandchild));
}

TEST_F (TreeTest, AttachedRootsJoinTheTreeAndNodesWithAParentAreRefused)
{
  g_autoptr (VontleNode) root = vontle_node_new (P (1));
  VontleNode *first = vontle_node_append_data (root, P (2));
  VontleNode *other = vontle_node_new (P (3));
  vontle_node_append (root, other);
  EXPECT_THAT (children_of (root), ElementsAre (first, other));
  EXPECT_EQ (vontle_node_get_root (other), root);

  VontleNode *nested = vontle_node_append_data (first, P (4));
  vontle_node_append (other, nested);
  auto messages = TakeMessages ();
  ASSERT_EQ (messages.size (), 1u);
  EXPECT_EQ (messages[0].level, G_LOG_LEVEL_CRITICAL);
  EXPECT_EQ (messages[0].domain, "GLib");
  EXPECT_THAT (messages[0].message, ::testing::HasSubstr ("G_NODE_IS_ROOT"));
  EXPECT_EQ (vontle_node_get_parent (nested), first);
  EXPECT_EQ (vontle_node_get_num_children (other), 0u);
}

TEST_F (TreeTest, NullHandlesAreReported)
{
  vontle_node_free (nullptr);
  ExpectNoMessages ();

  vontle_node_set_free_function (nullptr, release_by_a);
  ExpectCritical ("vontle_node_set_free_function", "node");
  g_autoptr (VontleNode) node = vontle_node_new (P (1));
  vontle_node_append (nullptr, node);
  ExpectCritical ("vontle_node_append", "parent && child");
  vontle_node_append (node, nullptr);
  ExpectCritical ("vontle_node_append", "parent && child");
  EXPECT_EQ (vontle_node_append_data (nullptr, P (2)), nullptr);
  ExpectCritical ("vontle_node_append_data", "parent");
  EXPECT_EQ (vontle_node_get_parent (nullptr), nullptr);
  ExpectCritical ("vontle_node_get_parent", "node && node->node");
  EXPECT_EQ (vontle_node_get_root (nullptr), nullptr);
  ExpectCritical ("vontle_node_get_root", "node && node->node");
  EXPECT_EQ (vontle_node_get_children (nullptr), nullptr);
  ExpectCritical ("vontle_node_get_children", "node");
  EXPECT_EQ (vontle_node_get_num_children (nullptr), 0u);
  ExpectCritical ("vontle_node_get_num_children", "node && node->node");
  EXPECT_EQ (vontle_node_get_data (nullptr), nullptr);
  ExpectCritical ("vontle_node_get_data", "node && node->node");
  vontle_node_set_data (nullptr, P (2));
  ExpectCritical ("vontle_node_set_data", "node && node->node");
  EXPECT_EQ (vontle_node_get_num_children (node), 0u);
}

TEST_F (TreeTest, MalformedHandlesAreReportedAndLeftAlone)
{
  VontleNode hollow { nullptr, release_by_a };
  vontle_node_free (&hollow);
  ExpectCritical ("vontle_node_free", "node->node");
  EXPECT_EQ (vontle_node_get_num_children (&hollow), 0u);
  ExpectCritical ("vontle_node_get_num_children", "node && node->node");

  /* A GNode without a record: the handle cannot be resolved. */
  VontleNode bare { g_node_new (nullptr), release_by_a };
  vontle_node_free (&bare);
  ExpectCritical ("vontle_node_free", "nodedata");
  EXPECT_EQ (vontle_node_get_data (&bare), nullptr);
  ExpectCritical ("vontle_node_get_data", "nodedata");
  vontle_node_set_data (&bare, P (1));
  ExpectCritical ("vontle_node_set_data", "nodedata");

  VontleNode *below = vontle_node_new (P (2));
  g_node_append (bare.node, below->node);
  EXPECT_EQ (vontle_node_get_parent (below), nullptr);
  ExpectCritical ("vontle_node_get_parent", "nodedata");
  EXPECT_EQ (vontle_node_get_root (below), nullptr);
  ExpectCritical ("vontle_node_get_root", "nodedata");
  EXPECT_TRUE (tree_releases.empty ());

  g_node_unlink (below->node);
  vontle_node_free (below);
  g_node_destroy (bare.node);
}

} // namespace
