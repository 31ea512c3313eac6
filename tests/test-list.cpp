/* SPDX-License-Identifier: LGPL-2.1-or-later */
#include "containers-test.h"

#include <algorithm>
#include <random>

using namespace vontle_test;
using ::testing::ElementsAre;
using ::testing::ElementsAreArray;

namespace {

int
compare_keys_descending (const void *a, const void *b)
{
  return compare_keys (b, a);
}

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

/* A donor merged away by one of its own callbacks: refused, both lists as they were. */
thread_local VontleList *merge_into, *merge_donor;

void
merge_donor_away (void *, void *)
{
  EXPECT_EQ (vontle_list_merge (merge_into, std::exchange (merge_donor, nullptr)), merge_into);
}

int
compare_merging_donor_away (const void *a, const void *b)
{
  merge_donor_away (nullptr, nullptr);
  return (a > b) - (a < b);
}

TEST_F (ListTest, MergeOfADonorBeingWalkedOrSortedIsRefused)
{
  void (*const walks[]) (VontleList *) = {
    [] (VontleList *d) { vontle_list_sort (d, compare_merging_donor_away); },
    [] (VontleList *d) { vontle_list_foreach (d, merge_donor_away, nullptr); },
    [] (VontleList *d) { static_cast<void> (vontle_list_find (d, compare_merging_donor_away, nullptr)); },
  };
  for (auto walk : walks)
    {
      g_autoptr (VontleList) list = vontle_list_new ();
      g_autoptr (VontleList) donor = vontle_list_new_with_free (record_release);
      vontle_list_append (donor, P (1));
      vontle_list_append (donor, P (2));
      merge_into = list;
      merge_donor = donor;
      walk (donor);
      ExpectCritical ("vontle_list_merge", "!vontle::list_is_walked (other)");
      EXPECT_EQ (list->size, 0u);
      EXPECT_EQ (donor->free, record_release);
      EXPECT_EQ (donor->size, 2u);
    }
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
