"""Times Tavix.exe under Wine: /#f against file managers of 100, 10,000 and 100,000 items, and the
whole typical run against the start of a floor program.

For each built program (build/win32/Tavix.exe and build/win64/Tavix.exe, or TAVIX_WIN32 and
TAVIX_WIN64; one that is not built is skipped) a Wine session of its own runs, for each size,
a stand-in file manager of the program's bitness: a virtual list view with two items selected
(at a third and two thirds of the list), whose files exist in the folder that the window's
title names (the scenario folder C:\\bench-<arch>-<size>, by its full path), in front. The
program is then run RUNS times from that folder with WINEDEBUG=-all, and each run is timed
from the process start to its exit.

Prints the median run time per size and a line "ratio R win32" / "ratio R win64", R being the
median at 100,000 items divided by the median at 100 items. A program that reads every item
rather than only the selected ones shows here as a ratio far above 1.

The whole run: in the same session, a stand-in file manager titled only "Data", whose address
box holds the folder's path and whose list view has two of three items selected, is in front;
Tavix.exe /#f (address box, list view, two paths to the clipboard with the beep) and
floor_program.exe (built like Tavix.exe with the same imports: one hidden window, then exit)
are run WHOLE_RUNS times each, alternately, and their medians printed with the line
"whole-run ratio Q win32" / "... win64", Q being Tavix's median divided by the floor's.

The selection size: in the same session, a stand-in file manager of SELECTION_ITEMS items,
all of whose files exist, first with two of them selected and then with every one selected,
is in front; Tavix.exe /#f is run RUNS times against each (after a run whose clipboard must hold
exactly the selected paths), and the medians are printed with the line "selection ratio S
win32" / "... win64", S being the median with every item selected divided by the median with
two.

The last three lines are the worst of the built programs: "selection ratio S", "whole-run ratio
Q", then "ratio R".

Exit code: 0 when every run of every built program ended with exit code 0, 1 otherwise.
"""

import os
import select
import statistics
import sys
import time

sys.path.insert(0, os.path.dirname(os.path.abspath(__file__)))

from harness import (ARCHES, Peers, WineSession, exe_path, read_clipboard,  # noqa: E402
                     set_clipboard)
from harness.filer import FilerConfig  # noqa: E402

SIZES = (100, 10000, 100000)
SELECTION_ITEMS = 1000
RUNS = 7
WHOLE_RUNS = 12
RUN_LIMIT = 60
# Seconds of quiet before each timed run. Wine is still busy for a moment after a process
# has ended (measured here: a run right after another one took up to 150 ms longer), and the
# foreground check before each run is a process too.
SETTLE = 0.5


def selected_indices(size):
    return [size // 3, 2 * size // 3]


def prepare_scenario(session, arch, size):
    sc = session.scenario('bench-%s-%d' % (arch, size))
    sc.add_exe(exe_path(arch))
    for index in selected_indices(size):
        sc.write_file('item%d' % index, b'bench\r\n')
    return sc


def wait_for_exit(proc, limit):
    """Blocks until the process has ended, at most `limit` seconds; returns whether it ended.

    Popen.wait with a time limit polls with sleeps of up to 50 ms, which would round every
    run time up to that step; a pidfd becomes readable the moment the process ends.
    """
    try:
        fd = os.pidfd_open(proc.pid)
    except (AttributeError, OSError):
        # No pidfd here: poll finely instead.
        deadline = time.perf_counter() + limit
        while proc.poll() is None and time.perf_counter() < deadline:
            time.sleep(0.001)
        return proc.poll() is not None
    try:
        ready, _, _ = select.select([fd], [], [], limit)
    finally:
        os.close(fd)
    return bool(ready)


def timed_run(session, sc, exe='Tavix.exe', args=('/#f',)):
    """One run of a program of the scenario folder; returns (seconds, exit code), the code None
    on overrun."""
    start = time.perf_counter()
    proc = session.spawn([sc.win_path(exe)] + list(args), cwd=sc.folder, debug='-all',
                         image=sc.path(exe))
    ended = wait_for_exit(proc, RUN_LIMIT)
    seconds = time.perf_counter() - start
    # Reaps the ended process, or ends an overrunning one by its PID.
    code = session.wait(proc, 5 if ended else 0)
    return seconds, code


def check_output(session, sc, size, peers):
    """One untimed run with the trace on: the two selected items must be what it outputs,
    so that the timed runs measure a real read and not a run that found nothing."""
    run = session.run(sc, 'Tavix.exe', ['/#f'], peers=peers, limit=RUN_LIMIT)
    want = [('Tavix: output: "%s"' % sc.win_path('item%d' % i)).encode('cp932')
            for i in selected_indices(size)]
    got = [line for line in run.trace if line.startswith(b'Tavix: output: "')]
    if run.exit_code != 0 or got != want:
        raise RuntimeError('%d items: the run did not output the selected items: %s'
                           % (size, run.describe()))


def keep_in_front(session, sc, peers, filer):
    """Puts the stand-in back in front should anything have taken the foreground."""
    if session.foreground_window(sc, peers) != filer.hwnd:
        if not session.bring_to_front(filer.hwnd, peers):
            raise RuntimeError('the stand-in file manager cannot be brought to the front')


def measure_size(session, arch, size, peers):
    """Median seconds of RUNS runs against a stand-in of `size` items; None when a run
    failed."""
    sc = prepare_scenario(session, arch, size)
    config = FilerConfig(title=sc.win_folder, front=True)
    config.listview(count=size, select=selected_indices(size))
    times = []
    with session.start_filer(sc, config, arch, limit=(RUNS + 1) * RUN_LIMIT + 60) as filer:
        if not filer.is_foreground:
            raise RuntimeError('the stand-in file manager did not come to the front')
        # Also a warm-up: the first run of a session pays for loading the program and its DLLs.
        check_output(session, sc, size, peers)
        for _ in range(RUNS):
            keep_in_front(session, sc, peers, filer)
            time.sleep(SETTLE)
            seconds, code = timed_run(session, sc)
            if code != 0:
                print('%s: %d items: a run ended with exit code %r' % (arch, size, code),
                      file=sys.stderr)
                return None
            times.append(seconds)
    median = statistics.median(times)
    print('%s: %6d items: median %8.1f ms (runs: %s)'
          % (arch, size, median * 1000, ' '.join('%.1f' % (t * 1000) for t in times)),
          flush=True)
    return median


def measure_whole_run(session, arch, peers):
    """(Tavix median, floor median) in seconds for the typical run to the clipboard; None when
    a run failed."""
    sc = session.scenario('bench-%s-whole' % arch)
    sc.add_exe(exe_path(arch))
    sc.add_exe(peers.floor_program, 'Floor.exe')
    sc.make_folder('files')
    sc.make_folder('files/Data')
    sc.make_folder('files/Data/Old Files')
    sc.write_file('files/Data/memo.txt', b'memo\r\n')
    data = sc.win_path('files\\Data')
    config = FilerConfig(title='Data', front=True)
    config.combobox(text=data)
    config.listview(items=['memo.txt', 'Old Files', 'other.txt'], select=[0, 1])
    expected = ('%s\\memo.txt\r\n%s\\Old Files' % (data, data)).encode('cp932')
    tavix, floor = [], []
    with session.start_filer(sc, config, arch, limit=2 * WHOLE_RUNS * RUN_LIMIT + 60) as filer:
        if not filer.is_foreground:
            raise RuntimeError('the stand-in file manager did not come to the front')
        set_clipboard(session, sc, peers, b'before')
        timed_run(session, sc)   # warm-up, and the proof that the run does the whole job
        if read_clipboard(session, sc, peers) != expected:
            raise RuntimeError('the typical run did not put the two paths on the clipboard')
        for _ in range(WHOLE_RUNS):
            for exe, times in (('Tavix.exe', tavix), ('Floor.exe', floor)):
                keep_in_front(session, sc, peers, filer)
                time.sleep(SETTLE)
                seconds, code = timed_run(session, sc, exe, ('/#f',) if exe == 'Tavix.exe' else ())
                if code != 0:
                    print('%s: whole run: %s ended with exit code %r' % (arch, exe, code),
                          file=sys.stderr)
                    return None
                times.append(seconds)
    medians = statistics.median(tavix), statistics.median(floor)
    for name, times, median in (('Tavix.exe /#f', tavix, medians[0]),
                                ('floor program', floor, medians[1])):
        print('%s: whole run, %-13s median %8.1f ms (runs: %s)'
              % (arch, name, median * 1000, ' '.join('%.1f' % (t * 1000) for t in times)),
              flush=True)
    return medians


def measure_selection(session, arch, peers):
    """(median with two selected, median with every item selected) in seconds; None when a run
    failed."""
    sc = session.scenario('bench-%s-selection' % arch)
    sc.add_exe(exe_path(arch))
    for index in range(SELECTION_ITEMS):
        sc.write_file('item%d' % index, b'bench\r\n')
    medians = []
    for selected in (selected_indices(SELECTION_ITEMS), range(SELECTION_ITEMS)):
        config = FilerConfig(title=sc.win_folder, front=True)
        config.listview(count=SELECTION_ITEMS, select=list(selected))
        expected = '\r\n'.join(sc.win_path('item%d' % i) for i in selected).encode('cp932')
        times = []
        with session.start_filer(sc, config, arch, limit=(RUNS + 1) * RUN_LIMIT + 60) as filer:
            if not filer.is_foreground:
                raise RuntimeError('the stand-in file manager did not come to the front')
            set_clipboard(session, sc, peers, b'before')
            timed_run(session, sc)   # warm-up, and the proof that the run reads the selection
            if read_clipboard(session, sc, peers) != expected:
                raise RuntimeError('%d selected: the clipboard does not hold the selected paths'
                                   % len(selected))
            for _ in range(RUNS):
                keep_in_front(session, sc, peers, filer)
                time.sleep(SETTLE)
                seconds, code = timed_run(session, sc)
                if code != 0:
                    print('%s: %d selected: a run ended with exit code %r'
                          % (arch, len(selected), code), file=sys.stderr)
                    return None
                times.append(seconds)
        medians.append(statistics.median(times))
        print('%s: %4d of %d selected: median %8.1f ms (runs: %s)'
              % (arch, len(selected), SELECTION_ITEMS, medians[-1] * 1000,
                 ' '.join('%.1f' % (t * 1000) for t in times)), flush=True)
    return tuple(medians)


def measure(arch):
    """({size: median seconds}, (Tavix, floor) whole-run medians, (two, all) selection medians)
    for one program, or None when a run failed."""
    peers = Peers(arch)
    missing = peers.missing()
    if missing:
        print('%s: helper programs missing: %s' % (arch, ', '.join(missing)), file=sys.stderr)
        return None
    medians = {}
    try:
        with WineSession() as session:
            whole = measure_whole_run(session, arch, peers)
            if whole is None:
                return None
            selection = measure_selection(session, arch, peers)
            if selection is None:
                return None
            for size in SIZES:
                median = measure_size(session, arch, size, peers)
                if median is None:
                    return None
                medians[size] = median
    except RuntimeError as e:
        print('%s: %s' % (arch, e), file=sys.stderr)
        return None
    return medians, whole, selection


def main():
    built = [arch for arch in ARCHES if os.path.exists(exe_path(arch))]
    for arch in ARCHES:
        if arch not in built:
            print('%s: %s is not built; skipped' % (arch, exe_path(arch)), flush=True)
    if not built:
        print('bench: no program to measure (run make win32 win64)', file=sys.stderr)
        return 1
    ratios, whole_ratios, selection_ratios = [], [], []
    failed = False
    for arch in built:
        measured = measure(arch)
        if measured is None:
            failed = True
            continue
        medians, (tavix, floor), (two, every) = measured
        ratios.append(medians[SIZES[-1]] / medians[SIZES[0]])
        whole_ratios.append(tavix / floor)
        selection_ratios.append(every / two)
        print('selection ratio %.2f %s' % (selection_ratios[-1], arch), flush=True)
        print('whole-run ratio %.2f %s' % (whole_ratios[-1], arch), flush=True)
        print('ratio %.2f %s' % (ratios[-1], arch), flush=True)
    sys.stderr.flush()
    if failed or not ratios:
        return 1
    print('selection ratio %.2f' % max(selection_ratios), flush=True)
    print('whole-run ratio %.2f' % max(whole_ratios), flush=True)
    print('ratio %.2f' % max(ratios), flush=True)
    return 0


if __name__ == '__main__':
    sys.exit(main())
