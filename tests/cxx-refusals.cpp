// SPDX-License-Identifier: LGPL-2.1-or-later
// Snippets for check-cxx-header.py refusals, each after a line of four
// slashes, its name and a word its error must mention; compiled alone after
// #include <vontle/vontle.hpp>. Those named accept-... must compile; every
// other one must be refused by the compiler (clang++ for those named
// clang-..., which rest on what only clang checks).
//// accept-the-same-on-lvalues
vontle::List make_list ();
void use ()
{
  vontle::UniqueString s = vontle::escape_string ("a b");
  std::string_view v = s.view ();
  vontle::List list = make_list ();
  for (auto *p : list.as<const char *> ())
    (void) p;
  auto t = vontle::Template::create ("@a@");
  for (auto *n : t.referenced_variables ())
    (void) n;
  (void) v;
  (void) vontle::escape_string ("a b").get ();
  for (void *p : make_list ())   // the range-for keeps the temporary alive
    (void) p;
  bool null = s == nullptr || nullptr != s || s == NULL || NULL != s || s == vontle::UniqueString ();
  (void) null;
  list.sort ([] (const void *a, const void *b) { return a <=> b; });
  (void) list.find ([] (const void *a, const void *b) { return std::weak_ordering (a <=> b); }, nullptr);
  vontle::StringArg local ("a literal outlives it");
  (void) local;
}
//// view-of-a-temporary-string: deleted
std::string_view v = vontle::escape_string ("a b").view ();
//// typed-view-of-a-temporary-list: deleted
vontle::List make_list ();
void use ()
{
  for (auto *s : make_list ().as<const char *> ())
    (void) s;
}
//// names-of-a-temporary-template: deleted
void use ()
{
  for (auto *n : vontle::Template::create ("@a@").referenced_variables ())
    (void) n;
}
//// base-of-a-temporary-template: deleted
const char *base = vontle::Template::create ("x").base ();
//// entries-of-a-temporary-history: deleted
auto entries = vontle::InputHistory::create ().list ();
//// children-of-a-temporary-tree: deleted
auto children = vontle::Node::create ().children ();
//// storage-that-is-a-temporary: deleted
struct S : vontle::InputHistoryStorage { void append (std::string_view) override {} };
auto history = vontle::InputHistory::create (S ());
//// iterator-that-could-change-a-const-list: deleted
void use (const vontle::List &list) { auto it = vontle::ListIterator::create (list); it.remove (); }
//// view-made-implicitly-from-a-pointer: conversion
vontle::ListView<const char *> view = static_cast<VontleList *> (nullptr);
//// released-pointer-dropped: nodiscard
void use (vontle::List &list) { list.release (); }
//// path-of-a-temporary-file-store: deleted
const char *path = vontle::InputHistoryFile::create ("/tmp/h").path ();
//// owning-tree-bound-to-a-borrowed-reference: bind
void point_at (vontle::NodeRef &w, vontle::NodeRef t) { w = t; } void use (vontle::Node &n) { point_at (n, {}); }
//// borrowed-node-of-a-temporary-tree: deleted
vontle::NodeRef r = vontle::Node::create ();
//// ref-of-a-temporary-tree: deleted
auto r = vontle::Node::create ().ref ();
//// child-appended-to-a-temporary-tree: deleted
auto child = vontle::Node::create ().append_data (nullptr);
//// tree-appended-to-a-temporary-tree: deleted
auto child = vontle::Node::create ().append (vontle::Node::create ());
//// root-of-a-temporary-tree: deleted
auto root = vontle::Node::create ().root ();
//// parent-of-a-temporary-tree: deleted
auto parent = vontle::Node::create ().parent ();
//// begin-of-a-temporary-list: deleted
vontle::List make_list ();
auto it = make_list ().begin ();
//// end-of-a-temporary-list: deleted
vontle::List make_list ();
auto it = make_list ().end ();
//// iterator-of-a-temporary-list: deleted
auto it = vontle::ListIterator::create (vontle::List::create ());
//// data-of-a-temporary-tree: deleted
auto data = vontle::Node::create ().data ();
//// next-of-a-temporary-history: deleted
auto line = vontle::InputHistory::create ().next ("a");
//// previous-of-a-temporary-history: deleted
auto line = vontle::InputHistory::create ().previous ("a");
//// io-of-a-temporary-file-store: deleted
auto io = vontle::InputHistoryFile::create ("/tmp/h").io ();
//// list-model-of-a-temporary-model: deleted
auto model = vontle::InputHistoryModel::create (vontle::InputHistory::create ()).list_model ();
//// lent-string-that-may-be-null-into-std-string: conversion
void use (vontle::InputHistory &history) { std::string s = history.previous ("zz"); }
//// less-predicate-given-to-sort: comparator
void use (vontle::List &list) { list.sort ([] (const void *a, const void *b) { return a < b; }); }
//// bool-given-to-find: comparator
void use (vontle::List &list) { (void) list.find ([] (const void *a, const void *b) { return a == b; }, nullptr); }
//// emptiness-asked-and-dropped: nodiscard
void use (vontle::List &list) { list.empty (); }
//// clang-string-argument-kept-from-a-temporary: dangling
std::string make_text ();
void use () { vontle::StringArg text = make_text (); (void) text; }
