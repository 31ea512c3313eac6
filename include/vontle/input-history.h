/* libvontle: input-history (to be written). */
#pragma once

#include <glib-object.h>

G_BEGIN_DECLS
G_END_DECLS
