/* SPDX-License-Identifier: LGPL-2.1-or-later */
/* libvontle: a reader/writer whose storage may change behind the history's back. */
#pragma once

#include <glib-object.h>
#include <vontle/input-history.h>
#include <vontle/visibility.h>

G_BEGIN_DECLS

/**
 * VONTLE_TYPE_INPUT_HISTORY_LIVE_IO:
 *
 * The #GType of #VontleInputHistoryLiveIO.
 */
#define VONTLE_TYPE_INPUT_HISTORY_LIVE_IO (vontle_input_history_live_io_get_type ())

/**
 * VontleInputHistoryLiveIO:
 *
 * An optional second interface of a [iface@Vontle.InputHistoryIO]: a
 * reader/writer that implements it tells the history when its storage
 * changed behind the history's back, for instance when another process
 * appended to a file that it shares, through
 * [signal@Vontle.InputHistoryLiveIO::storage-changed]. A reader/writer that
 * does not implement it works as before: what changed elsewhere shows at
 * the history's next append or reset.
 *
 * [class@Vontle.InputHistoryFile] implements it. A reader/writer of your own
 * adds it beside [iface@Vontle.InputHistoryIO]; the interface has no slot to
 * fill:
 *
 * ```c
 * static void my_store_live_init (VontleInputHistoryLiveIOInterface *iface) {}
 *
 * G_DEFINE_TYPE_WITH_CODE (MyStore, my_store, G_TYPE_OBJECT,
 *                          G_IMPLEMENT_INTERFACE (VONTLE_TYPE_INPUT_HISTORY_IO, my_store_io_init)
 *                          G_IMPLEMENT_INTERFACE (VONTLE_TYPE_INPUT_HISTORY_LIVE_IO,
 *                                                 my_store_live_init))
 *
 * // when the storage changed elsewhere:
 * g_signal_emit_by_name (store, "storage-changed");
 * ```
 */

/**
 * VontleInputHistoryLiveIO::storage-changed:
 * @io: the reader/writer whose storage changed
 *
 * Emitted by an implementation when its storage changed behind the
 * history's back, never for the history's own appends. A
 * [class@Vontle.InputHistory] that holds @io then reloads its entries. A
 * walk through the entries is not disturbed: while it rests on an entry the
 * reload waits until the walk comes back to the typed line, the history
 * appends or resets, or the walk has been left alone for five seconds; an
 * Up after that pause goes on from the entry it rests on to the next older
 * match, and Down past the newest entry gives back the typed line. The new
 * lines show once the reload has run.
 */

/**
 * vontle_input_history_live_io_get_type:
 *
 * Gives the type of the [iface@Vontle.InputHistoryLiveIO] interface.
 *
 * Returns: the #GType of the interface, registered on first use
 */
VONTLE_AVAILABLE_IN_ALL
G_DECLARE_INTERFACE (VontleInputHistoryLiveIO, vontle_input_history_live_io, VONTLE, INPUT_HISTORY_LIVE_IO,
                     VontleInputHistoryIO)

/**
 * VontleInputHistoryLiveIOInterface:
 * @parent_iface: the type interface header
 * @padding: reserved; never set or called
 *
 * The interface structure of [iface@Vontle.InputHistoryLiveIO]: it has no
 * slot to fill.
 */
struct _VontleInputHistoryLiveIOInterface
{
  GTypeInterface parent_iface;

  gpointer padding[4];
};

G_END_DECLS
