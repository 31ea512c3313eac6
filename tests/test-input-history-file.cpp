/* SPDX-License-Identifier: LGPL-2.1-or-later */
/* The file store under what real use does to a file: other processes
 * appending and rewriting at once, SIGKILL at any moment, writes that fail,
 * paths that are no regular file, files changed behind its back. */
#include "vontle-test.h"

#include <cerrno>
#include <algorithm>
#include <csignal>
#include <cstring>
#include <functional>
#include <map>
#include <random>
#include <set>
#include <string>
#include <vector>

#include <dlfcn.h>
#include <fcntl.h>
#include <gio/gio.h>
#include <linux/fs.h>
#include <sys/ioctl.h>
#include <glib/gstdio.h>
#include <sys/file.h>
#include <sys/inotify.h>
#include <sys/resource.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#if __has_include(<valgrind/valgrind.h>)
#include <valgrind/valgrind.h>
#else
#define RUNNING_ON_VALGRIND 0
#endif

using ::testing::ElementsAre;
using ::testing::HasSubstr;
using Lines = std::vector<std::string>;

namespace {

/* Faults for the file with inode FILE: the disk is full after BUDGET more
 * bytes (when not negative), and its syncs fail. */
struct
{
  ino_t file = 0;
  long budget = -1;
  bool sync_fails = false;
} faults;

bool
faulty (int fd)
{
  struct stat st;
  return faults.file != 0 && fstat (fd, &st) == 0 && st.st_ino == faults.file;
}

} // namespace

/* Stand in for the C library's, which they call unless a fault is set. */
ssize_t
write (int fd, const void *data, size_t n)
{
  static const auto real = reinterpret_cast<ssize_t (*) (int, const void *, size_t)> (dlsym (RTLD_NEXT, "write"));
  if (faults.budget >= 0 && faulty (fd))
    {
      if (faults.budget == 0)
        return errno = ENOSPC, -1;
      n = std::min (n, static_cast<size_t> (faults.budget));
      faults.budget -= static_cast<long> (n);
    }
  return real (fd, data, n);
}

int
fsync (int fd)
{
  static const auto real = reinterpret_cast<int (*) (int)> (dlsym (RTLD_NEXT, "fsync"));
  if (faults.sync_fails && faulty (fd))
    return errno = EIO, -1;
  return real (fd);
}

namespace {

constexpr uid_t nobody = 65534;

/* Standard error into a pipe: unlike a file, a pipe keeps working under a
 * file size limit. Holds what the store logs in a test (a few lines). */
class LogPipe
{
public:
  LogPipe ()
  {
    fflush (stderr);
    if (pipe (fds_) != 0)
      ADD_FAILURE () << "pipe failed";
    fcntl (fds_[0], F_SETFL, O_NONBLOCK);
    saved_ = dup (STDERR_FILENO);
    dup2 (fds_[1], STDERR_FILENO);
  }
  ~LogPipe ()
  {
    dup2 (saved_, STDERR_FILENO);
    close (saved_);
    close (fds_[0]);
    close (fds_[1]);
  }
  /* The lines logged since the last call. */
  Lines
  Take ()
  {
    fflush (stderr);
    std::string text;
    char buffer[4096];
    ssize_t n;
    while ((n = read (fds_[0], buffer, sizeof buffer)) > 0)
      text.append (buffer, static_cast<size_t> (n));
    g_auto (GStrv) lines = g_strsplit (text.c_str (), "\n", -1);
    Lines result;
    for (char **line = lines; *line != nullptr; line++)
      if (**line != '\0')
        result.emplace_back (*line);
    return result;
  }

private:
  int fds_[2] = { -1, -1 };
  int saved_ = -1;
};

Lines
lines_of (VontleInputHistory *history)
{
  g_auto (GStrv) lines = vontle_input_history_dup_lines (history);
  return Lines (lines, lines + g_strv_length (lines));
}

/* A store read afresh, as another process starting now sees the file. */
Lines
read_fresh (const std::string &path, guint max_entries = 0)
{
  g_autoptr (VontleInputHistoryFile) store = vontle_input_history_file_new (path.c_str ());
  g_object_set (store, "max-entries", max_entries, nullptr);
  g_autoptr (VontleInputHistory) history = vontle_input_history_new (VONTLE_INPUT_HISTORY_IO (store));
  return lines_of (history);
}

guint
pending_of (VontleInputHistoryFile *store)
{
  guint pending;
  g_object_get (store, "pending", &pending, nullptr);
  return pending;
}

std::string
contents_of (const std::string &path)
{
  g_autofree char *text = nullptr;
  gsize length = 0;
  if (!g_file_get_contents (path.c_str (), &text, &length, nullptr))
    return "(unreadable)";
  return std::string (text, length);
}

void
write_file (const std::string &path, const std::string &contents)
{
  ASSERT_TRUE (g_file_set_contents (path.c_str (), contents.data (), static_cast<gssize> (contents.size ()),
                                    nullptr));
}

ino_t
inode_of (const std::string &path)
{
  struct stat st;
  return stat (path.c_str (), &st) == 0 ? st.st_ino : 0;
}

struct Store
{
  explicit Store (const std::string &path, guint max_entries = 0)
    : file (vontle_input_history_file_new (path.c_str ()))
  {
    g_object_set (file, "max-entries", max_entries, nullptr);
    history = vontle_input_history_new (VONTLE_INPUT_HISTORY_IO (file));
  }
  ~Store ()
  {
    g_object_unref (history);
    g_object_unref (file);
  }
  void append (const std::string &line) { vontle_input_history_append (history, line.c_str ()); }
  Lines lines () { return lines_of (history); }

  VontleInputHistoryFile *file;
  VontleInputHistory *history;
};

/* Runs BODY in a child process and fails when it fails there; as an
 * unprivileged user when asked, since root ignores file modes. The child
 * leaves through exit, so that coverage counters are written. */
void
in_child (const std::function<void ()> &body, bool unprivileged = false)
{
  fflush (nullptr);
  const pid_t pid = fork ();
  ASSERT_NE (pid, -1);
  if (pid == 0)
    {
      if (unprivileged && geteuid () == 0 && (setgid (nobody) != 0 || setuid (nobody) != 0))
        _exit (2);
      body ();
      fflush (nullptr);
      exit (::testing::Test::HasFailure () ? 1 : 0);
    }
  int status;
  ASSERT_EQ (waitpid (pid, &status, 0), pid);
  EXPECT_TRUE (WIFEXITED (status) && WEXITSTATUS (status) == 0) << "child status " << status;
}

class InputHistoryFileTest : public vontle_test::GLibLogTest
{
protected:
  void SetUp () override
  {
    GLibLogTest::SetUp ();
    dir_ = vontle_test::take (g_dir_make_tmp ("vontle-history-file-XXXXXX", nullptr));
    path_ = dir_ + "/history";
  }
  void TearDown () override
  {
    const char *argv[] = { "/bin/rm", "-rf", dir_.c_str (), nullptr };
    g_spawn_sync (nullptr, const_cast<char **> (argv), nullptr, G_SPAWN_DEFAULT, nullptr, nullptr,
                  nullptr, nullptr, nullptr, nullptr);
    GLibLogTest::TearDown ();
  }
  /* Lets the unprivileged user in a child work in the test directory. A
   * suite that is not run as root has nothing to give away: its children
   * keep its own user, and that one already owns the directory. */
  void GiveAway ()
  {
    if (geteuid () == 0)
      {
        ASSERT_EQ (chown (dir_.c_str (), nobody, nobody), 0);
      }
  }

  std::string dir_, path_;
};

/* ---------------------------------------------------------- semantics -- */

/* What read returns is what the history holds in memory after the same
 * appends, cut to the newest max-entries; escapes round-trip. */
TEST_F (InputHistoryFileTest, ReadsWhatTheHistoryHoldsInMemory)
{
  const Lines pool = { "ls", "cd /tmp", "a\\b", "two\nlines", "cr\r", "\\n", "x\\", "ls -l" };
  for (guint max : { 0u, 3u })
    {
      g_remove (path_.c_str ());
      Store store (path_, max);
      g_autoptr (VontleInputHistory) memory = vontle_input_history_new (nullptr);
      std::mt19937 random (max);
      for (int i = 0; i < 60; i++)
        {
          const std::string &line = pool[random () % pool.size ()];
          store.append (line);
          vontle_input_history_append (memory, line.c_str ());
          Lines expected = lines_of (memory);
          if (max > 0 && expected.size () > max)
            expected.erase (expected.begin (), expected.end () - max);
          ASSERT_EQ (store.lines (), expected) << "max " << max << ", append " << i;
          ASSERT_EQ (read_fresh (path_, max), expected) << "max " << max << ", append " << i;
        }
    }
}

TEST_F (InputHistoryFileTest, HandWrittenFilesReadAsTheyShow)
{
  const struct
  {
    std::string contents;
    Lines entries;
  } cases[] = {
    { "a\r\nb\n\n\n c \n", { "a", "b", " c " } },
    { std::string ("x\0y\n\0\nz", 7), { "xy", "z" } },
    { "C:\\path\\x\nend\\", { "C:\\path\\x", "end\\" } },
    { "dup\nother\ndup\n", { "other", "dup" } },
    { "C:\\new\\dir\n", { "C:\new\\dir" } },
    { std::string ("x\n\0cut short", 13), { "x" } },
    { std::string ("\0whole\n", 7), { "whole" } },
    { std::string (3 << 19, 'w') + "\nok\n", { "ok" } }, /* 1.5 MiB, no escapes: too long */
  };
  for (const auto &c : cases)
    {
      write_file (path_, c.contents);
      EXPECT_EQ (read_fresh (path_), c.entries);
    }
}

/* A last line cut short still counts, and the next record starts on a line
 * of its own, also when another store parsed the open line before. */
TEST_F (InputHistoryFileTest, ALineCutShortIsNeverGluedToTheNext)
{
  write_file (path_, "abc");
  Store first (path_), second (path_);
  EXPECT_EQ (second.lines (), Lines ({ "abc" }));
  first.append ("d");
  EXPECT_EQ (contents_of (path_), "abc\nd\n");
  EXPECT_EQ (first.lines (), Lines ({ "abc", "d" }));
  vontle_input_history_reset (second.history);
  EXPECT_EQ (second.lines (), Lines ({ "abc", "d" }));

  /* A last line led by a NUL byte is a record whose writer was killed: the
   * next append cuts it off. */
  write_file (path_, std::string ("x\n\0cut short", 13));
  first.append ("y");
  EXPECT_EQ (contents_of (path_), "x\ny\n");
}

/* A last line without line feed that ends where a kill cuts writes (on a
 * 4 KiB boundary), or that older files led with a NUL byte, is a record cut
 * short: no entry, cut off by the next append. Written by hand, it is an
 * entry, ended before the next. A line ended on the boundary and followed by
 * an empty line is no entry. Appends write entries and line feeds alone,
 * also across a boundary. */
TEST_F (InputHistoryFileTest, TornAndHandWrittenEndings)
{
  const std::string torn (4091, 't'), filled = std::string ("keep\n").append (4088, 'f').append ("\n");
  const struct
  {
    std::string contents;
    Lines entries;
    std::string appended; /* after the last byte that stays */
  } cases[] = {
    { "keep\nab", { "keep", "ab" }, "keep\nab\nnew\n" },
    { std::string ("keep\n").append (torn), { "keep" }, "keep\nnew\n" },
    { std::string ("keep\n\0cut", 9), { "keep" }, "keep\nnew\n" },
    { std::string ("keep\n").append (torn).append ("\n\nnext\n"), { "keep", "next" }, "next\nnew\n" },
    { std::string ("keep\n").append (torn).append ("\nnext\n"), { "keep", torn, "next" }, "next\nnew\n" },
    { filled, { "keep", filled.substr (5, 4088) }, std::string (filled, 5).append ("new\n") },
  };
  for (const auto &c : cases)
    {
      write_file (path_, c.contents);
      EXPECT_EQ (read_fresh (path_), c.entries);
      Store (path_).append ("new");
      const std::string contents = contents_of (path_);
      EXPECT_TRUE (g_str_has_suffix (contents.c_str (), c.appended.c_str ())) << contents.substr (0, 80);
      EXPECT_EQ (contents.find ('\0'), std::string::npos);
      Lines entries = c.entries;
      entries.emplace_back ("new");
      EXPECT_EQ (read_fresh (path_), entries);
    }
}

TEST_F (InputHistoryFileTest, MadeOnFirstAppendPrivately)
{
  const std::string path = dir_ + "/state/app/history";
  Store store (path);
  g_object_set (store.file, "sync", TRUE, nullptr);
  EXPECT_FALSE (g_file_test ((dir_ + "/state").c_str (), G_FILE_TEST_EXISTS));
  store.append ("secret");
  g_autofree char *property_path = nullptr;
  guint max = 1;
  gboolean sync = FALSE;
  g_object_get (store.file, "path", &property_path, "max-entries", &max, "sync", &sync, nullptr);
  EXPECT_EQ (property_path, path);
  EXPECT_EQ (max, 0u);
  EXPECT_TRUE (sync);
  struct stat st;
  ASSERT_EQ (stat (path.c_str (), &st), 0);
  EXPECT_EQ (st.st_mode & 0777, 0600u);
  ASSERT_EQ (stat ((dir_ + "/state/app").c_str (), &st), 0);
  EXPECT_EQ (st.st_mode & 0777, 0700u);
}

TEST_F (InputHistoryFileTest, ApplicationStoreLivesInTheStateDirectory)
{
  const std::string home = g_get_home_dir ();
  for (auto [value, base] : { std::pair<const char *, std::string> { "/var/x", "/var/x" },
                              { "", home + "/.local/state" },
                              { "relative", home + "/.local/state" },
                              { nullptr, home + "/.local/state" } })
    {
      if (value != nullptr)
        g_setenv ("XDG_STATE_HOME", value, TRUE);
      else
        g_unsetenv ("XDG_STATE_HOME");
      g_autoptr (VontleInputHistoryFile) store = vontle_input_history_file_new_for_application ("org.example.App");
      EXPECT_EQ (vontle_input_history_file_get_path (store), base + "/org.example.App/history");
    }
  g_unsetenv ("XDG_STATE_HOME");
  const std::pair<const char *, const char *> refused[] = {
    { nullptr, "application_id != NULL" },
    { "", "application_id[0] != '\\0'" },
    { "a/b", "strchr (application_id, '/') == NULL" },
    { ".", "strcmp (application_id, \".\") != 0 && strcmp (application_id, \"..\") != 0" },
    { "..", "strcmp (application_id, \".\") != 0 && strcmp (application_id, \"..\") != 0" },
  };
  for (auto [id, condition] : refused)
    {
      EXPECT_EQ (vontle_input_history_file_new_for_application (id), nullptr);
      ExpectCritical ("vontle_input_history_file_new_for_application", condition);
    }
}

/* -------------------------------------------------------- concurrency -- */

/* Eight processes append at once, each through its own store: with rewrites
 * (most lines repeat, so the file passes twice max-entries again and again,
 * while max-entries keeps every distinct line) and without (every line
 * distinct). No line is lost, torn or interleaved, and each process's
 * distinct lines keep their order. A line appended to a file that another
 * process is replacing would be lost: the lock and the check that the path
 * still names the locked file are what keep it. */
TEST_F (InputHistoryFileTest, ConcurrentProcessesLoseAndTearNothing)
{
  constexpr int processes = 8;
  /* The races are narrow: the rewriting case runs twice. */
  for (bool rewrites : { true, true, false })
    {
      g_remove (path_.c_str ());
      const int appends = rewrites ? 800 : 150, every = rewrites ? 16 : 1;
      const int distinct = appends / every + (rewrites ? 2 : 0);
      const guint max = rewrites ? processes * distinct : 0;
      /* Unique lines carry their number and a padding that depends on it;
       * the others are one of two repeated lines. Built by appending: GCC 12
       * misreads a chain of string + at -O2 as an overlapping copy. */
      auto line = [&] (int p, int i) {
        std::string text = "p";
        text += std::to_string (p);
        if (i % every != 0)
          return text.append ("-r-").append (std::to_string (i % 2));
        text.append ("-u-").append (std::to_string (i)).append ("-");
        return text.append (static_cast<size_t> (i % 7) * 40, 'x');
      };
      pid_t children[processes]; /* no heap block for valgrind to miss in a child */
      for (int p = 0; p < processes; p++)
        {
          const pid_t pid = fork ();
          ASSERT_NE (pid, -1);
          if (pid == 0)
            {
              bool written;
              {
                Store store (path_, max);
                for (int i = 0; i < appends; i++)
                  store.append (line (p, i));
                written = pending_of (store.file) == 0;
              }
              exit (written ? 0 : 1);
            }
          children[p] = pid;
        }
      for (pid_t pid : children)
        {
          int status;
          ASSERT_EQ (waitpid (pid, &status, 0), pid);
          EXPECT_TRUE (WIFEXITED (status) && WEXITSTATUS (status) == 0);
        }
      const Lines entries = read_fresh (path_);
      std::map<int, std::vector<int>> unique;
      for (const std::string &entry : entries)
        {
          int p, i, n = 0;
          if (sscanf (entry.c_str (), "p%d-r-%d%n", &p, &i, &n) == 2 && static_cast<size_t> (n) == entry.size ())
            continue;
          ASSERT_EQ (sscanf (entry.c_str (), "p%d-u-%d-%n", &p, &i, &n), 2) << "torn: " << entry;
          ASSERT_EQ (entry, line (p, i)) << "torn";
          unique[p].push_back (i);
        }
      EXPECT_EQ (entries.size (), static_cast<size_t> (processes * distinct));
      for (int p = 0; p < processes; p++)
        {
          std::vector<int> expected;
          for (int i = 0; i < appends; i += every)
            expected.push_back (i);
          EXPECT_EQ (unique[p], expected) << "process " << p;
        }
      if (rewrites)
        {
          g_auto (GStrv) records = g_strsplit (contents_of (path_).c_str (), "\n", -1);
          EXPECT_LE (g_strv_length (records), 2 * max + 2);
        }
    }
}

/* Sixteen writers keeping one entry rewrite the file at nearly every
 * append, racing each other's rewrites: no append returns with its line
 * pending. */
TEST_F (InputHistoryFileTest, ManyWritersRewritingLeaveNothingPending)
{
  /* Under valgrind a holder's turn with the lock can outlast an append's
   * bounded wait on a loaded machine: fewer writers race there. */
  const int writers = RUNNING_ON_VALGRIND ? 4 : 16;
  pid_t children[16];
  for (int p = 0; p < writers; p++)
    if ((children[p] = fork ()) == 0)
      {
        Store store (path_, 1);
        int left_pending = 0;
        for (int i = 0; i < 60; i++)
          {
            store.append (std::to_string (p).append ("-").append (std::to_string (i)));
            left_pending += pending_of (store.file) > 0 ? 1 : 0;
          }
        exit (left_pending);
      }
  for (int p = 0; p < writers; p++)
    {
      int status;
      ASSERT_EQ (waitpid (children[p], &status, 0), children[p]);
      EXPECT_EQ (status, 0) << "appends left pending";
    }
}

/* A lock held by a process that does nothing: the append gives up waiting,
 * keeps its line and says why; flush writes it once the holder is gone. */
TEST_F (InputHistoryFileTest, ALockHeldWithoutProgressIsWaitedForBriefly)
{
  write_file (path_, "old\n");
  int ready[2];
  ASSERT_EQ (pipe (ready), 0);
  const pid_t holder = fork ();
  ASSERT_NE (holder, -1);
  if (holder == 0)
    {
      const int fd = open (path_.c_str (), O_RDONLY);
      if (flock (fd, LOCK_EX) != 0 || write (ready[1], "x", 1) != 1)
        _exit (1);
      pause ();
    }
  char byte;
  ASSERT_EQ (read (ready[0], &byte, 1), 1);
  LogPipe log;
  alarm (30); /* a wait without bound ends the test */
  Store store (path_);
  store.append ("new");
  alarm (0);
  EXPECT_EQ (pending_of (store.file), 1u);
  EXPECT_THAT (testing::PrintToString (log.Take ()), HasSubstr ("makes no progress"));
  kill (holder, SIGKILL);
  waitpid (holder, nullptr, 0);
  EXPECT_TRUE (vontle_input_history_file_flush (store.file, nullptr));
  EXPECT_EQ (contents_of (path_), "old\nnew\n");
}

/* A holder that keeps the lock and lets no other writer's turn come
 * (running, or touching the file) is waited for within a bound, once for
 * the append and its history's read together; one at work for a while is
 * waited for. Each holder first writes a record under the lock. */
TEST_F (InputHistoryFileTest, LockHoldersAreWaitedForAsTheyProgress)
{
  enum class Holder { spins, touches, works_briefly };
  for (const Holder kind : { Holder::spins, Holder::touches, Holder::works_briefly })
    {
      write_file (path_, "old\n");
      Store store (path_);
      int ready[2];
      ASSERT_EQ (pipe (ready), 0);
      const pid_t holder = fork ();
      ASSERT_NE (holder, -1);
      if (holder == 0)
        {
          const int fd = open (path_.c_str (), O_WRONLY | O_APPEND);
          if (flock (fd, LOCK_EX) != 0 || write (fd, "held\n", 5) != 5 || write (ready[1], "x", 1) != 1)
            _exit (1);
          const gint64 until = g_get_monotonic_time () + (kind == Holder::works_briefly ? 300 : 20000) * 1000;
          while (g_get_monotonic_time () < until)
            if (kind == Holder::touches)
              futimens (fd, nullptr), g_usleep (40000);
          _exit (0);
        }
      char byte;
      ASSERT_EQ (read (ready[0], &byte, 1), 1);
      close (ready[0]);
      close (ready[1]);
      LogPipe log;
      const gint64 start = g_get_monotonic_time ();
      store.append ("new");
      const gint64 waited_msec = (g_get_monotonic_time () - start) / 1000;
      kill (holder, SIGKILL);
      waitpid (holder, nullptr, 0);
      EXPECT_EQ (pending_of (store.file), kind == Holder::works_briefly ? 0u : 1u) << static_cast<int> (kind);
      if (kind == Holder::spins && !RUNNING_ON_VALGRIND)
        {
          /* One wait ends after 1 s; a second would take another. */
          EXPECT_LT (waited_msec, 1950) << "the history's read waited again";
        }
      log.Take ();
    }
}

/* SIGKILL at random moments of appends and rewrites: the file always reads,
 * and holds every line whose append returned (as far as max-entries keeps
 * it); only the line in flight may be missing or present. */
TEST_F (InputHistoryFileTest, SigkillInALoopLosesOnlyTheLineInFlight)
{
  constexpr guint max = 12;
  std::mt19937 random (42);
  std::set<int> acked, in_flight;
  int next = 0;
  for (int round = 0; round < 25; round++)
    {
      int fds[2];
      ASSERT_EQ (pipe (fds), 0);
      const pid_t pid = fork ();
      ASSERT_NE (pid, -1);
      if (pid == 0)
        {
          close (fds[0]);
          Store store (path_, max);
          for (int i = next;; i++)
            {
              store.append ("line-" + std::to_string (i));
              if (write (fds[1], &i, sizeof i) != sizeof i)
                _exit (1);
            }
        }
      close (fds[1]);
      /* The kill comes after the first line at the earliest: a loaded
       * machine (valgrind, a busy CI) may not have run the child at all. */
      int i, last = next - 1;
      ASSERT_EQ (read (fds[0], &i, sizeof i), ssize_t (sizeof i));
      acked.insert (last = i);
      g_usleep (1000 + random () % 20000);
      kill (pid, SIGKILL);
      waitpid (pid, nullptr, 0);
      while (read (fds[0], &i, sizeof i) == sizeof i)
        acked.insert (last = i);
      close (fds[0]);
      in_flight.insert (last + 1);
      next = last + 2;

      const Lines entries = read_fresh (path_, max);
      ASSERT_FALSE (entries.empty ());
      std::vector<int> seen;
      for (const std::string &entry : entries)
        {
          ASSERT_EQ (sscanf (entry.c_str (), "line-%d", &i), 1) << entry;
          ASSERT_TRUE (acked.count (i) || in_flight.count (i)) << "never appended: " << entry;
          ASSERT_TRUE (seen.empty () || seen.back () < i) << "out of order: " << entry;
          seen.push_back (i);
        }
      for (auto it = acked.upper_bound (seen.front ()); it != acked.end (); ++it)
        ASSERT_TRUE (std::count (seen.begin (), seen.end (), *it)) << "lost line-" << *it << " in round " << round;
      if (!acked.empty ())
        {
          ASSERT_GE (seen.back (), *acked.rbegin ());
        }
    }
}

/* ---------------------------------------------------- failing writes -- */

/* RLIMIT_FSIZE refuses every write, before any byte of it is written: the
 * lines stay pending and readable, one error is logged for the whole run,
 * and the next append after the limit goes writes them all and logs the
 * recovery. */
TEST_F (InputHistoryFileTest, FailingWritesKeepLinesPendingUntilTheDiskWorks)
{
  Store store (path_);
  store.append ("a");
  int notified = 0;
  g_signal_connect_swapped (store.file, "notify::pending", G_CALLBACK (+[] (int *count) { ++*count; }),
                            &notified);
  LogPipe log;
  struct rlimit saved;
  ASSERT_EQ (getrlimit (RLIMIT_FSIZE, &saved), 0);
  struct rlimit limited = saved;
  limited.rlim_cur = 3; /* "a\n" and one more byte */
  void (*old_handler) (int) = signal (SIGXFSZ, SIG_IGN);
  ASSERT_EQ (setrlimit (RLIMIT_FSIZE, &limited), 0);
  store.append ("bb");
  store.append ("c");
  store.append ("a");
  const Lines during = store.lines ();
  const guint pending = pending_of (store.file);
  const std::string contents = contents_of (path_);
  g_autoptr (GError) error = nullptr;
  const gboolean flushed = vontle_input_history_file_flush (store.file, &error);
  ASSERT_EQ (setrlimit (RLIMIT_FSIZE, &saved), 0);
  signal (SIGXFSZ, old_handler);

  EXPECT_EQ (during, Lines ({ "bb", "c", "a" }));
  EXPECT_EQ (pending, 3u);
  EXPECT_EQ (contents, "a\n");
  EXPECT_FALSE (flushed);
  ASSERT_NE (error, nullptr);
  EXPECT_TRUE (g_error_matches (error, G_IO_ERROR, g_io_error_from_errno (EFBIG))) << error->message;
  EXPECT_THAT (error->message, HasSubstr (path_));
  EXPECT_THAT (error->message, HasSubstr (g_strerror (EFBIG)));
  const Lines failed = log.Take ();
  ASSERT_EQ (failed.size (), 1u) << testing::PrintToString (failed);
  EXPECT_THAT (failed[0], HasSubstr ("error: "));
  EXPECT_THAT (failed[0], HasSubstr (path_));
  EXPECT_THAT (failed[0], HasSubstr (g_strerror (EFBIG)));

  store.append ("d");
  EXPECT_EQ (pending_of (store.file), 0u);
  EXPECT_EQ (contents_of (path_), "a\nbb\nc\na\nd\n");
  EXPECT_EQ (store.lines (), Lines ({ "bb", "c", "a", "d" }));
  EXPECT_EQ (notified, 4); /* 1, 2, 3, then 0 */
  const Lines recovered = log.Take ();
  ASSERT_EQ (recovered.size (), 1u) << testing::PrintToString (recovered);
  EXPECT_THAT (recovered[0], HasSubstr ("written again"));
  EXPECT_TRUE (vontle_input_history_file_flush (store.file, nullptr));

  /* With SIGXFSZ as the application left it, which ends the process: a
   * write past the limit is not even tried. */
  in_child ([&] {
    LogPipe child_log;
    struct rlimit tight = saved;
    tight.rlim_cur = 14;
    ASSERT_EQ (setrlimit (RLIMIT_FSIZE, &tight), 0);
    store.append ("too long now");
    EXPECT_EQ (pending_of (store.file), 1u);
    EXPECT_EQ (contents_of (path_), "a\nbb\nc\na\nd\n");
    EXPECT_THAT (testing::PrintToString (child_log.Take ()), HasSubstr (g_strerror (EFBIG)));
    ASSERT_EQ (setrlimit (RLIMIT_FSIZE, &saved), 0); /* for what the child writes at exit */
  });
}

/* The directory taken away: removed, it is made again; replaced by a file,
 * or unwritable, the lines wait until it is back. */
TEST_F (InputHistoryFileTest, DirectoryRemovedOrUnwritable)
{
  const std::string sub = dir_ + "/sub", path = sub + "/history";
  {
    Store store (path);
    store.append ("one");
    g_remove (path.c_str ());
    g_rmdir (sub.c_str ());
    store.append ("two");
    EXPECT_EQ (contents_of (path), "two\n");

    LogPipe log;
    g_remove (path.c_str ());
    g_rmdir (sub.c_str ());
    write_file (sub, "in the way");
    store.append ("three");
    EXPECT_EQ (pending_of (store.file), 1u);
    EXPECT_EQ (store.lines (), Lines ({ "three" }));
    g_remove (sub.c_str ());
    EXPECT_TRUE (vontle_input_history_file_flush (store.file, nullptr));
    EXPECT_EQ (contents_of (path), "three\n");
    EXPECT_EQ (log.Take ().size (), 2u);

    /* A dangling symbolic link where the directory should be: it cannot be
     * made. */
    g_remove (path.c_str ());
    g_rmdir (sub.c_str ());
    ASSERT_EQ (symlink ("nowhere", sub.c_str ()), 0);
    store.append ("dangling");
    EXPECT_EQ (pending_of (store.file), 1u);
    g_remove (sub.c_str ());
    EXPECT_TRUE (vontle_input_history_file_flush (store.file, nullptr));
    EXPECT_EQ (log.Take ().size (), 2u);

    /* The last try, as the store goes, also logs the recovery. */
    g_remove (path.c_str ());
    g_rmdir (sub.c_str ());
    write_file (sub, "in the way");
    store.append ("four");
    g_remove (sub.c_str ());
  }
  EXPECT_EQ (contents_of (path), "four\n");

  /* A name too long for the temporary file beside it: no rewrite, so the
   * file grows instead, loses nothing, and says so once. */
  const std::string long_path = dir_ + "/" + std::string (245, 'h');
  {
    LogPipe log;
    Store store (long_path, 1);
    for (const char *line : { "a", "b", "c", "d" })
      store.append (line);
    EXPECT_EQ (read_fresh (long_path), Lines ({ "a", "b", "c", "d" }));
    const Lines logged = log.Take ();
    ASSERT_EQ (logged.size (), 1u);
    EXPECT_THAT (logged[0], HasSubstr ("is not shortened"));
    EXPECT_THAT (logged[0], HasSubstr (g_strerror (ENAMETOOLONG)));
  }

  GiveAway ();
  const std::string own = dir_ + "/own", own_path = own + "/history";
  in_child ([&] {
    Store store (own_path);
    store.append ("four");
    LogPipe log;
    ASSERT_EQ (chmod (own.c_str (), 0500), 0);
    ASSERT_EQ (chmod (own_path.c_str (), 0400), 0);
    store.append ("five");
    EXPECT_EQ (pending_of (store.file), 1u);
    EXPECT_EQ (store.lines (), Lines ({ "four", "five" }));
    ASSERT_EQ (chmod (own_path.c_str (), 0600), 0);
    store.append ("six");
    EXPECT_EQ (contents_of (own_path), "four\nfive\nsix\n");
    Lines logged = log.Take ();
    ASSERT_EQ (logged.size (), 2u);
    EXPECT_THAT (logged[0], HasSubstr (g_strerror (EACCES)));

    /* No rewrite in a read-only directory: the file grows instead, loses
     * nothing, and says so once. */
    g_object_set (store.file, "max-entries", 1u, nullptr);
    for (const char *line : { "seven", "eight", "nine" })
      store.append (line);
    EXPECT_EQ (read_fresh (own_path), Lines ({ "four", "five", "six", "seven", "eight", "nine" }));
    logged = log.Take ();
    ASSERT_EQ (logged.size (), 1u);
    EXPECT_THAT (logged[0], HasSubstr ("is not shortened"));

    /* A directory that cannot be searched: the file cannot even be looked at. */
    ASSERT_EQ (chmod (own.c_str (), 0), 0);
    vontle_input_history_reset (store.history);
    EXPECT_EQ (store.lines (), Lines ({ "nine" }));
    ASSERT_EQ (chmod (own.c_str (), 0700), 0);
    logged = log.Take ();
    ASSERT_EQ (logged.size (), 1u);
    EXPECT_THAT (logged[0], HasSubstr ("keeps the lines it has"));
  }, true);
}

/* ---------------------------------------------------------- bad places -- */

/* A directory, a FIFO (no reader, no writer: an open for reading or writing
 * could block), a device and an unreadable file: one logged error each way,
 * no hang, and the history goes on in memory. */
TEST_F (InputHistoryFileTest, BadPlacesAreLoggedAndNeverHang)
{
  const std::string fifo = dir_ + "/fifo", directory = dir_ + "/directory";
  ASSERT_EQ (mkfifo (fifo.c_str (), 0600), 0);
  ASSERT_EQ (g_mkdir (directory.c_str (), 0700), 0);
  for (const std::string &path : { fifo, directory, std::string ("/dev/null") })
    {
      LogPipe log;
      Store store (path);
      store.append ("x");
      store.append ("y");
      EXPECT_EQ (store.lines (), Lines ({ "x", "y" })) << path;
      EXPECT_EQ (pending_of (store.file), 2u) << path;
      const Lines logged = log.Take ();
      ASSERT_EQ (logged.size (), 2u) << path << testing::PrintToString (logged);
      EXPECT_THAT (logged[0], HasSubstr ("Failed to open file \u201c" + path + "\u201d"));
      EXPECT_THAT (logged[0], HasSubstr ("keeps the lines it has"));
      EXPECT_THAT (logged[1], HasSubstr ("kept in memory"));
    }

  GiveAway ();
  in_child ([&] {
    write_file (path_, "kept\n");
    ASSERT_EQ (chmod (path_.c_str (), 0200), 0);
    LogPipe log;
    Store store (path_);
    EXPECT_TRUE (store.lines ().empty ());
    ASSERT_EQ (chmod (path_.c_str (), 0600), 0);
    vontle_input_history_reset (store.history);
    EXPECT_EQ (store.lines (), Lines ({ "kept" }));
    const Lines logged = log.Take ();
    ASSERT_EQ (logged.size (), 2u);
    EXPECT_THAT (logged[0], HasSubstr (g_strerror (EACCES)));
    EXPECT_THAT (logged[1], HasSubstr ("can be read again"));
  }, true);
}

/* A line past the limit is skipped without being held whole, and what
 * follows it still reads; appended, it is refused. An empty line is no
 * entry either way. */
TEST_F (InputHistoryFileTest, HugeAndEmptyLinesAreNotEntries)
{
  write_file (path_, "before\n" + std::string (3 << 20, 'z') + "\nafter\n");
  LogPipe log;
  EXPECT_EQ (read_fresh (path_), Lines ({ "before", "after" }));
  EXPECT_EQ (log.Take ().size (), 1u);

  Store store (path_);
  store.append (std::string ((1 << 20) + 1, 'y'));
  store.append ("");
  EXPECT_EQ (store.lines (), Lines ({ "before", "after" }));
  const Lines logged = log.Take (); /* the skipped line again, then the refusal */
  ASSERT_EQ (logged.size (), 2u);
  EXPECT_THAT (logged[1], HasSubstr ("too long"));

  const std::string backslashes (600 << 10, '\\');
  store.append (backslashes);
  EXPECT_EQ (pending_of (store.file), 0u);
  EXPECT_TRUE (read_fresh (path_).back () == backslashes);
  log.Take ();
}

TEST_F (InputHistoryFileTest, RefusesWhatIsNoStore)
{
  EXPECT_EQ (vontle_input_history_file_new (nullptr), nullptr);
  ExpectCritical ("vontle_input_history_file_new", "path != NULL");
  EXPECT_EQ (vontle_input_history_file_new ("~vontle-no-such-user/history"), nullptr);
  ExpectCritical ("vontle_input_history_file_new", "absolute != NULL");
  g_autoptr (GObject) other = static_cast<GObject *> (g_object_new (G_TYPE_OBJECT, nullptr));
  EXPECT_EQ (vontle_input_history_file_get_path (reinterpret_cast<VontleInputHistoryFile *> (other)), nullptr);
  ExpectCritical ("vontle_input_history_file_get_path", "VONTLE_IS_INPUT_HISTORY_FILE (file)");
  EXPECT_FALSE (vontle_input_history_file_flush (reinterpret_cast<VontleInputHistoryFile *> (other), nullptr));
  ExpectCritical ("vontle_input_history_file_flush", "VONTLE_IS_INPUT_HISTORY_FILE (file)");

  /* Property ids the class does not have, as a subclass might pass on. */
  g_autoptr (VontleInputHistoryFile) store = vontle_input_history_file_new (path_.c_str ());
  GParamSpec *bogus = g_param_spec_uint ("bogus", nullptr, nullptr, 0, 1, 0, G_PARAM_READWRITE);
  GValue value = G_VALUE_INIT;
  g_value_init (&value, G_TYPE_UINT);
  G_OBJECT_GET_CLASS (store)->set_property (G_OBJECT (store), 99, &value, bogus);
  G_OBJECT_GET_CLASS (store)->get_property (G_OBJECT (store), 99, &value, bogus);
  g_param_spec_unref (g_param_spec_ref_sink (bogus));
  EXPECT_EQ (TakeMessages ().size (), 2u);

  /* Made without a path (as a binding may): it keeps lines in memory. */
  LogPipe log;
  g_autoptr (VontleInputHistoryFile) pathless =
    static_cast<VontleInputHistoryFile *> (g_object_new (VONTLE_TYPE_INPUT_HISTORY_FILE, nullptr));
  ExpectCritical ("vontle_input_history_file_constructed", "path != NULL");
  vontle_input_history_io_append (VONTLE_INPUT_HISTORY_IO (pathless), "kept");
  EXPECT_EQ (pending_of (pathless), 1u);
  g_autoptr (GError) error = nullptr;
  EXPECT_FALSE (vontle_input_history_file_flush (pathless, &error));
  EXPECT_TRUE (g_error_matches (error, G_IO_ERROR, G_IO_ERROR_INVALID_ARGUMENT));
  g_object_set (pathless, "max-entries", 0u, nullptr);
}

/* ------------------------------------------------------------ rewrites -- */

TEST_F (InputHistoryFileTest, RewriteKeepsASymlinkAndLeavesNoTemporary)
{
  const std::string real_dir = dir_ + "/real", target = real_dir + "/history", link = dir_ + "/link";
  ASSERT_EQ (g_mkdir (real_dir.c_str (), 0700), 0);
  ASSERT_EQ (symlink ("real/history", link.c_str ()), 0);
  write_file (real_dir + "/.history.vontle-Stale123", "left by a process killed in a rewrite");
  Store store (link, 3);
  const std::string padding (30000, 'p'); /* three entries fill more than one write */
  for (int i = 0; i < 20; i++)
    {
      std::string entry = "e";
      store.append (entry.append (std::to_string (i)).append (padding));
    }
  struct stat st;
  ASSERT_EQ (lstat (link.c_str (), &st), 0);
  EXPECT_TRUE (S_ISLNK (st.st_mode));
  EXPECT_LE (contents_of (target).size (), (4 + padding.size ()) * 6);
  EXPECT_EQ (read_fresh (link, 3), Lines ({ "e17" + padding, "e18" + padding, "e19" + padding }));
  g_autoptr (GDir) listing = g_dir_open (real_dir.c_str (), 0, nullptr);
  std::vector<std::string> names;
  while (const char *name = g_dir_read_name (listing))
    names.emplace_back (name);
  EXPECT_EQ (names, std::vector<std::string> ({ "history" }));

  /* A store that never rewrites removes them at its first write. */
  const std::string stale = real_dir + "/.history.vontle-Stale456";
  write_file (stale, "left by a process killed in a rewrite");
  Store (link, 0).append ("one more");
  EXPECT_FALSE (g_file_test (stale.c_str (), G_FILE_TEST_EXISTS));
}

/* A rewrite by another user (root) keeps the file's owner, group and mode.
 * Where it cannot (the owner is no member of the file's group), the file
 * grows instead, the rewrite is tried ever more rarely, and its recovery is
 * logged. */
TEST_F (InputHistoryFileTest, RewriteKeepsOwnerGroupAndModeOrWaits)
{
  if (geteuid () != 0)
    GTEST_SKIP () << "handing a file to another user needs root";
  GiveAway ();
  constexpr gid_t other_group = 4242; /* not the owner's number: the two cannot be swapped unseen */
  write_file (path_, "");
  ASSERT_EQ (chown (path_.c_str (), nobody, other_group), 0);
  ASSERT_EQ (chmod (path_.c_str (), 0640), 0);
  Store (path_, 1).append ("a"), Store (path_, 1).append ("b"), Store (path_, 1).append ("c");
  struct stat st;
  ASSERT_EQ (stat (path_.c_str (), &st), 0);
  EXPECT_EQ (contents_of (path_), "c\n");
  EXPECT_TRUE (st.st_uid == nobody && st.st_gid == other_group && (st.st_mode & 0777) == 0640) << st.st_mode;

  constexpr gid_t no_members = 12345;
  ASSERT_EQ (chown (path_.c_str (), nobody, no_members), 0);
  in_child ([&] {
    const int watch = inotify_init1 (IN_NONBLOCK);
    ASSERT_GE (inotify_add_watch (watch, dir_.c_str (), IN_CREATE), 0);
    LogPipe log;
    Store store (path_, 1);
    for (int i = 0; i < 20; i++)
      store.append (std::string ("x").append (std::to_string (i)));
    /* Each try makes a temporary file (names of one length): four tries in
     * twenty appends. */
    alignas (struct inotify_event) char events[8192];
    const ssize_t length = read (watch, events, sizeof events);
    ASSERT_GT (length, 0);
    EXPECT_EQ (length / (sizeof (struct inotify_event) + reinterpret_cast<struct inotify_event *> (events)->len), 4u);
    EXPECT_EQ (read_fresh (path_).size (), 21u);

    ASSERT_EQ (chown (path_.c_str (), static_cast<uid_t> (-1), getgid ()), 0);
    for (int i = 20; i < 40; i++)
      store.append (std::string ("x").append (std::to_string (i)));
    EXPECT_EQ (contents_of (path_), "x38\nx39\n");
    EXPECT_THAT (log.Take (), ElementsAre (HasSubstr ("is not shortened"), HasSubstr ("can be shortened again")));
    close (watch);
  }, true);
}

/* In a directory that everyone can write, another user's link named like
 * the history is not followed, nor another user's file written: the lines
 * stay pending. The store's own user's link is followed. */
TEST_F (InputHistoryFileTest, OtherUsersLinksAndFilesInSharedDirectoriesAreNotWritten)
{
  if (geteuid () != 0)
    GTEST_SKIP () << "planting another user's link needs root";
  const std::string shared = dir_ + "/shared", victim = dir_ + "/victim", path = shared + "/history";
  ASSERT_EQ (g_mkdir (shared.c_str (), 0700), 0);
  ASSERT_EQ (chmod (shared.c_str (), 01777), 0);
  write_file (victim, "precious\n");
  ASSERT_EQ (symlink (victim.c_str (), path.c_str ()), 0);
  ASSERT_EQ (lchown (path.c_str (), nobody, nobody), 0);
  LogPipe log;
  Store store (path);
  store.append ("x");
  EXPECT_EQ (pending_of (store.file), 1u);
  EXPECT_EQ (store.lines (), Lines ({ "precious", "x" }));
  ASSERT_EQ (lchown (path.c_str (), 0, 0), 0);
  EXPECT_TRUE (vontle_input_history_file_flush (store.file, nullptr));
  EXPECT_EQ (contents_of (victim), "precious\nx\n");

  ASSERT_EQ (g_remove (path.c_str ()), 0);
  write_file (path, "");
  ASSERT_EQ (chown (path.c_str (), nobody, nobody), 0);
  store.append ("y");
  EXPECT_EQ (pending_of (store.file), 1u);
  EXPECT_EQ (contents_of (path), "");
  EXPECT_THAT (log.Take (), ElementsAre (HasSubstr ("another user's symbolic link"), HasSubstr ("written again"),
                                         HasSubstr ("belongs to another user")));
  ASSERT_EQ (chown (path.c_str (), 0, 0), 0);
}

/* -------------------------------------------------------------- reading -- */

/* A file that only grew is parsed from where the last read stopped: a change
 * before that point (far enough back not to be checked) goes unseen. A file
 * truncated by another process, regrown or not, is read again in full. */
TEST_F (InputHistoryFileTest, ReadsOnlyWhatWasAppendedUntilTheFileIsTruncated)
{
  write_file (path_, "a\n" + std::string (100, 'b') + "\n");
  Store store (path_);
  ASSERT_EQ (store.lines ().size (), 2u);
  const int fd = open (path_.c_str (), O_WRONLY);
  ASSERT_GE (fd, 0);
  ASSERT_EQ (pwrite (fd, "x", 1, 0), 1);
  close (fd);
  FILE *appending = fopen (path_.c_str (), "a");
  fputs ("c\n", appending);
  fclose (appending);
  vontle_input_history_reset (store.history);
  EXPECT_EQ (store.lines (), Lines ({ "a", std::string (100, 'b'), "c" }));

  ASSERT_EQ (truncate (path_.c_str (), 0), 0);
  appending = fopen (path_.c_str (), "a");
  fputs ("z\n", appending);
  fclose (appending);
  vontle_input_history_reset (store.history);
  EXPECT_EQ (store.lines (), Lines ({ "z" }));

  ASSERT_EQ (truncate (path_.c_str (), 0), 0);
  appending = fopen (path_.c_str (), "a");
  for (int i = 0; i < 100; i++)
    fputs ("q\n", appending);
  fclose (appending);
  vontle_input_history_reset (store.history);
  EXPECT_EQ (store.lines (), Lines ({ "q" }));

  write_file (path_, "a\nb\nc\n");
  Store kept_one (path_, 1);
  EXPECT_EQ (kept_one.lines (), Lines ({ "c" }));
  g_object_set (kept_one.file, "max-entries", 0u, nullptr);
  vontle_input_history_reset (kept_one.history);
  EXPECT_EQ (kept_one.lines (), Lines ({ "a", "b", "c" }));
}

/* What another process did since the last read is read again whole where
 * it changed what was read: an open last line completed, a same-size edit in
 * place (a password overwritten: only the time tells), a line feed that
 * voids a line ended on the boundary. */
TEST_F (InputHistoryFileTest, ReadsAgainWhatChangedBehindItsBack)
{
  const auto append = [] (const char *bytes) {
    return [bytes] (const std::string &path) {
      FILE *file = fopen (path.c_str (), "a");
      fputs (bytes, file);
      fclose (file);
    };
  };
  const auto overwrite = [] (const std::string &path) {
    const int fd = open (path.c_str (), O_WRONLY);
    ASSERT_EQ (pwrite (fd, "XXXXXXX", 7, 3), 7);
    struct timespec later[2] = { { 0, UTIME_OMIT }, { time (nullptr) + 10, 0 } };
    ASSERT_EQ (futimens (fd, later), 0);
    close (fd);
  };
  const struct
  {
    std::string before;
    std::function<void (const std::string &)> change;
    Lines after;
  } cases[] = {
    { "ab", append ("c\n"), { "abc" } },
    /* The edit lies before the last 32 bytes, which a read compares. */
    { "pw hunter2\none\ntwo\nthree\nfour\nfive\nsix\nseven\n", overwrite,
      { "pw XXXXXXX", "one", "two", "three", "four", "five", "six", "seven" } },
    { std::string ("keep\n").append (4091, 't').append ("\n"), append ("\nnext\n"), { "keep", "next" } },
  };
  for (const auto &c : cases)
    {
      write_file (path_, c.before);
      Store store (path_);
      c.change (path_);
      vontle_input_history_reset (store.history);
      EXPECT_EQ (store.lines (), c.after);
    }
}

/* A history that hears of lines another process appended takes up those
 * lines alone, and holds what a full read gives: each line once at its
 * newest place, at most max-entries. A file that did more than grow is
 * read again. */
TEST_F (InputHistoryFileTest, CatchingUpGivesWhatAFullReadGives)
{
  const auto append = [this] (const char *bytes) {
    return [this, bytes] {
      FILE *file = fopen (path_.c_str (), "a");
      fputs (bytes, file);
      fclose (file);
    };
  };
  const struct
  {
    const char *what;
    std::function<void ()> change;
    Lines expected;
  } cases[] = {
    { "a new line at the cap", append ("d\n"), { "b", "c", "d" } },
    { "a line the history holds", append ("a\n"), { "b", "c", "a" } },
    { "several lines, one twice", append ("x\ny\nx\n"), { "c", "y", "x" } },
    { "a last line without its line feed", append ("z"), { "b", "c", "z" } },
    { "a file written anew", [this] { write_file (path_, "p\nq\n"); }, { "p", "q" } },
  };
  for (const auto &c : cases)
    {
      write_file (path_, "a\nb\nc\n");
      Store store (path_, 3);
      c.change ();
      g_signal_emit_by_name (store.file, "storage-changed");
      EXPECT_EQ (store.lines (), c.expected) << c.what;
      EXPECT_EQ (store.lines (), read_fresh (path_, 3)) << c.what;
      /* And from there on, as the file goes on growing. */
      append ("e\n") ();
      g_signal_emit_by_name (store.file, "storage-changed");
      EXPECT_EQ (store.lines (), read_fresh (path_, 3)) << c.what;
    }
}

/* The watch tells of other processes' lines, where the lines really are and
 * within a second, and never of the store's own appends. Spawned, not
 * forked: the file monitor runs a thread. */
TEST_F (InputHistoryFileTest, TheWatchSeesOtherProcessesOnly)
{
  const std::string real = dir_ + "/real/history", link = dir_ + "/link", deep = dir_ + "/d/history";
  ASSERT_EQ (g_mkdir ((dir_ + "/real").c_str (), 0700), 0);
  ASSERT_EQ (symlink ("real/history", link.c_str ()), 0);
  const char *append = "printf 'theirs\\n' >> \"$0\"";
  const char *remake = "mkdir \"${0%/*}\" && printf 'theirs\\n' >> \"$0\"";
  const struct
  {
    const char *what;
    std::string store_path, written_path;
    const char *before, *script; /* BEFORE runs while the store looks on */
  } cases[] = {
    { "the same file", path_, path_, nullptr, append },
    { "a symbolic link to it", link, real, nullptr, append },
    { "its directory removed and made again", deep, deep, "rm -rf \"${0%/*}\"", remake },
  };
  for (const auto &c : cases)
    {
      Store store (c.store_path);
      int notices = 0;
      g_signal_connect_swapped (store.file, "storage-changed", G_CALLBACK (+[] (int *n) { ++*n; }), &notices);
      const auto run_loop_until = [] (const std::function<bool ()> &done, gint64 usec) {
        const gint64 deadline = g_get_monotonic_time () + usec;
        while (!done () && g_get_monotonic_time () < deadline)
          if (!g_main_context_iteration (nullptr, FALSE))
            g_usleep (10000);
      };
      run_loop_until ([] { return false; }, G_USEC_PER_SEC / 10); /* the watch starts */
      store.append ("mine");
      run_loop_until ([] { return false; }, G_USEC_PER_SEC * 3 / 10);
      EXPECT_EQ (notices, 0) << c.what;

      for (const char *script : { c.before, c.script })
        {
          const char *argv[] = { "/bin/sh", "-c", script, c.written_path.c_str (), nullptr };
          ASSERT_TRUE (script == nullptr
                       || g_spawn_sync (nullptr, const_cast<char **> (argv), nullptr, G_SPAWN_DEFAULT, nullptr,
                                        nullptr, nullptr, nullptr, nullptr, nullptr));
          run_loop_until ([] { return false; }, G_USEC_PER_SEC * 3 / 10);
        }
      const Lines expected = c.before != nullptr ? Lines ({ "theirs" }) : Lines ({ "mine", "theirs" });
      const auto shows_theirs = [&] { return store.lines () == expected; };
      run_loop_until (shows_theirs, G_USEC_PER_SEC * 7 / 10);
      EXPECT_TRUE (shows_theirs ()) << c.what;
      EXPECT_GE (notices, 1) << c.what;
    }
}

/* Flush's error: domain and code of what failed, a message that names it
 * and the file as it can be shown (valid UTF-8 whatever the path's bytes),
 * and so are the lines logged. */
TEST_F (InputHistoryFileTest, ErrorsSayWhatFailedOnWhichFile)
{
  const std::string latin1 = dir_ + "/caf\xe9", fifo = dir_ + "/fifo", directory = dir_ + "/directory";
  write_file (latin1, "a file where a directory should be");
  ASSERT_EQ (mkfifo (fifo.c_str (), 0600), 0);
  ASSERT_EQ (g_mkdir (directory.c_str (), 0700), 0);
  const std::pair<std::string, GIOErrorEnum> cases[] = {
    { latin1 + "/history", G_IO_ERROR_NOT_DIRECTORY },
    { directory, G_IO_ERROR_IS_DIRECTORY },
    { fifo, G_IO_ERROR_NOT_REGULAR_FILE },
  };
  LogPipe log;
  for (const auto &[path, code] : cases)
    {
      Store store (path);
      store.append ("x");
      g_autoptr (GError) error = nullptr;
      EXPECT_FALSE (vontle_input_history_file_flush (store.file, &error));
      ASSERT_NE (error, nullptr);
      EXPECT_TRUE (g_error_matches (error, G_IO_ERROR, code)) << error->message;
      g_autofree char *shown = g_filename_display_name (path.c_str ());
      EXPECT_THAT (error->message, HasSubstr (std::string ("Failed to open file \u201c").append (shown)));
      EXPECT_TRUE (g_utf8_validate (error->message, -1, nullptr));
    }
  for (const std::string &line : log.Take ())
    EXPECT_TRUE (g_utf8_validate (line.c_str (), -1, nullptr)) << line;
}

/* A record that a full disk takes half of is cut off again, its line kept
 * until it fits; a sync that keeps failing is logged once, and so is the
 * sync that works again. */
TEST_F (InputHistoryFileTest, HalfWrittenRecordsAreCutOffAndFailingSyncsLoggedOnce)
{
  Store store (path_);
  store.append ("a");
  LogPipe log;
  faults.file = inode_of (path_);
  faults.budget = 3;
  store.append ("bbbbbb");
  faults.budget = -1;
  EXPECT_EQ (contents_of (path_), "a\n");
  EXPECT_EQ (pending_of (store.file), 1u);
  EXPECT_THAT (testing::PrintToString (log.Take ()), HasSubstr (g_strerror (ENOSPC)));

  g_object_set (store.file, "sync", TRUE, nullptr);
  faults.sync_fails = true;
  for (const char *line : { "c", "d", "e" })
    store.append (line);
  faults.sync_fails = false;
  store.append ("f");
  faults.file = 0;
  EXPECT_THAT (log.Take (), ElementsAre (HasSubstr (g_strerror (EIO)), HasSubstr ("written again"),
                                         HasSubstr ("can be synced again")));
  EXPECT_EQ (contents_of (path_), "a\nbbbbbb\nc\nd\ne\nf\n");
}

/* On a file that only takes appends (chattr +a), a record cut short cannot
 * be cut off: it is ended so that it still reads as no entry. */
TEST_F (InputHistoryFileTest, ATornRecordInAnAppendOnlyFileStaysNoEntry)
{
  const std::string torn (4091, 't');
  write_file (path_, std::string ("keep\n").append (torn));
  const int fd = open (path_.c_str (), O_RDONLY);
  int flags = 0;
  if (ioctl (fd, FS_IOC_GETFLAGS, &flags) != 0 || (flags |= FS_APPEND_FL, ioctl (fd, FS_IOC_SETFLAGS, &flags) != 0))
    {
      const int reason = errno;
      close (fd);
      GTEST_SKIP () << "no append-only file (root and a filesystem with file attributes): " << g_strerror (reason);
    }
  Store (path_).append ("new");
  EXPECT_EQ (contents_of (path_), std::string ("keep\n").append (torn).append ("\n\nnew\n"));
  EXPECT_EQ (read_fresh (path_), Lines ({ "keep", "new" }));
  flags &= ~FS_APPEND_FL;
  EXPECT_EQ (ioctl (fd, FS_IOC_SETFLAGS, &flags), 0);
  close (fd);
}

} // namespace
