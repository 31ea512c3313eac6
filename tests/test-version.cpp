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

} // namespace
