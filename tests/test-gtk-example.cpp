/* SPDX-License-Identifier: LGPL-2.1-or-later */
/* The GTK example application on a real (virtual) display: each test starts
 * the application, drives it through its key bindings, accelerators and
 * signals as a user's keys and clicks do, and checks what the widgets show.
 * Run through tests/gtk-display.sh, which provides the display and a session
 * bus. With VONTLE_SCREENSHOT_DIR set, the history walk and the template
 * pane are saved there as PNG files. */
#include "vontle-test.h"

#include <algorithm>
#include <deque>
#include <fstream>
#include <functional>
#include <string>
#include <vector>

#include <glib/gstdio.h>
#include "example.h"

namespace {

using vontle_test::take;

/* A private home and XDG directories for the whole program, set before GLib
 * reads (and caches) them, and an xdg-open that only writes down its
 * argument. */
class Desktop : public ::testing::Environment
{
public:
  static inline std::string root;
  static std::string path (const char *name) { return root + "/" + name; }

  Desktop ()
  {
    root = take (g_dir_make_tmp ("vontle-gtk-XXXXXX", nullptr));
    for (auto [variable, name] : { std::pair { "HOME", "home" }, { "XDG_STATE_HOME", "state" },
                                   { "XDG_CACHE_HOME", "cache" }, { "XDG_CONFIG_HOME", "config" },
                                   { "XDG_DATA_HOME", "data" } })
      {
        g_mkdir_with_parents (path (name).c_str (), 0700);
        g_setenv (variable, path (name).c_str (), TRUE);
      }
    g_mkdir_with_parents (path ("bin").c_str (), 0700);
    const std::string opener = path ("bin/xdg-open");
    std::ofstream (opener) << "#!/bin/sh\nprintf '%s\\n' \"$1\" > \"$0.tmp\" && mv \"$0.tmp\" \""
                           << path ("opened") << "\"\n";
    g_chmod (opener.c_str (), 0755);
    g_setenv ("PATH", (path ("bin") + ":" + g_getenv ("PATH")).c_str (), TRUE);
    g_setenv ("GSETTINGS_BACKEND", "memory", TRUE);
  }

  void TearDown () override
  {
    const char *argv[] = { "rm", "-rf", root.c_str (), nullptr };
    g_spawn_sync (nullptr, const_cast<char **> (argv), nullptr, G_SPAWN_SEARCH_PATH, nullptr,
                  nullptr, nullptr, nullptr, nullptr, nullptr);
  }
};

std::string
read_file (const std::string &name)
{
  g_autofree char *contents = nullptr;
  return g_file_get_contents (name.c_str (), &contents, nullptr, nullptr) ? contents : "";
}

/* The example's history file, holding N lines "echo I % PERIOD"; its path. */
std::string
write_history (int n, int period)
{
  g_autofree char *path = example_state_file (EXAMPLE_APPLICATION_ID, "history");
  g_autofree char *dir = g_path_get_dirname (path);
  g_mkdir_with_parents (dir, 0700);
  std::ofstream file (path);
  for (int i = 0; i < n; i++)
    file << "echo " << i % period << "\n";
  return path;
}

/* Runs the main loop until done () holds, for at most five seconds. */
template <typename Done>
bool
spin_until (Done done)
{
  const gint64 end = g_get_monotonic_time () + 5 * G_USEC_PER_SEC;
  while (!done ())
    {
      if (g_get_monotonic_time () > end)
        return false;
      if (!g_main_context_iteration (nullptr, FALSE))
        g_usleep (1000);
    }
  return true;
}

GtkWidget *
find (GtkWidget *widget, const char *name)
{
  if (g_strcmp0 (gtk_widget_get_name (widget), name) == 0)
    return widget;
  for (GtkWidget *child = gtk_widget_get_first_child (widget); child != nullptr;
       child = gtk_widget_get_next_sibling (child))
    if (GtkWidget *found = find (child, name))
      return found;
  return nullptr;
}

/* A key press as the widget's shortcut controllers see it: the action
 * bound to the key runs on the widget, as GTK runs it on a matching event. */
bool
press (GtkWidget *widget, guint keyval, GdkModifierType modifiers = GdkModifierType (0))
{
  g_autoptr (GtkShortcutTrigger) key = gtk_keyval_trigger_new (keyval, modifiers);
  g_autoptr (GListModel) controllers = gtk_widget_observe_controllers (widget);
  for (guint i = 0; i < g_list_model_get_n_items (controllers); i++)
    {
      g_autoptr (GObject) controller = G_OBJECT (g_list_model_get_item (controllers, i));
      if (!GTK_IS_SHORTCUT_CONTROLLER (controller))
        continue;
      for (guint j = 0; j < g_list_model_get_n_items (G_LIST_MODEL (controller)); j++)
        {
          g_autoptr (GtkShortcut) shortcut
            = GTK_SHORTCUT (g_list_model_get_item (G_LIST_MODEL (controller), j));
          if (gtk_shortcut_trigger_equal (gtk_shortcut_get_trigger (shortcut), key))
            return gtk_shortcut_action_activate (gtk_shortcut_get_action (shortcut),
                                                 GTK_SHORTCUT_ACTION_EXCLUSIVE, widget,
                                                 gtk_shortcut_get_arguments (shortcut));
        }
    }
  return false;
}

class GtkExampleTest : public vontle_test::GLibLogTest
{
protected:
  ExampleApplication *app = nullptr;
  GtkWindow *window = nullptr;

  /* Each test starts without a history or a remembered window size. */
  void SetUp () override
  {
    GLibLogTest::SetUp ();
    const auto *test = ::testing::UnitTest::GetInstance ()->current_test_info ();
    for (auto [variable, name] : { std::pair { "XDG_STATE_HOME", "state/" }, { "XDG_DATA_HOME", "data/" } })
      g_setenv (variable, (Desktop::path (name) + test->name ()).c_str (), TRUE);
  }

  /* One session: g_application_run () brings the application up, the body
   * runs once the window is on screen, then Ctrl+Q ends the session. The
   * window and the application must be released entirely afterwards: a
   * reference kept by a signal handler or a pending load keeps them alive.
   * Not unique, so that no session depends on how the previous one left the
   * bus. */
  void Session (const std::function<void ()> &body)
  {
    app = example_application_new ();
    g_application_set_flags (G_APPLICATION (app),
                             GApplicationFlags (g_application_get_flags (G_APPLICATION (app))
                                                | G_APPLICATION_NON_UNIQUE));
    /* What valgrind and LeakSanitizer cannot see: an object that still
     * has a signal handler stays reachable through GLib's handler table. */
    std::deque<std::pair<std::string, GObject *>> alive; /* appending moves no element */
    auto watch = [&] (const char *what, gpointer object) {
      alive.emplace_back (what, G_OBJECT (object));
      g_object_add_weak_pointer (G_OBJECT (object), reinterpret_cast<gpointer *> (&alive.back ().second));
    };
    watch ("application", app);
    auto on_screen = [&] {
      window = gtk_application_get_active_window (GTK_APPLICATION (app));
      ASSERT_NE (window, nullptr);
      watch ("window", window);
      VontleInputHistory *history
        = example_command_pane_get_history (EXAMPLE_COMMAND_PANE (Widget ("command-pane")));
      watch ("history", history);
      VontleInputHistoryIO *io = nullptr;
      g_object_get (history, "io", &io, nullptr);
      watch ("history storage", io);
      g_object_unref (io);
      GtkWidget *template_pane = Widget ("template-pane");
      watch ("template", example_template_pane_get_template (EXAMPLE_TEMPLATE_PANE (template_pane)));
      ASSERT_TRUE (spin_until ([&] { return gtk_widget_get_mapped (GTK_WIDGET (window)); }));
      gtk_test_widget_wait_for_draw (GTK_WIDGET (window));
      body ();
    };
    std::function<void ()> run_body = [&] {
      on_screen ();
      EXPECT_TRUE (Accel ("<Control>q"));
    };
    g_signal_connect_after (app, "activate", G_CALLBACK (+[] (GApplication *, gpointer data) {
                              (*static_cast<std::function<void ()> *> (data)) ();
                            }),
                            &run_body);
    const char *argv[] = { "vontle-gtk-example", nullptr };
    EXPECT_EQ (g_application_run (G_APPLICATION (app), 1, const_cast<char **> (argv)), 0);
    g_object_unref (app);
    for (auto &watched : alive)
      EXPECT_TRUE (spin_until ([&] { return watched.second == nullptr; }))
        << watched.first << " not released";
    app = nullptr;
    window = nullptr;
  }

  /* An accelerator as the window turns it into an action. */
  bool Accel (const char *accel)
  {
    g_auto (GStrv) actions = gtk_application_get_actions_for_accel (GTK_APPLICATION (app), accel);
    if (actions == nullptr || actions[0] == nullptr)
      return false;
    g_autofree char *name = nullptr;
    g_autoptr (GVariant) target = nullptr;
    if (!g_action_parse_detailed_name (actions[0], &name, &target, nullptr))
      return false;
    return gtk_widget_activate_action_variant (GTK_WIDGET (window), name, target);
  }

  GtkWidget *Widget (const char *name)
  {
    GtkWidget *widget = find (GTK_WIDGET (window), name);
    EXPECT_NE (widget, nullptr) << name;
    return widget;
  }

  std::string Label (const char *name) { return gtk_label_get_text (GTK_LABEL (Widget (name))); }

  void Screenshot (const char *name)
  {
    const char *dir = g_getenv ("VONTLE_SCREENSHOT_DIR");
    if (dir == nullptr)
      return;
    GtkStack *pages = GTK_STACK (Widget ("pages"));
    EXPECT_TRUE (spin_until ([&] { return !gtk_stack_get_transition_running (pages); }));
    gtk_test_widget_wait_for_draw (GTK_WIDGET (window));
    g_autofree char *path = g_build_filename (dir, name, nullptr);
    g_autoptr (GError) error = nullptr;
    EXPECT_TRUE (example_save_screenshot (GTK_WIDGET (window), path, &error)) << error->message;
  }

  /* ------------------------------------------------- the command page -- */

  GtkWidget *Entry () { return Widget ("command-entry"); }
  std::string EntryText () { return gtk_editable_get_text (GTK_EDITABLE (Entry ())); }
  void Type (const char *text) { gtk_editable_set_text (GTK_EDITABLE (Entry ()), text); }

  /* Enter goes to the entry's text widget, whose key binding reports it. */
  void PressEnter ()
  {
    EXPECT_TRUE (press (GTK_WIDGET (gtk_editable_get_delegate (GTK_EDITABLE (Entry ()))), GDK_KEY_Return));
  }

  void Enter (const char *line)
  {
    Type (line);
    PressEnter ();
  }

  /* The lines the history list shows, top to bottom; the selected one with
   * a star. */
  std::vector<std::string> HistoryRows ()
  {
    std::vector<std::string> rows;
    GtkSelectionModel *shown = gtk_list_view_get_model (GTK_LIST_VIEW (Widget ("history-list")));
    for (guint i = 0; i < g_list_model_get_n_items (G_LIST_MODEL (shown)); i++)
      {
        g_autoptr (VontleInputHistoryEntry) entry
          = VONTLE_INPUT_HISTORY_ENTRY (g_list_model_get_item (G_LIST_MODEL (shown), i));
        std::string text = vontle_input_history_entry_get_text (entry);
        rows.push_back (gtk_selection_model_is_selected (shown, i) ? "*" + text : text);
      }
    return rows;
  }

  /* The keyboard's way to a row of the list, which then has the focus. */
  GtkWidget *FocusRow (guint position)
  {
    GtkWidget *list = Widget ("history-list");
    EXPECT_TRUE (press (list, GDK_KEY_Home));
    for (guint i = 0; i < position; i++)
      EXPECT_TRUE (press (list, GDK_KEY_Down));
    return gtk_window_get_focus (window);
  }

  bool FocusIn (const char *name) { return gtk_widget_is_ancestor (gtk_window_get_focus (window), Widget (name)); }

  /* ------------------------------------------------ the template page -- */

  GtkTextBuffer *Base () { return gtk_text_view_get_buffer (GTK_TEXT_VIEW (Widget ("base-view"))); }
  void SetBase (const char *text) { gtk_text_buffer_set_text (Base (), text, -1); }

  std::vector<std::string> FormRows ()
  {
    std::vector<std::string> names;
    for (GtkWidget *row = gtk_widget_get_first_child (Widget ("variable-form")); row != nullptr;
         row = gtk_widget_get_next_sibling (row))
      if (GTK_IS_LIST_BOX_ROW (row))
        names.push_back (gtk_widget_get_name (row));
    return names;
  }

  /* The list's placeholder, when it is what the user sees. */
  std::string ShownPlaceholder (const char *list)
  {
    for (GtkWidget *child = gtk_widget_get_first_child (Widget (list)); child != nullptr;
         child = gtk_widget_get_next_sibling (child))
      if (GTK_IS_LABEL (child) && gtk_widget_get_child_visible (child))
        return gtk_label_get_text (GTK_LABEL (child));
    return "";
  }

  GtkEditable *RowEntry (const char *name)
  {
    GtkWidget *row = find (Widget ("variable-form"), name);
    EXPECT_NE (row, nullptr) << name;
    if (row == nullptr)
      return nullptr;
    GtkWidget *box = gtk_list_box_row_get_child (GTK_LIST_BOX_ROW (row));
    return GTK_EDITABLE (gtk_widget_get_last_child (box)); /* the label, then the entry */
  }
};

using Rows = std::vector<std::string>;

TEST_F (GtkExampleTest, UpAndDownWalkTheLinesThatStartWithTheTypedText)
{
  Session ([&] {
    EXPECT_TRUE (gtk_widget_get_visible (Widget ("history-placeholder")));
    EXPECT_EQ (Label ("history-placeholder"), "No commands yet");
    for (const char *line : { "git status", "ls -l", "git commit -m 'Fix the walk'", "make check",
                              "cat .gitignore", "git log --oneline" })
      Enter (line);
    EXPECT_EQ (EntryText (), "");
    EXPECT_EQ (HistoryRows (), (Rows { "git log --oneline", "cat .gitignore", "make check",
                                       "git commit -m 'Fix the walk'", "ls -l", "git status" }));

    Type ("git");
    EXPECT_EQ (Label ("walk-status"), "3 earlier commands start with “git”");
    ASSERT_TRUE (press (Entry (), GDK_KEY_Up));
    EXPECT_EQ (EntryText (), "git log --oneline");
    ASSERT_TRUE (press (Entry (), GDK_KEY_Up));
    EXPECT_EQ (EntryText (), "git commit -m 'Fix the walk'");
    EXPECT_EQ (HistoryRows (), (Rows { "git log --oneline", "*git commit -m 'Fix the walk'", "git status" }));
    Screenshot ("history-walk.png");
    ASSERT_TRUE (press (Entry (), GDK_KEY_Up));
    EXPECT_EQ (EntryText (), "git status");
    press (Entry (), GDK_KEY_Up); /* nothing older: it stays */
    EXPECT_EQ (EntryText (), "git status");

    ASSERT_TRUE (press (Entry (), GDK_KEY_Down));
    EXPECT_EQ (EntryText (), "git commit -m 'Fix the walk'");
    ASSERT_TRUE (press (Entry (), GDK_KEY_Down));
    EXPECT_EQ (EntryText (), "git log --oneline");
    ASSERT_TRUE (press (Entry (), GDK_KEY_Down));
    EXPECT_EQ (EntryText (), "git"); /* past the newest: what was typed */
  });
}

TEST_F (GtkExampleTest, CtrlRSearchesTheWholeHistoryAndEnterTakesTheBestMatch)
{
  Session ([&] {
    for (const char *line : { "git checkout main", "grep -rn TODO", "make", "git commit -m 'Fix the walk'", "ls" })
      Enter (line);
    Type ("gcm");
    ASSERT_TRUE (press (Entry (), GDK_KEY_r, GDK_CONTROL_MASK));
    GtkWidget *query = Widget ("search-entry");
    EXPECT_TRUE (gtk_widget_get_visible (Widget ("search-pane")));
    EXPECT_FALSE (gtk_widget_is_visible (Widget ("history-list")));
    EXPECT_EQ (gtk_editable_get_text (GTK_EDITABLE (query)), std::string ("gcm"));
    EXPECT_TRUE (spin_until ([&] { return Label ("search-status") == "2 matches"; })) << Label ("search-status");
    /* Best first: the characters at word starts; bold from the positions. */
    GListModel *shown = G_LIST_MODEL (gtk_list_view_get_model (GTK_LIST_VIEW (Widget ("search-list"))));
    g_autoptr (VontleInputHistoryMatch) best = VONTLE_INPUT_HISTORY_MATCH (g_list_model_get_item (shown, 0));
    EXPECT_STREQ (vontle_input_history_match_get_text (best), "git checkout main");
    guint n = 0;
    const guint *positions = vontle_input_history_match_get_positions (best, &n);
    EXPECT_EQ (std::vector<guint> (positions, positions + n), (std::vector<guint> { 0, 4, 13 }));
    Screenshot ("history-search.png");

    ASSERT_TRUE (press (query, GDK_KEY_r, GDK_CONTROL_MASK)); /* the next match */
    g_signal_emit_by_name (query, "activate");
    EXPECT_EQ (EntryText (), "git commit -m 'Fix the walk'");
    EXPECT_FALSE (gtk_widget_get_visible (Widget ("search-pane")));

    ASSERT_TRUE (press (Entry (), GDK_KEY_r, GDK_CONTROL_MASK));
    gtk_editable_set_text (GTK_EDITABLE (query), "sub");
    g_signal_emit_by_name (query, "stop-search"); /* Escape */
    EXPECT_EQ (EntryText (), "git commit -m 'Fix the walk'");
    EXPECT_TRUE (gtk_widget_is_visible (Widget ("history-list")));
  });
}

TEST_F (GtkExampleTest, EscapeRestoresTheTypedTextAndTypingStartsANewWalk)
{
  Session ([&] {
    for (const char *line : { "make", "ls", "make check" })
      Enter (line);
    Type ("ma");
    press (Entry (), GDK_KEY_Up);
    press (Entry (), GDK_KEY_Up);
    EXPECT_EQ (EntryText (), "make");
    ASSERT_TRUE (press (Entry (), GDK_KEY_Escape));
    EXPECT_EQ (EntryText (), "ma");

    /* An edit in the middle of a walk: the next Up starts from the new text. */
    press (Entry (), GDK_KEY_Up);
    Type ("l");
    press (Entry (), GDK_KEY_Up);
    EXPECT_EQ (EntryText (), "ls");

    /* Enter on a line from the walk makes it the newest. */
    PressEnter ();
    EXPECT_EQ (HistoryRows (), (Rows { "ls", "make check", "make" }));
    press (Entry (), GDK_KEY_Up);
    EXPECT_EQ (EntryText (), "ls");
  });
}

TEST_F (GtkExampleTest, HistoryAndWindowSizeOutliveTheApplication)
{
  Session ([&] {
    Enter ("echo kept");
    Enter ("echo newest");
    gtk_window_set_default_size (window, 1000, 700);
    });
    Session ([&] {
    EXPECT_EQ (HistoryRows (), (Rows { "echo newest", "echo kept" }));
    int width = 0, height = 0;
    gtk_window_get_default_size (window, &width, &height);
    EXPECT_EQ (width, 1000);
    EXPECT_EQ (height, 700);
    Type ("echo k");
    press (Entry (), GDK_KEY_Up);
    EXPECT_EQ (EntryText (), "echo kept");
  });
}

/* Rewritten once it has grown past twice the limit, keeping the newest entries
 * up to the limit, each once; a record a crash cut short still reads. */
TEST_F (GtkExampleTest, TheHistoryFileStaysBounded)
{
  const std::string path = write_history (3000, 1500);
  std::ofstream (path, std::ios::app) << "echo cut sh";
  g_autoptr (VontleInputHistoryIO) io = example_history_io_new (EXAMPLE_APPLICATION_ID);
  g_autoptr (VontleInputHistory) history = vontle_input_history_new (io);
  vontle_input_history_append (history, "ls");
  g_auto (GStrv) lines = vontle_input_history_dup_lines (history);
  ASSERT_EQ (g_strv_length (lines), 1000u);
  EXPECT_STREQ (lines[0], "echo 502");
  EXPECT_STREQ (lines[998], "echo cut sh");
  const std::string stored = read_file (path);
  EXPECT_EQ (std::count (stored.begin (), stored.end (), '\n'), 1000); /* rewritten to what it keeps */
  EXPECT_TRUE (stored.starts_with ("echo 502\necho 503\n"));
  EXPECT_TRUE (stored.ends_with ("echo 1499\necho cut sh\nls\n"));
}

/* A line that another instance enters shows while this one runs. */
TEST_F (GtkExampleTest, LinesOfAnotherInstanceShowLive)
{
  g_autofree char *path = example_state_file (EXAMPLE_APPLICATION_ID, "history");
  Session ([&] {
    Enter ("make");
    const char *argv[] = { "/bin/sh", "-c", "printf 'ls -l\\n' >> \"$0\"", path, nullptr };
    ASSERT_TRUE (g_spawn_sync (nullptr, const_cast<char **> (argv), nullptr, G_SPAWN_DEFAULT, nullptr,
                               nullptr, nullptr, nullptr, nullptr, nullptr));
    EXPECT_TRUE (spin_until ([&] { return HistoryRows () == Rows { "ls -l", "make" }; }));
    EXPECT_EQ (Label ("walk-status"), "2 earlier commands");
  });
}

/* Enter on a row, a click and a double click walk to the row's line and
 * give the entry the focus; a row only moved to is unmarked on coming back
 * to the page. */
TEST_F (GtkExampleTest, ActivatingARowWalksToItsLine)
{
  Session ([&] {
    for (const char *line : { "git status", "ls", "git commit", "git log" })
      Enter (line);
    const std::function<void (GtkWidget *)> ways[] = {
      [] (GtkWidget *row) { EXPECT_TRUE (press (row, GDK_KEY_Return)); },
      [] (GtkWidget *row) { /* the row's own click gesture */
        g_autoptr (GListModel) gestures = gtk_widget_observe_controllers (gtk_widget_get_first_child (row));
        g_autoptr (GObject) click = G_OBJECT (g_list_model_get_item (gestures, 0));
        g_signal_emit_by_name (click, "released", 1, 4.0, 4.0);
      },
      [&] (GtkWidget *row) { /* GTK's second press: activation, then the row takes the focus */
        g_signal_emit_by_name (Widget ("history-list"), "activate", 1u);
        gtk_widget_grab_focus (row);
      },
    };
    for (const auto &activate : ways)
      {
        Type ("git");
        activate (FocusRow (1));
        EXPECT_TRUE (spin_until ([&] { return FocusIn ("command-entry"); }));
        EXPECT_FALSE (gtk_editable_get_selection_bounds (GTK_EDITABLE (Entry ()), nullptr, nullptr));
        EXPECT_EQ (EntryText (), "git commit");
        EXPECT_EQ (HistoryRows (), (Rows { "git log", "*git commit", "git status" }));
        ASSERT_TRUE (press (Entry (), GDK_KEY_Up));
        EXPECT_EQ (EntryText (), "git status");
        ASSERT_TRUE (press (Entry (), GDK_KEY_Escape));
        EXPECT_EQ (EntryText (), "git");
      }
    FocusRow (2);
    ASSERT_TRUE (Accel ("<Alt>2"));
    ASSERT_TRUE (Accel ("<Alt>1"));
    EXPECT_EQ (HistoryRows (), (Rows { "git log", "git commit", "git status" }));
  });
}

/* Other instances' lines at the cap, where as many old lines leave as new
 * ones come: the user moving through the list stays on the row, whether the
 * reload is reported as the few rows that changed (one line) or as a new
 * list (one write of more lines than the history's diff looks for). */
TEST_F (GtkExampleTest, ForeignLinesAtTheCapKeepFocusAndSelectionInTheList)
{
  const std::string path = write_history (1000, 1000);
  Session ([&] {
    FocusRow (2);
    int written = 0;
    for (int count : { 1, 40 })
      {
        std::string lines, newest;
        for (int i = 0; i < count; i++)
          lines.append (newest.assign ("ls ").append (std::to_string (written++))).append ("\n");
        const char *argv[] = { "/bin/sh", "-c", "printf '%s' \"$1\" >> \"$0\"", path.c_str (), lines.c_str (), nullptr };
        ASSERT_TRUE (g_spawn_sync (nullptr, const_cast<char **> (argv), nullptr, G_SPAWN_DEFAULT, nullptr,
                                   nullptr, nullptr, nullptr, nullptr, nullptr));
        ASSERT_TRUE (spin_until ([&] { return HistoryRows ()[0] == newest; }));
        EXPECT_EQ (HistoryRows ()[2 + written], "*echo 997") << count;
        EXPECT_TRUE (FocusIn ("history-list")) << count;
      }
  });
}

/* Ctrl+N: a second window on the same history, each showing the other's lines. */
TEST_F (GtkExampleTest, TwoWindowsShowEachOthersLines)
{
  Session ([&] {
    GtkWindow *first = window;
    ASSERT_TRUE (Accel ("<Control>n"));
    Enter ("make");
    window = GTK_WINDOW (gtk_application_get_windows (GTK_APPLICATION (app))->data); /* the newest */
    ASSERT_NE (window, first);
    EXPECT_TRUE (spin_until ([&] { return HistoryRows () == Rows { "make" }; }));
    Enter ("ls");
    window = first;
    EXPECT_TRUE (spin_until ([&] { return HistoryRows () == Rows { "ls", "make" }; }));
  });
}

/* A history file that cannot be written to costs the lines of this
 * session only. */
TEST_F (GtkExampleTest, AnUnwritableHistoryFileLeavesTheWalkWorking)
{
  g_autofree char *path = example_state_file (EXAMPLE_APPLICATION_ID, "history");
  ASSERT_EQ (g_mkdir_with_parents (path, 0700), 0); /* a directory where the file goes */
  Session ([&] {
    Enter ("make check");
    Enter ("ls");
    Type ("m");
    press (Entry (), GDK_KEY_Up);
    EXPECT_EQ (EntryText (), "make check");
  });
  Session ([&] { EXPECT_EQ (HistoryRows (), Rows {}); });
}

TEST_F (GtkExampleTest, CtrlQuestionShowsTheShortcuts)
{
  Session ([&] {
    GtkWindow *overlay
      = GTK_WINDOW (gtk_application_window_get_help_overlay (GTK_APPLICATION_WINDOW (window)));
    ASSERT_NE (overlay, nullptr);
    EXPECT_FALSE (gtk_widget_get_visible (GTK_WIDGET (overlay)));
    ASSERT_TRUE (Accel ("<Control>question"));
    EXPECT_TRUE (spin_until ([&] { return gtk_widget_get_mapped (GTK_WIDGET (overlay)); }));
    gtk_window_close (overlay);
  });
}

TEST_F (GtkExampleTest, TheFormHasOneRowPerReferencedVariable)
{
  Session ([&] {
    ASSERT_TRUE (Accel ("<Alt>2"));
    EXPECT_EQ (FormRows (), (Rows { "customer", "order-id", "date", "sender" }));
    gtk_editable_set_text (RowEntry ("customer"), "Ann Example");
    gtk_editable_set_text (RowEntry ("order-id"), "#4711");
    gtk_editable_set_text (RowEntry ("sender"), "The Vontle Shop");
    EXPECT_EQ (Label ("unset"), "Unset: @date@");
    Screenshot ("template-pane.png");
    gtk_widget_grab_focus (GTK_WIDGET (RowEntry ("customer")));
    for (const char *next : { "order-id", "date", "sender" }) /* Tab: field to field */
      {
        g_signal_emit_by_name (window, "move-focus", GTK_DIR_TAB_FORWARD); /* the window's Tab */
        EXPECT_TRUE (gtk_widget_is_ancestor (gtk_window_get_focus (window), GTK_WIDGET (RowEntry (next)))) << next;
      }

    SetBase ("Hello @who@, see you @when@.");
    EXPECT_EQ (FormRows (), (Rows { "who", "when" }));
    GtkTextIter end;
    gtk_text_buffer_get_end_iter (Base (), &end);
    gtk_text_buffer_insert (Base (), &end, " Bring @what@ and @who@.", -1);
    EXPECT_EQ (FormRows (), (Rows { "who", "when", "what" }));
    gtk_editable_set_text (RowEntry ("who"), "Ann");
    SetBase ("Hello @when@");
    EXPECT_EQ (FormRows (), (Rows { "when" }));

    /* A name that comes back brings its value along. */
    SetBase ("@who@ and @when@");
    EXPECT_EQ (FormRows (), (Rows { "who", "when" }));
    EXPECT_STREQ (gtk_editable_get_text (RowEntry ("who")), "Ann");
    EXPECT_EQ (Label ("preview"), "Ann and @when@");
    EXPECT_EQ (ShownPlaceholder ("variable-form"), "");
    SetBase ("No variables here");
    EXPECT_EQ (FormRows (), Rows {});
    EXPECT_EQ (ShownPlaceholder ("variable-form"), "The base refers to no @name@");
  });
}

TEST_F (GtkExampleTest, ThePreviewFollowsTheValuesAndSaveOpensTheResult)
{
  Session ([&] {
    ASSERT_TRUE (Accel ("<Alt>2"));
    SetBase ("Dear @who@, order @id@ ships @when@.");
    EXPECT_EQ (Label ("preview"), "Dear @who@, order @id@ ships @when@.");
    EXPECT_EQ (Label ("unset"), "Unset: @who@, @id@, @when@");
    EXPECT_FALSE (gtk_widget_get_sensitive (Widget ("save-button")));

    gtk_editable_set_text (RowEntry ("who"), "<Ann & Bob>");
    EXPECT_EQ (Label ("preview"), "Dear <Ann & Bob>, order @id@ ships @when@.");
    EXPECT_EQ (Label ("unset"), "Unset: @id@, @when@");
    gtk_editable_set_text (RowEntry ("id"), "@when@");
    gtk_editable_set_text (RowEntry ("when"), "today");
    const std::string expected = "Dear <Ann & Bob>, order @when@ ships today.";
    EXPECT_EQ (Label ("preview"), expected);
    EXPECT_EQ (Label ("unset"), "Every variable has a value.");
    EXPECT_TRUE (gtk_widget_get_sensitive (Widget ("save-button")));

    ASSERT_TRUE (Accel ("<Control>s"));
    const std::string opened = Desktop::path ("opened");
    ASSERT_TRUE (spin_until ([&] { return g_file_test (opened.c_str (), G_FILE_TEST_EXISTS); }));
    const std::string result = Desktop::path ("cache/" EXAMPLE_APPLICATION_ID "/result.txt");
    EXPECT_EQ (read_file (opened), result + "\n");
    EXPECT_EQ (read_file (result), expected);
    EXPECT_EQ (Label ("status"), "Saved " + result + " and opened it");
  });
}

TEST_F (GtkExampleTest, AnOpenedFileBecomesTheBase)
{
  Session ([&] {
    const std::string good = Desktop::path ("letter.txt"), bad = Desktop::path ("binary");
    std::ofstream (good) << "Hi @name@!\n";
    std::ofstream (bad) << "\xff\xfe";
    g_autoptr (GFile) file = g_file_new_for_path (good.c_str ());
    g_application_open (G_APPLICATION (app), &file, 1, "");
    ASSERT_TRUE (spin_until ([&] { return FormRows () == Rows { "name" }; }));
    EXPECT_EQ (Label ("status"), "Opened " + good);
    EXPECT_EQ (Label ("preview"), "Hi @name@!\n");

    g_autoptr (GFile) binary = g_file_new_for_path (bad.c_str ());
    g_application_open (G_APPLICATION (app), &binary, 1, "");
    ASSERT_TRUE (spin_until ([&] { return Label ("status") == bad + " is not text"; }));
    EXPECT_EQ (FormRows (), (Rows { "name" }));

    GFile *two[] = { file, binary }; /* a window each */
    g_application_open (G_APPLICATION (app), two, 2, "");
    EXPECT_EQ (g_list_length (gtk_application_get_windows (GTK_APPLICATION (app))), 2u);
  });
}

/* Ctrl+O: the user picks the file in the file chooser. GTK's chooser
 * leaves objects of its own behind (folder listings, cloud providers), so
 * the leak checkers leave it out: the gtkmemcheck setup through
 * GTEST_FILTER, AddressSanitizer here. */
TEST_F (GtkExampleTest, CtrlOOpensTheChosenFile)
{
#if defined(__SANITIZE_ADDRESS__)
  GTEST_SKIP () << "GTK's file chooser leaks under LeakSanitizer";
#endif
  GObject *chooser_alive = nullptr;
  Session ([&] {
    const std::string path = Desktop::path ("chosen.txt");
    std::ofstream (path) << "@a@ @b@";
    ASSERT_TRUE (Accel ("<Control>o"));
    GtkWidget *chooser = nullptr;
    ASSERT_TRUE (spin_until ([&] {
      GListModel *toplevels = gtk_window_get_toplevels (); /* GTK's own */
      for (guint i = 0; chooser == nullptr && i < g_list_model_get_n_items (toplevels); i++)
        {
          g_autoptr (GObject) toplevel = G_OBJECT (g_list_model_get_item (toplevels, i));
          if (GTK_IS_FILE_CHOOSER_DIALOG (toplevel) && gtk_widget_get_mapped (GTK_WIDGET (toplevel)))
            chooser = GTK_WIDGET (toplevel);
        }
      return chooser != nullptr;
    }));
    chooser_alive = G_OBJECT (chooser);
    g_object_add_weak_pointer (chooser_alive, reinterpret_cast<gpointer *> (&chooser_alive));
    g_autoptr (GFile) file = g_file_new_for_path (path.c_str ());
    ASSERT_TRUE (gtk_file_chooser_set_file (GTK_FILE_CHOOSER (chooser), file, nullptr));
    ASSERT_TRUE (spin_until ([&] { /* selected once the folder is read */
      g_autoptr (GFile) selected = gtk_file_chooser_get_file (GTK_FILE_CHOOSER (chooser));
      return selected != nullptr && g_file_equal (selected, file);
    }));
    gtk_dialog_response (GTK_DIALOG (chooser), GTK_RESPONSE_ACCEPT);
    ASSERT_TRUE (spin_until ([&] { return FormRows () == Rows { "a", "b" }; }));
    EXPECT_EQ (Label ("status"), "Opened " + path);
  });
  EXPECT_TRUE (spin_until ([&] { return chooser_alive == nullptr; })) << "chooser not released";
}

} // namespace

int
main (int argc, char **argv)
{
  ::testing::InitGoogleTest (&argc, argv);
  ::testing::AddGlobalTestEnvironment (new Desktop); /* before GTK reads the environment */
  if (!gtk_init_check ())
    {
      fprintf (stderr, "no display: run through tests/gtk-display.sh\n");
      return 77;
    }
  return RUN_ALL_TESTS ();
}
