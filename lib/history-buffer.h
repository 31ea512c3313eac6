/* SPDX-License-Identifier: LGPL-2.1-or-later */
/* A growable array of plain values in GLib's allocator, for the history
 * search: the library calls nothing of the C++ runtime, which the standard
 * containers would (operator new, length errors). Not installed. */
#pragma once

#include <algorithm>
#include <cstring>
#include <type_traits>
#include <utility>

#include <glib.h>

namespace vontle {

template <typename T>
class Buffer
{
  static_assert (std::is_trivially_copyable_v<T>);

public:
  Buffer () = default;
  Buffer (const Buffer &) = delete;
  Buffer &operator= (const Buffer &) = delete;
  Buffer (Buffer &&other) noexcept
    : data_ (std::exchange (other.data_, nullptr)), size_ (std::exchange (other.size_, 0)),
      capacity_ (std::exchange (other.capacity_, 0))
  {
  }
  Buffer &operator= (Buffer &&other) noexcept
  {
    if (this != &other)
      {
        g_free (data_);
        data_ = std::exchange (other.data_, nullptr);
        size_ = std::exchange (other.size_, 0);
        capacity_ = std::exchange (other.capacity_, 0);
      }
    return *this;
  }
  ~Buffer () { g_free (data_); }

  [[nodiscard]] size_t size () const noexcept { return size_; }
  [[nodiscard]] bool empty () const noexcept { return size_ == 0; }
  T *data () noexcept { return data_; }
  [[nodiscard]] const T *data () const noexcept { return data_; }
  T *begin () noexcept { return data_; }
  T *end () noexcept { return data_ + size_; }
  [[nodiscard]] const T *begin () const noexcept { return data_; }
  [[nodiscard]] const T *end () const noexcept { return data_ + size_; }
  T &operator[] (size_t i) noexcept { return data_[i]; }
  const T &operator[] (size_t i) const noexcept { return data_[i]; }
  T &front () noexcept { return data_[0]; }
  T &back () noexcept { return data_[size_ - 1]; }

  void reserve (size_t n)
  {
    if (n > capacity_)
      {
        data_ = g_renew (T, data_, n);
        capacity_ = n;
      }
  }
  void push_back (const T &value)
  {
    const T copy = value; /* value may lie in the array that grows */
    grow_for (1);
    data_[size_++] = copy;
  }
  void append (const T *values, size_t n)
  {
    grow_for (n);
    if (n > 0)
      memcpy (data_ + size_, values, n * sizeof (T));
    size_ += n;
  }
  void pop_back () noexcept { size_--; }
  void clear () noexcept { size_ = 0; }
  void truncate (size_t n) noexcept { size_ = n; }
  void resize (size_t n)
  {
    reserve (n);
    if (n > size_)
      memset (static_cast<void *> (data_ + size_), 0, (n - size_) * sizeof (T));
    size_ = n;
  }
  T *insert (T *at, const T &value)
  {
    const auto index = static_cast<size_t> (at - data_);
    const T copy = value;
    grow_for (1);
    memmove (static_cast<void *> (data_ + index + 1), data_ + index, (size_ - index) * sizeof (T));
    data_[index] = copy;
    size_++;
    return data_ + index;
  }
  void erase (T *first, T *last) noexcept
  {
    memmove (static_cast<void *> (first), last, static_cast<size_t> (end () - last) * sizeof (T));
    size_ -= static_cast<size_t> (last - first);
  }
  /* Gives back what growth left unused. */
  void shrink_to_fit ()
  {
    if (size_ == capacity_)
      return;
    if (size_ == 0)
      g_clear_pointer (&data_, g_free);
    else
      data_ = g_renew (T, data_, size_);
    capacity_ = size_;
  }
  /* The contents followed by a zero, for text. */
  const T *terminated ()
  {
    reserve (size_ + 1);
    data_[size_] = T ();
    return data_;
  }

private:
  void grow_for (size_t n)
  {
    if (size_ + n > capacity_)
      reserve (std::max<size_t> (size_ + n, capacity_ < first_capacity ? first_capacity : capacity_ * 2));
  }

  static constexpr size_t first_capacity = 8;

  T *data_ = nullptr;
  size_t size_ = 0;
  size_t capacity_ = 0;
};

} // namespace vontle
