/* SPDX-License-Identifier: LGPL-2.1-or-later */
/* Shared test fixture: records every GLib log message so tests can assert
 * the exact texts, and fails any test that gets a critical or warning it did
 * not consume; restores the logger's threshold after every test, so a test
 * may set it freely; plus a capture of standard error for the logger's lines. */
#pragma once

#include <gtest/gtest.h>
#include <gmock/gmock.h>

#include <string>
#include <vector>

#include <glib.h>
#include <vontle/vontle.h>

namespace vontle_test {

struct LogRecord
{
  GLogLevelFlags level;
  std::string domain;  /* empty for the NULL domain */
  std::string message;
};

class GLibLogTest : public ::testing::Test
{
protected:
  void SetUp () override;
  void TearDown () override;

  /* Returns and forgets every recorded critical and warning, in order. */
  std::vector<LogRecord> TakeMessages ();

  /* Consumes exactly one critical with a NULL domain that reads
   * "FUNCTION: assertion 'CONDITION' failed"; fails otherwise. */
  void ExpectCritical (const std::string &function, const std::string &condition);

  /* Fails when any critical or warning is pending. */
  void ExpectNoMessages ();

private:
  VontleLogLevel saved_log_level_ = VONTLE_LOG_ERROR;
};

/* Redirects file descriptor 2 for its lifetime; Finish () restores it and
 * returns what was written meanwhile. */
class StderrCapture
{
public:
  StderrCapture ();
  ~StderrCapture ();
  std::string Finish ();

private:
  int saved_fd_ = -1;
  FILE *file_ = nullptr;
};

std::string AssertionText (const std::string &function, const std::string &condition);

/* Takes over a new string and returns it as a std::string; "(null)" for
 * NULL, so a missing result reads plainly in a failure. */
inline std::string
take (char *text)
{
  std::string copy = text != nullptr ? text : "(null)";
  g_free (text);
  return copy;
}

/* What a list view knows of a list model whose items have a "text"
 * property: only what items-changed told it. Connect on_items_changed with
 * the mirror as its data. */
struct ModelMirror
{
  std::vector<std::string> items;
  std::vector<std::vector<guint>> changes; /* position, removed, added */

  static void on_items_changed (gpointer model, guint position, guint removed, guint added, ModelMirror *self);
};

} // namespace vontle_test
