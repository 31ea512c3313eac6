/* SPDX-License-Identifier: LGPL-2.1-or-later */
/* The C++ header needs nothing included before it. */
#include <vontle/vontle.hpp>
