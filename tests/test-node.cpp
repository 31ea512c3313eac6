/* SPDX-License-Identifier: LGPL-2.1-or-later */
#include "containers-test.h"

#include <random>

using namespace vontle_test;
using ::testing::ElementsAre;

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
