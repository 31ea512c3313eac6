/* SPDX-License-Identifier: LGPL-2.1-or-later */
#include "history-file-entries.h"

#include <cstring>
#include <new>
#include <utility>

namespace vontle::history_file {

namespace {

/* Dead slots the array may hold beyond twice the live ones before it is
 * compacted. */
constexpr size_t compact_slack = 64;

/* One allocation per entry: the key, where it sits in the slots, and the
 * text itself (NUL-terminated) right behind. The key comes first, so that
 * the index's keys, and the slots, are the entries themselves. */
struct Entry
{
  Key key;
  size_t slot;

  static Entry *
  make (std::string_view text, size_t slot)
  {
    void *memory = g_malloc (sizeof (Entry) + text.size () + 1);
    char *copy = static_cast<char *> (memory) + sizeof (Entry);
    memcpy (copy, text.data (), text.size ());
    copy[text.size ()] = '\0';
    return new (memory) Entry { { copy, text.size () }, slot };
  }
};

/* g_str_hash's function (djb2: hash * 33 + byte), over a length rather
 * than up to a NUL. */
constexpr guint32 djb2_seed = 5381;
constexpr unsigned djb2_shift = 5;

guint
key_hash (gconstpointer key)
{
  const auto *k = static_cast<const Key *> (key);
  guint32 hash = djb2_seed;
  for (size_t i = 0; i < k->length; i++)
    hash = (hash << djb2_shift) + hash + static_cast<unsigned char> (k->text[i]);
  return hash;
}

gboolean
key_equal (gconstpointer a, gconstpointer b)
{
  const auto *x = static_cast<const Key *> (a);
  const auto *y = static_cast<const Key *> (b);
  return x->length == y->length && memcmp (x->text, y->text, x->length) == 0;
}

} // namespace

Entries::Entries () : slots_ (g_ptr_array_new ()), index_ (g_hash_table_new (key_hash, key_equal)) {}

void
Entries::add (std::string_view text, size_t max)
{
  const Key key { text.data (), text.size () };
  if (auto *found = static_cast<Entry *> (g_hash_table_lookup (index_.get (), &key)); found != nullptr)
    {
      slot (found->slot) = nullptr;
      found->slot = slots_->len;
      g_ptr_array_add (slots_.get (), found);
    }
  else
    {
      Entry *entry = Entry::make (text, slots_->len);
      g_ptr_array_add (slots_.get (), entry);
      g_hash_table_add (index_.get (), entry);
      live_++;
      trim (max);
    }
  if (slots_->len > 2 * live_ + compact_slack)
    compact ();
}

void
Entries::trim (size_t max)
{
  while (max > 0 && live_ > max)
    drop_oldest ();
}

void
Entries::clear ()
{
  free_entries ();
  g_ptr_array_set_size (slots_.get (), 0);
  g_hash_table_remove_all (index_.get ());
  head_ = live_ = 0;
}

void
Entries::free_entries ()
{
  for (size_t i = head_; i < slots_->len; i++)
    g_free (std::exchange (slot (i), nullptr));
}

void
Entries::drop_oldest ()
{
  while (slot (head_) == nullptr)
    head_++;
  auto *oldest = static_cast<Entry *> (std::exchange (slot (head_), nullptr));
  g_hash_table_remove (index_.get (), oldest);
  g_free (oldest);
  head_++;
  live_--;
}

void
Entries::compact ()
{
  size_t filled = 0;
  for (size_t i = head_; i < slots_->len; i++)
    if (auto *entry = static_cast<Entry *> (slot (i)); entry != nullptr)
      {
        entry->slot = filled;
        slot (filled++) = entry;
      }
  g_ptr_array_set_size (slots_.get (), static_cast<gint> (filled));
  head_ = 0;
}

} // namespace vontle::history_file
