/* SPDX-License-Identifier: LGPL-2.1-or-later */
#include "input-history-private.h"

#include <algorithm>
#include <utility>

/* ------------------------------------------------------ reader/writer -- */

G_DEFINE_INTERFACE (VontleInputHistoryIO, vontle_input_history_io, G_TYPE_OBJECT)

static void
vontle_input_history_io_default_init (VontleInputHistoryIOInterface * /*iface*/)
{
  /* Nothing to declare: notices of storage that changed elsewhere come
   * through the optional VontleInputHistoryLiveIO. */
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

G_DEFINE_TYPE_WITH_PRIVATE (VontleInputHistory, vontle_input_history, G_TYPE_OBJECT)

namespace {

enum
{
  PROP_0,
  PROP_IO,
};

VontleInputHistoryPrivate *
private_of (VontleInputHistory *history)
{
  return static_cast<VontleInputHistoryPrivate *> (vontle_input_history_get_instance_private (history));
}

} // namespace

VontleInputHistoryPrivate *
vontle::input_history_private (VontleInputHistory *history)
{
  return private_of (history);
}

bool
vontle::input_history_reported_entry (VontleInputHistory *history, size_t index, const char **text)
{
  const auto *priv = private_of (history);
  const VontleList *list = priv->view_before;
  if (list != nullptr && index >= priv->view_boundary)
    index = index - priv->view_boundary + priv->view_resume;
  else
    list = vontle_input_history_list (history);
  if (list == nullptr || index >= list->size)
    return false;
  *text = static_cast<const char *> (list->start[index]);
  return true;
}

namespace {

int
compare_strings (const void *entry, const void *line)
{
  return g_strcmp0 (static_cast<const char *> (entry), static_cast<const char *> (line));
}

/* ----------------------------------------------------- change reports -- */

guint entries_changed_signal;

/* A reload empties the list before its read and reports the difference
 * once the read is merged. When something inside the read changes the list
 * first, listeners learn of the emptying before that change. */
void
report_unreported_reload (VontleInputHistory *history)
{
  auto *priv = private_of (history);
  if (priv->unreported_reload == 0)
    return;
  priv->unreported_reload = 0;
  priv->view_before = nullptr;
  const size_t removed = std::exchange (priv->unreported_size, 0);
  if (removed > 0)
    g_signal_emit (history, entries_changed_signal, 0, 0U, static_cast<guint> (removed), 0U);
}

void
report_change (VontleInputHistory *history, size_t position, size_t removed, size_t added)
{
  report_unreported_reload (history);
  if (removed > 0 || added > 0)
    g_signal_emit (history, entries_changed_signal, 0, static_cast<guint> (position),
                   static_cast<guint> (removed), static_cast<guint> (added));
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
  /* Held to the end, the reset included: the reader/writer's append, and
   * handlers of the change reports, may drop the last reference to the
   * history. */
  const vontle::Hold held (history);
  VontleList *entries = vontle_input_history_list (history);
  if (entries == nullptr)
    return;

  /* line may be one of the entries about to be removed (a string that a
   * step lent out), so the copy comes first and serves from here on. */
  g_autofree char *text = g_strdup (line);
  while (void *equal = vontle_list_find (entries, compare_strings, text))
    {
      const auto position = static_cast<size_t> (vontle_list_position (entries, equal));
      vontle_list_remove (entries, equal);
      report_change (history, position, 1, 0);
    }
  vontle_list_append (entries, g_strdup (text));
  report_change (history, vontle_list_size (entries) - 1, 0, 1);

  auto *priv = private_of (history);
  if (priv->io != nullptr)
    hand_to_io (priv->io, text);
  vontle_input_history_reset (history);
}

VontleList *
vontle_input_history_real_list (VontleInputHistory *history)
{
  return private_of (history)->entries;
}

/* The list's strings, taken out while a reload reads (the read sees an
 * empty list) and released afterwards with the list's own free function: the
 * reload compares them with what it read, to report only the difference. */
class TakenEntries
{
public:
  explicit TakenEntries (VontleList *entries) noexcept
    : taken_ { std::exchange (entries->start, nullptr), std::exchange (entries->size, 0), entries->free,
               nullptr }
  {
  }
  TakenEntries (const TakenEntries &) = delete;
  TakenEntries &operator= (const TakenEntries &) = delete;
  ~TakenEntries () { vontle_list_clear (&taken_); }

  [[nodiscard]] const VontleList &list () const { return taken_; }

private:
  VontleList taken_;
};

/* Beyond this many insertions and removals a reload is reported as one
 * replacement: the search costs up to (N + M) comparisons per step. */
constexpr size_t max_reload_steps = 64;

/* Reports a reload as the insertions and removals between the entries
 * before and after, front to back, so that an entry present in both keeps
 * its place (and a model its item): an append that another process made is
 * one insertion at the end, and at the cap one removal at the start besides.
 * Nobody listening, nothing is compared. */
void
report_reload (VontleInputHistory *history, const VontleList &before, const VontleList &after)
{
  if (!g_signal_has_handler_pending (history, entries_changed_signal, 0, FALSE))
    return;
  auto *priv = private_of (history);
  g_autoptr (GArray) edits = g_array_new (FALSE, FALSE, sizeof (vontle::EntryEdit));
  vontle::diff_entries (before, after, max_reload_steps, edits);
  const guint64 generation = priv->reload_generation;
  for (guint i = 0; i < edits->len; i++)
    {
      const auto &edit = g_array_index (edits, vontle::EntryEdit, i);
      priv->view_before = &before;
      priv->view_boundary = edit.position + edit.added;
      priv->view_resume = edit.before_end;
      report_change (history, edit.position, edit.removed, edit.added);
      /* A handler reset the history: what remains no longer applies, and
       * that reset reported its own changes. */
      if (priv->reload_generation != generation)
        break;
    }
}

/* Ends the view of a reload, however the reset ends. */
class ReloadView
{
public:
  ReloadView (VontleInputHistoryPrivate *priv, const VontleList *before) noexcept : priv_ (priv)
  {
    priv_->view_before = before;
    priv_->view_boundary = priv_->view_resume = 0;
  }
  ReloadView (const ReloadView &) = delete;
  ReloadView &operator= (const ReloadView &) = delete;
  ~ReloadView () { priv_->view_before = nullptr; }

private:
  VontleInputHistoryPrivate *priv_;
};

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

void cancel_deferred_reload (VontleInputHistoryPrivate *priv);

void
vontle_input_history_real_reset (VontleInputHistory *history)
{
  auto *priv = private_of (history);
  priv->reset_pending = true;
  cancel_deferred_reload (priv);
  if (priv->io == nullptr)
    return;
  VontleList *entries = vontle_input_history_list (history);
  if (entries == nullptr)
    return;

  /* The read is host code and may drop the last reference to either object. */
  const vontle::Hold held_history (history);
  g_autoptr (GObject) io = G_OBJECT (g_object_ref (priv->io));
  /* Inside another reload's read: that one's emptying is reported first. */
  report_unreported_reload (history);
  const TakenEntries before (entries);
  /* Until the reload is reported, the history answers as it was. */
  const ReloadView view (priv, &before.list ());
  const guint64 generation = ++priv->reload_generation;
  priv->unreported_reload = generation;
  priv->unreported_size = before.list ().size;
  /* The merge clears the returned list's free function, so freeing its
   * record afterwards leaves the strings to the history. */
  g_autoptr (VontleList) stored = vontle_input_history_io_read (VONTLE_INPUT_HISTORY_IO (io));
  const bool emptying_reported = priv->unreported_reload != generation;
  if (!emptying_reported)
    priv->unreported_reload = priv->unreported_size = 0;
  /* What the list holds now was reported by whatever put it there. */
  const size_t inner = vontle_list_size (entries);
  if (priv->reload_generation != generation && !take_newer_read (priv, entries, io))
    return;
  if (stored != nullptr)
    vontle_list_merge (entries, stored);
  if (!emptying_reported)
    report_reload (history, before.list (), *entries);
  else if (priv->reload_generation != generation)
    report_change (history, 0, inner, vontle_list_size (entries));
  else
    report_change (history, inner, 0, vontle_list_size (entries) - inner);
}

/* ------------------------------------------- storage changed elsewhere -- */

/* A walk that rests on an entry this long is taken as left alone. */
constexpr gint64 abandoned_walk_usec = gint64 { 5 } * G_USEC_PER_SEC;
constexpr guint deferred_check_msec = 500;

/* A reload now would move the entries under the walk: it goes on over the
 * entries it started with. */
bool
walk_in_progress (const VontleInputHistoryPrivate *priv)
{
  return !priv->reset_pending && priv->on_entry
         && g_get_monotonic_time () - priv->last_step_time < abandoned_walk_usec;
}

void
cancel_deferred_reload (VontleInputHistoryPrivate *priv)
{
  if (priv->deferred_reload == nullptr)
    return;
  g_source_destroy (priv->deferred_reload);
  g_clear_pointer (&priv->deferred_reload, g_source_unref);
}

} // namespace

bool
vontle::input_history_has_default_entries (VontleInputHistory *history)
{
  auto *klass = VONTLE_INPUT_HISTORY_GET_CLASS (history);
  return klass->reset == vontle_input_history_real_reset && klass->list == vontle_input_history_real_list;
}

namespace {

/* Reloads for a change made elsewhere. A walk that rests on an entry goes
 * on from that entry, now at its new place, with the line typed when it
 * began: the next step toward older entries gives the next older match, and
 * the steps toward newer ones pass the new lines on the way back to the
 * typed line. An entry that left the history ends the walk. */
void
reload_keeping_walk (VontleInputHistory *history)
{
  auto *priv = private_of (history);
  VontleList *entries = vontle_input_history_list (history);
  const bool resting = !priv->reset_pending && priv->on_entry && entries != nullptr
                       && priv->match_position < vontle_list_size (entries);
  g_autofree char *standing = resting ? g_strdup (static_cast<const char *> (entries->start[priv->match_position]))
                                      : nullptr;
  if (vontle::input_history_catch_up (history))
    {
      /* As a reset leaves it: a new walk is due. */
      priv->reset_pending = true;
      cancel_deferred_reload (priv);
    }
  else
    vontle_input_history_reset (history);
  entries = vontle_input_history_list (history);
  if (standing == nullptr || entries == nullptr)
    return;
  if (const gssize at = vontle::input_history_find_newest (entries, standing); at >= 0)
    {
      priv->position = priv->match_position = static_cast<size_t> (at);
      priv->reset_pending = false;
    }
}

gboolean
deferred_reload_due (gpointer user_data)
{
  auto *history = VONTLE_INPUT_HISTORY (user_data);
  auto *priv = private_of (history);
  if (walk_in_progress (priv))
    return G_SOURCE_CONTINUE;
  cancel_deferred_reload (priv);
  reload_keeping_walk (history);
  return G_SOURCE_REMOVE;
}

/* Runs in the main context in which the reader/writer reports (the file
 * store's: the thread-default one of the thread that made it). */
void
on_storage_changed (VontleInputHistoryIO * /*io*/, gpointer user_data)
{
  auto *history = VONTLE_INPUT_HISTORY (user_data);
  auto *priv = private_of (history);
  if (!walk_in_progress (priv))
    {
      reload_keeping_walk (history);
      return;
    }
  if (priv->deferred_reload != nullptr)
    return;
  /* Checked again until the walk ends; any reset in between cancels it. */
  g_autoptr (GMainContext) context = g_main_context_ref_thread_default ();
  priv->deferred_reload = g_timeout_source_new (deferred_check_msec);
  g_source_set_callback (priv->deferred_reload, deferred_reload_due, history, nullptr);
  g_source_attach (priv->deferred_reload, context);
}

void
forget_io (VontleInputHistory *history)
{
  auto *priv = private_of (history);
  if (VONTLE_IS_INPUT_HISTORY_LIVE_IO (priv->io))
    g_signal_handlers_disconnect_by_func (priv->io, reinterpret_cast<gpointer> (on_storage_changed), history);
  g_clear_object (&priv->io);
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
  forget_io (history);
  priv->io = static_cast<VontleInputHistoryIO *> (g_value_dup_object (value));
  if (VONTLE_IS_INPUT_HISTORY_LIVE_IO (priv->io))
    g_signal_connect (priv->io, "storage-changed", G_CALLBACK (on_storage_changed), history);
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
  cancel_deferred_reload (private_of (VONTLE_INPUT_HISTORY (object)));
  forget_io (VONTLE_INPUT_HISTORY (object));
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

  entries_changed_signal = g_signal_new ("entries-changed", G_TYPE_FROM_CLASS (klass), G_SIGNAL_RUN_LAST,
                                         0, nullptr, nullptr, nullptr, G_TYPE_NONE, 3, G_TYPE_UINT,
                                         G_TYPE_UINT, G_TYPE_UINT);
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

void
vontle_input_history_entries_changed (VontleInputHistory *history, guint position, guint removed,
                                      guint added)
{
  if (!vontle::check (VONTLE_IS_INPUT_HISTORY (history), __func__, is_history_text))
    return;
  report_change (history, position, removed, added);
}
