#!/usr/bin/env python3
"""Checks that every #include of the product code in src/ points down the
layers of src/LAYERS, or into its own folder: never up, never sideways.
Prints each include that does not and exits 1; exits 0 when all do.
Test files (*_test.cpp) are left aside: a test may stand on anything."""
import os
import re
import sys

SRC = os.path.join(os.path.dirname(os.path.abspath(__file__)), '..', 'src')


def layers():
    """Each folder's level (0 lowest), from src/LAYERS."""
    level = {}
    with open(os.path.join(SRC, 'LAYERS'), encoding='utf-8') as f:
        lines = [line.split('#')[0].split() for line in f]
    for number, folders in enumerate(line for line in lines if line):
        for folder in folders:
            level[folder] = number
    return level


def folder_of(path, level):
    """The longest folder of src/LAYERS the path lies in ('' when none)."""
    best = ''
    for folder in level:
        if (path == folder or path.startswith(folder + '/')) and len(folder) > len(best):
            best = folder
    return best


def main():
    level = layers()
    faults = []
    for top, _, files in os.walk(SRC):
        for name in sorted(files):
            if not name.endswith(('.cpp', '.h', '.rc')) or name.endswith('_test.cpp'):
                continue
            path = os.path.relpath(os.path.join(top, name), SRC).replace(os.sep, '/')
            own = folder_of(path, level)
            if not own:
                faults.append(f'src/{path}: in no folder of src/LAYERS')
                continue
            with open(os.path.join(top, name), encoding='utf-8') as f:
                for number, line in enumerate(f, 1):
                    m = re.match(r'\s*#\s*include\s+"([^"]+)"', line)
                    if not m or '/' not in m.group(1):
                        continue
                    other = folder_of(m.group(1), level)
                    if not other or other == own:
                        continue
                    if level[other] >= level[own]:
                        way = 'up' if level[other] > level[own] else 'sideways'
                        faults.append(f'src/{path}:{number}: includes {m.group(1)} ({way}: {own} -> {other})')
    for fault in faults:
        print(fault)
    print(f'{len(faults)} include(s) against the layers of src/LAYERS' if faults else 'every include points down the layers')
    return 1 if faults else 0


if __name__ == '__main__':
    sys.exit(main())
