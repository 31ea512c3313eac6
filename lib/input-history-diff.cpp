/* SPDX-License-Identifier: LGPL-2.1-or-later */
/* The difference between the entries before and after a reload, as the
 * fewest insertions and removals: Myers' greedy diff, O((N+M)·D) at worst.
 * On a diagonal x only grows, so with entries that each occur once, as a
 * history keeps them, every pair of equal entries is compared once at most:
 * O(N+M+D²). */
#include "input-history-private.h"

#include <memory>

namespace vontle {

namespace {

using Index = gssize;

/* One step of the path: at (x, y), the removal of before[x] or the
 * insertion of after[y]. */
struct Step
{
  Index x;
  Index y;
  bool insertion;
};

class Diff
{
public:
  Diff (const VontleList &before, const VontleList &after, size_t head, size_t tail, Index max_d) noexcept
    : a_ (before.start + head), b_ (after.start + head), n_ (static_cast<Index> (before.size - head - tail)),
      m_ (static_cast<Index> (after.size - head - tail)), max_d_ (max_d), width_ (2 * max_d + 3),
      trace_ (g_new (Index, static_cast<size_t> ((max_d + 1) * width_)))
  {
  }

  /* The number of steps of the shortest path, or -1 beyond MAX_D. Row d of
   * the trace holds the furthest x on each diagonal after d steps. */
  Index
  run ()
  {
    for (Index d = 0; d <= max_d_; d++)
      for (Index k = -d; k <= d; k += 2)
        {
          Index x = d == 0 ? 0 : down (d, k) ? at (d - 1, k + 1) : at (d - 1, k - 1) + 1;
          Index y = x - k;
          while (x < n_ && y < m_ && same (x, y))
            x++, y++;
          at (d, k) = x;
          if (x >= n_ && y >= m_)
            return d;
        }
    return -1;
  }

  /* The D steps of the path that run () found, front to back. */
  void
  steps (Index d, Step *steps) const
  {
    Index x = n_;
    Index y = m_;
    for (Index e = d; e > 0; e--)
      {
        const Index k = x - y;
        const bool insertion = down (e, k);
        const Index from_k = insertion ? k + 1 : k - 1;
        x = at (e - 1, from_k);
        y = x - from_k;
        steps[e - 1] = { x, y, insertion };
      }
  }

private:
  /* Whether the path reaches diagonal K at step D from K + 1 (an
   * insertion) rather than from K - 1 (a removal). */
  [[nodiscard]] bool
  down (Index d, Index k) const
  {
    return k == -d || (k != d && at (d - 1, k - 1) < at (d - 1, k + 1));
  }

  [[nodiscard]] Index &at (Index d, Index k) const { return trace_[d * width_ + max_d_ + 1 + k]; }

  [[nodiscard]] bool
  same (Index x, Index y) const
  {
    return g_strcmp0 (static_cast<const char *> (a_[x]), static_cast<const char *> (b_[y])) == 0;
  }

  void *const *a_;
  void *const *b_;
  Index n_;
  Index m_;
  Index max_d_;
  Index width_;
  GMemory<Index[]> trace_;
};

bool
same_entry (const VontleList &a, size_t i, const VontleList &b, size_t j)
{
  return g_strcmp0 (static_cast<const char *> (a.start[i]), static_cast<const char *> (b.start[j])) == 0;
}

void
add_edit (GArray *edits, const EntryEdit &edit)
{
  if (edit.removed > 0 || edit.added > 0)
    g_array_append_val (edits, edit);
}

/* Adjacent steps with no common entry between them make one edit. */
void
add_steps (GArray *edits, const Step *steps, Index d, size_t head)
{
  EntryEdit edit = {};
  Index end_x = -1;
  Index end_y = -1;
  for (Index e = 0; e < d; e++)
    {
      const Step &step = steps[e];
      if (step.x != end_x || step.y != end_y)
        {
          add_edit (edits, edit);
          edit = { head + static_cast<size_t> (step.y), 0, 0, 0 };
        }
      (step.insertion ? edit.added : edit.removed)++;
      end_x = step.insertion ? step.x : step.x + 1;
      end_y = step.insertion ? step.y + 1 : step.y;
      edit.before_end = head + static_cast<size_t> (end_x);
    }
  add_edit (edits, edit);
}

} // namespace

void
diff_entries (const VontleList &before, const VontleList &after, size_t max_steps, GArray *edits)
{
  const size_t common = MIN (before.size, after.size);
  size_t head = 0;
  while (head < common && same_entry (before, head, after, head))
    head++;
  size_t tail = 0;
  while (tail < common - head && same_entry (before, before.size - 1 - tail, after, after.size - 1 - tail))
    tail++;
  const size_t removed = before.size - head - tail;
  const size_t added = after.size - head - tail;
  if (removed == 0 || added == 0 || removed + added <= 1)
    {
      add_edit (edits, { head, removed, added, before.size - tail });
      return;
    }
  Diff diff (before, after, head, tail, static_cast<Index> (max_steps));
  const Index d = diff.run ();
  if (d < 0)
    {
      /* Too different to be worth the search: one replacement. */
      add_edit (edits, { head, removed, added, before.size - tail });
      return;
    }
  const GMemory<Step[]> steps (g_new (Step, static_cast<size_t> (d)));
  diff.steps (d, steps.get ());
  add_steps (edits, steps.get (), d, head);
}

} // namespace vontle
