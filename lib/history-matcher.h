/* SPDX-License-Identifier: LGPL-2.1-or-later */
/* The test of a history line against a search query: prefix, substring or
 * fuzzy, with smartcase, and the fuzzy score. Not installed. */
#pragma once

#include <glib.h>

#include "history-buffer.h"
#include <vontle/input-history-search.h>

namespace vontle {

/* A query ready to test lines. A query with no upper-case letter folds
 * case (Unicode case folding, one character at a time, so that "ß" meets
 * "SS"); one with an upper-case letter compares bytes as they are. An empty
 * query, or one that is not valid UTF-8, matches nothing.
 *
 * Lines that are all ASCII take a path that lowers letters in place; a line
 * with another byte is folded into a copy first. The scratch buffer makes
 * a query single-threaded: each search and each find has its own. */
class HistoryQuery
{
public:
  HistoryQuery (const char *text, VontleInputHistoryMatchMode mode);
  HistoryQuery (const HistoryQuery &) = delete;
  HistoryQuery &operator= (const HistoryQuery &) = delete;

  [[nodiscard]] bool matches_nothing () const noexcept { return !usable_; }

  /* Whether LINE matches; on a fuzzy match *SCORE is the line's score,
   * otherwise 0. A null line matches nothing. */
  bool test (const char *line, guint32 *score);

  /* The byte offsets, ascending, of the characters of LINE that match, or
   * nothing when it does not match. */
  [[nodiscard]] Buffer<guint> positions (const char *line) const;

  /* Whether every line this query matches is matched by PREVIOUS too,
   * because it only adds characters at the end of PREVIOUS's text under the
   * same mode and case rule. */
  [[nodiscard]] bool refines (const HistoryQuery &previous) const noexcept;

private:
  bool test_ascii (const char *line, guint32 *score);
  bool test_ascii_prefix (const char *line, guint32 *score);
  bool test_ascii_substring (const char *line, guint32 *score);
  bool test_ascii_fuzzy (const char *line, guint32 *score);
  bool test_folded (const char *line, guint32 *score);
  bool test_text (const char *text, size_t length, guint32 *score) const;

  Buffer<char> raw_;     /* as given */
  Buffer<char> pattern_; /* folded when folds_; followed by a zero */
  VontleInputHistoryMatchMode mode_;
  bool usable_ = false;
  bool folds_ = false;
  Buffer<char> scratch_;
};

/* The sort key of a fuzzy match: the score first, then shorter lines. A
 * higher key ranks first. */
guint32 fuzzy_rank_key (guint32 score, size_t line_length) noexcept;

/* A new item for LINE with the matched characters QUERY finds in it. */
VontleInputHistoryMatch *match_item_new (const char *line, const HistoryQuery &query);

} // namespace vontle
