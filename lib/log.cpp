/* SPDX-License-Identifier: LGPL-2.1-or-later */
#include "vontle-private.h"

#include <cstdio>

/* One plain variable, as documented: no lock and no atomics. vontle_log reads
 * it too, from its own unit. */
VontleLogLevel vontle::log_threshold = VONTLE_LOG_ERROR;

namespace {

constexpr const char *level_names[] = { "debug", "info", "warning", "error" };

bool
is_written (VontleLogLevel level)
{
  const auto severity = static_cast<guint32> (level);
  return severity <= VONTLE_LOG_ERROR && severity >= static_cast<guint32> (vontle::log_threshold);
}

} // namespace

void
vontle_vlog (const char *location, const char *function, VontleLogLevel level,
             const char *format, va_list args)
{
  if (!is_written (level))
    return;
  /* Each piece is a write of its own, in line order. A failed write to
   * standard error has nowhere to be reported, so its result is dropped. */
  static_cast<void> (fprintf (stderr, "%s: ", level_names[level]));
  if (level == VONTLE_LOG_DEBUG)
    {
      if (location != nullptr)
        static_cast<void> (fprintf (stderr, "%s: ", location));
      if (function != nullptr)
        static_cast<void> (fprintf (stderr, "%s(): ", function));
    }
  static_cast<void> (vfprintf (stderr, format, args));
  static_cast<void> (fputc ('\n', stderr));
}

VontleLogLevel
vontle_get_log_level (void)
{
  return vontle::log_threshold;
}

void
vontle_set_log_level (VontleLogLevel level)
{
  vontle::log_threshold = level;
}
