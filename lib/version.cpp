#include "vontle-private.h"

const char *
vontle_version (void)
{
  return VONTLE_VERSION_STRING;
}
