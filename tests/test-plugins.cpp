/* SPDX-License-Identifier: LGPL-2.1-or-later */
/* Two plugins with C++ history storage (plugin-storage.cpp, built twice),
 * each run in a fresh child process so that every run is a first use:
 * threads racing on first use, and one plugin unloaded under the other. Any
 * GLib warning or critical in a child aborts it. */
#include "vontle-test.h"

#include <dlfcn.h>
#include <pthread.h>
#include <sys/wait.h>
#include <unistd.h>

#include <functional>

namespace {

using Use = bool (*) (const char *);
using Release = void (*) ();

struct Plugin
{
  void *module = nullptr;
  Use use = nullptr;
  Release release = nullptr;
};

Plugin
load (const char *path)
{
  Plugin plugin;
  plugin.module = dlopen (path, RTLD_NOW | RTLD_LOCAL);
  if (plugin.module == nullptr)
    return plugin;
  plugin.use = reinterpret_cast<Use> (dlsym (plugin.module, "plugin_use"));
  plugin.release = reinterpret_cast<Release> (dlsym (plugin.module, "plugin_release"));
  return plugin;
}

/* Runs BODY in a child; its exit status 0 means it held. */
int
in_child (const std::function<int ()> &body)
{
  const pid_t pid = fork ();
  if (pid == 0)
    {
      g_log_set_always_fatal (static_cast<GLogLevelFlags> (G_LOG_LEVEL_WARNING | G_LOG_LEVEL_CRITICAL));
      _exit (body ());
    }
  int status = 0;
  waitpid (pid, &status, 0);
  return WIFEXITED (status) ? WEXITSTATUS (status) : 128 + WTERMSIG (status);
}

pthread_barrier_t barrier;

void *
first_use (void *data)
{
  const auto *plugin = static_cast<const Plugin *> (data);
  pthread_barrier_wait (&barrier);
  return reinterpret_cast<void *> (static_cast<uintptr_t> (plugin->use ("first")));
}

int
race_first_uses ()
{
  Plugin a = load (PLUGIN_A), b = load (PLUGIN_B);
  if (a.use == nullptr || b.use == nullptr)
    return 2;
  pthread_barrier_init (&barrier, nullptr, 2);
  pthread_t threads[2];
  pthread_create (&threads[0], nullptr, first_use, &a);
  pthread_create (&threads[1], nullptr, first_use, &b);
  void *results[2];
  for (int i = 0; i < 2; i++)
    pthread_join (threads[i], &results[i]);
  if (results[0] == nullptr || results[1] == nullptr)
    return 3;
  /* Both still store after the race. */
  return a.use ("again") && b.use ("again") ? 0 : 4;
}

int
unload_one_use_the_other ()
{
  Plugin a = load (PLUGIN_A), b = load (PLUGIN_B);
  if (a.use == nullptr || b.use == nullptr || !a.use ("a") || !b.use ("b"))
    return 2;
  a.release ();
  dlclose (a.module);
  /* Really gone: nothing of it pins it in memory. */
  if (dlopen (PLUGIN_A, RTLD_NOW | RTLD_NOLOAD) != nullptr)
    return 3;
  return b.use ("after") && b.use ("after again") ? 0 : 4;
}

class PluginTest : public vontle_test::GLibLogTest
{
};

TEST_F (PluginTest, RacingFirstUsesInTwoPlugins)
{
  for (int run = 0; run < 100; run++)
    ASSERT_EQ (in_child (race_first_uses), 0) << "run " << run;
}

TEST_F (PluginTest, UnloadingOnePluginLeavesTheOtherWorking)
{
  for (int run = 0; run < 10; run++)
    ASSERT_EQ (in_child (unload_one_use_the_other), 0) << "run " << run;
}

} // namespace
