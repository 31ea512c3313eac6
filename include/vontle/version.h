/* libvontle: library version. */
#pragma once

#include <glib.h>

G_BEGIN_DECLS

/**
 * vontle_version:
 *
 * The version of the library that is loaded, which may differ from the one a
 * program was built against.
 *
 * Returns: (transfer none): the version string, for example "2026.02.04";
 *   the same constant on every call, owned by the library
 */
const char *vontle_version (void);

G_END_DECLS
