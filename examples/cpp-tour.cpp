/* SPDX-License-Identifier: LGPL-2.1-or-later */
/* The library from C++: owning handles, typed range-for, a signal lambda and
 * history storage written as a C++ class. The README's "From C++" section
 * shows this program. */
#include <cstdio>
#include <cstring>
#include <vontle/vontle.hpp>

/* Storage for an input history: no GObject code. */
class MemoryLines : public vontle::InputHistoryStorage
{
public:
  void append (std::string_view line) override { lines_.emplace_back (line); }
  std::optional<std::vector<std::string>> read () override { return lines_; }

private:
  std::vector<std::string> lines_;
};

int
main ()
{
  auto words = vontle::List::create_sorted (
    [] (const void *a, const void *b) { return strcmp (static_cast<const char *> (a), static_cast<const char *> (b)); },
    g_free);                                      /* owns its strings */
  words.append (g_strdup ("pear"));
  words.append (g_strdup ("apple"));
  for (const char *word : words.as<const char *> ())
    printf ("%s\n", word);                        /* apple, pear */

  auto greeting = vontle::Template::create ("Hello @name@!");
  vontle::Connection connection = greeting.on_variable_changed (
    [] (vontle::Template &self, std::string_view name) {
      if (vontle::UniqueString text = self.evaluate ())   /* empty while a variable is missing */
        printf ("%.*s: %s\n", static_cast<int> (name.size ()), name.data (), text.get ());
    });
  greeting.add_variable ("name");                 /* name: Hello ! */
  std::string_view user = "world, and more";
  greeting.set_variable_value ("name", user.substr (0, 5));   /* name: Hello world! */

  MemoryLines store;                              /* declared first: outlives the history */
  auto history = vontle::InputHistory::create (store);
  history.append ("open notes.txt");
  history.append ("close");
  if (vontle::LentString line = history.previous ("op"))   /* lent; NULL when none matches */
    printf ("%s\n", line.get ());                 /* open notes.txt */
  return 0;
}
