/* SPDX-License-Identifier: LGPL-2.1-or-later */
/* vontle_log lives apart from vontle_vlog on purpose: a host may define its
 * own vontle_vlog to take over every message, the library's own included. In
 * a unit that cannot see vontle_vlog's body the compiler has to call it
 * through the dynamic symbol (the PLT), whatever its stance on semantic
 * interposition; in one unit with it, clang would bind the call locally. */
#include "vontle-private.h"

void
vontle_log (const char *location, const char *function, VontleLogLevel level,
            const char *format, ...)
{
  /* Below the threshold nothing would be written anyway: skip gathering the
   * arguments and the call. Every other message, levels above the last
   * one included, goes to vontle_vlog, which decides. */
  if (static_cast<guint32> (level) < static_cast<guint32> (vontle::log_threshold))
    return;
  va_list args;
  va_start (args, format);
  vontle_vlog (location, function, level, format, args);
  va_end (args);
}
