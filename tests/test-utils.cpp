#include "vontle-test.h"

#include <vontle/vontle.h>
