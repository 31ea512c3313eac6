/* SPDX-License-Identifier: LGPL-2.1-or-later */
#include "vontle-private.h"

#include <algorithm>
#include <utility>

/* ------------------------------------------------------ reader/writer -- */

G_DEFINE_INTERFACE (VontleInputHistoryIO, vontle_input_history_io, G_TYPE_OBJECT)

static void
vontle_input_history_io_default_init (VontleInputHistoryIOInterface * /*iface*/)
{
}

namespace {

constexpr const char is_io_text[] = "VONTLE_IS_INPUT_HISTORY_IO(io) == true";
constexpr const char is_history_text[] = "VONTLE_IS_INPUT_HISTORY(history) == true";

} // namespace

void
vontle_input_history_io_append (VontleInputHistoryIO *io, const char *line)
{
  if (auto append = vontle::slot_of (io, VONTLE_TYPE_INPUT_HISTORY_IO,
                                    &VontleInputHistoryIOInterface::append, __func__, is_io_text,
                                    "iface != NULL && iface->append != NULL"))
    append (io, line);
}

VontleList *
vontle_input_history_io_read (VontleInputHistoryIO *io)
{
  if (auto read = vontle::slot_of (io, VONTLE_TYPE_INPUT_HISTORY_IO,
                                  &VontleInputHistoryIOInterface::read, __func__, is_io_text,
                                  "iface != NULL && iface->read != NULL"))
    return read (io);
  return nullptr;
}

/* ------------------------------------------------------------ history -- */

/* The walk, as the steps keep it. n is the size of the entry list when a
 * step runs; index n is the bottom, just past the newest entry.
 *  - position: where the walk stands, 0..n; the next step moves from here.
 *    It may lie past the end when the list was shortened through the lent
 *    list, which the next step reports.
 *  - match_position: the entry the walk last returned, or n when it stands at
 *    the bottom (a new walk, or a step past the newest entry). A walk whose
 *    match_position is n begins anew on the next step.
 *  - saved_line: what was typed when the walk began, the prefix every entry
 *    is tested against and what a step past the newest entry returns; null
 *    only before the first step (or when the host passed null).
 *  - reset_pending: set at creation and by every reset; the next step begins
 *    a new walk from the bottom and goes toward older entries whichever way it
 *    was asked. A match, or reaching the oldest entry, clears it. */
struct VontleInputHistoryPrivate
{
  VontleList *entries;      /* owns its strings; oldest first */
  size_t position;
  size_t match_position;
  VontleInputHistoryIO *io; /* one reference, or null */
  char *saved_line;
  /* Counts the reloads begun, so that a reload can tell that the reader/writer
   * ran another one (appended to this history, say) while it read. */
  guint64 reload_generation;
  bool reset_pending;
};

G_DEFINE_TYPE_WITH_PRIVATE (VontleInputHistory, vontle_input_history, G_TYPE_OBJECT)

namespace {

enum
{
  PROP_0,
  PROP_IO,
};

enum class Direction
{
  newer,
  older,
};

VontleInputHistoryPrivate *
private_of (VontleInputHistory *history)
{
  return static_cast<VontleInputHistoryPrivate *> (vontle_input_history_get_instance_private (history));
}

int
compare_strings (const void *entry, const void *line)
{
  return g_strcmp0 (static_cast<const char *> (entry), static_cast<const char *> (line));
}

/* ------------------------------------------------------------- append -- */

/* The reader/writer is host code: its append may append to this history
 * again (which may remove the entry that LINE is), replace the history's
 * reader/writer, or drop the last reference to either object. It gets a
 * line of its own and stays alive for the call; the history is held by the
 * append that calls this. */
void
hand_to_io (VontleInputHistoryIO *io, const char *line)
{
  const vontle::Hold held_io (io);
  g_autofree char *lent = g_strdup (line);
  vontle_input_history_io_append (io, lent);
}

void
vontle_input_history_real_append (VontleInputHistory *history, const char *line)
{
  if (line == nullptr)
    return;
  /* Held to the end, the reset included: the reader/writer's append may drop
   * the last reference to the history. */
  const vontle::Hold held (history);
  VontleList *entries = vontle_input_history_list (history);
  if (entries == nullptr)
    return;

  /* line may be one of the entries about to be removed (a string that a
   * step lent out), so the copy comes first and serves from here on. */
  char *copy = g_strdup (line);
  while (void *equal = vontle_list_find (entries, compare_strings, copy))
    vontle_list_remove (entries, equal);
  vontle_list_append (entries, copy);

  auto *priv = private_of (history);
  if (priv->io != nullptr)
    hand_to_io (priv->io, copy);
  vontle_input_history_reset (history);
}

VontleList *
vontle_input_history_real_list (VontleInputHistory *history)
{
  return private_of (history)->entries;
}

/* The read reset this history itself (its own append to the history does)
 * and so refilled the list meanwhile. With the same reader/writer this read
 * ended last and is the newer: its lines replace the inner ones, instead of
 * being merged a second time after them. A read of a reader/writer that was
 * replaced meanwhile is stale: the new one's lines stay. Returns whether this
 * read's lines are to be merged (the list is then empty again). */
bool
take_newer_read (VontleInputHistoryPrivate *priv, VontleList *entries, GObject *io)
{
  if (priv->io != reinterpret_cast<VontleInputHistoryIO *> (io))
    return false;
  vontle_list_clear (entries);
  return true;
}

void
vontle_input_history_real_reset (VontleInputHistory *history)
{
  auto *priv = private_of (history);
  priv->reset_pending = true;
  if (priv->io == nullptr)
    return;
  VontleList *entries = vontle_input_history_list (history);
  if (entries == nullptr)
    return;

  /* The read is host code and may drop the last reference to either object. */
  const vontle::Hold held_history (history);
  g_autoptr (GObject) io = G_OBJECT (g_object_ref (priv->io));
  vontle_list_clear (entries);
  const guint64 generation = ++priv->reload_generation;
  /* The merge clears the returned list's free function, so freeing its
   * record afterwards leaves the strings to the history. */
  g_autoptr (VontleList) stored = vontle_input_history_io_read (VONTLE_INPUT_HISTORY_IO (io));
  if (priv->reload_generation != generation && !take_newer_read (priv, entries, io))
    return;
  if (stored != nullptr)
    vontle_list_merge (entries, stored);
}

/* --------------------------------------------------------- navigation -- */

/* A walk begins after a reset and whenever it stands at the bottom; on an
 * entry the prefix typed when the walk began is kept. */
void
begin_walk_if_due (VontleInputHistoryPrivate *priv, const char *line, size_t n)
{
  if (priv->reset_pending)
    priv->position = priv->match_position = n;
  else if (priv->match_position != n)
    return;
  /* The host may hand the saved line itself back as line: copy it before
   * the old one is released. */
  g_free (std::exchange (priv->saved_line, g_strdup (line)));
}

/* Moves the walk one index. Returns false when the walk ends at an edge
 * instead, with *edge set to what the step then returns. A pending reset
 * sends even a step toward newer entries toward older ones. */
bool
advance (VontleInputHistoryPrivate *priv, Direction direction, size_t n, const char **edge)
{
  if (priv->reset_pending || direction == Direction::older)
    {
      if (priv->position == 0)
        {
          priv->reset_pending = false;
          priv->position = priv->match_position;
          *edge = nullptr;
          return false;
        }
      priv->position--;
      return true;
    }
  if (priv->position + 1 >= n)
    {
      priv->position = priv->match_position = n;
      *edge = priv->saved_line;
      return false;
    }
  priv->position++;
  return true;
}

/* How many of the COUNT entries after index FROM, going by DELTA (+1 or -1),
 * are non-null and do not start with PREFIX, before the first that is null
 * or does. Reads the array and calls nothing but the prefix test. */
size_t
count_mismatches (void *const *slots, size_t from, size_t count, ptrdiff_t delta, const char *prefix)
{
  void *const *const start = slots + from;
  void *const *const end = start + delta * static_cast<ptrdiff_t> (count);
  for (void *const *slot = start; slot != end;)
    {
      slot += delta;
      const auto *entry = static_cast<const char *> (*slot);
      if (entry == nullptr || g_str_has_prefix (entry, prefix))
        return static_cast<size_t> ((slot - start) * delta) - 1;
    }
  return count;
}

/* Passes, in one stretch, the entries that the next at most BUDGET moves of
 * the walk would test and reject, and returns how many. Only moves that stay
 * inside the array, short of an edge, with a prefix set, are taken: no test
 * among them can report and so reach the host through a log handler. */
size_t
pass_mismatches (VontleInputHistoryPrivate *priv, const VontleList *entries, Direction direction,
                 size_t n, size_t budget)
{
  if (priv->saved_line == nullptr)
    return 0;
  const bool older = priv->reset_pending || direction == Direction::older;
  const size_t position = priv->position;
  size_t room;
  if (older)
    room = position <= entries->size ? position : 0;
  else
    {
      const size_t end = std::min (n, entries->size);
      room = position + 1 < end ? end - 1 - position : 0;
    }
  const size_t passed = count_mismatches (entries->start, position, std::min (room, budget),
                                          older ? -1 : 1, priv->saved_line);
  priv->position = older ? position - passed : position + passed;
  return passed;
}

/* One step: from where the walk stands, one index at a time toward older
 * (or newer) entries, at most n moves, until an entry starts with the saved
 * line or the walk reaches an edge. Runs of rejected entries are passed in a
 * stretch; the edges, the entry that ends a stretch and every test that may
 * report go one move at a time. */
const char *
step (VontleInputHistory *history, const char *line, Direction direction)
{
  VontleList *entries = vontle_input_history_list (history);
  if (entries == nullptr)
    return nullptr;
  const size_t n = vontle_list_size (entries);
  if (n == 0)
    return nullptr;

  auto *priv = private_of (history);
  begin_walk_if_due (priv, line, n);
  size_t moves = 0;
  while (moves < n)
    {
      moves += pass_mismatches (priv, entries, direction, n, n - moves);
      if (moves == n)
        break;
      moves++;
      const char *edge;
      if (!advance (priv, direction, n, &edge))
        return edge;
      /* vontle_list_nth reports an index past the end of a list shortened
       * through the lent list, and yields null. */
      const auto *entry = static_cast<const char *> (vontle_list_nth (entries, priv->position));
      if (entry == nullptr)
        return nullptr;
      if (g_str_has_prefix (entry, priv->saved_line))
        {
          priv->reset_pending = false;
          priv->match_position = priv->position;
          return entry;
        }
    }
  return nullptr;
}

const char *
vontle_input_history_real_next (VontleInputHistory *history, const char *line)
{
  return step (history, line, Direction::newer);
}

const char *
vontle_input_history_real_previous (VontleInputHistory *history, const char *line)
{
  return step (history, line, Direction::older);
}

/* ------------------------------------------------------------- object -- */

void
vontle_input_history_set_property (GObject *object, guint property_id, const GValue *value, GParamSpec *pspec)
{
  if (property_id != PROP_IO)
    {
      G_OBJECT_WARN_INVALID_PROPERTY_ID (object, property_id, pspec);
      return;
    }
  auto *history = VONTLE_INPUT_HISTORY (object);
  auto *priv = private_of (history);
  g_clear_object (&priv->io);
  priv->io = static_cast<VontleInputHistoryIO *> (g_value_dup_object (value));
  vontle_input_history_reset (history);
}

void
vontle_input_history_get_property (GObject *object, guint property_id, GValue *value, GParamSpec *pspec)
{
  if (property_id != PROP_IO)
    {
      G_OBJECT_WARN_INVALID_PROPERTY_ID (object, property_id, pspec);
      return;
    }
  g_value_set_object (value, private_of (VONTLE_INPUT_HISTORY (object))->io);
}

void
vontle_input_history_dispose (GObject *object)
{
  /* The entries stay: a disposed history goes on working in memory. */
  g_clear_object (&private_of (VONTLE_INPUT_HISTORY (object))->io);
  G_OBJECT_CLASS (vontle_input_history_parent_class)->dispose (object);
}

void
vontle_input_history_finalize (GObject *object)
{
  auto *priv = private_of (VONTLE_INPUT_HISTORY (object));
  g_clear_pointer (&priv->entries, vontle_list_free);
  g_clear_pointer (&priv->saved_line, g_free);
  G_OBJECT_CLASS (vontle_input_history_parent_class)->finalize (object);
}

} // namespace

static void
vontle_input_history_class_init (VontleInputHistoryClass *klass)
{
  auto *object_class = G_OBJECT_CLASS (klass);
  object_class->set_property = vontle_input_history_set_property;
  object_class->get_property = vontle_input_history_get_property;
  object_class->dispose = vontle_input_history_dispose;
  object_class->finalize = vontle_input_history_finalize;

  klass->append = vontle_input_history_real_append;
  klass->list = vontle_input_history_real_list;
  klass->next = vontle_input_history_real_next;
  klass->previous = vontle_input_history_real_previous;
  klass->reset = vontle_input_history_real_reset;

  g_object_class_install_property (
    object_class, PROP_IO,
    g_param_spec_object ("io", "history reader/writer",
                         "VontleInputHistoryIO object used to read and write history",
                         VONTLE_TYPE_INPUT_HISTORY_IO,
                         static_cast<GParamFlags> (G_PARAM_READWRITE | G_PARAM_CONSTRUCT
                                                   | G_PARAM_STATIC_STRINGS)));
}

static void
vontle_input_history_init (VontleInputHistory *history)
{
  auto *priv = private_of (history);
  priv->entries = vontle_list_new_with_free (g_free);
  priv->reset_pending = true;
}

VontleInputHistory *
vontle_input_history_new (VontleInputHistoryIO *io)
{
  return static_cast<VontleInputHistory *> (
    g_object_new (VONTLE_TYPE_INPUT_HISTORY, "io", io, nullptr));
}

void
vontle_input_history_append (VontleInputHistory *history, const char *line)
{
  if (auto append = vontle::slot_of (history, VONTLE_TYPE_INPUT_HISTORY,
                                    &VontleInputHistoryClass::append, __func__, is_history_text,
                                    "klass != NULL && klass->append != NULL"))
    append (history, line);
}

VontleList *
vontle_input_history_list (VontleInputHistory *history)
{
  if (auto list = vontle::slot_of (history, VONTLE_TYPE_INPUT_HISTORY,
                                    &VontleInputHistoryClass::list, __func__, is_history_text,
                                    "klass != NULL && klass->list != NULL"))
    return list (history);
  return nullptr;
}

const char *
vontle_input_history_next (VontleInputHistory *history, const char *line)
{
  if (auto next = vontle::slot_of (history, VONTLE_TYPE_INPUT_HISTORY,
                                    &VontleInputHistoryClass::next, __func__, is_history_text,
                                    "klass != NULL && klass->next != NULL"))
    return next (history, line);
  return nullptr;
}

const char *
vontle_input_history_previous (VontleInputHistory *history, const char *line)
{
  if (auto previous = vontle::slot_of (history, VONTLE_TYPE_INPUT_HISTORY,
                                    &VontleInputHistoryClass::previous, __func__, is_history_text,
                                    "klass != NULL && klass->previous != NULL"))
    return previous (history, line);
  return nullptr;
}

void
vontle_input_history_reset (VontleInputHistory *history)
{
  if (auto reset = vontle::slot_of (history, VONTLE_TYPE_INPUT_HISTORY,
                                    &VontleInputHistoryClass::reset, __func__, is_history_text,
                                    "klass != NULL && klass->reset != NULL"))
    reset (history);
}

char **
vontle_input_history_dup_lines (VontleInputHistory *history)
{
  if (!vontle::check (VONTLE_IS_INPUT_HISTORY (history), __func__, is_history_text))
    return nullptr;
  return vontle::dup_strings (vontle_input_history_list (history));
}
