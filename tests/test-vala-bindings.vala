// SPDX-License-Identifier: LGPL-2.1-or-later
// The library as a Vala program sees it through the generated bindings.
// Each case prints "NAME ... ok" or "NAME ... FAIL" with every mismatch, and
// any failure makes the exit status non-zero.

// A history's storage kept in a Vala array; read_null stands for an empty
// store.
class Store : Vontle.InputHistoryLinesIO {
    public string[] lines;
    public bool read_null = false;

    public Store (string[] lines) {
        this.lines = lines;
    }

    public override void append_line (string line) {
        lines += line;
    }

    public override string[]? read_lines () {
        return read_null ? null : lines;
    }
}

// The reader/writer interface implemented directly, building the list that
// its read hands over.
class ListStore : Object, Vontle.InputHistoryIO {
    public string[] lines = {};

    public void append (string? line) {
        lines += line;
    }

    public Vontle.List? read () {
        var list = Vontle.List.new_with_free (free);
        foreach (unowned string line in lines)
            list.append (line.dup ());
        return list;
    }
}

int mismatches = 0;

void expect (string? got, string? expected, string what) {
    if (got != expected) {
        mismatches++;
        printerr ("  %s: expected \"%s\", got \"%s\"\n", what, expected ?? "(null)", got ?? "(null)");
    }
}

string joined (string[] lines) {
    return string.joinv ("|", lines);
}

void history_kept_in_vala () {
    var store = new Store ({ "open notes", "close" });
    var history = new Vontle.InputHistory (store);
    expect (joined (history.dup_lines ()), "open notes|close", "loaded");
    history.append ("open todo");
    expect (joined (store.lines), "open notes|close|open todo", "stored");
    store.lines = { "written elsewhere" };
    history.append ("open todo");
    expect (joined (history.dup_lines ()), "written elsewhere|open todo", "reloaded");
    store.lines = { "open notes", "close", "open todo" };
    history.reset ();
    expect (history.previous ("op"), "open todo", "previous");
    expect (history.previous ("op"), "open notes", "older");
    expect (history.previous ("op"), null, "past the oldest");
    expect (history.next ("op"), "open todo", "next");
    expect (history.next ("op"), "op", "past the newest");

    store.read_null = true;
    history.append ("lost");
    expect (joined (history.dup_lines ()), "", "nothing stored");
}

void history_over_the_interface () {
    var store = new ListStore ();
    var history = new Vontle.InputHistory (store);
    history.append ("a");
    history.append ("b");
    expect (joined (store.lines), "a|b", "stored");
    unowned Vontle.List entries = history.list ();
    expect (entries.size.to_string (), "2", "entry count");
    expect ((string) entries.nth (1), "b", "newest entry");
}

void search_in_vala () {
    var history = new Vontle.InputHistory (null);
    history.append ("git status");
    history.append ("make");
    var search = new Vontle.InputHistorySearch (history, Vontle.InputHistoryMatchMode.SUBSTRING);
    search.query = "MAKE";
    expect (search.get_n_items ().to_string (), "0", "exact case");
    search.query = "ake";
    var match = (Vontle.InputHistoryMatch) search.get_item (0);
    string offsets = "";
    foreach (uint p in match.get_positions ())
        offsets += p.to_string ();
    expect (match.text + offsets, "make123", "match");
    expect (history.find ("s", Vontle.InputHistoryMatchMode.PREFIX, -1).to_string (), "-1", "find");
}

void template_in_vala () {
    var template = new Vontle.Template ("Hello @name@ from @place@!");
    expect (joined (template.dup_referenced_names ()), "name|place", "names");
    string[] seen = {};
    template.changed.connect ((t) => { seen += t.evaluate () ?? "(not ready)"; });
    if (!template.add_variable ("name") || !template.add_variable ("place"))
        expect ("refused", "added", "add_variable");
    template.set_variable_value ("name", "Ann");
    template.set_variable_value ("place", "Oslo");
    expect (joined (seen), "(not ready)|Hello  from !|Hello Ann from !|Hello Ann from Oslo!", "changed");
    expect (template.evaluate (), "Hello Ann from Oslo!", "evaluate");
}

delegate void Case ();

int failed = 0;

void run (string name, Case body) {
    mismatches = 0;
    body ();
    print ("%s ... %s\n", name, mismatches == 0 ? "ok" : "FAIL");
    if (mismatches > 0)
        failed++;
}

int main () {
    run ("history_kept_in_vala", history_kept_in_vala);
    run ("history_over_the_interface", history_over_the_interface);
    run ("search_in_vala", search_in_vala);
    run ("template_in_vala", template_in_vala);
    return failed == 0 ? 0 : 1;
}
