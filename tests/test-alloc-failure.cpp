/* SPDX-License-Identifier: LGPL-2.1-or-later */
/* Allocation failures of the non-aborting allocator. This program defines
 * g_try_malloc0 itself: the library reaches it through its dynamic symbol
 * table, so the executable's definition takes precedence over GLib's and can
 * make one chosen call fail. Leaks on these paths show under the valgrind
 * setup and the sanitizer build. */
#include "vontle-test.h"

#include <vontle/vontle.h>

/* The buffer of the user lookup, to fail its growth step directly. */
#include "../lib/user-database.h"

#include <dlfcn.h>

#include <fstream>
#include <string>
#include <vector>

using vontle_test::StderrCapture;
using ::testing::HasSubstr;

namespace {

/* Calls since the last Arm (); the call numbered fail_at (from 1) fails. */
unsigned calls;
unsigned fail_at;

void
Arm (unsigned nth)
{
  calls = 0;
  fail_at = nth;
}

using TryMalloc0 = gpointer (*) (gsize);

TryMalloc0
real_try_malloc0 ()
{
  static const auto real = reinterpret_cast<TryMalloc0> (dlsym (RTLD_NEXT, "g_try_malloc0"));
  return real;
}

} // namespace

gpointer
g_try_malloc0 (gsize n_bytes)
{
  if (++calls == fail_at)
    return nullptr;
  return real_try_malloc0 () (n_bytes);
}

namespace {

std::vector<void *> released;
void record_release (void *data) { released.push_back (data); }

void *P (uintptr_t value) { return reinterpret_cast<void *> (value); }

class AllocFailureTest : public vontle_test::GLibLogTest
{
protected:
  void SetUp () override
  {
    GLibLogTest::SetUp ();
    released.clear ();
    Arm (0);
  }
  void TearDown () override
  {
    Arm (0);
    GLibLogTest::TearDown ();
  }
};

TEST_F (AllocFailureTest, LibraryCallsReachTheInterposedAllocator)
{
  ASSERT_NE (real_try_malloc0 (), nullptr);
  Arm (0);
  g_autoptr (VontleList) list = vontle_list_new ();
  EXPECT_EQ (calls, 1u);
  g_autoptr (VontleNode) node = vontle_node_new (nullptr);
  EXPECT_EQ (calls, 3u);
  EXPECT_TRUE (list != nullptr && node != nullptr);
}

TEST_F (AllocFailureTest, ListConstructorsReturnNullSilently)
{
  StderrCapture capture;
  Arm (1);
  EXPECT_EQ (vontle_list_new (), nullptr);
  Arm (1);
  EXPECT_EQ (vontle_list_new_with_free (record_release), nullptr);
  Arm (1);
  EXPECT_EQ (vontle_sorted_list_new (nullptr), nullptr);
  Arm (1);
  EXPECT_EQ (vontle_sorted_list_new_with_free (nullptr, record_release), nullptr);
  EXPECT_EQ (capture.Finish (), "");
}

TEST_F (AllocFailureTest, IteratorReturnsNullAndLeavesTheListAlone)
{
  g_autoptr (VontleList) list = vontle_list_new_with_free (record_release);
  vontle_list_append (list, P (1));
  Arm (1);
  EXPECT_EQ (vontle_list_iterator (list), nullptr);
  EXPECT_EQ (calls, 1u);
  EXPECT_EQ (vontle_list_size (list), 1u);
  EXPECT_TRUE (released.empty ());
}

/* The handle comes first, the record second: failing the second must give
 * the handle back (the leak checkers watch this). */
TEST_F (AllocFailureTest, NodeNewReturnsNullWhicheverRecordFails)
{
  for (unsigned nth : { 1u, 2u })
    {
      SCOPED_TRACE (nth);
      Arm (nth);
      EXPECT_EQ (vontle_node_new (P (7)), nullptr);
      EXPECT_EQ (calls, nth);
    }
}

TEST_F (AllocFailureTest, AppendDataReportsChildAndLeavesTheTreeUnchanged)
{
  g_autoptr (VontleNode) root = vontle_node_new (P (1));
  vontle_node_set_free_function (root, record_release);
  VontleNode *first = vontle_node_append_data (root, P (2));
  for (unsigned nth : { 1u, 2u })
    {
      SCOPED_TRACE (nth);
      Arm (nth);
      EXPECT_EQ (vontle_node_append_data (root, P (3)), nullptr);
      ExpectCritical ("vontle_node_append_data", "child");
      EXPECT_EQ (vontle_node_get_num_children (root), 1u);
      EXPECT_EQ (vontle_node_get_parent (first), root);
      EXPECT_TRUE (released.empty ()) << "the data never became the tree's";
    }
}

TEST_F (AllocFailureTest, GetChildrenReportsList)
{
  g_autoptr (VontleNode) root = vontle_node_new (nullptr);
  vontle_node_append_data (root, nullptr);
  Arm (1);
  EXPECT_EQ (vontle_node_get_children (root), nullptr);
  ExpectCritical ("vontle_node_get_children", "list");
  EXPECT_EQ (vontle_node_get_num_children (root), 1u);
}

/* ------------------------------------------------------- user lookup -- */

/* A user other than the current one, from /etc/passwd. */
std::string
other_user ()
{
  const std::string wanted = g_strcmp0 (g_get_user_name (), "root") == 0 ? "daemon" : "root";
  std::ifstream passwd ("/etc/passwd");
  for (std::string line; std::getline (passwd, line);)
    if (line.compare (0, wanted.size () + 1, wanted + ":") == 0)
      return wanted;
  return {};
}

TEST_F (AllocFailureTest, OtherUsersHomeIsNullWithoutABuffer)
{
  const std::string user = other_user ();
  ASSERT_FALSE (user.empty ()) << "no second user in /etc/passwd";
  g_autofree char *home = vontle_get_home_directory (user.c_str ());
  ASSERT_NE (home, nullptr) << "the lookup must work when memory is there";

  Arm (1);
  EXPECT_EQ (vontle_get_home_directory (user.c_str ()), nullptr);
  EXPECT_EQ (calls, 1u);

  const std::string path = "~" + user + "/x";
  Arm (1);
  g_autofree char *fixed = vontle_fix_path (path.c_str ());
  EXPECT_STREQ (fixed, path.c_str ());
}

TEST_F (AllocFailureTest, UserLookupGivesUpWhenTheGrownBufferFails)
{
  const std::string user = other_user ();
  ASSERT_FALSE (user.empty ());
  /* One byte is too small for any entry, so the lookup asks for a second
   * buffer; the first one must be gone by then. */
  Arm (2);
  EXPECT_EQ (vontle::user_database_home_directory (user.c_str (), 1), nullptr);
  EXPECT_EQ (calls, 2u);
}

/* ----------------------------------------------------------- history -- */

} // namespace

/* A reader/writer that counts its calls and stores nothing. */
G_DECLARE_FINAL_TYPE (CountingStore, counting_store, COUNTING, STORE, GObject)

struct _CountingStore
{
  GObject parent;
  int appends;
  int reads;
};

namespace {

void
counting_append (VontleInputHistoryIO *io, const char *)
{
  COUNTING_STORE (io)->appends++;
}

VontleList *
counting_read (VontleInputHistoryIO *io)
{
  COUNTING_STORE (io)->reads++;
  return nullptr;
}

void
counting_iface_init (VontleInputHistoryIOInterface *iface)
{
  iface->append = counting_append;
  iface->read = counting_read;
}

} // namespace

G_DEFINE_TYPE_WITH_CODE (CountingStore, counting_store, G_TYPE_OBJECT,
                         G_IMPLEMENT_INTERFACE (VONTLE_TYPE_INPUT_HISTORY_IO, counting_iface_init))
static void counting_store_init (CountingStore *) {}
static void counting_store_class_init (CountingStoreClass *) {}

namespace {

TEST_F (AllocFailureTest, HistoryWithoutEntryListStopsSilently)
{
  g_autoptr (CountingStore) store = COUNTING_STORE (g_object_new (counting_store_get_type (), nullptr));
  auto *io = VONTLE_INPUT_HISTORY_IO (store);
  Arm (1);
  g_autoptr (VontleInputHistory) history = vontle_input_history_new (io);
  EXPECT_EQ (calls, 1u);

  StderrCapture capture;
  EXPECT_EQ (vontle_input_history_list (history), nullptr);
  EXPECT_EQ (store->reads, 0) << "the reset during construction stops before reading";
  vontle_input_history_append (history, "make");
  EXPECT_EQ (store->appends, 0);
  vontle_input_history_reset (history);
  EXPECT_EQ (store->reads, 0);
  EXPECT_EQ (vontle_input_history_previous (history, "m"), nullptr);
  EXPECT_EQ (vontle_input_history_next (history, "m"), nullptr);
  EXPECT_EQ (vontle_input_history_list (history), nullptr);
  EXPECT_EQ (capture.Finish (), "");
}

/* ---------------------------------------------------------- template -- */

/* The template makes its list of referenced names first, then its list of
 * variables. Without either it must neither leak nor misreport: names it
 * cannot list are still checked, and a variable it cannot keep is refused. */
TEST_F (AllocFailureTest, TemplateWithoutNameListStillEvaluates)
{
  Arm (1);
  g_autoptr (VontleTemplate) tmpl = vontle_template_new ("Hello @name@, @name@@other@");
  EXPECT_EQ (calls, 2u);
  EXPECT_EQ (vontle_template_referenced_variables (tmpl), nullptr);
  for (const char *name : { "name", "unreferenced" })
    {
      StderrCapture capture;
      EXPECT_EQ (vontle_template_evaluate (tmpl), nullptr) << name;
      EXPECT_THAT (capture.Finish (), HasSubstr ("do not have a value assigned"));
      EXPECT_TRUE (vontle_template_add_variable (tmpl, name));
    }
  vontle_template_set_variable_value (tmpl, "name", "world");
  {
    StderrCapture capture;
    EXPECT_EQ (vontle_template_evaluate (tmpl), nullptr) << "other is still missing";
    EXPECT_THAT (capture.Finish (), HasSubstr ("do not have a value assigned"));
  }
  EXPECT_TRUE (vontle_template_add_variable (tmpl, "other"));
  vontle_template_set_variable_value (tmpl, "other", "!");
  g_autofree char *result = vontle_template_evaluate (tmpl);
  EXPECT_STREQ (result, "Hello world, world!");
}

TEST_F (AllocFailureTest, TemplateWithoutVariableListRefusesVariables)
{
  Arm (2);
  g_autoptr (VontleTemplate) tmpl = vontle_template_new ("Hello @name@");
  EXPECT_EQ (calls, 2u);
  vontle_set_log_level (VONTLE_LOG_DEBUG);
  StderrCapture capture;
  EXPECT_FALSE (vontle_template_add_variable (tmpl, "name"));
  EXPECT_EQ (vontle_template_evaluate (tmpl), nullptr);
  vontle_template_set_base (tmpl, "plain");
  g_autofree char *plain = vontle_template_evaluate (tmpl);
  const std::string log = capture.Finish ();
  EXPECT_THAT (log, HasSubstr ("Could not create new variable."));
  EXPECT_STREQ (plain, "plain");
}

} // namespace

/* String-array storage whose read always serves two lines. */
G_DECLARE_FINAL_TYPE (TwoLinesStore, two_lines_store, TWO_LINES, STORE, VontleInputHistoryLinesIO)

struct _TwoLinesStore
{
  VontleInputHistoryLinesIO parent;
};

G_DEFINE_TYPE (TwoLinesStore, two_lines_store, VONTLE_TYPE_INPUT_HISTORY_LINES_IO)
static void two_lines_store_init (TwoLinesStore *) {}
static void
two_lines_store_class_init (TwoLinesStoreClass *klass)
{
  VONTLE_INPUT_HISTORY_LINES_IO_CLASS (klass)->append_line = [] (VontleInputHistoryLinesIO *, const char *) {};
  VONTLE_INPUT_HISTORY_LINES_IO_CLASS (klass)->read_lines = [] (VontleInputHistoryLinesIO *) {
    const char *lines[] = { "a", "b", nullptr };
    return g_strdupv (const_cast<char **> (lines));
  };
}

namespace {

/* The leak checks of the valgrind setup and the sanitizer build see whether
 * the read strings are released along with the array. */
TEST_F (AllocFailureTest, LinesReadWithoutAListRecordReleasesTheLines)
{
  g_autoptr (TwoLinesStore) store = TWO_LINES_STORE (g_object_new (two_lines_store_get_type (), nullptr));
  Arm (1);
  EXPECT_EQ (vontle_input_history_io_read (VONTLE_INPUT_HISTORY_IO (store)), nullptr);
  EXPECT_EQ (calls, 1u);
  Arm (0);
  g_autoptr (VontleList) list = vontle_input_history_io_read (VONTLE_INPUT_HISTORY_IO (store));
  ASSERT_NE (list, nullptr);
  EXPECT_EQ (list->size, 2u);
}

} // namespace
