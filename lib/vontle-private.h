/* SPDX-License-Identifier: LGPL-2.1-or-later */
/* Internal helpers shared by the library's units. Not installed. */
#pragma once

#include <glib.h>
#include <glib-object.h>
#include <gio/gio.h>

/* The public declarations carry the export annotation; a definition takes
 * its visibility from them, whatever the order of includes. */
#include <vontle/vontle.h>

namespace vontle {

/* Reports a violated precondition the way GLib's g_return_if_fail() does, but
 * with the plain C function name: under C++ G_STRFUNC is the full signature,
 * and the report must carry no log domain. Returns whether the condition
 * holds, so call sites read "if (!check (...)) return ...;". */
inline bool
check (bool holds, const char *function, const char *condition)
{
  if (G_LIKELY (holds))
    return true;
  g_return_if_fail_warning (nullptr, function, condition);
  return false;
}

/* The slot of a class or interface structure, or null after a critical when
 * the structure is missing or the slot was left empty: a class written in
 * another language may not fill every slot, and a jump through a null
 * pointer must not follow. */
template <typename Table, typename Slot>
Slot
filled_slot (const Table *table, Slot Table::*slot, const char *function, const char *condition)
{
  if (!check (table != nullptr && table->*slot != nullptr, function, condition))
    return nullptr;
  return table->*slot;
}

} // namespace vontle

/* The usual form: the condition text is the expression as written. */
#define VONTLE_CHECK(expr) (vontle::check (static_cast<bool> (expr), __func__, #expr))

/* Log with the call site filled in; the function name is the plain one. */
#define VONTLE_LOG_HERE(level, ...) vontle_log (G_STRLOC, __func__, (level), __VA_ARGS__)

namespace vontle {

/* A new NULL-terminated copy of a list of strings, the form bindings can
 * read. A null list gives an empty array; null elements are left out, as
 * the array could not hold them. */
inline char **
dup_strings (const VontleList *list)
{
  const size_t n = list != nullptr ? list->size : 0;
  char **copy = g_new0 (char *, n + 1);
  size_t filled = 0;
  for (size_t i = 0; i < n; i++)
    if (list->start[i] != nullptr)
      copy[filled++] = g_strdup (static_cast<const char *> (list->start[i]));
  return copy;
}

} // namespace vontle
