/* Internal helpers shared by the library's units. Not installed. */
#pragma once

#include <glib.h>
#include <glib-object.h>
#include <gio/gio.h>

/* Every declaration in the public headers is the exported API: give exactly
 * those default visibility (the build hides everything else), so a definition
 * picks its visibility up from its declaration. */
#pragma GCC visibility push(default)
#include <vontle/vontle.h>
#pragma GCC visibility pop

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
