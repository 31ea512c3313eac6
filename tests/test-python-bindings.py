#!/usr/bin/python3
# SPDX-License-Identifier: LGPL-2.1-or-later
"""The library as a Python program sees it, through GObject Introspection."""
import os
import tempfile
import unittest

import gi

gi.require_version('Vontle', '5.0')
from gi.repository import Vontle  # noqa: E402


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
