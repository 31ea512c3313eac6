/* SPDX-License-Identifier: LGPL-2.1-or-later */
/* vontle.hpp: the input history and its storage in C++. Include
 * vontle/vontle.hpp. */
#pragma once

#include <vontle/hpp/base.hpp>
#include <vontle/hpp/containers.hpp>
#include <vontle/hpp/objects.hpp>

namespace vontle {
inline namespace v5 {

class InputHistoryFile;

/* Storage for an input history, written as a C++ class: override append and
 * read (or read_into), then hand the object to InputHistory::create (). Behind
 * it stands the library's own VontleInputHistoryCallbackIO, which the
 * history holds a reference to and which calls back here without owning
 * this object. No GObject type is registered by the code that includes this
 * header, so storage may live in plugins that are loaded and unloaded, and
 * first uses may race on any threads.
 *
 * Lifetime: keep the storage alive for as long as a history uses it. When it
 * is destroyed first, the reader/writer is detached: appends then store
 * nothing and every read reports nothing stored, so the history empties at
 * its next reset, but nothing dangles. A derived destructor that makes the
 * history append or reset still runs with this object half destroyed:
 * destroy the history first. Storage objects can be neither copied nor
 * moved. */
class InputHistoryStorage
{
public:
  /* Where read_into () puts the stored lines, oldest first: each add ()
   * copies one line into a string that the history then takes over. */
  class StoredLines
  {
  public:
    StoredLines (const StoredLines &) = delete;
    StoredLines &operator= (const StoredLines &) = delete;
    ~StoredLines ()
    {
      for (size_t i = 0; i < size_; i++)
        g_free (lines_[i]);
      g_free (lines_);
    }

    void add (std::string_view line) noexcept
    {
      if (size_ + 1 >= capacity_)
        grow (capacity_ < 8 ? 16 : 2 * capacity_);
      char *copy = static_cast<char *> (g_malloc (line.size () + 1));
      if (!line.empty ())
        memcpy (copy, line.data (), line.size ());
      copy[line.size ()] = '\0';
      lines_[size_++] = copy;
    }
    /* Room for N lines in all, so that adding them grows the array once. */
    void reserve (size_t n) noexcept
    {
      if (n + 1 > capacity_)
        grow (n + 1);
    }
    size_t size () const noexcept { return size_; }

  private:
    friend class InputHistoryStorage;
    StoredLines () noexcept = default;
    void grow (size_t capacity) noexcept
    {
      lines_ = g_renew (char *, lines_, capacity);
      capacity_ = capacity;
    }
    /* A NULL-terminated array of the lines, which the caller takes over. */
    char **take () noexcept
    {
      if (capacity_ == 0)
        grow (1);
      lines_[size_] = nullptr;
      size_ = capacity_ = 0;
      return std::exchange (lines_, nullptr);
    }
    char **lines_ = nullptr;
    size_t size_ = 0;
    size_t capacity_ = 0;
  };

  InputHistoryStorage () noexcept
    : io_ (vontle_input_history_callback_io_new (append_line, read_lines, this, nullptr))
  {
  }
  InputHistoryStorage (const InputHistoryStorage &) = delete;
  InputHistoryStorage &operator= (const InputHistoryStorage &) = delete;
  virtual ~InputHistoryStorage ()
  {
    vontle_input_history_callback_io_detach (io_);
    g_object_unref (io_);
  }

  /* append, read and read_into are called from C through noexcept
   * functions, as no exception may unwind through the history's C code:
   * one that escapes them calls std::terminate. */

  /* Stores a line the history appended; the view is valid during the call only. */
  virtual void append (std::string_view line) = 0;
  /* Every stored line, oldest first; std::nullopt when nothing is stored.
   * Override this or read_into (); the default stores nothing. */
  virtual std::optional<std::vector<std::string>> read () { return std::nullopt; }
  /* Adds every stored line to LINES, oldest first, and returns true; false
   * when nothing is stored (what was added is then dropped). The default
   * takes the lines from read (); overriding this instead copies each line
   * once, into the history, without a vector in between. */
  virtual bool read_into (StoredLines &lines)
  {
    std::optional<std::vector<std::string>> stored = read ();
    if (!stored)
      return false;
    lines.reserve (stored->size ());
    for (const std::string &line : *stored)
      lines.add (line);
    return true;
  }

  /* The reader/writer object (borrowed) to give to vontle_input_history_new (). */
  VontleInputHistoryIO *io () const noexcept { return reinterpret_cast<VontleInputHistoryIO *> (io_); }

private:
  static void append_line (const char *line, gpointer storage) noexcept
  {
    if (line != nullptr)
      static_cast<InputHistoryStorage *> (storage)->append (line);
  }

  static char **read_lines (gpointer storage) noexcept
  {
    StoredLines lines;
    if (!static_cast<InputHistoryStorage *> (storage)->read_into (lines))
      return nullptr;
    return lines.take ();
  }

  VontleInputHistoryCallbackIO *io_;
};

/* A reference to a VontleInputHistory. What it lends (entries, steps) is
 * taken from a handle that lives on, never from a temporary one, whose
 * reference may be the last. */
class [[nodiscard]] InputHistory : public detail::ObjectHandle<InputHistory, VontleInputHistory>
{
public:
  static GType c_type () noexcept { return VONTLE_TYPE_INPUT_HISTORY; }
  static constexpr const char adopt_name[] = "vontle::InputHistory::adopt";
  static constexpr const char type_text[] = "VONTLE_IS_INPUT_HISTORY(history) == true";

  /* NULL io: a history kept in memory only. */
  static InputHistory create (VontleInputHistoryIO *io = nullptr) noexcept
  {
    return adopt (vontle_input_history_new (io));
  }
  /* Not from a temporary: the storage must outlive the history. */
  static InputHistory create (InputHistoryStorage &storage) noexcept { return create (storage.io ()); }
  static InputHistory create (InputHistoryStorage &&storage) = delete;
  /* A file store (vontle/hpp/input-history-file.hpp); the history holds a
   * reference to it, so a temporary handle is fine. An empty handle (a
   * refused or moved-from store) is refused with a critical warning and
   * gives an empty history handle, not one kept in memory only: that is
   * create (). */
  static InputHistory create (const InputHistoryFile &file) noexcept;

  void append (StringArg line) noexcept { vontle_input_history_append (object_, line.c_str ()); }
  /* The entries, oldest first, lent: valid until the history next changes. */
  [[nodiscard]] ListView<const char *> list () const & noexcept { return ListView<const char *> (vontle_input_history_list (object_)); }
  ListView<const char *> list () const && = delete;
  /* The entries, copied. May allocate. (Mode: see detail::Mode.) */
  template <typename Mode = detail::Mode>
  [[nodiscard]] std::vector<std::string> dup_lines () const
  {
    return detail::take_strv (vontle_input_history_dup_lines (object_));
  }
  /* The next or previous entry starting with LINE, lent until the history
   * next changes, or NULL when none does: a LentString (vontle/hpp/base.hpp),
   * which says NULL in its type. Test it before reading it:
   *   if (vontle::LentString entry = history.previous (typed))
   *     set_text (entry.get ());
   * It converts to neither const char * nor std::string. */
  LentString next (StringArg line) & noexcept { return LentString (vontle_input_history_next (object_, line.c_str ())); }
  LentString next (StringArg line) && = delete;
  LentString previous (StringArg line) & noexcept
  {
    return LentString (vontle_input_history_previous (object_, line.c_str ()));
  }
  LentString previous (StringArg line) && = delete;
  void reset () noexcept { vontle_input_history_reset (object_); }
};

} // namespace v5
} // namespace vontle

template <>
struct std::hash<vontle::InputHistory>
{
  size_t operator() (const vontle::InputHistory &h) const noexcept { return std::hash<const void *> () (h.get ()); }
};
