/* SPDX-License-Identifier: LGPL-2.1-or-later */
/* Built without exceptions and linked ahead of cpp-client.cpp, whatever
 * that is built with: each kind of translation unit must keep its own copy
 * of the helpers that free what they hold while an exception passes (with
 * one shared copy the linker would take this one, which has no cleanup). */
#include <vontle/vontle.hpp>

std::vector<std::string> plain_dup_lines (const vontle::InputHistory &history);

std::vector<std::string>
plain_dup_lines (const vontle::InputHistory &history)
{
  return history.dup_lines ();
}
