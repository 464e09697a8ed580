"""The clipboard as the program under test leaves it, through e2e/peers/clipboard_tool.exe.

    set_clipboard(session, sc, peers, b'earlier')       # what a test expects to stay
    run = session.run(sc, 'Tavix.exe', args)
    read_clipboard(session, sc, peers)                   # bytes of CF_TEXT, or None

    with hold_clipboard(session, sc, peers):             # another program holds it open
        run = session.run(sc, 'Tavix.exe', args)

Texts are bytes in code page 932 (str is encoded so). A clipboard that cannot be opened or
read raises ClipboardError rather than passing for an empty one.

Each function here first makes sure that a keeper runs in the session (keep_clipboard): a
clipboard_tool that only keeps a window on the desktop until the session closes, so that a
text outlives the program that put it there (see below). A test that reads the clipboard
without setting, clearing or holding it first calls keep_clipboard before it runs the program.

How the clipboard behaves under Wine 8 on Xvfb (checked with 32- and 64-bit programs):
  - The clipboard belongs to the desktop. About a second after the last program has ended,
    Wine's desktop process ends and the clipboard with it: a text read 0.3 s after the
    program that set it had ended was there, from 1 s on it was gone (no CF_TEXT at all).
    While some program runs, a text stays readable after its setter has ended, whether the
    setter opened the clipboard for a window or for none (OpenClipboard(NULL), then
    EmptyClipboard and SetClipboardData succeed, and the owner stays NULL).
  - A text set by a 32-bit program reads the same from a 64-bit one, and the other way round.
  - CF_TEXT set alone is listed as formats 1, 16, 7, 13 (CF_TEXT, CF_LOCALE, CF_OEMTEXT,
    CF_UNICODETEXT); Wine makes the others from it. The block read back has the size of the
    block set (the text's length + 1 for a terminated text).
  - A CF_TEXT block set without a terminating NUL comes back with its last byte replaced by
    a NUL: Wine terminates text blocks as it hands them out. A missing terminator therefore
    shows as a lost last character, never as a read past the block; `terminated` is always
    true under Wine.
  - While one process holds the clipboard open for a window, OpenClipboard fails in every
    other process, for a window or for none, with ERROR_ACCESS_DENIED (5); the content is
    unchanged afterwards. While it is held open for no window, OpenClipboard for a window is
    refused (5) but OpenClipboard(NULL) succeeds, and that CloseClipboard ends the hold for
    everyone. clipboard_tool therefore always opens the clipboard for a window of its own.
"""

import os
import time
import weakref

# Seconds one clipboard_tool run may take; it tries to open the clipboard for 2 s.
TOOL_LIMIT = 15
# Seconds a hold lasts unless released sooner.
HOLD_LIMIT = 30


class ClipboardError(RuntimeError):
    """The clipboard could not be opened, read or changed."""


class ClipboardText:
    """CF_TEXT as clipboard_tool read it.

    `text`: the bytes before the first NUL (the whole block when it holds none);
    `size`: GlobalSize of the block; `terminated`: whether the block holds a NUL;
    `formats`: the clipboard formats then present, as numbers.
    """

    def __init__(self, fields):
        self.text = bytes.fromhex(fields['text_hex'])
        self.size = int(fields['size'])
        self.terminated = fields['terminated'] == '1'
        formats = fields.get('formats', '')
        self.formats = [int(f) for f in formats.split(',')] if formats else []

    def __repr__(self):
        return 'ClipboardText(%r, size=%d, terminated=%s, formats=%r)' % (
            self.text, self.size, self.terminated, self.formats)


# The keeper of each open session.
_keepers = weakref.WeakKeyDictionary()


def keep_clipboard(session, scenario, peers):
    """Starts the session's keeper unless it runs; returns once its window exists.

    The session ends it by its PID when it closes.
    """
    keeper = _keepers.get(session)
    if keeper is not None and keeper.poll() is None:
        return
    ready = scenario.new_work_name('clipboard-keeper')
    release = scenario.new_work_name('clipboard-keeper-release')
    proc = session.spawn([peers.clipboard_tool, 'keep', scenario.win_work_path(ready),
                          scenario.win_work_path(release)])
    deadline = time.monotonic() + TOOL_LIMIT
    while not os.path.exists(scenario.work_path(ready)):
        if proc.poll() is not None or time.monotonic() > deadline:
            session.end(proc)
            raise ClipboardError('clipboard_tool keep did not report ready')
        time.sleep(0.02)
    _keepers[session] = proc


def _run_tool(session, peers, args):
    proc = session.spawn([peers.clipboard_tool] + list(args))
    return session.wait(proc, TOOL_LIMIT)


def _fields(path):
    fields = {}
    with open(path, 'rb') as f:
        for line in f.read().decode('ascii').splitlines():
            key, _, value = line.partition('=')
            fields[key] = value
    return fields


def read_clipboard_text(session, scenario, peers):
    """A ClipboardText for the clipboard's CF_TEXT, or None when it holds no CF_TEXT."""
    keep_clipboard(session, scenario, peers)
    name = scenario.new_work_name('clipboard')
    code = _run_tool(session, peers, ['read', scenario.win_work_path(name)])
    if code == 3:
        return None
    path = scenario.work_path(name)
    fields = _fields(path) if os.path.exists(path) else {}
    if code != 0:
        raise ClipboardError('clipboard_tool read: exit code %r, %r' % (code, fields))
    return ClipboardText(fields)


def read_clipboard(session, scenario, peers):
    """The CF_TEXT bytes on the clipboard (up to the first NUL), or None when there are none."""
    found = read_clipboard_text(session, scenario, peers)
    return None if found is None else found.text


def set_clipboard(session, scenario, peers, data):
    """Puts bytes (or str, as Shift_JIS) on the clipboard as CF_TEXT."""
    data = data.encode('cp932') if isinstance(data, str) else bytes(data)
    if b'\0' in data:
        raise ValueError('CF_TEXT ends at its first NUL: %r' % (data,))
    keep_clipboard(session, scenario, peers)
    name = scenario.new_work_name('clipboard-set')
    with open(scenario.work_path(name), 'wb') as f:
        f.write(data)
    code = _run_tool(session, peers, ['set', '@' + scenario.win_work_path(name)])
    if code != 0:
        raise ClipboardError('clipboard_tool set: exit code %r' % (code,))


def clear_clipboard(session, scenario, peers):
    """Empties the clipboard."""
    keep_clipboard(session, scenario, peers)
    code = _run_tool(session, peers, ['clear'])
    if code != 0:
        raise ClipboardError('clipboard_tool clear: exit code %r' % (code,))


class ClipboardHold:
    """clipboard_tool holding the clipboard open for a window of its own until released.

    Meanwhile OpenClipboard fails in every other program with ERROR_ACCESS_DENIED. Use
    hold_clipboard(), or the object as a context manager, which releases on leaving.
    """

    def __init__(self, session, scenario, peers, limit=HOLD_LIMIT):
        self.session = session
        self.limit = limit
        ready = scenario.new_work_name('clipboard-held')
        release = scenario.new_work_name('clipboard-release')
        self.ready = scenario.work_path(ready)
        self.release_path = scenario.work_path(release)
        self.exit_code = None
        self._done = False
        keep_clipboard(session, scenario, peers)
        self.proc = session.spawn([peers.clipboard_tool, 'hold', scenario.win_work_path(ready),
                                   scenario.win_work_path(release), str(limit)])

    def wait_until_held(self):
        deadline = time.monotonic() + TOOL_LIMIT
        while not os.path.exists(self.ready):
            if self.proc.poll() is not None or time.monotonic() > deadline:
                self.end()
                raise ClipboardError('clipboard_tool hold did not report ready')
            time.sleep(0.02)
        with open(self.ready) as f:
            state = f.read().strip()
        if state != 'held':
            self.end()
            raise ClipboardError('clipboard_tool could not open the clipboard: %s' % state)

    def release(self):
        """Lets the holder close the clipboard; returns its exit code (0: released in time).

        A holder that does not end in time is ended by its PID, and None is returned.
        """
        if not self._done:
            self._done = True
            open(self.release_path, 'w').close()
            self.exit_code = self.session.wait(self.proc, TOOL_LIMIT)
        return self.exit_code

    def end(self):
        """Ends the holder by its PID, without a release."""
        self._done = True
        self.session.end(self.proc)

    def __enter__(self):
        return self

    def __exit__(self, *exc):
        self.release()


def hold_clipboard(session, scenario, peers, limit=HOLD_LIMIT):
    """Starts a ClipboardHold and returns it once the clipboard is held."""
    hold = ClipboardHold(session, scenario, peers, limit)
    hold.wait_until_held()
    return hold
