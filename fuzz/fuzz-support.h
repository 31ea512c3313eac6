/* SPDX-License-Identifier: LGPL-2.1-or-later */
/* Helpers shared by the fuzz targets. */
#pragma once

#include <cstdint>
#include <cstdlib>
#include <string>
#include <vector>

namespace fuzz {

/* A result that differs from the model: abort, so libFuzzer keeps the input. */
[[noreturn]] inline void
mismatch ()
{
  abort ();
}

/* Splits the input at NUL bytes; there are always at least min_parts parts. */
inline std::vector<std::string>
split_at_nul (const uint8_t *data, size_t size, size_t min_parts = 1)
{
  std::vector<std::string> parts (1);
  for (size_t i = 0; i < size; i++)
    {
      if (data[i] == 0)
        parts.emplace_back ();
      else
        parts.back ().push_back (static_cast<char> (data[i]));
    }
  while (parts.size () < min_parts)
    parts.emplace_back ();
  return parts;
}

} // namespace fuzz
