/* SPDX-License-Identifier: LGPL-2.1-or-later */
/* The entries of a history file: each once, at the place of its newest
 * occurrence, no more than the newest few. Not installed. */
#pragma once

#include <cstddef>
#include <memory>
#include <string_view>

#include <glib.h>

namespace vontle::history_file {

struct PtrArrayUnref
{
  void operator() (GPtrArray *array) const { g_ptr_array_unref (array); }
};
using PtrArray = std::unique_ptr<GPtrArray, PtrArrayUnref>;

struct HashTableUnref
{
  void operator() (GHashTable *table) const { g_hash_table_unref (table); }
};
using HashTable = std::unique_ptr<GHashTable, HashTableUnref>;

/* Text with its length: the key of the entry index, where lookups come with
 * text that is not NUL-terminated (a line seen where it lies in the read
 * buffer). */
struct Key
{
  const char *text;
  size_t length;
};

/* The distinct entries, oldest first: an array of slots (null where an
 * entry moved on or was dropped) and an index from text to entry, so that
 * adding is constant time whatever the size. */
class Entries
{
public:
  Entries ();
  Entries (const Entries &) = delete;
  Entries &operator= (const Entries &) = delete;
  ~Entries () { free_entries (); }

  /* Makes TEXT the newest entry; keeps at most MAX (0: all). An entry seen
   * before moves, text and all: only a new one is copied. */
  void add (std::string_view text, size_t max);
  void trim (size_t max);
  void clear ();

  [[nodiscard]] size_t size () const { return live_; }
  [[nodiscard]] bool
  contains (std::string_view text) const
  {
    const Key key { text.data (), text.size () };
    return g_hash_table_contains (index_.get (), &key);
  }

  /* Visits the entries, oldest first, each as a view of its text, which is
   * NUL-terminated too. */
  template <typename Visit>
  void
  for_each (Visit visit) const
  {
    for (size_t i = head_; i < slots_->len; i++)
      if (const auto *key = static_cast<const Key *> (slots_->pdata[i]); key != nullptr)
        visit (std::string_view (key->text, key->length));
  }

private:
  [[nodiscard]] gpointer &slot (size_t i) const { return slots_->pdata[i]; }
  void free_entries ();
  void drop_oldest ();
  void compact ();

  PtrArray slots_;
  HashTable index_;
  size_t head_ = 0;
  size_t live_ = 0;
};

} // namespace vontle::history_file
