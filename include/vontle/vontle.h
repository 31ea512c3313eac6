/* SPDX-License-Identifier: LGPL-2.1-or-later */
/* libvontle: support library for GLib applications. Include this header. */
#pragma once

#include <vontle/datastructures.h>
#include <vontle/input-history.h>
#include <vontle/input-history-live-io.h>
#include <vontle/input-history-file.h>
#include <vontle/input-history-model.h>
#include <vontle/input-history-search.h>
#include <vontle/input-history-lines-io.h>
#include <vontle/input-history-callback-io.h>
#include <vontle/log.h>
#include <vontle/template.h>
#include <vontle/utils.h>
#include <vontle/version.h>
