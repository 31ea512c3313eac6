/* SPDX-License-Identifier: LGPL-2.1-or-later */
/* vontle.hpp: the input history's file store. Include vontle/vontle.hpp. */
#pragma once

#include <vontle/hpp/base.hpp>
#include <vontle/hpp/objects.hpp>
#include <vontle/hpp/input-history.hpp>

namespace vontle {
inline namespace v5 {

/* A reference to a VontleInputHistoryFile: a history kept in a file, safe
 * for several processes at once. Give it to InputHistory::create (); the
 * history then holds a reference of its own, so this handle may go first.
 *
 *   auto store = vontle::InputHistoryFile::for_application ("org.example.App");
 *   auto history = vontle::InputHistory::create (store);
 *
 * A line whose write failed stays pending (pending ()) and is written by the
 * next append or flush (). */
class [[nodiscard]] InputHistoryFile : public detail::ObjectHandle<InputHistoryFile, VontleInputHistoryFile>
{
public:
  static GType c_type () noexcept { return VONTLE_TYPE_INPUT_HISTORY_FILE; }
  static constexpr const char adopt_name[] = "vontle::InputHistoryFile::adopt";
  static constexpr const char type_text[] = "VONTLE_IS_INPUT_HISTORY_FILE (file)";

  /* A leading ~ or ~user is expanded; nothing is created before the first write. */
  static InputHistoryFile create (PathArg path) noexcept
  {
    return adopt (vontle_input_history_file_new (path.c_str ()));
  }
  /* $XDG_STATE_HOME/APPLICATION_ID/history. An id that is empty, holds a
   * '/', or is "." or ".." is refused with a critical: the handle is empty. */
  static InputHistoryFile for_application (StringArg application_id) noexcept
  {
    return adopt (vontle_input_history_file_new_for_application (application_id.c_str ()));
  }

  /* The reader/writer, borrowed from this handle's reference. */
  [[nodiscard]] VontleInputHistoryIO *io () const & noexcept { return reinterpret_cast<VontleInputHistoryIO *> (object_); }
  VontleInputHistoryIO *io () const && = delete;
  /* Lent: valid while the store lives; NULL for an empty handle (a
   * LentString: test it before reading it). */
  [[nodiscard]] LentString path () const & noexcept { return LentString (vontle_input_history_file_get_path (object_)); }
  LentString path () const && = delete;

  /* Through an empty handle, each of these is refused with a critical
   * warning under its own name, and the getters give 0 and false. */
  [[nodiscard]] unsigned max_entries () const noexcept
  {
    return property<guint> ("max-entries", "vontle::InputHistoryFile::max_entries");
  }
  /* 0 keeps every entry. */
  void set_max_entries (unsigned max_entries) noexcept
  {
    set ("max-entries", max_entries, "vontle::InputHistoryFile::set_max_entries");
  }
  [[nodiscard]] bool sync () const noexcept { return property<gboolean> ("sync", "vontle::InputHistoryFile::sync") != FALSE; }
  /* fsync after each append. */
  void set_sync (bool sync) noexcept { set ("sync", static_cast<gboolean> (sync), "vontle::InputHistoryFile::set_sync"); }
  /* Lines given to append that are not in the file yet. */
  [[nodiscard]] unsigned pending () const noexcept { return property<guint> ("pending", "vontle::InputHistoryFile::pending"); }

  /* Writes the pending lines now: true when none remain. On false, ERROR
   * (when given) receives the reason, with the path, for the caller to free. */
  bool flush (GError **error = nullptr) noexcept { return vontle_input_history_file_flush (object_, error) != FALSE; }

private:
  /* CALL names the handle's member in the critical for an empty handle. */
  bool held (const char *call) const noexcept
  {
    if (object_ != nullptr)
      return true;
    g_return_if_fail_warning (nullptr, call, type_text);
    return false;
  }
  template <typename T>
  T property (const char *name, const char *call) const noexcept
  {
    T value = 0;
    if (held (call))
      g_object_get (object_, name, &value, nullptr);
    return value;
  }
  template <typename T>
  void set (const char *property, T value, const char *call) noexcept
  {
    if (held (call))
      g_object_set (object_, property, value, nullptr);
  }
};

/* The history holds a reference to the store: the handle may go first. */
inline InputHistory
InputHistory::create (const InputHistoryFile &file) noexcept
{
  if (!file)
    {
      g_return_if_fail_warning (nullptr, "vontle::InputHistory::create", "file");
      return InputHistory ();
    }
  return create (file.io ());
}

} // namespace v5
} // namespace vontle

template <>
struct std::hash<vontle::InputHistoryFile>
{
  size_t operator() (const vontle::InputHistoryFile &h) const noexcept { return std::hash<const void *> () (h.get ()); }
};
