#!/usr/bin/python3
# SPDX-License-Identifier: LGPL-2.1-or-later
"""Prints the library/floor ratio table from Google Benchmark JSON files.

Usage: bench-table.py RESULT_DIR

RESULT_DIR holds run-<k>/<binary>.json, one directory per run of every
benchmark binary, each written with repetitions and aggregates. For each
pair below and each argument both sides ran with, the ratio of one run is
the library's median CPU time over the floor's (wall time for the rows
in WALL_TIME, whose work runs in child processes); the table shows the median
of those ratios over all runs, and their range.
"""

import json
import statistics
import sys
from pathlib import Path

# (path, library benchmark, floor benchmark, goal or None for a reference row;
# a goal that differs with the argument is a dict from argument to goal)
PAIRS = [
    ("list append (grow by one)", "BM_ListAppend", "BM_GPtrArrayAppend", 1.5),
    ("sorted insertion", "BM_SortedListInsert", "BM_SortedArrayFloor", 1.5),
    ("sorted insertion vs GSequence (reference)", "BM_SortedListInsert",
     "BM_GSequenceInsertSorted", None),
    ("vontle_list_position", "BM_ListPosition", "BM_HandPosition", 1.2),
    ("vontle_list_find", "BM_ListFind", "BM_HandFind", 1.2),
    ("history previous, 100 000 entries, 14-byte stem, no match",
     "BM_HistoryPreviousStemMiss", "BM_HandPrefixScanStemMiss", 1.2),
    ("history previous, 100 000 entries, first byte differs",
     "BM_HistoryPreviousFirstByteMiss", "BM_HandPrefixScanFirstByteMiss", 1.2),
    ("history previous, 100 000 entries, oldest matches (+ reset)",
     "BM_HistoryPreviousOldestOnly", "BM_HandPrefixScanOldestOnly", 1.2),
    ("history append with a list model attached vs without, 100 000 entries, new line",
     "BM_HistoryAppendNewWithModel", "BM_HistoryAppendNew", 1.3),
    ("history append with a list model attached vs without, 100 000 entries, repeated line",
     "BM_HistoryAppendRepeatedWithModel", "BM_HistoryAppendRepeated", 1.3),
    ("history load through the lines reader/writer vs the same strings into a GPtrArray",
     "BM_HistoryLoadLines", "BM_GPtrArrayLoadLines", 1.5),
    ("template evaluate, 1 MB, 10 000 refs, 100 vars",
     "BM_TemplateEvaluate", "BM_HandSubstitute", 2.0),
    ("template setup: set a base of n distinct names, add each as a variable",
     "BM_TemplateSetup", "BM_HandSetup", 2.0),
    ("template new, short base (2 names)",
     "BM_TemplateShortBase", "BM_HandShortBase", None),
    ("C++ range-for over a list vs C loop over its fields",
     "BM_ListWalkCxx", "BM_ListWalkFields", 1.05),
    ("C++ range-for over a list vs vontle_list_size/nth calls (reference)",
     "BM_ListWalkCxx", "BM_ListWalkCalls", None),
    ("C++ ListIterator walk vs vontle_list_iterator_* calls",
     "BM_ListIteratorWalkCxx", "BM_ListIteratorWalkC", 1.05),
    ("C++ Template::evaluate vs vontle_template_evaluate",
     "BM_TemplateEvaluateCxx", "BM_TemplateEvaluate", 1.05),
    ("C++ storage read_into vs C lines store, reset of 100 000 entries",
     "BM_StorageReadCxx", "BM_StorageReadC", 1.1),
    ("C++ storage read () returning a vector vs C lines store (reference)",
     "BM_StorageReadCxxVector", "BM_StorageReadC", None),
    ("vontle_log below the threshold", "BM_LogBelowThreshold", "BM_EmptyCall", 2.0),
    ("vontle_escape_string, 1 MB", "BM_EscapeString", "BM_HandEscape", 2.0),
    ("vontle_replace_substring, 1 MB vs g_string_replace",
     "BM_ReplaceSubstring", "BM_GStringReplace", 2.0),
    ("vontle_replace_substring, 1 MB vs strstr loop (reference)",
     "BM_ReplaceSubstring", "BM_HandReplace", None),
    ("history search, substring, 1 000 000 lines, vs lowering + strstr",
     "BM_SearchSubstring", "BM_HandLowerStrstr", 1.5),
    ("history search, prefix, 1 000 000 lines, vs lowering + compare",
     "BM_SearchPrefix", "BM_HandLowerPrefix", 1.5),
    ("history search, fuzzy, 1 000 000 lines, vs ASCII subsequence loop",
     "BM_SearchFuzzy", "BM_HandSubsequence", 3.0),
    ("history search, query refined by one character, vs the bare loop over the current matches",
     "BM_SearchRefine", "BM_HandLowerStrstrOverMatches", 2.0),
    ("history search, substring, vs GtkFilterListModel + GtkStringFilter",
     "BM_SearchSubstring", "BM_GtkFilterListModelSubstring", 1.0),
    ("history search, incremental fuzzy pass, longest main-loop slice, vs 4 ms",
     "BM_SearchIncrementalLongestSlice", "BM_FourMilliseconds", 1.0),
    ("history append at the cap, GtkListView attached, vs the same change to a GtkStringList",
     "BM_HistoryListViewAppendAtCap", "BM_StringListViewAppendAtCap", {"100000": 2.0, "1000000": 3.0}),
    ("history append at the cap, GtkListView attached, vs the string list's change plus the store's read (reference)",
     "BM_HistoryListViewAppendAtCap", "BM_StringListViewAppendAtCapWithRead", None),
    ("history file append, 100 000 entries, vs in-memory lines store",
     "BM_HistoryFileAppend", "BM_HistoryMemoryLinesAppend", 1.5),
    ("history file store append alone, 100 000 entries, vs open + flock + write + close (reference)",
     "BM_HistoryFileIOAppend", "BM_BareLockedAppend", None),
    ("history file first load, 100 000 lines, 5 MB, 25 000 distinct, vs read + GHashTable",
     "BM_HistoryFileFirstLoad", "BM_HandLoadDeduplicated", 2.0),
    ("history file, 8 processes x 1 000 appends, wall time, vs bare O_APPEND writes (reference)",
     "BM_HistoryFileEightProcesses", "BM_BareAppendEightProcesses", None),
    ("history file append while a stuck process holds the lock, wall time, vs one 50 ms frame",
     "BM_HistoryFileAppendLockHeld", "BM_OneFrame", 1.2),
]

# Rows whose work runs in child processes, or that wait, compare wall time:
# the parent's CPU time would leave it out. The slice rows report the
# longest main-loop iteration as their (manual) time.
WALL_TIME = {"BM_HistoryFileEightProcesses", "BM_BareAppendEightProcesses",
             "BM_HistoryFileAppendLockHeld", "BM_OneFrame",
             "BM_SearchIncrementalLongestSlice", "BM_FourMilliseconds"}


def load_run(directory):
    """Median CPU time per benchmark run name, in nanoseconds."""
    medians = {}
    for path in sorted(directory.glob("*.json")):
        text = path.read_text()
        if not text.strip():
            continue  # a program whose benchmarks a filter left out writes nothing
        data = json.loads(text)
        for entry in data.get("benchmarks", []):
            if entry.get("aggregate_name") != "median" or entry.get("error_occurred"):
                continue
            scale = {"ns": 1, "us": 1e3, "ms": 1e6, "s": 1e9}[entry.get("time_unit", "ns")]
            base = entry["run_name"].partition("/")[0]
            time = entry["real_time"] if base in WALL_TIME else entry["cpu_time"]
            medians[entry["run_name"]] = time * scale
    return medians


def split_name(run_name):
    base, _, argument = run_name.partition("/")
    return base, argument


def format_time(nanoseconds):
    for unit, scale in (("s", 1e9), ("ms", 1e6), ("us", 1e3)):
        if nanoseconds >= scale:
            return f"{nanoseconds / scale:.3g} {unit}"
    return f"{nanoseconds:.3g} ns"


def format_ratio(ratio):
    return f"{ratio:.2f}x" if ratio >= 0.1 else f"{ratio:.2g}x"


def main():
    if len(sys.argv) != 2:
        sys.exit(__doc__)
    runs = [load_run(d) for d in sorted(Path(sys.argv[1]).glob("run-*")) if d.is_dir()]
    runs = [run for run in runs if run]
    if not runs:
        sys.exit("bench-table: no results found")

    print(f"Ratios: library median CPU time / floor median CPU time, "
          f"median over {len(runs)} run(s) [min-max].\n")
    print("| Path | n | library | floor | ratio | range | goal | |")
    print("|---|---:|---:|---:|---:|---|---:|---|")
    misses = 0
    for label, library, floor, goal in PAIRS:
        arguments = sorted({split_name(name)[1] for run in runs for name in run
                            if split_name(name)[0] == library},
                           key=lambda a: (len(a), a))
        for argument in arguments:
            suffix = f"/{argument}" if argument else ""
            pairs = [(run[library + suffix], run[floor + suffix]) for run in runs
                     if library + suffix in run and floor + suffix in run]
            if not pairs:
                continue
            ratios = [lib / flo for lib, flo in pairs]
            ratio = statistics.median(ratios)
            lib_time = statistics.median(lib for lib, _ in pairs)
            floor_time = statistics.median(flo for _, flo in pairs)
            # A goal may differ with the argument: {argument: goal}.
            row_goal = goal.get(argument) if isinstance(goal, dict) else goal
            if row_goal is None:
                verdict, goal_text = "reference", "-"
            else:
                verdict = "met" if ratio <= row_goal else "MISSED"
                misses += verdict == "MISSED"
                goal_text = f"<= {row_goal:g}x"
            print(f"| {label} | {argument or '-'} | {format_time(lib_time)} | "
                  f"{format_time(floor_time)} | {format_ratio(ratio)} | "
                  f"{format_ratio(min(ratios))}-{format_ratio(max(ratios))} | {goal_text} | {verdict} |")
    print(f"\n{misses} row(s) above the goal.")


if __name__ == "__main__":
    main()
