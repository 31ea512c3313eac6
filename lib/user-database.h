/* SPDX-License-Identifier: LGPL-2.1-or-later */
/* Home directories from the user database. Internal and header-only, so the
 * test program can drive the lookup with buffer sizes of its choosing without
 * the library exporting anything beyond its API. Not installed. */
#pragma once

#include <cerrno>
#include <cstddef>

#include <pwd.h>
#include <sys/types.h>
#include <unistd.h>

#include <glib.h>

namespace vontle {

/* The system's suggested size is only a hint: an entry with long fields
 * (a large GECOS field, say) can need more. Grow up to this bound. */
inline constexpr size_t user_database_buffer_limit = size_t { 1024 } * 1024;

/* The start when the system suggests no size at all. */
inline constexpr size_t user_database_fallback_size = 4096;

inline size_t
user_database_buffer_size ()
{
  const long suggested = sysconf (_SC_GETPW_R_SIZE_MAX);
  return suggested < 0 ? user_database_fallback_size : static_cast<size_t> (suggested);
}

/* The home directory of NAME as a new string, or null when the user is
 * unknown, the lookup fails or no buffer can be had. The buffer starts at
 * INITIAL_SIZE bytes and doubles while it is too small, as long as it stays
 * within user_database_buffer_limit. */
inline char *
user_database_home_directory (const char *name, size_t initial_size)
{
  for (size_t size = initial_size;; size *= 2)
    {
      g_autofree char *buffer = static_cast<char *> (g_try_malloc0 (size));
      if (buffer == nullptr)
        return nullptr;
      struct passwd entry;
      struct passwd *found = nullptr;
      const int error = getpwnam_r (name, &entry, buffer, size, &found); /* NOLINT(clang-analyzer-unix.Malloc): g_autofree frees the buffer of the last round; clang 14's analyzer does not run cleanup attributes */
      if (error == 0 && found != nullptr)
        return g_strdup (found->pw_dir);
      if (error != ERANGE || size > user_database_buffer_limit / 2)
        return nullptr;
    }
}

} // namespace vontle
