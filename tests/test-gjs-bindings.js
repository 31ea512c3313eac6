// SPDX-License-Identifier: LGPL-2.1-or-later
// The library as a JavaScript program sees it under gjs, through GObject
// Introspection. Run with `gjs -m`; each case prints "NAME ... ok" or
// "NAME ... FAIL" and any failure makes the exit status non-zero.
import GLib from 'gi://GLib';
import GObject from 'gi://GObject';
import Vontle from 'gi://Vontle?version=5.0';
import System from 'system';

// A history's storage kept in a JavaScript array; readNull stands for an
// empty store.
const Store = GObject.registerClass(
class Store extends Vontle.InputHistoryLinesIO {
    _init(lines) {
        super._init();
        this.lines = [...lines];
        this.readNull = false;
    }

    vfunc_append_line(line) {
        this.lines.push(line);
    }

    vfunc_read_lines() {
        return this.readNull ? null : this.lines;
    }
});

// A store that keeps the history it serves, which closes a loop of
// references through the history's "io" property.
const KeepingStore = GObject.registerClass(
class KeepingStore extends Store {
    attach(history) {
        this.history = history;
    }
});

// Tells whether an object has been finalized without holding it: a binding
// keeps only a weak pointer to its source. Nothing is ever copied over.
const probe = Vontle.Template.new('');
function watch(object, property) {
    const binding = object.bind_property_full(property, probe, 'base',
        GObject.BindingFlags.DEFAULT, () => [false, null], null);
    return () => binding.dup_source() === null;
}

// Makes a store and a history that refer to each other, drops them, and
// reports whether the history was finalized.
function historyFreedAfterDropping(clearIo) {
    const isFreed = (() => {
        const store = new KeepingStore(['a']);
        const history = Vontle.InputHistory.new(store);
        store.attach(history);
        history.append('b');
        assertEqual(history.dup_lines(), ['a', 'b']);
        if (clearIo)
            history.io = null;
        return watch(history, 'io');
    })();
    System.gc();
    return isFreed();
}

// Does no scan of its base, so it stays ready whatever the base refers to.
const BlindTemplate = GObject.registerClass(
class BlindTemplate extends Vontle.Template {
    vfunc_base_changed() {
    }
});

function assertEqual(actual, expected) {
    const a = JSON.stringify(actual), e = JSON.stringify(expected);
    if (a !== e)
        throw new Error(`expected ${e}, got ${a}`);
}

const cases = {
    model_lists_newest_first_and_reports_appends() {
        const history = Vontle.InputHistory.new(null);
        history.append('make');
        const model = Vontle.InputHistoryModel.new(history);
        const changes = [];
        model.connect('items-changed', (m, ...change) => changes.push(change));
        history.append('ls');
        history.append('make');
        const texts = [];
        for (let i = 0; i < model.get_n_items(); i++)
            texts.push(model.get_item(i).text);
        assertEqual(texts, ['make', 'ls']);
        assertEqual(changes, [[0, 0, 1], [1, 1, 0], [0, 0, 1]]);
    },
    search_as_a_list_model_and_find_stepping() {
        const history = Vontle.InputHistory.new(null);
        for (const line of ['git status', 'make', 'git commit', 'ls'])
            history.append(line);
        const search = Vontle.InputHistorySearch.new(history, Vontle.InputHistoryMatchMode.FUZZY);
        search.query = 'gc';
        const item = search.get_item(0);
        assertEqual([search.get_n_items(), item.text, item.get_positions()], [1, 'git commit', [0, 4]]);
        history.append('git co');
        assertEqual(search.get_item(0).get_text(), 'git co');
        const found = [], mode = Vontle.InputHistoryMatchMode.SUBSTRING;
        for (let i = history.find('git', mode, -1); i >= 0; i = history.find('git', mode, i))
            found.push(i);
        assertEqual(found, [4, 2, 0]);
    },
    storage_in_javascript_loads_receives_and_reloads() {
        const store = new Store(['open notes', 'close']);
        const history = Vontle.InputHistory.new(store);
        assertEqual(history.dup_lines(), ['open notes', 'close']);
        history.append('open todo');
        assertEqual(store.lines, ['open notes', 'close', 'open todo']);
        store.lines.unshift('written elsewhere');
        history.append('close');
        assertEqual(history.dup_lines(), store.lines);
        assertEqual(history.previous('op'), 'open todo');
        assertEqual(history.previous('op'), 'open notes');
        assertEqual(history.previous('op'), null);
        assertEqual(history.next('op'), 'open todo');
        assertEqual(history.next('op'), 'op');
    },

    nothing_stored_leaves_the_history_empty() {
        const store = new Store(['kept']);
        store.readNull = true;
        const history = Vontle.InputHistory.new(store);
        assertEqual(history.dup_lines(), []);
        history.append('line');
        assertEqual(store.lines, ['kept', 'line']);
        assertEqual(history.dup_lines(), []);
        assertEqual(history.previous(''), null);
    },

    history_file_keeps_each_line_once_and_shares_the_file() {
        const dir = GLib.dir_make_tmp('vontle-gjs-XXXXXX');
        const path = GLib.build_filenamev([dir, 'history']);
        const store = Vontle.InputHistoryFile.new(path);
        const history = Vontle.InputHistory.new(store);
        for (const line of ['open a', 'close', 'open a'])
            history.append(line);
        assertEqual(history.dup_lines(), ['close', 'open a']);
        const other = Vontle.InputHistory.new(new Vontle.InputHistoryFile({path, max_entries: 2}));
        other.append('elsewhere');
        history.reset();
        assertEqual(history.dup_lines(), ['close', 'open a', 'elsewhere']);
        assertEqual(other.dup_lines(), ['open a', 'elsewhere']);
        assertEqual(store.pending, 0);
        assertEqual(store.flush(), true);
        GLib.unlink(path);
        GLib.rmdir(dir);
    },

    template_names_and_changed_signal() {
        const template = Vontle.Template.new('Hello @name@ from @place@, @name@!');
        assertEqual(template.dup_referenced_names(), ['name', 'place']);
        const seen = [];
        template.connect('changed', t => seen.push(t.evaluate()));
        template.add_variable('name');
        template.add_variable('place');
        template.set_variable_value('name', 'Ann');
        assertEqual(seen, [null, 'Hello  from , !', 'Hello Ann from , Ann!']);
        template.set_base('plain');
        assertEqual(template.dup_referenced_names(), []);
    },

    raw_pointer_records_are_hidden() {
        assertEqual(['List', 'ListIterator', 'Node'].filter(name => name in Vontle), []);
    },

    store_keeping_its_history_is_freed_once_io_is_cleared() {
        assertEqual(historyFreedAfterDropping(false), false);
        assertEqual(historyFreedAfterDropping(true), true);
    },

    nul_ends_the_argument_and_the_guard_refuses_it() {
        assertEqual(Vontle.escape_string('a b\0c d'), 'a\\ b');
        assertEqual(Vontle.fix_path('~\0root'), Vontle.fix_path('~'));
        function fixPath(path) {
            if (path.includes('\0'))
                throw new Error('a path cannot contain NUL');
            return Vontle.fix_path(path);
        }
        let refused = false;
        try {
            fixPath('~\0root');
        } catch (e) {
            refused = true;
        }
        assertEqual(refused, true);
        assertEqual(fixPath('~/x'), `${Vontle.get_home_directory(null)}/x`);
    },

    read_lines_returns_an_array_made_from_any_iterable() {
        const store = new Store([]);
        store.lines = [...new Set(['open notes', 'close', 'open notes'])];
        assertEqual(Vontle.InputHistory.new(store).dup_lines(), ['open notes', 'close']);
    },

    log_handler_replacing_the_base_during_evaluation() {
        const template = new BlindTemplate();
        const tail = 'x'.repeat(100000);
        template.set_base(`@missing@${tail}@also@`);
        const messages = [];
        const fatal = GLib.log_set_always_fatal(GLib.LogLevelFlags.LEVEL_ERROR);
        // GLib files the library's criticals, which carry no domain, under "".
        const id = GLib.log_set_handler('', GLib.LogLevelFlags.LEVEL_CRITICAL, (domain, level, message) => {
            messages.push(message);
            template.set_base('abcd');
        });
        let text;
        try {
            text = template.evaluate();
        } finally {
            GLib.log_remove_handler('', id);
            GLib.log_set_always_fatal(fatal);
        }
        assertEqual(messages.length, 1);
        assertEqual(text.length, tail.length + '@also@'.length);
        assertEqual(text === `${tail}@also@`, true);
        assertEqual(template.get_base(), 'abcd');
    },

    read_appending_to_its_own_history() {
        let history = null;
        const ReenteringStore = GObject.registerClass(
        class ReenteringStore extends Store {
            vfunc_read_lines() {
                if (history !== null && !this.appended) {
                    this.appended = true;
                    history.append('inner');
                }
                return this.lines;
            }
        });
        const store = new ReenteringStore(['a', 'b']);
        history = Vontle.InputHistory.new(store);
        history.reset();
        assertEqual(store.lines, ['a', 'b', 'inner']);
        assertEqual(history.dup_lines(), ['a', 'b', 'inner']);
    },
};

let failed = 0;
for (const [name, run] of Object.entries(cases)) {
    try {
        run();
        print(`${name} ... ok`);
    } catch (e) {
        failed++;
        print(`${name} ... FAIL\n${e}\n${e.stack}`);
    }
}
System.exit(failed === 0 ? 0 : 1);
