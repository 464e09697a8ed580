"""The clipboard as the program under test leaves it, through e2e/peers/clipboard_tool.exe.

    set_clipboard(session, sc, peers, b'earlier')       # what a test expects to stay
    run = session.run(sc, 'Tavix.exe', args)
    read_clipboard(session, sc, peers)                   # bytes of CF_TEXT, or None
    read_clipboard_unicode(session, sc, peers)           # str of CF_UNICODETEXT, or None
    found = read_clipboard_text(session, sc, peers)      # both, and the formats, at once
    found.text, found.unicode, found.formats

    with hold_clipboard(session, sc, peers):             # another program holds it open
        run = session.run(sc, 'Tavix.exe', args)

CF_TEXT is bytes in code page 932 (str is encoded so); CF_UNICODETEXT is str (set with
set_clipboard_unicode, UTF-16 on the clipboard). A clipboard that cannot be opened or
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
  - CF_UNICODETEXT set alone is listed as 13, 16, 1, 7; the CF_TEXT made from it is
    converted to code page 932 with best-fit look-alikes: "résumé" reads back as b"resume",
    and every character without one (an emoji, Hangul) as "?" ("?" twice for a surrogate
    pair). A program that must not hand out "resume" for "résumé" therefore has to set a
    CF_TEXT of its own. Both set, in either order, are listed in the order they were set,
    followed by CF_LOCALE and CF_OEMTEXT; each reads back as it was set.
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


CF_TEXT = 1
CF_OEMTEXT = 7
CF_UNICODETEXT = 13
CF_LOCALE = 16


class ClipboardText:
    """CF_TEXT and CF_UNICODETEXT as clipboard_tool read them.

    `text`: the CF_TEXT bytes before the first NUL (the whole block when it holds none);
    `size`: GlobalSize of the block; `terminated`: whether the block holds a NUL;
    `unicode`: the CF_UNICODETEXT text before the first zero WCHAR (str; None when there is
    none), with `unicode_size` and `unicode_terminated` alike (sizes in bytes);
    `formats`: the clipboard formats then present, as numbers, in their order.
    """

    def __init__(self, fields):
        self.text = bytes.fromhex(fields['text_hex'])
        self.size = int(fields['size'])
        self.terminated = fields['terminated'] == '1'
        formats = fields.get('formats', '')
        self.formats = [int(f) for f in formats.split(',')] if formats else []
        self.unicode = None
        self.unicode_size = None
        self.unicode_terminated = None
        if fields.get('unicode_status') == 'text':
            self.unicode = decode_utf16(bytes.fromhex(fields['unicode_hex']))
            self.unicode_size = int(fields['unicode_size'])
            self.unicode_terminated = fields['unicode_terminated'] == '1'

    def __repr__(self):
        return 'ClipboardText(%r, unicode=%r, size=%d, terminated=%s, formats=%r)' % (
            self.text, self.unicode, self.size, self.terminated, self.formats)


def decode_utf16(data):
    """UTF-16LE code units as str; an unpaired surrogate stays in it rather than failing."""
    return data.decode('utf-16-le', 'surrogatepass')


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


def _read_both(session, scenario, peers):
    """(whether CF_TEXT is there, the report's fields) of one clipboard_tool read."""
    keep_clipboard(session, scenario, peers)
    name = scenario.new_work_name('clipboard')
    code = _run_tool(session, peers, ['read', scenario.win_work_path(name)])
    path = scenario.work_path(name)
    fields = _fields(path) if os.path.exists(path) else {}
    if code not in (0, 3):
        raise ClipboardError('clipboard_tool read: exit code %r, %r' % (code, fields))
    return code == 0, fields


def read_clipboard_text(session, scenario, peers):
    """A ClipboardText for the clipboard's CF_TEXT (and CF_UNICODETEXT), or None when it holds
    no CF_TEXT."""
    has_text, fields = _read_both(session, scenario, peers)
    return ClipboardText(fields) if has_text else None


def read_clipboard(session, scenario, peers):
    """The CF_TEXT bytes on the clipboard (up to the first NUL), or None when there are none."""
    found = read_clipboard_text(session, scenario, peers)
    return None if found is None else found.text


def read_clipboard_unicode(session, scenario, peers):
    """The CF_UNICODETEXT text on the clipboard (up to the first zero), or None."""
    _, fields = _read_both(session, scenario, peers)
    if fields.get('unicode_status') == 'failed':
        raise ClipboardError('clipboard_tool could not read CF_UNICODETEXT: %r' % (fields,))
    if fields.get('unicode_status') != 'text':
        return None
    return decode_utf16(bytes.fromhex(fields['unicode_hex']))


def set_clipboard_unicode(session, scenario, peers, text):
    """Puts a str on the clipboard as CF_UNICODETEXT alone."""
    if '\0' in text:
        raise ValueError('CF_UNICODETEXT ends at its first zero: %r' % (text,))
    keep_clipboard(session, scenario, peers)
    name = scenario.new_work_name('clipboard-setw')
    with open(scenario.work_path(name), 'wb') as f:
        f.write(text.encode('utf-8'))
    code = _run_tool(session, peers, ['setw', '@' + scenario.win_work_path(name)])
    if code != 0:
        raise ClipboardError('clipboard_tool setw: exit code %r' % (code,))


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
