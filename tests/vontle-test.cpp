/* SPDX-License-Identifier: LGPL-2.1-or-later */
#include "vontle-test.h"

#include <cstdio>

#include <gio/gio.h>
#include <unistd.h>

namespace vontle_test {

namespace {

std::vector<LogRecord> recorded;

const char *
field_text (const GLogField *fields, gsize n_fields, const char *key)
{
  for (gsize i = 0; i < n_fields; i++)
    if (g_strcmp0 (fields[i].key, key) == 0)
      return fields[i].length < 0 ? static_cast<const char *> (fields[i].value) : nullptr;
  return nullptr;
}

/* Every message reaches the writer, whether sent through g_log() or the
 * structured API. Criticals and warnings are recorded; the rest goes on to
 * GLib's default writer. */
GLogWriterOutput
record_writer (GLogLevelFlags level, const GLogField *fields, gsize n_fields, gpointer)
{
  if ((level & (G_LOG_LEVEL_CRITICAL | G_LOG_LEVEL_WARNING | G_LOG_LEVEL_ERROR)) == 0)
    return g_log_writer_default (level, fields, n_fields, nullptr);
  const char *domain = field_text (fields, n_fields, "GLIB_DOMAIN");
  const char *message = field_text (fields, n_fields, "MESSAGE");
  recorded.push_back ({ static_cast<GLogLevelFlags> (level & G_LOG_LEVEL_MASK),
                        domain ? domain : "", message ? message : "" });
  return G_LOG_WRITER_HANDLED;
}

void
install_writer_once ()
{
  static bool installed = [] {
    g_log_set_writer_func (record_writer, nullptr, nullptr);
    return true;
  }();
  (void) installed;
}

} // namespace

std::string
AssertionText (const std::string &function, const std::string &condition)
{
  return function + ": assertion '" + condition + "' failed";
}

void
GLibLogTest::SetUp ()
{
  install_writer_once ();
  recorded.clear ();
  saved_log_level_ = vontle_get_log_level ();
}

void
GLibLogTest::TearDown ()
{
  for (const auto &record : recorded)
    ADD_FAILURE () << "unexpected GLib message (level " << record.level << ", domain '"
                   << record.domain << "'): " << record.message;
  recorded.clear ();
  vontle_set_log_level (saved_log_level_);
}

std::vector<LogRecord>
GLibLogTest::TakeMessages ()
{
  std::vector<LogRecord> taken;
  taken.swap (recorded);
  return taken;
}

void
GLibLogTest::ExpectCritical (const std::string &function, const std::string &condition)
{
  auto taken = TakeMessages ();
  ASSERT_EQ (taken.size (), 1u) << "expected one critical: " << AssertionText (function, condition);
  EXPECT_EQ (taken[0].level, G_LOG_LEVEL_CRITICAL);
  EXPECT_EQ (taken[0].domain, "");
  EXPECT_EQ (taken[0].message, AssertionText (function, condition));
}

void
GLibLogTest::ExpectNoMessages ()
{
  for (const auto &record : TakeMessages ())
    ADD_FAILURE () << "unexpected GLib message: " << record.message;
}

StderrCapture::StderrCapture ()
{
  fflush (stderr);
  file_ = tmpfile ();
  if (file_ == nullptr)
    {
      ADD_FAILURE () << "tmpfile failed";
      return;
    }
  saved_fd_ = dup (STDERR_FILENO);
  dup2 (fileno (file_), STDERR_FILENO);
}

StderrCapture::~StderrCapture ()
{
  Finish ();
}

std::string
StderrCapture::Finish ()
{
  if (file_ == nullptr)
    return {};
  fflush (stderr);
  dup2 (saved_fd_, STDERR_FILENO);
  close (saved_fd_);
  saved_fd_ = -1;

  std::string text;
  rewind (file_);
  char buffer[4096];
  size_t n;
  while ((n = fread (buffer, 1, sizeof buffer, file_)) > 0)
    text.append (buffer, n);
  fclose (file_);
  file_ = nullptr;
  return text;
}

void
ModelMirror::on_items_changed (gpointer model, guint position, guint removed, guint added, ModelMirror *self)
{
  self->changes.push_back ({ position, removed, added });
  self->items.erase (self->items.begin () + position, self->items.begin () + position + removed);
  for (guint i = 0; i < added; i++)
    {
      g_autoptr (GObject) item = G_OBJECT (g_list_model_get_item (G_LIST_MODEL (model), position + i));
      g_autofree char *text = nullptr;
      g_object_get (item, "text", &text, nullptr);
      self->items.insert (self->items.begin () + position + i, text);
    }
}

} // namespace vontle_test
