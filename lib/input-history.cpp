/* SPDX-License-Identifier: LGPL-2.1-or-later */
#include "vontle-private.h"

#include <utility>

/* ------------------------------------------------------ reader/writer -- */

G_DEFINE_INTERFACE (VontleInputHistoryIO, vontle_input_history_io, G_TYPE_OBJECT)

static void
vontle_input_history_io_default_init (VontleInputHistoryIOInterface *)
{
}

namespace {

/* An implementing class must fill its slots; one that does not gets a
 * critical instead of a jump through a null pointer. */
template <typename Slot>
Slot
io_slot (VontleInputHistoryIO *io, Slot VontleInputHistoryIOInterface::*slot,
         const char *function, const char *condition)
{
  if (!vontle::check (VONTLE_IS_INPUT_HISTORY_IO (io), function,
                      "VONTLE_IS_INPUT_HISTORY_IO(io) == true"))
    return nullptr;
  auto *iface = VONTLE_INPUT_HISTORY_IO_GET_IFACE (io);
  if (!vontle::check (iface != nullptr && iface->*slot != nullptr, function, condition))
    return nullptr;
  return iface->*slot;
}

} // namespace

void
vontle_input_history_io_append (VontleInputHistoryIO *io, const char *line)
{
  if (auto append = io_slot (io, &VontleInputHistoryIOInterface::append, __func__,
                             "iface != NULL && iface->append != NULL"))
    append (io, line);
}

VontleList *
vontle_input_history_io_read (VontleInputHistoryIO *io)
{
  if (auto read = io_slot (io, &VontleInputHistoryIOInterface::read, __func__,
                           "iface != NULL && iface->read != NULL"))
    return read (io);
  return nullptr;
}

/* ------------------------------------------------------------ history -- */

struct VontleInputHistoryPrivate
{
  VontleList *entries;      /* owns its strings; oldest first */
  size_t position;          /* where the walk stands; the list size is the bottom */
  size_t match_position;    /* the entry last returned, or the bottom */
  VontleInputHistoryIO *io; /* one reference, or null */
  char *saved_line;         /* the prefix of the current walk */
  bool reset_pending;       /* the next step starts a new walk */
};

G_DEFINE_TYPE_WITH_PRIVATE (VontleInputHistory, vontle_input_history, G_TYPE_OBJECT)

namespace {

enum
{
  PROP_IO = 1,
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

/* Every slot is checked, not only list and reset: a subclass that empties
 * one gets a critical rather than a jump through a null pointer. */
template <typename Slot>
Slot
history_slot (VontleInputHistory *history, Slot VontleInputHistoryClass::*slot,
              const char *function, const char *condition)
{
  if (!vontle::check (VONTLE_IS_INPUT_HISTORY (history), function,
                      "VONTLE_IS_INPUT_HISTORY(history) == true"))
    return nullptr;
  auto *klass = VONTLE_INPUT_HISTORY_GET_CLASS (history);
  if (!vontle::check (klass != nullptr && klass->*slot != nullptr, function, condition))
    return nullptr;
  return klass->*slot;
}

int
compare_strings (const void *entry, const void *line)
{
  return g_strcmp0 (static_cast<const char *> (entry), static_cast<const char *> (line));
}

/* ------------------------------------------------------------- append -- */

void
default_append (VontleInputHistory *history, const char *line)
{
  if (line == nullptr)
    return;
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
    vontle_input_history_io_append (priv->io, copy);
  vontle_input_history_reset (history);
}

VontleList *
default_list (VontleInputHistory *history)
{
  return private_of (history)->entries;
}

void
default_reset (VontleInputHistory *history)
{
  auto *priv = private_of (history);
  priv->reset_pending = true;
  if (priv->io == nullptr)
    return;
  VontleList *entries = vontle_input_history_list (history);
  if (entries == nullptr)
    return;

  vontle_list_clear (entries);
  /* The merge clears the returned list's free function, so freeing its
   * record afterwards leaves the strings to the history. */
  g_autoptr (VontleList) stored = vontle_input_history_io_read (priv->io);
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

/* What vontle_list_nth gives, without a library call per entry on the scan
 * of a long history. position can lie past the end when the list was
 * shortened through the lent list: vontle_list_nth itself then reports that
 * and yields null. */
const char *
entry_at (const VontleList *entries, size_t position)
{
  if (position < entries->size)
    return static_cast<const char *> (entries->start[position]);
  return static_cast<const char *> (vontle_list_nth (const_cast<VontleList *> (entries), position));
}

/* The step toward older entries from a position within the list, with a
 * prefix set: what the general loop below does, on locals. Nothing in it can
 * call back into the host (every entry tested is non-null, and so is the
 * prefix), so the state is written once when the step ends. */
const char *
scan_older (VontleInputHistoryPrivate *priv, const VontleList *entries, size_t n)
{
  const size_t start = priv->position;
  void *const *slots = entries->start;
  const char *prefix = priv->saved_line;
  for (size_t position = start; position-- > 0;)
    {
      const auto *entry = static_cast<const char *> (slots[position]);
      if (entry == nullptr || g_str_has_prefix (entry, prefix))
        {
          priv->position = position;
          if (entry != nullptr)
            {
              priv->reset_pending = false;
              priv->match_position = position;
            }
          return entry;
        }
    }
  /* From n the n iterations end on index 0; from below n one more iteration
   * is left, which stands at index 0 and ends the walk. */
  if (start == n)
    priv->position = 0;
  else
    {
      priv->reset_pending = false;
      priv->position = priv->match_position;
    }
  return nullptr;
}

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
  if ((priv->reset_pending || direction == Direction::older) && priv->saved_line != nullptr
      && priv->position <= n)
    return scan_older (priv, entries, n);
  for (size_t i = 0; i < n; i++)
    {
      const char *edge;
      if (!advance (priv, direction, n, &edge))
        return edge;
      const char *entry = entry_at (entries, priv->position);
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
default_next (VontleInputHistory *history, const char *line)
{
  return step (history, line, Direction::newer);
}

const char *
default_previous (VontleInputHistory *history, const char *line)
{
  return step (history, line, Direction::older);
}

/* ------------------------------------------------------------- object -- */

void
set_property (GObject *object, guint property_id, const GValue *value, GParamSpec *pspec)
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
get_property (GObject *object, guint property_id, GValue *value, GParamSpec *pspec)
{
  if (property_id != PROP_IO)
    {
      G_OBJECT_WARN_INVALID_PROPERTY_ID (object, property_id, pspec);
      return;
    }
  g_value_set_object (value, private_of (VONTLE_INPUT_HISTORY (object))->io);
}

void
dispose (GObject *object)
{
  /* The entries stay: a disposed history goes on working in memory. */
  g_clear_object (&private_of (VONTLE_INPUT_HISTORY (object))->io);
  G_OBJECT_CLASS (vontle_input_history_parent_class)->dispose (object);
}

void
finalize (GObject *object)
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
  object_class->set_property = set_property;
  object_class->get_property = get_property;
  object_class->dispose = dispose;
  object_class->finalize = finalize;

  klass->append = default_append;
  klass->list = default_list;
  klass->next = default_next;
  klass->previous = default_previous;
  klass->reset = default_reset;

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
  priv->io = nullptr;
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
  if (auto append = history_slot (history, &VontleInputHistoryClass::append, __func__,
                                  "klass != NULL && klass->append != NULL"))
    append (history, line);
}

VontleList *
vontle_input_history_list (VontleInputHistory *history)
{
  if (auto list = history_slot (history, &VontleInputHistoryClass::list, __func__,
                                "klass != NULL && klass->list != NULL"))
    return list (history);
  return nullptr;
}

const char *
vontle_input_history_next (VontleInputHistory *history, const char *line)
{
  if (auto next = history_slot (history, &VontleInputHistoryClass::next, __func__,
                                "klass != NULL && klass->next != NULL"))
    return next (history, line);
  return nullptr;
}

const char *
vontle_input_history_previous (VontleInputHistory *history, const char *line)
{
  if (auto previous = history_slot (history, &VontleInputHistoryClass::previous, __func__,
                                    "klass != NULL && klass->previous != NULL"))
    return previous (history, line);
  return nullptr;
}

void
vontle_input_history_reset (VontleInputHistory *history)
{
  if (auto reset = history_slot (history, &VontleInputHistoryClass::reset, __func__,
                                 "klass != NULL && klass->reset != NULL"))
    reset (history);
}
