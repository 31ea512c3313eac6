/* SPDX-License-Identifier: LGPL-2.1-or-later */
#include "vontle-private.h"
#include "user-database.h"

#include <cstring>

namespace {

/* "~" or "~name", followed by nothing or by "/..." */
char *
expand_home (const char *path)
{
  const char *name_start = path + 1;
  const size_t name_length = strcspn (name_start, "/");
  const char *rest = name_start + name_length;

  g_autofree char *name = name_length > 0 ? g_strndup (name_start, name_length) : nullptr;
  g_autofree char *home = vontle_get_home_directory (name);
  if (home == nullptr)
    return g_strdup (path);
  return g_build_filename (home, rest, nullptr);
}

/* Indexed by VontleXdgPath; only the search-path kinds come from the
 * environment. */
constexpr const char *xdg_variables[] = {
  nullptr, nullptr, "XDG_CONFIG_DIRS", "XDG_DATA_DIRS", nullptr,
};
constexpr const char *xdg_defaults[] = {
  nullptr, nullptr, "/etc/xdg", "/usr/local/share/:/usr/share", nullptr,
};

char *
xdg_search_path (VontleXdgPath kind)
{
  const char *value = g_getenv (xdg_variables[kind]);
  if (value != nullptr && value[0] != '\0')
    return g_strdup (value);
  return g_strdup (xdg_defaults[kind]);
}

} // namespace

/* Read at every call, unlike GLib's cached user directories. XDG base
 * directories must be absolute: a relative value counts as unset. */
char *
vontle::user_state_dir ()
{
  const char *value = g_getenv ("XDG_STATE_HOME");
  if (value != nullptr && g_path_is_absolute (value))
    return g_strdup (value);
  return g_build_filename (g_get_home_dir (), ".local", "state", nullptr);
}

char *
vontle_get_home_directory (const char *user_name)
{
  /* The current user's home follows GLib's rules (HOME first), which is what
   * the rest of a GLib program uses; only other users need the database. */
  if (user_name == nullptr || g_strcmp0 (user_name, g_get_user_name ()) == 0)
    return g_strdup (g_get_home_dir ());
  return vontle::user_database_home_directory (user_name, vontle::user_database_buffer_size ());
}

char *
vontle_fix_path (const char *path)
{
  if (path == nullptr)
    return nullptr;
  if (path[0] == '~')
    return expand_home (path);
  if (g_path_is_absolute (path))
    return g_strdup (path);
  g_autofree char *current = g_get_current_dir ();
  return g_build_filename (current, path, nullptr);
}

char *
vontle_get_xdg_path (VontleXdgPath kind)
{
  switch (static_cast<guint32> (kind))
    {
    case VONTLE_XDG_CONFIG:
      return g_strdup (g_get_user_config_dir ());
    case VONTLE_XDG_DATA:
      return g_strdup (g_get_user_data_dir ());
    case VONTLE_XDG_CONFIG_DIRS:
    case VONTLE_XDG_DATA_DIRS:
      return xdg_search_path (kind);
    case VONTLE_XDG_CACHE:
      return g_strdup (g_get_user_cache_dir ());
    default:
      return nullptr;
    }
}
