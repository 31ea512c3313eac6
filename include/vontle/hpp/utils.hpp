/* SPDX-License-Identifier: LGPL-2.1-or-later */
/* vontle.hpp: logging, the version, paths and string helpers. Include
 * vontle/vontle.hpp. */
#pragma once

#include <vontle/hpp/base.hpp>

namespace vontle {
inline namespace v5 {

/* ------------------------------------------------------------- logging -- */

[[nodiscard]] inline VontleLogLevel log_level () noexcept { return vontle_get_log_level (); }
inline void set_log_level (VontleLogLevel level) noexcept { vontle_set_log_level (level); }

/* A message with its call site, as LOCATION ("file:line") and FUNCTION,
 * either of which may be NULL. The message is text, never a format: what it
 * holds is written as it is. */
inline void
log (VontleLogLevel level, StringArg message, const char *location, const char *function) noexcept
{
  vontle_log (location, function, level, "%s", message.c_str () != nullptr ? message.c_str () : "(null)");
}

#if defined(__cpp_lib_source_location)
/* The call site is the caller's, filled in by the compiler. */
inline void
log (VontleLogLevel level, StringArg message,
     std::source_location where = std::source_location::current ()) noexcept
{
  /* Below the threshold nothing is written: skip making the location. */
  if (static_cast<guint32> (level) < static_cast<guint32> (vontle_get_log_level ()))
    return;
  char location[512];
  /* line () is uint_least32_t, which widens to unsigned long on every target. */
  const unsigned long line = where.line ();
  g_snprintf (location, sizeof location, "%s:%lu", where.file_name (), line);
  log (level, message.c_str (), location, where.function_name ());
}
#else
/* Without std::source_location: no call site (pass G_STRLOC and the
 * function's name to the other overload for one). */
inline void
log (VontleLogLevel level, StringArg message) noexcept
{
  log (level, message.c_str (), nullptr, nullptr);
}
#endif

/* ------------------------------------------------------------- version -- */

/* The release of the headers compiled against. */
inline constexpr int version_year = VONTLE_VERSION_YEAR;
inline constexpr int version_month = VONTLE_VERSION_MONTH;
inline constexpr int version_day = VONTLE_VERSION_DAY;
inline constexpr std::string_view header_version = VONTLE_VERSION_STRING;

/* Whether the headers are of the release of that date or a later one. */
[[nodiscard]] constexpr bool
check_version (int year, int month, int day) noexcept
{
  return VONTLE_CHECK_VERSION (year, month, day);
}

/* The loaded library's version, which may differ from the headers'. */
[[nodiscard]] inline const char *version () noexcept { return vontle_version (); }

/* ----------------------------------------------------------- utilities -- */

/* NULL user name: the current user's. */
inline UniqueString home_directory (StringArg user_name = nullptr) noexcept
{
  return UniqueString::adopt (vontle_get_home_directory (user_name.c_str ()));
}
inline UniqueString fix_path (PathArg path) noexcept { return UniqueString::adopt (vontle_fix_path (path.c_str ())); }
inline UniqueString xdg_path (VontleXdgPath kind) noexcept { return UniqueString::adopt (vontle_get_xdg_path (kind)); }
inline bool xdg_open (PathArg uri, PathArg working_directory = nullptr) noexcept
{
  return vontle_xdg_open_with_working_directory (uri.c_str (), working_directory.c_str ());
}
inline UniqueString escape_string (StringArg string) noexcept
{
  return UniqueString::adopt (vontle_escape_string (string.c_str ()));
}
inline UniqueString replace_substring (StringArg string, StringArg old, StringArg replacement) noexcept
{
  return UniqueString::adopt (vontle_replace_substring (string.c_str (), old.c_str (), replacement.c_str ()));
}


} // namespace v5
} // namespace vontle
