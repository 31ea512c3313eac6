/* SPDX-License-Identifier: LGPL-2.1-or-later */
#include "vontle-private.h"

#include <glib/gstdio.h>
#include <unistd.h>

namespace {

/* Both opener warnings carry the public name, also when the caller came in
 * through vontle_xdg_open(). */
constexpr const char opener_function[] = "vontle_xdg_open_with_working_directory";

const char *
error_text (const GError *error)
{
  return error != nullptr ? error->message : "unknown error";
}

/* Failures to change directory are ignored on purpose: the launch then runs
 * wherever the process happens to be, and a failed return leaves it there. */
bool
change_directory (const char *directory)
{
  return g_chdir (directory) == 0;
}

/* Changes the process's current directory for the lifetime of the object;
 * does nothing for a null directory. */
class DirectoryChange
{
public:
  explicit DirectoryChange (const char *directory)
  {
    if (directory == nullptr)
      return;
    previous_ = g_get_current_dir ();
    change_directory (directory);
  }

  ~DirectoryChange ()
  {
    if (previous_ == nullptr)
      return;
    change_directory (previous_);
    g_free (previous_);
  }

  DirectoryChange (const DirectoryChange &) = delete;
  DirectoryChange &operator= (const DirectoryChange &) = delete;

private:
  char *previous_ = nullptr;
};

/* The system's default search path, which names no relative directory. */
char *
find_in_default_path (const char *command)
{
  const size_t size = confstr (_CS_PATH, nullptr, 0);
  g_autofree char *default_path = size > 0 ? static_cast<char *> (g_malloc0 (size)) : nullptr;
  if (default_path == nullptr || confstr (_CS_PATH, default_path, size) == 0)
    return nullptr; /* NOLINT(clang-analyzer-unix.Malloc): g_autofree frees it; clang 14's analyzer does not run cleanup attributes */
  g_auto (GStrv) directories = g_strsplit (default_path, ":", -1);
  for (char **directory = directories; *directory != nullptr; directory++)
    {
      if (!g_path_is_absolute (*directory))
        continue;
      g_autofree char *candidate = g_build_filename (*directory, command, nullptr);
      if (g_file_test (candidate, G_FILE_TEST_IS_EXECUTABLE)
          && !g_file_test (candidate, G_FILE_TEST_IS_DIR))
        return static_cast<char *> (g_steal_pointer (&candidate));
    }
  return nullptr;
}

/* No shell is involved: the uri is one argument whatever it contains. The
 * working directory goes to the spawn call, so the parent never moves.
 *
 * GLib searches an unset PATH as "/bin:/usr/bin:." and an empty one as ".",
 * and "." is then the working directory the caller named: an "xdg-open"
 * lying there (in a download folder, say) would run. Without a usable PATH
 * the command is therefore looked up in the system's default path and
 * started by its full name. */
bool
start_xdg_open (const char *uri, const char *working_directory, GError **error)
{
  char command[] = "xdg-open";
  g_autofree char *argument = g_strdup (uri);
  const char *search_path = g_getenv ("PATH");
  if (search_path != nullptr && search_path[0] != '\0')
    {
      char *argv[] = { command, argument, nullptr };
      return g_spawn_async (working_directory, argv, nullptr, G_SPAWN_SEARCH_PATH, nullptr,
                            nullptr, nullptr, error);
    }
  g_autofree char *program = find_in_default_path (command);
  if (program == nullptr)
    {
      g_set_error_literal (error, G_SPAWN_ERROR, G_SPAWN_ERROR_NOENT,
                           "PATH is not set and xdg-open is not in the default search path");
      return false;
    }
  /* The first element is the file to run, the others are the child's argv. */
  char *argv[] = { program, command, argument, nullptr };
  return g_spawn_async (working_directory, argv, nullptr, G_SPAWN_FILE_AND_ARGV_ZERO, nullptr,
                        nullptr, nullptr, error);
}

bool
spawn_xdg_open (const char *uri, const char *working_directory)
{
  g_autoptr (GError) error = nullptr;
  if (start_xdg_open (uri, working_directory, &error))
    return true;
  vontle_log (G_STRLOC, opener_function, VONTLE_LOG_WARNING, "Failed to execute 'xdg-open %s': %s",
              uri, error_text (error));
  return false;
}

/* GIO's launcher has no working-directory parameter, hence the temporary
 * change of the whole process's directory. */
bool
launch_default_application (const char *uri, const char *working_directory)
{
  DirectoryChange change (working_directory);
  g_autoptr (GError) error = nullptr;
  if (g_app_info_launch_default_for_uri (uri, nullptr, &error))
    return true;
  vontle_log (G_STRLOC, opener_function, VONTLE_LOG_WARNING, "Failed to open '%s': %s", uri,
              error_text (error));
  return false;
}

} // namespace

bool
vontle_xdg_open_with_working_directory (const char *uri, const char *working_directory)
{
  if (uri == nullptr || uri[0] == '\0')
    return false;
  if (spawn_xdg_open (uri, working_directory))
    return true;
  return launch_default_application (uri, working_directory);
}

bool
vontle_xdg_open (const char *uri)
{
  return vontle_xdg_open_with_working_directory (uri, nullptr);
}
