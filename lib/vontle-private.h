/* SPDX-License-Identifier: LGPL-2.1-or-later */
/* Internal helpers shared by the library's units. Not installed. */
#pragma once

#include <glib.h>
#include <glib-object.h>
#include <gio/gio.h>

#include <memory>

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

/* The function that slot MEMBER of INSTANCE's class structure, or of its
 * interface structure when TYPE is an interface, holds. INSTANCE must be of
 * TYPE (else a critical with TYPE_CONDITION) and the slot must be filled
 * (else a critical with CONDITION): a subclass or an implementation that
 * leaves a slot empty gets a report rather than a jump through a null
 * pointer. Returns null after a report. */
template <typename Table, typename Slot>
Slot
slot_of (gpointer instance, GType type, Slot Table::*member, const char *function,
         const char *type_condition, const char *condition)
{
  if (!check (G_TYPE_CHECK_INSTANCE_TYPE (instance, type), function, type_condition))
    return nullptr;
  gpointer klass = static_cast<GTypeInstance *> (instance)->g_class;
  auto *table = static_cast<Table *> (G_TYPE_IS_INTERFACE (type) ? g_type_interface_peek (klass, type)
                                                                 : klass);
  if (!check (table != nullptr && table->*member != nullptr, function, condition))
    return nullptr;
  return table->*member;
}

/* A reference to OBJECT for the length of a scope: host code called
 * meanwhile may drop the caller's last one. */
class Hold
{
public:
  explicit Hold (gpointer object) noexcept : object_ (g_object_ref (object)) {}
  Hold (const Hold &) = delete;
  Hold &operator= (const Hold &) = delete;
  ~Hold () { g_object_unref (object_); }

private:
  gpointer object_;
};

/* Frees with g_free, for std::unique_ptr over GLib's allocations. */
struct GFreeDeleter
{
  void operator() (void *memory) const { g_free (memory); }
};

/* Memory from GLib's allocator, freed with g_free: GMemory<T> for one
 * record, GMemory<T[]> for an array from g_new. */
template <typename T> using GMemory = std::unique_ptr<T, GFreeDeleter>;

/* The logger's threshold, shared by its two units (hidden like every
 * internal symbol). */
extern VontleLogLevel log_threshold G_GNUC_INTERNAL;

/* The user's state directory: $XDG_STATE_HOME as it is now, or
 * ~/.local/state when that is unset, empty or relative. New string. */
char *user_state_dir ();

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
