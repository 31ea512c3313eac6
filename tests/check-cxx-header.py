#!/usr/bin/env python3
# SPDX-License-Identifier: LGPL-2.1-or-later
"""Builds programs against vontle.hpp outside the meson build, with compilers
and settings that one build cannot have at once.

  client INCLUDE... -- LIBDIR SOURCE PLAIN
      builds SOURCE with g++ (C++17, C++20) and clang++ (C++20, with libstdc++
      and with libc++), each with and without exceptions, under ASan and
      UBSan, linked after PLAIN built without exceptions, and runs each
      program. A compiler that is not installed is
      reported and skipped; when none is, the test is skipped (77).
  refusals INCLUDE... -- FILE
      FILE holds snippets, each starting with a line "//// NAME: WORD"; those
      named "accept-..." must compile, every other must fail to compile with
      an error that mentions WORD (so that a typo cannot pass as a refusal).
      Those named "clang-..." are compiled with clang++ (skipped without it).
  size INCLUDE... -- RATIO
      preprocesses a C++17 unit that includes only vontle/vontle.hpp and one
      that includes only vontle/vontle.h with g++ (libstdc++), and fails when
      the first has more than RATIO times the lines of the second.
"""
import os
import re
import shutil
import subprocess
import sys
import tempfile

WARNINGS = ['-Wall', '-Wextra', '-Wpedantic', '-Werror']


def glib_flags(kind):
    return subprocess.run(['pkg-config', kind, 'gobject-2.0', 'gio-2.0'], check=True,
                          capture_output=True, text=True).stdout.split()


def split_args(argv):
    at = argv.index('--')
    return ['-I' + d for d in argv[:at]], argv[at + 1:]


def has_stdlib(compiler, stdlib, tmp):
    probe = os.path.join(tmp, 'probe.cpp')
    with open(probe, 'w') as f:
        f.write('#include <string>\nint main () { return std::string ().size (); }\n')
    return subprocess.run([compiler, '-stdlib=' + stdlib, probe, '-o', probe + '.out'],
                          capture_output=True).returncode == 0


def client(includes, libdir, source, plain):
    variants = []
    for compiler, std, stdlib in (('g++', 'c++17', None), ('g++', 'c++20', None),
                                  ('clang++', 'c++20', None), ('clang++', 'c++20', 'libc++')):
        for eh in ('-fexceptions', '-fno-exceptions'):
            variants.append((compiler, std, stdlib, eh))
    env = dict(os.environ, LD_LIBRARY_PATH=libdir, G_SLICE='always-malloc',
               ASAN_OPTIONS='detect_leaks=1:abort_on_error=1',
               UBSAN_OPTIONS='halt_on_error=1:print_stacktrace=1')
    # A library built with GCC's AddressSanitizer carries GCC's runtime, which
    # clang's cannot join in one process: clang's clients then build without
    # sanitizers (they run under them against an uninstrumented library).
    ldd = subprocess.run(['ldd', os.path.join(libdir, 'libvontle.so')], capture_output=True, text=True)
    gcc_asan = 'libasan' in ldd.stdout
    built = 0
    failed = []
    with tempfile.TemporaryDirectory() as tmp:
        for compiler, std, stdlib, eh in variants:
            name = f'{compiler} -std={std}{" -stdlib=" + stdlib if stdlib else ""} {eh}'
            if shutil.which(compiler) is None or (stdlib and not has_stdlib(compiler, stdlib, tmp)):
                print(f'skipped (not installed): {name}')
                continue
            program = os.path.join(tmp, 'client')
            sanitize = ['-fsanitize=address,undefined', '-fno-sanitize-recover=all']
            if gcc_asan and compiler.startswith('clang'):
                sanitize = []
                name += ' (no sanitizer: the library carries GCC\'s ASan runtime)'
            flags = ([compiler, f'-std={std}', '-g'] + sanitize + (['-stdlib=' + stdlib] if stdlib else [])
                     + WARNINGS + includes + glib_flags('--cflags'))
            plain_object = os.path.join(tmp, 'plain.o')
            result = subprocess.run(flags + ['-fno-exceptions', '-c', plain, '-o', plain_object],
                                    capture_output=True, text=True)
            if result.returncode == 0:
                command = flags + [eh, plain_object, source, '-o', program, '-L' + libdir, '-lvontle']
                result = subprocess.run(command + glib_flags('--libs'), capture_output=True, text=True)
            if result.returncode != 0:
                failed.append(name)
                print(f'FAIL to build: {name}\n{result.stderr}')
                continue
            built += 1
            run_env = env
            if not sanitize:
                # The library's runtime is loaded after the program's libraries.
                run_env = dict(env, ASAN_OPTIONS=env['ASAN_OPTIONS'] + ':verify_asan_link_order=0')
            run = subprocess.run([program], capture_output=True, text=True, env=run_env)
            ok = run.returncode == 0
            print(f'{"ok" if ok else "FAIL"}: {name}: {run.stdout.strip()}')
            if not ok:
                failed.append(name)
                print(run.stderr)
    if failed:
        return 1
    return 0 if built else 77


def refusals(includes, path):
    with open(path) as f:
        text = f.read()
    snippets = []
    for chunk in re.split(r'^//// ', text, flags=re.M)[1:]:
        header, _, body = chunk.partition('\n')
        name, _, word = header.partition(':')
        snippets.append((name.strip(), word.strip(), body))
    failed = 0
    with tempfile.TemporaryDirectory() as tmp:
        for name, word, body in snippets:
            source = os.path.join(tmp, 'snippet.cpp')
            with open(source, 'w') as f:
                f.write('#include <vontle/vontle.hpp>\n' + body)
            compiler = 'clang++' if name.startswith('clang-') else 'c++'
            if shutil.which(compiler) is None:
                print(f'skipped (no {compiler}): {name}')
                continue
            result = subprocess.run([compiler, '-std=c++20', '-fsyntax-only'] + WARNINGS + includes
                                    + glib_flags('--cflags') + [source],
                                    capture_output=True, text=True)
            should_compile = name.startswith('accept-')
            ok = (result.returncode == 0) == should_compile
            if not should_compile and word not in result.stderr:
                ok = False
            print(f'{"ok" if ok else "FAIL"}: {name}: '
                  f'{"compiles" if result.returncode == 0 else "refused"}')
            if not ok:
                failed += 1
                print(result.stderr)
    return 1 if failed else 0


def size(includes, ratio):
    if shutil.which('g++') is None:
        return 77
    lines = {}
    with tempfile.TemporaryDirectory() as tmp:
        for header in ('vontle.h', 'vontle.hpp'):
            source = os.path.join(tmp, 'unit.cpp')
            with open(source, 'w') as f:
                f.write(f'#include <vontle/{header}>\n')
            result = subprocess.run(['g++', '-std=c++17', '-E'] + includes + glib_flags('--cflags') + [source],
                                    check=True, capture_output=True, text=True)
            lines[header] = result.stdout.count('\n')
    measured = lines['vontle.hpp'] / lines['vontle.h']
    print(f'vontle.hpp: {lines["vontle.hpp"]} lines, vontle.h: {lines["vontle.h"]}: {measured:.2f}x '
          f'(at most {ratio}x)')
    return 0 if measured <= float(ratio) else 1


def main():
    mode, rest = sys.argv[1], sys.argv[2:]
    includes, args = split_args(rest)
    if mode == 'client':
        return client(includes, *args)
    if mode == 'size':
        return size(includes, *args)
    return refusals(includes, *args)


if __name__ == '__main__':
    sys.exit(main())
