#!/usr/bin/env python3
# SPDX-License-Identifier: LGPL-2.1-or-later
"""The example programs as a user meets them: arguments, standard input, exit
codes and messages. Usage: test-examples.py TEMPLATE_RENDER HISTORY"""
import os
import subprocess
import sys
import tempfile
import unittest

TEMPLATE_RENDER = HISTORY = None


def run(program, *args, stdin=b"", env=None):
    return subprocess.run([program, *args], input=stdin, capture_output=True,
                          env=env, timeout=60)


class TemplateRender(unittest.TestCase):
    def setUp(self):
        self.dir = tempfile.TemporaryDirectory()

    def tearDown(self):
        self.dir.cleanup()

    def path(self, name, content):
        path = os.path.join(self.dir.name, name)
        with open(path, "wb") as f:
            f.write(content)
        return path

    def assert_one_line_error(self, result):
        self.assertNotEqual(result.returncode, 0)
        self.assertEqual(result.stdout, b"")
        self.assertEqual(result.stderr.count(b"\n"), 1, result.stderr)
        self.assertTrue(result.stderr.startswith(b"template-render: "), result.stderr)

    def test_help_prints_usage_and_succeeds(self):
        for flag in ("--help", "-h"):
            result = run(TEMPLATE_RENDER, flag)
            self.assertEqual(result.returncode, 0)
            self.assertTrue(result.stdout.startswith(b"Usage: template-render"))

    def test_pairs_override_the_builtin_values(self):
        result = run(TEMPLATE_RENDER, "who=me")
        self.assertEqual(result.returncode, 0, result.stderr)
        self.assertTrue(result.stdout.startswith(b"Hello world!\n"))
        result = run(TEMPLATE_RENDER, "name=you")
        self.assertEqual(result.returncode, 0, result.stderr)
        self.assertTrue(result.stdout.startswith(b"Hello you!\n"))

    def test_dash_reads_standard_input(self):
        result = run(TEMPLATE_RENDER, "-", "x=1", stdin=b"a @x@ b\n")
        self.assertEqual(result.returncode, 0, result.stderr)
        self.assertEqual(result.stdout, b"a 1 b\n")

    def test_bad_inputs_get_one_line_and_fail(self):
        self.assert_one_line_error(run(TEMPLATE_RENDER, ""))
        self.assert_one_line_error(run(TEMPLATE_RENDER, self.dir.name))
        self.assert_one_line_error(run(TEMPLATE_RENDER, os.path.join(self.dir.name, "none")))
        self.assert_one_line_error(run(TEMPLATE_RENDER, self.path("nul", b"a\0@x@"), "x=1"))
        self.assert_one_line_error(run(TEMPLATE_RENDER, "-", stdin=b"a\0b"))
        if os.geteuid() == 0:
            # Root reads any mode; reading the process's own memory from
            # offset 0 fails instead.
            unreadable = "/proc/self/mem"
        else:
            unreadable = self.path("locked", b"x")
            os.chmod(unreadable, 0)
        self.assert_one_line_error(run(TEMPLATE_RENDER, unreadable))


class History(unittest.TestCase):
    def setUp(self):
        self.dir = tempfile.TemporaryDirectory()
        self.env = dict(os.environ, XDG_STATE_HOME=self.dir.name)

    def tearDown(self):
        self.dir.cleanup()

    def history(self, *args, stdin=b""):
        return run(HISTORY, *args, stdin=stdin, env=self.env)

    def test_help_prints_usage(self):
        result = self.history("--help")
        self.assertEqual(result.returncode, 0)
        self.assertTrue(result.stdout.startswith(b"Usage: history"))

    def test_long_lines_are_read_whole(self):
        line = b"echo " + b"x" * 10000
        result = self.history(stdin=b"add " + line + b"\nlist\nprev echo\n")
        self.assertEqual(result.returncode, 0, result.stderr)
        self.assertEqual(result.stdout, b"  " + line + b"\n" + line + b"\n")
        self.assertEqual(result.stderr, b"")

    def test_add_without_text_is_refused(self):
        result = self.history(stdin=b"add\nadd \nlist\n")
        self.assertNotEqual(result.returncode, 0)
        self.assertIn(b"add needs", result.stderr)
        self.assertEqual(result.stdout, b"")

    def test_a_failed_save_fails(self):
        blocker = os.path.join(self.dir.name, "file")
        open(blocker, "w").close()
        self.env["XDG_STATE_HOME"] = blocker
        result = self.history(stdin=b"add ls\nlist\n")
        self.assertNotEqual(result.returncode, 0)
        self.assertIn(b"cannot save", result.stderr)
        self.assertEqual(result.stdout, b"  ls\n")  # kept in memory meanwhile

    def test_entries_survive_between_runs(self):
        self.assertEqual(self.history(stdin=b"add ls\nadd pwd\n").returncode, 0)
        result = self.history(stdin=b"add ls\nlist\n")
        self.assertEqual(result.stdout, b"  pwd\n  ls\n")
        with open(os.path.join(self.dir.name, "vontle-examples", "history"), "rb") as f:
            self.assertEqual(f.read(), b"ls\npwd\nls\n")

    def test_empty_input_and_the_demo_leave_the_data_directory_alone(self):
        result = self.history()
        self.assertEqual(result.returncode, 0)
        self.assertEqual(result.stdout, b"")
        result = self.history("--demo")
        self.assertEqual(result.returncode, 0, result.stderr)
        self.assertIn(b"> prev git\ngit push\n", result.stdout)
        self.assertEqual(os.listdir(self.dir.name), [])


if __name__ == "__main__":
    TEMPLATE_RENDER, HISTORY = sys.argv[1], sys.argv[2]
    unittest.main(argv=sys.argv[:1], verbosity=2)
