"""A private Wine desktop for the end-to-end tests.

A WineSession owns, for its lifetime:
  - an Xvfb server on a display it picked itself (Xvfb -displayfd), ended by its PID;
  - the lock on the Wine prefix build/e2e/prefix, created once (wineboot -i) and reused; its
    relay trace is limited to OutputDebugStringW, which the program's trace goes through
    (see trace.py);
  - a persistent wineserver for that prefix, ended with `wineserver -k`.

Each scenario gets its own folder C:\\<name> in the prefix, with the program copied in under
the name the scenario wants. Everything the session starts runs with a time limit, and is
ended by its PID when it overruns.
"""

import atexit
import fcntl
import os
import select
import shutil
import signal
import struct
import subprocess
import threading
import time

from . import filer, paths, shell
from .box import BoxReport
from .screen import write_png_from_ppm
from .texts import encode_text
from .trace import DEBUG_CHANNELS, RELAY_INCLUDE, trace_lines, wide_trace_lines

# Time limits, in seconds.
PREFIX_CREATE_LIMIT = 180
PREFIX_LOCK_LIMIT = 600
PROGRAM_LIMIT = 15
BOX_WAIT_LIMIT = 15
TOOL_LIMIT = 30

_READY_MARK = '.tavix-e2e-ready'
# Made once the relay trace of the prefix is limited to RELAY_INCLUDE (a prefix made before
# that setting existed gets it on its next session).
_RELAY_MARK = '.tavix-e2e-relay'


class RunResult:
    """The outcome of one program run: exit code, traced lines and Wine's stderr.

    `trace` holds the traced lines as bytes in code page 932 (what the ANSI code page makes of
    them), `trace_wide` the same lines as str, with the exact wide text.
    """

    def __init__(self, exit_code, stderr, timed_out=False, diagnosis=''):
        self.exit_code = exit_code
        self.stderr = stderr
        self.trace = trace_lines(stderr)
        self.trace_wide = wide_trace_lines(stderr)
        self.timed_out = timed_out
        self.diagnosis = diagnosis

    def describe(self):
        text = 'exit code %r' % (self.exit_code,)
        if self.timed_out:
            text += ' (did not end in time; %s)' % self.diagnosis
        text += '; trace: %r' % (self.trace_wide,)
        return text


class Scenario:
    """A folder C:\\<name> in the prefix, seen from Linux (`folder`) and from Windows (`win_folder`).

    Names inside it may be written with / or \\ between folders, and may hold any character:
    the Linux side of a Wine drive holds UTF-8 names, which Wine shows as the UTF-16 names they
    spell (characters beyond the BMP as surrogate pairs), so `sc.write_file('café/😀.txt')` is
    C:\\<name>\\café\\😀.txt to every program, whatever its code page.
    """

    def __init__(self, session, name):
        self.session = session
        self.name = name
        self.folder = os.path.join(session.drive_c, name)
        self.win_folder = 'C:\\' + name
        # Peers write their results and markers here, away from the folder under test.
        self.work = os.path.join(session.drive_c, '_e2e', name)
        self.win_work = 'C:\\_e2e\\' + name
        for folder in (self.folder, self.work):
            shutil.rmtree(folder, ignore_errors=True)
            os.makedirs(folder)
        self._serial = 0

    def new_work_name(self, stem, extension='.txt'):
        """A file name in the work folder that no earlier step of this scenario used."""
        self._serial += 1
        return '%s-%d%s' % (stem, self._serial, extension)

    def add_exe(self, source, name='Tavix.exe'):
        """Copies a program in; `name` may name a subfolder too ('Überall\\Tavix.exe'), which
        is made when missing. Returns the name, for run()."""
        os.makedirs(os.path.dirname(self.path(name)), exist_ok=True)
        shutil.copyfile(source, self.path(name))
        return name

    def make_folder(self, name):
        os.makedirs(self.path(name), exist_ok=True)

    def write_file(self, name, data=b''):
        with open(self.path(name), 'wb') as f:
            f.write(data)

    def write_text(self, name, text, encoding='ansi'):
        """Writes a str as a text file in one of texts.ENCODINGS (default: code page 932)."""
        self.write_file(name, encode_text(text, encoding))

    def path(self, name):
        return os.path.join(self.folder, *name.replace('\\', '/').split('/'))

    def win_path(self, name):
        return self.win_folder + '\\' + name.replace('/', '\\')

    def files(self):
        return sorted(os.listdir(self.folder))

    def work_path(self, name):
        return os.path.join(self.work, name)

    def win_work_path(self, name):
        return self.win_work + '\\' + name


class WineSession:
    """Xvfb, the prefix and its wineserver for one group of tests; see the module comment.

    Helpers: scenario() for a fresh folder, run() for a program's exit code and trace,
    run_with_box() for the same plus the report on the box it shows, hold_file() to keep a
    file locked, start_filer() for a stand-in file manager, start_shell() for a stand-in
    shell window list, list_windows(), top_windows(), close_window(), bring_to_front(),
    foreground_window(), window_state(), window_text() and screenshot().
    """

    def __init__(self, prefix=None):
        self.prefix = prefix or paths.prefix_dir()
        self.drive_c = os.path.join(self.prefix, 'drive_c')
        self.display = None
        self._xvfb = None
        self._lock = None
        self._server_started = False
        self._started = []

    # ---- lifetime -------------------------------------------------------------------

    def __enter__(self):
        self.start()
        return self

    def __exit__(self, *exc):
        self.close()

    def start(self):
        _end_on_sigterm()
        _open_sessions.add(self)
        atexit.register(self.close)
        try:
            self._lock_prefix()
            self._end_stale_xvfb()
            self._start_xvfb()
            self._ensure_prefix()
            self._start_server()
        except BaseException:
            self.close()
            raise

    def close(self):
        _open_sessions.discard(self)
        atexit.unregister(self.close)
        for proc in self._started:
            _end(proc)
        self._started = []
        if self._server_started:
            subprocess.run(['wineserver', '-k'], env=self.env(), stdin=subprocess.DEVNULL,
                           stdout=subprocess.DEVNULL, stderr=subprocess.DEVNULL,
                           timeout=TOOL_LIMIT, check=False)
            subprocess.run(['wineserver', '-w'], env=self.env(), stdin=subprocess.DEVNULL,
                           stdout=subprocess.DEVNULL, stderr=subprocess.DEVNULL,
                           timeout=TOOL_LIMIT, check=False)
            self._server_started = False
        if self._xvfb:
            _end(self._xvfb)
            self._xvfb = None
            _remove(self._xvfb_record())
        if self._lock:
            self._lock.close()
            self._lock = None

    def env(self, debug='-all'):
        env = {k: v for k, v in os.environ.items()
               if not k.startswith('WINE') and k not in ('DISPLAY', 'WAYLAND_DISPLAY')}
        env.update({
            'WINEPREFIX': self.prefix,
            'WINEDEBUG': debug,
            # No prompts to install Mono or Gecko while the prefix is made.
            'WINEDLLOVERRIDES': 'mscoree,mshtml=',
            # Code page 932, as on a Japanese Windows.
            'LANG': 'ja_JP.UTF-8',
            'LC_ALL': 'ja_JP.UTF-8',
        })
        if self.display:
            env['DISPLAY'] = self.display
        return env

    def _xvfb_record(self):
        return self.prefix + '.xvfb'

    def _end_stale_xvfb(self):
        """Ends the Xvfb of an earlier session of this prefix that was killed before closing.

        The record holds its PID and start time, so that a PID since reused by another
        process is left alone.
        """
        try:
            with open(self._xvfb_record()) as f:
                pid, started = (int(x) for x in f.read().split())
        except (OSError, ValueError):
            return
        if _start_time(pid) == started:
            try:
                os.kill(pid, signal.SIGKILL)
            except ProcessLookupError:
                pass
        _remove(self._xvfb_record())

    def _start_xvfb(self):
        read_end, write_end = os.pipe()
        try:
            self._xvfb = subprocess.Popen(
                ['Xvfb', '-displayfd', str(write_end), '-screen', '0', '1024x768x24',
                 '-nolisten', 'tcp', '-noreset'],
                pass_fds=(write_end,), stdin=subprocess.DEVNULL,
                stdout=subprocess.DEVNULL, stderr=subprocess.DEVNULL, start_new_session=True)
        finally:
            os.close(write_end)
        # Xvfb writes the display number once it accepts connections.
        number = _read_line(read_end, TOOL_LIMIT)
        if not number:
            raise RuntimeError('Xvfb did not report a display within %d s' % TOOL_LIMIT)
        self.display = ':' + number
        with open(self._xvfb_record(), 'w') as f:
            f.write('%d %d\n' % (self._xvfb.pid, _start_time(self._xvfb.pid)))

    def _lock_prefix(self):
        os.makedirs(os.path.dirname(self.prefix), exist_ok=True)
        self._lock = open(self.prefix + '.lock', 'w')
        deadline = time.monotonic() + PREFIX_LOCK_LIMIT
        while True:
            try:
                fcntl.flock(self._lock, fcntl.LOCK_EX | fcntl.LOCK_NB)
                return
            except BlockingIOError:
                if time.monotonic() > deadline:
                    raise RuntimeError('another test run holds %s.lock' % self.prefix)
                time.sleep(0.2)

    def _ensure_prefix(self):
        if os.path.exists(os.path.join(self.prefix, _READY_MARK)):
            self._limit_relay_trace()
            return
        shutil.rmtree(self.prefix, ignore_errors=True)
        quiet = dict(stdin=subprocess.DEVNULL, stdout=subprocess.DEVNULL,
                     stderr=subprocess.DEVNULL, check=True)
        subprocess.run(['wineboot', '-i'], env=self.env(), timeout=PREFIX_CREATE_LIMIT, **quiet)
        # Unmanaged X11 windows: no window manager runs, and managed ones make Wine wait
        # about 2 s after every message box.
        subprocess.run(['wine', 'reg', 'add', 'HKCU\\Software\\Wine\\X11 Driver', '/v',
                        'Managed', '/d', 'N', '/f'], env=self.env(), timeout=TOOL_LIMIT, **quiet)
        subprocess.run(['wineserver', '-w'], env=self.env(), timeout=TOOL_LIMIT, **quiet)
        self._limit_relay_trace()
        open(os.path.join(self.prefix, _READY_MARK), 'w').close()

    def _limit_relay_trace(self):
        """Limits the relay trace (+relay) to the calls in RELAY_INCLUDE: without it every
        call into every system library would be traced."""
        mark = os.path.join(self.prefix, _RELAY_MARK)
        if os.path.exists(mark):
            return
        quiet = dict(stdin=subprocess.DEVNULL, stdout=subprocess.DEVNULL,
                     stderr=subprocess.DEVNULL, check=True)
        subprocess.run(['wine', 'reg', 'add', 'HKCU\\Software\\Wine\\Debug', '/v', 'RelayInclude',
                        '/d', RELAY_INCLUDE, '/f'], env=self.env(), timeout=TOOL_LIMIT, **quiet)
        subprocess.run(['wineserver', '-w'], env=self.env(), timeout=TOOL_LIMIT, **quiet)
        open(mark, 'w').close()

    def _start_server(self):
        quiet = dict(stdin=subprocess.DEVNULL, stdout=subprocess.DEVNULL,
                     stderr=subprocess.DEVNULL, timeout=TOOL_LIMIT)
        # A server left by an interrupted run of this prefix would hold stale processes.
        subprocess.run(['wineserver', '-k'], env=self.env(), check=False, **quiet)
        subprocess.run(['wineserver', '-w'], env=self.env(), check=False, **quiet)
        subprocess.run(['wineserver', '-p'], env=self.env(), check=True, **quiet)
        self._server_started = True
        # Wine's own services start with the first program. Start them here, with output
        # going nowhere, so that they neither inherit a test's debug channels nor its files.
        subprocess.run(['wine', 'cmd.exe', '/c', 'exit'], env=self.env(), check=True, **quiet)

    # ---- scenarios and programs -----------------------------------------------------

    def scenario(self, name):
        return Scenario(self, name)

    def spawn(self, argv, cwd=None, debug='-all', stderr_path=None, image=None, loader=None):
        """Starts a Wine program; its stdout is discarded and stderr goes to stderr_path.

        `image` is the program's Linux path (default: argv[0]); it picks the loader, unless
        `loader` names one (for Wine's builtin programs, which have no image to look at).
        """
        loader = loader or _loader_for(image or argv[0])
        err = open(stderr_path, 'wb') if stderr_path else subprocess.DEVNULL
        try:
            proc = subprocess.Popen([loader] + list(argv), cwd=cwd, env=self.env(debug),
                                    stdin=subprocess.DEVNULL, stdout=subprocess.DEVNULL,
                                    stderr=err, start_new_session=True)
        finally:
            if stderr_path:
                err.close()
        self._started.append(proc)
        return proc

    def wait(self, proc, limit):
        """Waits for a program; returns its exit code, or None (after ending it) on overrun."""
        try:
            code = proc.wait(timeout=limit)
        except subprocess.TimeoutExpired:
            _end(proc)
            code = None
        if proc in self._started:
            self._started.remove(proc)
        return code

    def end(self, proc):
        """Ends a program this session started, by its PID, and forgets it."""
        _end(proc)
        if proc in self._started:
            self._started.remove(proc)

    def run(self, scenario, exe_name, args=(), peers=None, limit=PROGRAM_LIMIT):
        """Runs the program in the scenario folder; returns a RunResult with its trace.

        With peers given, a run that does not end in time is explained by the windows then
        on screen (a box waiting for its OK, typically).
        """
        proc = self._start_program(scenario, exe_name, args)
        return self._finish_program(scenario, proc, limit, peers)

    def run_with_box(self, scenario, exe_name, args=(), peers=None, limit=PROGRAM_LIMIT):
        """Runs the program while msgbox_reader waits for its box and presses OK.

        Returns (RunResult, BoxReport).
        """
        result_name = scenario.new_work_name('box')
        reader = self.spawn([peers.msgbox_reader, scenario.win_work_path(result_name),
                             str(BOX_WAIT_LIMIT)])
        proc = self._start_program(scenario, exe_name, args)
        report = None
        deadline = time.monotonic() + BOX_WAIT_LIMIT + 10
        while reader.poll() is None:
            if proc.poll() is not None:
                # A box is modal: once the program has ended, none can appear any more.
                # The reader gets a moment to finish a report it may be writing.
                if self.wait(reader, 3) is None:
                    report = BoxReport.missing('the program ended without showing a box')
                break
            if time.monotonic() > deadline:
                _end(reader)
                break
            time.sleep(0.02)
        self.wait(reader, 5)
        if report is None:
            report = self._read_box(scenario.work_path(result_name))
        return self._finish_program(scenario, proc, limit, peers), report

    def _start_program(self, scenario, exe_name, args):
        stderr_path = scenario.work_path(scenario.new_work_name('stderr'))
        proc = self.spawn([scenario.win_path(exe_name)] + list(args), cwd=scenario.folder,
                          debug=DEBUG_CHANNELS, stderr_path=stderr_path,
                          image=scenario.path(exe_name))
        proc.stderr_path = stderr_path
        return proc

    def _finish_program(self, scenario, proc, limit, peers=None):
        diagnosis = ''
        try:
            code = proc.wait(timeout=limit)
            timed_out = False
        except subprocess.TimeoutExpired:
            timed_out = True
            diagnosis = self._describe_screen(scenario, peers)
            _end(proc)
            code = None
        if proc in self._started:
            self._started.remove(proc)
        with open(proc.stderr_path, 'rb') as f:
            stderr = f.read()
        return RunResult(code, stderr, timed_out, diagnosis)

    def _read_box(self, path):
        try:
            with open(path, 'rb') as f:
                return BoxReport.parse(f.read())
        except FileNotFoundError:
            return BoxReport.missing('msgbox_reader wrote no report')

    def _describe_screen(self, scenario, peers):
        """Names the top-level windows on screen, to explain why a program did not end."""
        if peers is None or not os.path.exists(peers.window_lister):
            return 'no window list available'
        shown = ['%s %r' % (cls, title.decode('cp932', 'replace'))
                 for cls, visible, _pid, title in self.list_windows(scenario, peers) if visible]
        return 'visible windows: %s' % (', '.join(shown) or 'none')

    def list_windows(self, scenario, peers, window_class=None):
        """Returns [(class, visible, pid, title bytes)] of the top-level windows."""
        return [(w.window_class, w.visible, w.pid, w.title)
                for w in self.top_windows(scenario, peers, window_class)]

    def top_windows(self, scenario, peers, window_class=None):
        """Returns a TopWindow for each top-level window (of the class, when one is given)."""
        name = scenario.new_work_name('windows')
        argv = [peers.window_lister, scenario.win_work_path(name)]
        if window_class:
            argv.append(window_class)
        proc = self.spawn(argv)
        if self.wait(proc, TOOL_LIMIT) != 0:
            raise RuntimeError('window_lister failed')
        with open(scenario.work_path(name), 'rb') as f:
            return [TopWindow.parse(line) for line in f.read().decode('latin-1').splitlines()]

    def close_window(self, hwnd, peers, limit=TOOL_LIMIT):
        """Posts WM_CLOSE to a window; returns True once it is gone, False when it stays."""
        proc = self.spawn([peers.window_tool, 'close', '%x' % hwnd, str(limit)])
        return self.wait(proc, limit + 10) == 0

    def bring_to_front(self, hwnd, peers, limit=3):
        """Makes a window the foreground window; returns whether it became it in time."""
        proc = self.spawn([peers.window_tool, 'front', '%x' % hwnd, str(limit)])
        return self.wait(proc, limit + 10) == 0

    def foreground_window(self, scenario, peers):
        """The handle of the foreground window, 0 when there is none."""
        name = scenario.new_work_name('foreground')
        proc = self.spawn([peers.window_tool, 'foreground', scenario.win_work_path(name)])
        if self.wait(proc, TOOL_LIMIT) != 0:
            raise RuntimeError('window_tool could not tell the foreground window')
        with open(scenario.work_path(name)) as f:
            return int(f.read().strip(), 16)

    def window_state(self, scenario, hwnd, peers):
        """{'minimized': 0|1, 'maximized': 0|1, 'visible': 0|1} of a window, None when it is gone."""
        name = scenario.new_work_name('state')
        proc = self.spawn([peers.window_tool, 'state', '%x' % hwnd, scenario.win_work_path(name)])
        code = self.wait(proc, TOOL_LIMIT)
        if code == 1:
            return None
        if code != 0:
            raise RuntimeError('window_tool could not tell the state of window %x' % hwnd)
        with open(scenario.work_path(name)) as f:
            return {k: int(v) for k, v in (pair.split('=') for pair in f.read().split())}

    def window_text(self, scenario, hwnd, peers):
        """(class, text bytes, text str) that WM_GETTEXT gives in its A and W forms; None when
        the window is gone or does not answer."""
        name = scenario.new_work_name('text')
        proc = self.spawn([peers.window_tool, 'text', '%x' % hwnd, scenario.win_work_path(name)])
        code = self.wait(proc, TOOL_LIMIT)
        if code == 1:
            return None
        if code != 0:
            raise RuntimeError('window_tool could not read the text of window %x' % hwnd)
        with open(scenario.work_path(name), encoding='ascii') as f:
            fields = dict(line.split('=', 1) for line in f.read().splitlines())
        return (fields['class'], bytes.fromhex(fields['text_hex']),
                bytes.fromhex(fields['text_w_hex']).decode('utf-16-le', 'surrogatepass'))

    def start_filer(self, scenario, config, arch, limit=None, exe_name=None):
        """Starts a stand-in file manager of the bitness `arch`; returns it once it is ready.

        See filer.start_filer.
        """
        return filer.start_filer(self, scenario, config, arch, limit, exe_name)

    def start_shell(self, scenario, config, arch, limit=None):
        """Starts a stand-in shell window list of the bitness `arch`; returns it once it is
        ready.

        See shell.start_shell.
        """
        return shell.start_shell(self, scenario, config, arch, limit)

    def hold_file(self, scenario, name, peers, limit=PROGRAM_LIMIT):
        """Starts file_holder on a scenario file; returns a FileHold once it holds the file."""
        hold = FileHold(self, scenario, name, peers, limit)
        hold.wait_until_held()
        return hold

    # ---- screen ---------------------------------------------------------------------

    def screenshot(self, path, settle_limit=5.0):
        """Saves the whole virtual screen as a PNG once two captures in a row agree."""
        deadline = time.monotonic() + settle_limit
        previous = self._capture_ppm()
        while time.monotonic() < deadline:
            current = self._capture_ppm()
            if current == previous:
                break
            previous = current
        os.makedirs(os.path.dirname(os.path.abspath(path)), exist_ok=True)
        write_png_from_ppm(previous, path)
        return path

    def _capture_ppm(self):
        done = subprocess.run(['import', '-display', self.display, '-window', 'root', '-depth', '8', 'ppm:-'],
                              stdin=subprocess.DEVNULL, stdout=subprocess.PIPE,
                              stderr=subprocess.PIPE, timeout=TOOL_LIMIT)
        if done.returncode != 0:
            raise RuntimeError('screen capture failed: %s' % done.stderr.decode(errors='replace'))
        return done.stdout


class TopWindow:
    """One line of window_lister: class, visibility, process id, title and handle.

    `title` is the title as GetWindowTextA gives it (bytes in code page 932, Wine's best-fit
    conversion of what the code page lacks), `title_wide` as GetWindowTextW gives it (str).
    """

    def __init__(self, window_class, visible, pid, title, hwnd, title_wide=''):
        self.window_class = window_class
        self.visible = visible
        self.pid = pid
        self.title = title
        self.hwnd = hwnd
        self.title_wide = title_wide

    @classmethod
    def parse(cls, line):
        window_class, visible, pid, title, hwnd, title_wide = line.split('\t')
        return cls(window_class, visible == '1', int(pid), bytes.fromhex(title), int(hwnd, 16),
                   bytes.fromhex(title_wide).decode('utf-16-le', 'surrogatepass'))

    def __repr__(self):
        return 'TopWindow(%s, hwnd=%x, pid=%d, visible=%s, title=%r)' % (
            self.window_class, self.hwnd, self.pid, self.visible, self.title_wide)


class FileHold:
    """file_holder keeping one scenario file open without sharing until released."""

    def __init__(self, session, scenario, name, peers, limit):
        self.session = session
        self.ready = scenario.work_path('held-%s.txt' % name)
        self.release_path = scenario.work_path('release-%s.txt' % name)
        self.limit = limit
        self.proc = session.spawn([peers.file_holder, scenario.win_path(name),
                                   scenario.win_work_path('held-%s.txt' % name),
                                   scenario.win_work_path('release-%s.txt' % name),
                                   str(limit)])

    def wait_until_held(self):
        deadline = time.monotonic() + self.limit
        while not os.path.exists(self.ready):
            if self.proc.poll() is not None or time.monotonic() > deadline:
                self.release()
                raise RuntimeError('file_holder did not report ready')
            time.sleep(0.02)
        with open(self.ready) as f:
            state = f.read().strip()
        if state != 'held':
            self.release()
            raise RuntimeError('file_holder could not open the file: %s' % state)

    def release(self):
        open(self.release_path, 'w').close()
        return self.session.wait(self.proc, self.limit)


def _read_line(fd, limit):
    """Reads one line from a pipe within the time limit; closes the pipe."""
    data = b''
    deadline = time.monotonic() + limit
    try:
        while not data.endswith(b'\n'):
            remaining = deadline - time.monotonic()
            if remaining <= 0:
                break
            ready, _, _ = select.select([fd], [], [], remaining)
            if not ready:
                break
            chunk = os.read(fd, 64)
            if not chunk:
                break
            data += chunk
    finally:
        os.close(fd)
    return data.decode().strip()


_WINE64_LOADER = '/usr/lib/wine/wine64'
_IMAGE_FILE_MACHINE_AMD64 = 0x8664


def _loader_for(image):
    """The Wine loader that runs the program in the process it starts.

    The generic `wine` runs a 64-bit program through start.exe in a second process, so its
    PID would not be the program's, and ending it would leave the program running. A 64-bit
    program therefore gets the 64-bit loader directly.
    """
    if os.path.exists(_WINE64_LOADER) and _pe_machine(image) == _IMAGE_FILE_MACHINE_AMD64:
        return _WINE64_LOADER
    return 'wine'


def _pe_machine(path):
    """The machine field of a PE file's header, or None when it cannot be read."""
    try:
        with open(path, 'rb') as f:
            head = f.read(4096)
    except OSError:
        return None
    if head[:2] != b'MZ' or len(head) < 0x40:
        return None
    pe = struct.unpack_from('<I', head, 0x3C)[0]
    if pe + 6 > len(head) or head[pe:pe + 4] != b'PE\0\0':
        return None
    return struct.unpack_from('<H', head, pe + 4)[0]


def _start_time(pid):
    """The start time of a process in clock ticks since boot, or None when it is gone."""
    try:
        with open('/proc/%d/stat' % pid) as f:
            stat = f.read()
    except OSError:
        return None
    # The command name in parentheses may hold blanks; the fields after it are fixed.
    return int(stat.rsplit(')', 1)[1].split()[19])


def _remove(path):
    try:
        os.remove(path)
    except FileNotFoundError:
        pass


# Sessions not yet closed, for the SIGTERM handler.
_open_sessions = set()


def _close_open_sessions_then_die(signum, frame):
    for session in list(_open_sessions):
        session.close()
    signal.signal(signum, signal.SIG_DFL)
    os.kill(os.getpid(), signum)


def _end_on_sigterm():
    """On SIGTERM (a test driver's time limit, say), close the open sessions before dying."""
    if (threading.current_thread() is threading.main_thread()
            and signal.getsignal(signal.SIGTERM) == signal.SIG_DFL):
        signal.signal(signal.SIGTERM, _close_open_sessions_then_die)


def _end(proc):
    """Ends a process this session started, by its PID, and reaps it."""
    if proc.poll() is not None:
        return
    try:
        os.kill(proc.pid, signal.SIGTERM)
        proc.wait(timeout=5)
    except (ProcessLookupError, subprocess.TimeoutExpired):
        try:
            os.kill(proc.pid, signal.SIGKILL)
        except ProcessLookupError:
            pass
        proc.wait(timeout=5)
