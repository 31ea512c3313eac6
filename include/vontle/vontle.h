/* libvontle: support library for GLib applications. Include this header. */
#pragma once

#include <vontle/datastructures.h>
#include <vontle/log.h>
