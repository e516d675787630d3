"""Compares a tmux pane, captured with its colours (capture-pane -p -e -N),
with the console's screen dump (--screen-dump): the 25 lines of text and, for
the colours, that each attribute of the dump shows as one colour pair of its
own, with the anchors given as ATTR=FG,BG (terminal colour numbers).

    terminal_screen.py CAPTURE DUMP [ATTR=FG,BG ...]

Exit status 0 when they agree; otherwise the differences are printed.
"""
import re
import sys

SGR = re.compile(r'\x1b\[([0-9;:]*)m')


def cells(capture):
    rows = []
    # tmux writes only the changes, so the colours go on from line to line.
    fg = bg = 'default'
    for line in capture.split('\n')[:25]:
        row = []
        pos = 0
        while pos < len(line):
            m = SGR.match(line, pos)
            if m:
                params = [int(p) if p else 0 for p in re.split('[;:]', m.group(1))]
                i = 0
                while i < len(params):
                    p = params[i]
                    if p == 0:
                        fg = bg = 'default'
                    elif p in (38, 48) and i + 2 < len(params) and params[i + 1] == 5:
                        if p == 38:
                            fg = params[i + 2]
                        else:
                            bg = params[i + 2]
                        i += 2
                    elif 30 <= p <= 37:
                        fg = p - 30
                    elif 90 <= p <= 97:
                        fg = p - 90 + 8
                    elif 40 <= p <= 47:
                        bg = p - 40
                    elif 100 <= p <= 107:
                        bg = p - 100 + 8
                    elif p == 39:
                        fg = 'default'
                    elif p == 49:
                        bg = 'default'
                    i += 1
                pos = m.end()
                continue
            if line[pos] == '\x1b':
                pos += 1
                continue
            row.append((line[pos], (fg, bg)))
            pos += 1
        rows.append(row)
    while len(rows) < 25:
        rows.append([])
    return rows


def main():
    capture = open(sys.argv[1], encoding='utf-8', errors='replace').read()
    dump = open(sys.argv[2], encoding='utf-8').read().split('\n')
    anchors = {}
    for a in sys.argv[3:]:
        attr, pair = a.split('=')
        fg, bg = pair.split(',')
        anchors[attr] = (int(fg), int(bg))
    shown = cells(capture)
    problems = []
    pair_of = {}
    attr_of = {}
    for y in range(25):
        text = dump[y]
        attrs = dump[25 + y]
        got = ''.join(c for c, _ in shown[y])
        if got.rstrip() != text.rstrip():
            problems.append(f'row {y}: shows {got.rstrip()!r}, the console holds {text.rstrip()!r}')
        for x, (_, pair) in enumerate(shown[y][:80]):
            attr = attrs[2 * x:2 * x + 2]
            if attr in pair_of and pair_of[attr] != pair:
                problems.append(f'({x}, {y}): attribute {attr} shows {pair}, elsewhere {pair_of[attr]}')
                continue
            if pair in attr_of and attr_of[pair] != attr:
                problems.append(f'({x}, {y}): {pair} shows both {attr} and {attr_of[pair]}')
                continue
            pair_of[attr] = pair
            attr_of[pair] = attr
    for attr, pair in anchors.items():
        if pair_of.get(attr) != pair:
            problems.append(f'attribute {attr} shows {pair_of.get(attr)}, expected {pair}')
    for p in problems[:20]:
        print(p)
    sys.exit(1 if problems else 0)


main()
