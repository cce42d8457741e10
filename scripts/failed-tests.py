#!/usr/bin/env python3
"""Prints what each failing test said in a build folder's last ctest run.

The run's own output holds it too, but far from its end, where a log's tail is read. A test
that failed and then passed when run again is listed with what it said the first time.
Usage: failed-tests.py BUILD_FOLDER
"""
import pathlib
import sys

LIMIT = 40  # lines per test


def runs(log):
    """Yields (test name, passed, output lines) for every run of a test in LastTest.log."""
    name, lines, inside, ended = None, [], False, False
    for line in log.splitlines():
        if ' Testing: ' in line:
            name, lines, inside, ended = None, [], False, False
        elif ' Test: ' in line and name is None:
            name = line.split(' Test: ', 1)[1].strip()
        elif line == 'Output:':
            inside = True
        elif line == '<end of output>':
            inside, ended = False, True
        elif inside and not line.startswith('-' * 20):
            lines.append(line)
        elif ended and line.startswith('Test ') and line.endswith('.') and ' time ' not in line:
            yield name, line == 'Test Passed.', lines
            ended = False


def failure_lines(lines):
    """From the first failure to gtest's verdict, or the end of what a stopped test printed."""
    start = next((i for i, l in enumerate(lines) if 'Failure' in l or l.startswith('FAIL')), None)
    shown = lines[start:start + LIMIT] if start is not None else lines[-LIMIT:]
    end = next((i for i, l in enumerate(shown) if l.startswith('[  FAILED  ]')), None)
    return shown[:end + 1] if end is not None else shown


def main():
    log_path = pathlib.Path(sys.argv[1]) / 'Testing' / 'Temporary' / 'LastTest.log'
    try:
        log = log_path.read_text(errors='replace')
    except OSError:
        return
    history = {}  # name -> [(passed, lines)] in the order they ran
    for name, passed, lines in runs(log):
        history.setdefault(name, []).append((passed, lines))
    for name, results in history.items():
        if all(passed for passed, _ in results):
            continue
        first_failure = next(lines for passed, lines in results if not passed)
        verdict = 'passed when run again' if results[-1][0] else 'FAILED'
        print(f'-- {name}: {verdict}')
        for l in failure_lines(first_failure):
            print('   ' + l)


if __name__ == '__main__':
    main()
