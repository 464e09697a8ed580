"""Wine's own explorer as a real file manager, with items selected by real mouse clicks.

    with start_explorer(session, sc, sc.win_folder, 'win32') as explorer:
        explorer.title                          # b'sample': the folder's display name only
        explorer.title_wide                     # 'sample', as GetWindowTextW gives it
        explorer.select(['Old Files', 'memo.txt'])
        ...                                     # run Tavix against it
    # closed here by WM_CLOSE; whatever did not end by itself is ended by its PID

Facts this relies on, checked under Wine 8 here:
  - `wine explorer.exe PATH` (32-bit) and `/usr/lib/wine/wine64 explorer.exe PATH` (64-bit)
    do not run the explorer in the process they start: that process is `start.exe /exec
    explorer.exe`, which starts explorer.exe as a process of its own (its parent becomes
    init) and waits for it. Both stay in the process session that the harness gives
    start.exe, which is how the explorer's Linux PID is found.
  - The window (class ExplorerWClass) first appears hidden and titled "Wine エクスプローラー",
    then within about half a second visible and titled with the folder's display name.
  - Closing the window ends the explorer process and then start.exe, with exit code 0.
  - An explorer started on a folder that an explorer window (of either bitness) shows
    already does not open a second window: it activates that one and ends.
  - listview_items must be of the explorer's bitness; the other one gets no item.

Drive letters: map_drive() links dosdevices/<letter>: of the prefix to a Linux folder. Wine
sees a link made while its server runs at once, without a restart. The explorer titles a
drive root with the volume label, which is empty here, then " (D:)": so the title is
b' (D:)' with a leading blank.
"""

import os
import signal
import subprocess
import time

from .paths import Peers

# Seconds until the explorer's window must be up and its list answering.
EXPLORER_LIMIT = 30
# Seconds for the clicked items to show as selected.
SELECT_LIMIT = 10
# Seconds the explorer gets to end after WM_CLOSE.
CLOSE_LIMIT = 10
TOOL_LIMIT = 30

EXPLORER_CLASS = 'ExplorerWClass'
LVIS_SELECTED = 0x2
_WINE64_LOADER = '/usr/lib/wine/wine64'
# A second click on the same spot within this time would be a double click, which opens
# the item.
_DOUBLE_CLICK_GAP = 0.6


def _name(text):
    """An item name as str; bytes are taken as code page 932."""
    return text if isinstance(text, str) else bytes(text).decode('cp932')


class ListItem:
    """One line of listview_items: index, state, screen rectangle and text.

    `text` is the item's text as LVM_GETITEMA gives it (bytes in code page 932: the list
    view's best-fit conversion, so résumé.txt reads as b'resume.txt'), `name` as LVM_GETITEMW
    gives it (str).
    """

    def __init__(self, index, state, rect, text, name):
        self.index = index
        self.state = state
        self.rect = rect
        self.text = text
        self.name = name

    @classmethod
    def parse(cls, line):
        index, state, rect, text, name = line.split('\t')
        return cls(int(index), int(state, 16), tuple(int(v) for v in rect.split()),
                   bytes.fromhex(text), bytes.fromhex(name).decode('utf-16-le', 'surrogatepass'))

    @property
    def selected(self):
        return bool(self.state & LVIS_SELECTED)

    @property
    def center(self):
        left, top, right, bottom = self.rect
        return (left + right) // 2, (top + bottom) // 2

    def __repr__(self):
        return 'ListItem(%d, %r, state=%x, rect=%r)' % (self.index, self.name, self.state,
                                                        self.rect)


def read_list_items(session, scenario, hwnd, arch):
    """The items of the first visible list view inside the top-level window `hwnd`, read by
    listview_items of the bitness `arch` (which must be that of the window's process)."""
    peers = Peers(arch)
    name = scenario.new_work_name('listview')
    proc = session.spawn([peers.listview_items, scenario.win_work_path(name), '%x' % hwnd])
    code = session.wait(proc, TOOL_LIMIT)
    if code != 0:
        raise RuntimeError('listview_items (%s) could not read the list view of window %x '
                           '(exit code %r)' % (arch, hwnd, code))
    with open(scenario.work_path(name), 'r', encoding='ascii') as f:
        return [ListItem.parse(line) for line in f.read().splitlines()]


def _session_members(sid):
    """Linux PIDs of the live (not zombie) processes of a process session."""
    members = []
    for entry in os.listdir('/proc'):
        if not entry.isdigit():
            continue
        try:
            with open('/proc/%s/stat' % entry) as f:
                fields = f.read().rsplit(')', 1)[1].split()
        except OSError:
            continue
        # After the command name: state, ppid, pgrp, session.
        if fields[0] != 'Z' and int(fields[3]) == sid:
            members.append(int(entry))
    return members


class WineProgram:
    """A window of one of Wine's own programs, started through start.exe (`proc`); close()
    closes the window and ends whatever of its process session is left."""

    window_class = None

    def __init__(self, session, scenario, arch, proc, window):
        self.session = session
        self.scenario = scenario
        self.arch = arch
        self.peers = Peers(arch)
        self.proc = proc
        self.hwnd = window.hwnd
        self.pid = window.pid
        self.title = window.title
        self.title_wide = window.title_wide

    def current_title(self):
        """The title now, bytes as GetWindowTextA gives it; None when the window is gone."""
        window = self._window()
        return window and window.title

    def current_title_wide(self):
        """The title now, as GetWindowTextW gives it; None when the window is gone."""
        window = self._window()
        return window and window.title_wide

    def _window(self):
        for window in self.session.top_windows(self.scenario, self.peers, self.window_class):
            if window.hwnd == self.hwnd:
                return window
        return None

    def close(self, limit=CLOSE_LIMIT):
        """Closes the window with WM_CLOSE and waits for the program and start.exe to end.

        Whatever is still running then is ended by its PID. Returns True when everything
        ended by itself.
        """
        closed = self.session.close_window(self.hwnd, self.peers, limit)
        ended = self.session.wait(self.proc, limit) is not None
        left = self._wait_for_members_to_end(limit if closed else 0)
        for pid in left:
            try:
                os.kill(pid, signal.SIGKILL)
            except ProcessLookupError:
                pass
        return closed and ended and not left

    def _wait_for_members_to_end(self, limit):
        deadline = time.monotonic() + limit
        while True:
            left = _session_members(self.proc.pid)
            if not left or time.monotonic() >= deadline:
                return left
            time.sleep(0.05)

    def __enter__(self):
        return self

    def __exit__(self, *exc):
        self.close()


class Explorer(WineProgram):
    """An explorer window that start_explorer() opened; see the module comment."""

    window_class = EXPLORER_CLASS

    def __init__(self, session, scenario, arch, proc, window):
        super().__init__(session, scenario, arch, proc, window)
        self._last_click = (0.0, None)

    def items(self):
        return read_list_items(self.session, self.scenario, self.hwnd, self.arch)

    def wait_for_items(self, names, limit=SELECT_LIMIT):
        """Waits until the list shows every named item; returns {name: ListItem}.

        Names are str (bytes are read as code page 932) and are compared with the items'
        wide texts, so that résumé.txt and resume.txt stay apart.
        """
        wanted = [_name(n) for n in names]
        deadline = time.monotonic() + limit
        while True:
            items = {item.name: item for item in self.items()}
            if all(name in items for name in wanted):
                return items
            if time.monotonic() > deadline:
                raise RuntimeError('the explorer does not list %r; it lists %r'
                                   % ([n for n in wanted if n not in items], sorted(items)))
            time.sleep(0.1)

    def select(self, names, limit=SELECT_LIMIT):
        """Selects exactly the named items by clicking them (ctrl held from the second on).

        Returns the selected ListItems once the list view reports that selection; raises
        RuntimeError when it does not within the limit.
        """
        wanted = [_name(n) for n in names]
        items = self.wait_for_items(wanted, limit)
        # Clicks land on whatever window is on top at that spot.
        if not self.session.bring_to_front(self.hwnd, self.peers):
            raise RuntimeError('the explorer window %x did not come to the front' % self.hwnd)
        for number, name in enumerate(wanted):
            self._click(items[name].center, with_ctrl=number > 0)
        return self._wait_for_selection(wanted, limit)

    def _click(self, point, with_ctrl):
        when, where = self._last_click
        if where == point and time.monotonic() - when < _DOUBLE_CLICK_GAP:
            time.sleep(_DOUBLE_CLICK_GAP - (time.monotonic() - when))
        x, y = (str(v) for v in point)
        command = ['mousemove', x, y, 'click', '1']
        if with_ctrl:
            command = ['keydown', 'ctrl'] + command + ['keyup', 'ctrl']
        env = dict(os.environ, DISPLAY=self.session.display)
        subprocess.run(['xdotool'] + command, env=env, stdin=subprocess.DEVNULL,
                       stdout=subprocess.DEVNULL, stderr=subprocess.PIPE, timeout=TOOL_LIMIT,
                       check=True)
        self._last_click = (time.monotonic(), point)

    def _wait_for_selection(self, wanted, limit):
        deadline = time.monotonic() + limit
        while True:
            selected = [item for item in self.items() if item.selected]
            if sorted(item.name for item in selected) == sorted(wanted):
                return selected
            if time.monotonic() > deadline:
                raise RuntimeError('after the clicks the explorer shows %r selected, expected %r'
                                   % ([item.name for item in selected], wanted))
            time.sleep(0.05)


def start_explorer(session, scenario, folder, arch, limit=EXPLORER_LIMIT):
    """Opens Wine's explorer of the bitness `arch` on `folder` (a Windows path).

    Returns an Explorer once its window is visible and its list view answers; raises
    RuntimeError (after ending what it started) when that does not happen in time.
    """
    peers = Peers(arch)
    before = {w.hwnd for w in session.top_windows(scenario, peers, EXPLORER_CLASS)}
    loader = _WINE64_LOADER if arch == 'win64' else 'wine'
    proc = session.spawn(['explorer.exe', folder], loader=loader)
    deadline = time.monotonic() + limit
    while time.monotonic() < deadline and proc.poll() is None:
        new = [w for w in session.top_windows(scenario, peers, EXPLORER_CLASS)
               if w.hwnd not in before and w.visible]
        if new:
            explorer = Explorer(session, scenario, arch, proc, new[0])
            try:
                explorer.items()
                # The title the window had when it was first listed may be the one it
                # shows before it has navigated.
                window = explorer._window()
                explorer.title = window and window.title
                explorer.title_wide = window and window.title_wide
                return explorer
            except RuntimeError:
                pass  # the list view is not there yet
        time.sleep(0.1)
    if proc.poll() is not None:
        why = ('its start.exe ended with %r without a new window; Wine\'s explorer hands a '
               'folder that a window shows already to that window' % proc.returncode)
    else:
        why = 'no window within %d s' % limit
    _end_session(session, proc)
    raise RuntimeError('the %s explorer on %s did not open: %s' % (arch, folder, why))


def _end_session(session, proc):
    for pid in _session_members(proc.pid):
        if pid != proc.pid:
            try:
                os.kill(pid, signal.SIGKILL)
            except ProcessLookupError:
                pass
    session.end(proc)


def _inside(path, folder):
    path, folder = os.path.abspath(path), os.path.abspath(folder)
    return os.path.commonpath([path, folder]) == folder


class DriveMapping:
    """A drive letter of the prefix pointing at a Linux folder, until remove()."""

    def __init__(self, session, letter, folder):
        letter = letter.lower().rstrip(':')
        if len(letter) != 1 or not 'd' <= letter <= 'y':
            raise ValueError('a drive letter from D to Y is needed, got %r' % (letter,))
        self.letter = letter.upper()
        self.root = self.letter + ':\\'
        self.link = os.path.join(session.prefix, 'dosdevices', letter + ':')
        if os.path.islink(self.link) and _inside(os.readlink(self.link), session.drive_c):
            os.remove(self.link)   # left by a test run that was interrupted
        if os.path.lexists(self.link):
            raise RuntimeError('drive %s: is mapped already (%s)' % (self.letter, self.link))
        os.symlink(os.path.abspath(folder), self.link)

    def remove(self):
        if os.path.islink(self.link):
            os.remove(self.link)

    def __enter__(self):
        return self

    def __exit__(self, *exc):
        self.remove()


def map_drive(session, letter, folder):
    """Maps a drive letter onto a Linux folder (a scenario folder, say) for the session's
    prefix; returns a DriveMapping to remove afterwards (or use as a context manager)."""
    return DriveMapping(session, letter, folder)
