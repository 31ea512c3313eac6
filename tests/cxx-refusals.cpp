// SPDX-License-Identifier: LGPL-2.1-or-later
// Snippets for check-cxx-header.py refusals, each after a line of four
// slashes, its name and a word its error must mention; compiled alone after
// #include <vontle/vontle.hpp>. Those named accept-... must compile; every
// other one must be refused by the compiler.
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
