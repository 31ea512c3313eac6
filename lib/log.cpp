/* SPDX-License-Identifier: LGPL-2.1-or-later */
#include "vontle-private.h"

#include <cstdio>

namespace {

constexpr const char *level_names[] = { "debug", "info", "warning", "error" };

/* One plain variable, as documented: no lock and no atomics. */
VontleLogLevel current_level = VONTLE_LOG_ERROR;

bool
is_written (VontleLogLevel level)
{
  const auto severity = static_cast<guint32> (level);
  return severity <= VONTLE_LOG_ERROR && severity >= static_cast<guint32> (current_level);
}

G_GNUC_PRINTF (4, 0) void
write_line (const char *location, const char *function, VontleLogLevel level,
            const char *format, va_list args)
{
  /* Each piece is a write of its own, in line order. */
  fprintf (stderr, "%s: ", level_names[level]);
  if (level == VONTLE_LOG_DEBUG)
    {
      if (location != nullptr)
        fprintf (stderr, "%s: ", location);
      if (function != nullptr)
        fprintf (stderr, "%s(): ", function);
    }
  vfprintf (stderr, format, args);
  fputc ('\n', stderr);
}

} // namespace

void
vontle_vlog (const char *location, const char *function, VontleLogLevel level,
             const char *format, va_list args)
{
  if (is_written (level))
    write_line (location, function, level, format, args);
}

void
vontle_log (const char *location, const char *function, VontleLogLevel level,
            const char *format, ...)
{
  /* Filtered before the arguments are gathered: a message below the
   * threshold costs two comparisons and no call through the PLT. */
  if (!is_written (level))
    return;
  va_list args;
  va_start (args, format);
  write_line (location, function, level, format, args);
  va_end (args);
}

VontleLogLevel
vontle_get_log_level (void)
{
  return current_level;
}

void
vontle_set_log_level (VontleLogLevel level)
{
  current_level = level;
}
