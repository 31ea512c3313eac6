/* SPDX-License-Identifier: LGPL-2.1-or-later */
#include "vontle-test.h"

#include <vontle/vontle.h>
#include <vontle/vontle.hpp>

#include <map>
#include <optional>
#include <random>
#include <string>
#include <tuple>
#include <utility>
#include <vector>

using vontle_test::StderrCapture;
using ::testing::ElementsAre;
using ::testing::HasSubstr;
using ::testing::IsEmpty;

/* A subclass whose base handler does no scan, so the template keeps calling
 * itself ready whatever the base refers to. It also has a property of its own
 * whose accesses it hands, unhandled, to the parent's accessors. */
G_DECLARE_FINAL_TYPE (TestBlindTemplate, test_blind_template, TEST, BLIND_TEMPLATE, VontleTemplate)

struct _TestBlindTemplate
{
  VontleTemplate parent_instance;
};

G_DEFINE_TYPE (TestBlindTemplate, test_blind_template, VONTLE_TYPE_TEMPLATE)

static void
test_blind_template_class_init (TestBlindTemplateClass *klass)
{
  VONTLE_TEMPLATE_CLASS (klass)->base_changed = [] (VontleTemplate *) {};
  auto *object_class = G_OBJECT_CLASS (klass);
  object_class->set_property = G_OBJECT_CLASS (test_blind_template_parent_class)->set_property;
  object_class->get_property = G_OBJECT_CLASS (test_blind_template_parent_class)->get_property;
  g_object_class_install_property (object_class, 2,
                                   g_param_spec_string ("note", "note", "note", nullptr,
                                                        G_PARAM_READWRITE));
}

static void
test_blind_template_init (TestBlindTemplate *)
{
}

/* A subclass whose variable handler does nothing: readiness then changes
 * only with the base. */
G_DECLARE_FINAL_TYPE (TestDeafTemplate, test_deaf_template, TEST, DEAF_TEMPLATE, VontleTemplate)

struct _TestDeafTemplate
{
  VontleTemplate parent_instance;
};

G_DEFINE_TYPE (TestDeafTemplate, test_deaf_template, VONTLE_TYPE_TEMPLATE)

static void
test_deaf_template_class_init (TestDeafTemplateClass *klass)
{
  VONTLE_TEMPLATE_CLASS (klass)->variable_changed = [] (VontleTemplate *, const char *) {};
}

static void
test_deaf_template_init (TestDeafTemplate *)
{
}

namespace {

std::vector<std::string>
names (VontleList *list)
{
  const vontle::ListView<const char *> view (list);
  return std::vector<std::string> (view.begin (), view.end ());
}

std::optional<std::string>
evaluate (VontleTemplate *object)
{
  g_autofree char *text = vontle_template_evaluate (object);
  return text != nullptr ? std::optional<std::string> (text) : std::nullopt;
}

/* Evaluation while not ready writes its error line; keep it off the output. */
std::optional<std::string>
evaluate_quietly (VontleTemplate *object)
{
  StderrCapture capture;
  return evaluate (object);
}

/* Exactly one line "debug: lib/template.cpp:<line>: <function>(): <message>":
 * the file is named from the source root, wherever the build directory is. */
MATCHER_P2 (DebugLine, function, message, "")
{
  const std::string &text = arg;
  const std::string head = "debug: lib/template.cpp:";
  const std::string tail = std::string (": ") + function + "(): " + message + "\n";
  if (text.rfind (head, 0) != 0)
    return false;
  const auto line_at = head.size ();
  const auto line_end = text.find_first_not_of ("0123456789", line_at);
  return line_end != std::string::npos && line_end > line_at
         && text.compare (line_end, std::string::npos, tail) == 0;
}

/* Records every emission in order; "changed" also records what evaluation
 * gives at that moment. */
struct Recorder
{
  std::vector<std::string> events;

  explicit Recorder (VontleTemplate *object)
  {
    g_signal_connect (object, "base-changed", G_CALLBACK (+[] (VontleTemplate *, Recorder *self) {
      self->events.push_back ("base-changed");
    }), this);
    g_signal_connect (object, "variable-changed",
                      G_CALLBACK (+[] (VontleTemplate *, const char *name, Recorder *self) {
                        self->events.push_back (std::string ("variable-changed ") + name);
                      }), this);
    g_signal_connect (object, "changed", G_CALLBACK (+[] (VontleTemplate *t, Recorder *self) {
      self->events.push_back ("changed -> " + evaluate_quietly (t).value_or ("(null)"));
    }), this);
  }

  std::vector<std::string> Take () { return std::exchange (events, {}); }
};

using TemplateTest = vontle_test::GLibLogTest;

TEST_F (TemplateTest, NewTemplateIsEmptyAndReady)
{
  for (const char *base : { static_cast<const char *> (nullptr), "" })
    {
      g_autoptr (VontleTemplate) object = vontle_template_new (base);
      ASSERT_TRUE (VONTLE_IS_TEMPLATE (object));
      EXPECT_STREQ (vontle_template_get_base (object), "");
      EXPECT_THAT (names (vontle_template_referenced_variables (object)), IsEmpty ());
      EXPECT_EQ (evaluate (object), "");
      EXPECT_TRUE (vontle_template_is_ready (object));
    }
  g_autoptr (VontleTemplate) object = vontle_template_new ("Hello @name@");
  EXPECT_THAT (names (vontle_template_referenced_variables (object)), ElementsAre ("name"));
  EXPECT_FALSE (vontle_template_is_ready (object));
}

TEST_F (TemplateTest, SignalsAndWhatConnectedHandlersSee)
{
  g_autoptr (VontleTemplate) object = vontle_template_new (nullptr);
  Recorder recorder (object);

  vontle_template_set_base (object, "Hello @name@");
  EXPECT_THAT (recorder.Take (), ElementsAre ("base-changed", "changed -> (null)"));
  vontle_template_set_base (object, "Hello @name@");
  EXPECT_TRUE (vontle_template_add_variable (object, "name"));
  EXPECT_THAT (recorder.Take (), ElementsAre ("variable-changed name", "changed -> Hello "));
  vontle_template_set_variable_value (object, "name", "world");
  EXPECT_THAT (recorder.Take (), ElementsAre ("variable-changed name", "changed -> Hello world"));

  /* Nothing changes, so nothing is emitted. */
  vontle_template_set_variable_value (object, "name", "world");
  EXPECT_FALSE (vontle_template_add_variable (object, "name"));
  EXPECT_FALSE (vontle_template_add_variable (object, "not valid"));
  StderrCapture capture;
  vontle_template_set_variable_value (object, "other", "x");
  EXPECT_EQ (capture.Finish (), "error: Variable 'other' does not exist.\n");
  EXPECT_THAT (recorder.Take (), IsEmpty ());

  /* NULL never equals the current base, even an empty one. */
  vontle_template_set_base (object, "");
  recorder.Take ();
  vontle_template_set_base (object, nullptr);
  EXPECT_THAT (recorder.Take (), ElementsAre ("base-changed", "changed -> "));
  EXPECT_STREQ (vontle_template_get_base (object), "");
}

TEST_F (TemplateTest, HandlersOfEverySignalSeeTheNewAnalysis)
{
  g_autoptr (VontleTemplate) object = vontle_template_new ("@a@");
  using Seen = std::vector<std::string>;
  Seen seen;
  g_signal_connect (object, "base-changed", G_CALLBACK (+[] (VontleTemplate *t, Seen *out) {
    out->push_back (evaluate_quietly (t).value_or ("(null)"));
  }), &seen);
  g_signal_connect_after (object, "variable-changed",
                          G_CALLBACK (+[] (VontleTemplate *t, const char *, Seen *out) {
                            out->push_back (evaluate_quietly (t).value_or ("(null)"));
                          }), &seen);
  vontle_template_add_variable (object, "a");
  vontle_template_set_variable_value (object, "a", "1");
  vontle_template_set_base (object, "@b@");
  vontle_template_add_variable (object, "b");
  EXPECT_THAT (seen, ElementsAre ("", "1", "(null)", ""));
}

TEST_F (TemplateTest, VariableNames)
{
  g_autoptr (VontleTemplate) object = vontle_template_new (nullptr);
  vontle_set_log_level (VONTLE_LOG_DEBUG);
  /* The end anchor also matches before one final line break, of any kind. */
  for (const char *name : { "x", "7", "a-b", "a_b", "Z9-_", "A", "a", "a\n", "b\r\n", "c\r", "d\v",
                            "e\f", "f\xc2\x85", "g\xe2\x80\xa8", "h\xe2\x80\xa9" })
    {
      StderrCapture capture;
      EXPECT_TRUE (vontle_template_add_variable (object, name)) << name;
      EXPECT_EQ (capture.Finish (), "") << name;
    }
  for (const char *name : { "", "-a", "_a", "a b", "a.b", "a@", "\xc3\xa9", "a\xc3\xa9", "a\n\n",
                            "a\n\r", "a\r\n\n", "a\nb", "a\t", "a\xff", "a\xc2" })
    {
      StderrCapture capture;
      EXPECT_FALSE (vontle_template_add_variable (object, name)) << name;
      EXPECT_THAT (capture.Finish (),
                   DebugLine ("vontle_template_add_variable",
                              std::string ("'") + name + "' is not a valid variable name."));
    }
  StderrCapture capture;
  EXPECT_FALSE (vontle_template_add_variable (object, "a"));
  EXPECT_THAT (capture.Finish (),
               DebugLine ("vontle_template_add_variable", "Variable 'a' already exists."));
}

TEST_F (TemplateTest, DebugMessagesArePrintedOnlyWhenAskedFor)
{
  {
    StderrCapture capture;
    g_autoptr (VontleTemplate) object = vontle_template_new ("@x@");
    vontle_template_add_variable (object, "-");
    vontle_template_add_variable (object, "x");
    vontle_template_add_variable (object, "x");
    EXPECT_EQ (capture.Finish (), "");
  }
  vontle_set_log_level (VONTLE_LOG_DEBUG);
  StderrCapture capture;
  g_autoptr (VontleTemplate) object = vontle_template_new ("@x@ @y@ @y@");
  /* Only the first missing name is reported. */
  EXPECT_THAT (capture.Finish (), DebugLine ("base_changed", "Variable 'x' not set."));
  EXPECT_THAT (names (vontle_template_referenced_variables (object)), ElementsAre ("x", "y"));
}

TEST_F (TemplateTest, EvaluationIsRefusedWhileAVariableIsMissing)
{
  g_autoptr (VontleTemplate) object = vontle_template_new ("@Name@ @other@");
  vontle_template_add_variable (object, "name");
  vontle_template_add_variable (object, "other");
  StderrCapture capture;
  EXPECT_EQ (evaluate (object), std::nullopt);
  EXPECT_EQ (capture.Finish (), "error: Base contains variables that do not have a value assigned.\n");

  vontle_template_add_variable (object, "Name");
  vontle_template_set_variable_value (object, "Name", "N");
  EXPECT_EQ (evaluate (object), "N ");
  vontle_template_set_base (object, "@missing@");
  EXPECT_EQ (evaluate_quietly (object), std::nullopt);
  vontle_template_set_base (object, "@other@");
  EXPECT_EQ (evaluate (object), "");
}

/* Readiness follows every referenced name, the last one included, whatever
 * order the variables arrive in and whatever else is added meanwhile. */
TEST_F (TemplateTest, ReadinessWaitsForEveryReferencedName)
{
  for (const char *first : { "a", "b" })
    {
      const char *second = g_str_equal (first, "a") ? "b" : "a";
      g_autoptr (VontleTemplate) object = vontle_template_new ("@a@ @b@");
      vontle_template_add_variable (object, first);
      EXPECT_FALSE (vontle_template_is_ready (object)) << first;
      StderrCapture capture;
      EXPECT_EQ (evaluate (object), std::nullopt) << first;
      vontle_template_add_variable (object, "unreferenced");
      EXPECT_EQ (evaluate (object), std::nullopt) << first;
      EXPECT_EQ (capture.Finish (),
                 "error: Base contains variables that do not have a value assigned.\n"
                 "error: Base contains variables that do not have a value assigned.\n");
      vontle_template_add_variable (object, second);
      EXPECT_TRUE (vontle_template_is_ready (object)) << first;
      EXPECT_EQ (evaluate (object), " ") << first;
    }
}

struct ReferenceCase
{
  const char *base;
  std::vector<std::string> referenced;
  std::vector<std::pair<const char *, const char *>> values;
  const char *result;
};

TEST_F (TemplateTest, ReferencesAndEvaluation)
{
  const ReferenceCase cases[] = {
    { "Hello @name@", { "name" }, { { "name", "world" } }, "Hello world" },
    { "@a@ and @a@", { "a" }, { { "a", "1" } }, "1 and 1" },
    { "@b@ @a@ @b@", { "b", "a" }, { { "a", "1" }, { "b", "2" } }, "2 1 2" },
    { "@a@b@c@", { "a", "c" }, { { "a", "1" }, { "c", "3" } }, "1b3" },
    { "@a@@b@", { "a", "b" }, { { "a", "1" }, { "b", "2" } }, "12" },
    { "a@b@c", { "b" }, { { "b", "X" } }, "aXc" },
    { "x@@y @ a@ @-a@ @_a@ @a", {}, { { "a", "1" } }, "x@@y @ a@ @-a@ @_a@ @a" },
    { "", {}, {}, "" },
    /* Values go in as they are: never scanned for references. */
    { "@a@ @b@", { "a", "b" }, { { "a", "@b@" }, { "b", "B" } }, "@b@ B" },
    { "@a@", { "a" }, { { "a", "1" }, { "unused", "2" } }, "1" },
  };
  for (const auto &c : cases)
    {
      g_autoptr (VontleTemplate) object = vontle_template_new (nullptr);
      for (const auto &[name, value] : c.values)
        {
          vontle_template_add_variable (object, name);
          vontle_template_set_variable_value (object, name, value);
        }
      vontle_template_set_base (object, c.base);
      EXPECT_EQ (names (vontle_template_referenced_variables (object)), c.referenced) << c.base;
      EXPECT_EQ (evaluate (object), c.result) << c.base;
      EXPECT_STREQ (vontle_template_get_base (object), c.base);
    }
}

/* Caller text reaches the log only as an argument, never as a format, and a
 * value goes into the result verbatim, never as replacement syntax. */
TEST_F (TemplateTest, CallerTextIsNeitherFormatNorReplacementSyntax)
{
  g_autoptr (VontleTemplate) object = vontle_template_new ("<@a@>");
  vontle_set_log_level (VONTLE_LOG_DEBUG);
  {
    StderrCapture capture;
    EXPECT_FALSE (vontle_template_add_variable (object, "%s%n%s"));
    EXPECT_THAT (capture.Finish (), DebugLine ("vontle_template_add_variable",
                                               "'%s%n%s' is not a valid variable name."));
  }
  {
    StderrCapture capture;
    vontle_template_set_variable_value (object, "%n%n", "x");
    EXPECT_EQ (capture.Finish (), "error: Variable '%n%n' does not exist.\n");
  }
  vontle_template_add_variable (object, "a");
  vontle_template_set_variable_value (object, "a", "\\0 \\1 \\g<1> $1 %s");
  EXPECT_EQ (evaluate (object), "<\\0 \\1 \\g<1> $1 %s>");
}

/* Names that are prefixes of one another or differ only in case, each
 * referenced in a random order: every reference gets exactly its own
 * variable's value, also after values change and variables arrive late. */
TEST_F (TemplateTest, ManyVariablesEachResolveToTheirOwnName)
{
  std::vector<std::string> all;
  for (int i = 0; i < 120; i++)
    for (const char *stem : { "v", "V", "v-" })
      all.push_back (stem + std::to_string (i));
  g_autoptr (VontleTemplate) object = vontle_template_new (nullptr);
  std::map<std::string, std::string> values;
  for (const auto &name : all)
    {
      ASSERT_TRUE (vontle_template_add_variable (object, name.c_str ()));
      values[name] = "<" + name + ">";
      vontle_template_set_variable_value (object, name.c_str (), values[name].c_str ());
    }

  std::mt19937 random (5);
  std::vector<std::string> order;
  for (int i = 0; i < 2000; i++)
    order.push_back (all[random () % all.size ()]);
  const auto render = [&] (bool with_late) {
    std::pair<std::string, std::string> texts;
    for (const auto &name : order)
      {
        texts.first += "@" + name + "@.";
        texts.second += values[name] + ".";
      }
    if (with_late)
      {
        texts.first += "@late@";
        texts.second += values["late"];
      }
    return texts;
  };

  auto [base, expected] = render (false);
  vontle_template_set_base (object, base.c_str ());
  EXPECT_EQ (evaluate (object), expected);

  values["v1"] = "one";
  vontle_template_set_variable_value (object, "v1", "one");
  std::tie (base, expected) = render (false);
  EXPECT_EQ (evaluate (object), expected);

  std::tie (base, expected) = render (true);
  vontle_template_set_base (object, base.c_str ());
  EXPECT_EQ (evaluate_quietly (object), std::nullopt);
  EXPECT_FALSE (vontle_template_add_variable (object, "V7"));
  EXPECT_TRUE (vontle_template_add_variable (object, "late"));
  EXPECT_EQ (evaluate (object), expected);
}

TEST_F (TemplateTest, AnalysisKeepsItsListAndOrder)
{
  g_autoptr (VontleTemplate) object = vontle_template_new ("@b@ @a@");
  VontleList *list = vontle_template_referenced_variables (object);
  vontle_template_add_variable (object, "a");
  vontle_template_set_variable_value (object, "a", "@c@");
  EXPECT_THAT (names (list), ElementsAre ("b", "a"));
  vontle_template_set_base (object, "@c@");
  vontle_template_set_base (object, "none");
  EXPECT_EQ (vontle_template_referenced_variables (object), list);
  EXPECT_THAT (names (list), IsEmpty ());
}

/* Readiness is kept as a count of referenced names without a variable:
 * repeated references count once, only the last missing variable makes the
 * template ready, and a variable the base does not name changes nothing. */
TEST_F (TemplateTest, ReadinessCountsEachMissingNameOnce)
{
  g_autoptr (VontleTemplate) object = vontle_template_new ("@a@ @b@ @a@ @c@ @b@");
  for (const char *name : { "unused", "b", "a" })
    {
      vontle_template_add_variable (object, name);
      EXPECT_EQ (evaluate_quietly (object), std::nullopt) << name;
    }
  vontle_template_add_variable (object, "c");
  EXPECT_EQ (evaluate (object), "    ");

  vontle_template_set_base (object, "@c@ @d@");
  EXPECT_EQ (evaluate_quietly (object), std::nullopt);
  vontle_template_set_base (object, "@c@ @a@");
  EXPECT_EQ (evaluate (object), " ");
}

TEST_F (TemplateTest, ReadinessIsWrittenOnlyByTheDefaultHandlers)
{
  g_autoptr (VontleTemplate) deaf =
    VONTLE_TEMPLATE (g_object_new (test_deaf_template_get_type (), nullptr));
  vontle_template_set_base (deaf, "@a@");
  vontle_template_add_variable (deaf, "a");
  EXPECT_EQ (evaluate_quietly (deaf), std::nullopt);
  vontle_template_set_base (deaf, "[@a@]");
  EXPECT_EQ (evaluate (deaf), "[]");

  /* No scan: the names of the earlier base stay what readiness is about. */
  g_autoptr (VontleTemplate) blind =
    VONTLE_TEMPLATE (g_object_new (test_blind_template_get_type (), nullptr));
  vontle_template_set_base (blind, "@x@");
  vontle_template_add_variable (blind, "y");
  EXPECT_EQ (evaluate_quietly (blind), "");
  ExpectCritical ("eval_replace_cb", "variable != NULL");
}

/* The list is lent: a name a caller adds to it counts like a referenced one
 * from the next variable change on. */
TEST_F (TemplateTest, NamesAddedThroughTheLentListCount)
{
  g_autoptr (VontleTemplate) object = vontle_template_new ("@a@");
  vontle_template_add_variable (object, "a");
  vontle_list_append (vontle_template_referenced_variables (object), g_strdup ("zz"));
  vontle_template_set_variable_value (object, "a", "1");
  EXPECT_EQ (evaluate_quietly (object), std::nullopt);
  vontle_template_add_variable (object, "zz");
  EXPECT_EQ (evaluate (object), "1");
}

TEST_F (TemplateTest, SetBaseFromWithinTheCurrentBase)
{
  g_autoptr (VontleTemplate) object = vontle_template_new ("x@a@ tail");
  vontle_template_set_base (object, vontle_template_get_base (object) + 1);
  EXPECT_STREQ (vontle_template_get_base (object), "@a@ tail");
  EXPECT_THAT (names (vontle_template_referenced_variables (object)), ElementsAre ("a"));
}

TEST_F (TemplateTest, BaseProperty)
{
  g_autoptr (VontleTemplate) object = vontle_template_new (nullptr);
  Recorder recorder (object);
  int notifications = 0;
  g_signal_connect_swapped (object, "notify::base",
                            G_CALLBACK (+[] (int *count) { ++*count; }), &notifications);

  g_object_set (object, "base", "@v@", nullptr);
  EXPECT_THAT (recorder.Take (), ElementsAre ("base-changed", "changed -> (null)"));
  EXPECT_EQ (notifications, 1);
  EXPECT_THAT (names (vontle_template_referenced_variables (object)), ElementsAre ("v"));

  g_autofree char *read = nullptr;
  g_object_get (object, "base", &read, nullptr);
  EXPECT_STREQ (read, "@v@");
  EXPECT_NE (read, vontle_template_get_base (object));

  vontle_template_set_base (object, "plain");
  EXPECT_EQ (notifications, 1);
  g_object_set (object, "base", nullptr, nullptr);
  EXPECT_STREQ (vontle_template_get_base (object), "");
  EXPECT_THAT (recorder.Take (),
               ElementsAre ("base-changed", "changed -> plain", "base-changed", "changed -> "));

  GParamSpec *pspec = g_object_class_find_property (G_OBJECT_GET_CLASS (object), "base");
  EXPECT_STREQ (g_param_spec_get_nick (pspec), "base template");
  EXPECT_STREQ (g_param_spec_get_blurb (pspec), "String used as base for the template.");
  EXPECT_EQ (pspec->flags & G_PARAM_CONSTRUCT, 0u);
}

TEST_F (TemplateTest, UnknownPropertyIdOnlyWarns)
{
  g_autoptr (VontleTemplate) object =
    VONTLE_TEMPLATE (g_object_new (test_blind_template_get_type (), nullptr));
  g_object_set (object, "note", "x", nullptr);
  g_autofree char *note = nullptr;
  g_object_get (object, "note", &note, nullptr);
  EXPECT_EQ (note, nullptr);
  auto messages = TakeMessages ();
  ASSERT_EQ (messages.size (), 2u);
  for (const auto &message : messages)
    {
      EXPECT_EQ (message.level, G_LOG_LEVEL_WARNING);
      EXPECT_THAT (message.message,
                   HasSubstr ("invalid property id 2 for \"note\" of type 'GParamString' in "
                              "'TestBlindTemplate'"));
    }
  EXPECT_STREQ (vontle_template_get_base (object), "");
}

TEST_F (TemplateTest, MissingVariableDuringEvaluationStopsTheReplacement)
{
  g_autoptr (VontleTemplate) object =
    VONTLE_TEMPLATE (g_object_new (test_blind_template_get_type (), nullptr));
  vontle_template_add_variable (object, "known");
  vontle_template_set_variable_value (object, "known", "1");
  vontle_template_set_base (object, "A@known@B@x@C@known@D");
  EXPECT_THAT (names (vontle_template_referenced_variables (object)), IsEmpty ());
  EXPECT_EQ (evaluate (object), "A1BC@known@D");
  ExpectCritical ("eval_replace_cb", "variable != NULL");
}

TEST_F (TemplateTest, DisposedTemplateMatchesNothing)
{
  vontle_set_log_level (VONTLE_LOG_DEBUG);
  g_autoptr (VontleTemplate) object = vontle_template_new (nullptr);
  g_object_run_dispose (G_OBJECT (object));
  g_object_run_dispose (G_OBJECT (object));
  StderrCapture capture;
  EXPECT_FALSE (vontle_template_add_variable (object, "a"));
  vontle_template_set_base (object, "@a@");
  EXPECT_THAT (names (vontle_template_referenced_variables (object)), IsEmpty ());
  EXPECT_EQ (evaluate (object), std::nullopt);
  EXPECT_THAT (capture.Finish (),
               DebugLine ("vontle_template_add_variable", "'a' is not a valid variable name."));
}

TEST_F (TemplateTest, ArgumentChecks)
{
  const char *is_template = "VONTLE_IS_TEMPLATE(object)";
  g_autoptr (GObject) other = G_OBJECT (g_object_new (G_TYPE_OBJECT, nullptr));
  auto *not_a_template = reinterpret_cast<VontleTemplate *> (other);
  for (auto *bad : { static_cast<VontleTemplate *> (nullptr), not_a_template })
    {
      vontle_template_set_base (bad, "x");
      ExpectCritical ("vontle_template_set_base", is_template);
      EXPECT_EQ (vontle_template_get_base (bad), nullptr);
      ExpectCritical ("vontle_template_get_base", is_template);
      EXPECT_EQ (vontle_template_referenced_variables (bad), nullptr);
      ExpectCritical ("vontle_template_referenced_variables", is_template);
      EXPECT_FALSE (vontle_template_add_variable (bad, "x"));
      ExpectCritical ("vontle_template_add_variable", is_template);
      vontle_template_set_variable_value (bad, "x", "y");
      ExpectCritical ("vontle_template_set_variable_value", is_template);
      EXPECT_EQ (vontle_template_evaluate (bad), nullptr);
      ExpectCritical ("vontle_template_evaluate", is_template);
      EXPECT_FALSE (vontle_template_is_ready (bad));
      ExpectCritical ("vontle_template_is_ready", is_template);
    }
  g_autoptr (VontleTemplate) object = vontle_template_new (nullptr);
  Recorder recorder (object);
  EXPECT_FALSE (vontle_template_add_variable (object, nullptr));
  ExpectCritical ("vontle_template_add_variable", "name != NULL");
  vontle_template_set_variable_value (object, nullptr, "y");
  ExpectCritical ("vontle_template_set_variable_value", "name != NULL");
  vontle_template_add_variable (object, "x");
  recorder.Take ();
  vontle_template_set_variable_value (object, "x", nullptr);
  ExpectCritical ("vontle_template_set_variable_value", "value != NULL");
  EXPECT_THAT (recorder.Take (), IsEmpty ());
}


TEST_F (TemplateTest, DupReferencedNamesCopiesInOrderOfFirstAppearance)
{
  g_autoptr (VontleTemplate) object = vontle_template_new ("@b@ @a@ @b@");
  g_auto (GStrv) copied = vontle_template_dup_referenced_names (object);
  ASSERT_EQ (g_strv_length (copied), 2u);
  EXPECT_STREQ (copied[0], "b");
  EXPECT_STREQ (copied[1], "a");
  EXPECT_NE (copied[0], vontle_template_referenced_variables (object)->start[0]);

  vontle_template_set_base (object, "no references");
  g_auto (GStrv) none = vontle_template_dup_referenced_names (object);
  ASSERT_NE (none, nullptr);
  EXPECT_EQ (none[0], nullptr);

  EXPECT_EQ (vontle_template_dup_referenced_names (nullptr), nullptr);
  ExpectCritical ("vontle_template_dup_referenced_names", "VONTLE_IS_TEMPLATE(object)");
}

} // namespace
