/* SPDX-License-Identifier: LGPL-2.1-or-later */
#include "vontle-private.h"

#include <utility>

struct _VontleInputHistoryCallbackIO
{
  VontleInputHistoryLinesIO parent_instance;
  VontleAppendLineFunc append_line;
  VontleReadLinesFunc read_lines;
  gpointer user_data;
  GDestroyNotify destroy;
  /* Calls of the functions running now; a detach from inside one releases
   * the user data only when the last returns. */
  unsigned running;
  bool detached;
};

G_DEFINE_TYPE (VontleInputHistoryCallbackIO, vontle_input_history_callback_io,
               VONTLE_TYPE_INPUT_HISTORY_LINES_IO)

namespace {

void
release_user_data (VontleInputHistoryCallbackIO *self)
{
  if (GDestroyNotify destroy = std::exchange (self->destroy, nullptr))
    destroy (std::exchange (self->user_data, nullptr));
  self->user_data = nullptr;
}

/* Counts a call of the host's functions for its length; the object is held,
 * as the function may drop the last reference to it. */
class Running
{
public:
  explicit Running (VontleInputHistoryCallbackIO *self) noexcept
    : self_ (static_cast<VontleInputHistoryCallbackIO *> (g_object_ref (self)))
  {
    self_->running++;
  }
  Running (const Running &) = delete;
  Running &operator= (const Running &) = delete;
  ~Running ()
  {
    if (--self_->running == 0 && self_->detached)
      release_user_data (self_);
    g_object_unref (self_);
  }

private:
  VontleInputHistoryCallbackIO *self_;
};

void
callback_io_append_line (VontleInputHistoryLinesIO *io, const char *line)
{
  auto *self = VONTLE_INPUT_HISTORY_CALLBACK_IO (io);
  if (self->append_line == nullptr)
    return;
  const Running running (self);
  self->append_line (line, self->user_data);
}

char **
callback_io_read_lines (VontleInputHistoryLinesIO *io)
{
  auto *self = VONTLE_INPUT_HISTORY_CALLBACK_IO (io);
  if (self->read_lines == nullptr)
    return nullptr;
  const Running running (self);
  return self->read_lines (self->user_data);
}

void
vontle_input_history_callback_io_finalize (GObject *object)
{
  release_user_data (VONTLE_INPUT_HISTORY_CALLBACK_IO (object));
  G_OBJECT_CLASS (vontle_input_history_callback_io_parent_class)->finalize (object);
}

} // namespace

static void
vontle_input_history_callback_io_class_init (VontleInputHistoryCallbackIOClass *klass)
{
  G_OBJECT_CLASS (klass)->finalize = vontle_input_history_callback_io_finalize;
  auto *lines_class = VONTLE_INPUT_HISTORY_LINES_IO_CLASS (klass);
  lines_class->append_line = callback_io_append_line;
  lines_class->read_lines = callback_io_read_lines;
}

static void
vontle_input_history_callback_io_init (VontleInputHistoryCallbackIO * /*self*/)
{
}

VontleInputHistoryCallbackIO *
vontle_input_history_callback_io_new (VontleAppendLineFunc append_line, VontleReadLinesFunc read_lines,
                                      gpointer user_data, GDestroyNotify destroy)
{
  auto *self = static_cast<VontleInputHistoryCallbackIO *> (
    g_object_new (VONTLE_TYPE_INPUT_HISTORY_CALLBACK_IO, nullptr));
  self->append_line = append_line;
  self->read_lines = read_lines;
  self->user_data = user_data;
  self->destroy = destroy;
  return self;
}

void
vontle_input_history_callback_io_detach (VontleInputHistoryCallbackIO *io)
{
  if (!VONTLE_CHECK (VONTLE_IS_INPUT_HISTORY_CALLBACK_IO (io)))
    return;
  io->append_line = nullptr;
  io->read_lines = nullptr;
  io->detached = true;
  if (io->running == 0)
    release_user_data (io);
}
