/* SPDX-License-Identifier: LGPL-2.1-or-later */
/* Host code that the library calls (signal handlers, GLib log handlers,
 * reader/writers, free functions, comparators) and that drops the last
 * reference, changes what is being worked on or calls back into the same
 * object. Each case here crashed, read freed memory or corrupted a structure
 * before; under AddressSanitizer each would be reported again. */
#include "vontle-test.h"

#include <vontle/vontle.h>

#include <functional>
#include <string>
#include <vector>

using ::testing::ElementsAre;

namespace {

/* ------------------------------------------------- a scriptable store -- */

struct HookStore
{
  GObject parent_instance;
  std::vector<std::string> *lines;
  std::function<void ()> *on_read;
  std::function<void (const char *)> *on_append;
};

struct HookStoreClass
{
  GObjectClass parent_class;
};

void hook_store_io_init (VontleInputHistoryIOInterface *iface);

G_DEFINE_TYPE_WITH_CODE (HookStore, hook_store, G_TYPE_OBJECT,
                         G_IMPLEMENT_INTERFACE (VONTLE_TYPE_INPUT_HISTORY_IO, hook_store_io_init))

void
hook_store_append (VontleInputHistoryIO *io, const char *line)
{
  auto *self = reinterpret_cast<HookStore *> (io);
  self->lines->emplace_back (line);
  if (*self->on_append)
    (*self->on_append) (line);
}

VontleList *
hook_store_read (VontleInputHistoryIO *io)
{
  auto *self = reinterpret_cast<HookStore *> (io);
  if (*self->on_read)
    (*self->on_read) ();
  VontleList *list = vontle_list_new_with_free (g_free);
  for (const auto &line : *self->lines)
    vontle_list_append (list, g_strdup (line.c_str ()));
  return list;
}

void
hook_store_io_init (VontleInputHistoryIOInterface *iface)
{
  iface->append = hook_store_append;
  iface->read = hook_store_read;
}

static void
hook_store_init (HookStore *self)
{
  self->lines = new std::vector<std::string> ();
  self->on_read = new std::function<void ()> ();
  self->on_append = new std::function<void (const char *)> ();
}

void
hook_store_finalize (GObject *object)
{
  auto *self = reinterpret_cast<HookStore *> (object);
  delete self->lines;
  delete self->on_read;
  delete self->on_append;
  G_OBJECT_CLASS (g_type_class_peek_parent (G_OBJECT_GET_CLASS (object)))->finalize (object);
}

static void
hook_store_class_init (HookStoreClass *klass)
{
  G_OBJECT_CLASS (klass)->finalize = hook_store_finalize;
}


HookStore *
new_store (std::vector<std::string> lines)
{
  auto *store = static_cast<HookStore *> (g_object_new (hook_store_get_type (), nullptr));
  *store->lines = std::move (lines);
  return store;
}

std::vector<std::string>
entries_of (VontleInputHistory *history)
{
  std::vector<std::string> entries;
  VontleList *list = vontle_input_history_list (history);
  for (size_t i = 0; i < list->size; i++)
    entries.emplace_back (static_cast<const char *> (list->start[i]));
  return entries;
}

/* A template subclass that does no scan: it stays ready whatever its base
 * refers to, so an evaluation meets references without a variable. */
struct BlindTemplate
{
  VontleTemplate parent_instance;
};
struct BlindTemplateClass
{
  VontleTemplateClass parent_class;
};
G_DEFINE_TYPE (BlindTemplate, blind_template, VONTLE_TYPE_TEMPLATE)
static void blind_template_class_init (BlindTemplateClass *klass)
{
  VONTLE_TEMPLATE_CLASS (klass)->base_changed = [] (VontleTemplate *) {};
}
static void blind_template_init (BlindTemplate *) {}

/* Runs ACTION from a GLib log handler for the criticals of the NULL domain,
 * as Python's GLib.log_set_handler does; counts the calls. */
class CriticalHook
{
public:
  explicit CriticalHook (std::function<void ()> action) : action_ (std::move (action))
  {
    id_ = g_log_set_handler (nullptr, G_LOG_LEVEL_CRITICAL, handle, this);
  }
  ~CriticalHook () { g_log_remove_handler (nullptr, id_); }
  int calls = 0;

private:
  static void handle (const char *, GLogLevelFlags, const char *, gpointer data)
  {
    auto *self = static_cast<CriticalHook *> (data);
    self->calls++;
    self->action_ ();
  }
  std::function<void ()> action_;
  guint id_;
};

class CallbackTest : public vontle_test::GLibLogTest
{
protected:
  /* Only refused appends were reported, and LIST holds 1, 2, 3 in order. */
  void ExpectAppendsRefusedAndInOrder (const VontleList *list)
  {
    const auto messages = TakeMessages ();
    ASSERT_FALSE (messages.empty ());
    for (const auto &message : messages)
      EXPECT_EQ (message.message, vontle_test::AssertionText ("vontle_list_append", "!vontle::list_is_sorting (list)"));
    ASSERT_EQ (list->size, 3u);
    for (int i = 0; i < 3; i++)
      EXPECT_EQ (GPOINTER_TO_INT (list->start[i]), i + 1);
  }
};

/* ---------------------------------------------------------- templates -- */

void
unref_template (VontleTemplate *object)
{
  g_object_unref (object);
}

/* The reproducer: a handler of the first signal releases the template; the
 * second emission still runs on a live object, which goes after it. */
TEST_F (CallbackTest, HandlerDroppingTheLastReferenceEndsTheSequenceSafely)
{
  const std::vector<std::pair<const char *, std::function<void (VontleTemplate *)>>> cases = {
    { "variable-changed", [] (VontleTemplate *t) { vontle_template_add_variable (t, "a"); } },
    { "variable-changed", [] (VontleTemplate *t) {
        vontle_template_set_variable_value (t, "b", "value"); } },
    { "base-changed", [] (VontleTemplate *t) { vontle_template_set_base (t, "@b@ again"); } },
  };
  for (const auto &[signal, change] : cases)
    {
      VontleTemplate *object = vontle_template_new ("@b@");
      vontle_template_add_variable (object, "b");
      int changed = 0;
      g_signal_connect_swapped (object, signal, G_CALLBACK (unref_template), object);
      g_signal_connect_swapped (object, "changed", G_CALLBACK (+[] (int *n) { ++*n; }), &changed);
      GWeakRef weak;
      g_weak_ref_init (&weak, object);
      change (object);
      EXPECT_EQ (changed, 1) << signal;
      EXPECT_EQ (g_weak_ref_get (&weak), nullptr) << signal;
      g_weak_ref_clear (&weak);
    }
}

/* A log handler replaces the base while the evaluation walks it: the walk
 * finishes on the base it began with. */
TEST_F (CallbackTest, LogHandlerReplacingTheBaseDuringEvaluation)
{
  auto *object = static_cast<VontleTemplate *> (g_object_new (blind_template_get_type (), nullptr));
  const std::string tail (100000, 'x');
  vontle_template_set_base (object, ("@missing@" + tail + "@also@").c_str ());
  CriticalHook hook ([object] { vontle_template_set_base (object, "abcd"); });
  char *text = vontle_template_evaluate (object);
  EXPECT_EQ (hook.calls, 1);
  EXPECT_EQ (vontle_test::take (text), tail + "@also@");
  EXPECT_STREQ (vontle_template_get_base (object), "abcd");
  g_object_unref (object);
}

/* The same handler dropping the last reference instead. */
TEST_F (CallbackTest, LogHandlerReleasingTheTemplateDuringEvaluation)
{
  auto *object = static_cast<VontleTemplate *> (g_object_new (blind_template_get_type (), nullptr));
  vontle_template_set_base (object, "a @missing@ b");
  CriticalHook hook ([object] { g_object_unref (object); });
  EXPECT_EQ (vontle_test::take (vontle_template_evaluate (object)), "a  b");
  EXPECT_EQ (hook.calls, 1);
}

/* ------------------------------------------------------------ history -- */

/* A read that appends to its own history: the nested append resets the
 * history itself; the outer reset then holds the store's lines once. */
TEST_F (CallbackTest, ReadAppendingToItsOwnHistoryKeepsOneCopy)
{
  HookStore *store = new_store ({ "a", "b" });
  VontleInputHistory *history = vontle_input_history_new (VONTLE_INPUT_HISTORY_IO (store));
  bool appended = false;
  *store->on_read = [&] {
    if (!std::exchange (appended, true))
      vontle_input_history_append (history, "inner");
  };
  vontle_input_history_reset (history);
  EXPECT_THAT (*store->lines, ElementsAre ("a", "b", "inner"));
  EXPECT_THAT (entries_of (history), ElementsAre ("a", "b", "inner"));
  EXPECT_STREQ (vontle_input_history_previous (history, ""), "inner");
  g_object_unref (history);
  g_object_unref (store);
}

/* The reader/writer replaces itself, appends an equal line (which removes
 * the entry it was lent) or releases the history, from its append and read. */
TEST_F (CallbackTest, ReaderWriterChangingItsHistory)
{
  HookStore *store = new_store ({ "old" });
  HookStore *other = new_store ({ "other" });
  VontleInputHistory *history = vontle_input_history_new (VONTLE_INPUT_HISTORY_IO (store));

  bool re_append = true, swap = false, release = false;
  *store->on_append = [&] (const char *line) {
    if (!std::exchange (re_append, false))
      return;
    vontle_input_history_append (history, line);   /* removes the entry the line was */
    EXPECT_STREQ (line, "x");                       /* still readable */
  };
  vontle_input_history_append (history, "x");
  EXPECT_THAT (entries_of (history), ElementsAre ("old", "x", "x"));

  *store->on_read = [&] {
    if (!std::exchange (swap, false))
      return;
    g_object_set (history, "io", other, nullptr);
  };
  swap = true;
  vontle_input_history_reset (history);
  EXPECT_THAT (entries_of (history), ElementsAre ("other"));

  *other->on_read = [&] {
    if (std::exchange (release, false))
      g_object_unref (history);
  };
  GWeakRef weak;
  g_weak_ref_init (&weak, history);
  release = true;
  vontle_input_history_reset (history);
  EXPECT_EQ (g_weak_ref_get (&weak), nullptr);
  g_weak_ref_clear (&weak);
  g_object_unref (store);
  g_object_unref (other);
}

/* The reader/writer's append drops the last reference to the history: the
 * history lasts until its own append, the reset included, has ended. */
TEST_F (CallbackTest, AppendReleasingItsHistory)
{
  HookStore *store = new_store ({});
  VontleInputHistory *history = vontle_input_history_new (VONTLE_INPUT_HISTORY_IO (store));
  *store->on_append = [history] (const char *) { g_object_unref (history); };
  GWeakRef weak;
  g_weak_ref_init (&weak, history);
  vontle_input_history_append (history, "x");
  EXPECT_EQ (g_weak_ref_get (&weak), nullptr);
  EXPECT_THAT (*store->lines, ElementsAre ("x"));
  g_weak_ref_clear (&weak);
  g_object_unref (store);
}

/* -------------------------------------------------------------- lists -- */

VontleList *hazard_list;
std::vector<std::string> released;

void
free_and_remove_next (void *element)
{
  released.emplace_back (static_cast<const char *> (element));
  /* The list is already empty: nothing to find, nothing freed twice. */
  vontle_list_remove (hazard_list, element);
  g_free (element);
}

TEST_F (CallbackTest, FreeFunctionRemovingFromTheListBeingCleared)
{
  released.clear ();
  hazard_list = vontle_list_new_with_free (free_and_remove_next);
  for (const char *word : { "a", "b", "c" })
    vontle_list_append (hazard_list, g_strdup (word));
  vontle_list_clear (hazard_list);
  EXPECT_THAT (released, ElementsAre ("a", "b", "c"));
  EXPECT_EQ (hazard_list->size, 0u);
  vontle_list_append (hazard_list, g_strdup ("d"));
  vontle_list_free (hazard_list);
  EXPECT_THAT (released, ElementsAre ("a", "b", "c", "d"));
}

/* Freeing the list from one of its own callbacks would free the record
 * under the walk: refused, and the list goes on. */
TEST_F (CallbackTest, CallbackFreeingItsOwnListIsRefused)
{
  hazard_list = vontle_list_new ();
  vontle_list_append (hazard_list, GINT_TO_POINTER (1));
  vontle_list_foreach (hazard_list, [] (void *, void *) { vontle_list_free (hazard_list); }, nullptr);
  ExpectCritical ("vontle_list_free", "!vontle::list_is_walked (list)");
  vontle_list_find (hazard_list, [] (const void *, const void *) {
    vontle_list_free (hazard_list);
    return 1;
  }, nullptr);
  ExpectCritical ("vontle_list_free", "!vontle::list_is_walked (list)");
  EXPECT_EQ (vontle_list_size (hazard_list), 1u);
  vontle_list_set_free_function (hazard_list, [] (void *) { vontle_list_free (hazard_list); });
  vontle_list_clear (hazard_list);
  ExpectCritical ("vontle_list_free", "!vontle::list_is_walked (list)");
  EXPECT_EQ (vontle_list_size (hazard_list), 0u);
  vontle_list_free (hazard_list);
}

/* The same from a walk of another list nested in the walk: every walk on the
 * way counts, not only the innermost. */
TEST_F (CallbackTest, CallbackFreeingAListWalkedFurtherOutIsRefused)
{
  hazard_list = vontle_list_new ();
  VontleList *inner = vontle_list_new ();
  for (VontleList *list : { hazard_list, inner })
    vontle_list_append (list, GINT_TO_POINTER (1));
  vontle_list_foreach (hazard_list, [] (void *, void *other) {
    vontle_list_foreach (static_cast<VontleList *> (other),
                         [] (void *, void *) { vontle_list_free (hazard_list); }, nullptr);
  }, inner);
  ExpectCritical ("vontle_list_free", "!vontle::list_is_walked (list)");
  EXPECT_EQ (vontle_list_size (hazard_list), 1u);
  vontle_list_free (inner);
  vontle_list_free (hazard_list);
}

int
compare_and_append (const void *a, const void *b)
{
  vontle_list_append (hazard_list, GINT_TO_POINTER (99));
  return GPOINTER_TO_INT (a) - GPOINTER_TO_INT (b);
}

/* A comparator that appends to the list it sorts would move the array out
 * from under the sort: every change is refused while it runs. */
TEST_F (CallbackTest, ComparatorChangingTheListBeingSortedIsRefused)
{
  hazard_list = vontle_list_new ();
  for (int n : { 3, 1, 2 })
    vontle_list_append (hazard_list, GINT_TO_POINTER (n));
  vontle_list_sort (hazard_list, compare_and_append);
  ExpectAppendsRefusedAndInOrder (hazard_list);
  vontle_list_free (hazard_list);

  /* The same through a sorted list's own comparator on insertion. */
  hazard_list = vontle_sorted_list_new (compare_and_append);
  for (int n : { 3, 1, 2 })
    vontle_list_append (hazard_list, GINT_TO_POINTER (n));
  ExpectAppendsRefusedAndInOrder (hazard_list);
  vontle_list_free (hazard_list);
}

/* Merging into a sorted list whose comparator appends to the list merged
 * from would move the array that the merge reads: refused the same way. */
TEST_F (CallbackTest, ComparatorChangingTheListMergedFromIsRefused)
{
  VontleList *sorted = vontle_sorted_list_new (compare_and_append);
  hazard_list = vontle_list_new ();
  for (int n : { 3, 1, 2 })
    vontle_list_append (hazard_list, GINT_TO_POINTER (n));
  vontle_list_merge (sorted, hazard_list);
  ExpectAppendsRefusedAndInOrder (sorted);
  EXPECT_EQ (hazard_list->size, 3u);
  vontle_list_free (hazard_list);
  vontle_list_free (sorted);
}

/* --------------------------------------------------------------- tree -- */

VontleNode *hazard_node;
std::vector<std::string> node_data_seen;

/* A free function that frees another node of the tree being released: refused. */
TEST_F (CallbackTest, FreeFunctionFreeingANodeOfTheTreeBeingReleased)
{
  VontleNode *root = vontle_node_new (g_strdup ("root"));
  vontle_node_set_free_function (root, [] (void *data) {
    if (g_strcmp0 (static_cast<const char *> (data), "root") == 0)
      vontle_node_free (hazard_node);
    g_free (data);
  });
  vontle_node_append_data (root, g_strdup ("a"));
  hazard_node = vontle_node_append_data (root, g_strdup ("b"));
  vontle_node_free (root);
  ExpectCritical ("vontle_node_free", "!is_being_released (node)");
}

/* Replacing a node's data: the free function sees the node holding the new value. */
TEST_F (CallbackTest, FreeFunctionOfReplacedDataSeesTheNewData)
{
  node_data_seen.clear ();
  hazard_node = vontle_node_new (g_strdup ("old"));
  vontle_node_set_free_function (hazard_node, [] (void *data) {
    node_data_seen.emplace_back (static_cast<const char *> (vontle_node_get_data (hazard_node)));
    g_free (data);
  });
  vontle_node_set_data (hazard_node, g_strdup ("new"));
  ASSERT_EQ (node_data_seen.size (), 1u);
  EXPECT_EQ (node_data_seen[0], "new");
  vontle_node_free (hazard_node);
}

} // namespace
