/* SPDX-License-Identifier: LGPL-2.1-or-later */
#include "sandbox.h"

#include <vontle/vontle.h>

/* The user-database lookup, to drive its buffer growth directly. */
#include "../lib/user-database.h"

#include <fstream>

using namespace vontle_test;

namespace {

[[maybe_unused]] auto *const sandbox_environment = ::testing::AddGlobalTestEnvironment (new Sandbox);

/* A user other than the current one, with the home directory that
 * /etc/passwd gives it. */
std::pair<std::string, std::string>
other_system_user ()
{
  const std::string wanted = g_strcmp0 (g_get_user_name (), "root") == 0 ? "daemon" : "root";
  std::ifstream passwd ("/etc/passwd");
  for (std::string line; std::getline (passwd, line);)
    {
      g_auto (GStrv) fields = g_strsplit (line.c_str (), ":", -1);
      if (g_strv_length (fields) >= 6 && fields[0] == wanted)
        return { fields[0], fields[5] };
    }
  return {};
}

class PathTest : public vontle_test::GLibLogTest
{
protected:
  void SetUp () override
  {
    GLibLogTest::SetUp ();
    std::tie (other_, other_home_) = other_system_user ();
    ASSERT_FALSE (other_.empty ()) << "no second user in /etc/passwd";
    ASSERT_EQ (g_chdir (work_.c_str ()), 0);
  }
  void TearDown () override
  {
    g_chdir (saved_dir_.c_str ());
    GLibLogTest::TearDown ();
  }

  const std::string home_ = Sandbox::dir ("home"), me_ = g_get_user_name ();
  const std::string saved_dir_ = take (g_get_current_dir ()), work_ = canonical (Sandbox::dir ("work"));
  std::string other_, other_home_;
};

TEST_F (PathTest, CurrentUserHomeComesFromGLibOthersFromTheUserDatabase)
{
  EXPECT_EQ (take (vontle_get_home_directory (nullptr)), home_);
  EXPECT_EQ (take (vontle_get_home_directory (me_.c_str ())), home_);
  EXPECT_EQ (take (vontle_get_home_directory (other_.c_str ())), other_home_);
  EXPECT_EQ (vontle_get_home_directory ("vontle-no-such-user"), nullptr);
  EXPECT_EQ (vontle_get_home_directory (""), nullptr);
}

TEST_F (PathTest, UserDatabaseLookupGrowsATooSmallBuffer)
{
  EXPECT_EQ (take (vontle::user_database_home_directory (other_.c_str (), 1)), other_home_);
  EXPECT_EQ (vontle::user_database_home_directory ("vontle-no-such-user", 1), nullptr);
}

TEST_F (PathTest, FixPathExpandsHomesAndAnchorsRelativePathsWithoutNormalising)
{
  const std::pair<std::string, std::string> table[] = {
    { "~", home_ },
    { "~/notes.txt", home_ + "/notes.txt" },
    { "~" + me_ + "/x", home_ + "/x" },
    { "~" + other_, other_home_ },
    { "~" + other_ + "/x/y", other_home_ + "/x/y" },
    { "~vontle-no-such-user/x", "~vontle-no-such-user/x" },
    { "/etc/../tmp", "/etc/../tmp" },
    { "a/../b", work_ + "/a/../b" },
    { "", work_ },
  };
  for (const auto &[path, expected] : table)
    {
      char *fixed = vontle_fix_path (path.c_str ());
      EXPECT_NE (fixed, path.c_str ());
      EXPECT_EQ (take (fixed), expected) << "path: " << path;
    }
  EXPECT_EQ (vontle_fix_path (nullptr), nullptr);
}

using XdgTest = vontle_test::GLibLogTest;

TEST_F (XdgTest, KindsFollowGLibOrTheEnvironmentAndUnknownOnesGiveNull)
{
  EXPECT_EQ (take (vontle_get_xdg_path (VONTLE_XDG_CONFIG)), Sandbox::dir ("config"));
  EXPECT_EQ (take (vontle_get_xdg_path (VONTLE_XDG_DATA)), Sandbox::dir ("data"));
  EXPECT_EQ (take (vontle_get_xdg_path (VONTLE_XDG_CACHE)), Sandbox::dir ("cache"));

  const std::tuple<VontleXdgPath, const char *, const char *> search_paths[] = {
    { VONTLE_XDG_CONFIG_DIRS, "XDG_CONFIG_DIRS", "/etc/xdg" },
    { VONTLE_XDG_DATA_DIRS, "XDG_DATA_DIRS", "/usr/local/share/:/usr/share" },
  };
  for (const auto &[kind, variable, fallback] : search_paths)
    {
      g_setenv (variable, "/opt/a:relative", TRUE);
      EXPECT_EQ (take (vontle_get_xdg_path (kind)), "/opt/a:relative");
      g_setenv (variable, "", TRUE);
      EXPECT_EQ (take (vontle_get_xdg_path (kind)), fallback);
      g_unsetenv (variable);
      EXPECT_EQ (take (vontle_get_xdg_path (kind)), fallback);
      g_setenv (variable, Sandbox::dir ("system").c_str (), TRUE);
    }

  /* Kinds end at the cache directory: 5 is unknown even with a state
   * directory in the environment. */
  g_setenv ("XDG_STATE_HOME", "/opt/state", TRUE);
  for (guint32 kind : { 5u, 6u, 0x80000000u, 0xffffffffu })
    EXPECT_EQ (vontle_get_xdg_path (static_cast<VontleXdgPath> (kind)), nullptr) << kind;
  g_unsetenv ("XDG_STATE_HOME");
}

} // namespace
