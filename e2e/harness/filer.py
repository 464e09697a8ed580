"""Stand-in file managers: windows of known content for Tavix to look at.

A FilerConfig describes the top-level window and its controls; start_filer() (or
WineSession.start_filer) writes it for e2e/peers/stand_in_filer.exe, starts that program and
returns a RunningFiler once the program has written its ready file, i.e. once every window
exists, is shown and holds its items and selection. The keys are those documented at the top
of stand_in_filer.c.

    config = FilerConfig(title=sc.win_folder, front=True)
    combo = config.combobox(text=sc.win_folder)
    listview = config.listview(items=['a.txt', 'b.txt'], select=[1])
    with session.start_filer(sc, config, 'win32') as filer:
        filer.controls[listview].list   # the list view's handle
        filer.is_foreground             # whether it was the foreground window when ready

Texts may be given as bytes (passed on unchanged) or as str (encoded as Shift_JIS, the code
page the harness runs Wine with). With FilerConfig(wide=True) texts are str, written as UTF-8,
and the stand-in makes its windows and items with the W functions, so that titles, address
boxes, static texts and item texts may hold any character (é, Hangul, 𠮷, emoji):

    config = FilerConfig(title='C:\\café', front=True, wide=True)
    config.listview(items=['résumé.txt', 'resume.txt'], select=[0, 1])
"""

import os
import shutil
import time

from .paths import Peers

# Seconds a stand-in lives unless the test ends it sooner.
FILER_LIMIT = 120
# Seconds from the start until the ready file must be there.
READY_LIMIT = 30
# Seconds a stand-in gets to close after WM_CLOSE before it is ended by its PID.
CLOSE_LIMIT = 5

KINDS = ('combobox', 'comboboxex', 'listview', 'superclassed', 'nested', 'static')
LIST_KINDS = ('listview', 'superclassed', 'nested')


def _value(text, wide=False):
    """A config value as bytes (UTF-8 for a wide stand-in, else Shift_JIS); refuses what the
    line format cannot carry."""
    if isinstance(text, str):
        data = text.encode('utf-8' if wide else 'cp932')
    elif wide:
        raise TypeError('the texts of a wide stand-in are str: %r' % (text,))
    else:
        data = bytes(text)
    if any(c in data for c in b'\r\n\0'):
        raise ValueError('a stand-in value cannot hold CR, LF or NUL: %r' % (data,))
    return data


def _indices(values):
    values = [int(v) for v in values]
    if any(v < 0 for v in values):
        raise ValueError('indices cannot be negative: %r' % (values,))
    return ','.join(str(v) for v in values).encode('ascii')


class FilerConfig:
    """The windows of one stand-in file manager; each control method returns its index."""

    def __init__(self, title='Stand-in', window_class=None, hidden=False, front=False,
                 hang=None, exit_on=None, minimized=False, remove=None, wide=False):
        if hang not in (None, 'ready', 'listview', 'second-item'):
            raise ValueError('hang must be None, "ready", "listview" or "second-item"')
        if exit_on not in (None, 'listview', 'address', 'second-item'):
            raise ValueError('exit_on must be None, "listview", "address" or "second-item"')
        self.wide = wide
        self._lines = [b'encoding=utf-8'] if wide else []
        self._lines.append(b'title=' + self._value(title))
        if window_class:
            self._lines.append(b'class=' + self._value(window_class))
        if hidden:
            self._lines.append(b'hidden=1')
        if front:
            self._lines.append(b'front=1')
        if minimized:
            self._lines.append(b'minimized=1')
        if remove:
            self._lines.append(b'remove=' + self._value(remove))
        if hang:
            self._lines.append(b'hang=' + hang.encode('ascii'))
        if exit_on:
            self._lines.append(b'exit=' + exit_on.encode('ascii'))
        self.kinds = []

    def add(self, kind, parent=None, visible=True, window_class=None, text=None, items=(),
            count=None, select=(), claim=None, unterminated=False, refuse=(), nonsense=False):
        """Adds a control of one of KINDS; returns its index."""
        if kind not in KINDS:
            raise ValueError('unknown control kind %r' % (kind,))
        if kind not in LIST_KINDS and (items or count is not None or select or
                                       claim is not None or refuse or nonsense):
            raise ValueError('items, count, select, claim, refuse and nonsense are for list kinds')
        if items and count is not None:
            raise ValueError('a list has either items or a count (a virtual list), not both')
        if parent is not None and not 0 <= parent < len(self.kinds):
            raise ValueError('the parent must be an earlier control: %r' % (parent,))
        lines = [b'control=' + kind.encode('ascii')]
        if parent is not None:
            lines.append(b'parent=%d' % parent)
        if not visible:
            lines.append(b'visible=0')
        if window_class:
            lines.append(b'class=' + self._value(window_class))
        if text is not None:
            lines.append(b'text=' + self._value(text))
        lines += [b'item=' + self._value(item) for item in items]
        if count is not None:
            lines.append(b'count=%d' % count)
        if select:
            lines.append(b'select=' + _indices(select))
        if claim is not None:
            lines.append(b'claim=%d' % claim)
        if unterminated:
            lines.append(b'unterminated=1')
        if refuse:
            lines.append(b'refuse=' + _indices(refuse))
        if nonsense:
            lines.append(b'nonsense=1')
        self._lines += lines
        self.kinds.append(kind)
        return len(self.kinds) - 1

    def _value(self, text):
        return _value(text, self.wide)

    def combobox(self, text='', **keys):
        return self.add('combobox', text=text, **keys)

    def comboboxex(self, text='', **keys):
        return self.add('comboboxex', text=text, **keys)

    def listview(self, items=(), **keys):
        return self.add('listview', items=items, **keys)

    def superclassed(self, items=(), window_class='TListView', **keys):
        return self.add('superclassed', items=items, window_class=window_class, **keys)

    def nested(self, items=(), **keys):
        return self.add('nested', items=items, **keys)

    def static(self, window_class, text=None, **keys):
        return self.add('static', window_class=window_class, text=text, **keys)

    def to_bytes(self):
        return b''.join(line + b'\r\n' for line in self._lines)


class FilerControl:
    """One control as the stand-in made it: handles as ints, counts as the list view has them.

    `list` is the list view of the list kinds, `combo` and `edit` the children of a
    comboboxex, `view` the SHELLDLL_DefView of a nested one; `items` and `selected` are the
    list view's real item count and selected count (whatever `claim` makes it answer).
    """

    def __init__(self, index, hwnd, window_class, extras):
        self.index = index
        self.hwnd = hwnd
        self.window_class = window_class
        self.list = extras.get('list')
        self.combo = extras.get('combo')
        self.edit = extras.get('edit')
        self.view = extras.get('view')
        self.items = extras.get('items')
        self.selected = extras.get('selected')

    def __repr__(self):
        return 'FilerControl(%d, %s, hwnd=%x)' % (self.index, self.window_class, self.hwnd)


def parse_ready(text):
    """(fields of the top-level window, [FilerControl]) from a ready file's text."""
    top = {}
    controls = []
    for line in text.splitlines():
        if line.startswith('control='):
            pairs = dict(part.split('=', 1) for part in line.split())
            extras = {key: int(pairs[key], 16) for key in ('list', 'combo', 'edit', 'view')
                      if key in pairs}
            extras.update({key: int(pairs[key]) for key in ('items', 'selected') if key in pairs})
            controls.append(FilerControl(int(pairs['control']), int(pairs['hwnd'], 16),
                                         pairs['class'], extras))
        elif '=' in line:
            key, value = line.split('=', 1)
            top[key] = value
    return top, controls


class RunningFiler:
    """A started stand-in: its window handle, Windows process id, foreground window at
    readiness and controls; close() asks it to end, end() ends it by its PID."""

    def __init__(self, session, proc, peers, ready_text, config_path, stderr_path):
        self.session = session
        self.proc = proc
        self.peers = peers
        self.config_path = config_path
        self.stderr_path = stderr_path
        top, self.controls = parse_ready(ready_text)
        self.hwnd = int(top['hwnd'], 16)
        self.pid = int(top['pid'])
        self.foreground = int(top['foreground'], 16)

    @property
    def is_foreground(self):
        """Whether the stand-in was the foreground window when it reported ready."""
        return self.foreground == self.hwnd

    def running(self):
        return self.proc.poll() is None

    def close(self, limit=CLOSE_LIMIT):
        """Posts WM_CLOSE and waits for the program to end; a program that does not end in
        time (a hung one) is ended by its PID. Returns the exit code, None after an overrun."""
        return close_program(self, limit)

    def end(self):
        """Ends the program by its PID at once, as for a program that hangs on purpose."""
        self.session.end(self.proc)

    def __enter__(self):
        return self

    def __exit__(self, *exc):
        self.close()


def close_program(stand_in, limit):
    """Posts WM_CLOSE to a stand-in's window and waits for its program to end; one that does
    not end in time is ended by stand_in.end(). Returns the exit code, None after an overrun."""
    if stand_in.proc.poll() is None and not stand_in.session.close_window(
            stand_in.hwnd, stand_in.peers, limit):
        stand_in.end()
        return None
    return stand_in.session.wait(stand_in.proc, limit)


def wait_for_file(path, proc, limit):
    """Waits until `path` exists; False when the process ends first or the limit passes."""
    deadline = time.monotonic() + limit
    while not os.path.exists(path):
        if proc.poll() is not None:
            # The file may have come just before the end.
            return os.path.exists(path)
        if time.monotonic() > deadline:
            return False
        time.sleep(0.02)
    return True


def start_filer(session, scenario, config, arch, limit=None, exe_name=None):
    """Starts stand_in_filer.exe of the bitness `arch` with the given FilerConfig.

    With exe_name, a copy of the program under that name (in the scenario's work folder) is
    started instead, so that its process image has another base name.
    Returns a RunningFiler once the ready file is there; raises RuntimeError (after ending
    the program) when the program refuses the config or does not get ready in time.
    """
    peers = Peers(arch)
    limit = FILER_LIMIT if limit is None else limit
    program, image = peers.stand_in_filer, None
    if exe_name:
        image = scenario.work_path(exe_name)
        shutil.copyfile(peers.stand_in_filer, image)
        program = scenario.win_work_path(exe_name)
    config_name = scenario.new_work_name('filer', '.cfg')
    ready_name = scenario.new_work_name('filer-ready')
    stderr_path = scenario.work_path(scenario.new_work_name('filer-stderr'))
    with open(scenario.work_path(config_name), 'wb') as f:
        f.write(config.to_bytes())
    proc = session.spawn([program, scenario.win_work_path(config_name),
                          scenario.win_work_path(ready_name), str(limit)],
                         stderr_path=stderr_path, image=image)
    ready_path = scenario.work_path(ready_name)
    if not wait_for_file(ready_path, proc, min(READY_LIMIT, limit)):
        session.end(proc)
        with open(stderr_path, 'rb') as f:
            why = f.read().decode('utf-8', 'replace').strip()
        raise RuntimeError('stand_in_filer (%s) did not get ready (exit code %r): %s'
                           % (arch, proc.returncode, why or 'no message'))
    with open(ready_path, 'r', encoding='utf-8') as f:
        return RunningFiler(session, proc, peers, f.read(), scenario.work_path(config_name),
                            stderr_path)
