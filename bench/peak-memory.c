/* SPDX-License-Identifier: LGPL-2.1-or-later */
/* Peak resident memory of one string helper on one large input, measured by
 * the kernel (getrusage), one helper per process so that peaks do not mix:
 *
 *   peak-memory HELPER MEGABYTES
 *
 * HELPER is replace-delete (every byte of a run of 'a' replaced by ""),
 * replace-same ('a' by 'b'), replace-grow ('a' by "bb"), escape (a run of
 * blanks, every byte escaped), escape-none (nothing to escape) or fix-path
 * ("~/" and a long name). Prints the input, output and peak sizes in MB, and
 * the peak over input plus output. Not a test: the numbers go to
 * BENCHMARKS.md. */
#include <stdio.h>
#include <stdlib.h>
#include <string.h>
#include <sys/resource.h>

#include <glib.h>
#include <vontle/vontle.h>

static double
peak_megabytes (void)
{
  struct rusage usage;
  getrusage (RUSAGE_SELF, &usage);
  return usage.ru_maxrss / 1024.0; /* kilobytes on Linux */
}

static char *
run_of (char byte, size_t size)
{
  char *text = g_malloc (size + 1);
  memset (text, byte, size);
  text[size] = '\0';
  return text;
}

int
main (int argc, char **argv)
{
  if (argc != 3)
    {
      fprintf (stderr, "usage: %s HELPER MEGABYTES\n", argv[0]);
      return 2;
    }
  const char *helper = argv[1];
  const size_t size = (size_t) strtoull (argv[2], NULL, 10) << 20;
  const double before = peak_megabytes ();

  char *input = NULL;
  char *output = NULL;
  if (strncmp (helper, "replace-", 8) == 0)
    {
      const char *replacement = strcmp (helper, "replace-delete") == 0 ? ""
                                : strcmp (helper, "replace-same") == 0 ? "b"
                                                                       : "bb";
      input = run_of ('a', size);
      output = vontle_replace_substring (input, "a", replacement);
    }
  else if (strncmp (helper, "escape", 6) == 0)
    {
      input = run_of (strcmp (helper, "escape") == 0 ? ' ' : 'a', size);
      output = vontle_escape_string (input);
    }
  else if (strcmp (helper, "fix-path") == 0)
    {
      input = run_of ('a', size);
      input[0] = '~';
      input[1] = '/';
      output = vontle_fix_path (input);
    }
  else
    {
      fprintf (stderr, "unknown helper %s\n", helper);
      return 2;
    }

  const double in_mb = strlen (input) / 1048576.0;
  const double out_mb = output != NULL ? strlen (output) / 1048576.0 : 0;
  const double peak = peak_megabytes () - before;
  printf ("%-15s input %7.1f MB  output %7.1f MB  peak %7.1f MB  peak/(input+output) %.2f\n",
          helper, in_mb, out_mb, peak, peak / MAX (in_mb + out_mb, 1.0));
  g_free (output);
  g_free (input);
  return 0;
}
