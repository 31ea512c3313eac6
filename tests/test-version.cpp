/* SPDX-License-Identifier: LGPL-2.1-or-later */
#include "vontle-test.h"

#include <vontle/vontle.h>

namespace {

using VersionTest = vontle_test::GLibLogTest;

TEST_F (VersionTest, IsTheReleaseDateAndOneConstantString)
{
  const char *version = vontle_version ();
  ASSERT_NE (version, nullptr);
  EXPECT_STREQ (version, "2026.02.04");
  EXPECT_EQ (vontle_version (), version);
}

/* The headers and the library come from one build, so the compile-time
 * version is the loaded one; the check orders dates, not strings. */
TEST_F (VersionTest, CompileTimeMacrosMatchTheLibraryAndOrderDates)
{
  EXPECT_STREQ (VONTLE_VERSION_STRING, vontle_version ());
  EXPECT_EQ (vontle_test::take (g_strdup_printf ("%04d.%02d.%02d", VONTLE_VERSION_YEAR,
                                                 VONTLE_VERSION_MONTH, VONTLE_VERSION_DAY)),
             std::string (vontle_version ()));
  static_assert (VONTLE_CHECK_VERSION (2026, 2, 4));
  static_assert (VONTLE_CHECK_VERSION (2026, 1, 31));
  static_assert (VONTLE_CHECK_VERSION (2025, 12, 31));
  static_assert (!VONTLE_CHECK_VERSION (2026, 2, 5));
  static_assert (!VONTLE_CHECK_VERSION (2026, 3, 1));
  static_assert (!VONTLE_CHECK_VERSION (2027, 1, 1));
}

} // namespace
