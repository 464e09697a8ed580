"""Shows Tavix's version box under Wine and saves a screenshot of it.

Runs build/win32/Tavix.exe /#v on a private virtual display, waits until the box is up,
saves build/demo/version-box.png, presses OK and checks that the program ends with code 0.
"""

import os
import sys
import time

sys.path.insert(0, os.path.dirname(os.path.abspath(__file__)))

from harness import Peers, WineSession, exe_path  # noqa: E402
from harness.box import BoxReport  # noqa: E402
from harness.paths import ROOT  # noqa: E402

ARCH = 'win32'
BOX_LIMIT = 20
SCREENSHOT = os.path.join(ROOT, 'build', 'demo', 'version-box.png')


def wait_for_file(path, proc, limit):
    deadline = time.monotonic() + limit
    while not os.path.exists(path):
        if proc.poll() is not None or time.monotonic() > deadline:
            return False
        time.sleep(0.02)
    return True


def main():
    exe = exe_path(ARCH)
    peers = Peers(ARCH)
    missing = [p for p in [exe] + peers.missing() if not os.path.exists(p)]
    if missing:
        print('demo: missing %s (run make win32)' % ', '.join(missing), file=sys.stderr)
        return 1

    with WineSession() as session:
        sc = session.scenario('demo')
        sc.add_exe(exe)
        box_up = sc.work_path('box-up')
        press = sc.work_path('press')
        reader = session.spawn([peers.msgbox_reader, sc.win_work_path('box.txt'), str(BOX_LIMIT),
                                '--box-up', sc.win_work_path('box-up'),
                                '--press-when', sc.win_work_path('press')])
        program = session.spawn([sc.win_path('Tavix.exe'), '/#v'], cwd=sc.folder)

        if not wait_for_file(box_up, reader, BOX_LIMIT):
            print('demo: the version box did not appear within %d s' % BOX_LIMIT, file=sys.stderr)
            return 1
        session.screenshot(SCREENSHOT)
        open(press, 'w').close()

        session.wait(reader, BOX_LIMIT)
        code = session.wait(program, BOX_LIMIT)
        with open(sc.work_path('box.txt'), 'rb') as f:
            box = BoxReport.parse(f.read())

    print('demo: %s' % box.describe())
    if not box.closed or code != 0:
        print('demo: expected the box to close on OK and exit code 0, got exit code %r' % code,
              file=sys.stderr)
        return 1
    print('demo: exit code 0; screenshot saved to %s' % SCREENSHOT)
    return 0


if __name__ == '__main__':
    sys.exit(main())
