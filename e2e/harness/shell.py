"""Stand-in shells: the shell's window list (CLSID_ShellWindows) served over COM for one
folder window whose tabs a test describes.

A ShellConfig describes the frame window, its tabs (the folder and the selection of each) and
the COM methods that hang; start_shell() (or WineSession.start_shell) writes it for
e2e/peers/stand_in_shell.exe, starts that program and returns a RunningShell once the program
has written its ready file, i.e. once its windows are shown and its class objects are
registered. The keys are those documented at the top of stand_in_shell.cpp.

    config = ShellConfig(title='Data', front=True)
    config.tab(folder=sc.win_path('Data'), select=[sc.win_path('Data\\a.txt'), Virtual('x')])
    with session.start_shell(sc, config, 'win32') as shell:
        shell.hwnd        # the frame, which IWebBrowserApp::get_HWND gives for every tab
        shell.tabs[0]     # the tab's ShellTabWindowClass window

Under Wine, the desktop process registers a shell window list of its own (whose get_Count
and Item answer E_NOTIMPL) when it starts, and COM hands out the earliest registration of a
CLSID, so a class object that the stand-in registers for CLSID_ShellWindows is never reached.
Each start therefore gets a fresh CLSID, which the program registers too and makes COM treat
CLSID_ShellWindows as (the TreatAs key, in both registry views). A fresh CLSID per start also
keeps clear of the registrations that programs ended by force leave behind: Wine never drops
those, and COM answers REGDB_E_CLASSNOTREG for a CLSID whose earliest registration is dead.
The program removes the key when it closes; after ending it by its PID, end() removes it.

Texts of the tabs (folders, selected paths, names of virtual entries) are str, written as
UTF-8 and served as UTF-16, so they may hold characters outside code page 932. The title may
be given as bytes (passed on unchanged) or as str (encoded as Shift_JIS, as in filer.py).
"""

import uuid

from .filer import CLOSE_LIMIT, READY_LIMIT, close_program, wait_for_file
from .paths import Peers

# Seconds a stand-in lives unless the test ends it sooner.
SHELL_LIMIT = 120
# Seconds the clean-up of the TreatAs key may take.
CLEANUP_LIMIT = 30

# Methods that hang= can make hang (see stand_in_shell.cpp).
HANG_METHODS = ('count', 'item', 'hwnd', 'service', 'window', 'view', 'folder', 'items', 'name',
                'pidl')
MAX_TABS = 32


class Virtual:
    """A folder or selected item without a file-system path, shown under `name`."""

    def __init__(self, name):
        self.name = name

    def __repr__(self):
        return 'Virtual(%r)' % (self.name,)


def _line_value(data):
    if any(c in data for c in b'\r\n\0'):
        raise ValueError('a stand-in value cannot hold CR, LF or NUL: %r' % (data,))
    if not data:
        raise ValueError('a stand-in path or name cannot be empty')
    return data


def _title(text):
    data = text.encode('cp932') if isinstance(text, str) else bytes(text)
    if any(c in data for c in b'\r\n\0'):
        raise ValueError('a stand-in title cannot hold CR, LF or NUL: %r' % (data,))
    return data


def _text(text):
    """A tab text as UTF-8 bytes."""
    if not isinstance(text, str):
        raise TypeError('tab paths and names are str: %r' % (text,))
    return _line_value(text.encode('utf-8'))


class ShellConfig:
    """One stand-in folder window and the shell window list that serves its tabs.

    tab_windows is the number of ShellTabWindowClass windows: None for one per tab(), 0 for
    a frame without tab windows (which still serves one browser, whose window is the frame).
    active is the tab whose window comes first among the frame's tab windows; hang names the
    methods (HANG_METHODS) that sleep instead of answering; register=False registers no class
    object at all, so that CoCreateInstance(CLSID_ShellWindows) finds no class.
    """

    def __init__(self, title='Stand-in shell', window_class=None, front=False, tab_windows=None,
                 active=0, hang=(), register=True):
        hang = (hang,) if isinstance(hang, str) else tuple(hang)
        unknown = [h for h in hang if h not in HANG_METHODS]
        if unknown:
            raise ValueError('hang takes methods of %r, not %r' % (HANG_METHODS, unknown))
        if tab_windows is not None and not 0 <= tab_windows <= MAX_TABS:
            raise ValueError('tab_windows must be between 0 and %d' % MAX_TABS)
        self.title = _title(title)
        self.window_class = window_class
        self.front = front
        self.tab_windows = tab_windows
        self.active = active
        self.hang = hang
        self.register = register
        self._tabs = []

    def tab(self, folder='C:\\', select=()):
        """Adds a tab showing `folder` (a path, or Virtual(name)) with the items of `select`
        (each a path or Virtual(name)) selected, in that order; returns the tab's index."""
        lines = [b'tab=%d' % len(self._tabs)]
        if isinstance(folder, Virtual):
            lines.append(b'virtual-folder=' + _text(folder.name))
        else:
            lines.append(b'folder=' + _text(folder))
        for item in select:
            if isinstance(item, Virtual):
                lines.append(b'select-virtual=' + _text(item.name))
            else:
                lines.append(b'select=' + _text(item))
        self._tabs.append(lines)
        return len(self._tabs) - 1

    @property
    def window_count(self):
        """The number of ShellTabWindowClass windows the stand-in makes."""
        return max(len(self._tabs), 1) if self.tab_windows is None else self.tab_windows

    @property
    def browser_count(self):
        """The number of browsers the window list serves: one per tab, at least one."""
        return max(self.window_count, 1)

    def to_bytes(self, treat_as=None):
        if len(self._tabs) > self.browser_count:
            raise ValueError('%d tabs configured for %d tab windows'
                             % (len(self._tabs), self.window_count))
        if not 0 <= self.active < self.browser_count:
            raise ValueError('active tab %d does not exist' % self.active)
        lines = [b'title=' + self.title, b'tabs=%d' % self.window_count,
                 b'active=%d' % self.active]
        if self.window_class:
            lines.append(b'class=' + _line_value(self.window_class.encode('ascii')))
        if self.front:
            lines.append(b'front=1')
        lines += [b'hang=' + h.encode('ascii') for h in self.hang]
        if not self.register:
            lines.append(b'register=0')
        if treat_as:
            lines.append(b'treat-as=' + treat_as.encode('ascii'))
        for tab in self._tabs:
            lines += tab
        return b''.join(line + b'\r\n' for line in lines)


def _hresult(text):
    return None if text in (None, 'none') else int(text, 16)


def parse_ready(text):
    """(fields of the frame, [tab window handles in tab order]) from a ready file's text."""
    top = {}
    tabs = []
    for line in text.splitlines():
        if line.startswith('tab='):
            pairs = dict(part.split('=', 1) for part in line.split())
            if int(pairs['tab']) != len(tabs):
                raise ValueError('tab lines out of order in %r' % (text,))
            tabs.append(int(pairs['hwnd'], 16))
        elif '=' in line:
            key, value = line.split('=', 1)
            top[key] = value
    return top, tabs


class RunningShell:
    """A started stand-in shell.

    hwnd: the frame; pid: its Windows process id; foreground: the foreground window when it
    got ready; tabs: the ShellTabWindowClass windows in tab order; first_tab: the first of
    them in z-order (0 without tab windows); registration: the HRESULT of registering the
    class object for CLSID_ShellWindows (None with register=False); treat_as: 0 when the
    fresh CLSID was registered and made the one CLSID_ShellWindows is treated as, else the
    HRESULT that failed; clsid: that CLSID. close() asks the program to end, end() ends it
    by its PID.
    """

    def __init__(self, session, proc, peers, ready_text, clsid, config_path, stderr_path):
        self.session = session
        self.proc = proc
        self.peers = peers
        self.clsid = clsid
        self.config_path = config_path
        self.stderr_path = stderr_path
        top, self.tabs = parse_ready(ready_text)
        self.hwnd = int(top['hwnd'], 16)
        self.pid = int(top['pid'])
        self.foreground = int(top['foreground'], 16)
        self.first_tab = int(top['first'], 16)
        self.registration = _hresult(top.get('register'))
        self.treat_as = _hresult(top.get('treat-as'))
        self._cleaned = False

    @property
    def is_foreground(self):
        """Whether the frame was the foreground window when the stand-in reported ready."""
        return self.foreground == self.hwnd

    @property
    def serving(self):
        """Whether CoCreateInstance(CLSID_ShellWindows) of other programs reaches this one."""
        return self.registration == 0 and self.treat_as == 0

    def running(self):
        return self.proc.poll() is None

    def close(self, limit=CLOSE_LIMIT):
        """Posts WM_CLOSE and waits for the program to end; a program that does not end in
        time (a hung one) is ended by its PID. Returns the exit code, None after an overrun."""
        code = close_program(self, limit)
        if code is None:
            return None
        if code != 0:
            self.remove_treat_as()
        return code

    def end(self):
        """Ends the program by its PID at once, then removes the TreatAs key it left."""
        self.session.end(self.proc)
        self.remove_treat_as()

    def remove_treat_as(self):
        """Deletes the TreatAs key from each registry view where it still names this
        stand-in's CLSID (a later stand-in's key is left alone)."""
        if self._cleaned:
            return
        self._cleaned = True
        if not _remove_treat_as(self.session, self.peers, self.clsid):
            raise RuntimeError('stand_in_shell could not remove its TreatAs key %s' % self.clsid)

    def __enter__(self):
        return self

    def __exit__(self, *exc):
        self.close()


def start_shell(session, scenario, config, arch, limit=None):
    """Starts stand_in_shell.exe of the bitness `arch` with the given ShellConfig.

    Returns a RunningShell once the ready file is there; raises RuntimeError (after ending
    the program) when the program refuses the config or does not get ready in time.
    """
    peers = Peers(arch)
    limit = SHELL_LIMIT if limit is None else limit
    clsid = '{%s}' % str(uuid.uuid4()).upper()
    config_name = scenario.new_work_name('shell', '.cfg')
    ready_name = scenario.new_work_name('shell-ready')
    stderr_path = scenario.work_path(scenario.new_work_name('shell-stderr'))
    with open(scenario.work_path(config_name), 'wb') as f:
        f.write(config.to_bytes(treat_as=clsid))
    proc = session.spawn([peers.stand_in_shell, scenario.win_work_path(config_name),
                          scenario.win_work_path(ready_name), str(limit)],
                         stderr_path=stderr_path)
    ready_path = scenario.work_path(ready_name)
    if not wait_for_file(ready_path, proc, min(READY_LIMIT, limit)):
        session.end(proc)
        with open(stderr_path, 'rb') as f:
            why = f.read().decode('utf-8', 'replace').strip()
        if proc.returncode != 2:
            # A config refused with exit code 2 never wrote the key; anything else may have.
            _remove_treat_as(session, peers, clsid)
        raise RuntimeError('stand_in_shell (%s) did not get ready (exit code %r): %s'
                           % (arch, proc.returncode, why or 'no message'))
    with open(ready_path, 'r', encoding='ascii') as f:
        return RunningShell(session, proc, peers, f.read(), clsid,
                            scenario.work_path(config_name), stderr_path)


def _remove_treat_as(session, peers, clsid):
    """Runs the stand-in's clean-up form; returns whether it succeeded."""
    proc = session.spawn([peers.stand_in_shell, '--remove-treat-as', clsid])
    return session.wait(proc, CLEANUP_LIMIT) == 0
