/* SPDX-License-Identifier: LGPL-2.1-or-later */
#include "vontle-test.h"

#include <vontle/vontle.h>

using vontle_test::StderrCapture;

namespace {

class LogTest : public vontle_test::GLibLogTest
{
protected:
  /* Writes one message at the given threshold and returns what appeared. */
  static std::string Write (VontleLogLevel threshold, const char *location, const char *function,
                            VontleLogLevel level, const char *text)
  {
    vontle_set_log_level (threshold);
    StderrCapture capture;
    vontle_log (location, function, level, "%s", text);
    return capture.Finish ();
  }
};

TEST_F (LogTest, DefaultThresholdWritesOnlyErrors)
{
  EXPECT_EQ (vontle_get_log_level (), VONTLE_LOG_ERROR);
  StderrCapture capture;
  vontle_log ("f.c:1", "f", VONTLE_LOG_DEBUG, "d");
  vontle_log ("f.c:1", "f", VONTLE_LOG_INFO, "i");
  vontle_log ("f.c:1", "f", VONTLE_LOG_WARNING, "w");
  vontle_log ("f.c:1", "f", VONTLE_LOG_ERROR, "e %d", 7);
  EXPECT_EQ (capture.Finish (), "error: e 7\n");
}

TEST_F (LogTest, DebugLinesCarryTheCallSiteOtherLevelsNever)
{
  EXPECT_EQ (Write (VONTLE_LOG_DEBUG, "a.c:12", "fn", VONTLE_LOG_DEBUG, "m"), "debug: a.c:12: fn(): m\n");
  EXPECT_EQ (Write (VONTLE_LOG_DEBUG, nullptr, "fn", VONTLE_LOG_DEBUG, "m"), "debug: fn(): m\n");
  EXPECT_EQ (Write (VONTLE_LOG_DEBUG, "a.c:12", nullptr, VONTLE_LOG_DEBUG, "m"), "debug: a.c:12: m\n");
  EXPECT_EQ (Write (VONTLE_LOG_DEBUG, nullptr, nullptr, VONTLE_LOG_DEBUG, "m"), "debug: m\n");
  EXPECT_EQ (Write (VONTLE_LOG_DEBUG, "a.c:12", "fn", VONTLE_LOG_INFO, "m"), "info: m\n");
  EXPECT_EQ (Write (VONTLE_LOG_DEBUG, "a.c:12", "fn", VONTLE_LOG_WARNING, "m"), "warning: m\n");
  EXPECT_EQ (Write (VONTLE_LOG_DEBUG, "a.c:12", "fn", VONTLE_LOG_ERROR, "m"), "error: m\n");
}

TEST_F (LogTest, ThresholdIsInclusive)
{
  EXPECT_EQ (Write (VONTLE_LOG_WARNING, nullptr, nullptr, VONTLE_LOG_INFO, "m"), "");
  EXPECT_EQ (Write (VONTLE_LOG_WARNING, nullptr, nullptr, VONTLE_LOG_WARNING, "m"), "warning: m\n");
}

TEST_F (LogTest, LevelsAboveErrorAreNeverWritten)
{
  EXPECT_EQ (Write (VONTLE_LOG_DEBUG, nullptr, nullptr, static_cast<VontleLogLevel> (4), "m"), "");
  EXPECT_EQ (Write (VONTLE_LOG_DEBUG, nullptr, nullptr, static_cast<VontleLogLevel> (-1), "m"), "");
}

TEST_F (LogTest, ThresholdAboveErrorSilencesEverythingAndIsStoredAsGiven)
{
  for (auto threshold : { 4u, 0xffffffffu })
    {
      const auto level = static_cast<VontleLogLevel> (threshold);
      EXPECT_EQ (Write (level, nullptr, nullptr, VONTLE_LOG_ERROR, "m"), "");
      EXPECT_EQ (static_cast<guint32> (vontle_get_log_level ()), threshold);
    }
}

TEST_F (LogTest, TrailingNewlineInFormatIsKept)
{
  EXPECT_EQ (Write (VONTLE_LOG_ERROR, nullptr, nullptr, VONTLE_LOG_ERROR, "m\n"), "error: m\n\n");
}

TEST_F (LogTest, BelowThresholdNeverReadsTheArguments)
{
  vontle_set_log_level (VONTLE_LOG_ERROR);
  /* An argument that would crash if formatted. */
  const char *unreadable = reinterpret_cast<const char *> (static_cast<uintptr_t> (16));
  StderrCapture capture;
  vontle_log (nullptr, nullptr, VONTLE_LOG_WARNING, "%s", unreadable);
  EXPECT_EQ (capture.Finish (), "");
}

G_GNUC_PRINTF (2, 3) void
call_vlog (VontleLogLevel level, const char *format, ...)
{
  va_list args;
  va_start (args, format);
  vontle_vlog ("v.c:3", "caller", level, format, args);
  va_end (args);
}

TEST_F (LogTest, VlogFormatsLikeLog)
{
  vontle_set_log_level (VONTLE_LOG_DEBUG);
  StderrCapture capture;
  call_vlog (VONTLE_LOG_DEBUG, "%s=%d", "x", 42);
  EXPECT_EQ (capture.Finish (), "debug: v.c:3: caller(): x=42\n");
}

/* A host's own variadic wrapper filters exactly as vontle_log does. */
TEST_F (LogTest, VlogFiltersLikeLog)
{
  vontle_set_log_level (VONTLE_LOG_WARNING);
  StderrCapture capture;
  call_vlog (VONTLE_LOG_INFO, "below");
  call_vlog (static_cast<VontleLogLevel> (4), "beyond");
  call_vlog (static_cast<VontleLogLevel> (-1), "wrapped");
  call_vlog (VONTLE_LOG_WARNING, "kept");
  EXPECT_EQ (capture.Finish (), "warning: kept\n");
}

} // namespace
