/* SPDX-License-Identifier: LGPL-2.1-or-later */
#include "history-matcher.h"
#include "vontle-private.h"

#include <utility>

/* ---------------------------------------------------------- the mode -- */

GType
vontle_input_history_match_mode_get_type (void)
{
  static gsize type_id = 0;
  if (g_once_init_enter (&type_id))
    {
      static const GEnumValue values[] = {
        { VONTLE_INPUT_HISTORY_MATCH_PREFIX, "VONTLE_INPUT_HISTORY_MATCH_PREFIX", "prefix" },
        { VONTLE_INPUT_HISTORY_MATCH_SUBSTRING, "VONTLE_INPUT_HISTORY_MATCH_SUBSTRING", "substring" },
        { VONTLE_INPUT_HISTORY_MATCH_FUZZY, "VONTLE_INPUT_HISTORY_MATCH_FUZZY", "fuzzy" },
        { 0, nullptr, nullptr },
      };
      const GType registered = g_enum_register_static (g_intern_static_string ("VontleInputHistoryMatchMode"),
                                                       values);
      g_once_init_leave (&type_id, registered);
    }
  return type_id;
}

/* ---------------------------------------------------------- the item -- */

struct _VontleInputHistoryMatch
{
  GObject parent_instance;
  char *text;
  guint *positions;
  guint n_positions;
};

G_DEFINE_TYPE (VontleInputHistoryMatch, vontle_input_history_match, G_TYPE_OBJECT)

namespace {

enum
{
  PROP_0,
  PROP_TEXT,
};

void
vontle_input_history_match_set_property (GObject *object, guint property_id, const GValue *value,
                                         GParamSpec *pspec)
{
  if (property_id != PROP_TEXT)
    {
      G_OBJECT_WARN_INVALID_PROPERTY_ID (object, property_id, pspec);
      return;
    }
  g_free (std::exchange (VONTLE_INPUT_HISTORY_MATCH (object)->text, g_value_dup_string (value)));
}

void
vontle_input_history_match_get_property (GObject *object, guint property_id, GValue *value,
                                         GParamSpec *pspec)
{
  if (property_id != PROP_TEXT)
    {
      G_OBJECT_WARN_INVALID_PROPERTY_ID (object, property_id, pspec);
      return;
    }
  g_value_set_string (value, VONTLE_INPUT_HISTORY_MATCH (object)->text);
}

void
vontle_input_history_match_finalize (GObject *object)
{
  auto *match = VONTLE_INPUT_HISTORY_MATCH (object);
  g_free (match->text);
  g_free (match->positions);
  G_OBJECT_CLASS (vontle_input_history_match_parent_class)->finalize (object);
}

} // namespace

static void
vontle_input_history_match_class_init (VontleInputHistoryMatchClass *klass)
{
  auto *object_class = G_OBJECT_CLASS (klass);
  object_class->set_property = vontle_input_history_match_set_property;
  object_class->get_property = vontle_input_history_match_get_property;
  object_class->finalize = vontle_input_history_match_finalize;
  g_object_class_install_property (
    object_class, PROP_TEXT,
    g_param_spec_string ("text", "text", "The matched entry's line", nullptr,
                         static_cast<GParamFlags> (G_PARAM_READWRITE | G_PARAM_CONSTRUCT_ONLY
                                                   | G_PARAM_STATIC_STRINGS)));
}

static void
vontle_input_history_match_init (VontleInputHistoryMatch * /*match*/)
{
}

namespace vontle {

/* Items are made as a list view scrolls: the fields are set directly rather
 * than through the property machinery. */
VontleInputHistoryMatch *
match_item_new (const char *line, const HistoryQuery &query)
{
  auto *match = static_cast<VontleInputHistoryMatch *> (g_object_new (VONTLE_TYPE_INPUT_HISTORY_MATCH, nullptr));
  match->text = g_strdup (line);
  const Buffer<guint> positions = query.positions (line);
  match->n_positions = static_cast<guint> (positions.size ());
  if (!positions.empty ())
    match->positions = static_cast<guint *> (g_memdup2 (positions.data (), positions.size () * sizeof (guint)));
  return match;
}

} // namespace vontle

const char *
vontle_input_history_match_get_text (VontleInputHistoryMatch *match)
{
  if (!VONTLE_CHECK (VONTLE_IS_INPUT_HISTORY_MATCH (match)))
    return nullptr;
  return match->text;
}

const guint *
vontle_input_history_match_get_positions (VontleInputHistoryMatch *match, guint *n_positions)
{
  if (n_positions != nullptr)
    *n_positions = 0;
  if (!VONTLE_CHECK (VONTLE_IS_INPUT_HISTORY_MATCH (match)))
    return nullptr;
  if (n_positions != nullptr)
    *n_positions = match->n_positions;
  return match->positions;
}

/* ---------------------------------------------------------- the find -- */

gssize
vontle_input_history_find (VontleInputHistory *history, const char *query, VontleInputHistoryMatchMode mode,
                           gssize before)
{
  if (!VONTLE_CHECK (VONTLE_IS_INPUT_HISTORY (history))
      || !VONTLE_CHECK (mode <= VONTLE_INPUT_HISTORY_MATCH_FUZZY) || !VONTLE_CHECK (before >= -1))
    return -1;
  VontleList *entries = vontle_input_history_list (history);
  if (entries == nullptr)
    return -1;
  vontle::HistoryQuery compiled (query, mode);
  if (compiled.matches_nothing ())
    return -1;
  const size_t n = entries->size;
  size_t i = before < 0 ? n : std::min (static_cast<size_t> (before), n);
  guint32 score = 0;
  while (i-- > 0)
    if (compiled.test (static_cast<const char *> (entries->start[i]), &score))
      return static_cast<gssize> (i);
  return -1;
}
