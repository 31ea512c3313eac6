/* SPDX-License-Identifier: LGPL-2.1-or-later */
#include "vontle-test.h"

#include <algorithm>
#include <functional>
#include <string>
#include <vector>

#include <gio/gio.h>

namespace {

using Lines = std::vector<std::string>;
using Change = std::vector<guint>; /* position, removed, added */

/* Storage whose lines the test changes behind the history's back. */
struct Storage
{
  Lines lines;
  std::function<void ()> during_read;
};

char **
read_storage (gpointer data)
{
  auto *storage = static_cast<Storage *> (data);
  if (storage->during_read)
    std::exchange (storage->during_read, nullptr) ();
  char **copy = g_new0 (char *, storage->lines.size () + 1);
  for (size_t i = 0; i < storage->lines.size (); i++)
    copy[i] = g_strdup (storage->lines[i].c_str ());
  return copy;
}

VontleInputHistoryIO *
io_over (Storage *storage)
{
  /* Each line once, at its newest place, as the file store keeps them. */
  auto append = [] (const char *line, gpointer data) {
    Lines &lines = static_cast<Storage *> (data)->lines;
    std::erase (lines, std::string (line));
    lines.emplace_back (line);
  };
  return VONTLE_INPUT_HISTORY_IO (vontle_input_history_callback_io_new (append, read_storage, storage, nullptr));
}

/* The same storage behind a reader/writer that reports changes made
 * behind the history's back, as the file store does. */
struct _LiveStore
{
  GObject parent_instance;
  Storage *storage;
};
G_DECLARE_FINAL_TYPE (LiveStore, live_store, TEST, LIVE_STORE, GObject)

void
live_store_io_init (VontleInputHistoryIOInterface *iface)
{
  iface->append = [] (VontleInputHistoryIO *io, const char *line) {
    std::erase (TEST_LIVE_STORE (io)->storage->lines, std::string (line));
    TEST_LIVE_STORE (io)->storage->lines.emplace_back (line);
  };
  iface->read = [] (VontleInputHistoryIO *io) {
    g_auto (GStrv) lines = read_storage (TEST_LIVE_STORE (io)->storage);
    VontleList *list = vontle_list_new_with_free (g_free);
    for (char **line = lines; *line != nullptr; line++)
      vontle_list_append (list, g_strdup (*line));
    return list;
  };
}

void
live_store_live_init (VontleInputHistoryLiveIOInterface * /*iface*/)
{
}

G_DEFINE_TYPE_WITH_CODE (LiveStore, live_store, G_TYPE_OBJECT,
                         G_IMPLEMENT_INTERFACE (VONTLE_TYPE_INPUT_HISTORY_IO, live_store_io_init)
                         G_IMPLEMENT_INTERFACE (VONTLE_TYPE_INPUT_HISTORY_LIVE_IO, live_store_live_init))

void live_store_class_init (LiveStoreClass * /*klass*/) {}
void live_store_init (LiveStore * /*store*/) {}

VontleInputHistoryIO *
live_io_over (Storage *storage)
{
  auto *store = TEST_LIVE_STORE (g_object_new (live_store_get_type (), nullptr));
  store->storage = storage;
  return VONTLE_INPUT_HISTORY_IO (store);
}

using Mirror = vontle_test::ModelMirror;

Lines
newest_first (VontleInputHistory *history)
{
  g_auto (GStrv) lines = vontle_input_history_dup_lines (history);
  Lines result (lines, lines + g_strv_length (lines));
  return Lines (result.rbegin (), result.rend ());
}

/* What the model gives now, cached items included. */
Lines
items_of (GListModel *model)
{
  Lines items;
  for (guint i = 0; i < g_list_model_get_n_items (model); i++)
    {
      g_autoptr (VontleInputHistoryEntry) entry = VONTLE_INPUT_HISTORY_ENTRY (g_list_model_get_item (model, i));
      items.emplace_back (vontle_input_history_entry_get_text (entry));
    }
  return items;
}

class HistoryModelTest : public vontle_test::GLibLogTest
{
};

struct Case
{
  const char *what;
  std::function<void (VontleInputHistory *, Storage &, Storage &)> change;
  std::vector<Change> expected;
};

TEST_F (HistoryModelTest, ItemsChangedTellsEveryChangeInTheSmallestTerms)
{
  Storage first { { "a", "b", "c" }, nullptr }, second { { "c", "d", "x", "e" }, nullptr };
  g_autoptr (VontleInputHistoryIO) first_io = io_over (&first);
  g_autoptr (VontleInputHistoryIO) second_io = io_over (&second);
  g_autoptr (VontleInputHistory) history = vontle_input_history_new (first_io);
  g_autoptr (VontleInputHistoryModel) model = vontle_input_history_model_new (history);
  Mirror mirror { newest_first (history), {} };
  g_signal_connect (model, "items-changed", G_CALLBACK (Mirror::on_items_changed), &mirror);

  const Case cases[] = {
    { "new line", [] (auto *h, auto &, auto &) { vontle_input_history_append (h, "d"); }, { { 0, 0, 1 } } },
    { "repeated line", [] (auto *h, auto &, auto &) { vontle_input_history_append (h, "b"); },
      { { 2, 1, 0 }, { 0, 0, 1 } } },
    { "walk", [] (auto *h, auto &, auto &) { vontle_input_history_previous (h, ""); }, {} },
    { "line appended elsewhere",
      [] (auto *h, auto &s, auto &) { s.lines.emplace_back ("e"); vontle_input_history_reset (h); },
      { { 0, 0, 1 } } },
    { "oldest dropped elsewhere",
      [] (auto *h, auto &s, auto &) { s.lines.erase (s.lines.begin ()); vontle_input_history_reset (h); },
      { { 4, 1, 0 } } },
    { "another reader/writer",
      [&] (auto *h, auto &, auto &) { g_object_set (h, "io", second_io, nullptr); }, { { 1, 1, 1 } } },
    { "no reader/writer", [] (auto *h, auto &, auto &) { g_object_set (h, "io", nullptr, nullptr); }, {} },
    { "in memory again", [] (auto *h, auto &, auto &) { vontle_input_history_append (h, "c"); },
      { { 3, 1, 0 }, { 0, 0, 1 } } },
    { "a read that appends to the history",
      [&] (auto *h, auto &, auto &t) {
        g_object_set (h, "io", second_io, nullptr);
        t.during_read = [h] { vontle_input_history_append (h, "nested"); };
        vontle_input_history_reset (h);
      },
      /* The reload's emptying is told before the nested append. */
      { { 4, 0, 1 }, { 0, 1, 0 }, { 0, 4, 0 }, { 0, 0, 1 }, { 1, 0, 4 }, { 0, 5, 5 } } },
    { "lent list edited, and reported",
      [] (auto *h, auto &, auto &) {
        vontle_list_append (vontle_input_history_list (h), g_strdup ("p"));
        vontle_input_history_entries_changed (h, 5, 0, 1);
      },
      { { 0, 0, 1 } } },
    { "a report that does not fit: the model starts over",
      [] (auto *h, auto &, auto &) {
        vontle_list_append (vontle_input_history_list (h), g_strdup ("q"));
        vontle_input_history_entries_changed (h, 99, 0, 1);
      },
      { { 0, 6, 7 } } },
  };
  for (const Case &c : cases)
    {
      mirror.changes.clear ();
      c.change (history, first, second);
      EXPECT_EQ (mirror.changes, c.expected) << c.what;
      EXPECT_EQ (mirror.items, newest_first (history)) << c.what;
      EXPECT_EQ (items_of (G_LIST_MODEL (model)), mirror.items) << c.what;
    }
}

/* A reload that another process caused is told as the insertions and
 * removals it consists of, so that the items of entries that stay are the
 * same objects, at their new places. */
TEST_F (HistoryModelTest, ReloadKeepsTheItemsOfEntriesThatStay)
{
  Lines many;
  for (int i = 0; i < 70; i++)
    many.push_back (std::string ("n").append (std::to_string (i))); /* GCC 12 -O3 misreads "n" + std::string */
  const struct
  {
    const char *what;
    Lines after; /* oldest first */
    std::vector<Change> expected;
    Lines kept; /* newest first */
  } cases[] = {
    { "a foreign line at the cap", { "b", "c", "d", "e", "f" }, { { 4, 1, 0 }, { 0, 0, 1 } }, { "e", "d", "c", "b" } },
    { "a repeated middle line", { "a", "b", "d", "e", "c" }, { { 2, 1, 0 }, { 0, 0, 1 } }, { "e", "d", "b", "a" } },
    { "an insertion in front of items", { "a", "x", "b", "c", "d", "e" }, { { 4, 0, 1 } },
      { "e", "d", "c", "b", "a" } },
    { "removals and insertions apart", { "c", "x", "d", "e", "f", "g" }, { { 3, 2, 0 }, { 2, 0, 1 }, { 0, 0, 2 } },
      { "e", "d", "c" } },
    { "too many changes: one replacement", many, { { 0, 5, 70 } }, {} },
  };
  for (const auto &c : cases)
    {
      Storage storage { { "a", "b", "c", "d", "e" }, nullptr };
      g_autoptr (VontleInputHistoryIO) io = io_over (&storage);
      g_autoptr (VontleInputHistory) history = vontle_input_history_new (io);
      g_autoptr (VontleInputHistoryModel) model = vontle_input_history_model_new (history);
      auto *list = G_LIST_MODEL (model);
      std::vector<GObject *> held;
      for (guint i = 0; i < g_list_model_get_n_items (list); i++)
        held.push_back (G_OBJECT (g_list_model_get_item (list, i)));
      Mirror mirror { newest_first (history), {} };
      g_signal_connect (model, "items-changed", G_CALLBACK (Mirror::on_items_changed), &mirror);

      storage.lines = c.after;
      vontle_input_history_reset (history);
      EXPECT_EQ (mirror.changes, c.expected) << c.what;
      EXPECT_EQ (mirror.items, newest_first (history)) << c.what;
      EXPECT_EQ (items_of (list), mirror.items) << c.what;
      Lines kept;
      for (guint i = 0; i < g_list_model_get_n_items (list); i++)
        {
          g_autoptr (GObject) item = G_OBJECT (g_list_model_get_item (list, i));
          if (std::find (held.begin (), held.end (), item) != held.end ())
            kept.emplace_back (vontle_input_history_entry_get_text (VONTLE_INPUT_HISTORY_ENTRY (item)));
        }
      EXPECT_EQ (kept, c.kept) << c.what;
      std::for_each (held.begin (), held.end (), g_object_unref);
    }
}

/* A reader/writer that looks at the model while the history reloads sees
 * the entries as they were, whole: the count and the items agree. */
TEST_F (HistoryModelTest, AnswersDuringAReloadAgreeWithEachOther)
{
  Storage storage { { "a", "b", "c" }, nullptr };
  g_autoptr (VontleInputHistoryIO) io = io_over (&storage);
  g_autoptr (VontleInputHistory) history = vontle_input_history_new (io);
  g_autoptr (VontleInputHistoryModel) model = vontle_input_history_model_new (history);
  Lines seen;
  storage.lines.emplace_back ("d");
  storage.during_read = [&] { seen = items_of (G_LIST_MODEL (model)); };
  vontle_input_history_reset (history);
  EXPECT_EQ (seen, Lines ({ "c", "b", "a" }));
  EXPECT_EQ (items_of (G_LIST_MODEL (model)), Lines ({ "d", "c", "b", "a" }));
}

/* The model keeps an item only while someone holds it: dropped, it is
 * freed and made anew when asked for; held, it is the same object, also
 * past the model's end. */
TEST_F (HistoryModelTest, ItemsLiveOnlyWhileHeld)
{
  g_autoptr (VontleInputHistory) history = vontle_input_history_new (nullptr);
  for (const char *line : { "a", "b", "c" })
    vontle_input_history_append (history, line);
  auto *model = vontle_input_history_model_new (history);
  auto *list = G_LIST_MODEL (model);
  gpointer dropped = g_list_model_get_item (list, 1);
  g_object_add_weak_pointer (G_OBJECT (dropped), &dropped);
  g_object_unref (dropped);
  EXPECT_EQ (dropped, nullptr) << "kept after its last holder let go";

  g_autoptr (GObject) held = G_OBJECT (g_list_model_get_item (list, 1));
  vontle_input_history_append (history, "d"); /* moves it to index 2 */
  g_autoptr (GObject) again = G_OBJECT (g_list_model_get_item (list, 2));
  EXPECT_EQ (again, held);
  EXPECT_EQ (items_of (list), Lines ({ "d", "c", "b", "a" }));
  g_object_unref (model);
  EXPECT_STREQ (vontle_input_history_entry_get_text (VONTLE_INPUT_HISTORY_ENTRY (held)), "b");
}

TEST_F (HistoryModelTest, AnswersAsAListModelAndRefusesWhatIsNone)
{
  g_autoptr (VontleInputHistory) history = vontle_input_history_new (nullptr);
  vontle_input_history_append (history, "a");
  g_autoptr (VontleInputHistoryModel) model = vontle_input_history_model_new (history);
  EXPECT_EQ (g_list_model_get_item_type (G_LIST_MODEL (model)), VONTLE_TYPE_INPUT_HISTORY_ENTRY);
  EXPECT_EQ (g_list_model_get_item (G_LIST_MODEL (model), 1), nullptr);
  g_autoptr (VontleInputHistory) held = nullptr;
  g_object_get (model, "history", &held, nullptr);
  EXPECT_EQ (held, history);

  g_autoptr (GObject) entry = G_OBJECT (g_list_model_get_item (G_LIST_MODEL (model), 0));
  g_autoptr (GParamSpec) bogus
    = g_param_spec_ref_sink (g_param_spec_int ("bogus", nullptr, nullptr, 0, 1, 0, G_PARAM_READWRITE));
  g_auto (GValue) value = G_VALUE_INIT;
  g_value_init (&value, G_TYPE_INT);
  for (GObject *object : { G_OBJECT (model), entry })
    {
      G_OBJECT_GET_CLASS (object)->set_property (object, 2, &value, bogus);
      G_OBJECT_GET_CLASS (object)->get_property (object, 2, &value, bogus);
    }
  const auto warnings = TakeMessages ();
  ASSERT_EQ (warnings.size (), 4u);
  for (const auto &warning : warnings)
    EXPECT_THAT (warning.message, testing::HasSubstr ("invalid property id 2 for \"bogus\""));

  EXPECT_EQ (vontle_input_history_model_new (nullptr), nullptr);
  ExpectCritical ("vontle_input_history_model_new", "VONTLE_IS_INPUT_HISTORY (history)");
  EXPECT_EQ (vontle_input_history_model_get_history (nullptr), nullptr);
  ExpectCritical ("vontle_input_history_model_get_history", "VONTLE_IS_INPUT_HISTORY_MODEL (model)");
  EXPECT_EQ (vontle_input_history_entry_get_text (nullptr), nullptr);
  ExpectCritical ("vontle_input_history_entry_get_text", "VONTLE_IS_INPUT_HISTORY_ENTRY (entry)");
}

/* Storage that changed during a walk shows once the walk ends, not under
 * it: the walk goes on over the entries it started with. */
TEST_F (HistoryModelTest, StorageChangedDuringAWalkWaitsForItsEnd)
{
  Storage storage { { "make", "ls", "make install" }, nullptr };
  g_autoptr (VontleInputHistoryIO) io = live_io_over (&storage);
  g_autoptr (VontleInputHistory) history = vontle_input_history_new (io);
  g_autoptr (VontleInputHistoryModel) model = vontle_input_history_model_new (history);

  EXPECT_STREQ (vontle_input_history_previous (history, "ma"), "make install");
  storage.lines.emplace_back ("make check");
  g_signal_emit_by_name (io, "storage-changed");
  for (int i = 0; i < 20; i++)
    g_main_context_iteration (nullptr, FALSE);
  EXPECT_STREQ (vontle_input_history_previous (history, "ma"), "make");
  EXPECT_EQ (g_list_model_get_n_items (G_LIST_MODEL (model)), 3U);

  EXPECT_STREQ (vontle_input_history_next (history, "make"), "make install");
  EXPECT_STREQ (vontle_input_history_next (history, "make install"), "ma");
  const gint64 deadline = g_get_monotonic_time () + 3 * G_USEC_PER_SEC;
  while (g_list_model_get_n_items (G_LIST_MODEL (model)) == 3 && g_get_monotonic_time () < deadline)
    g_main_context_iteration (nullptr, TRUE);
  EXPECT_EQ (newest_first (history), Lines ({ "make check", "make install", "ls", "make" }));

  /* Outside a walk the reload is at once. */
  storage.lines.emplace_back ("exit");
  g_signal_emit_by_name (io, "storage-changed");
  EXPECT_EQ (g_list_model_get_n_items (G_LIST_MODEL (model)), 5U);
}

/* A walk that goes on for longer than the reload's checks is not reset
 * under the user; once it rests, the reload lets it go on from its entry:
 * Up gives the next older match, Down passes the new line on its way back
 * to the typed text. */
TEST_F (HistoryModelTest, ARestingWalkGoesOnOverLinesAddedMeanwhile)
{
  Storage storage { { "make a", "ls", "make b", "make c" }, nullptr };
  g_autoptr (VontleInputHistoryIO) io = live_io_over (&storage);
  g_autoptr (VontleInputHistory) history = vontle_input_history_new (io);
  g_autoptr (VontleInputHistoryModel) model = vontle_input_history_model_new (history);
  auto *list = G_LIST_MODEL (model);
  auto run_loop_until = [] (const std::function<bool ()> &done, gint64 usec) {
    const gint64 deadline = g_get_monotonic_time () + usec;
    while (!done () && g_get_monotonic_time () < deadline)
      if (!g_main_context_iteration (nullptr, FALSE))
        g_usleep (20000);
  };

  EXPECT_STREQ (vontle_input_history_previous (history, "ma"), "make c");
  storage.lines.emplace_back ("make d");
  g_signal_emit_by_name (io, "storage-changed");
  run_loop_until ([] { return false; }, G_USEC_PER_SEC * 12 / 10);
  EXPECT_EQ (g_list_model_get_n_items (list), 4U) << "reloaded during the walk";
  EXPECT_STREQ (vontle_input_history_previous (history, "make c"), "make b");

  run_loop_until ([&] { return g_list_model_get_n_items (list) == 5; }, 8 * G_USEC_PER_SEC);
  ASSERT_EQ (g_list_model_get_n_items (list), 5U);
  EXPECT_STREQ (vontle_input_history_previous (history, "make b"), "make a");
  for (const char *expected : { "make b", "make c", "make d", "ma" })
    EXPECT_STREQ (vontle_input_history_next (history, "make"), expected);
}

/* Another process appends to the file, through a directory that did not
 * exist when the store started watching. Spawned, not forked: the file
 * monitor runs a thread. */
TEST_F (HistoryModelTest, LinesOtherProcessesAppendShowLive)
{
  g_autofree char *dir = g_dir_make_tmp ("vontle-history-model-XXXXXX", nullptr);
  g_autofree char *path = g_build_filename (dir, "state", "app", "history", nullptr);
  g_autoptr (VontleInputHistoryFile) store = vontle_input_history_file_new (path);
  g_autoptr (VontleInputHistory) history = vontle_input_history_new (VONTLE_INPUT_HISTORY_IO (store));
  g_autoptr (VontleInputHistoryModel) model = vontle_input_history_model_new (history);
  Mirror mirror;
  g_signal_connect (model, "items-changed", G_CALLBACK (Mirror::on_items_changed), &mirror);
  g_main_context_iteration (nullptr, FALSE); /* the watch starts with the loop */

  auto other_process_appends = [&] (const char *line) {
    const char *script = "mkdir -p \"${0%/*}\" && printf '%s\\n' \"$1\" >> \"$0\"";
    const char *argv[] = { "/bin/sh", "-c", script, path, line, nullptr };
    ASSERT_TRUE (g_spawn_sync (nullptr, const_cast<char **> (argv), nullptr, G_SPAWN_DEFAULT, nullptr,
                               nullptr, nullptr, nullptr, nullptr, nullptr));
    const gint64 deadline = g_get_monotonic_time () + 3 * G_USEC_PER_SEC;
    /* Not blocking: GLib's own poll of a missing directory must not pass. */
    while ((mirror.items.empty () || mirror.items[0] != line) && g_get_monotonic_time () < deadline)
      if (!g_main_context_iteration (nullptr, FALSE))
        g_usleep (10000);
  };
  other_process_appends ("from elsewhere");
  EXPECT_EQ (mirror.items, Lines ({ "from elsewhere" }));
  vontle_input_history_append (history, "mine");
  other_process_appends ("again");
  EXPECT_EQ (mirror.items, Lines ({ "again", "mine", "from elsewhere" }));
  EXPECT_EQ (mirror.items, newest_first (history));

  const char *rm[] = { "/bin/rm", "-rf", dir, nullptr };
  g_spawn_sync (nullptr, const_cast<char **> (rm), nullptr, G_SPAWN_DEFAULT, nullptr, nullptr, nullptr,
                nullptr, nullptr, nullptr);
}

} // namespace
