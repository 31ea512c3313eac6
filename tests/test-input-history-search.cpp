/* SPDX-License-Identifier: LGPL-2.1-or-later */
#include "vontle-test.h"

#include <cstring>
#include <functional>
#include <string>
#include <tuple>
#include <utility>
#include <vector>

#include <gio/gio.h>

namespace {

using Lines = std::vector<std::string>;
using Positions = std::vector<guint>;
using Found = std::vector<std::pair<std::string, Positions>>;
using Change = std::vector<guint>; /* position, removed, added */

VontleInputHistory *
history_of (const Lines &lines)
{
  VontleInputHistory *history = vontle_input_history_new (nullptr);
  for (const std::string &line : lines)
    vontle_input_history_append (history, line.c_str ());
  return history;
}

Found
found_in (GListModel *model)
{
  Found found;
  for (guint i = 0; i < g_list_model_get_n_items (model); i++)
    {
      g_autoptr (VontleInputHistoryMatch) match = VONTLE_INPUT_HISTORY_MATCH (g_list_model_get_item (model, i));
      guint n = 0;
      const guint *positions = vontle_input_history_match_get_positions (match, &n);
      found.emplace_back (vontle_input_history_match_get_text (match), Positions (positions, positions + n));
    }
  return found;
}

Found
fresh_search (VontleInputHistory *history, const char *query, VontleInputHistoryMatchMode mode)
{
  g_autoptr (VontleInputHistorySearch) search = vontle_input_history_search_new (history, mode);
  vontle_input_history_search_set_query (search, query);
  return found_in (G_LIST_MODEL (search));
}

using Mirror = vontle_test::ModelMirror;

Lines
texts (const Found &found)
{
  Lines lines;
  for (const auto &[text, positions] : found)
    lines.push_back (text);
  return lines;
}

class HistorySearchTest : public vontle_test::GLibLogTest
{
};

constexpr auto PREFIX = VONTLE_INPUT_HISTORY_MATCH_PREFIX;
constexpr auto SUBSTRING = VONTLE_INPUT_HISTORY_MATCH_SUBSTRING;
constexpr auto FUZZY = VONTLE_INPUT_HISTORY_MATCH_FUZZY;

TEST_F (HistorySearchTest, FindsInOrderWithTheMatchedCharacters)
{
  struct Case
  {
    VontleInputHistoryMatchMode mode;
    const char *query;
    Lines entries; /* oldest first */
    Found expected;
  };
  const Lines git = { "git status", "make", "git commit", "legit" };
  const Case cases[] = {
    { PREFIX, "git", git, { { "git commit", { 0, 1, 2 } }, { "git status", { 0, 1, 2 } } } },
    { SUBSTRING, "it", git, { { "legit", { 3, 4 } }, { "git commit", { 1, 2 } }, { "git status", { 1, 2 } } } },
    /* Best first; equal scores: shorter, then newer. The characters lie
     * as late as they can before the last one ("log --graph"). */
    { FUZZY, "gc", { "grep count", "gcc main.c", "git commit", "log --graph -c" },
      { { "git commit", { 0, 4 } }, { "grep count", { 0, 5 } }, { "gcc main.c", { 0, 1 } },
        { "log --graph -c", { 6, 13 } } } },
    { SUBSTRING, "Git", { "Git y", "git x" }, { { "Git y", { 0, 1, 2 } } } },
    { SUBSTRING, "straße", { "STRASSE 1", "street", "Straße 2" },
      { { "Straße 2", { 0, 1, 2, 3, 4, 6 } }, { "STRASSE 1", { 0, 1, 2, 3, 4, 5, 6 } } } },
    { PREFIX, "école", { "ÉCOLE normale", "ecole" }, { { "ÉCOLE normale", { 0, 2, 3, 4, 5 } } } },
    { SUBSTRING, "ÉCOLE", { "ÉCOLE normale", "école" }, { { "ÉCOLE normale", { 0, 2, 3, 4, 5 } } } },
    { FUZZY, "éo", { "l'ÉCOLE", "eo" }, { { "l'ÉCOLE", { 2, 5 } } } },
    { FUZZY, "", git, {} },
    { SUBSTRING, "\xff", { "\xff" }, {} }, /* not UTF-8: nothing, and no log */
    { SUBSTRING, "a", { "\xff" "ab", "b" }, { { "\xff" "ab", { 1 } } } }, /* a stored line need not be */
  };
  for (const Case &c : cases)
    {
      g_autoptr (VontleInputHistory) history = history_of (c.entries);
      EXPECT_EQ (fresh_search (history, c.query, c.mode), c.expected) << c.query;
    }
}

TEST_F (HistorySearchTest, FindStepsTowardsOlderEntries)
{
  g_autoptr (VontleInputHistory) history = history_of ({ "make", "git commit", "ls", "git push", "GIT" });
  const gssize steps[][2] = { { -1, 4 }, { 4, 3 }, { 3, 1 }, { 1, -1 }, { 99, 4 }, { 0, -1 } };
  for (const auto &[before, expected] : steps)
    EXPECT_EQ (vontle_input_history_find (history, "git", SUBSTRING, before), expected) << before;
  EXPECT_EQ (vontle_input_history_find (history, "Git", SUBSTRING, -1), -1);
  EXPECT_EQ (vontle_input_history_find (history, "gp", FUZZY, -1), 3);
  EXPECT_EQ (vontle_input_history_find (history, nullptr, PREFIX, -1), -1);

  EXPECT_EQ (vontle_input_history_find (history, "git", SUBSTRING, -2), -1);
  ExpectCritical ("vontle_input_history_find", "before >= -1");
  EXPECT_EQ (vontle_input_history_find (nullptr, "git", SUBSTRING, -1), -1);
  ExpectCritical ("vontle_input_history_find", "VONTLE_IS_INPUT_HISTORY (history)");
}

TEST_F (HistorySearchTest, ARefinedQueryFindsWhatAFreshSearchFinds)
{
  g_autoptr (VontleInputHistory) history
    = history_of ({ "git commit -m x", "grep -i todo", "GIT LOG", "go test ./...", "make", "git checkout -b g" });
  for (const auto mode : { PREFIX, SUBSTRING, FUZZY })
    {
      g_autoptr (VontleInputHistorySearch) search = vontle_input_history_search_new (history, mode);
      for (const char *query : { "g", "gi", "git", "git c", "gi", "gI", "gIT" })
        {
          vontle_input_history_search_set_query (search, query);
          EXPECT_EQ (found_in (G_LIST_MODEL (search)), fresh_search (history, query, mode)) << mode << query;
        }
    }
}

TEST_F (HistorySearchTest, AnIncrementalPassRunsInSlicesInTheThreadDefaultContext)
{
  /* Loaded in one read (a list grows by one slot an append), then kept in
   * memory. */
  auto read = [] (gpointer) -> char ** {
    /* 20 MB to read byte by byte: no machine does that in one 2 ms slice. */
    char **lines = g_new0 (char *, 200001);
    for (int i = 0; i < 200000; i++)
      lines[i] = g_strdup_printf ("echo %d %0100d", i, 0);
    return lines;
  };
  auto ignore = [] (const char *, gpointer) {};
  g_autoptr (VontleInputHistoryIO) io
    = VONTLE_INPUT_HISTORY_IO (vontle_input_history_callback_io_new (ignore, read, nullptr, nullptr));
  g_autoptr (VontleInputHistory) history = vontle_input_history_new (io);
  g_object_set (history, "io", nullptr, nullptr);
  g_autoptr (GMainContext) context = g_main_context_new ();
  g_main_context_push_thread_default (context);
  g_autoptr (VontleInputHistorySearch) search = vontle_input_history_search_new (history, SUBSTRING);
  vontle_input_history_search_set_incremental (search, true);
  Mirror mirror;
  g_signal_connect (search, "items-changed", G_CALLBACK (Mirror::on_items_changed), &mirror);
  int notified = 0;
  g_signal_connect_swapped (search, "notify::searching", G_CALLBACK (+[] (int *n) { ++*n; }), &notified);

  for (const char *query : { "77", "777" }) /* a pass, then a refinement */
    {
      vontle_input_history_search_set_query (search, query);
      EXPECT_TRUE (vontle_input_history_search_is_searching (search));
      EXPECT_EQ (g_list_model_get_n_items (G_LIST_MODEL (search)), 0U);
      int slices = 0;
      while (vontle_input_history_search_is_searching (search))
        {
          g_main_context_iteration (context, TRUE);
          if (++slices == 1)
            vontle_input_history_append (history, "echo 777 again"); /* live, mid-pass */
        }
      if (strcmp (query, "77") == 0) /* what the refinement costs is a benchmark's */
        {
          EXPECT_GT (slices, 1);
        }
      EXPECT_EQ (mirror.items, texts (fresh_search (history, query, SUBSTRING))) << query;
    }
  vontle_input_history_search_set_query (search, "76");
  g_main_context_iteration (context, TRUE);
  vontle_input_history_search_set_incremental (search, false); /* finishes the pass at once */
  EXPECT_FALSE (vontle_input_history_search_is_searching (search));
  EXPECT_EQ (mirror.items, texts (fresh_search (history, "76", SUBSTRING)));
  EXPECT_EQ (notified, 6);
  g_main_context_pop_thread_default (context);
}

TEST_F (HistorySearchTest, FollowsTheHistoryWithTheSmallestChanges)
{
  Lines stored = { "one", "two", "six" };
  auto append = [] (const char *line, gpointer data) {
    Lines &lines = *static_cast<Lines *> (data);
    std::erase (lines, std::string (line));
    lines.emplace_back (line);
  };
  auto read = [] (gpointer data) -> char ** {
    const Lines &lines = *static_cast<Lines *> (data);
    char **copy = g_new0 (char *, lines.size () + 1);
    for (size_t i = 0; i < lines.size (); i++)
      copy[i] = g_strdup (lines[i].c_str ());
    return copy;
  };
  g_autoptr (VontleInputHistoryIO) io
    = VONTLE_INPUT_HISTORY_IO (vontle_input_history_callback_io_new (append, read, &stored, nullptr));
  g_autoptr (VontleInputHistory) history = vontle_input_history_new (io);
  for (const auto mode : { SUBSTRING, FUZZY })
    {
      stored = { "one", "two", "six" };
      vontle_input_history_reset (history);
      g_autoptr (VontleInputHistorySearch) search = vontle_input_history_search_new (history, mode);
      vontle_input_history_search_set_query (search, "o");
      Mirror mirror { texts (found_in (G_LIST_MODEL (search))), {} };
      g_signal_connect (search, "items-changed", G_CALLBACK (Mirror::on_items_changed), &mirror);
      const std::pair<std::function<void ()>, std::vector<Change>> cases[] = {
        { [&] { vontle_input_history_append (history, "four"); }, { { 0, 0, 1 } } },
        { [&] { vontle_input_history_append (history, "five"); }, {} },
        { [&] { vontle_input_history_append (history, "one"); }, { { 2, 1, 0 }, { 0, 0, 1 } } },
        { [&] { stored.emplace_back ("zoo"); vontle_input_history_reset (history); }, { { 0, 0, 1 } } },
        { [&] { stored = { "box", "cat", "dog", "oak" }; vontle_input_history_reset (history); }, {} },
      };
      for (size_t i = 0; i < std::size (cases); i++)
        {
          mirror.changes.clear ();
          cases[i].first ();
          if (!cases[i].second.empty () && mode == SUBSTRING) /* fuzzy places by score */
            {
              EXPECT_EQ (mirror.changes, cases[i].second) << i;
            }
          EXPECT_EQ (mirror.items, texts (fresh_search (history, "o", mode))) << mode << i;
        }
    }
}

TEST_F (HistorySearchTest, HandlersMayChangeTheHistoryOrTheQuery)
{
  using Act = void (*) (VontleInputHistory *, VontleInputHistorySearch *);
  const std::tuple<const char *, Act, const char *> cases[] = {
    { "appends", [] (auto *h, auto *) { vontle_input_history_append (h, "zoo"); }, "o" },
    { "repeats a match", [] (auto *h, auto *) { vontle_input_history_append (h, "two"); }, "o" },
    { "sets the query", [] (auto *, auto *s) { vontle_input_history_search_set_query (s, "t"); }, "t" },
    { "reports what does not fit",
      [] (auto *h, auto *) {
        vontle_list_append (vontle_input_history_list (h), g_strdup ("zoo"));
        vontle_input_history_entries_changed (h, 99, 0, 1);
      },
      "o" },
  };
  for (const auto &[what, act, query_after] : cases)
    {
      g_autoptr (VontleInputHistory) history = history_of ({ "one", "two", "six" });
      g_autoptr (VontleInputHistorySearch) search = vontle_input_history_search_new (history, SUBSTRING);
      vontle_input_history_search_set_query (search, "o");
      Mirror mirror { texts (found_in (G_LIST_MODEL (search))), {} };
      g_signal_connect (search, "items-changed", G_CALLBACK (Mirror::on_items_changed), &mirror);
      std::function<void ()> once = [&, act = act] { act (history, search); };
      g_signal_connect_swapped (search, "items-changed", G_CALLBACK (+[] (std::function<void ()> *f) {
                                  if (*f)
                                    std::exchange (*f, nullptr) ();
                                }),
                                &once);
      vontle_input_history_append (history, "four");
      EXPECT_EQ (mirror.items, texts (fresh_search (history, query_after, SUBSTRING))) << what;
    }
}

/* What bindings and GtkBuilder use: the properties, the item type and an
 * item past the end. */
TEST_F (HistorySearchTest, PropertiesAreTheFunctionsGObjectSees)
{
  g_autoptr (VontleInputHistory) history = history_of ({ "git status", "make", "git commit" });
  g_autoptr (VontleInputHistorySearch) search = VONTLE_INPUT_HISTORY_SEARCH (
    g_object_new (VONTLE_TYPE_INPUT_HISTORY_SEARCH, "history", history, "mode", SUBSTRING, "incremental", FALSE,
                  "query", "git", nullptr));
  VontleInputHistory *held = nullptr;
  g_autofree char *query = nullptr;
  VontleInputHistoryMatchMode mode = PREFIX;
  gboolean incremental = TRUE, searching = TRUE;
  g_object_get (search, "history", &held, "query", &query, "mode", &mode, "incremental", &incremental,
                "searching", &searching, nullptr);
  g_object_unref (held);
  EXPECT_EQ (std::make_tuple (held, std::string (query), mode, incremental, searching),
             std::make_tuple (static_cast<VontleInputHistory *> (history), std::string ("git"), SUBSTRING, FALSE, FALSE));
  EXPECT_EQ (texts (found_in (G_LIST_MODEL (search))), Lines ({ "git commit", "git status" }));
  EXPECT_EQ (g_list_model_get_item_type (G_LIST_MODEL (search)), VONTLE_TYPE_INPUT_HISTORY_MATCH);
  EXPECT_EQ (g_list_model_get_item (G_LIST_MODEL (search), 2), nullptr);

  g_autoptr (GObject) item = G_OBJECT (g_list_model_get_item (G_LIST_MODEL (search), 0));
  g_autofree char *text = nullptr;
  g_object_get (item, "text", &text, nullptr);
  EXPECT_STREQ (text, "git commit");
}

TEST_F (HistorySearchTest, RefusesWhatIsNoneAndTakesNullAsEmpty)
{
  EXPECT_EQ (vontle_input_history_search_new (nullptr, FUZZY), nullptr);
  ExpectCritical ("vontle_input_history_search_new", "VONTLE_IS_INPUT_HISTORY (history)");
  g_autoptr (VontleInputHistory) history = history_of ({ "a" });
  g_autoptr (VontleInputHistorySearch) search = vontle_input_history_search_new (history, PREFIX);
  vontle_input_history_search_set_query (search, "a");
  vontle_input_history_search_set_query (search, nullptr);
  EXPECT_STREQ (vontle_input_history_search_get_query (search), "");
  EXPECT_EQ (g_list_model_get_n_items (G_LIST_MODEL (search)), 0U);
  vontle_input_history_search_set_mode (search, static_cast<VontleInputHistoryMatchMode> (7));
  ExpectCritical ("vontle_input_history_search_set_mode", "mode <= VONTLE_INPUT_HISTORY_MATCH_FUZZY");
  EXPECT_EQ (vontle_input_history_search_get_mode (search), PREFIX);
  EXPECT_EQ (vontle_input_history_match_get_positions (nullptr, nullptr), nullptr);
  ExpectCritical ("vontle_input_history_match_get_positions", "VONTLE_IS_INPUT_HISTORY_MATCH (match)");
  EXPECT_EQ (vontle_input_history_match_get_text (nullptr), nullptr);
  ExpectCritical ("vontle_input_history_match_get_text", "VONTLE_IS_INPUT_HISTORY_MATCH (match)");

  const std::pair<const char *, std::function<void ()>> refused[] = {
    { "vontle_input_history_search_get_history",
      [] { EXPECT_EQ (vontle_input_history_search_get_history (nullptr), nullptr); } },
    { "vontle_input_history_search_set_query", [] { vontle_input_history_search_set_query (nullptr, "a"); } },
    { "vontle_input_history_search_get_query",
      [] { EXPECT_EQ (vontle_input_history_search_get_query (nullptr), nullptr); } },
    { "vontle_input_history_search_set_mode", [] { vontle_input_history_search_set_mode (nullptr, FUZZY); } },
    { "vontle_input_history_search_get_mode", [] { EXPECT_EQ (vontle_input_history_search_get_mode (nullptr), PREFIX); } },
    { "vontle_input_history_search_set_incremental", [] { vontle_input_history_search_set_incremental (nullptr, true); } },
    { "vontle_input_history_search_get_incremental",
      [] { EXPECT_FALSE (vontle_input_history_search_get_incremental (nullptr)); } },
    { "vontle_input_history_search_is_searching",
      [] { EXPECT_FALSE (vontle_input_history_search_is_searching (nullptr)); } },
  };
  for (const auto &[function, call] : refused)
    {
      call ();
      ExpectCritical (function, "VONTLE_IS_INPUT_HISTORY_SEARCH (search)");
    }
}

} // namespace
