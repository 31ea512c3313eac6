/* SPDX-License-Identifier: LGPL-2.1-or-later */
/* GTK's own filtering of the same million lines: a GtkFilterListModel with a
 * GtkStringFilter (substring, ignoring case) over a GtkStringList. It is the
 * peer of BM_SearchSubstring in bench-history-search. */
#include <benchmark/benchmark.h>

#include <string>
#include <vector>

#include <gtk/gtk.h>

#include "shell-lines.h"

namespace {

void
BM_GtkFilterListModelSubstring (benchmark::State &state)
{
  const std::vector<std::string> lines = bench_lines::shell_lines ();
  GtkStringList *list = gtk_string_list_new (nullptr);
  for (const std::string &line : lines)
    gtk_string_list_append (list, line.c_str ());
  GtkStringFilter *filter
    = gtk_string_filter_new (gtk_property_expression_new (GTK_TYPE_STRING_OBJECT, nullptr, "string"));
  gtk_string_filter_set_ignore_case (filter, TRUE);
  gtk_string_filter_set_match_mode (filter, GTK_STRING_FILTER_MATCH_MODE_SUBSTRING);
  GtkFilterListModel *model = gtk_filter_list_model_new (G_LIST_MODEL (list), GTK_FILTER (g_object_ref (filter)));
  for (auto _ : state)
    {
      gtk_string_filter_set_search (filter, bench_lines::substring_query);
      state.PauseTiming ();
      if (g_list_model_get_n_items (G_LIST_MODEL (model)) == 0)
        state.SkipWithError ("nothing matched");
      gtk_string_filter_set_search (filter, nullptr);
      state.ResumeTiming ();
    }
  g_object_unref (model);
  g_object_unref (filter);
}

} // namespace

BENCHMARK (BM_GtkFilterListModelSubstring)->Unit (benchmark::kMillisecond);

BENCHMARK_MAIN ();
