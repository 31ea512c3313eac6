#!/usr/bin/python3
# SPDX-License-Identifier: LGPL-2.1-or-later
"""The library as a Python program sees it, through GObject Introspection."""
import os
import tempfile
import unittest

import gi

gi.require_version('Vontle', '5.0')
from gi.repository import GLib, Vontle  # noqa: E402


class TemplateTest(unittest.TestCase):
    def test_changed_handler_sees_the_new_evaluation(self):
        template = Vontle.Template.new('Hello @name@!')
        seen = []
        template.connect('changed', lambda t: seen.append(t.evaluate()))
        self.assertTrue(template.add_variable('name'))
        template.set_variable_value('name', 'world')
        self.assertEqual(seen, ['Hello !', 'Hello world!'])
        self.assertFalse(template.add_variable('name'))

    def test_base_property_and_refused_evaluation(self):
        template = Vontle.Template.new(None)
        self.assertEqual(template.props.base, '')
        template.props.base = '@a@ and @b@'
        self.assertEqual(template.get_base(), '@a@ and @b@')
        self.assertIsNone(template.evaluate())  # neither variable exists
        for name, value in (('a', '1'), ('b', '2')):
            template.add_variable(name)
            template.set_variable_value(name, value)
        self.assertEqual(template.evaluate(), '1 and 2')


class InputHistoryTest(unittest.TestCase):
    def test_prefix_navigation_without_reader_writer(self):
        history = Vontle.InputHistory.new(None)
        for line in ('open notes', 'close', 'open todo'):
            history.append(line)
        self.assertEqual(history.previous('op'), 'open todo')
        self.assertEqual(history.previous('op'), 'open notes')
        self.assertIsNone(history.previous('op'))
        self.assertEqual(history.next('op'), 'open todo')
        self.assertEqual(history.next('op'), 'op')


class Store(Vontle.InputHistoryLinesIO):
    """A history's storage kept in a Python list; read_null stands for an empty store."""

    def __init__(self, lines):
        super().__init__()
        self.lines = list(lines)
        self.read_null = False

    def do_append_line(self, line):
        self.lines.append(line)

    def do_read_lines(self):
        return None if self.read_null else self.lines


class StoredHistoryTest(unittest.TestCase):
    def test_storage_in_python_loads_receives_and_reloads(self):
        store = Store(['open notes', 'close'])
        history = Vontle.InputHistory.new(store)
        self.assertEqual(history.dup_lines(), ['open notes', 'close'])
        history.append('open todo')
        self.assertEqual(store.lines, ['open notes', 'close', 'open todo'])
        store.lines.insert(0, 'written elsewhere')
        history.append('close')  # moves to the end here; the store keeps both
        self.assertEqual(history.dup_lines(), store.lines)
        self.assertEqual(history.previous('op'), 'open todo')
        self.assertEqual(history.previous('op'), 'open notes')
        self.assertIsNone(history.previous('op'))
        self.assertEqual(history.next('op'), 'open todo')
        self.assertEqual(history.next('op'), 'op')

    def test_nothing_stored_leaves_the_history_empty(self):
        store = Store(['kept'])
        store.read_null = True
        history = Vontle.InputHistory.new(store)
        self.assertEqual(history.dup_lines(), [])
        history.append('line')
        self.assertEqual(store.lines, ['kept', 'line'])
        self.assertEqual(history.dup_lines(), [])
        self.assertIsNone(history.previous(''))

    def test_referenced_names(self):
        template = Vontle.Template.new('@b@ and @a@, @b@')
        self.assertEqual(template.dup_referenced_names(), ['b', 'a'])
        template.set_base('none')
        self.assertEqual(template.dup_referenced_names(), [])


class BlindTemplate(Vontle.Template):
    """Does no scan of its base, so it stays ready whatever the base refers to."""

    def do_base_changed(self):
        pass


class HostCallbackTest(unittest.TestCase):
    def with_critical_handler(self, handler, run):
        """Runs RUN with HANDLER receiving the criticals, which then do not abort."""
        fatal = GLib.log_set_always_fatal(GLib.LogLevelFlags.LEVEL_ERROR)
        # GLib files the library's criticals, which carry no domain, under "".
        handler_id = GLib.log_set_handler('', GLib.LogLevelFlags.LEVEL_CRITICAL, handler, None)
        try:
            return run()
        finally:
            GLib.log_remove_handler('', handler_id)
            GLib.log_set_always_fatal(fatal)

    def test_log_handler_replacing_the_base_during_evaluation(self):
        template = BlindTemplate()
        tail = 'x' * 100000
        template.set_base('@missing@' + tail + '@also@')
        messages = []

        def handler(domain, level, message, data):
            messages.append(message)
            template.set_base('abcd')
        text = self.with_critical_handler(handler, template.evaluate)
        self.assertEqual(len(messages), 1)
        self.assertEqual(len(text), len(tail) + len('@also@'))
        self.assertEqual(text, tail + '@also@')
        self.assertEqual(template.get_base(), 'abcd')

    def test_read_appending_to_its_own_history(self):
        history = None

        class ReenteringStore(Store):
            appended = False

            def do_read_lines(self):
                if history is not None and not self.appended:
                    self.appended = True
                    history.append('inner')
                return self.lines
        store = ReenteringStore(['a', 'b'])
        history = Vontle.InputHistory.new(store)
        history.reset()
        self.assertEqual(store.lines, ['a', 'b', 'inner'])
        self.assertEqual(history.dup_lines(), ['a', 'b', 'inner'])


class UtilityTest(unittest.TestCase):
    def test_strings(self):
        self.assertEqual(Vontle.escape_string("it's #1"), "it\\'s\\ \\#1")
        self.assertEqual(Vontle.replace_substring('aaa', 'aa', 'b'), 'ba')
        self.assertIsNone(Vontle.replace_substring('a', None, 'b'))

    def test_paths(self):
        self.assertEqual(Vontle.fix_path('~/x'), os.path.join(Vontle.get_home_directory(None), 'x'))
        with tempfile.TemporaryDirectory() as directory:
            previous = os.getcwd()
            os.chdir(directory)
            try:
                self.assertEqual(Vontle.fix_path('a/../b'), os.path.join(os.getcwd(), 'a/../b'))
            finally:
                os.chdir(previous)
        os.environ['XDG_DATA_DIRS'] = '/opt/share'
        self.assertEqual(Vontle.get_xdg_path(Vontle.XdgPath.DATA_DIRS), '/opt/share')

    def test_version_and_log_level(self):
        self.assertEqual(Vontle.version(), '2026.02.04')
        self.assertEqual(Vontle.get_log_level(), Vontle.LogLevel.ERROR)
        Vontle.set_log_level(Vontle.LogLevel.DEBUG)
        self.assertEqual(Vontle.get_log_level(), Vontle.LogLevel.DEBUG)


if __name__ == '__main__':
    unittest.main(verbosity=2)
