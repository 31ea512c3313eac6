/* SPDX-License-Identifier: LGPL-2.1-or-later */
/* The C++ API: ownership of the handles, typed iteration, string arguments
 * and results, signal connections and history storage in a C++ class. Built
 * once as C++17 and once as C++20. */
#include "vontle-test.h"

#include <vontle/vontle.hpp>

#include <gio/gio.h>
#include <glib/gstdio.h>

#include <cstdint>
#include <cstring>
#include <string>
#include <vector>

using vontle_test::StderrCapture;
using ::testing::ElementsAre;
using ::testing::IsEmpty;
using Lines = std::vector<std::string>;

namespace {

std::vector<void *> released;
void record_release (void *data) { released.push_back (data); }
void *P (uintptr_t value) { return reinterpret_cast<void *> (value); }

class CppApiTest : public vontle_test::GLibLogTest
{
protected:
  void SetUp () override
  {
    GLibLogTest::SetUp ();
    released.clear ();
  }
};

Lines
strings (vontle::ListView<const char *> view)
{
  return Lines (view.begin (), view.end ());
}

TEST_F (CppApiTest, StringArgumentsAreNulTerminatedAndResultsKeepNull)
{
  const char *literal = "a b";
  EXPECT_EQ (vontle::StringArg (literal).c_str (), literal);
  const std::string text (200, 'x');
  EXPECT_EQ (vontle::StringArg (text).c_str (), text.c_str ());

  /* Views that end before a NUL, short (inline buffer) and long (heap). */
  const std::string_view words = "one two three";
  EXPECT_EQ (vontle::escape_string (words.substr (0, 7)).to_string (), "one\\ two");
  auto long_view = std::string_view (text).substr (0, 150);
  EXPECT_EQ (vontle::replace_substring (long_view, "x", std::string_view ("yz", 1)).to_string (),
             std::string (150, 'y'));

  vontle::UniqueString none = vontle::escape_string (nullptr);
  EXPECT_FALSE (none);
  EXPECT_EQ (none.to_optional (), std::nullopt);
  vontle::UniqueString some = vontle::escape_string ("");
  ASSERT_TRUE (some);
  EXPECT_EQ (some.to_optional (), std::optional<std::string> (""));
  vontle::UniqueString moved = std::move (some);
  EXPECT_FALSE (some);
  g_free (moved.release ());
  EXPECT_FALSE (moved);
}

TEST_F (CppApiTest, ListsFreeTheirElementsOnceWhateverTheMoves)
{
  auto list = vontle::List::create (record_release);
  list.append (P (1));
  list.append (P (2));
  vontle::List second = std::move (list);
  EXPECT_FALSE (list);
  EXPECT_EQ (second.size (), 2u);

  auto other = vontle::List::create (record_release);
  other.append (P (3));
  second = std::move (other); /* frees 1 and 2 */
  EXPECT_THAT (released, ElementsAre (P (1), P (2)));

  auto merged = vontle::List::create (record_release);
  merged.merge (std::move (second));
  EXPECT_FALSE (second);
  merged.merge (std::move (merged)); /* refused by the C call */
  ExpectCritical ("vontle_list_merge", "list != other");
  EXPECT_THAT (merged.as<uintptr_t> (), ElementsAre (3u));

  VontleList *raw = merged.release ();
  EXPECT_FALSE (merged);
  {
    auto adopted = vontle::List::adopt (raw);
  }
  EXPECT_THAT (released, ElementsAre (P (1), P (2), P (3)));
}

TEST_F (CppApiTest, TypedIterationFollowsTheListAsItChanges)
{
  auto words = vontle::List::create_sorted (
    [] (const void *a, const void *b) { return strcmp (static_cast<const char *> (a), static_cast<const char *> (b)); },
    g_free);
  for (const char *word : { "pear", "apple", "fig" })
    words.append (g_strdup (word));
  EXPECT_EQ (strings (words.as<const char *> ()), Lines ({ "apple", "fig", "pear" }));
  EXPECT_STREQ (words.as<const char *> ()[1], "fig");

  /* The end is read anew at every step: elements appended meanwhile are
   * visited, and a list that shrank is not read past its size. */
  auto numbers = vontle::List::create ();
  numbers.append (GINT_TO_POINTER (-1));
  numbers.append (GINT_TO_POINTER (2));
  std::vector<int> seen;
  for (int n : numbers.as<int> ())
    {
      seen.push_back (n);
      if (n == -1)
        {
          numbers.append (GINT_TO_POINTER (3));
          numbers.append (GINT_TO_POINTER (4));
        }
      else if (n == 3)
        numbers.remove (GINT_TO_POINTER (-1));
    }
  EXPECT_THAT (seen, ElementsAre (-1, 2, 3));
  EXPECT_THAT (vontle::ListView<void *> (nullptr), IsEmpty ());
}

/* find takes what sort takes; only a result's sign counts, however wide. */
TEST_F (CppApiTest, CallablesFindAndSortAsComparators)
{
  auto list = vontle::List::create ();
  for (uintptr_t n : { 3, 1, 4, 1, 5 })
    list.append (P (n));
  int calls = 0;
  auto same = [&calls] (const void *element, const void *wanted) { return calls++, element == wanted ? 0 : 1; };
  EXPECT_EQ (list.find<uintptr_t> (same, P (4)), 4u);
  EXPECT_EQ (calls, 3);
  EXPECT_EQ (list.find (same, P (9)), nullptr);

  list.sort ([] (const void *a, const void *b) {
    const auto difference = reinterpret_cast<intptr_t> (a) - reinterpret_cast<intptr_t> (b);
    return difference * (intptr_t (1) << 32); /* 0 when cut to an int */
  });
  EXPECT_THAT (list.as<uintptr_t> (), ElementsAre (1u, 1u, 3u, 4u, 5u));
}

/* Matches side by side all go (a range-for that removes skips every other);
 * a removal refused inside a sort steps on rather than trying forever. */
TEST_F (CppApiTest, RemoveIfTakesEveryMatchAndFreesEachOnce)
{
  auto list = vontle::List::create (record_release);
  for (uintptr_t n : { 2, 4, 5, 6, 8, 7 })
    list.append (P (n));
  EXPECT_EQ (list.remove_if<uintptr_t> ([] (uintptr_t n) { return n % 2 == 0; }), 4u);
  EXPECT_THAT (list.as<uintptr_t> (), ElementsAre (5u, 7u));
  EXPECT_THAT (released, ElementsAre (P (2), P (4), P (6), P (8)));

  bool once = false;
  list.sort ([&] (const void *a, const void *b) {
    if (!std::exchange (once, true))
      {
        EXPECT_EQ (vontle::erase_if (list, [] (void *) { return true; }), 0u);
      }
    return (a > b) - (a < b);
  });
  EXPECT_EQ (TakeMessages ().size (), 2u);
  EXPECT_EQ (vontle::erase_if (list, [] (void *element) { return element == P (7); }), 1u);
  EXPECT_THAT (list.as<uintptr_t> (), ElementsAre (5u));
}

TEST_F (CppApiTest, ListIteratorsWalkBothWaysAndCopyIndependently)
{
  auto empty = vontle::List::create ();
  auto none = vontle::ListIterator::create (empty);
  EXPECT_FALSE (none);
  EXPECT_FALSE (none.valid ());

  auto list = vontle::List::create ();
  for (uintptr_t i = 1; i <= 3; i++)
    list.append (P (i));
  auto it = vontle::ListIterator::create (list);
  ASSERT_TRUE (it.next ());
  auto copy = it.copy ();
  EXPECT_TRUE (copy.next ());
  EXPECT_FALSE (copy.next ());
  EXPECT_EQ (it.data<uintptr_t> (), 2u);
  it.remove ();
  EXPECT_EQ (it.data (), P (3));
  EXPECT_TRUE (it.previous ());
  EXPECT_FALSE (it.previous ());

  vontle::ListIterator moved = std::move (it);
  EXPECT_FALSE (it);
  EXPECT_FALSE (moved.valid ());
}

TEST_F (CppApiTest, NodesHandTheirChildrenToTheTree)
{
  auto root = vontle::Node::create (P (1), record_release);
  root.append_data (P (2));
  auto branch = vontle::Node::create (P (3), record_release);
  vontle::NodeRef attached = root.append (std::move (branch));
  EXPECT_FALSE (branch);
  EXPECT_EQ (attached.parent (), root);
  attached.append_data (P (4));

  auto orphan = vontle::Node::create (P (5), record_release);
  EXPECT_FALSE (vontle::NodeRef ().append (std::move (orphan)));
  ExpectCritical ("vontle_node_append", "parent && child");
  EXPECT_TRUE (orphan); /* still owned here, freed below */

  std::vector<uintptr_t> children;
  for (vontle::NodeRef child : root.children ())
    {
      children.push_back (child.data<uintptr_t> ());
      vontle_node_free (child.get ()); /* the walk has read past it already */
    }
  EXPECT_THAT (children, ElementsAre (2u, 3u));
  EXPECT_EQ (root.num_children (), 0u);
  EXPECT_THAT (released, ElementsAre (P (2), P (3), P (4)));

  vontle::Node moved = std::move (root);
  moved = std::move (orphan);
  EXPECT_THAT (released, ElementsAre (P (2), P (3), P (4), P (1)));
}

/* A range kept from children () reads the first child when a walk starts. */
TEST_F (CppApiTest, KeptChildrenRangeWalksTheChildrenOfNow)
{
  auto root = vontle::Node::create ();
  const vontle::NodeChildren kept = root.children ();
  root.append_data (P (1));
  root.append_data (P (2));
  EXPECT_EQ (std::distance (kept.begin (), kept.end ()), 2);
  vontle_node_free ((*kept.begin ()).get ());
  EXPECT_EQ ((*kept.begin ()).data<uintptr_t> (), 2u);
}

TEST_F (CppApiTest, ObjectHandlesCountReferences)
{
  auto object = vontle::Template::create ("Hi @who@");
  GObject *raw = G_OBJECT (object.get ());
  g_object_add_weak_pointer (raw, reinterpret_cast<gpointer *> (&raw));
  {
    vontle::Template copy = object;
    EXPECT_EQ (raw->ref_count, 2u);
    vontle::Template stolen = std::move (copy);
    EXPECT_FALSE (copy);
    EXPECT_EQ (raw->ref_count, 2u);
    object = stolen;
    EXPECT_EQ (raw->ref_count, 2u);
  }
  EXPECT_EQ (raw->ref_count, 1u);
  auto extra = vontle::Template::ref (object.get ());
  object = vontle::Template ();
  ASSERT_NE (raw, nullptr);
  extra = vontle::Template ();
  EXPECT_EQ (raw, nullptr);
}

TEST_F (CppApiTest, TemplatesTakeViewsAndReportMissingResultsAsEmpty)
{
  auto object = vontle::Template::create (std::string_view ("@a@ and @b@!!").substr (0, 11));
  EXPECT_EQ (object.base (), "@a@ and @b@");
  EXPECT_EQ (strings (object.referenced_variables ()), Lines ({ "a", "b" }));
  EXPECT_TRUE (object.add_variable (std::string ("a")));
  {
    StderrCapture capture;
    EXPECT_FALSE (object.evaluate ());
  }
  EXPECT_TRUE (object.add_variable ("b"));
  object.set_variable_value ("b", std::string_view ("xyz", 2));
  EXPECT_EQ (object.evaluate ().to_string (), " and xy");
}

TEST_F (CppApiTest, HandlersStopWithTheirConnection)
{
  auto object = vontle::Template::create ("@x@");
  std::vector<std::string> names;
  int changes = 0;
  vontle::Connection named = object.on_variable_changed ([&] (vontle::Template &self, std::string_view name) {
    EXPECT_EQ (self.get (), object.get ());
    names.emplace_back (name);
  });
  auto counted = object.on_changed ([&changes] { changes++; });
  /* A one-shot handler that drops its own connection while it runs. */
  vontle::Connection once;
  once = object.on_base_changed ([&once] (vontle::Template &) { once.disconnect (); });
  object.add_variable ("x");
  object.set_base ("b");
  object.set_base ("c");
  EXPECT_FALSE (once.connected ());
  EXPECT_THAT (names, ElementsAre ("x"));
  EXPECT_EQ (changes, 3);

  {
    vontle::Connection moved = std::move (named);
    EXPECT_FALSE (named.connected ());
  }
  counted.disconnect ();
  object.set_variable_value ("x", "1");
  EXPECT_THAT (names, ElementsAre ("x"));
  EXPECT_EQ (changes, 3);

  /* The object dies first: the connection empties and stays harmless. */
  auto last = object.on_changed ([] {});
  object = vontle::Template ();
  EXPECT_FALSE (last.connected ());

  /* GLib's own reports, as for g_signal_connect () on NULL; the slot is freed. */
  vontle::Connection refused = object.on_changed ([] {});
  EXPECT_FALSE (refused.connected ());
  auto messages = TakeMessages ();
  ASSERT_FALSE (messages.empty ());
  EXPECT_EQ (messages.back ().level, G_LOG_LEVEL_CRITICAL);
  EXPECT_THAT (messages.back ().message, ::testing::StartsWith ("g_signal_connect_data"));
}

/* Storage kept in a vector, the way a file would keep it. */
class MemoryStorage : public vontle::InputHistoryStorage
{
public:
  void append (std::string_view line) override { lines.emplace_back (line); }
  std::optional<std::vector<std::string>> read () override
  {
    reads++;
    return nothing_stored ? std::nullopt : std::optional<Lines> (lines);
  }

  Lines lines;
  bool nothing_stored = false;
  int reads = 0;
};

TEST_F (CppApiTest, StorageInACppClassDrivesAHistory)
{
  MemoryStorage storage;
  storage.lines = { "open notes.txt", "close" };
  auto history = vontle::InputHistory::create (storage);
  EXPECT_EQ (storage.reads, 1);
  EXPECT_EQ (strings (history.list ()), storage.lines);

  history.append (std::string_view ("open todo.txt and more").substr (0, 13));
  EXPECT_EQ (storage.lines.back (), "open todo.txt");
  EXPECT_EQ (storage.reads, 2);
  EXPECT_EQ (strings (history.list ()), Lines ({ "open notes.txt", "close", "open todo.txt" }));

  EXPECT_EQ (history.previous ("op"), "open todo.txt");
  EXPECT_EQ (history.previous ("op"), "open notes.txt");
  EXPECT_EQ (history.previous ("op"), nullptr);
  EXPECT_EQ (history.next ("op"), "open todo.txt");

  storage.nothing_stored = true;
  history.reset ();
  EXPECT_THAT (strings (history.list ()), IsEmpty ());
}

TEST_F (CppApiTest, StorageIsTheLibrarysClassAndOutlivedSafely)
{
  auto history = vontle::InputHistory::create ();
  {
    MemoryStorage first, second;
    EXPECT_EQ (G_OBJECT_TYPE (first.io ()), G_OBJECT_TYPE (second.io ()));
    EXPECT_TRUE (VONTLE_IS_INPUT_HISTORY_IO (first.io ()));
    /* The library's class: the including module registers none. */
    EXPECT_EQ (G_OBJECT_TYPE (first.io ()), VONTLE_TYPE_INPUT_HISTORY_CALLBACK_IO);

    first.lines = { "kept" };
    history = vontle::InputHistory::create (first);
    EXPECT_EQ (strings (history.list ()), Lines ({ "kept" }));
  }
  /* The storage is gone; the history holds the GObject, which forgot it. */
  history.append ("after");
  EXPECT_THAT (strings (history.list ()), IsEmpty ());
}

/* The history holds the store, so the store's handle may be a temporary;
 * a line that could not be written stays pending and is written by flush. */
TEST_F (CppApiTest, FileStoreKeepsTheHistoryAndItsPendingLines)
{
  g_autofree char *dir = g_dir_make_tmp ("vontle-cpp-XXXXXX", nullptr);
  g_autofree char *blocker = g_build_filename (dir, "state", nullptr);
  const std::string path = std::string (blocker) + "/history";
  auto store = vontle::InputHistoryFile::create (path);
  ASSERT_TRUE (store);
  EXPECT_EQ (store.path (), path);
  store.set_max_entries (2);
  EXPECT_EQ (store.max_entries (), 2u);

  ASSERT_TRUE (g_file_set_contents (blocker, "", 0, nullptr)); /* a file where the directory goes */
  auto history = vontle::InputHistory::create (store);
  {
    StderrCapture capture;
    history.append ("typed");
  }
  EXPECT_EQ (store.pending (), 1u);
  EXPECT_EQ (strings (history.list ()), Lines ({ "typed" }));
  GError *error = nullptr;
  {
    StderrCapture capture;
    EXPECT_FALSE (store.flush (&error));
  }
  ASSERT_NE (error, nullptr);
  EXPECT_NE (std::string (error->message).find (path), std::string::npos);
  g_clear_error (&error);

  ASSERT_EQ (g_remove (blocker), 0);
  {
    StderrCapture capture; /* the recovery is reported */
    EXPECT_TRUE (store.flush ());
  }
  EXPECT_EQ (store.pending (), 0u);
  auto reread = vontle::InputHistory::create (vontle::InputHistoryFile::create (path));
  reread.append ("open");
  reread.append ("close");
  EXPECT_EQ (strings (reread.list ()), Lines ({ "typed", "open", "close" }));
  history.reset ();
  EXPECT_EQ (strings (history.list ()), Lines ({ "open", "close" })); /* max-entries 2 */

  g_autofree char *history_file = g_build_filename (blocker, "history", nullptr);
  g_remove (history_file);
  g_rmdir (blocker);
  g_rmdir (dir);
}

TEST_F (CppApiTest, EmptyFileStoreHandleWarnsOnEveryCall)
{
  vontle::InputHistoryFile empty;
  const std::pair<const char *, unsigned (*) (vontle::InputHistoryFile &)> calls[] = {
    { "max_entries", [] (vontle::InputHistoryFile &f) { return f.max_entries (); } },
    { "set_max_entries", [] (vontle::InputHistoryFile &f) { return f.set_max_entries (3), 0u; } },
    { "sync", [] (vontle::InputHistoryFile &f) { return unsigned (f.sync ()); } },
    { "set_sync", [] (vontle::InputHistoryFile &f) { return f.set_sync (true), 0u; } },
    { "pending", [] (vontle::InputHistoryFile &f) { return f.pending (); } },
  };
  for (const auto &[name, call] : calls)
    {
      SCOPED_TRACE (name);
      EXPECT_EQ (call (empty), 0u);
      std::string function = "vontle::InputHistoryFile::";
      function += name;
      ExpectCritical (function, "VONTLE_IS_INPUT_HISTORY_FILE (file)");
    }
  EXPECT_EQ (empty.path (), nullptr);
  ExpectCritical ("vontle_input_history_file_get_path", "VONTLE_IS_INPUT_HISTORY_FILE (file)");
}

TEST_F (CppApiTest, ModelShowsTheHistoryNewestFirst)
{
  auto history = vontle::InputHistory::create ();
  history.append ("make");
  history.append ("ls");
  const auto model = vontle::InputHistoryModel::create (history);
  EXPECT_EQ (model.history (), history);
  g_autoptr (VontleInputHistoryEntry) newest
    = VONTLE_INPUT_HISTORY_ENTRY (g_list_model_get_item (model.list_model (), 0));
  EXPECT_STREQ (vontle_input_history_entry_get_text (newest), "ls");
}

/* A handler hears what the store reports, until its connection goes; a
 * reader/writer without the live interface is refused. */
TEST_F (CppApiTest, LiveReaderWriterReportsToConnectedHandlers)
{
  auto store = vontle::InputHistoryFile::create ("/nonexistent/history");
  auto live = vontle::InputHistoryLiveIO::ref (VONTLE_INPUT_HISTORY_LIVE_IO (store.get ()));
  EXPECT_EQ (live.io (), store.io ());
  int heard = 0;
  {
    auto connection = live.on_storage_changed ([&heard] { heard++; });
    live.emit_storage_changed ();
  }
  live.emit_storage_changed ();
  EXPECT_EQ (heard, 1);

  auto history = vontle::InputHistory::create ();
  EXPECT_FALSE (vontle::InputHistoryLiveIO::ref (reinterpret_cast<VontleInputHistoryLiveIO *> (history.get ())));
  ExpectCritical ("vontle::InputHistoryLiveIO::ref", "VONTLE_IS_INPUT_HISTORY_LIVE_IO (io)");
}

TEST_F (CppApiTest, SearchHandleAndFindGiveOptionalIndices)
{
  auto history = vontle::InputHistory::create ();
  for (const char *line : { "git status", "make", "git commit" })
    history.append (line);
  constexpr auto mode = VONTLE_INPUT_HISTORY_MATCH_SUBSTRING;
  EXPECT_EQ (vontle::find (history, "git", mode), std::optional<std::size_t> (2));
  EXPECT_EQ (vontle::find (history, std::string ("git"), mode, 2), std::optional<std::size_t> (0));
  EXPECT_EQ (vontle::find (history, "git", mode, 0), std::nullopt);
  auto search = vontle::InputHistorySearch::create (history, mode);
  search.set_query ("git");
  EXPECT_EQ (search.history (), history);
  EXPECT_STREQ (search.query (), "git");
  EXPECT_EQ (g_list_model_get_n_items (search.list_model ()), 2U);
}

TEST_F (CppApiTest, FileStoreRefusesAnApplicationIdThatIsAPath)
{
  EXPECT_FALSE (vontle::InputHistoryFile::for_application ("../x"));
  ExpectCritical ("vontle_input_history_file_new_for_application", "strchr (application_id, '/') == NULL");
}

} // namespace
