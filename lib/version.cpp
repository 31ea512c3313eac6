/* SPDX-License-Identifier: LGPL-2.1-or-later */
#include "vontle-private.h"

const char *
vontle_version (void)
{
  return VONTLE_VERSION_STRING;
}
