"""Where the time of reading a large selection goes, under Wine.

For each built program (as bench.py) a Wine session runs a stand-in file manager of the
program's bitness with 1000 items, all of whose files exist in the folder of its title, and:

  - selection_probe.exe times each step of reading the selection of that list view, item by
    item and in one batch (with all 1000 and with 2 items selected);
  - Tavix.exe /#f is timed with 2 and with 1000 items selected (RUNS runs each, medians), with
    the trace off (WINEDEBUG=-all) and with it shown (warn+seh).

Prints a table per program. A tool for finding out, not a test: exit code 0 unless a run
failed.

    python3 e2e/profile_selection.py [RUNS]
"""

import os
import statistics
import sys
import time

sys.path.insert(0, os.path.dirname(os.path.abspath(__file__)))

from harness import ARCHES, Peers, WineSession, exe_path  # noqa: E402
from harness.filer import FilerConfig  # noqa: E402

import bench  # noqa: E402

ITEMS = 1000


def probe(session, sc, peers, hwnd, label):
    name = sc.new_work_name('probe')
    proc = session.spawn([peers.selection_probe, sc.win_work_path(name), '%x' % hwnd,
                          sc.win_folder])
    if session.wait(proc, 60) != 0:
        raise RuntimeError('selection_probe failed')
    with open(sc.work_path(name)) as f:
        for line in f:
            step, count, total, each = line.rstrip('\n').split('\t')
            print('  %-9s %-28s %5s calls %9s us %8s us each' % (label, step, count, total, each))


def time_runs(session, sc, peers, filer, runs, debug):
    times = []
    for _ in range(runs):
        bench.keep_in_front(session, sc, peers, filer)
        time.sleep(bench.SETTLE)
        start = time.perf_counter()
        proc = session.spawn([sc.win_path('Tavix.exe'), '/#f'], cwd=sc.folder, debug=debug,
                             image=sc.path('Tavix.exe'), stderr_path=os.devnull)
        bench.wait_for_exit(proc, bench.RUN_LIMIT)
        times.append(time.perf_counter() - start)
        if session.wait(proc, 5) != 0:
            raise RuntimeError('a run failed')
    return statistics.median(times)


def profile(arch, runs):
    peers = Peers(arch)
    with WineSession() as session:
        sc = session.scenario('profile-%s' % arch)
        sc.add_exe(exe_path(arch))
        for i in range(ITEMS):
            sc.write_file('item%d' % i, b'x')
        for selected in ((ITEMS // 3, 2 * ITEMS // 3), range(ITEMS)):
            config = FilerConfig(title=sc.win_folder, front=True)
            config.listview(count=ITEMS, select=list(selected))
            with session.start_filer(sc, config, arch, limit=600) as filer:
                label = '%d sel' % len(selected)
                probe(session, sc, peers, filer.hwnd, label)
                for debug in ('-all', '-all,warn+seh'):
                    median = time_runs(session, sc, peers, filer, runs, debug)
                    print('  %-9s Tavix.exe /#f WINEDEBUG=%-14s median %7.1f ms'
                          % (label, debug, median * 1000), flush=True)


def main():
    runs = int(sys.argv[1]) if len(sys.argv) > 1 else 5
    for arch in ARCHES:
        if not os.path.exists(exe_path(arch)):
            continue
        print('%s:' % arch, flush=True)
        profile(arch, runs)
    return 0


if __name__ == '__main__':
    sys.exit(main())
