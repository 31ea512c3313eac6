/* SPDX-License-Identifier: LGPL-2.1-or-later */
#include "vontle-private.h"

G_DEFINE_INTERFACE (VontleInputHistoryLiveIO, vontle_input_history_live_io, VONTLE_TYPE_INPUT_HISTORY_IO)

static void
vontle_input_history_live_io_default_init (VontleInputHistoryLiveIOInterface *iface)
{
  /* Emitted by an implementation; the history connects to it. */
  g_signal_new ("storage-changed", G_TYPE_FROM_INTERFACE (iface), G_SIGNAL_RUN_LAST, 0, nullptr, nullptr,
                nullptr, G_TYPE_NONE, 0);
}
