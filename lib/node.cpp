/* SPDX-License-Identifier: LGPL-2.1-or-later */
#include "vontle-private.h"
#include "list-private.h"
#include "callback-marks.h"

#include <memory>
#include <utility>

namespace {

using vontle::GMemory;

template <typename T>
GMemory<T>
try_new_zeroed ()
{
  return GMemory<T> (static_cast<T *> (g_try_malloc0 (sizeof (T))));
}

VontleNodeData *
record_of (GNode *gnode)
{
  return static_cast<VontleNodeData *> (gnode->data);
}

/* Free functions are host code: one that frees a node of a tree whose data
 * this thread is releasing, at any depth of nested releases and walks,
 * would free it under the walk, so that is refused while the walk runs. */
bool
is_being_released (const VontleNode *node)
{
  return vontle::any_busy () && vontle::is_busy (g_node_get_root (node->node), vontle::Busy::releasing);
}

/* Applies the node's free function to its data, also when the data is null. */
void
release_data (VontleNode *node)
{
  if (node->free != nullptr)
    node->free (record_of (node->node)->data);
}

/* Destroys a node whose children are all gone: g_node_destroy () on a leaf
 * only unlinks it from its parent and frees that one GNode. */
void
destroy_leaf (VontleNode *node)
{
  g_free (record_of (node->node));
  g_node_destroy (node->node);
  g_free (node);
}

/* Releases the subtree under top in pre-order without recursing: a node's
 * data goes as soon as the walk reaches it, the node itself once its last
 * child is gone. Each step either descends to the first remaining child or
 * destroys a leaf and climbs back to its parent, which then has one child
 * fewer, so the next sibling becomes the first child. The stack stays flat
 * however deep the tree is, and the walk needs no memory of its own.
 *
 * Records outlive their node's data until the node itself goes, because
 * climbing back maps the parent GNode to its handle through its record. */
void
release_subtree (VontleNode *top)
{
  const vontle::BusyScope scope (g_node_get_root (top->node), vontle::Busy::releasing);
  VontleNode *current = top;
  release_data (current);
  for (;;)
    {
      GNode *gnode = current->node;
      if (gnode->children != nullptr)
        {
          current = record_of (gnode->children)->node;
          release_data (current);
          continue;
        }
      GNode *parent = gnode->parent;
      const bool finished = current == top;
      destroy_leaf (current);
      if (finished)
        return;
      current = record_of (parent)->node;
    }
}

} // namespace

VontleNode *
vontle_node_new (void *data)
{
  auto handle = try_new_zeroed<VontleNode> ();
  if (!handle)
    return nullptr;
  auto nodedata = try_new_zeroed<VontleNodeData> ();
  if (!nodedata)
    return nullptr;
  nodedata->node = handle.get ();
  nodedata->data = data;
  handle->node = g_node_new (nodedata.get ());
  if (handle->node == nullptr)
    return nullptr;
  /* The node's data now owns the record; the node owns the data. */
  static_cast<void> (nodedata.release ());
  return handle.release ();
}

void
vontle_node_set_free_function (VontleNode *node, VontleFreeFunction free)
{
  if (!VONTLE_CHECK (node))
    return;
  node->free = free;
}

void
vontle_node_free (VontleNode *node)
{
  if (node == nullptr || !VONTLE_CHECK (node->node))
    return;
  VontleNodeData *nodedata = record_of (node->node);
  if (!VONTLE_CHECK (nodedata) || !VONTLE_CHECK (!is_being_released (node)))
    return;
  release_subtree (node);
}

void
vontle_node_append (VontleNode *parent, VontleNode *child)
{
  if (!VONTLE_CHECK (parent && child))
    return;
  /* A child that has a parent is GLib's to refuse, with its own critical.
   * A root hung below itself or below one of its descendants would close a
   * cycle, which no walk over the tree survives. */
  if (child->node->parent == nullptr
      && !VONTLE_CHECK (child != parent && !g_node_is_ancestor (child->node, parent->node)))
    return;
  g_node_insert_before (parent->node, nullptr, child->node);
}

VontleNode *
vontle_node_append_data (VontleNode *parent, void *data)
{
  if (!VONTLE_CHECK (parent))
    return nullptr;
  VontleNode *child = vontle_node_new (data);
  if (!VONTLE_CHECK (child))
    return nullptr;
  child->free = parent->free;
  g_node_insert_before (parent->node, nullptr, child->node);
  return child;
}

VontleNode *
vontle_node_get_parent (VontleNode *node)
{
  if (!VONTLE_CHECK (node && node->node))
    return nullptr;
  GNode *parent = node->node->parent;
  if (parent == nullptr)
    return nullptr;
  VontleNodeData *nodedata = record_of (parent);
  if (!VONTLE_CHECK (nodedata))
    return nullptr;
  return nodedata->node;
}

VontleNode *
vontle_node_get_root (VontleNode *node)
{
  if (!VONTLE_CHECK (node && node->node))
    return nullptr;
  if (node->node->parent == nullptr)
    return node;
  GNode *root = g_node_get_root (node->node);
  if (!VONTLE_CHECK (root))
    return nullptr;
  VontleNodeData *nodedata = record_of (root);
  if (!VONTLE_CHECK (nodedata))
    return nullptr;
  return nodedata->node;
}

VontleList *
vontle_node_get_children (VontleNode *node)
{
  if (!VONTLE_CHECK (node))
    return nullptr;
  VontleList *list = vontle_list_new ();
  if (!VONTLE_CHECK (list))
    return nullptr;
  if (node->node == nullptr)
    return list;
  /* Gathered first so that the list grows once, not once per child. */
  g_autofree void **children = g_new (void *, g_node_n_children (node->node));
  size_t n = 0;
  for (GNode *child = node->node->children; child != nullptr; child = child->next)
    children[n++] = record_of (child)->node;
  vontle::list_append_all (list, children, n);
  return list;
}

size_t
vontle_node_get_num_children (VontleNode *node)
{
  if (!VONTLE_CHECK (node && node->node))
    return 0;
  return g_node_n_children (node->node);
}

void *
vontle_node_get_data (VontleNode *node)
{
  if (!VONTLE_CHECK (node && node->node))
    return nullptr;
  VontleNodeData *nodedata = record_of (node->node);
  if (!VONTLE_CHECK (nodedata))
    return nullptr;
  return nodedata->data;
}

void
vontle_node_set_data (VontleNode *node, void *data)
{
  if (!VONTLE_CHECK (node && node->node))
    return;
  VontleNodeData *nodedata = record_of (node->node);
  if (!VONTLE_CHECK (nodedata))
    return;
  /* The node holds its new data before the free function, host code, runs. */
  void *old = std::exchange (nodedata->data, data);
  if (node->free != nullptr)
    node->free (old);
}
