/* SPDX-License-Identifier: LGPL-2.1-or-later */
#include "vontle-test.h"

#include <vontle/vontle.h>

#include <new>
#include <string>
#include <vector>

using ::testing::ElementsAre;
using ::testing::IsEmpty;
using Lines = std::vector<std::string>;

/* Keeps its lines in a vector and remembers the strings its last read handed
 * out, so a test can tell whether they were taken over or copied. */
struct LinesState
{
  Lines stored;
  bool read_null = false;
  std::vector<const char *> handed_out;
};

G_DECLARE_FINAL_TYPE (TestLinesStore, test_lines_store, TEST, LINES_STORE, VontleInputHistoryLinesIO)
struct _TestLinesStore
{
  VontleInputHistoryLinesIO parent;
  LinesState state;
};

/* Fills neither slot. */
G_DECLARE_FINAL_TYPE (TestHollowStore, test_hollow_store, TEST, HOLLOW_STORE, VontleInputHistoryLinesIO)
struct _TestHollowStore
{
  VontleInputHistoryLinesIO parent;
};

namespace {

void
store_append_line (VontleInputHistoryLinesIO *self, const char *line)
{
  TEST_LINES_STORE (self)->state.stored.emplace_back (line);
}

char **
store_read_lines (VontleInputHistoryLinesIO *self)
{
  auto &state = TEST_LINES_STORE (self)->state;
  state.handed_out.clear ();
  if (state.read_null)
    return nullptr;
  char **lines = g_new0 (char *, state.stored.size () + 1);
  for (size_t i = 0; i < state.stored.size (); i++)
    state.handed_out.push_back (lines[i] = g_strdup (state.stored[i].c_str ()));
  return lines;
}

} // namespace

G_DEFINE_TYPE (TestLinesStore, test_lines_store, VONTLE_TYPE_INPUT_HISTORY_LINES_IO)
static void test_lines_store_init (TestLinesStore *self) { new (&self->state) LinesState (); }
static void
test_lines_store_finalize (GObject *object)
{
  TEST_LINES_STORE (object)->state.~LinesState ();
  G_OBJECT_CLASS (test_lines_store_parent_class)->finalize (object);
}
static void
test_lines_store_class_init (TestLinesStoreClass *klass)
{
  G_OBJECT_CLASS (klass)->finalize = test_lines_store_finalize;
  VONTLE_INPUT_HISTORY_LINES_IO_CLASS (klass)->append_line = store_append_line;
  VONTLE_INPUT_HISTORY_LINES_IO_CLASS (klass)->read_lines = store_read_lines;
}

G_DEFINE_TYPE (TestHollowStore, test_hollow_store, VONTLE_TYPE_INPUT_HISTORY_LINES_IO)
static void test_hollow_store_init (TestHollowStore *) {}
static void test_hollow_store_class_init (TestHollowStoreClass *) {}

namespace {

using LinesIOTest = vontle_test::GLibLogTest;

TestLinesStore *
new_store (const Lines &stored)
{
  auto *store = TEST_LINES_STORE (g_object_new (test_lines_store_get_type (), nullptr));
  store->state.stored = stored;
  return store;
}

std::vector<const char *>
entry_pointers (VontleInputHistory *history)
{
  VontleList *list = vontle_input_history_list (history);
  std::vector<const char *> pointers;
  for (size_t i = 0; i < list->size; i++)
    pointers.push_back (static_cast<const char *> (list->start[i]));
  return pointers;
}

Lines
entries (VontleInputHistory *history)
{
  Lines lines;
  for (const char *entry : entry_pointers (history))
    lines.emplace_back (entry);
  return lines;
}

TEST_F (LinesIOTest, AbstractImplementationOfTheInterfaceWithReservedSlots)
{
  const GType type = VONTLE_TYPE_INPUT_HISTORY_LINES_IO;
  EXPECT_STREQ (g_type_name (type), "VontleInputHistoryLinesIO");
  EXPECT_TRUE (G_TYPE_IS_ABSTRACT (type));
  EXPECT_EQ (g_type_parent (type), G_TYPE_OBJECT);
  EXPECT_TRUE (g_type_is_a (type, VONTLE_TYPE_INPUT_HISTORY_IO));
  EXPECT_EQ (sizeof (VontleInputHistoryLinesIOClass), sizeof (GObjectClass) + 6 * sizeof (gpointer));
}

TEST_F (LinesIOTest, HistoryTakesTheReadStringsOverAndAppendsReachTheStore)
{
  g_autoptr (TestLinesStore) store = new_store ({ "open a", "close" });
  g_autoptr (VontleInputHistory) history = vontle_input_history_new (VONTLE_INPUT_HISTORY_IO (store));
  EXPECT_THAT (entries (history), ElementsAre ("open a", "close"));
  EXPECT_EQ (entry_pointers (history), store->state.handed_out);

  vontle_input_history_append (history, "open b");
  EXPECT_THAT (store->state.stored, ElementsAre ("open a", "close", "open b"));
  EXPECT_THAT (entries (history), ElementsAre ("open a", "close", "open b"));
  EXPECT_EQ (entry_pointers (history), store->state.handed_out);
  EXPECT_STREQ (vontle_input_history_previous (history, "op"), "open b");
  EXPECT_STREQ (vontle_input_history_previous (history, "op"), "open a");
  EXPECT_STREQ (vontle_input_history_next (history, "op"), "open b");
  EXPECT_STREQ (vontle_input_history_next (history, "op"), "op");
}

/* The read's list is filled with one growth: every string, in order, taken
 * over as it is, and an ordinary owning list that keeps growing normally. */
TEST_F (LinesIOTest, ReadMakesTheArrayIntoAnOrdinaryOwningList)
{
  Lines stored;
  for (int i = 0; i < 1000; i++)
    stored.push_back ("line " + std::to_string (i));
  g_autoptr (TestLinesStore) store = new_store (stored);
  g_autoptr (VontleList) read = vontle_input_history_io_read (VONTLE_INPUT_HISTORY_IO (store));
  ASSERT_NE (read, nullptr);
  EXPECT_EQ (read->free, reinterpret_cast<VontleFreeFunction> (g_free));
  EXPECT_EQ (read->cmp, nullptr);
  ASSERT_EQ (read->size, stored.size ());
  const auto &handed_out = store->state.handed_out;
  EXPECT_EQ (std::vector<const void *> (read->start, read->start + read->size),
             std::vector<const void *> (handed_out.begin (), handed_out.end ()));
  vontle_list_append (read, g_strdup ("one more"));
  EXPECT_STREQ (static_cast<const char *> (vontle_list_nth (read, stored.size ())), "one more");
}

TEST_F (LinesIOTest, NullOrEmptyReadLeavesTheHistoryEmpty)
{
  g_autoptr (TestLinesStore) store = new_store ({});
  g_autoptr (VontleInputHistory) history = vontle_input_history_new (VONTLE_INPUT_HISTORY_IO (store));
  EXPECT_THAT (entries (history), IsEmpty ());

  store->state.read_null = true;
  vontle_input_history_append (history, "gone");
  EXPECT_THAT (store->state.stored, ElementsAre ("gone"));
  EXPECT_THAT (entries (history), IsEmpty ());
  EXPECT_EQ (vontle_input_history_io_read (VONTLE_INPUT_HISTORY_IO (store)), nullptr);
}

TEST_F (LinesIOTest, UnfilledSlotsAreReportedNotCalled)
{
  g_autoptr (TestHollowStore) hollow = TEST_HOLLOW_STORE (g_object_new (test_hollow_store_get_type (), nullptr));
  auto *io = VONTLE_INPUT_HISTORY_IO (hollow);
  const char *no_read = "klass != NULL && klass->read_lines != NULL";
  g_autoptr (VontleInputHistory) history = vontle_input_history_new (io);
  ExpectCritical ("vontle_input_history_lines_io_read", no_read);

  vontle_input_history_append (history, "x");
  const auto messages = TakeMessages ();
  ASSERT_EQ (messages.size (), 2u);
  EXPECT_EQ (messages[0].message, vontle_test::AssertionText ("vontle_input_history_lines_io_append",
                                                              "klass != NULL && klass->append_line != NULL"));
  EXPECT_EQ (messages[1].message, vontle_test::AssertionText ("vontle_input_history_lines_io_read", no_read));
  EXPECT_THAT (entries (history), IsEmpty ());
}

} // namespace
