/* SPDX-License-Identifier: LGPL-2.1-or-later */
/* libvontle: levelled logging to standard error. */
#pragma once

#include <stdarg.h>
#include <glib.h>
#include <vontle/visibility.h>

G_BEGIN_DECLS

/**
 * VontleLogLevel:
 * @VONTLE_LOG_DEBUG: diagnostic detail; only this level prints the call site
 * @VONTLE_LOG_INFO: informational messages
 * @VONTLE_LOG_WARNING: something went wrong but the operation went on
 * @VONTLE_LOG_ERROR: an operation failed
 *
 * Severity of a log message, from least to most severe. Levels compare as
 * unsigned numbers: any value above %VONTLE_LOG_ERROR is never written, and
 * as a threshold it silences every message.
 */
typedef enum
#ifdef __cplusplus
  : guint32
#endif
{
  VONTLE_LOG_DEBUG = 0,
  VONTLE_LOG_INFO = 1,
  VONTLE_LOG_WARNING = 2,
  VONTLE_LOG_ERROR = 3
} VontleLogLevel;

/**
 * vontle_log: (skip)
 * @location: (nullable): call site as "file:line", printed only at debug level
 * @function: (nullable): calling function's name, printed only at debug level
 * @level: severity of the message
 * @format: printf-style format
 * @...: arguments named by @format
 *
 * Writes one line to standard error when @level is at or above the current
 * threshold and not above %VONTLE_LOG_ERROR. Below the threshold nothing is
 * formatted and the arguments are never read.
 */
VONTLE_AVAILABLE_IN_ALL
void vontle_log (const char *location, const char *function, VontleLogLevel level,
                 const char *format, ...) G_GNUC_PRINTF (4, 5);

/**
 * vontle_vlog: (skip)
 * @location: (nullable): call site as "file:line", printed only at debug level
 * @function: (nullable): calling function's name, printed only at debug level
 * @level: severity of the message
 * @format: printf-style format
 * @args: arguments named by @format
 *
 * The va_list form of vontle_log().
 */
VONTLE_AVAILABLE_IN_ALL
void vontle_vlog (const char *location, const char *function, VontleLogLevel level,
                  const char *format, va_list args) G_GNUC_PRINTF (4, 0);

/**
 * vontle_get_log_level:
 *
 * Returns: the current threshold; %VONTLE_LOG_ERROR until changed
 */
VONTLE_AVAILABLE_IN_ALL
VontleLogLevel vontle_get_log_level (void);

/**
 * vontle_set_log_level:
 * @level: the new threshold, stored as given
 *
 * Sets the process-wide threshold. Messages below it are dropped; a value
 * above %VONTLE_LOG_ERROR silences the logger.
 */
VONTLE_AVAILABLE_IN_ALL
void vontle_set_log_level (VontleLogLevel level);

G_END_DECLS
