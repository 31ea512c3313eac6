/* SPDX-License-Identifier: LGPL-2.1-or-later */
/* A private home, private XDG directories and a recording xdg-open for the
 * path and opener tests, plus small string helpers they share. */
#pragma once

#include "vontle-test.h"

#include <climits>
#include <cstdlib>
#include <string>
#include <vector>

#include <glib/gstdio.h>

namespace vontle_test {


inline std::string
canonical (const std::string &path)
{
  char resolved[PATH_MAX];
  return realpath (path.c_str (), resolved) != nullptr ? resolved : path;
}

inline std::vector<std::string>
lines_of (const std::string &text)
{
  g_auto (GStrv) lines = g_strsplit (text.c_str (), "\n", -1);
  return std::vector<std::string> (lines, lines + g_strv_length (lines) - 1);
}

/* Records how it was started: its name, the number of arguments, its
 * physical working directory, then the arguments one per line. Builtins
 * only, so it runs with a PATH that holds nothing else. */
inline constexpr const char recorder_script[] =
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

} // namespace vontle_test
