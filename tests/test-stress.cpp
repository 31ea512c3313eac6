/* SPDX-License-Identifier: LGPL-2.1-or-later */
/* Concurrency and scale: type registration raced from many threads, logging
 * while the threshold changes, and containers, history and templates at
 * sizes where a quadratic step would show. */
#include "vontle-test.h"

#include <vontle/vontle.h>

#include <sys/resource.h>
#include <sys/wait.h>
#include <unistd.h>

#include <array>
#include <atomic>
#include <cstdio>
#include <latch>
#include <string>
#include <thread>
#include <vector>

#if __has_include(<valgrind/valgrind.h>)
#include <valgrind/valgrind.h>
#else
#define RUNNING_ON_VALGRIND 0
#endif

namespace {

/* A list grows by exactly one slot per insertion. glibc grows a large block
 * in place, but valgrind's and AddressSanitizer's realloc always copy, which
 * makes long lists quadratic there: those runs use smaller sizes. */
bool
reduced_sizes ()
{
#if defined(__SANITIZE_ADDRESS__)
  return true;
#elif defined(__has_feature)
#if __has_feature(address_sanitizer)
  return true;
#endif
#endif
  return RUNNING_ON_VALGRIND != 0;
}

size_t
scaled (size_t full, size_t reduced)
{
  return reduced_sizes () ? reduced : full;
}

void *P (uintptr_t value) { return reinterpret_cast<void *> (value); }

/* ------------------------------------------------- type registration -- */

constexpr int racing_threads = 16;
constexpr int race_rounds = 6;

using TypeTriple = std::array<GType, 3>;

/* Runs in a fresh child: all threads call the getters at once, and each
 * makes and drops a template, a history and a function-pointer reader/writer.
 * Returns the exit status. */
int
race_type_registration ()
{
  /* GObject's own class is GLib's to set up: made before the race, it is
   * not mistaken for ours by ThreadSanitizer, which cannot see GLib publish
   * it. */
  g_type_class_unref (g_type_class_ref (G_TYPE_OBJECT));
  std::latch start (racing_threads);
  std::array<TypeTriple, racing_threads> seen {};
  std::vector<std::thread> threads;
  for (int i = 0; i < racing_threads; i++)
    threads.emplace_back ([&start, &seen, i] {
      start.arrive_and_wait ();
      seen[i] = { vontle_input_history_io_get_type (), vontle_input_history_get_type (),
                  vontle_template_get_type () };
      g_object_unref (vontle_template_new ("@a@"));
      g_object_unref (vontle_input_history_new (nullptr));
      /* The reader/writer that C++ storage rests on, and its parent class. */
      g_object_unref (vontle_input_history_callback_io_new (nullptr, nullptr, nullptr, nullptr));
    });
  for (auto &thread : threads)
    thread.join ();

  const TypeTriple expected = { g_type_from_name ("VontleInputHistoryIO"),
                                g_type_from_name ("VontleInputHistory"),
                                g_type_from_name ("VontleTemplate") };
  for (GType type : expected)
    if (type == 0)
      return 2;
  for (const auto &triple : seen)
    if (triple != expected)
      return 3;
  return 0;
}

class TypeRegistrationTest : public vontle_test::GLibLogTest
{
};

/* Registration happens once per process, so each round forks a child in
 * which none of the types exists yet. */
TEST_F (TypeRegistrationTest, SixteenThreadsGetOneTypeEach)
{
  if (g_type_from_name ("VontleTemplate") != 0 || g_type_from_name ("VontleInputHistory") != 0)
    GTEST_SKIP () << "the types are registered already; run this test first";

  for (int round = 0; round < race_rounds; round++)
    {
      fflush (nullptr);
      const pid_t child = fork ();
      ASSERT_GE (child, 0);
      if (child == 0)
        {
          int status = race_type_registration ();
          if (status == 0 && !TakeMessages ().empty ())
            status = 4;
          _exit (status);
        }
      int status = 0;
      ASSERT_EQ (waitpid (child, &status, 0), child);
      ASSERT_TRUE (WIFEXITED (status)) << "round " << round << ": child ended by signal "
                                       << (WIFSIGNALED (status) ? WTERMSIG (status) : 0);
      EXPECT_EQ (WEXITSTATUS (status), 0)
        << "round " << round << ": 2 = a type missing, 3 = threads saw different types, "
        << "4 = a critical or warning";
    }
}

/* --------------------------------------------------------- logging -- */

constexpr int logging_threads = 4;
constexpr int lines_per_thread = 2000;

size_t
count (const std::string &text, const std::string &piece)
{
  size_t n = 0;
  for (auto at = text.find (piece); at != std::string::npos; at = text.find (piece, at + 1))
    n++;
  return n;
}

class ConcurrentLogTest : public vontle_test::GLibLogTest
{
};

/* The threshold flips between warning and error while threads log: error
 * lines always appear, info lines never, warning lines only sometimes. The
 * pieces of a line are separate writes, so lines from different threads may
 * interleave; only whole pieces are counted. */
TEST_F (ConcurrentLogTest, ThreadsLogWhileTheLevelChanges)
{
  std::latch start (logging_threads + 1);
  std::atomic<bool> logging_done = false;
  vontle_test::StderrCapture capture;
  std::vector<std::thread> threads;
  for (int i = 0; i < logging_threads; i++)
    threads.emplace_back ([&start] {
      start.arrive_and_wait ();
      for (int line = 0; line < lines_per_thread; line++)
        {
          vontle_log (nullptr, nullptr, VONTLE_LOG_ERROR, "E");
          vontle_log (nullptr, nullptr, VONTLE_LOG_WARNING, "W");
          vontle_log (nullptr, nullptr, VONTLE_LOG_INFO, "I");
        }
    });
  std::thread setter ([&start, &logging_done] {
    start.arrive_and_wait ();
    for (bool warn = true; !logging_done; warn = !warn)
      {
        vontle_set_log_level (warn ? VONTLE_LOG_WARNING : VONTLE_LOG_ERROR);
        /* Lets the loggers run where threads take turns (under valgrind). */
        std::this_thread::yield ();
      }
    vontle_set_log_level (VONTLE_LOG_ERROR);
  });
  for (auto &thread : threads)
    thread.join ();
  logging_done = true;
  setter.join ();
  const std::string text = capture.Finish ();

  constexpr size_t total = logging_threads * lines_per_thread;
  EXPECT_EQ (count (text, "error: "), total);
  EXPECT_EQ (count (text, "E"), total);
  EXPECT_LE (count (text, "warning: "), total);
  EXPECT_EQ (count (text, "warning: "), count (text, "W"));
  EXPECT_EQ (count (text, "info: "), 0u);
  EXPECT_EQ (count (text, "I"), 0u);
  EXPECT_EQ (count (text, "\n"), count (text, "error: ") + count (text, "warning: "));
  EXPECT_EQ (vontle_get_log_level (), VONTLE_LOG_ERROR);
}

/* -------------------------------------------------------------- scale -- */

class ScaleTest : public vontle_test::GLibLogTest
{
};

long
peak_rss_kib ()
{
  struct rusage usage;
  getrusage (RUSAGE_SELF, &usage);
  return usage.ru_maxrss;
}

TEST_F (ScaleTest, MillionElementList)
{
  const size_t n = scaled (1000000, 5000);
  const long rss_before = peak_rss_kib ();
  g_autoptr (VontleList) list = vontle_list_new ();
  for (size_t i = 1; i <= n; i++)
    vontle_list_append (list, P (i));
  ASSERT_EQ (vontle_list_size (list), n);
  EXPECT_EQ (vontle_list_position (list, P (n)), static_cast<ssize_t> (n - 1));

  for (uintptr_t i = 1; i <= 5; i++)
    vontle_list_remove (list, P (i));
  EXPECT_EQ (vontle_list_size (list), n - 5);
  EXPECT_EQ (vontle_list_nth (list, 0), P (6));
  EXPECT_EQ (vontle_list_nth (list, n - 6), P (n));

  /* The array is n pointers; old arrays must not pile up while it grows. */
  if (!reduced_sizes ())
    {
      EXPECT_LT (peak_rss_kib () - rss_before, 8 * static_cast<long> (n * sizeof (void *)) / 1024);
    }
}

/* Entries "match N" at every tenth index, "other N" elsewhere, oldest first. */
std::string
entry_text (size_t i)
{
  return (i % 10 == 0 ? "match " : "other ") + std::to_string (i);
}

TEST_F (ScaleTest, HistoryWalkedBothWays)
{
  const size_t n = scaled (100000, 10000);
  g_autoptr (VontleInputHistory) history = vontle_input_history_new (nullptr);
  /* Filled through the lent list: append would search the whole history for
   * equal lines each time. */
  VontleList *entries = vontle_input_history_list (history);
  for (size_t i = 0; i < n; i++)
    vontle_list_append (entries, g_strdup (entry_text (i).c_str ()));

  std::vector<std::string> older;
  while (const char *entry = vontle_input_history_previous (history, "match"))
    older.emplace_back (entry);
  ASSERT_EQ (older.size (), n / 10);
  EXPECT_EQ (older.front (), entry_text (n - 10));
  EXPECT_EQ (older.back (), entry_text (0));

  std::vector<std::string> newer;
  const char *step;
  while ((step = vontle_input_history_next (history, "ignored")) != nullptr
         && g_str_has_prefix (step, "match "))
    newer.emplace_back (step);
  EXPECT_STREQ (step, "match") << "past the newest entry comes the line typed at the start";
  ASSERT_EQ (newer.size (), n / 10 - 1);
  EXPECT_EQ (newer.front (), entry_text (10));
  EXPECT_EQ (newer.back (), entry_text (n - 10));
}

/* open + the decimal k + close, built by appending only: GCC 12 at -O3 warns
 * falsely (-Wrestrict) when a literal is prepended to a temporary string. */
std::string
enclosed (const char *open, size_t k, const char *close)
{
  std::string text (open);
  text += std::to_string (k);
  text += close;
  return text;
}

/* 100 variables referred to round-robin, each reference followed by filler:
 * 11 bytes each, 1.1 MB in all. */
TEST_F (ScaleTest, MegabyteTemplateWithHundredThousandReferences)
{
  const size_t references = scaled (100000, 20000);
  constexpr size_t names = 100;
  std::string base, expected;
  for (size_t i = 0; i < references; i++)
    {
      const std::string reference = enclosed ("@v", i % names, "@");
      const std::string filler = std::string (11 - reference.size (), '.');
      base += reference + filler;
      expected += enclosed ("<", i % names, ">") + filler;
    }

  g_autoptr (VontleTemplate) tmpl = vontle_template_new (base.c_str ());
  EXPECT_EQ (vontle_list_size (vontle_template_referenced_variables (tmpl)), names);
  for (size_t k = 0; k < names; k++)
    {
      const std::string name = enclosed ("v", k, "");
      ASSERT_TRUE (vontle_template_add_variable (tmpl, name.c_str ()));
      vontle_template_set_variable_value (tmpl, name.c_str (), enclosed ("<", k, ">").c_str ());
    }
  g_autofree char *result = vontle_template_evaluate (tmpl);
  ASSERT_NE (result, nullptr);
  EXPECT_EQ (strlen (result), expected.size ());
  EXPECT_TRUE (result == expected) << "the evaluation differs from the expected text";
}

} // namespace
