#include "vontle-private.h"
