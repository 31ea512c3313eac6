/* SPDX-License-Identifier: LGPL-2.1-or-later */
/* Calls into libvontle as an application would and checks the answers;
 * exits non-zero on the first wrong one. */
#include <vontle/vontle.h>

#include <stdio.h>
#include <string.h>

static int
compare_strings (const void *a, const void *b)
{
  return strcmp (a, b);
}

static int
expect (const char *what, const char *got, const char *want)
{
  if (got != NULL && strcmp (got, want) == 0)
    return 0;
  fprintf (stderr, "consumer: %s gave \"%s\", not \"%s\"\n", what, got ? got : "(null)", want);
  return 1;
}

int
main (void)
{
  int failures = 0;

  g_autoptr (VontleList) words = vontle_sorted_list_new_with_free (compare_strings, g_free);
  vontle_list_append (words, g_strdup ("pear"));
  vontle_list_append (words, g_strdup ("apple"));
  vontle_list_append (words, g_strdup ("fig"));
  failures += expect ("the sorted list's first word", vontle_list_nth (words, 0), "apple");
  failures += expect ("the sorted list's last word", vontle_list_nth (words, 2), "pear");

  g_autoptr (VontleTemplate) greeting = vontle_template_new ("Hello @name@!");
  vontle_template_add_variable (greeting, "name");
  vontle_template_set_variable_value (greeting, "name", "world");
  g_autofree char *text = vontle_template_evaluate (greeting);
  failures += expect ("the template", text, "Hello world!");

  g_autofree char *replaced = vontle_replace_substring ("a-b-c", "-", "+");
  failures += expect ("vontle_replace_substring", replaced, "a+b+c");

  if (failures == 0)
    printf ("consumer: libvontle %s answered as expected\n", vontle_version ());
  return failures == 0 ? 0 : 1;
}
