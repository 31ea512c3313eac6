/* SPDX-License-Identifier: LGPL-2.1-or-later */
/* The reader/writer made of two functions, their user data and its destroy
 * notify. */
#include "vontle-test.h"

#include <vontle/vontle.h>

#include <string>
#include <vector>

using ::testing::ElementsAre;

namespace {

using CallbackIOTest = vontle_test::GLibLogTest;

std::vector<std::string>
entries_of (VontleInputHistory *history)
{
  g_auto (GStrv) lines = vontle_input_history_dup_lines (history);
  return { lines, lines + g_strv_length (lines) };
}

struct FunctionStore
{
  std::vector<std::string> lines;
  VontleInputHistoryCallbackIO *io = nullptr;
  bool detach_in_read = false;
  int destroyed = 0;
  bool destroyed_during_read = false;
  bool reading = false;
};

void
function_store_append (const char *line, gpointer data)
{
  static_cast<FunctionStore *> (data)->lines.emplace_back (line);
}

char **
function_store_read (gpointer data)
{
  auto *store = static_cast<FunctionStore *> (data);
  store->reading = true;
  if (store->detach_in_read)
    vontle_input_history_callback_io_detach (store->io);
  char **lines = g_new0 (char *, store->lines.size () + 1);
  for (size_t i = 0; i < store->lines.size (); i++)
    lines[i] = g_strdup (store->lines[i].c_str ());
  store->reading = false;
  return lines;
}

void
function_store_destroy (gpointer data)
{
  auto *store = static_cast<FunctionStore *> (data);
  store->destroyed++;
  store->destroyed_during_read = store->reading;
}

/* Detached from inside its own read: the read finishes with its data, which
 * is released when it returns; from then on nothing is stored. */
TEST_F (CallbackIOTest, DetachedFromInsideItsRead)
{
  FunctionStore store;
  store.lines = { "a" };
  store.io = vontle_input_history_callback_io_new (function_store_append, function_store_read, &store,
                                                   function_store_destroy);
  VontleInputHistory *history = vontle_input_history_new (VONTLE_INPUT_HISTORY_IO (store.io));
  vontle_input_history_append (history, "b");
  EXPECT_THAT (entries_of (history), ElementsAre ("a", "b"));

  store.detach_in_read = true;
  vontle_input_history_reset (history);
  EXPECT_THAT (entries_of (history), ElementsAre ("a", "b"));
  EXPECT_EQ (store.destroyed, 1);
  EXPECT_FALSE (store.destroyed_during_read);

  vontle_input_history_append (history, "c");        /* stores and reads nothing */
  EXPECT_THAT (store.lines, ElementsAre ("a", "b"));
  EXPECT_THAT (entries_of (history), ElementsAre ());
  vontle_input_history_callback_io_detach (store.io);
  g_object_unref (history);
  g_object_unref (store.io);
  EXPECT_EQ (store.destroyed, 1);

  /* Never detached: released with the object; no functions: nothing stored. */
  FunctionStore kept;
  g_object_unref (vontle_input_history_callback_io_new (nullptr, nullptr, &kept, function_store_destroy));
  EXPECT_EQ (kept.destroyed, 1);
  vontle_input_history_callback_io_detach (nullptr);
  ExpectCritical ("vontle_input_history_callback_io_detach", "VONTLE_IS_INPUT_HISTORY_CALLBACK_IO (io)");
}

} // namespace
