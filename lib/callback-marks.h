/* SPDX-License-Identifier: LGPL-2.1-or-later */
/* What the host callbacks running on this thread were called for, shared by
 * the list and the tree. Not installed. */
#pragma once

namespace vontle {

/* Why a structure is lending itself to host code: its elements are handed
 * out one by one (walking), its array is being sorted or taken over by a
 * comparator's caller (sorting), or its nodes' data are being released
 * (releasing). */
enum class Busy : unsigned char
{
  walking,
  sorting,
  releasing,
};

/* One mark per scope that calls host code, chained from the innermost to
 * the outermost. A callback may walk another structure whose callback
 * reaches back to the first one, so every mark on the chain counts, not
 * only the innermost. */
struct BusyMark
{
  const void *object;
  Busy reason;
  const BusyMark *outer;
};

/* constinit: the units that read it know it needs no dynamic
 * initialisation, so an access is a load, not a call through a TLS wrapper;
 * initial-exec: at a fixed offset, not a call into the loader. */
[[gnu::tls_model ("initial-exec")]] extern constinit thread_local const BusyMark *busy_marks;

/* Marks OBJECT for REASON for the length of a scope. */
class BusyScope
{
public:
  BusyScope (const void *object, Busy reason) noexcept : mark_ { object, reason, busy_marks }
  {
    busy_marks = &mark_;
  }
  BusyScope (const BusyScope &) = delete;
  BusyScope &operator= (const BusyScope &) = delete;
  ~BusyScope () { busy_marks = mark_.outer; }

private:
  BusyMark mark_;
};

/* Whether any scope running on this thread marks OBJECT for REASON. */
inline bool
is_busy (const void *object, Busy reason) noexcept
{
  for (const BusyMark *mark = busy_marks; mark != nullptr; mark = mark->outer)
    if (mark->object == object && mark->reason == reason)
      return true;
  return false;
}

/* Whether any scope running on this thread calls host code at all. */
inline bool
any_busy () noexcept
{
  return busy_marks != nullptr;
}

} // namespace vontle
