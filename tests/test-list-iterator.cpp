/* SPDX-License-Identifier: LGPL-2.1-or-later */
#include "containers-test.h"

using namespace vontle_test;
using ::testing::ElementsAre;

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
  EXPECT_TRUE (vontle_list_iterator_has_next (iter)) << "one before the last";
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
