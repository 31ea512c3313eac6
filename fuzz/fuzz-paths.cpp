/* SPDX-License-Identifier: LGPL-2.1-or-later */
/* Fuzzer for path expansion on arbitrary bytes: no crash, and the result
 * follows the expansion rules, checked against the user database directly. */
#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <pwd.h>
#include <string>

#include <vontle/vontle.h>

#include "fuzz-support.h"

namespace {

/* The home directory the expansion must use, or none for an unknown user. */
bool
home_of (const std::string &name, std::string &home)
{
  if (name.empty () || name == g_get_user_name ())
    {
      home = g_get_home_dir ();
      return true;
    }
  const struct passwd *entry = getpwnam (name.c_str ());
  if (entry == nullptr || entry->pw_dir == nullptr)
    return false;
  home = entry->pw_dir;
  return true;
}

void
check_tilde (const std::string &path, const std::string &result)
{
  const size_t slash = path.find ('/');
  const std::string name = path.substr (1, slash == std::string::npos ? std::string::npos : slash - 1);
  const std::string rest = slash == std::string::npos ? "" : path.substr (slash);
  std::string home;
  if (!home_of (name, home))
    {
      if (result != path) /* unknown users stay unexpanded */
        fuzz::mismatch ();
      return;
    }
  g_autofree char *expected = g_build_filename (home.c_str (), rest.c_str (), nullptr);
  if (result != expected)
    fuzz::mismatch ();
}

} // namespace

extern "C" int
LLVMFuzzerTestOneInput (const uint8_t *data, size_t size)
{
  const std::string path (reinterpret_cast<const char *> (data), strnlen (reinterpret_cast<const char *> (data), size));
  g_autofree char *result = vontle_fix_path (path.c_str ());
  if (result == nullptr)
    fuzz::mismatch ();

  if (!path.empty () && path[0] == '~')
    check_tilde (path, result);
  else if (g_path_is_absolute (path.c_str ()))
    {
      if (path != result)
        fuzz::mismatch ();
    }
  else
    {
      /* Relative paths are joined to the current directory, not normalised. */
      g_autofree char *cwd = g_get_current_dir ();
      g_autofree char *expected = g_build_filename (cwd, path.c_str (), nullptr);
      if (!g_path_is_absolute (result) || std::string (expected) != result)
        fuzz::mismatch ();
    }
  return 0;
}
