/* SPDX-License-Identifier: LGPL-2.1-or-later */
#include "sandbox.h"

#include <vontle/vontle.h>

#include <dlfcn.h>
#include <unistd.h>

#include <cstring>
#include <optional>

using namespace vontle_test;
using ::testing::ElementsAre;
using ::testing::MatchesRegex;

namespace {

/* The system's default search path as the library sees it while set; a
 * null value stands for a system that defines none. */
std::optional<const char *> default_path;

} // namespace

/* Stands in for the C library's: the default path is whatever the test says,
 * so the machine's own xdg-open never runs. */
size_t
confstr (int name, char *buffer, size_t length)
{
  using Confstr = size_t (*) (int, char *, size_t);
  static const auto real = reinterpret_cast<Confstr> (dlsym (RTLD_NEXT, "confstr"));
  if (name != _CS_PATH || !default_path.has_value ())
    return real (name, buffer, length);
  if (*default_path == nullptr)
    return 0;
  const size_t size = strlen (*default_path) + 1;
  if (buffer != nullptr && length > 0)
    g_strlcpy (buffer, *default_path, length);
  return size;
}

namespace {

[[maybe_unused]] auto *const sandbox_environment = ::testing::AddGlobalTestEnvironment (new Sandbox);

class OpenerTest : public vontle_test::GLibLogTest
{
protected:
  void SetUp () override
  {
    GLibLogTest::SetUp ();
    vontle_set_log_level (VONTLE_LOG_WARNING);
    g_setenv ("PATH", Sandbox::dir ("bin").c_str (), TRUE);
    g_setenv ("VONTLE_TEST_RECORD", record_.c_str (), TRUE);
    g_remove (record_.c_str ());
    g_remove ((record_ + ".done").c_str ());
  }
  void TearDown () override
  {
    default_path.reset ();
    g_setenv ("PATH", saved_path_.c_str (), TRUE);
    GLibLogTest::TearDown ();
  }

  /* Waits for the recorder to finish and returns its lines. */
  std::vector<std::string> Recorded ()
  {
    for (int i = 0; i < 1000 && !g_file_test ((record_ + ".done").c_str (), G_FILE_TEST_EXISTS); i++)
      g_usleep (10000);
    g_autofree char *text = nullptr;
    return g_file_get_contents (record_.c_str (), &text, nullptr, nullptr) ? lines_of (text)
                                                                         : std::vector<std::string> {};
  }

  const std::string saved_path_ = g_getenv ("PATH") != nullptr ? g_getenv ("PATH") : "";
  const std::string record_ = Sandbox::dir ("record");
  const std::string saved_dir_ = take (g_get_current_dir ());
  const std::string work_ = canonical (Sandbox::dir ("work/dir with blank"));
};

TEST_F (OpenerTest, NullOrEmptyUriIsRefusedSilently)
{
  StderrCapture capture;
  EXPECT_FALSE (vontle_xdg_open (nullptr));
  EXPECT_FALSE (vontle_xdg_open_with_working_directory ("", work_.c_str ()));
  EXPECT_EQ (capture.Finish (), "");
}

TEST_F (OpenerTest, UriReachesXdgOpenAsOneArgumentInTheWorkingDirectory)
{
  const char *uri = "file:///tmp/a b/it's \"so\" $HOME; echo `id` | cat & (x) *";
  StderrCapture capture;
  /* The recorder exits with a failure, which the result does not reflect. */
  EXPECT_TRUE (vontle_xdg_open_with_working_directory (uri, work_.c_str ()));
  EXPECT_EQ (take (g_get_current_dir ()), saved_dir_);
  EXPECT_EQ (capture.Finish (), "");
  EXPECT_THAT (Recorded (), ElementsAre ("xdg-open", "1", work_, uri));
}

TEST_F (OpenerTest, WithoutWorkingDirectoryTheChildInheritsTheCurrentOne)
{
  EXPECT_TRUE (vontle_xdg_open ("https://example.org/?a=1&b=2"));
  EXPECT_THAT (Recorded (), ElementsAre ("xdg-open", "1", canonical (saved_dir_),
                                         "https://example.org/?a=1&b=2"));
}

TEST_F (OpenerTest, WithoutXdgOpenAFailingLauncherGivesTwoWarningsAndRestoresTheDirectory)
{
  g_setenv ("PATH", Sandbox::dir ("empty-bin").c_str (), TRUE);
  StderrCapture capture;
  EXPECT_FALSE (vontle_xdg_open_with_working_directory ("vontle-unhandled:item", work_.c_str ()));
  EXPECT_EQ (take (g_get_current_dir ()), saved_dir_);
  EXPECT_THAT (lines_of (capture.Finish ()),
               ElementsAre (MatchesRegex ("warning: Failed to execute 'xdg-open vontle-unhandled:item': .+"),
                            MatchesRegex ("warning: Failed to open 'vontle-unhandled:item': .+")));

  vontle_set_log_level (VONTLE_LOG_ERROR);
  StderrCapture quiet;
  EXPECT_FALSE (vontle_xdg_open ("vontle-unhandled:item"));
  EXPECT_EQ (quiet.Finish (), "");
}

TEST_F (OpenerTest, WithoutXdgOpenTheLauncherRunsInTheWorkingDirectory)
{
  g_setenv ("PATH", Sandbox::dir ("empty-bin").c_str (), TRUE);
  StderrCapture capture;
  EXPECT_TRUE (vontle_xdg_open_with_working_directory ("vontle-handled:item", work_.c_str ()));
  EXPECT_EQ (take (g_get_current_dir ()), saved_dir_);
  EXPECT_THAT (lines_of (capture.Finish ()),
               ElementsAre (MatchesRegex ("warning: Failed to execute 'xdg-open vontle-handled:item': .+")));
  EXPECT_THAT (Recorded (), ElementsAre ("vontle-test-handler", "1", work_, "vontle-handled:item"));
}

/* GLib's own search would take an unset PATH as "/bin:/usr/bin:." and an
 * empty one as ".", that is the working directory: an xdg-open planted there
 * must never run. The system's default path is searched instead, skipping
 * relative entries and directories named xdg-open; without xdg-open there
 * the launcher takes over. */
TEST_F (OpenerTest, WithoutPathOnlyTheDefaultPathIsSearched)
{
  ASSERT_TRUE (g_file_set_contents ((work_ + "/xdg-open").c_str (),
                                    "#!/bin/sh\necho planted > \"$VONTLE_TEST_RECORD\"\n"
                                    ": > \"$VONTLE_TEST_RECORD.done\"\n", -1, nullptr));
  g_chmod ((work_ + "/xdg-open").c_str (), 0755);
  g_mkdir_with_parents (Sandbox::dir ("dir-entry/xdg-open").c_str (), 0755);
  const std::string with_xdg_open = "work/dir with blank:" + Sandbox::dir ("dir-entry") + ":"
                                    + Sandbox::dir ("bin");
  const std::string without = Sandbox::dir ("dir-entry") + ":" + Sandbox::dir ("empty-bin");
  const std::string failure = "warning: Failed to execute 'xdg-open vontle-handled:item': "
                              "PATH is not set and xdg-open is not in the default search path";
  /* The relative entry leads to the planted xdg-open from here. */
  ASSERT_EQ (g_chdir (Sandbox::root.c_str ()), 0);

  for (const char *path : { static_cast<const char *> (nullptr), "" })
    {
      SCOPED_TRACE (path ? "empty PATH" : "no PATH");
      if (path != nullptr)
        g_setenv ("PATH", path, TRUE);
      else
        g_unsetenv ("PATH");

      default_path = with_xdg_open.c_str ();
      g_remove ((record_ + ".done").c_str ());
      StderrCapture found;
      EXPECT_TRUE (vontle_xdg_open_with_working_directory ("vontle-handled:item", work_.c_str ()));
      EXPECT_EQ (found.Finish (), "");
      EXPECT_THAT (Recorded (), ElementsAre ("xdg-open", "1", work_, "vontle-handled:item"));

      for (const char *missing : { without.c_str (), static_cast<const char *> (nullptr) })
        {
          default_path = missing;
          g_remove ((record_ + ".done").c_str ());
          StderrCapture capture;
          EXPECT_TRUE (vontle_xdg_open_with_working_directory ("vontle-handled:item", work_.c_str ()));
          EXPECT_THAT (lines_of (capture.Finish ()), ElementsAre (failure));
          EXPECT_THAT (Recorded (), ElementsAre ("vontle-test-handler", "1", work_, "vontle-handled:item"));
        }
    }
  g_chdir (saved_dir_.c_str ());
  g_remove ((work_ + "/xdg-open").c_str ());
}

} // namespace
