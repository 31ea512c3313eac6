/* SPDX-License-Identifier: LGPL-2.1-or-later */
/* vontle.hpp, part one: what every other part uses. Include vontle/vontle.hpp. */
#pragma once

#if !defined(__cplusplus) || __cplusplus < 201703L
#error "vontle/vontle.hpp needs C++17 or later; C callers include vontle/vontle.h"
#endif

#include <cstddef>
#include <cstdint>
#include <cstring>
#include <iosfwd>
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

class UniqueString;
class LentString;

/* Where the compiler can tell (clang), an argument kept by the object being
 * made must outlive it: a StringArg made from a temporary std::string does
 * not compile into a local that would dangle. */
#if defined(__has_cpp_attribute)
#if __has_cpp_attribute(clang::lifetimebound)
#define VONTLE_LIFETIMEBOUND [[clang::lifetimebound]]
#endif
#endif
#if !defined(VONTLE_LIFETIMEBOUND)
#define VONTLE_LIFETIMEBOUND
#endif

/* A string argument for one call. Literals, const char * (NULL included),
 * std::string, UniqueString and LentString (NULL when they are) are passed
 * on without a copy; a std::string_view is copied, into a small buffer
 * inside the argument when it fits, and is never NULL, not even when empty.
 * A view with an embedded NUL is cut there, as every C string is. Only ever
 * a parameter: it may point into itself, so it can be neither copied nor
 * moved, and it points into the string it was made from, which a temporary
 * takes with it at the end of the full expression (clang refuses such a
 * local with -Wdangling). The conversions are implicit on purpose: that is
 * what lets every string type stand where a StringArg is asked for. */
class StringArg
{
public:
  StringArg (const char *string) noexcept : string_ (string) {}
  StringArg (const std::string &string VONTLE_LIFETIMEBOUND) noexcept : string_ (string.c_str ()) {}
  StringArg (const UniqueString &string VONTLE_LIFETIMEBOUND) noexcept;
  StringArg (const LentString &string) noexcept;
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

  [[nodiscard]] const char *c_str () const noexcept { return string_; }

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
  PathArg (const Path &path VONTLE_LIFETIMEBOUND) noexcept : StringArg (path.native ())
  {
  }
};

namespace detail {

/* What a string that may be NULL offers, whoever owns it: the test for
 * NULL, the text, and comparisons that never read through NULL. Derived
 * gives get (). */
template <typename Derived>
class NullableString
{
public:
  explicit operator bool () const noexcept { return text () != nullptr; }
  /* In bytes; 0 for NULL. */
  [[nodiscard]] size_t size () const noexcept { return text () ? strlen (text ()) : 0; }
  /* A copy; "" for NULL. May allocate (std::bad_alloc). */
  [[nodiscard]] std::string to_string () const { return text () ? std::string (text ()) : std::string (); }
  [[nodiscard]] std::optional<std::string> to_optional () const
  {
    return text () ? std::optional<std::string> (text ()) : std::nullopt;
  }

  /* Against a const char *, nullptr and NULL included, NULL equals NULL
   * only: s == nullptr tests for NULL, as in C. Against any other string
   * (std::string, a view), NULL equals nothing. Spelled out both ways
   * round, as C++17 does not try the operands the other way. */
  friend bool operator== (const Derived &a, const char *b) noexcept { return same (a.get (), b); }
  friend bool operator== (const char *a, const Derived &b) noexcept { return same (a, b.get ()); }
  friend bool operator== (const Derived &a, const Derived &b) noexcept { return same (a.get (), b.get ()); }
  friend bool operator== (const Derived &a, std::string_view b) noexcept
  {
    return a.get () != nullptr && std::string_view (a.get ()) == b;
  }
  friend bool operator== (std::string_view a, const Derived &b) noexcept { return b == a; }
  friend bool operator!= (const Derived &a, const char *b) noexcept { return !(a == b); }
  friend bool operator!= (const char *a, const Derived &b) noexcept { return !(b == a); }
  friend bool operator!= (const Derived &a, const Derived &b) noexcept { return !(a == b); }
  friend bool operator!= (const Derived &a, std::string_view b) noexcept { return !(a == b); }
  friend bool operator!= (std::string_view a, const Derived &b) noexcept { return !(b == a); }

  /* The text; nothing for NULL. Include <ostream> to use it. */
  template <typename Traits>
  friend std::basic_ostream<char, Traits> &operator<< (std::basic_ostream<char, Traits> &stream, const Derived &string)
  {
    const char *held = string.get ();
    return stream << (held ? std::string_view (held) : std::string_view ());
  }

private:
  const char *text () const noexcept { return static_cast<const Derived &> (*this).get (); }
  static bool same (const char *a, const char *b) noexcept
  {
    return a == nullptr || b == nullptr ? a == b : strcmp (a, b) == 0;
  }
};

} // namespace detail

/* A string the caller owns, released with g_free; empty for a NULL result.
 * A moved-from UniqueString is empty. Tests for NULL, compares and prints
 * as detail::NullableString says: s == nullptr is !s. */
class [[nodiscard]] UniqueString : public detail::NullableString<UniqueString>
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
  [[nodiscard]] const char *get () const noexcept { return string_; }
  [[nodiscard]] char *release () noexcept { return std::exchange (string_, nullptr); }

  /* The text; an empty view for NULL (test the handle to tell them apart).
   * Not on a temporary, which would leave the view dangling: take
   * to_string () or keep the UniqueString. */
  [[nodiscard]] std::string_view view () const & noexcept
  {
    return string_ ? std::string_view (string_) : std::string_view ();
  }
  std::string_view view () const && = delete;

private:
  explicit UniqueString (char *string) noexcept : string_ (string) {}
  char *string_ = nullptr;
};

/* A string lent by an object, which may be NULL (nothing matched, an empty
 * handle): what InputHistory::next () and previous (), Template::base ()
 * and InputHistoryFile::path () return. It is valid as long as the C call
 * says (until the history or base next changes, while the store lives),
 * whatever happens to this small value, which is cheap to copy. NULL is in
 * the type: it does not convert to const char * or std::string (test it,
 * then take get (), view () or to_string ()), and s == nullptr is !s. */
class LentString : public detail::NullableString<LentString>
{
public:
  LentString () noexcept = default;
  explicit LentString (const char *string) noexcept : string_ (string) {}

  /* The C string, NULL included. */
  [[nodiscard]] const char *get () const noexcept { return string_; }
  /* The text; an empty view for NULL. */
  [[nodiscard]] std::string_view view () const noexcept
  {
    return string_ ? std::string_view (string_) : std::string_view ();
  }

private:
  const char *string_ = nullptr;
};

inline StringArg::StringArg (const UniqueString &string) noexcept : string_ (string.get ()) {}
inline StringArg::StringArg (const LentString &string) noexcept : string_ (string.get ()) {}

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

/* Code that must release something while an exception passes through it
 * is built in an inline namespace of its own where exceptions are on
 * (catching), apart from the same code built without them (plain): a
 * program that mixes both kinds of translation units links each to its own
 * copy, never to one that lacks the cleanup. A member that is no template
 * takes Mode as a defaulted template parameter, for the namespace to reach
 * its name too; List::sort's helper lives in the same namespace. */
#if defined(__cpp_exceptions)
inline namespace catching {
#else
inline namespace plain {
#endif

struct Mode
{
};

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

} // inline namespace catching or plain

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
