/* SPDX-License-Identifier: LGPL-2.1-or-later */
/* Internal helpers shared by the library's units. Not installed. */
#pragma once

#include <glib.h>
#include <glib-object.h>
#include <gio/gio.h>

/* The public declarations carry the export annotation; a definition takes
 * its visibility from them, whatever the order of includes. */
#include <vontle/vontle.h>

namespace vontle {

/* Reports a violated precondition the way GLib's g_return_if_fail() does, but
 * with the plain C function name: under C++ G_STRFUNC is the full signature,
 * and the report must carry no log domain. Returns whether the condition
 * holds, so call sites read "if (!check (...)) return ...;". */
inline bool
check (bool holds, const char *function, const char *condition)
{
  if (G_LIKELY (holds))
    return true;
  g_return_if_fail_warning (nullptr, function, condition);
  return false;
}

} // namespace vontle

/* The usual form: the condition text is the expression as written. */
#define VONTLE_CHECK(expr) (vontle::check (static_cast<bool> (expr), __func__, #expr))

/* Log with the call site filled in; the function name is the plain one. */
#define VONTLE_LOG_HERE(level, ...) vontle_log (G_STRLOC, __func__, (level), __VA_ARGS__)
