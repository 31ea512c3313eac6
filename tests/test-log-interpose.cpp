/* SPDX-License-Identifier: LGPL-2.1-or-later */
/* A host that defines its own vontle_vlog takes over every message: the ones
 * it writes with vontle_log and the library's own. This program is such a
 * host; the library reaches vontle_vlog through its dynamic symbol, so the
 * definition below takes precedence over the library's. */
#include "vontle-test.h"

#include <vontle/vontle.h>

#include <functional>
#include <string>
#include <vector>

using vontle_test::StderrCapture;
using ::testing::ElementsAre;
using ::testing::StartsWith;

namespace {

struct Message
{
  std::string location;
  std::string function;
  VontleLogLevel level;
  std::string text;
};

std::vector<Message> received;
/* Runs inside vontle_vlog, as a host's logger that acts on what it reads. */
std::function<void ()> on_message;

std::string
or_null (const char *text)
{
  return text != nullptr ? text : "(null)";
}

} // namespace

void
vontle_vlog (const char *location, const char *function, VontleLogLevel level,
             const char *format, va_list args)
{
  received.push_back ({ or_null (location), or_null (function), level,
                        vontle_test::take (g_strdup_vprintf (format, args)) });
  if (on_message)
    on_message ();
}

namespace {

class LogInterposeTest : public vontle_test::GLibLogTest
{
protected:
  void SetUp () override
  {
    GLibLogTest::SetUp ();
    received.clear ();
    on_message = nullptr;
  }
};

TEST_F (LogInterposeTest, DirectCallsArriveWithEveryArgument)
{
  vontle_set_log_level (VONTLE_LOG_DEBUG);
  StderrCapture capture;
  vontle_log ("app.c:7", "load", VONTLE_LOG_DEBUG, "%d rows from %s", 12, "db");
  vontle_log (nullptr, nullptr, VONTLE_LOG_INFO, "plain");
  /* Above the last level: dropping it is the receiver's decision. */
  vontle_log (nullptr, nullptr, static_cast<VontleLogLevel> (4), "beyond");
  EXPECT_EQ (capture.Finish (), "");

  ASSERT_EQ (received.size (), 3u);
  EXPECT_EQ (received[0].location, "app.c:7");
  EXPECT_EQ (received[0].function, "load");
  EXPECT_EQ (received[0].level, VONTLE_LOG_DEBUG);
  EXPECT_EQ (received[0].text, "12 rows from db");
  EXPECT_EQ (received[1].location, "(null)");
  EXPECT_EQ (received[1].text, "plain");
  EXPECT_EQ (static_cast<guint32> (received[2].level), 4u);
}

TEST_F (LogInterposeTest, MessagesBelowTheThresholdAreNotPassedOn)
{
  vontle_set_log_level (VONTLE_LOG_WARNING);
  vontle_log (nullptr, nullptr, VONTLE_LOG_INFO, "quiet");
  vontle_log (nullptr, nullptr, VONTLE_LOG_WARNING, "loud");
  ASSERT_EQ (received.size (), 1u);
  EXPECT_EQ (received[0].text, "loud");
}

TEST_F (LogInterposeTest, TheLibrarysOwnMessagesArrive)
{
  vontle_set_log_level (VONTLE_LOG_WARNING);
  g_autoptr (VontleList) list = vontle_list_new_with_free (g_free);
  VontleList *other = vontle_list_new ();
  StderrCapture capture;
  vontle_list_merge (list, other);
  EXPECT_EQ (capture.Finish (), "");
  vontle_list_free (other);

  ASSERT_EQ (received.size (), 1u);
  EXPECT_EQ (received[0].level, VONTLE_LOG_WARNING);
  EXPECT_EQ (received[0].function, "vontle_list_merge");
  EXPECT_THAT (received[0].location, StartsWith ("lib/list.cpp:"));
  EXPECT_EQ (received[0].text, "vontle_list_merge: merging lists with different free functions!");
}

/* The logger replaces the base while the scan of the old one reports a
 * missing name: the scan stops there, and what the template reports is the
 * newer base's analysis. */
TEST_F (LogInterposeTest, LoggerReplacingTheBaseDuringItsScan)
{
  vontle_set_log_level (VONTLE_LOG_DEBUG);
  VontleTemplate *object = vontle_template_new (nullptr);
  vontle_template_add_variable (object, "known");
  const std::string long_tail (10000, 'y');
  on_message = [object, &long_tail] {
    if (g_strcmp0 (vontle_template_get_base (object), "@b@ @known@") != 0)
      vontle_template_set_base (object, ("@b@ @known@" + long_tail).c_str ());
  };
  vontle_template_set_base (object, ("@a@ @c@ @d@" + long_tail).c_str ());
  on_message = nullptr;
  g_auto (GStrv) names = vontle_template_dup_referenced_names (object);
  EXPECT_THAT (std::vector<std::string> (names, names + g_strv_length (names)),
               ElementsAre ("b", "known"));
  EXPECT_EQ (vontle_test::take (vontle_template_evaluate (object)), "(null)");
  vontle_template_add_variable (object, "b");
  EXPECT_EQ (vontle_test::take (vontle_template_evaluate (object)), " " + long_tail);
  g_object_unref (object);
}

} // namespace
