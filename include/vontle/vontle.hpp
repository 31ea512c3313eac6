/* SPDX-License-Identifier: LGPL-2.1-or-later */
/* libvontle for C++17 and later: owning handles, typed iteration, string
 * arguments and results, signal connections from lambdas and history storage
 * in a C++ class. Header only: everything here is inline and calls the C API,
 * so it adds no symbol to the library and needs nothing but libvontle.
 *
 * Ownership
 *   List, ListIterator, Node    move-only; each frees what it holds
 *   Template, InputHistory,     one GObject reference each: a copy takes
 *   InputHistoryFile,           another (g_object_ref), a move steals it
 *   InputHistoryModel, InputHistorySearch
 *   UniqueString                a string the caller owns (g_free)
 *   LentString                  a string lent by an object, maybe NULL
 *   ListView<T>, NodeRef        borrowed; they never free anything (a Node
 *                               is no NodeRef: it lends one, ref ())
 * Every handle gives its C pointer with get (), gives it up with release ()
 * and is made from one with adopt () (Template and InputHistory also with
 * ref (), which takes a new reference). A handle may be empty (default
 * constructed, moved from, or a constructor that ran out of memory); calling
 * through an empty handle is what calling the C function with NULL is: a
 * critical warning and a neutral result. Only walks differ: a range-for over
 * an empty list handle or a node's children walks nothing, silently.
 *
 * Strings go in as StringArg: a const char * (NULL where the C call allows
 * it), a std::string, a UniqueString or a LentString is passed through as it
 * is; a std::string_view is copied into a NUL-terminated buffer for the
 * length of the call. StringArg is a parameter type only: a local one made
 * from a temporary dangles (clang refuses it). New strings come back as
 * UniqueString; lent strings that may be NULL as LentString, never as a
 * const char * or a std::string that would hide NULL. Both test for NULL
 * (if (s), s == nullptr), compare with any string without reading through
 * NULL, and print with <<.
 *
 * Views and lent strings come from handles that live on: the members that
 * return them are not available on temporaries (a call on one does not
 * compile), as the temporary would take what they point into with it.
 *
 * Nothing here throws but the calls that return
 * std::string or std::vector (to_string, dup_lines, dup_referenced_names)
 * allocate with operator new and may throw std::bad_alloc; List::sort and
 * List::find with a C++ callable, which throw again what the callable threw
 * once the C call is over; List::remove_if, whose predicate is called from
 * C++ directly; and the on_* connections, which copy the handler. Every noexcept
 * call that allocates does so through GLib, which aborts the process when
 * memory is exhausted, as the C API does; noexcept promises no failure
 * report, not that allocation cannot fail. Callbacks from C into C++
 * (signal handlers, history storage) are noexcept: an exception that escapes
 * them ends the program instead of unwinding through C frames. Function
 * pointers handed to the C API (comparators, free functions) must not throw
 * at all: an exception would unwind through the library's C frames and leave
 * its state half changed. The header builds with and without exceptions.
 *
 * Threads: as in C, every object (list, iterator, tree, template, history)
 * is used by one thread at a time, and handlers and storage run on the
 * thread that made the call. A Connection is destroyed on the thread that
 * uses its template, and may outlive the template (it then holds nothing).
 * Handles may be moved between threads when the object is not in use.
 *
 * The API sits in the inline namespace vontle::v5, named after the library's
 * ABI. The parts are split by subsystem under vontle/hpp/; include this
 * umbrella header, not the parts. */
#pragma once

#include <vontle/hpp/base.hpp>
#include <vontle/hpp/containers.hpp>
#include <vontle/hpp/objects.hpp>
#include <vontle/hpp/input-history.hpp>
#include <vontle/hpp/input-history-live-io.hpp>
#include <vontle/hpp/input-history-file.hpp>
#include <vontle/hpp/input-history-model.hpp>
#include <vontle/hpp/input-history-search.hpp>
#include <vontle/hpp/template.hpp>
#include <vontle/hpp/utils.hpp>
