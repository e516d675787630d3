#!/usr/bin/env python3
"""Compares a screenshot of the console window with the text cells it should
show, without reading glyphs: each cell of 9 x 22 pixels must have the
background its attribute gives; a blank must show nothing else, a character
must show ink; two cells holding the same character and attribute must be
pixel for pixel the same, and cells holding different characters must not.

    screen_cells.py SHOT.png EXPECTED
EXPECTED: one line a row from the top, each cell a character then its
attribute's background digit (0-F), e.g. "L1A1M1" for "LAM" on blue.
Exit 0 when the picture matches; otherwise prints the cells that differ.
"""
import subprocess
import sys

CELL_W, CELL_H = 9, 22
BACKGROUNDS = {'0': (0, 0, 0), '1': (0, 0, 255)}


def load(png):
    size = subprocess.run(['identify', '-format', '%w %h', png], check=True,
                          capture_output=True, text=True).stdout.split()
    width, height = int(size[0]), int(size[1])
    rgb = subprocess.run(['convert', png, '-depth', '8', 'rgb:-'], check=True,
                         capture_output=True).stdout
    return width, height, rgb


def cell(image, col, row):
    width, _, rgb = image
    rows = []
    for y in range(row * CELL_H, (row + 1) * CELL_H):
        start = (y * width + col * CELL_W) * 3
        rows.append(rgb[start:start + CELL_W * 3])
    return b''.join(rows)


def main():
    image = load(sys.argv[1])
    with open(sys.argv[2], encoding='utf-8') as f:
        lines = [line.rstrip('\n') for line in f]
    problems = []
    seen = {}
    for row, line in enumerate(lines):
        for col in range(len(line) // 2):
            char, back = line[2 * col], line[2 * col + 1]
            pixels = cell(image, col, row)
            colours = {pixels[i:i + 3] for i in range(0, len(pixels), 3)}
            background = bytes(BACKGROUNDS[back])
            if background not in colours:
                problems.append('(%d,%d) %r: no background %s' % (col, row, char, back))
            if char == ' ' and colours != {background}:
                problems.append('(%d,%d): a blank shows ink' % (col, row))
            if char != ' ' and colours == {background}:
                problems.append('(%d,%d) %r: nothing drawn' % (col, row, char))
            seen.setdefault((char, back), []).append((col, row, pixels))
    for (char, _), cells in seen.items():
        if any(c[2] != cells[0][2] for c in cells):
            problems.append('%r drawn in different ways' % char)
    drawn = {}
    for (char, back), cells in seen.items():
        if char == ' ':
            continue
        other = drawn.setdefault((back, cells[0][2]), char)
        if other != char:
            problems.append('%r and %r look the same' % (other, char))
    for p in problems[:20]:
        print(p)
    return 1 if problems else 0


if __name__ == '__main__':
    sys.exit(main())
