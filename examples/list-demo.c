/* SPDX-License-Identifier: LGPL-2.1-or-later */
/* A first look at the library: an owning sorted list of words and the logger. */
#include <stdio.h>
#include <string.h>

#include <vontle/vontle.h>

static int
compare_words (const void *a, const void *b)
{
  return strcmp (a, b);
}

static void
print_word (void *data, void *user_data)
{
  (void) user_data;
  printf ("  %s\n", (const char *) data);
}

int
main (void)
{
  const char *words[] = { "pear", "apple", "fig", "banana" };
  g_autoptr (VontleList) list = vontle_sorted_list_new_with_free (compare_words, g_free);

  for (size_t i = 0; i < G_N_ELEMENTS (words); i++)
    vontle_list_append (list, g_strdup (words[i]));

  printf ("%zu words, kept sorted:\n", vontle_list_size (list));
  vontle_list_foreach (list, print_word, NULL);
  fflush (stdout); /* the log line goes to standard error */

  vontle_set_log_level (VONTLE_LOG_INFO);
  vontle_log (G_STRLOC, G_STRFUNC, VONTLE_LOG_INFO, "the list owns %zu strings", vontle_list_size (list));
  return 0;
}
