/* SPDX-License-Identifier: LGPL-2.1-or-later */
#include "vontle-test.h"

#include <vontle/vontle.h>
#include <vontle/vontle.hpp>

#include <new>
#include <random>
#include <string>
#include <vector>

using vontle_test::StderrCapture;
using ::testing::ElementsAre;
using ::testing::HasSubstr;
using Lines = std::vector<std::string>;

/* ----------------------------------------------- a reader/writer to test -- */

/* Records every append and serves reads from `stored`, which an append also
 * extends, the way a history file would. */
enum class ReadMode { stored, null, other_free };

struct StoreState
{
  Lines appended;
  Lines stored;
  ReadMode mode = ReadMode::stored;
  int reads = 0;
};

G_DECLARE_FINAL_TYPE (TestStore, test_store, TEST, STORE, GObject)
struct _TestStore
{
  GObject parent;
  StoreState state;
};

/* Implements the interface but fills neither slot. */
G_DECLARE_FINAL_TYPE (EmptyStore, empty_store, EMPTY, STORE, GObject)
struct _EmptyStore
{
  GObject parent;
};

namespace {

int other_frees;
void other_free (void *data) { other_frees++; g_free (data); }

void
store_append (VontleInputHistoryIO *io, const char *line)
{
  auto &state = TEST_STORE (io)->state;
  state.appended.push_back (line ? line : "<null>");
  if (line != nullptr)
    state.stored.push_back (line);
}

VontleList *
store_read (VontleInputHistoryIO *io)
{
  auto &state = TEST_STORE (io)->state;
  state.reads++;
  if (state.mode == ReadMode::null)
    return nullptr;
  VontleList *list = vontle_list_new_with_free (state.mode == ReadMode::stored ? g_free : other_free);
  for (const auto &line : state.stored)
    vontle_list_append (list, g_strdup (line.c_str ()));
  return list;
}

void
store_iface_init (VontleInputHistoryIOInterface *iface)
{
  iface->append = store_append;
  iface->read = store_read;
}

void empty_iface_init (VontleInputHistoryIOInterface *) {}

} // namespace

G_DEFINE_TYPE_WITH_CODE (TestStore, test_store, G_TYPE_OBJECT,
                         G_IMPLEMENT_INTERFACE (VONTLE_TYPE_INPUT_HISTORY_IO, store_iface_init))
static void test_store_init (TestStore *self) { new (&self->state) StoreState (); }
static void
test_store_finalize (GObject *object)
{
  TEST_STORE (object)->state.~StoreState ();
  G_OBJECT_CLASS (test_store_parent_class)->finalize (object);
}
static void
test_store_class_init (TestStoreClass *klass)
{
  G_OBJECT_CLASS (klass)->finalize = test_store_finalize;
}

G_DEFINE_TYPE_WITH_CODE (EmptyStore, empty_store, G_TYPE_OBJECT,
                         G_IMPLEMENT_INTERFACE (VONTLE_TYPE_INPUT_HISTORY_IO, empty_iface_init))
static void empty_store_init (EmptyStore *) {}
static void empty_store_class_init (EmptyStoreClass *) {}

/* --------------------------------------------------- a history subclass -- */

/* Counts resets, and serves its own list instead of the inherited one when
 * `own_list` is set. */
G_DECLARE_FINAL_TYPE (TestHistory, test_history, TEST, HISTORY, VontleInputHistory)
struct _TestHistory
{
  VontleInputHistory parent;
  VontleList *own_list;
  int resets;
};

G_DEFINE_TYPE (TestHistory, test_history, VONTLE_TYPE_INPUT_HISTORY)

namespace {

VontleList *
own_or_inherited_list (VontleInputHistory *history)
{
  auto *self = TEST_HISTORY (history);
  return self->own_list ? self->own_list
                        : VONTLE_INPUT_HISTORY_CLASS (test_history_parent_class)->list (history);
}

void
counting_reset (VontleInputHistory *history)
{
  TEST_HISTORY (history)->resets++;
  VONTLE_INPUT_HISTORY_CLASS (test_history_parent_class)->reset (history);
}

VontleList *no_list (VontleInputHistory *) { return nullptr; }

} // namespace

static void test_history_init (TestHistory *) {}
static void
test_history_finalize (GObject *object)
{
  g_clear_pointer (&TEST_HISTORY (object)->own_list, vontle_list_free);
  G_OBJECT_CLASS (test_history_parent_class)->finalize (object);
}
static void
test_history_class_init (TestHistoryClass *klass)
{
  G_OBJECT_CLASS (klass)->finalize = test_history_finalize;
  VONTLE_INPUT_HISTORY_CLASS (klass)->list = own_or_inherited_list;
  VONTLE_INPUT_HISTORY_CLASS (klass)->reset = counting_reset;
}

namespace {

/* Replaces one slot of TestHistory's class for the length of a scope. */
template <typename Slot>
class ScopedSlot
{
public:
  ScopedSlot (Slot VontleInputHistoryClass::*slot, Slot value)
    : klass_ (static_cast<VontleInputHistoryClass *> (g_type_class_ref (test_history_get_type ()))),
      slot_ (slot), saved_ (klass_->*slot)
  {
    klass_->*slot_ = value;
  }
  ~ScopedSlot ()
  {
    klass_->*slot_ = saved_;
    g_type_class_unref (klass_);
  }

private:
  VontleInputHistoryClass *klass_;
  Slot VontleInputHistoryClass::*slot_;
  Slot saved_;
};

TestHistory *
new_test_history ()
{
  return TEST_HISTORY (g_object_new (test_history_get_type (), "io", nullptr, nullptr));
}

TestStore *
new_store (const Lines &stored, ReadMode mode = ReadMode::stored)
{
  auto *store = TEST_STORE (g_object_new (test_store_get_type (), nullptr));
  store->state.stored = stored;
  store->state.mode = mode;
  return store;
}

VontleInputHistory *
history_of (const Lines &lines)
{
  VontleInputHistory *history = vontle_input_history_new (nullptr);
  for (const auto &line : lines)
    vontle_input_history_append (history, line.c_str ());
  return history;
}

Lines
entries (VontleInputHistory *history)
{
  const vontle::ListView<const char *> view (vontle_input_history_list (history));
  return Lines (view.begin (), view.end ());
}

/* A walk is written as a sequence of steps; null results read "<null>". */
struct Step
{
  bool older;
  const char *line;
};
Step P (const char *line) { return { true, line }; }
Step N (const char *line) { return { false, line }; }

Lines
walk (VontleInputHistory *history, std::initializer_list<Step> steps)
{
  Lines results;
  for (const auto &step : steps)
    {
      const char *result = step.older ? vontle_input_history_previous (history, step.line)
                                      : vontle_input_history_next (history, step.line);
      results.push_back (result ? result : "<null>");
    }
  return results;
}

class HistoryTest : public vontle_test::GLibLogTest
{
};

/* --------------------------------------------------------------- types -- */

TEST_F (HistoryTest, TypesAndReservedSlots)
{
  const GType io_type = VONTLE_TYPE_INPUT_HISTORY_IO;
  EXPECT_STREQ (g_type_name (io_type), "VontleInputHistoryIO");
  EXPECT_TRUE (G_TYPE_IS_INTERFACE (io_type));
  guint n_prerequisites;
  g_autofree GType *prerequisites = g_type_interface_prerequisites (io_type, &n_prerequisites);
  ASSERT_EQ (n_prerequisites, 1u);
  EXPECT_EQ (prerequisites[0], G_TYPE_OBJECT);

  EXPECT_STREQ (g_type_name (VONTLE_TYPE_INPUT_HISTORY), "VontleInputHistory");
  EXPECT_EQ (g_type_parent (VONTLE_TYPE_INPUT_HISTORY), G_TYPE_OBJECT);
  EXPECT_TRUE (G_TYPE_IS_DERIVABLE (VONTLE_TYPE_INPUT_HISTORY));

  /* The reserved slots are part of the ABI. */
  EXPECT_EQ (sizeof (VontleInputHistoryIOInterface), sizeof (GTypeInterface) + 6 * sizeof (gpointer));
  EXPECT_EQ (sizeof (VontleInputHistoryLiveIOInterface), sizeof (GTypeInterface) + 4 * sizeof (gpointer));
}

/* The reader/writer interface declares nothing of its own; notices of
 * storage changed elsewhere come through the optional live interface, which
 * only a reader/writer can implement. */
TEST_F (HistoryTest, ReaderWriterInterfaceDeclaresNoPropertiesAndNoSignals)
{
  /* Interface properties live in GObject's pool, made with its class. */
  g_autoptr (GTypeClass) object_class = static_cast<GTypeClass *> (g_type_class_ref (G_TYPE_OBJECT));
  ASSERT_NE (object_class, nullptr);
  gpointer iface = g_type_default_interface_ref (VONTLE_TYPE_INPUT_HISTORY_IO);
  guint n_properties = 99;
  g_free (g_object_interface_list_properties (iface, &n_properties));
  g_type_default_interface_unref (iface);
  EXPECT_EQ (n_properties, 0u);
  guint n_signals = 99;
  g_free (g_signal_list_ids (VONTLE_TYPE_INPUT_HISTORY_IO, &n_signals));
  EXPECT_EQ (n_signals, 0u);

  const GType live = VONTLE_TYPE_INPUT_HISTORY_LIVE_IO;
  EXPECT_STREQ (g_type_name (live), "VontleInputHistoryLiveIO");
  guint n_prerequisites;
  g_autofree GType *prerequisites = g_type_interface_prerequisites (live, &n_prerequisites);
  EXPECT_EQ (std::vector<GType> (prerequisites, prerequisites + n_prerequisites),
             std::vector<GType> ({ VONTLE_TYPE_INPUT_HISTORY_IO, G_TYPE_OBJECT }));
  g_type_default_interface_unref (g_type_default_interface_ref (live));
  g_autofree guint *live_signals = g_signal_list_ids (live, &n_signals);
  ASSERT_EQ (n_signals, 1u);
  EXPECT_STREQ (g_signal_name (live_signals[0]), "storage-changed");
  EXPECT_EQ (sizeof (VontleInputHistoryClass), sizeof (GObjectClass) + 9 * sizeof (gpointer));
}

TEST_F (HistoryTest, IoPropertyIsDeclaredExactly)
{
  g_autoptr (GTypeClass) klass = static_cast<GTypeClass *> (g_type_class_ref (VONTLE_TYPE_INPUT_HISTORY));
  GParamSpec *pspec = g_object_class_find_property (G_OBJECT_CLASS (klass), "io");
  ASSERT_NE (pspec, nullptr);
  EXPECT_EQ (pspec->param_id, 1u);
  EXPECT_EQ (pspec->value_type, VONTLE_TYPE_INPUT_HISTORY_IO);
  EXPECT_TRUE (G_IS_PARAM_SPEC_OBJECT (pspec));
  EXPECT_STREQ (g_param_spec_get_nick (pspec), "history reader/writer");
  EXPECT_STREQ (g_param_spec_get_blurb (pspec), "VontleInputHistoryIO object used to read and write history");
  EXPECT_EQ (pspec->flags, G_PARAM_READWRITE | G_PARAM_CONSTRUCT | G_PARAM_STATIC_STRINGS);
}

/* ------------------------------------------------------- reader/writer -- */

TEST_F (HistoryTest, IoDispatchersCheckTheInstanceAndPassThrough)
{
  g_autoptr (GObject) plain = G_OBJECT (g_object_new (G_TYPE_OBJECT, nullptr));
  for (gpointer bad : { static_cast<gpointer> (nullptr), static_cast<gpointer> (plain) })
    {
      vontle_input_history_io_append (static_cast<VontleInputHistoryIO *> (bad), "x");
      ExpectCritical ("vontle_input_history_io_append", "VONTLE_IS_INPUT_HISTORY_IO(io) == true");
      EXPECT_EQ (vontle_input_history_io_read (static_cast<VontleInputHistoryIO *> (bad)), nullptr);
      ExpectCritical ("vontle_input_history_io_read", "VONTLE_IS_INPUT_HISTORY_IO(io) == true");
    }

  g_autoptr (TestStore) store = new_store ({ "a", "b" });
  auto *io = VONTLE_INPUT_HISTORY_IO (store);
  vontle_input_history_io_append (io, nullptr);
  vontle_input_history_io_append (io, "c");
  EXPECT_THAT (store->state.appended, ElementsAre ("<null>", "c"));
  g_autoptr (VontleList) served = vontle_input_history_io_read (io);
  ASSERT_EQ (served->size, 3u);
  EXPECT_STREQ (static_cast<const char *> (served->start[2]), "c");

  g_autoptr (EmptyStore) empty = EMPTY_STORE (g_object_new (empty_store_get_type (), nullptr));
  vontle_input_history_io_append (VONTLE_INPUT_HISTORY_IO (empty), "x");
  ExpectCritical ("vontle_input_history_io_append", "iface != NULL && iface->append != NULL");
  EXPECT_EQ (vontle_input_history_io_read (VONTLE_INPUT_HISTORY_IO (empty)), nullptr);
  ExpectCritical ("vontle_input_history_io_read", "iface != NULL && iface->read != NULL");
}

/* ------------------------------------------------------------- history -- */

TEST_F (HistoryTest, ReaderWriterLoadsAtConstructionAndAfterEveryAppend)
{
  g_autoptr (VontleInputHistory) bare = vontle_input_history_new (nullptr);
  EXPECT_TRUE (entries (bare).empty ());

  g_autoptr (TestStore) store = new_store ({ "old", "new" });
  g_autoptr (VontleInputHistory) history = vontle_input_history_new (VONTLE_INPUT_HISTORY_IO (store));
  EXPECT_THAT (entries (history), ElementsAre ("old", "new"));
  EXPECT_EQ (G_OBJECT (store)->ref_count, 2u);
  g_autoptr (GObject) got = nullptr;
  g_object_get (history, "io", &got, nullptr);
  EXPECT_EQ (got, G_OBJECT (store));

  /* The store changes behind the history's back: only a reload shows "z". */
  store->state.stored = { "z" };
  vontle_input_history_append (history, "y");
  EXPECT_THAT (store->state.appended, ElementsAre ("y"));
  EXPECT_THAT (entries (history), ElementsAre ("z", "y"));
  EXPECT_EQ (store->state.reads, 2);
}

TEST_F (HistoryTest, AppendInMemoryRemovesEveryEqualEntry)
{
  g_autoptr (TestHistory) counted = new_test_history ();
  auto *history = VONTLE_INPUT_HISTORY (counted);
  for (const char *line : { "ls", "ls -l", "cd", "ls" })
    vontle_input_history_append (history, line);
  VontleList *list = vontle_input_history_list (history);
  vontle_list_append (list, g_strdup ("cd"));
  vontle_list_append (list, g_strdup ("x"));

  vontle_input_history_append (history, "cd");
  EXPECT_THAT (entries (history), ElementsAre ("ls -l", "ls", "x", "cd"));
  EXPECT_EQ (counted->resets, 6);

  vontle_input_history_append (history, nullptr);
  EXPECT_EQ (counted->resets, 6);
  EXPECT_EQ (entries (history).size (), 4u);
}

TEST_F (HistoryTest, AppendAcceptsTheStringsThatStepsLend)
{
  g_autoptr (TestStore) store = new_store ({ "a", "b", "c" });
  g_autoptr (VontleInputHistory) history = vontle_input_history_new (VONTLE_INPUT_HISTORY_IO (store));
  vontle_input_history_previous (history, "");
  const char *entry = vontle_input_history_previous (history, "");
  ASSERT_STREQ (entry, "b");
  vontle_input_history_append (history, entry);
  EXPECT_THAT (store->state.appended, ElementsAre ("b"));

  g_autoptr (VontleInputHistory) bare = history_of ({ "a", "b", "c" });
  vontle_input_history_previous (bare, "");
  entry = vontle_input_history_previous (bare, "");
  vontle_input_history_append (bare, entry);
  EXPECT_THAT (entries (bare), ElementsAre ("a", "c", "b"));

  const char *saved = vontle_input_history_next (bare, "xyz"); /* fresh: walks older */
  EXPECT_EQ (saved, nullptr);
  walk (bare, { P ("c") });
  saved = vontle_input_history_next (bare, "ignored");
  ASSERT_STREQ (saved, "c");
  EXPECT_NE (saved, vontle_list_nth (vontle_input_history_list (bare), 2));
  vontle_input_history_append (bare, saved);
  EXPECT_THAT (entries (bare), ElementsAre ("a", "b", "c"));
}

TEST_F (HistoryTest, ResetTakesTheReadListOverOrEmptiesOnNull)
{
  g_autoptr (TestStore) store = new_store ({ "p", "q" }, ReadMode::other_free);
  vontle_set_log_level (VONTLE_LOG_WARNING);
  StderrCapture capture;
  g_autoptr (VontleInputHistory) history = vontle_input_history_new (VONTLE_INPUT_HISTORY_IO (store));
  const std::string logged = capture.Finish ();
  EXPECT_THAT (logged, HasSubstr ("merging lists with different free functions"));
  EXPECT_THAT (entries (history), ElementsAre ("p", "q"));

  store->state.mode = ReadMode::null;
  vontle_input_history_reset (history);
  EXPECT_TRUE (entries (history).empty ());
  EXPECT_EQ (other_frees, 0);
}

TEST_F (HistoryTest, SettingIoSwapsReferencesAndResets)
{
  g_autoptr (TestStore) first = new_store ({ "one" });
  g_autoptr (TestStore) second = new_store ({ "two", "three" });
  g_autoptr (TestStore) silent = new_store ({}, ReadMode::null);
  g_autoptr (VontleInputHistory) history = vontle_input_history_new (VONTLE_INPUT_HISTORY_IO (first));

  g_object_set (history, "io", second, nullptr);
  EXPECT_EQ (G_OBJECT (first)->ref_count, 1u);
  EXPECT_THAT (entries (history), ElementsAre ("two", "three"));

  g_object_set (history, "io", nullptr, nullptr);
  EXPECT_EQ (G_OBJECT (second)->ref_count, 1u);
  EXPECT_THAT (entries (history), ElementsAre ("two", "three"));
  EXPECT_EQ (walk (history, { P ("t"), P ("t") }), Lines ({ "three", "two" }));

  g_object_set (history, "io", silent, nullptr);
  EXPECT_TRUE (entries (history).empty ());
}

TEST_F (HistoryTest, InvalidPropertyIdAndDispose)
{
  g_autoptr (TestStore) store = new_store ({ "kept" });
  g_autoptr (VontleInputHistory) history = vontle_input_history_new (VONTLE_INPUT_HISTORY_IO (store));
  g_autoptr (GParamSpec) bogus
    = g_param_spec_ref_sink (g_param_spec_int ("bogus", nullptr, nullptr, 0, 1, 0, G_PARAM_READWRITE));
  g_auto (GValue) value = G_VALUE_INIT;
  g_value_init (&value, G_TYPE_INT);
  G_OBJECT_GET_CLASS (history)->set_property (G_OBJECT (history), 2, &value, bogus);
  G_OBJECT_GET_CLASS (history)->get_property (G_OBJECT (history), 2, &value, bogus);
  auto messages = TakeMessages ();
  ASSERT_EQ (messages.size (), 2u);
  for (const auto &message : messages)
    EXPECT_THAT (message.message, HasSubstr ("invalid property id 2 for \"bogus\""));
  EXPECT_EQ (G_OBJECT (store)->ref_count, 2u);

  g_object_run_dispose (G_OBJECT (history));
  EXPECT_EQ (G_OBJECT (store)->ref_count, 1u);
  vontle_input_history_append (history, "more");
  EXPECT_THAT (entries (history), ElementsAre ("kept", "more"));
  EXPECT_THAT (store->state.appended, ElementsAre ());
}

TEST_F (HistoryTest, DispatchersCheckTheHistory)
{
  const char *const condition = "VONTLE_IS_INPUT_HISTORY(history) == true";
  g_autoptr (GObject) plain = G_OBJECT (g_object_new (G_TYPE_OBJECT, nullptr));
  for (gpointer bad : { static_cast<gpointer> (nullptr), static_cast<gpointer> (plain) })
    {
      auto *history = static_cast<VontleInputHistory *> (bad);
      vontle_input_history_append (history, "x");
      ExpectCritical ("vontle_input_history_append", condition);
      EXPECT_EQ (vontle_input_history_list (history), nullptr);
      ExpectCritical ("vontle_input_history_list", condition);
      EXPECT_EQ (vontle_input_history_next (history, "x"), nullptr);
      ExpectCritical ("vontle_input_history_next", condition);
      EXPECT_EQ (vontle_input_history_previous (history, "x"), nullptr);
      ExpectCritical ("vontle_input_history_previous", condition);
      vontle_input_history_reset (history);
      ExpectCritical ("vontle_input_history_reset", condition);
    }
}

/* -------------------------------------------------------------- subclass -- */

TEST_F (HistoryTest, EmptiedSlotsAreReportedNotCalled)
{
  g_autoptr (TestHistory) counted = new_test_history ();
  auto *history = VONTLE_INPUT_HISTORY (counted);
  vontle_input_history_append (history, "kept");
  {
    ScopedSlot<decltype (VontleInputHistoryClass::list)> list (&VontleInputHistoryClass::list, nullptr);
    EXPECT_EQ (vontle_input_history_list (history), nullptr);
    ExpectCritical ("vontle_input_history_list", "klass != NULL && klass->list != NULL");
    vontle_input_history_append (history, "lost");
    ExpectCritical ("vontle_input_history_list", "klass != NULL && klass->list != NULL");
  }
  EXPECT_THAT (entries (history), ElementsAre ("kept"));
  {
    ScopedSlot<decltype (VontleInputHistoryClass::append)> append (&VontleInputHistoryClass::append, nullptr);
    ScopedSlot<decltype (VontleInputHistoryClass::next)> next (&VontleInputHistoryClass::next, nullptr);
    ScopedSlot<decltype (VontleInputHistoryClass::previous)> previous (&VontleInputHistoryClass::previous, nullptr);
    ScopedSlot<decltype (VontleInputHistoryClass::reset)> reset (&VontleInputHistoryClass::reset, nullptr);
    vontle_input_history_append (history, "x");
    ExpectCritical ("vontle_input_history_append", "klass != NULL && klass->append != NULL");
    EXPECT_EQ (vontle_input_history_next (history, "k"), nullptr);
    ExpectCritical ("vontle_input_history_next", "klass != NULL && klass->next != NULL");
    EXPECT_EQ (vontle_input_history_previous (history, "k"), nullptr);
    ExpectCritical ("vontle_input_history_previous", "klass != NULL && klass->previous != NULL");
    vontle_input_history_reset (history);
    ExpectCritical ("vontle_input_history_reset", "klass != NULL && klass->reset != NULL");
  }
  EXPECT_THAT (entries (history), ElementsAre ("kept"));
}

TEST_F (HistoryTest, DefaultsWorkOnWhatTheListSlotReturns)
{
  g_autoptr (TestStore) store = new_store ({ "from store" });
  g_autoptr (TestHistory) counted = new_test_history ();
  auto *history = VONTLE_INPUT_HISTORY (counted);
  vontle_input_history_append (history, "inherited");
  counted->own_list = vontle_list_new_with_free (g_free);
  vontle_input_history_append (history, "own");
  EXPECT_THAT (entries (history), ElementsAre ("own"));
  EXPECT_EQ (walk (history, { P ("o") }), Lines ({ "own" }));

  g_object_set (history, "io", store, nullptr);
  EXPECT_THAT (entries (history), ElementsAre ("from store"));
  EXPECT_EQ (counted->resets, 4);

  ScopedSlot<decltype (VontleInputHistoryClass::list)> list (&VontleInputHistoryClass::list, no_list);
  EXPECT_EQ (walk (history, { P (""), N ("") }), Lines ({ "<null>", "<null>" }));
  vontle_input_history_append (history, "dropped");
  EXPECT_THAT (store->state.appended, ElementsAre ());
}

/* ------------------------------------------------------------ navigation -- */

TEST_F (HistoryTest, WalkOlderThenNewerPastTheNewestEntry)
{
  g_autoptr (VontleInputHistory) history = history_of ({ "open a", "close", "open b", "other" });
  EXPECT_EQ (walk (history, { P ("op"), P ("zzz"), P ("op"), N ("x"), N ("x"), N ("typed"), P ("o") }),
             Lines ({ "open b", "open a", "<null>", "open b", "op", "typed", "other" }));
}

TEST_F (HistoryTest, FreshWalksGoOlderAndStayFreshWithoutAMatch)
{
  g_autoptr (VontleInputHistory) history = history_of ({ "ab", "b", "abc", "a" });
  EXPECT_EQ (walk (history, { N ("ab") }), Lines ({ "abc" }));
  vontle_input_history_reset (history);
  /* The third step keeps the prefix "b" of the walk that the second began. */
  EXPECT_EQ (walk (history, { P ("q"), N ("b"), P ("a") }), Lines ({ "<null>", "b", "<null>" }));

  vontle_input_history_reset (history);
  EXPECT_EQ (walk (history, { P (""), P (""), P (""), P (""), P (""), N ("") }),
             Lines ({ "a", "abc", "b", "ab", "<null>", "b" }));

  g_autoptr (VontleInputHistory) empty = vontle_input_history_new (nullptr);
  EXPECT_EQ (walk (empty, { P ("a"), N ("a") }), Lines ({ "<null>", "<null>" }));
}

TEST_F (HistoryTest, OneEntryAndAnEntryEqualToThePrefix)
{
  g_autoptr (VontleInputHistory) history = history_of ({ "make" });
  EXPECT_EQ (walk (history, { P ("make"), P ("make"), N ("x"), N ("m") }),
             Lines ({ "make", "<null>", "make", "m" }));
}

TEST_F (HistoryTest, WalkFromTheBottomWithoutAMatch)
{
  g_autoptr (VontleInputHistory) history = history_of ({ "a1", "b1", "a2" });
  /* At the bottom after the second step; "zz" exhausts the walk at index 0. */
  EXPECT_EQ (walk (history, { P ("a"), N (""), P ("zz"), P ("a"), P ("a") }),
             Lines ({ "a2", "a", "<null>", "<null>", "a2" }));
  vontle_input_history_reset (history);
  EXPECT_EQ (walk (history, { P ("a"), N (""), P ("zz"), N ("b") }),
             Lines ({ "a2", "a", "<null>", "b1" }));
}

TEST_F (HistoryTest, SavedLineHandedBackAndNullPrefix)
{
  g_autoptr (VontleInputHistory) history = history_of ({ "cat x", "cd y" });
  walk (history, { P ("c") });
  const char *saved = vontle_input_history_next (history, "ignored");
  ASSERT_STREQ (saved, "c");
  EXPECT_STREQ (vontle_input_history_next (history, saved), "c");
  saved = vontle_input_history_next (history, "ca");
  EXPECT_STREQ (vontle_input_history_previous (history, saved), "cat x");

  EXPECT_EQ (walk (history, { N (""), N (nullptr) }), Lines ({ "ca", "<null>" }));
  ExpectNoMessages ();
  vontle_input_history_reset (history);
  EXPECT_EQ (walk (history, { P (nullptr) }), Lines ({ "<null>" }));
  auto messages = TakeMessages ();
  ASSERT_EQ (messages.size (), 2u);
  for (const auto &message : messages)
    EXPECT_THAT (message.message, HasSubstr ("g_str_has_prefix"));
}

TEST_F (HistoryTest, ListShortenedBehindTheWalk)
{
  g_autoptr (VontleInputHistory) history = history_of ({ "a", "b", "c", "d" });
  EXPECT_EQ (walk (history, { P (""), N ("") }), Lines ({ "d", "" }));
  VontleList *list = vontle_input_history_list (history);
  vontle_list_remove (list, vontle_list_nth (list, 3));
  vontle_list_remove (list, vontle_list_nth (list, 2));

  EXPECT_EQ (walk (history, { P ("") }), Lines ({ "<null>" }));
  ExpectCritical ("vontle_list_nth", "n < list->size");
  EXPECT_EQ (walk (history, { N ("x"), P ("") }), Lines ({ "", "b" }));
}

/* A null put into the list through the lent list ends the step that reaches
 * it, quietly, with the walk moved onto it. */
TEST_F (HistoryTest, NullEntryEndsTheStepThatReachesIt)
{
  g_autoptr (VontleInputHistory) history = history_of ({ "a", "b", "c" });
  vontle_list_set_nth (vontle_input_history_list (history), 1, nullptr);
  EXPECT_EQ (walk (history, { P (""), P (""), P (""), N (""), N ("") }),
             Lines ({ "c", "<null>", "a", "<null>", "c" }));
}

/* The walk written out step for step as documented, to hold the history
 * against on long random sequences: what each step returns (an entry by
 * index, the saved line, or null) and how many out-of-range fetches the
 * list reports. */
struct ModelWalk
{
  enum Kind { none, entry, saved };
  struct Result
  {
    Kind kind;
    size_t index;
  };

  size_t position = 0, match_position = 0;
  std::string saved_line;
  bool reset_pending = true;
  int range_reports = 0;

  Result
  Step (const VontleList *list, const char *line, bool older)
  {
    const size_t n = list->size;
    if (n == 0)
      return { none, 0 };
    if (reset_pending)
      position = match_position = n;
    if (reset_pending || match_position == n)
      saved_line = line;
    for (size_t i = 0; i < n; i++)
      {
        if (reset_pending || older)
          {
            if (position == 0)
              {
                reset_pending = false;
                position = match_position;
                return { none, 0 };
              }
            position--;
          }
        else if (position + 1 >= n)
          {
            position = match_position = n;
            return { saved, 0 };
          }
        else
          position++;
        if (position >= list->size)
          {
            range_reports++;
            return { none, 0 };
          }
        const auto *text = static_cast<const char *> (list->start[position]);
        if (text == nullptr)
          return { none, 0 };
        if (g_str_has_prefix (text, saved_line.c_str ()))
          {
            reset_pending = false;
            match_position = position;
            return { entry, position };
          }
      }
    return { none, 0 };
  }
};

TEST_F (HistoryTest, RandomWalksFollowTheDocumentedSteps)
{
  const char *const words[] = { "", "a", "ab", "abc", "b", "ba", "c" };
  std::mt19937 random (3);
  const auto word = [&] { return words[random () % G_N_ELEMENTS (words)]; };
  g_autoptr (VontleInputHistory) history = vontle_input_history_new (nullptr);
  VontleList *list = vontle_input_history_list (history);
  ModelWalk model;
  for (int i = 0; i < 20000; i++)
    {
      const unsigned action = random () % 20;
      if (action == 0)
        {
          vontle_input_history_append (history, word ());
          model.reset_pending = true;
        }
      else if (action == 1)
        {
          vontle_input_history_reset (history);
          model.reset_pending = true;
        }
      else if (action == 2 && list->size > 1)
        /* Behind the walk's back, through the lent list. */
        vontle_list_remove (list, list->start[random () % list->size]);
      else if (action == 3 && list->size > 0)
        vontle_list_set_nth (list, random () % list->size, nullptr);
      else
        {
          const bool older = action % 2 == 0;
          const char *line = word ();
          const auto expected = model.Step (list, line, older);
          const char *got = older ? vontle_input_history_previous (history, line)
                                  : vontle_input_history_next (history, line);
          switch (expected.kind)
            {
            case ModelWalk::none:
              ASSERT_EQ (got, nullptr) << "step " << i;
              break;
            case ModelWalk::entry:
              ASSERT_EQ (got, list->start[expected.index]) << "step " << i;
              break;
            case ModelWalk::saved:
              ASSERT_NE (got, nullptr) << "step " << i;
              ASSERT_EQ (got, model.saved_line) << "step " << i;
              break;
            }
        }
    }
  const auto messages = TakeMessages ();
  EXPECT_GT (model.range_reports, 0);
  EXPECT_EQ (messages.size (), static_cast<size_t> (model.range_reports));
  for (const auto &message : messages)
    EXPECT_THAT (message.message, HasSubstr ("n < list->size"));
}


/* ------------------------------------------------------ lines for bindings -- */

TEST_F (HistoryTest, DupLinesCopiesWhatTheListSlotGives)
{
  g_autoptr (TestHistory) counted = new_test_history ();
  auto *history = VONTLE_INPUT_HISTORY (counted);
  g_auto (GStrv) none = vontle_input_history_dup_lines (history);
  ASSERT_NE (none, nullptr);
  EXPECT_EQ (none[0], nullptr);

  vontle_input_history_append (history, "inherited");
  counted->own_list = vontle_list_new_with_free (g_free);
  vontle_list_append (counted->own_list, g_strdup ("old"));
  vontle_list_append (counted->own_list, nullptr);
  vontle_list_append (counted->own_list, g_strdup ("new"));
  g_auto (GStrv) lines = vontle_input_history_dup_lines (history);
  ASSERT_EQ (g_strv_length (lines), 2u);
  EXPECT_STREQ (lines[0], "old");
  EXPECT_STREQ (lines[1], "new");
  EXPECT_NE (lines[0], counted->own_list->start[0]);

  {
    ScopedSlot<decltype (VontleInputHistoryClass::list)> list (&VontleInputHistoryClass::list, no_list);
    g_auto (GStrv) empty = vontle_input_history_dup_lines (history);
    ASSERT_NE (empty, nullptr);
    EXPECT_EQ (empty[0], nullptr);
  }
  g_autoptr (GObject) plain = G_OBJECT (g_object_new (G_TYPE_OBJECT, nullptr));
  EXPECT_EQ (vontle_input_history_dup_lines (reinterpret_cast<VontleInputHistory *> (plain)), nullptr);
  ExpectCritical ("vontle_input_history_dup_lines", "VONTLE_IS_INPUT_HISTORY(history) == true");
}

} // namespace
