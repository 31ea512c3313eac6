/* SPDX-License-Identifier: LGPL-2.1-or-later */
/* vontle.hpp, part one: what every other part uses. Include vontle/vontle.hpp. */
#pragma once

#if !defined(__cplusplus) || __cplusplus < 201703L
#error "vontle/vontle.hpp needs C++17 or later; C callers include vontle/vontle.h"
#endif

#include <cstddef>
#include <cstdint>
#include <cstring>
#include <functional>
#include <iterator>
#include <optional>
#include <string>
#include <string_view>
#include <type_traits>
#include <utility>
#include <vector>

#if __cplusplus > 201703L && __has_include(<version>)
#include <version>
#endif
#if defined(__cpp_lib_ranges)
#include <ranges>
#endif
#if defined(__cpp_lib_source_location)
#include <source_location>
#endif

#include <glib-object.h>
#include <vontle/vontle.h>

/* Everything lives in an inline namespace named after the library's ABI
 * (libvontle.so.5): two modules built against headers of different ABIs
 * cannot silently share one inline definition, as the names differ. */
namespace vontle {
inline namespace v5 {

/* ------------------------------------------------------------- strings -- */

/* A string argument for one call. Literals, const char * (NULL included) and
 * std::string are passed on without a copy; a std::string_view is copied,
 * into a small buffer inside the argument when it fits, and is never NULL,
 * not even when empty. A view with an embedded NUL is cut there, as every C
 * string is. Only ever a parameter: it may point into itself, so it can be
 * neither copied nor moved. The conversions are implicit on purpose: that
 * is what lets every string type stand where a StringArg is asked for. */
class StringArg
{
public:
  StringArg (const char *string) noexcept : string_ (string) {}
  StringArg (const std::string &string) noexcept : string_ (string.c_str ()) {}
  StringArg (std::string_view string) noexcept
  {
    char *copy = buffer_;
    if (string.size () >= sizeof buffer_)
      copy = heap_ = static_cast<char *> (g_malloc (string.size () + 1));
    string.copy (copy, string.size ());
    copy[string.size ()] = '\0';
    string_ = copy;
  }
  StringArg (const StringArg &) = delete;
  StringArg &operator= (const StringArg &) = delete;
  ~StringArg () { g_free (heap_); }

  const char *c_str () const noexcept { return string_; }

private:
  const char *string_ = nullptr;
  char *heap_ = nullptr;
  char buffer_[64];
};

/* A string the caller owns, released with g_free; empty for a NULL result.
 * A moved-from UniqueString is empty. */
class [[nodiscard]] UniqueString
{
public:
  UniqueString () noexcept = default;
  static UniqueString adopt (char *string) noexcept { return UniqueString (string); }
  UniqueString (UniqueString &&other) noexcept : string_ (other.release ()) {}
  UniqueString &operator= (UniqueString &&other) noexcept
  {
    if (this != &other)
      {
        g_free (string_);
        string_ = other.release ();
      }
    return *this;
  }
  ~UniqueString () { g_free (string_); }

  /* The string itself; on a temporary it lives to the end of the full
   * expression, as for std::string::c_str (). */
  const char *get () const noexcept { return string_; }
  [[nodiscard]] char *release () noexcept { return std::exchange (string_, nullptr); }
  explicit operator bool () const noexcept { return string_ != nullptr; }

  /* The text; an empty view for NULL (test the handle to tell them apart).
   * Not on a temporary, which would leave the view dangling: take
   * to_string () or keep the UniqueString. */
  std::string_view view () const & noexcept
  {
    return string_ ? std::string_view (string_) : std::string_view ();
  }
  std::string_view view () const && = delete;
  /* A copy; "" for NULL. May allocate (std::bad_alloc). */
  std::string to_string () const { return string_ ? std::string (string_) : std::string (); }
  std::optional<std::string> to_optional () const
  {
    return string_ ? std::optional<std::string> (string_) : std::nullopt;
  }

  friend bool operator== (const UniqueString &a, std::string_view b) noexcept
  {
    return a.string_ != nullptr && std::string_view (a.string_) == b;
  }
  friend bool operator!= (const UniqueString &a, std::string_view b) noexcept { return !(a == b); }

private:
  explicit UniqueString (char *string) noexcept : string_ (string) {}
  char *string_ = nullptr;
};

namespace detail {

/* Elements are untyped pointers; a typed view reads them as pointers, or as
 * integers stored with GINT_TO_POINTER and its kin. */
template <typename T>
inline T
element_cast (void *element) noexcept
{
  if constexpr (std::is_pointer_v<T>)
    return static_cast<T> (element);
  else
    {
      static_assert (std::is_integral_v<T> || std::is_enum_v<T>,
                     "list elements are read as pointers or as integers stored in pointers");
      return static_cast<T> (reinterpret_cast<std::uintptr_t> (element));
    }
}

/* A NULL-terminated string array (the form the C API returns) as strings. */
inline std::vector<std::string>
take_strv (char **strings)
{
  std::vector<std::string> result;
  if (strings != nullptr)
    {
      result.reserve (g_strv_length (strings));
      for (char **s = strings; *s != nullptr; s++)
        result.emplace_back (*s);
    }
  g_strfreev (strings);
  return result;
}

} // namespace detail

} // namespace v5
} // namespace vontle
