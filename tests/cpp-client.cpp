/* SPDX-License-Identifier: LGPL-2.1-or-later */
/* A C++ program that uses the whole of vontle.hpp, and checks what its
 * comments promise: what a refused operation gives, who keeps an object
 * afterwards, what a moved-from handle holds. Plain checks, no test
 * framework, so that tools/check-cxx-client can build it with every compiler,
 * standard library and exception setting, under ASan and UBSan. Exits 1 on
 * the first broken promise. */
#include <vontle/vontle.hpp>

#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <iterator>
#include <map>
#include <new>
#include <sstream>
#include <string>
#include <unordered_set>
#include <vector>

#if __cplusplus > 201703L && defined(__cpp_concepts)
#include <algorithm>
#include <ranges>
#endif

#define CHECK(condition)                                                                  \
  do                                                                                      \
    {                                                                                     \
      if (!(condition))                                                                   \
        {                                                                                 \
          fprintf (stderr, "%s:%d: check failed: %s\n", __FILE__, __LINE__, #condition); \
          exit (1);                                                                       \
        }                                                                                 \
    }                                                                                     \
  while (0)

/* From cpp-client-plain.cpp, built without exceptions. */
std::vector<std::string> plain_dup_lines (const vontle::InputHistory &history);

namespace {

/* The library's messages, taken over from vontle_vlog (defined below). */
std::string last_location, last_function, last_text;
/* GLib criticals since the last take_criticals (). */
std::vector<std::string> criticals;

void
count_critical (const char *domain, GLogLevelFlags level, const char *message, gpointer data)
{
  if ((level & G_LOG_LEVEL_CRITICAL) != 0)
    criticals.emplace_back (message);
  else
    g_log_default_handler (domain, level, message, data);
}

size_t
take_criticals ()
{
  return std::exchange (criticals, {}).size ();
}

#if defined(__cpp_exceptions)
/* Set to make the next operator new throw std::bad_alloc. */
bool fail_next_new = false;
#endif

int
compare_ints (const void *a, const void *b)
{
  return GPOINTER_TO_INT (a) - GPOINTER_TO_INT (b);
}

void
strings_and_results ()
{
  vontle::UniqueString escaped = vontle::escape_string (std::string_view ("a b c").substr (0, 3));
  CHECK (escaped.view () == "a\\ b");
  CHECK (escaped == "a\\ b");
  vontle::UniqueString none = vontle::escape_string (nullptr);
  CHECK (!none && none.view ().empty () && !none.to_optional ());
  vontle::UniqueString moved = std::move (escaped);
  CHECK (!escaped && moved.to_string () == "a\\ b");   /* moved from: empty */
  char *raw = moved.release ();
  CHECK (!moved && strcmp (raw, "a\\ b") == 0);        /* the caller keeps it */
  g_free (raw);
  CHECK (vontle::replace_substring ("a-b", "-", "+").to_string () == "a+b");
  CHECK (vontle::fix_path ("/x").to_string () == "/x");
  CHECK (vontle::fix_path (std::filesystem::path ("/x") / "y") == "/x/y");

  vontle::UniqueString a = vontle::escape_string ("a b"), b;
  swap (a, b);
  CHECK (!a && a.size () == 0 && "a\\ b" == b && b.size () == 4);
  b.reset (g_strdup ("c"));
  CHECK ("c" == b && "a" != b);

  /* Null as in C, both ways round, never read through; with UniqueString,
   * LentString and every standard library. */
  const vontle::LentString lent (b.get ()), no_lent;
  CHECK (a == nullptr && nullptr == a && !(b == nullptr) && b != NULL && NULL != b && a == NULL);
  CHECK (no_lent == nullptr && NULL == no_lent && lent != nullptr && lent == "c" && lent != std::string ("d"));
  CHECK (a == vontle::UniqueString () && b != a && b == vontle::escape_string ("c") && lent == vontle::LentString ("c"));
  std::ostringstream printed;
  printed << b << '|' << a << '|' << lent << no_lent;
  CHECK (printed.str () == "c||c");
  CHECK (vontle::escape_string (b) == "c" && vontle::escape_string (lent) == "c");   /* StringArgs too */
}

/* Sorts INNER, when given, with a comparator of its own type. */
struct Descending
{
  vontle::List *inner;
  int operator() (const void *x, const void *y) const
  {
    if (inner != nullptr)
      inner->sort (Descending { nullptr });
    return compare_ints (y, x);
  }
};

void
lists_and_ranges ()
{
  auto list = vontle::List::create ();
  for (int n : { 4, 9, 2, 7 })
    list.append (GINT_TO_POINTER (n));
  const auto ints = list.as<int> ();
  CHECK (ints.size () == 4 && ints[1] == 9);
  CHECK (ints.end () - ints.begin () == 4 && ints.begin ()[3] == 7);
  auto it = ints.begin () + 2;
  CHECK (*it == 2 && *(it - 1) == 9 && it > ints.begin () && it[1] == 7);
  /* The classic functions see random access: back from the end, in O(1). */
  static_assert (std::is_same_v<std::iterator_traits<vontle::ListView<int>::iterator>::iterator_category,
                                std::random_access_iterator_tag>);
  CHECK (*std::prev (ints.end ()) == 7 && std::distance (ints.begin (), ints.end ()) == 4);
  std::advance (it, -2);
  CHECK (it == ints.begin ());

  /* The end follows the list: appended elements are walked, and a shrunken
   * list is never read past its end. */
  int walked = 0;
  for (int n : ints)
    {
      if (n == 7)
        list.append (GINT_TO_POINTER (1));
      walked++;
    }
  CHECK (walked == 5);
  auto past = ints.begin () + 4;
  list.remove (GINT_TO_POINTER (1));
  CHECK (past == ints.end ());

#if __cplusplus > 201703L && defined(__cpp_concepts)
  /* Every C++20 library, one whose ranges are partial (libc++ 14) included. */
  using View = vontle::ListView<int>;
  static_assert (std::ranges::view<View>);
  static_assert (std::ranges::borrowed_range<View>);
  static_assert (std::ranges::random_access_range<View>);
  static_assert (std::ranges::sized_range<View>);
  static_assert (std::random_access_iterator<View::iterator>);
  static_assert (std::ranges::borrowed_range<vontle::NodeChildren>);
  CHECK (*std::ranges::begin (list.as<int> ()) == 4);
#endif
#if defined(__cpp_lib_ranges)
  CHECK (*std::ranges::max_element (ints) == 9);
  CHECK (*std::ranges::find_if (ints, [] (int n) { return n < 3; }) == 2);
  std::vector<int> reversed;
#if !defined(__clang__) || __clang_major__ >= 15
  for (int n : ints | std::views::reverse)
    reversed.push_back (n);
#else
  /* clang 14 cannot compile libstdc++ 12's views::reverse over any range,
   * a std::vector included; the same walk by hand. */
  for (auto r = std::make_reverse_iterator (ints.end ()); r != std::make_reverse_iterator (ints.begin ()); ++r)
    reversed.push_back (*r);
#endif
  CHECK ((reversed == std::vector<int> { 7, 2, 9, 4 }));
#endif

  /* A refused merge (the same list) leaves the other as it was. */
  list.merge (std::move (list));
  CHECK (take_criticals () == 1 && list.size () == 4);
  auto other = vontle::List::create ();
  other.append (GINT_TO_POINTER (5));
  list.merge (std::move (other));
  CHECK (!other && list.size () == 5);                 /* taken over */

  auto sorted = vontle::List::create_sorted (compare_ints);
  for (int n : list.as<int> ())
    sorted.append (GINT_TO_POINTER (n));
  CHECK (sorted.nth<int> (0) == 2 && sorted.nth<int> (4) == 9);

  auto iter = vontle::ListIterator::create (list);
  CHECK (iter && iter.valid () && iter.data<int> () == 4);
  auto copy = iter.copy ();
  CHECK (iter.next () && copy.data<int> () == 4 && iter != copy);
  auto moved = std::move (iter);
  CHECK (!iter && moved.data<int> () == 9);            /* moved from: empty */

  /* Into an empty handle, or into a list being sorted: refused, and the
   * donor keeps its elements (ASan sees them freed once, by it). */
  auto donor = vontle::List::create (g_free);
  donor.append (g_strdup ("kept"));
  vontle::List ().merge (std::move (donor));
  CHECK (take_criticals () == 1 && donor.size () == 1);
  bool tried = false;
  list.sort ([&] (const void *x, const void *y) {
    if (!std::exchange (tried, true))
      list.merge (std::move (donor));
    return compare_ints (x, y);
  });
  CHECK (take_criticals () == 1 && donor.size () == 1 && list.size () == 5);
  /* Merged away from inside its own sort: refused, the donor keeps it all. */
  donor.append (g_strdup ("also kept"));
  donor.sort ([&] (const void *x, const void *y) {
    list.merge (std::move (donor));
    return strcmp (static_cast<const char *> (x), static_cast<const char *> (y));
  });
  CHECK (take_criticals () >= 1 && donor.size () == 2 && list.size () == 5);

#if defined(__cpp_impl_three_way_comparison) && __has_include(<compare>)
  /* An ordering, as <=> gives, sorts ascending, as a negative int does. */
  auto digits = vontle::List::create ();
  for (int n : { 3, 1, 4, 1, 5, 9, 2, 6 })
    digits.append (GINT_TO_POINTER (n));
  digits.sort ([] (const void *x, const void *y) { return GPOINTER_TO_INT (x) <=> GPOINTER_TO_INT (y); });
  CHECK ((std::vector<int> (digits.as<int> ().begin (), digits.as<int> ().end ()) == std::vector<int> { 1, 1, 2, 3, 4, 5, 6, 9 }));
#endif

  /* A sort inside a comparator of the same type is its own. */
  auto inner = vontle::List::create ();
  inner.append (GINT_TO_POINTER (1));
  inner.append (GINT_TO_POINTER (2));
  list.sort (Descending { &inner });
  CHECK (list.nth<int> (0) == 9 && list.nth<int> (4) == 2 && inner.nth<int> (0) == 2);
  static const char *const name = "name";
  inner.append (const_cast<char *> (name));            /* found through a const pointer */
  CHECK (inner.contains (name) && inner.position (name) == 2);
#if defined(__cpp_exceptions)
  /* A throwing comparator: the sort ends, nothing is lost, and the list
   * takes appends again. */
  bool thrown = false;
  try { list.sort ([] (const void *, const void *) -> int { throw 1; }); } catch (int) { thrown = true; }
  list.append (GINT_TO_POINTER (3));
  CHECK (thrown && list.size () == 6 && take_criticals () == 0);
  list.remove (GINT_TO_POINTER (3));
#endif

  std::unordered_set<vontle::List> set;
  VontleList *held = list.get ();
  set.insert (std::move (list));
  CHECK (set.size () == 1 && set.begin ()->get () == held && !list);

  std::map<vontle::List, int> keyed;
  keyed.emplace (vontle::List::create (), 1);
  keyed.emplace (vontle::List (), 0);                  /* the empty handle first */
  CHECK (keyed.size () == 2 && keyed.begin ()->second == 0 && keyed.begin ()->first < keyed.rbegin ()->first);
#if defined(__cpp_lib_three_way_comparison)
  CHECK ((keyed.begin ()->first <=> keyed.rbegin ()->first) < 0);
#endif
}

void
trees ()
{
  auto root = vontle::Node::create (g_strdup ("root"), g_free);
  root.append_data (g_strdup ("a"));
  auto child = vontle::Node::create (g_strdup ("b"), g_free);
  vontle::NodeRef b = root.append (std::move (child));
  CHECK (b && !child && b.parent () == root);          /* the tree keeps it */
  /* Refused (a node already in a tree): the handle keeps its node. */
  auto loose = vontle::Node::create (g_strdup ("c"), g_free);
  vontle::NodeRef c = b.append (std::move (loose));
  CHECK (c && !loose);
  auto again = vontle::Node::adopt (c.get ());
  CHECK (!root.append (std::move (again)) && again);
  CHECK (take_criticals () == 1);
  static_cast<void> (again.release ());                /* the tree owns it */
  CHECK (root.ref () == vontle::NodeRef (root.get ()) && root.ref ().root () == root && !root.parent ());
  std::vector<std::string> names;
  for (vontle::NodeRef node : root.children ())
    names.emplace_back (node.data<const char *> ());
  CHECK ((names == std::vector<std::string> { "a", "b" }));
  CHECK (std::hash<vontle::NodeRef> () (b) == std::hash<vontle::NodeRef> () (vontle::NodeRef (b.get ())));
}

class Memory : public vontle::InputHistoryStorage
{
public:
  void append (std::string_view line) override { lines.emplace_back (line); }
  std::optional<std::vector<std::string>> read () override { return lines; }
  std::vector<std::string> lines;
};

class Direct : public vontle::InputHistoryStorage
{
public:
  void append (std::string_view line) override { lines.emplace_back (line); }
  bool read_into (StoredLines &out) override
  {
    out.reserve (lines.size ());
    for (const auto &line : lines)
      out.add (line);
    return !lines.empty ();
  }
  std::vector<std::string> lines;
};

void
histories ()
{
  auto history = vontle::InputHistory::create ();
  {
    Memory memory;
    memory.lines = { "open a" };
    history = vontle::InputHistory::create (memory);
    history.append ("open b");
    CHECK ((memory.lines == std::vector<std::string> { "open a", "open b" }));
    CHECK ((history.dup_lines () == memory.lines));
    CHECK (history.previous ("op") == "open b");
  }
  /* The storage is gone first: the history empties at its next reset. */
  history.reset ();
  CHECK (history.list ().empty ());

  Direct direct;
  auto stored = vontle::InputHistory::create (direct);
  CHECK (stored.list ().empty ());                     /* false: nothing stored */
  stored.append ("x");
  stored.append ("y");
  CHECK ((stored.dup_lines () == std::vector<std::string> { "x", "y" }));

  /* Copies share the object; a moved-from handle is empty. */
  vontle::InputHistory copy = stored;
  CHECK (copy == stored && std::hash<vontle::InputHistory> () (copy) == std::hash<vontle::InputHistory> () (stored));
  vontle::InputHistory moved = std::move (copy);
  CHECK (!copy && moved == stored);

  /* An empty store is refused, not taken for a history in memory only. */
  CHECK (!vontle::InputHistory::create (vontle::InputHistoryFile ()) && take_criticals () == 1);

#if defined(__cpp_exceptions)
  /* Copying the lines runs out of memory: the C array is freed all the
   * same (LeakSanitizer would report it), although a unit built without
   * exceptions (linked first) makes the same call. */
  stored.append ("a line too long for any small-string buffer");
  CHECK (plain_dup_lines (stored) == stored.dup_lines ());
  fail_next_new = true;
  bool thrown = false;
  try { static_cast<void> (stored.dup_lines ()); } catch (const std::bad_alloc &) { thrown = true; }
  CHECK (thrown);
#endif

  /* adopt () refuses an object of another type; the caller keeps it. */
  auto *object = static_cast<VontleInputHistory *> (g_object_new (G_TYPE_OBJECT, nullptr));
  auto wrong = vontle::InputHistory::adopt (object);
  CHECK (!wrong && take_criticals () == 1);
  g_object_unref (object);
}

void
templates ()
{
  auto object = vontle::Template::create ("@a@ @b@");
  std::vector<std::string> seen;
  vontle::Connection connection = object.on_variable_changed (
    [&seen] (vontle::Template &self, std::string_view name) {
      seen.emplace_back (name);
      static_cast<void> (self.evaluate ());
    });
  CHECK (!object.evaluate ());                         /* a variable is missing */
  object.add_variable ("a");
  object.add_variable ("b");
  object.set_variable_value ("b", std::string_view ("xyz").substr (0, 2));
  CHECK ((seen == std::vector<std::string> { "a", "b", "b" }));
  CHECK (object.evaluate ().to_string () == " xy");
  CHECK ((object.dup_referenced_names () == std::vector<std::string> { "a", "b" }));
  int names = 0;
  for (const char *name : object.referenced_variables ())
    names += name != nullptr;
  CHECK (names == 2 && object.base () == "@a@ @b@");

#if defined(__cpp_exceptions)
  /* A handler whose copy throws: the exception reaches the caller. */
  struct CopyThrows { CopyThrows () = default; CopyThrows (const CopyThrows &) { throw 2; } void operator() () const {} };
  const CopyThrows handler;
  bool caught = false;
  try { vontle::Connection c = object.on_changed (handler); } catch (int) { caught = true; }
  CHECK (caught);
#endif

  /* The connection outlives the template, moved or not: it then holds nothing. */
  vontle::Connection moved = std::move (connection);
  object = vontle::Template ();
  CHECK (!connection.connected () && !moved.connected ());

  auto wrong = vontle::Template::ref (reinterpret_cast<VontleTemplate *> (vontle::InputHistory::create ().get ()));
  CHECK (!wrong && criticals.size () == 1 && criticals[0].find ("vontle::Template::ref:") == 0);
  take_criticals ();
}

void
logging_and_version ()
{
  vontle::set_log_level (VONTLE_LOG_DEBUG);
  vontle::log (VONTLE_LOG_WARNING, std::string_view ("100% sure"));
  CHECK (last_text == "100% sure");                    /* text, not a format */
#if defined(__cpp_lib_source_location)
  CHECK (last_location.find ("cpp-client.cpp:") != std::string::npos);
  CHECK (last_function.find ("logging_and_version") != std::string::npos);
#endif
  vontle::log (VONTLE_LOG_ERROR, "at", "where.cpp:1", "here");
  CHECK (last_function == "here" && last_location == "where.cpp:1");
  vontle::set_log_level (VONTLE_LOG_ERROR);
  last_text.clear ();
  vontle::log (VONTLE_LOG_DEBUG, "quiet");
  CHECK (last_text.empty ());

  static_assert (vontle::check_version (2026, 2, 4));
  static_assert (!vontle::check_version (9999, 1, 1));
  CHECK (vontle::header_version == vontle::version ());
}

} // namespace

#if defined(__cpp_exceptions)
void *
operator new (size_t size)
{
  void *memory = std::exchange (fail_next_new, false) ? nullptr : malloc (size != 0 ? size : 1);
  return memory != nullptr ? memory : throw std::bad_alloc ();
}
void operator delete (void *memory) noexcept { free (memory); }
void operator delete (void *memory, size_t) noexcept { free (memory); }
#endif

void
vontle_vlog (const char *location, const char *function, VontleLogLevel, const char *format, va_list args)
{
  last_location = location ? location : "";
  last_function = function ? function : "";
  char *text = g_strdup_vprintf (format, args);
  last_text = text;
  g_free (text);
}

int
main ()
{
  g_log_set_default_handler (count_critical, nullptr);
  strings_and_results ();
  lists_and_ranges ();
  trees ();
  histories ();
  templates ();
  logging_and_version ();
  CHECK (take_criticals () == 0);
  puts ("cpp-client: every check held");
  return 0;
}
