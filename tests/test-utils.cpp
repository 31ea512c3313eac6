#include "vontle-test.h"

#include <vontle/vontle.h>

/* The user-database lookup, to drive its buffer growth directly. */
#include "../lib/user-database.h"

#include <climits>
#include <cstdlib>
#include <fstream>

#include <glib/gstdio.h>

using vontle_test::StderrCapture;
using ::testing::ElementsAre;
using ::testing::MatchesRegex;

namespace {

std::string
take (char *text)
{
  std::string copy = text != nullptr ? text : "(null)";
  g_free (text);
  return copy;
}

std::string
canonical (const std::string &path)
{
  char resolved[PATH_MAX];
  return realpath (path.c_str (), resolved) != nullptr ? resolved : path;
}

std::vector<std::string>
lines_of (const std::string &text)
{
  g_auto (GStrv) lines = g_strsplit (text.c_str (), "\n", -1);
  return std::vector<std::string> (lines, lines + g_strv_length (lines) - 1);
}

/* Records how it was started: its name, the number of arguments, its
 * physical working directory, then the arguments one per line. Builtins
 * only, so it runs with a PATH that holds nothing else. */
constexpr const char recorder_script[] =
  "#!/bin/sh\n"
  "{ printf '%s\\n' \"${0##*/}\" \"$#\"; pwd -P; printf '%s\\n' \"$@\"; } > \"$VONTLE_TEST_RECORD\"\n"
  ": > \"$VONTLE_TEST_RECORD.done\"\n"
  "exit 3\n";

/* The whole program runs with a private home and private XDG directories,
 * set before GLib first reads (and caches) them, so no test can reach the
 * machine's desktop handlers. The one handler GIO knows is the recorder, for
 * the scheme "vontle-handled". */
class Sandbox : public ::testing::Environment
{
public:
  static inline std::string root;
  static std::string dir (const char *name) { return root + "/" + name; }

  void SetUp () override
  {
    root = take (g_dir_make_tmp ("vontle-utils-XXXXXX", nullptr));
    for (const char *name : { "home", "data/applications", "config", "system", "bin", "empty-bin",
                              "work/dir with blank" })
      g_mkdir_with_parents (dir (name).c_str (), 0755);
    for (auto [variable, name] : { std::pair { "HOME", "home" }, { "XDG_CONFIG_HOME", "config" },
                                   { "XDG_DATA_HOME", "data" }, { "XDG_CACHE_HOME", "cache" },
                                   { "XDG_DATA_DIRS", "system" }, { "XDG_CONFIG_DIRS", "system" } })
      g_setenv (variable, dir (name).c_str (), TRUE);
    g_setenv ("GIO_USE_VFS", "local", TRUE);
    g_unsetenv ("GIO_USE_PORTALS");
    g_setenv ("DBUS_SESSION_BUS_ADDRESS", ("unix:path=" + dir ("no-bus")).c_str (), TRUE);

    Write ("bin/xdg-open", recorder_script, 0755);
    Write ("bin/vontle-test-handler", recorder_script, 0755);
    Write ("data/applications/vontle-test-handler.desktop",
           "[Desktop Entry]\nType=Application\nName=Recorder\nExec=" +
             dir ("bin/vontle-test-handler") + " %u\n");
    Write ("config/mimeapps.list",
           "[Default Applications]\nx-scheme-handler/vontle-handled=vontle-test-handler.desktop\n");
  }

  void TearDown () override
  {
    const char *argv[] = { "/bin/rm", "-rf", root.c_str (), nullptr };
    g_spawn_sync (nullptr, const_cast<char **> (argv), nullptr, G_SPAWN_DEFAULT, nullptr, nullptr,
                  nullptr, nullptr, nullptr, nullptr);
  }

private:
  static void Write (const char *name, const std::string &text, int mode = 0644)
  {
    ASSERT_TRUE (g_file_set_contents (dir (name).c_str (), text.c_str (), -1, nullptr)) << name;
    g_chmod (dir (name).c_str (), mode);
  }
};

[[maybe_unused]] auto *const sandbox_environment = ::testing::AddGlobalTestEnvironment (new Sandbox);

/* ------------------------------------------------ paths and directories -- */

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

  for (guint32 kind : { 5u, 0x80000000u, 0xffffffffu })
    EXPECT_EQ (vontle_get_xdg_path (static_cast<VontleXdgPath> (kind)), nullptr) << kind;
}

/* ---------------------------------------------------------------- opener -- */

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
 * must never run. */
TEST_F (OpenerTest, WithoutPathAnXdgOpenInTheWorkingDirectoryNeverRuns)
{
  for (const char *directory : { "/bin", "/usr/bin" })
    if (g_file_test ((std::string (directory) + "/xdg-open").c_str (), G_FILE_TEST_EXISTS))
      GTEST_SKIP () << "the system's xdg-open would start";
  const std::string planted = work_ + "/xdg-open";
  ASSERT_TRUE (g_file_set_contents (planted.c_str (), recorder_script, -1, nullptr));
  g_chmod (planted.c_str (), 0755);

  for (const char *path : { static_cast<const char *> (nullptr), "" })
    {
      SCOPED_TRACE (path ? "empty PATH" : "no PATH");
      if (path != nullptr)
        g_setenv ("PATH", path, TRUE);
      else
        g_unsetenv ("PATH");
      g_remove ((record_ + ".done").c_str ());
      StderrCapture capture;
      EXPECT_TRUE (vontle_xdg_open_with_working_directory ("vontle-handled:item", work_.c_str ()));
      EXPECT_THAT (lines_of (capture.Finish ()),
                   ElementsAre (MatchesRegex ("warning: Failed to execute 'xdg-open vontle-handled:item': .+")));
      EXPECT_THAT (Recorded (), ElementsAre ("vontle-test-handler", "1", work_, "vontle-handled:item"));
    }
  g_remove (planted.c_str ());
}

/* -------------------------------------------------------- string helpers -- */

using StringTest = vontle_test::GLibLogTest;

TEST_F (StringTest, EscapeMarksTheSixCharactersBytewise)
{
  const std::pair<const char *, const char *> table[] = {
    { "", "" },
    { "a b", "a\\ b" },
    { "it's #1", "it\\'s\\ \\#1" },
    { "\\n", "\\\\n" },
    { "\t\"q\"", "\\\t\\\"q\\\"" },
    { "a\nb$;|&`()\xc3\xa9\x7f", "a\nb$;|&`()\xc3\xa9\x7f" },
  };
  for (const auto &[input, expected] : table)
    EXPECT_EQ (take (vontle_escape_string (input)), expected) << input;
  EXPECT_EQ (vontle_escape_string (nullptr), nullptr);
}

/* Every byte value once, against the six characters written out here: only
 * they gain a backslash, bytes above 127 included. */
TEST_F (StringTest, EscapeOfEveryByteValue)
{
  std::string input, expected;
  for (int value = 1; value < 256; value++)
    {
      const char byte = static_cast<char> (value);
      input += byte;
      if (byte == '\\' || byte == ' ' || byte == '\t' || byte == '"' || byte == '\'' || byte == '#')
        expected += '\\';
      expected += byte;
    }
  EXPECT_EQ (take (vontle_escape_string (input.c_str ())), expected);
}

TEST_F (StringTest, ReplaceIsOneLeftToRightPassWithoutOverlap)
{
  const std::tuple<const char *, const char *, const char *, const char *> table[] = {
    { "a-b-c", "-", "+", "a+b+c" }, { "aaa", "aa", "b", "ba" }, { "-a-", "-", "", "a" },
    { "abc", "x", "y", "abc" },     { "", "a", "b", "" },       { "abc", "", "y", "abc" },
    { "ab", "b", "bb", "abb" },     { "xyxy", "xy", "<xy>", "<xy><xy>" },
  };
  for (const auto &[string, old, replacement, expected] : table)
    {
      char *replaced = vontle_replace_substring (string, old, replacement);
      EXPECT_NE (replaced, string);
      EXPECT_EQ (take (replaced), expected) << string << " / " << old;
    }
  EXPECT_EQ (vontle_replace_substring (nullptr, "a", "b"), nullptr);
  EXPECT_EQ (vontle_replace_substring ("a", nullptr, "b"), nullptr);
  EXPECT_EQ (vontle_replace_substring ("a", "a", nullptr), nullptr);
}

} // namespace
