/* SPDX-License-Identifier: LGPL-2.1-or-later */
#include "callback-marks.h"

namespace vontle {

constinit thread_local const BusyMark *busy_marks = nullptr;

} // namespace vontle
