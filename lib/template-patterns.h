/* SPDX-License-Identifier: LGPL-2.1-or-later */
/* The template's two patterns, compiled once per process. Not installed. */
#pragma once

#include <glib.h>

namespace vontle {

/* A new reference to the pattern of a reference, @name@, whose group 1 is
 * the name; null, logged, when it did not compile. */
GRegex *template_reference_pattern ();

/* A new reference to the pattern of a whole variable name; null, logged,
 * when it did not compile. */
GRegex *template_name_pattern ();

} // namespace vontle
