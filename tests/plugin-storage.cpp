/* SPDX-License-Identifier: LGPL-2.1-or-later */
/* A plugin that keeps input histories in C++ storage, as vontle.hpp has it.
 * Built twice with hidden visibility and loaded with dlopen by
 * test-plugins: nothing of it may outlive dlclose, and two copies racing on
 * first use must not disturb each other. */
#include <vontle/vontle.hpp>

#include <string>
#include <vector>

#define PLUGIN_EXPORT extern "C" __attribute__ ((visibility ("default")))

PLUGIN_EXPORT bool plugin_use (const char *tag);
PLUGIN_EXPORT void plugin_release ();

namespace {

class Store : public vontle::InputHistoryStorage
{
public:
  void append (std::string_view line) override { lines.emplace_back (line); }
  bool read_into (StoredLines &out) override
  {
    out.reserve (lines.size ());
    for (const std::string &line : lines)
      out.add (line);
    return true;
  }
  std::vector<std::string> lines;
};

/* A history that lives from the first use to plugin_release. */
Store *kept_store;
vontle::InputHistory kept_history;

bool
stores (vontle::InputHistory &history, Store &store, const std::string &line)
{
  history.append (line);
  return !store.lines.empty () && store.lines.back () == line && history.dup_lines () == store.lines;
}

} // namespace

/* Appends TAG to a new storage-backed history and to the kept one; true when
 * both stored it and read it back. */
bool
plugin_use (const char *tag)
{
  Store store;
  auto history = vontle::InputHistory::create (store);
  bool ok = stores (history, store, tag) && stores (history, store, "second");
  if (kept_store == nullptr)
    {
      kept_store = new Store;
      kept_history = vontle::InputHistory::create (*kept_store);
    }
  return stores (kept_history, *kept_store, tag) && ok;
}

void
plugin_release ()
{
  kept_history = vontle::InputHistory ();
  delete kept_store;
  kept_store = nullptr;
}
