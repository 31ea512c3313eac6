/* SPDX-License-Identifier: LGPL-2.1-or-later */
/* Differential fuzzer for templates. The input, split at NUL bytes, is a
 * base followed by NAME=VALUE pairs (a pair without '=' adds the variable
 * only). The analysis (referenced names in order of first appearance,
 * readiness), the outcome of every variable operation and the evaluation
 * are checked against a hand-written model of references. */
#include <algorithm>
#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <map>
#include <string>
#include <vector>

#include <vontle/vontle.h>

#include "fuzz-support.h"

namespace {

bool is_first_name_char (char c) { return g_ascii_isalnum (c); }
bool is_name_char (char c) { return g_ascii_isalnum (c) || c == '_' || c == '-'; }

struct Reference
{
  size_t start, end; /* [start, end) covers both at signs */
  std::string name;
};

/* Leftmost references, each search resuming after the previous one. */
std::vector<Reference>
model_references (const std::string &base)
{
  std::vector<Reference> found;
  size_t i = 0;
  while (i < base.size ())
    {
      if (base[i] == '@' && i + 1 < base.size () && is_first_name_char (base[i + 1]))
        {
          size_t j = i + 2;
          while (j < base.size () && is_name_char (base[j]))
            j++;
          if (j < base.size () && base[j] == '@')
            {
              found.push_back ({ i, j + 1, base.substr (i + 1, j - i - 1) });
              i = j + 1;
              continue;
            }
        }
      i++;
    }
  return found;
}

/* A whole-string name. GLib compiles patterns with every kind of line break
 * as newline, so the end anchor also matches before one final CR LF, LF, CR,
 * VT, FF, NEL, LS or PS. */
bool
model_valid_name (std::string name)
{
  for (const char *line_break : { "\r\n", "\n", "\r", "\v", "\f", "\xc2\x85", "\xe2\x80\xa8", "\xe2\x80\xa9" })
    if (g_str_has_suffix (name.c_str (), line_break))
      {
        name.resize (name.size () - strlen (line_break));
        break;
      }
  return !name.empty () && is_first_name_char (name[0])
         && std::all_of (name.begin (), name.end (), is_name_char);
}

std::vector<std::string>
listed_names (VontleTemplate *tmpl)
{
  VontleList *names = vontle_template_referenced_variables (tmpl);
  std::vector<std::string> out;
  for (size_t i = 0; i < names->size; i++)
    out.emplace_back (static_cast<const char *> (names->start[i]));
  return out;
}

void
apply_variables (VontleTemplate *tmpl, const std::vector<std::string> &parts,
                 std::map<std::string, std::string> &model)
{
  for (size_t i = 1; i < parts.size (); i++)
    {
      /* Names are matched as UTF-8 as well: keep them valid. */
      g_autofree char *valid = g_utf8_make_valid (parts[i].c_str (), -1);
      const std::string part = valid;
      const size_t eq = part.find ('=');
      const std::string name = part.substr (0, eq);
      const bool added = vontle_template_add_variable (tmpl, name.c_str ());
      if (added != (model_valid_name (name) && model.count (name) == 0))
        fuzz::mismatch ();
      if (added)
        model[name] = "";
      if (eq != std::string::npos && model.count (name))
        {
          const std::string value = part.substr (eq + 1);
          vontle_template_set_variable_value (tmpl, name.c_str (), value.c_str ());
          model[name] = value;
        }
    }
}

} // namespace

extern "C" int
LLVMFuzzerTestOneInput (const uint8_t *data, size_t size)
{
  vontle_set_log_level (static_cast<VontleLogLevel> (4)); /* refusals log errors */
  auto parts = fuzz::split_at_nul (data, size);
  /* Texts are UTF-8 in the template's patterns; make the base valid. */
  g_autofree char *valid_base = g_utf8_make_valid (parts[0].c_str (), -1);
  const std::string base = valid_base;

  g_autoptr (VontleTemplate) tmpl = vontle_template_new (base.c_str ());
  std::map<std::string, std::string> variables;
  apply_variables (tmpl, parts, variables);

  const auto references = model_references (base);
  std::vector<std::string> names;
  bool ready = true;
  for (const auto &reference : references)
    {
      if (std::find (names.begin (), names.end (), reference.name) == names.end ())
        names.push_back (reference.name);
      ready = ready && variables.count (reference.name) > 0;
    }
  if (listed_names (tmpl) != names)
    fuzz::mismatch ();

  g_autofree char *result = vontle_template_evaluate (tmpl);
  if (!ready)
    {
      if (result != nullptr)
        fuzz::mismatch ();
      return 0;
    }
  std::string expected;
  size_t from = 0;
  for (const auto &reference : references)
    {
      expected.append (base, from, reference.start - from).append (variables[reference.name]);
      from = reference.end;
    }
  expected.append (base, from, std::string::npos);
  if (result == nullptr || expected != result)
    fuzz::mismatch ();
  return 0;
}
