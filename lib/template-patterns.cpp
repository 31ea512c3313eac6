/* SPDX-License-Identifier: LGPL-2.1-or-later */
#include "template-patterns.h"

#include "vontle-private.h"

namespace {

/* A reference is @name@; group 1 is the name. */
constexpr const char reference_pattern[] = "@([A-Za-z0-9][A-Za-z0-9_-]*)@";
/* Without G_REGEX_DOLLAR_ENDONLY the end anchor also matches before a final
 * line break, so "a\n" is accepted as a name; it can never be referenced. */
constexpr const char name_pattern[] = "^[A-Za-z0-9][A-Za-z0-9_-]*$";

/* A pattern compiled once per process, or why it could not be. */
struct CompiledPattern
{
  GRegex *regex;
  char *failure;
};

/* Both patterns, compiled by the first template of the process: the editor
 * that makes a template per keystroke would otherwise compile them at every
 * one. A GRegex never changes once compiled and may be matched from any
 * thread, so every template holds a reference to the same two. They live as
 * long as the process. */
struct SharedPatterns
{
  CompiledPattern reference;
  CompiledPattern name;
};

CompiledPattern
compile (const char *pattern)
{
  g_autoptr (GError) error = nullptr;
  GRegex *regex = g_regex_new (pattern, G_REGEX_OPTIMIZE, static_cast<GRegexMatchFlags> (0), &error);
  return { regex, regex == nullptr ? g_strdup (error->message) : nullptr };
}

const SharedPatterns *
shared_patterns ()
{
  static const SharedPatterns *patterns = nullptr;
  if (g_once_init_enter (&patterns))
    {
      auto *compiled = g_new (SharedPatterns, 1);
      *compiled = { compile (reference_pattern), compile (name_pattern) };
      g_once_init_leave (&patterns, compiled);
    }
  return patterns;
}

/* A reference of the template's own to a shared pattern; a pattern that did
 * not compile is reported for every template, as each one lacks it. */
GRegex *
take_pattern (const CompiledPattern &pattern)
{
  if (pattern.regex == nullptr)
    {
      vontle_log (G_STRLOC, "vontle_template_init", VONTLE_LOG_ERROR, "Failed to create regex: %s",
                  pattern.failure);
      return nullptr;
    }
  return g_regex_ref (pattern.regex);
}

} // namespace

GRegex *
vontle::template_reference_pattern ()
{
  return take_pattern (shared_patterns ()->reference);
}

GRegex *
vontle::template_name_pattern ()
{
  return take_pattern (shared_patterns ()->name);
}
