#!/usr/bin/env python3
"""Time from the program's start to the first sample of its first prompt
("Informe o arquivo TXT de destino: ", the presentation being given on the
command line) reaching the sound device. Prints the median and the maximum.

The program logs, on the steady clock, the moment SDL's audio thread first
takes samples from it after opening the device ("first sound to the device
at T ms"); SDL's disk driver plays in real time, so no sound card is needed.

    python3 bench/app/startup_bench.py build/app/lamina [RUNS]
"""
import os
import re
import statistics
import subprocess
import sys
import tempfile
import time


def one_run(program, work):
    log = os.path.join(work, 'log')
    if os.path.exists(log):
        os.remove(log)
    env = dict(os.environ, SDL_AUDIODRIVER='disk', SDL_DISKAUDIOFILE=os.devnull,
               ORALIS_DIR=os.path.join(work, 'oralis'))
    start = time.monotonic()
    proc = subprocess.Popen([program, '--console=headless', '--log', log, 'aula.pptx'],
                            stdin=subprocess.PIPE, stdout=subprocess.DEVNULL,
                            stderr=subprocess.DEVNULL, env=env, cwd=work)
    found = None
    deadline = start + 10
    while found is None and time.monotonic() < deadline:
        time.sleep(0.002)
        if os.path.exists(log):
            with open(log, encoding='utf-8', errors='replace') as f:
                found = re.search(r'first sound to the device at ([0-9.]+) ms', f.read())
    proc.kill()
    proc.wait()
    return float(found.group(1)) / 1000 - start if found else None


def main():
    program = os.path.abspath(sys.argv[1])
    runs = int(sys.argv[2]) if len(sys.argv) > 2 else 10
    here = os.path.dirname(os.path.abspath(__file__))
    example = os.path.join(here, '..', '..', 'data', 'examples', 'aula-exemplo.pptx')
    with tempfile.TemporaryDirectory() as work:
        os.makedirs(os.path.join(work, 'oralis'))
        with open(example, 'rb') as src, open(os.path.join(work, 'aula.pptx'), 'wb') as dst:
            dst.write(src.read())
        times = [t for t in (one_run(program, work) for _ in range(runs)) if t is not None]
    if not times:
        print('start to first prompt sound: no sound arrived')
        return 1
    print('start to first prompt sound: median %.1f ms, max %.1f ms (%d runs)'
          % (statistics.median(times) * 1000, max(times) * 1000, len(times)))
    return 0


if __name__ == '__main__':
    sys.exit(main())
