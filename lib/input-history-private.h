/* SPDX-License-Identifier: LGPL-2.1-or-later */
/* The input history's private state, shared by the object's unit and the
 * navigation step's. Not installed. */
#pragma once

#include "vontle-private.h"

/* The walk, as the steps keep it. n is the size of the entry list when a
 * step runs; index n is the bottom, just past the newest entry.
 *  - position: where the walk stands, 0..n; the next step moves from here.
 *    It may lie past the end when the list was shortened through the lent
 *    list, which the next step reports.
 *  - match_position: the entry the walk last returned, or n when it stands at
 *    the bottom (a new walk, or a step past the newest entry). A walk whose
 *    match_position is n begins anew on the next step.
 *  - saved_line: what was typed when the walk began, the prefix every entry
 *    is tested against and what a step past the newest entry returns; null
 *    only before the first step (or when the host passed null).
 *  - reset_pending: set at creation and by every reset; the next step begins
 *    a new walk from the bottom and goes toward older entries whichever way it
 *    was asked. A match, or reaching the oldest entry, clears it. */
struct VontleInputHistoryPrivate
{
  VontleList *entries;      /* owns its strings; oldest first */
  size_t position;
  size_t match_position;
  VontleInputHistoryIO *io; /* one reference, or null */
  char *saved_line;
  /* Counts the reloads begun, so that a reload can tell that the reader/writer
   * ran another one (appended to this history, say) while it read. */
  guint64 reload_generation;
  /* A reload whose emptying of the list is not reported yet: reported as a
   * removal of everything when the reload's read changes the list itself. */
  guint64 unreported_reload;
  size_t unreported_size;
  /* The reader/writer's storage changed during a walk: reloaded once the
   * walk ends or is left alone (checked by deferred_reload). */
  GSource *deferred_reload;
  /* While a reload is read and reported, the entries as the change reports
   * so far have them: the first view_boundary entries of the list, then
   * those of view_before from view_resume on. Null outside a reload. */
  const VontleList *view_before;
  size_t view_boundary;
  size_t view_resume;
  gint64 last_step_time;
  bool on_entry; /* the last step returned an entry, not the saved line */
  bool reset_pending;
};

namespace vontle {

VontleInputHistoryPrivate *input_history_private (VontleInputHistory *history);

/* The entry at INDEX as the change reports so far tell it, which differs
 * from the list while a reload is read or reported, in *TEXT (which may be
 * null); false past the end. */
bool input_history_reported_entry (VontleInputHistory *history, size_t index, const char **text);

/* For the library's file store, FILE: when its file has only grown since
 * the read whose result a history of HELD entries holds, the entries parsed
 * since (new strings, into LINES), whether each was an entry before (SEEN,
 * gboolean) and the store's max-entries (*MAX). Appended to what that read
 * returned, each once at its newest place and at most *MAX (0: all), they
 * give what a read would give now. False when a full read is needed. */
bool input_history_file_read_appended (VontleInputHistoryFile *file, size_t held, GPtrArray *lines, GArray *seen,
                                       guint *max);

/* Whether HISTORY's class keeps the default list and reset slots. */
bool input_history_has_default_entries (VontleInputHistory *history);

/* Where the entry equal to LINE lies in ENTRIES, searched from the newest
 * (the history holds each line once); -1 when none is. */
gssize input_history_find_newest (const VontleList *entries, const char *line);

/* Brings a history over the library's file store up to date with the lines
 * that the file gained, reported one change at a time, as a reset would
 * leave the entries; false (nothing done) when only a reset can. */
bool input_history_catch_up (VontleInputHistory *history);

/* One change of a reload: at POSITION of the list as changed so far,
 * REMOVED entries of the list before gave way to ADDED entries of the list
 * after; BEFORE_END is the index, in the list before, just past the last
 * entry removed. */
struct EntryEdit
{
  size_t position;
  size_t removed;
  size_t added;
  size_t before_end;
};

/* Appends to EDITS (a GArray of EntryEdit) the changes that turn BEFORE
 * into AFTER, front to back: the fewest insertions and removals when at
 * most MAX_STEPS are needed, else one replacement of all that lies between
 * the common head and tail. */
void diff_entries (const VontleList &before, const VontleList &after, size_t max_steps, GArray *edits);

} // namespace vontle

/* The class's default next and previous slots: the prefix walk. */
const char *vontle_input_history_real_next (VontleInputHistory *history, const char *line);
const char *vontle_input_history_real_previous (VontleInputHistory *history, const char *line);
