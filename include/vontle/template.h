/* SPDX-License-Identifier: LGPL-2.1-or-later */
/* libvontle: string templates with @name@ variables. */
#pragma once

#include <stdbool.h>
#include <glib-object.h>
#include <vontle/datastructures.h>
#include <vontle/visibility.h>

G_BEGIN_DECLS

/**
 * VONTLE_TYPE_TEMPLATE:
 *
 * The #GType of #VontleTemplate.
 */
#define VONTLE_TYPE_TEMPLATE (vontle_template_get_type ())

/**
 * VontleTemplate:
 * @parent_instance: the parent instance
 *
 * A base text with variable references, and a set of named variables with
 * string values. A reference is a variable's name between two at signs:
 *
 * ```
 * Dear @who@, your order @order-id@ has shipped.
 * ```
 *
 * A name is one ASCII letter or digit followed by ASCII letters, digits,
 * underscores and hyphens; names are case-sensitive.
 *
 * The template keeps track of the names its base refers to and of whether all
 * of them exist as variables, and announces every change through the signals
 * [signal@Vontle.Template::base-changed],
 * [signal@Vontle.Template::variable-changed] and
 * [signal@Vontle.Template::changed]. Their class handlers run first, so
 * handlers that the application connects already see the new state.
 *
 * In C:
 *
 * ```c
 * static void
 * on_changed (VontleTemplate *object, gpointer user_data)
 * {
 *   g_autofree char *text = vontle_template_evaluate (object);
 *   if (text != NULL)  // NULL while a referenced variable is missing
 *     puts (text);
 * }
 *
 * g_autoptr (VontleTemplate) letter = vontle_template_new ("Dear @who@,");
 * g_signal_connect (letter, "changed", G_CALLBACK (on_changed), NULL);
 * vontle_template_add_variable (letter, "who");               // "Dear ,"
 * vontle_template_set_variable_value (letter, "who", "Ann");  // "Dear Ann,"
 * ```
 *
 * In Python:
 *
 * ```python
 * letter = Vontle.Template.new('Dear @who@,')
 * letter.connect('changed', lambda t: print(t.evaluate()))
 * letter.add_variable('who')                  # prints "Dear ,"
 * letter.set_variable_value('who', 'Ann')     # prints "Dear Ann,"
 * ```
 */
VONTLE_AVAILABLE_IN_ALL
G_DECLARE_DERIVABLE_TYPE (VontleTemplate, vontle_template, VONTLE, TEMPLATE, GObject)

/**
 * VontleTemplateClass:
 * @parent_class: the parent class
 * @base_changed: class handler of #VontleTemplate::base-changed; by default
 *   it rescans the base for the names it refers to and checks that each one
 *   is a variable
 * @variable_changed: class handler of #VontleTemplate::variable-changed; by
 *   default it checks again that every referenced name is a variable
 * @changed: class handler of #VontleTemplate::changed; by default it does
 *   nothing
 *
 * The class structure of [class@Vontle.Template]. A subclass that replaces
 * @base_changed or @variable_changed takes over keeping the template's
 * readiness for vontle_template_evaluate() current.
 */
struct _VontleTemplateClass
{
  GObjectClass parent_class;

  void (*base_changed) (VontleTemplate *object);
  void (*variable_changed) (VontleTemplate *object, const char *name);
  void (*changed) (VontleTemplate *object);
};

/**
 * VontleTemplateClass::base_changed:
 * @object: a #VontleTemplate
 *
 * Class handler of [signal@Vontle.Template::base-changed]. The default
 * rescans the base for the names it refers to and checks that each one is a
 * variable; a replacement takes over that work.
 */

/**
 * VontleTemplateClass::variable_changed:
 * @object: a #VontleTemplate
 * @name: the name of the variable that was added or got a new value
 *
 * Class handler of [signal@Vontle.Template::variable-changed]. The default
 * checks again that every referenced name is a variable; a replacement takes
 * over that work.
 */

/**
 * VontleTemplateClass::changed:
 * @object: a #VontleTemplate
 *
 * Class handler of [signal@Vontle.Template::changed]. The default does
 * nothing.
 */

/**
 * VontleTemplate::base-changed:
 * @object: the #VontleTemplate
 *
 * The base has changed. When connected handlers run, the class handler has
 * already rescanned it, so [method@Vontle.Template.evaluate] sees the new
 * base.
 */

/**
 * VontleTemplate::variable-changed:
 * @object: the #VontleTemplate
 * @name: the name of the variable that was added or got a new value
 *
 * A variable was added or its value changed.
 */

/**
 * VontleTemplate::changed:
 * @object: the #VontleTemplate
 *
 * Emitted right after every [signal@Vontle.Template::base-changed] and
 * [signal@Vontle.Template::variable-changed]: the evaluated text may differ.
 */

/**
 * VontleTemplate:base: (setter set_base) (getter get_base)
 *
 * The base text; it starts empty. Writing it is
 * [method@Vontle.Template.set_base], which emits the template's signals;
 * reading it gives a copy of the current base. vontle_template_set_base()
 * itself sends no property notification: watch
 * [signal@Vontle.Template::base-changed] instead.
 */

/**
 * vontle_template_new:
 * @base: (nullable): the base text; %NULL leaves it empty
 *
 * Creates a template. A base other than the empty string is set with
 * [method@Vontle.Template.set_base], so its signals are emitted before the
 * caller can connect to them.
 *
 * Returns: (transfer full) (nullable): a new template, or %NULL
 */
VONTLE_AVAILABLE_IN_ALL
VontleTemplate *vontle_template_new (const char *base) G_GNUC_WARN_UNUSED_RESULT;

/**
 * vontle_template_set_base:
 * @object: a #VontleTemplate
 * @base: (nullable): the new base text; %NULL stands for the empty string.
 *   It may point into the current base.
 *
 * Replaces the base and emits [signal@Vontle.Template::base-changed], then
 * [signal@Vontle.Template::changed]. When @base equals the current base
 * nothing happens; %NULL never equals the current base, so it always emits.
 * No property notification is emitted.
 */
VONTLE_AVAILABLE_IN_ALL
void vontle_template_set_base (VontleTemplate *object, const char *base);

/**
 * vontle_template_get_base:
 * @object: a #VontleTemplate
 *
 * Gives the base text without copying it.
 *
 * Returns: (transfer none) (nullable): the current base, valid until the base
 *   next changes; %NULL only when @object is not a template
 */
VONTLE_AVAILABLE_IN_ALL
const char *vontle_template_get_base (VontleTemplate *object);

/**
 * vontle_template_referenced_variables: (skip)
 * @object: a #VontleTemplate
 *
 * The names that the base refers to, each once, in the order of their first
 * appearance, whether or not they exist as variables. The list is the same
 * object for the template's whole life; its contents are valid until the base
 * next changes. Do not change or release it.
 *
 * Returns: (transfer none) (nullable): a list of strings, or %NULL when
 *   @object is not a template or the list could not be allocated (the
 *   template then still tracks whether every referenced variable exists)
 */
VONTLE_AVAILABLE_IN_ALL
VontleList *vontle_template_referenced_variables (VontleTemplate *object);

/**
 * vontle_template_add_variable:
 * @object: a #VontleTemplate
 * @name: the variable's name
 *
 * Adds a variable with an empty value, then emits
 * [signal@Vontle.Template::variable-changed] with @name and
 * [signal@Vontle.Template::changed].
 * An invalid name or one that is already a variable is refused with a debug
 * message in the log, and so is every name when the template could not
 * allocate its list of variables. Variables cannot be removed.
 *
 * Returns: whether the variable was added
 */
VONTLE_AVAILABLE_IN_ALL
bool vontle_template_add_variable (VontleTemplate *object, const char *name);

/**
 * vontle_template_set_variable_value:
 * @object: a #VontleTemplate
 * @name: the name of an existing variable
 * @value: the new value; it may point into the current value
 *
 * Sets a variable's value and, when it differs from the old one, emits
 * [signal@Vontle.Template::variable-changed] with @name and
 * [signal@Vontle.Template::changed].
 * A name that is not a variable is logged as an error.
 */
VONTLE_AVAILABLE_IN_ALL
void vontle_template_set_variable_value (VontleTemplate *object, const char *name,
                                         const char *value);

/**
 * vontle_template_evaluate:
 * @object: a #VontleTemplate
 *
 * Replaces every reference in the base by its variable's value, in one pass:
 * values are copied as they are and never searched for references. While
 * some referenced name is not a variable, evaluation is refused with an
 * error in the log.
 *
 * Returns: (transfer full) (nullable): the evaluated text, or %NULL
 */
VONTLE_AVAILABLE_IN_ALL
char *vontle_template_evaluate (VontleTemplate *object) G_GNUC_WARN_UNUSED_RESULT;

/**
 * vontle_template_is_ready:
 * @object: a #VontleTemplate
 *
 * Whether every name that the base refers to exists as a variable, that is
 * whether vontle_template_evaluate() would evaluate rather than refuse. Ask
 * it from a #VontleTemplate::changed handler: the template has brought it up
 * to date before any handler runs. A subclass that replaces the analysing
 * class handlers decides what it says.
 *
 * Returns: %TRUE when the template is ready to evaluate; %FALSE when a
 *   referenced name has no variable, or when @object is not a template
 */
VONTLE_AVAILABLE_IN_ALL
bool vontle_template_is_ready (VontleTemplate *object);

/**
 * vontle_template_dup_referenced_names:
 * @object: a template
 *
 * Copies the names that the base refers to, as
 * vontle_template_referenced_variables() lists them: each once, in the order
 * of their first appearance, whether or not they exist as variables. This is
 * the form in which bindings read them.
 *
 * Returns: (transfer full) (array zero-terminated=1): a new %NULL-terminated
 *   array of names, empty when the base refers to none; %NULL only when
 *   @object is not a template. Free it with g_strfreev().
 */
VONTLE_AVAILABLE_IN_ALL
char **vontle_template_dup_referenced_names (VontleTemplate *object) G_GNUC_WARN_UNUSED_RESULT;

G_END_DECLS
