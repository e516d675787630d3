#!/usr/bin/env python3
"""Time from the program's start to the first sound of its first prompt
("Informe o arquivo TXT de destino: ") reaching the sound device. Prints the
median and the maximum.

SDL's disk driver plays in real time into a FIFO read here, but it writes
through a stdio buffer, so the bytes arrive in lumps of 4096 (370 ms of
8-bit sound at 11025 Hz). The moment a byte reached the device is taken back
from the moment its lump arrived: a byte that lies N bytes before the lump's
end was played N / (bytes per second) earlier. The device's format comes from
the program's log ("wave output open: ...").

    python3 bench/app/startup_bench.py build/app/lamina [RUNS]
"""
import os
import re
import statistics
import subprocess
import sys
import tempfile
import time

SILENT = (0, 0x7F, 0x80, 0xFF)


def device_rate(log):
    with open(log, encoding='utf-8', errors='replace') as f:
        m = re.search(r'wave output open: (\d+) Hz, (\d+) bits, (\d+) channel', f.read())
    if not m:
        return None
    rate, bits, channels = (int(x) for x in m.groups())
    return rate * bits // 8 * channels


def one_run(program, work):
    fifo = os.path.join(work, 'disk')
    log = os.path.join(work, 'log')
    for name in (fifo, log):
        if os.path.exists(name):
            os.remove(name)
    os.mkfifo(fifo)
    example = os.path.join(work, 'aula.pptx')
    env = dict(os.environ, SDL_AUDIODRIVER='disk', SDL_DISKAUDIOFILE=fifo,
               ORALIS_DIR=os.path.join(work, 'oralis'))
    start = time.monotonic()
    proc = subprocess.Popen([program, '--console=headless', '--log', log, example],
                            stdin=subprocess.PIPE, stdout=subprocess.DEVNULL,
                            stderr=subprocess.DEVNULL, env=env, cwd=work)
    arrived = None
    before_end = 0
    with open(fifo, 'rb', buffering=0) as device:
        while arrived is None:
            chunk = device.read(4096)
            if not chunk:
                break
            loud = [i for i, b in enumerate(chunk) if b not in SILENT]
            if loud:
                arrived = time.monotonic() - start
                before_end = len(chunk) - loud[0]
    proc.kill()
    proc.wait()
    rate = device_rate(log)
    if arrived is None or not rate:
        return None
    return arrived - before_end / rate


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
