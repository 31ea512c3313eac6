#!/usr/bin/python3
# SPDX-License-Identifier: LGPL-2.1-or-later
"""The library as a Python program sees it, through GObject Introspection."""
import gc
import os
import tempfile
import unittest
import weakref

import gi

gi.require_version('Vontle', '5.0')
from gi.repository import Gio, GLib, Vontle  # noqa: E402


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


class InputHistoryModelTest(unittest.TestCase):
    def test_model_lists_newest_first_and_reports_appends(self):
        history = Vontle.InputHistory.new(None)
        history.append('make')
        model = Vontle.InputHistoryModel.new(history)
        self.assertIsInstance(model, Gio.ListModel)
        changes = []
        model.connect('items-changed', lambda m, *change: changes.append(change))
        history.append('ls')
        history.append('make')
        self.assertEqual([item.props.text for item in model], ['make', 'ls'])
        self.assertEqual(changes, [(0, 0, 1), (1, 1, 0), (0, 0, 1)])
        self.assertIs(model.get_history(), history)



class InputHistorySearchTest(unittest.TestCase):
    def test_search_as_a_list_model_and_find_stepping(self):
        history = Vontle.InputHistory.new(None)
        for line in ('git status', 'make', 'git commit', 'ls'):
            history.append(line)
        search = Vontle.InputHistorySearch.new(
            history, Vontle.InputHistoryMatchMode.FUZZY)
        self.assertIsInstance(search, Gio.ListModel)
        search.props.query = 'gc'
        self.assertEqual([(m.props.text, list(m.get_positions()))
                          for m in search], [('git commit', [0, 4])])
        history.append('git co')
        self.assertEqual(search[0].get_text(), 'git co')
        found, mode = [], Vontle.InputHistoryMatchMode.SUBSTRING
        self.assertEqual(history.find('GIT', mode, -1), -1)  # exact case
        i = history.find('git', mode, -1)
        while i >= 0:
            found.append(i)
            i = history.find('git', mode, i)
        self.assertEqual(found, [4, 2, 0])


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


class HistoryFileTest(unittest.TestCase):
    def setUp(self):
        self.dir = tempfile.TemporaryDirectory()
        self.path = os.path.join(self.dir.name, 'state', 'history')

    def tearDown(self):
        self.dir.cleanup()

    def test_duplicates_escapes_and_a_second_instance(self):
        store = Vontle.InputHistoryFile.new(self.path)
        history = Vontle.InputHistory.new(store)
        for line in ['open a', 'close', 'open a', 'two\nlines\\']:
            history.append(line)
        self.assertEqual(history.dup_lines(), ['close', 'open a', 'two\nlines\\'])
        with open(self.path, 'rb') as f:
            self.assertEqual(f.read(), b'open a\nclose\nopen a\ntwo\\nlines\\\\\n')
        other = Vontle.InputHistory.new(Vontle.InputHistoryFile(path=self.path, max_entries=2))
        other.append('from the other')
        history.append('close')
        self.assertEqual(history.dup_lines(), ['two\nlines\\', 'from the other', 'close'])
        self.assertEqual(other.dup_lines(), ['two\nlines\\', 'from the other'])  # until it resets
        other.reset()
        self.assertEqual(other.dup_lines(), ['from the other', 'close'])

    def test_a_failing_write_keeps_the_line_pending(self):
        os.makedirs(self.dir.name, exist_ok=True)
        with open(os.path.join(self.dir.name, 'state'), 'w'):
            pass                          # a file where the directory should be
        store = Vontle.InputHistoryFile.new(self.path)
        history = Vontle.InputHistory.new(store)
        history.append('typed')
        self.assertEqual(store.props.pending, 1)
        self.assertEqual(history.dup_lines(), ['typed'])
        with self.assertRaises(GLib.Error) as raised:
            store.flush()
        self.assertIn(self.path, raised.exception.message)
        os.remove(os.path.join(self.dir.name, 'state'))
        self.assertTrue(store.flush())
        self.assertEqual(store.props.pending, 0)
        with open(self.path) as f:
            self.assertEqual(f.read(), 'typed\n')

    def test_application_store_in_the_state_directory(self):
        os.environ['XDG_STATE_HOME'] = self.dir.name
        store = Vontle.InputHistoryFile.new_for_application('org.example.App')
        self.assertEqual(store.get_path(), os.path.join(self.dir.name, 'org.example.App', 'history'))
        self.assertEqual(store.props.max_entries, 10000)


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


class WeakStore(Store):
    """The documented way for a store to keep its history: weakly."""

    def attach(self, history):
        self._history = weakref.ref(history)


class StrongStore(Store):
    def attach(self, history):
        self.kept = history


class BindingPitfallTest(unittest.TestCase):
    """The pitfalls that the reference documents, and their workarounds."""

    def test_raw_pointer_records_are_hidden(self):
        for name in ('List', 'ListIterator', 'Node'):
            self.assertFalse(hasattr(Vontle, name), name)

    def freed_after_dropping(self, store_class, clear_io):
        """Which of the store and its history are finalized once dropped."""
        freed = []
        store = store_class(['a'])
        history = Vontle.InputHistory.new(store)
        store.attach(history)
        history.append('b')
        self.assertEqual(history.dup_lines(), ['a', 'b'])
        store.weak_ref(freed.append, 'store')
        history.weak_ref(freed.append, 'history')
        if clear_io:
            history.props.io = None
        del store, history
        gc.collect()
        return sorted(freed)

    def test_store_keeping_its_history(self):
        self.assertEqual(self.freed_after_dropping(StrongStore, clear_io=False), [])
        self.assertEqual(self.freed_after_dropping(StrongStore, clear_io=True), ['history', 'store'])
        self.assertEqual(self.freed_after_dropping(WeakStore, clear_io=False), ['history', 'store'])

    def test_nul_ends_the_argument_and_the_guard_refuses_it(self):
        self.assertEqual(Vontle.escape_string('a b\0c d'), 'a\\ b')
        self.assertEqual(Vontle.fix_path('~\0root'), Vontle.fix_path('~'))

        def fix_path(path):
            if '\0' in path:
                raise ValueError('a path cannot contain NUL')
            return Vontle.fix_path(path)

        self.assertRaises(ValueError, fix_path, '~\0root')
        self.assertEqual(fix_path('~/x'), os.path.join(Vontle.get_home_directory(None), 'x'))

    def test_read_lines_takes_only_a_list_as_lines(self):
        lines = ('open notes', 'close')
        table = (
            ('abc', ['a', 'b', 'c']),          # one entry per character
            (lines, list('open notes')),       # (result, out arguments...)
            (list(lines), ['open notes', 'close']),
        )
        for returned, loaded in table:
            store = Store([])
            store.lines = returned              # what do_read_lines returns
            self.assertEqual(Vontle.InputHistory.new(store).dup_lines(), loaded, repr(returned))


if __name__ == '__main__':
    unittest.main(verbosity=2)
