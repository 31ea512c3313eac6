/* SPDX-License-Identifier: LGPL-2.1-or-later */
#include "vontle-private.h"
#include "list-private.h"
#include "template-patterns.h"
#include <algorithm>
#include <cstring>
#include <iterator>
#include <utility>

namespace {

constexpr const char is_template_text[] = "VONTLE_IS_TEMPLATE(object)";

/* A variable and its name live in one block (the name right after the
 * record), allocated once per added variable. A value of "" is the shared
 * empty_value until the first real value arrives. */
struct VontleTemplateVariable
{
  char *name;
  char *value;
};

char empty_value[] = "";

void
free_value (char *value)
{
  if (value != empty_value)
    g_free (value);
}

} // namespace

struct VontleTemplatePrivate
{
  char *base;
  GRegex *variable_regex;
  GRegex *name_regex;
  VontleList *referenced_variables;
  VontleList *variables;
  /* name -> record of the variables list, sharing the record's name. */
  GHashTable *variable_index;
  /* The referenced names (each mapped to TRUE), borrowing them from
   * referenced_variables. */
  GHashTable *reference_index;
  /* How many referenced names have no variable, as of the last scan and the
   * variables added since. ready is written only by the two default
   * handlers (a subclass may replace them), so it is kept apart. */
  size_t missing;
  /* Slots allocated for variables; the list is the template's own and never
   * lent, so it may hold spare slots (vontle::list_append_spare). */
  size_t variables_capacity;
  /* Walks of the base that may reach host code (a log handler, an
   * interposed vontle_vlog) while they hold a pointer into it. While any
   * runs, a replaced base waits in retired_bases instead of being freed. */
  unsigned base_walks;
  GPtrArray *retired_bases;
  /* Counts base changes, so that a scan which reached the host can tell
   * that the base changed (and was scanned again) meanwhile. */
  guint64 base_generation;
  bool ready;
};

G_DEFINE_TYPE_WITH_PRIVATE (VontleTemplate, vontle_template, G_TYPE_OBJECT)

namespace {

enum
{
  PROP_0,
  PROP_BASE,
};

enum
{
  SIGNAL_BASE_CHANGED,
  SIGNAL_VARIABLE_CHANGED,
  SIGNAL_CHANGED,
  N_SIGNALS
};

guint signals[N_SIGNALS];

VontleTemplatePrivate *
private_of (VontleTemplate *object)
{
  return static_cast<VontleTemplatePrivate *> (vontle_template_get_instance_private (object));
}

/* Keeps the current base alive for the length of a walk that may call out:
 * a host that replaces the base meanwhile retires the old one instead of
 * freeing it under the walk. */
class BaseWalk
{
public:
  explicit BaseWalk (VontleTemplatePrivate *priv) noexcept : priv_ (priv), base_ (priv->base)
  {
    priv_->base_walks++;
  }
  BaseWalk (const BaseWalk &) = delete;
  BaseWalk &operator= (const BaseWalk &) = delete;
  ~BaseWalk ()
  {
    if (--priv_->base_walks == 0 && priv_->retired_bases != nullptr)
      g_ptr_array_set_size (priv_->retired_bases, 0);
  }
  [[nodiscard]] const char *base () const noexcept { return base_; }

private:
  VontleTemplatePrivate *priv_;
  const char *base_;
};

void
retire_base (VontleTemplatePrivate *priv, char *old_base)
{
  if (priv->base_walks == 0)
    {
      g_free (old_base);
      return;
    }
  if (priv->retired_bases == nullptr)
    priv->retired_bases = g_ptr_array_new_with_free_func (g_free);
  g_ptr_array_add (priv->retired_bases, old_base);
}

/* The check text is fixed: the project's spacing would otherwise end up in
 * the message through the stringified expression. */
bool
check_template (VontleTemplate *object, const char *function)
{
  return vontle::check (VONTLE_IS_TEMPLATE (object), function, is_template_text);
}

void
free_variable (void *data)
{
  auto *variable = static_cast<VontleTemplateVariable *> (data);
  if (variable == nullptr)
    return;
  free_value (variable->value);
  g_free (variable);
}

VontleTemplateVariable *
new_variable (const char *name)
{
  const size_t size = strlen (name) + 1;
  auto *variable = static_cast<VontleTemplateVariable *> (g_malloc (sizeof (VontleTemplateVariable) + size));
  variable->name = reinterpret_cast<char *> (variable + 1);
  memcpy (variable->name, name, size);
  variable->value = empty_value;
  return variable;
}

/* Names are unique and variables are never removed, so the index answers
 * exactly what a scan of the list for the first equal name would, without
 * a string comparison per variable for every reference in a long base. */
VontleTemplateVariable *
find_variable (const VontleTemplatePrivate *priv, const char *name)
{
  return static_cast<VontleTemplateVariable *> (g_hash_table_lookup (priv->variable_index, name));
}

/* A pattern that failed to compile, or was released by dispose, matches
 * nothing instead of tripping GLib's own checks. */
bool
matches (const GRegex *regex, const char *text, GMatchInfo **match_info)
{
  if (regex == nullptr)
    return false;
  return g_regex_match (regex, text, static_cast<GRegexMatchFlags> (0), match_info);
}

constexpr bool
is_name_start (char c)
{
  return (c >= 'A' && c <= 'Z') || (c >= 'a' && c <= 'z') || (c >= '0' && c <= '9');
}

constexpr bool
is_name_char (char c)
{
  return is_name_start (c) || c == '_' || c == '-';
}

/* GLib's patterns take any Unicode line break as a newline, and the end
 * anchor matches before one that ends the text. */
constexpr const char *line_breaks[] = {
  "\r\n", "\n", "\r", "\v", "\f", "\xc2\x85", "\xe2\x80\xa8", "\xe2\x80\xa9",
};

bool
is_final_line_break (const char *rest)
{
  /* The iterator form: libc++ 14 has no std::ranges::any_of. */
  return std::any_of (std::begin (line_breaks), std::end (line_breaks),
                      [rest] (const char *line_break) { return strcmp (rest, line_break) == 0; });
}

/* Exactly what the name pattern accepts, end anchor included, without a
 * regex match per added variable: that match, with its match data, was
 * about a third of the work of adding one. Without the compiled pattern
 * nothing is a name, as before. */
bool
is_valid_name (const VontleTemplatePrivate *priv, const char *name)
{
  if (priv->name_regex == nullptr || !is_name_start (*name))
    return false;
  while (is_name_char (*++name))
    ;
  return *name == '\0' || is_final_line_break (name);
}

/* ----------------------------------------------------- class handlers -- */

/* Puts the referenced names a scan has found since the last call (FOUND)
 * into the list, with one growth of the list instead of one per name. */
void
flush_references (VontleTemplatePrivate *priv, GPtrArray *found)
{
  if (priv->referenced_variables != nullptr)
    vontle::list_append_all (priv->referenced_variables, found->pdata, found->len);
  g_ptr_array_set_size (found, 0);
}

/* Records NAME once among the referenced names, taking it over. Returns
 * false when it was recorded before (and is released). New names wait in
 * FOUND for the list. The index holds every name the list holds, borrowing
 * the list's strings; without the list (it could not be made) the index owns
 * the names itself. */
bool
add_reference (VontleTemplatePrivate *priv, GPtrArray *found, char *name)
{
  /* One lookup: the index maps names to a flag, so inserting a name it has
   * keeps the indexed string and only says so. */
  if (!g_hash_table_insert (priv->reference_index, name, GINT_TO_POINTER (TRUE)))
    {
      /* An index that owns its names has released this copy itself. */
      if (priv->referenced_variables != nullptr)
        g_free (name);
      return false;
    }
  g_ptr_array_add (found, name);
  return true;
}

/* One scan: each name is indexed at its first appearance and looked up among
 * the variables once, so the count of missing names is exact. Only the first
 * missing name is logged; the list holds every name found before it by then,
 * as a host's own logger might look. */
void
vontle_template_real_base_changed (VontleTemplate *object)
{
  auto *priv = private_of (object);
  /* The index borrows the list's strings: emptied first. */
  g_hash_table_remove_all (priv->reference_index);
  vontle_list_clear (priv->referenced_variables);
  priv->missing = 0;

  g_autoptr (GPtrArray) found = g_ptr_array_new ();
  g_autoptr (GMatchInfo) match_info = nullptr;
  /* The match data points into the base, and the report below reaches the
   * host's logger, which may replace the base (and so scan it again). */
  g_autoptr (GRegex) regex = priv->variable_regex != nullptr ? g_regex_ref (priv->variable_regex) : nullptr;
  const BaseWalk walk (priv);
  const guint64 generation = priv->base_generation;
  if (matches (regex, walk.base (), &match_info))
    for (; g_match_info_matches (match_info); g_match_info_next (match_info, nullptr))
      {
        char *name = g_match_info_fetch (match_info, 1);
        if (!add_reference (priv, found, name) || find_variable (priv, name) != nullptr)
          continue;
        if (priv->missing++ != 0)
          continue;
        flush_references (priv, found);
        /* Reported under the name of the slot it fills. */
        vontle_log (G_STRLOC, "base_changed", VONTLE_LOG_DEBUG, "Variable '%s' not set.", name);
        /* The newer base has had its own scan: this one describes nothing. */
        if (priv->base_generation != generation)
          return;
      }
  flush_references (priv, found);
  priv->ready = priv->missing == 0;
}

/* The list is lent to callers. Should one have added or removed names through
 * it, the count no longer describes it: count again from the list itself. */
size_t
missing_references (VontleTemplatePrivate *priv)
{
  VontleList *referenced = priv->referenced_variables;
  if (referenced == nullptr || referenced->size == g_hash_table_size (priv->reference_index))
    return priv->missing;
  size_t missing = 0;
  for (size_t i = 0; i < referenced->size; i++)
    if (find_variable (priv, static_cast<const char *> (referenced->start[i])) == nullptr)
      missing++;
  return missing;
}

void
vontle_template_real_variable_changed (VontleTemplate *object, const char * /*name*/)
{
  auto *priv = private_of (object);
  priv->ready = missing_references (priv) == 0;
}

void
vontle_template_real_changed (VontleTemplate * /*object*/)
{
}

gboolean
eval_replace_cb (const GMatchInfo *match_info, GString *result, gpointer priv)
{
  g_autofree char *name = g_match_info_fetch (match_info, 1);
  const auto *variable = find_variable (static_cast<const VontleTemplatePrivate *> (priv), name);
  /* Stopping copies the rest of the base untouched, references included. */
  if (!VONTLE_CHECK (variable != NULL))
    return TRUE;
  g_string_append (result, variable->value);
  return FALSE;
}

/* ---------------------------------------------------------- GObject -- */

void
vontle_template_set_property (GObject *object, guint property_id, const GValue *value,
                              GParamSpec *pspec)
{
  if (property_id != PROP_BASE)
    {
      G_OBJECT_WARN_INVALID_PROPERTY_ID (object, property_id, pspec);
      return;
    }
  vontle_template_set_base (VONTLE_TEMPLATE (object), g_value_get_string (value));
}

void
vontle_template_get_property (GObject *object, guint property_id, GValue *value,
                              GParamSpec *pspec)
{
  if (property_id != PROP_BASE)
    {
      G_OBJECT_WARN_INVALID_PROPERTY_ID (object, property_id, pspec);
      return;
    }
  g_value_set_string (value, private_of (VONTLE_TEMPLATE (object))->base);
}

/* Runs again when the object is disposed more than once: each pattern is
 * released only while it is set. */
void
vontle_template_dispose (GObject *object)
{
  auto *priv = private_of (VONTLE_TEMPLATE (object));
  g_clear_pointer (&priv->name_regex, g_regex_unref);
  g_clear_pointer (&priv->variable_regex, g_regex_unref);
  G_OBJECT_CLASS (vontle_template_parent_class)->dispose (object);
}

void
vontle_template_finalize (GObject *object)
{
  auto *priv = private_of (VONTLE_TEMPLATE (object));
  /* The index borrows the records' names: it goes first. */
  g_clear_pointer (&priv->variable_index, g_hash_table_unref);
  g_clear_pointer (&priv->reference_index, g_hash_table_unref);
  g_clear_pointer (&priv->variables, vontle_list_free);
  g_clear_pointer (&priv->referenced_variables, vontle_list_free);
  g_clear_pointer (&priv->base, g_free);
  g_clear_pointer (&priv->retired_bases, g_ptr_array_unref);
  G_OBJECT_CLASS (vontle_template_parent_class)->finalize (object);
}

/* The signals are documented in the public header, with the class structure. */
void
install_signals (VontleTemplateClass *klass)
{
  const GType type = G_TYPE_FROM_CLASS (klass);

  signals[SIGNAL_BASE_CHANGED] =
    g_signal_new ("base-changed", type, G_SIGNAL_RUN_FIRST,
                  G_STRUCT_OFFSET (VontleTemplateClass, base_changed),
                  nullptr, nullptr, nullptr, G_TYPE_NONE, 0);

  signals[SIGNAL_VARIABLE_CHANGED] =
    g_signal_new ("variable-changed", type, G_SIGNAL_RUN_FIRST,
                  G_STRUCT_OFFSET (VontleTemplateClass, variable_changed),
                  nullptr, nullptr, nullptr, G_TYPE_NONE, 1, G_TYPE_STRING);

  signals[SIGNAL_CHANGED] =
    g_signal_new ("changed", type, G_SIGNAL_RUN_FIRST,
                  G_STRUCT_OFFSET (VontleTemplateClass, changed),
                  nullptr, nullptr, nullptr, G_TYPE_NONE, 0);
}

/* Emits SIGNAL (with NAME for variable-changed), then "changed". A handler of
 * the first may drop the caller's last reference: the sequence holds one of
 * its own until both emissions are done. */
void
emit_change (VontleTemplate *object, guint signal, const char *name)
{
  const vontle::Hold held (object);
  if (signal == SIGNAL_VARIABLE_CHANGED)
    g_signal_emit (object, signals[signal], 0, name);
  else
    g_signal_emit (object, signals[signal], 0);
  g_signal_emit (object, signals[SIGNAL_CHANGED], 0);
}

} // namespace

static void
vontle_template_class_init (VontleTemplateClass *klass)
{
  auto *object_class = G_OBJECT_CLASS (klass);
  object_class->set_property = vontle_template_set_property;
  object_class->get_property = vontle_template_get_property;
  object_class->dispose = vontle_template_dispose;
  object_class->finalize = vontle_template_finalize;

  klass->base_changed = vontle_template_real_base_changed;
  klass->variable_changed = vontle_template_real_variable_changed;
  klass->changed = vontle_template_real_changed;

  g_object_class_install_property (
    object_class, PROP_BASE,
    g_param_spec_string ("base", "base template", "String used as base for the template.", "",
                         static_cast<GParamFlags> (G_PARAM_READWRITE | G_PARAM_STATIC_STRINGS)));

  install_signals (klass);
}

/* Both patterns or neither: a reference pattern without the name pattern
 * would let the base refer to variables that can never be added. */
static void
vontle_template_init (VontleTemplate *object)
{
  auto *priv = private_of (object);
  priv->variable_regex = vontle::template_reference_pattern ();
  priv->name_regex = vontle::template_name_pattern ();
  if (priv->name_regex == nullptr)
    g_clear_pointer (&priv->variable_regex, g_regex_unref);
  priv->base = g_strdup ("");
  priv->referenced_variables = vontle_list_new_with_free (g_free);
  priv->variables = vontle_list_new_with_free (free_variable);
  priv->variable_index = g_hash_table_new (g_str_hash, g_str_equal);
  priv->reference_index = g_hash_table_new_full (g_str_hash, g_str_equal,
                                                 priv->referenced_variables != nullptr ? nullptr : g_free,
                                                 nullptr);
  priv->ready = true;
}

VontleTemplate *
vontle_template_new (const char *base)
{
  auto *obj = static_cast<VontleTemplate *> (g_object_new (VONTLE_TYPE_TEMPLATE, nullptr));
  if (!vontle::check (obj != nullptr, __func__, "obj"))
    return nullptr;
  if (base != nullptr)
    vontle_template_set_base (obj, base);
  return obj;
}

void
vontle_template_set_base (VontleTemplate *object, const char *base)
{
  if (!check_template (object, __func__))
    return;
  auto *priv = private_of (object);
  if (g_strcmp0 (base, priv->base) == 0)
    return;
  /* Copied before the old base goes: base may point into it. */
  char *new_base = g_strdup (base != nullptr ? base : "");
  retire_base (priv, std::exchange (priv->base, new_base));
  priv->base_generation++;
  emit_change (object, SIGNAL_BASE_CHANGED, nullptr);
}

const char *
vontle_template_get_base (VontleTemplate *object)
{
  if (!check_template (object, __func__))
    return nullptr;
  return private_of (object)->base;
}

VontleList *
vontle_template_referenced_variables (VontleTemplate *object)
{
  if (!check_template (object, __func__))
    return nullptr;
  return private_of (object)->referenced_variables;
}

bool
vontle_template_add_variable (VontleTemplate *object, const char *name)
{
  if (!check_template (object, __func__) || !VONTLE_CHECK (name != NULL))
    return false;
  auto *priv = private_of (object);
  if (!is_valid_name (priv, name))
    {
      VONTLE_LOG_HERE (VONTLE_LOG_DEBUG, "'%s' is not a valid variable name.", name);
      return false;
    }
  if (find_variable (priv, name) != nullptr)
    {
      VONTLE_LOG_HERE (VONTLE_LOG_DEBUG, "Variable '%s' already exists.", name);
      return false;
    }
  /* Without the list of variables (it could not be made) a new variable
   * would have nowhere to live. */
  auto *variable = priv->variables != nullptr
                     ? new_variable (name)
                     : nullptr;
  if (variable == nullptr)
    {
      VONTLE_LOG_HERE (VONTLE_LOG_DEBUG, "Could not create new variable.");
      return false;
    }
  vontle::list_append_spare (priv->variables, variable, &priv->variables_capacity);
  g_hash_table_insert (priv->variable_index, variable->name, variable);
  if (g_hash_table_contains (priv->reference_index, name))
    priv->missing--;
  emit_change (object, SIGNAL_VARIABLE_CHANGED, name);
  return true;
}

void
vontle_template_set_variable_value (VontleTemplate *object, const char *name, const char *value)
{
  if (!check_template (object, __func__) || !VONTLE_CHECK (name != NULL)
      || !VONTLE_CHECK (value != NULL))
    return;
  auto *variable = find_variable (private_of (object), name);
  if (variable == nullptr)
    {
      VONTLE_LOG_HERE (VONTLE_LOG_ERROR, "Variable '%s' does not exist.", name);
      return;
    }
  if (g_strcmp0 (variable->value, value) == 0)
    return;
  /* Copied before the old value goes: value may point into it. */
  char *new_value = g_strdup (value);
  free_value (variable->value);
  variable->value = new_value;
  emit_change (object, SIGNAL_VARIABLE_CHANGED, name);
}

char *
vontle_template_evaluate (VontleTemplate *object)
{
  if (!check_template (object, __func__))
    return nullptr;
  auto *priv = private_of (object);
  if (!priv->ready)
    {
      VONTLE_LOG_HERE (VONTLE_LOG_ERROR, "Base contains variables that do not have a value assigned.");
      return nullptr;
    }
  if (priv->variable_regex == nullptr)
    return nullptr;
  /* A reference without a variable raises a critical, which reaches the
   * host's log handler: that may replace the base under the walk, or drop
   * the last reference. Both the object and the walked base stay alive. */
  const vontle::Hold held (object);
  g_autoptr (GRegex) regex = g_regex_ref (priv->variable_regex);
  const BaseWalk walk (priv);
  return g_regex_replace_eval (regex, walk.base (), -1, 0,
                               static_cast<GRegexMatchFlags> (0), eval_replace_cb,
                               priv, nullptr);
}

bool
vontle_template_is_ready (VontleTemplate *object)
{
  if (!check_template (object, __func__))
    return false;
  return private_of (object)->ready;
}

char **
vontle_template_dup_referenced_names (VontleTemplate *object)
{
  if (!check_template (object, __func__))
    return nullptr;
  return vontle::dup_strings (vontle_template_referenced_variables (object));
}
