/* SPDX-License-Identifier: LGPL-2.1-or-later */
/* A line appended to a history at its cap, with a GtkListView showing the
 * history's model, beside the same change (the oldest line out, the new one
 * in) to a GtkStringList shown the same way. Both list views sit in a
 * realised window on a display (run it under tests/gtk-display.sh), and
 * each change is followed by the main loop's pending work, so that both
 * sides pay the list view's part. Compare the pairs within one run. */
#include <benchmark/benchmark.h>

#include <cstdio>

#include <deque>
#include <string>
#include <utility>

#include <gtk/gtk.h>
#include <vontle/vontle.h>

namespace {

std::string
entry (size_t i)
{
  char line[64];
  snprintf (line, sizeof line, "make -C build-%07zu install", i);
  return line;
}

/* ---------------------------------------------------- a capped store -- */

/* Lines in memory that keep the newest CAP, read back as copies: what a
 * store at its cap gives the reload that follows each append. */
struct CappedLines
{
  VontleInputHistoryLinesIO parent;
  std::deque<std::string> *lines;
  size_t cap;
};
struct CappedLinesClass
{
  VontleInputHistoryLinesIOClass parent_class;
};

G_DEFINE_TYPE (CappedLines, capped_lines, VONTLE_TYPE_INPUT_HISTORY_LINES_IO)

/* The benchmark appends only new lines: no search for an equal one. */
void
capped_lines_append_line (VontleInputHistoryLinesIO *self, const char *line)
{
  auto *store = reinterpret_cast<CappedLines *> (self);
  store->lines->emplace_back (line);
  while (store->lines->size () > store->cap)
    store->lines->pop_front ();
}

char **
capped_lines_read_lines (VontleInputHistoryLinesIO *self)
{
  const auto &lines = *reinterpret_cast<CappedLines *> (self)->lines;
  char **copy = g_new (char *, lines.size () + 1);
  for (size_t i = 0; i < lines.size (); i++)
    copy[i] = g_strndup (lines[i].data (), lines[i].size ());
  copy[lines.size ()] = nullptr;
  return copy;
}

void
capped_lines_class_init (CappedLinesClass *klass)
{
  klass->parent_class.append_line = capped_lines_append_line;
  klass->parent_class.read_lines = capped_lines_read_lines;
}

void
capped_lines_init (CappedLines *)
{
}

/* ------------------------------------------------------ the list view -- */

void
setup_row (GtkSignalListItemFactory *, GtkListItem *item, gpointer)
{
  gtk_list_item_set_child (item, gtk_label_new (nullptr));
}

void
bind_history_row (GtkSignalListItemFactory *, GtkListItem *item, gpointer)
{
  auto *entry = VONTLE_INPUT_HISTORY_ENTRY (gtk_list_item_get_item (item));
  gtk_label_set_text (GTK_LABEL (gtk_list_item_get_child (item)), vontle_input_history_entry_get_text (entry));
}

void
bind_string_row (GtkSignalListItemFactory *, GtkListItem *item, gpointer)
{
  auto *string = GTK_STRING_OBJECT (gtk_list_item_get_item (item));
  gtk_label_set_text (GTK_LABEL (gtk_list_item_get_child (item)), gtk_string_object_get_string (string));
}

void
drain_main_loop ()
{
  while (g_main_context_iteration (nullptr, FALSE))
    ;
}

/* A window with a list view over MODEL (taken) through a single selection,
 * as an application shows a history; shown and laid out. */
GtkWidget *
show_list (GListModel *model, GCallback bind)
{
  GtkListItemFactory *factory = gtk_signal_list_item_factory_new ();
  g_signal_connect (factory, "setup", G_CALLBACK (setup_row), nullptr);
  g_signal_connect (factory, "bind", bind, nullptr);
  GtkWidget *list = gtk_list_view_new (GTK_SELECTION_MODEL (gtk_single_selection_new (model)), factory);
  GtkWidget *scrolled = gtk_scrolled_window_new ();
  gtk_scrolled_window_set_child (GTK_SCROLLED_WINDOW (scrolled), list);
  GtkWidget *window = gtk_window_new ();
  gtk_window_set_default_size (GTK_WINDOW (window), 400, 600);
  gtk_window_set_child (GTK_WINDOW (window), scrolled);
  gtk_window_present (GTK_WINDOW (window));
  drain_main_loop ();
  return window;
}

/* The model's row 0 is what the list view shows first: the newest line. */
bool
first_row_is (GListModel *model, const std::string &line)
{
  g_autoptr (GObject) item = G_OBJECT (g_list_model_get_item (model, 0));
  const char *text = VONTLE_IS_INPUT_HISTORY_ENTRY (item)
                       ? vontle_input_history_entry_get_text (VONTLE_INPUT_HISTORY_ENTRY (item))
                       : gtk_string_object_get_string (GTK_STRING_OBJECT (item));
  return text != nullptr && line == text;
}

void
BM_HistoryListViewAppendAtCap (benchmark::State &state)
{
  const auto cap = static_cast<size_t> (state.range (0));
  std::deque<std::string> lines;
  for (size_t i = 0; i < cap; i++)
    lines.push_back (entry (i));
  auto *store = static_cast<CappedLines *> (g_object_new (capped_lines_get_type (), nullptr));
  store->lines = &lines;
  store->cap = cap;
  VontleInputHistory *history = vontle_input_history_new (VONTLE_INPUT_HISTORY_IO (store));
  VontleInputHistoryModel *model = vontle_input_history_model_new (history);
  GtkWidget *window = show_list (G_LIST_MODEL (g_object_ref (model)), G_CALLBACK (bind_history_row));
  size_t next = cap;
  std::string line;
  for (auto _ : state)
    {
      line = entry (next++);
      vontle_input_history_append (history, line.c_str ());
      drain_main_loop ();
    }
  if (vontle_list_size (vontle_input_history_list (history)) != cap
      || g_list_model_get_n_items (G_LIST_MODEL (model)) != cap || !first_row_is (G_LIST_MODEL (model), line))
    state.SkipWithError ("the history is not the capped store's newest lines");
  gtk_window_destroy (GTK_WINDOW (window));
  drain_main_loop ();
  g_object_unref (model);
  g_object_unref (history);
  g_object_unref (store);
}

/* The floor: the same change to a GtkStringList, newest first as the
 * history's model shows it, with the same list view. */
void
BM_StringListViewAppendAtCap (benchmark::State &state)
{
  const auto cap = static_cast<size_t> (state.range (0));
  GtkStringList *strings = gtk_string_list_new (nullptr);
  for (size_t i = cap; i-- > 0;)
    gtk_string_list_append (strings, entry (i).c_str ());
  GtkWidget *window = show_list (G_LIST_MODEL (g_object_ref (strings)), G_CALLBACK (bind_string_row));
  size_t next = cap;
  std::string line;
  for (auto _ : state)
    {
      line = entry (next++);
      const char *added[] = { line.c_str (), nullptr };
      gtk_string_list_splice (strings, static_cast<guint> (cap - 1), 1, nullptr);
      gtk_string_list_splice (strings, 0, 0, added);
      drain_main_loop ();
    }
  if (g_list_model_get_n_items (G_LIST_MODEL (strings)) != cap || !first_row_is (G_LIST_MODEL (strings), line))
    state.SkipWithError ("the string list is not the newest lines");
  gtk_window_destroy (GTK_WINDOW (window));
  drain_main_loop ();
  g_object_unref (strings);
}

/* The least that any history over this store pays for the same change: the
 * string list's change and list view, plus the reload's read of the whole
 * store and the release of the lines read before. What the history costs
 * beyond this is its own copying, comparing and item work. */
void
BM_StringListViewAppendAtCapWithRead (benchmark::State &state)
{
  const auto cap = static_cast<size_t> (state.range (0));
  std::deque<std::string> lines;
  for (size_t i = 0; i < cap; i++)
    lines.push_back (entry (i));
  auto *store = static_cast<CappedLines *> (g_object_new (capped_lines_get_type (), nullptr));
  store->lines = &lines;
  store->cap = cap;
  GtkStringList *strings = gtk_string_list_new (nullptr);
  for (size_t i = cap; i-- > 0;)
    gtk_string_list_append (strings, entry (i).c_str ());
  GtkWidget *window = show_list (G_LIST_MODEL (g_object_ref (strings)), G_CALLBACK (bind_string_row));
  char **read = capped_lines_read_lines (&store->parent);
  size_t next = cap;
  std::string line;
  for (auto _ : state)
    {
      line = entry (next++);
      const char *added[] = { line.c_str (), nullptr };
      capped_lines_append_line (&store->parent, line.c_str ());
      char **reread = capped_lines_read_lines (&store->parent);
      g_strfreev (std::exchange (read, reread));
      gtk_string_list_splice (strings, static_cast<guint> (cap - 1), 1, nullptr);
      gtk_string_list_splice (strings, 0, 0, added);
      drain_main_loop ();
    }
  if (g_list_model_get_n_items (G_LIST_MODEL (strings)) != cap || !first_row_is (G_LIST_MODEL (strings), line)
      || line != read[cap - 1])
    state.SkipWithError ("the string list or the read are not the newest lines");
  g_strfreev (read);
  gtk_window_destroy (GTK_WINDOW (window));
  drain_main_loop ();
  g_object_unref (strings);
  g_object_unref (store);
}

} // namespace

BENCHMARK (BM_HistoryListViewAppendAtCap)->Arg (100000)->Arg (1000000)->Unit (benchmark::kMillisecond);
BENCHMARK (BM_StringListViewAppendAtCap)->Arg (100000)->Arg (1000000)->Unit (benchmark::kMillisecond);
BENCHMARK (BM_StringListViewAppendAtCapWithRead)->Arg (100000)->Arg (1000000)->Unit (benchmark::kMillisecond);

int
main (int argc, char **argv)
{
  benchmark::Initialize (&argc, argv);
  if (!gtk_init_check ())
    {
      fprintf (stderr, "bench-history-gtk: no display (run it under tests/gtk-display.sh): skipped\n");
      return 77;
    }
  benchmark::RunSpecifiedBenchmarks ();
  benchmark::Shutdown ();
  return 0;
}
