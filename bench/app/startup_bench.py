#!/usr/bin/env python3
"""Time from the program's start to the first sound of its first prompt
("Informe o arquivo TXT de destino: ") reaching the sound device: SDL's disk
driver writes into a FIFO read here. Prints the median and the maximum.

    python3 bench/app/startup_bench.py build/app/lamina [RUNS]
"""
import os
import statistics
import subprocess
import sys
import tempfile
import time

SILENT = (0, 0x7F, 0x80, 0xFF)


def one_run(program, work):
    fifo = os.path.join(work, 'disk')
    if os.path.exists(fifo):
        os.remove(fifo)
    os.mkfifo(fifo)
    example = os.path.join(work, 'aula.pptx')
    env = dict(os.environ, SDL_AUDIODRIVER='disk', SDL_DISKAUDIOFILE=fifo,
               ORALIS_DIR=os.path.join(work, 'oralis'))
    start = time.monotonic()
    proc = subprocess.Popen([program, '--console=headless', example], stdin=subprocess.PIPE,
                            stdout=subprocess.DEVNULL, stderr=subprocess.DEVNULL, env=env, cwd=work)
    first = None
    with open(fifo, 'rb', buffering=0) as device:
        while first is None:
            chunk = device.read(4096)
            if not chunk:
                break
            if any(b not in SILENT for b in chunk):
                first = time.monotonic() - start
    proc.kill()
    proc.wait()
    return first


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
