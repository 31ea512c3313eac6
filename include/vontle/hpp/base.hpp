/* SPDX-License-Identifier: LGPL-2.1-or-later */
/* vontle.hpp, part one: what every other part uses. Include vontle/vontle.hpp. */
#pragma once

#if !defined(__cplusplus) || __cplusplus < 201703L
#error "vontle/vontle.hpp needs C++17 or later; C callers include vontle/vontle.h"
#endif

#include <cstddef>
#include <cstdint>
#include <cstring>
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
/* Not <ranges>: what the views specialize (ranges::enable_view and
 * ranges::enable_borrowed_range) <string_view> declares too, for its own. */
#if defined(__cpp_lib_source_location)
#include <source_location>
#endif
#if defined(__cpp_impl_three_way_comparison) && __has_include(<compare>)
#include <compare>
#endif
#if defined(__cpp_exceptions)
#include <exception>
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

namespace detail {

/* A std::filesystem::path, or any class that keeps its text as a
 * std::string given by native (): told apart by that member, so that this
 * header need not include <filesystem>. */
template <typename Path, typename = void>
inline constexpr bool is_native_path = false;
template <typename Path>
inline constexpr bool is_native_path<
  Path, std::enable_if_t<std::is_same_v<decltype (std::declval<const Path &> ().native ()), const std::string &>>>
  = true;

} // namespace detail

/* A file name or URI argument: whatever a StringArg takes, and a
 * std::filesystem::path, passed on as its native text without a copy. */
class PathArg : public StringArg
{
public:
  using StringArg::StringArg;
  template <typename Path, typename = std::enable_if_t<detail::is_native_path<Path>>>
  PathArg (const Path &path) noexcept : StringArg (path.native ())
  {
  }
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

  /* Frees the string held and takes STRING over. */
  void reset (char *string = nullptr) noexcept { g_free (std::exchange (string_, string)); }
  void swap (UniqueString &other) noexcept { std::swap (string_, other.string_); }
  friend void swap (UniqueString &a, UniqueString &b) noexcept { a.swap (b); }

  /* The string itself; on a temporary it lives to the end of the full
   * expression, as for std::string::c_str (). */
  const char *get () const noexcept { return string_; }
  [[nodiscard]] char *release () noexcept { return std::exchange (string_, nullptr); }
  explicit operator bool () const noexcept { return string_ != nullptr; }
  /* In bytes; 0 for NULL. */
  size_t size () const noexcept { return string_ ? strlen (string_) : 0; }

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
  /* Spelled out, as C++17 does not try the operands the other way round. */
  friend bool operator== (std::string_view a, const UniqueString &b) noexcept { return b == a; }
  friend bool operator!= (std::string_view a, const UniqueString &b) noexcept { return !(b == a); }

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

/* A NULL-terminated string array (the form the C API returns) as strings.
 * The array is freed even when copying it throws std::bad_alloc. */
inline std::vector<std::string>
take_strv (char **strings)
{
  struct Owner
  {
    char **strv;
    ~Owner () { g_strfreev (strv); }
  } const owner { strings };
  std::vector<std::string> result;
  if (strings != nullptr)
    {
      result.reserve (g_strv_length (strings));
      for (char **s = strings; *s != nullptr; s++)
        result.emplace_back (*s);
    }
  return result;
}

/* Handles order by the address of what they hold: any total order keys a
 * std::map, and this one agrees with ==. */
inline std::uintptr_t
address_of (const void *object) noexcept
{
  return reinterpret_cast<std::uintptr_t> (object);
}

/* A handle that declares ordered_by_address (as void) is ordered by what
 * it holds; see the operators below. */
template <typename Handle>
using if_ordered_by_address = std::enable_if_t<std::is_void_v<typename Handle::ordered_by_address>, bool>;

} // namespace detail

/* Handles of one kind order by the object they hold, so that they can key a
 * std::map or be sorted; the empty handle comes first. */
template <typename Handle, detail::if_ordered_by_address<Handle> = true>
inline bool
operator< (const Handle &a, const Handle &b) noexcept
{
  return detail::address_of (a.get ()) < detail::address_of (b.get ());
}
template <typename Handle, detail::if_ordered_by_address<Handle> = true>
inline bool
operator> (const Handle &a, const Handle &b) noexcept
{
  return b < a;
}
template <typename Handle, detail::if_ordered_by_address<Handle> = true>
inline bool
operator<= (const Handle &a, const Handle &b) noexcept
{
  return !(b < a);
}
template <typename Handle, detail::if_ordered_by_address<Handle> = true>
inline bool
operator>= (const Handle &a, const Handle &b) noexcept
{
  return !(a < b);
}
#if defined(__cpp_lib_three_way_comparison)
template <typename Handle, detail::if_ordered_by_address<Handle> = true>
inline std::strong_ordering
operator<=> (const Handle &a, const Handle &b) noexcept
{
  return detail::address_of (a.get ()) <=> detail::address_of (b.get ());
}
#endif

} // namespace v5
} // namespace vontle
