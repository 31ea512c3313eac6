/* SPDX-License-Identifier: LGPL-2.1-or-later */
/* libvontle: paths, XDG directories, opening with the default handler, strings. */
#pragma once

#include <stdbool.h>
#include <glib.h>
#include <vontle/visibility.h>

G_BEGIN_DECLS

/**
 * VontleXdgPath:
 * @VONTLE_XDG_CONFIG: the user's configuration directory
 * @VONTLE_XDG_DATA: the user's data directory
 * @VONTLE_XDG_CONFIG_DIRS: the search path in `XDG_CONFIG_DIRS`, "/etc/xdg"
 *   when that is unset or empty
 * @VONTLE_XDG_DATA_DIRS: the search path in `XDG_DATA_DIRS`,
 *   "/usr/local/share/:/usr/share" when that is unset or empty
 * @VONTLE_XDG_CACHE: the user's cache directory
 *
 * The directory kinds that vontle_get_xdg_path() reports. Kinds compare as
 * unsigned numbers: any value above %VONTLE_XDG_CACHE is unknown. For the
 * state directory, use g_get_user_state_dir() (GLib 2.72 or later).
 */
typedef enum
#ifdef __cplusplus
  /* Fixed so that every 32-bit value is valid in C++ too (whatever a caller passes),
   * with the layout C gives this enum. */
  : guint32
#endif
{
  VONTLE_XDG_CONFIG = 0,
  VONTLE_XDG_DATA = 1,
  VONTLE_XDG_CONFIG_DIRS = 2,
  VONTLE_XDG_DATA_DIRS = 3,
  VONTLE_XDG_CACHE = 4
} VontleXdgPath;

/**
 * vontle_get_home_directory:
 * @user_name: (nullable): a user name; %NULL means the current user
 *
 * The current user's home directory is the one GLib reports
 * (g_get_home_dir(), which honours `HOME`); any other user's comes from the
 * user database.
 *
 * Returns: (transfer full) (nullable): the home directory, or %NULL when the
 *   user is unknown or the lookup fails
 */
VONTLE_AVAILABLE_IN_ALL
char *vontle_get_home_directory (const char *user_name) G_GNUC_WARN_UNUSED_RESULT;

/**
 * vontle_fix_path:
 * @path: (nullable): a path
 *
 * Expands a leading "~" or "~user" to that user's home directory and makes a
 * relative path absolute against the current directory. Nothing is
 * normalised: "." and ".." stay, symbolic links are not resolved. A "~user"
 * whose user is unknown leaves the path unchanged.
 *
 * Returns: (transfer full) (nullable): a new string, also when it equals
 *   @path; %NULL only for a %NULL @path
 */
VONTLE_AVAILABLE_IN_ALL
char *vontle_fix_path (const char *path) G_GNUC_WARN_UNUSED_RESULT;

/**
 * vontle_get_xdg_path:
 * @kind: the directory kind
 *
 * The search paths (%VONTLE_XDG_CONFIG_DIRS, %VONTLE_XDG_DATA_DIRS) are
 * returned as colon-separated lists exactly as the environment holds them.
 *
 * Returns: (transfer full) (nullable): the directory or search path, or %NULL
 *   for an unknown @kind
 */
VONTLE_AVAILABLE_IN_ALL
char *vontle_get_xdg_path (VontleXdgPath kind) G_GNUC_WARN_UNUSED_RESULT;

/**
 * vontle_xdg_open_with_working_directory:
 * @uri: (nullable): a file name or URI, handed over as one argument, unquoted
 * @working_directory: (nullable): where the handler starts; %NULL for the
 *   current directory
 *
 * Opens @uri with the desktop's preferred application: first by starting
 * "xdg-open" from the search path, and only when that cannot be started
 * through GIO's default-application launcher. Failures are logged at
 * %VONTLE_LOG_WARNING. When PATH is unset or empty, "xdg-open" is looked for
 * in the system's default path only, never in @working_directory.
 *
 * The GIO fallback changes the process-wide current directory to
 * @working_directory for the length of the launch and then changes it back;
 * other threads see the change meanwhile.
 *
 * Returns: %true when a handler was started (whatever it does later); %false
 *   when none could be, or when @uri is %NULL or empty
 */
VONTLE_AVAILABLE_IN_ALL
bool vontle_xdg_open_with_working_directory (const char *uri, const char *working_directory);

/**
 * vontle_xdg_open:
 * @uri: (nullable): a file name or URI
 *
 * vontle_xdg_open_with_working_directory() in the current directory.
 *
 * Returns: %true when a handler was started
 */
VONTLE_AVAILABLE_IN_ALL
bool vontle_xdg_open (const char *uri);

/**
 * vontle_escape_string:
 * @string: (nullable): the text to escape
 *
 * Puts a backslash before every backslash, blank, tab, double quote, single
 * quote and "#". The text is treated as bytes; nothing else is escaped, not
 * even newlines.
 *
 * Returns: (transfer full) (nullable): the escaped text, or %NULL for a
 *   %NULL @string
 */
VONTLE_AVAILABLE_IN_ALL
char *vontle_escape_string (const char *string) G_GNUC_WARN_UNUSED_RESULT;

/**
 * vontle_replace_substring:
 * @string: (nullable): the text to search
 * @old: (nullable): the substring sought; an empty one matches nothing
 * @replacement: (nullable): what each occurrence becomes
 *
 * Replaces every occurrence of @old, found from left to right without
 * overlapping, in one pass: the replacement is never searched again.
 *
 * Returns: (transfer full) (nullable): the new text, or %NULL when any
 *   argument is %NULL
 */
VONTLE_AVAILABLE_IN_ALL
char *vontle_replace_substring (const char *string, const char *old,
                                const char *replacement) G_GNUC_WARN_UNUSED_RESULT;

G_END_DECLS
