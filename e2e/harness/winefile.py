"""Wine's file manager winefile, for title mode: its window title names the whole folder.

    with start_winefile(session, sc, sc.win_path('café'), 'win32') as winefile:
        winefile.title_wide   # 'Wine ファイル マネージャー - [C:\\...\\café]'

Facts this relies on, checked under Wine 8 here:
  - winefile shows a folder's full path in a window title; Wine's explorer shows only the
    display name, in its title and in its address box alike. winefile's frame (class
    WFS_Frame) shows the folder window inside it maximized, so the frame's title reads
    "<name of the program> - [<full path>]", the path in UTF-16 with whatever characters it
    holds.
  - As with the explorer, `wine winefile.exe PATH` (32-bit) and
    `/usr/lib/wine/wine64 winefile.exe PATH` (64-bit) run it through start.exe in a process
    of its own, in the process session the harness gives start.exe; closing the frame ends
    both.
  - Its own tree and list show names outside code page 932 as their best-fit conversion
    ("Ünï-é한글" as "Uni-e??"); the title keeps them.
"""

import time

from .explorer import WineProgram, _end_session
from .paths import Peers

WINEFILE_CLASS = 'WFS_Frame'
# Seconds until the frame must show the folder in its title.
WINEFILE_LIMIT = 30
_WINE64_LOADER = '/usr/lib/wine/wine64'


class WineFile(WineProgram):
    """A winefile frame that start_winefile() opened."""

    window_class = WINEFILE_CLASS


def start_winefile(session, scenario, folder, arch, limit=WINEFILE_LIMIT):
    """Opens winefile of the bitness `arch` on `folder` (a Windows path, str).

    Returns a WineFile once its frame is visible and its title ends in "[folder]"; raises
    RuntimeError (after ending what it started) when that does not happen in time. Once in a
    few dozen starts winefile showed "[C:\\]" instead of the folder it was given, and kept
    showing it; a frame that shows another folder for SETTLE_LIMIT seconds is therefore
    closed and winefile started once more.
    """
    deadline = time.monotonic() + limit
    for attempt in range(2):
        found = _start_once(session, scenario, folder, arch, deadline, last=attempt == 1)
        if found:
            return found
    raise AssertionError('not reached')


# Seconds a frame may show another folder before winefile is started again.
SETTLE_LIMIT = 5


def _start_once(session, scenario, folder, arch, deadline, last):
    peers = Peers(arch)
    before = {w.hwnd for w in session.top_windows(scenario, peers, WINEFILE_CLASS)}
    loader = _WINE64_LOADER if arch == 'win64' else 'wine'
    proc = session.spawn(['winefile.exe', folder], loader=loader)
    started = time.monotonic()
    seen = []
    while time.monotonic() < deadline and proc.poll() is None:
        seen = [w for w in session.top_windows(scenario, peers, WINEFILE_CLASS)
                if w.hwnd not in before and w.visible]
        shown = [w for w in seen if w.title_wide.endswith('[%s]' % folder)]
        if shown:
            return WineFile(session, scenario, arch, proc, shown[0])
        if seen and not last and time.monotonic() - started > SETTLE_LIMIT:
            WineFile(session, scenario, arch, proc, seen[0]).close()
            return None
        time.sleep(0.1)
    _end_session(session, proc)
    if not last:
        return None
    raise RuntimeError('winefile (%s) on %s did not show it in its title; windows: %r'
                       % (arch, folder, seen))
