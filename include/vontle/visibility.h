/* SPDX-License-Identifier: LGPL-2.1-or-later */
/* libvontle: the export annotation of the public API. */
#pragma once

/**
 * VONTLE_AVAILABLE_IN_ALL:
 *
 * Marks a declaration of the public API. The library is built with hidden
 * visibility, so exactly the declarations that carry this macro are exported;
 * every public function and type getter carries it.
 */
#if defined(__GNUC__) || defined(__clang__)
#define VONTLE_AVAILABLE_IN_ALL __attribute__ ((visibility ("default"))) extern
#else
#define VONTLE_AVAILABLE_IN_ALL extern
#endif
