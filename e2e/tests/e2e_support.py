"""What the end-to-end test modules share: one Wine session per module, and a base class
that runs each scenario for one bitness of the program."""

import os
import shutil
import sys
import unittest

sys.path.insert(0, os.path.abspath(os.path.join(os.path.dirname(__file__), '..')))

from harness import ARCHES, Peers, WineSession, exe_path  # noqa: E402

# Shift_JIS texts of the program's two message boxes.
VERSION_TEXT = ('「ナルテモ 読み取り専用」\u3000\r\n'
                '\r\n'
                '      \u3000 Ver.1.07\r\n'
                '\r\n'
                '\u3000  2008年05月02日').encode('cp932')
VERSION_CAPTION = b'Tavix'
ERROR_CAPTION = 'エラー'.encode('cp932')
ERROR_TEXT = '設定ファイル異常'.encode('cp932')

OUTPUT_MARK = b'Tavix: output: "'

WS_EX_TOPMOST = 0x00000008
WS_EX_TOOLWINDOW = 0x00000080

_session = None
_session_error = None


def _tools_missing():
    return [tool for tool in ('wine', 'wineserver', 'wineboot', 'Xvfb', 'import')
            if shutil.which(tool) is None]


def _missing_for(arch):
    """What is not built for one bitness: the program and the helper programs."""
    missing = [] if os.path.exists(exe_path(arch)) else [exe_path(arch)]
    return missing + Peers(arch).missing()


def _skip_module(reason):
    # Under CI everything must have been installed and built: nothing may be skipped there.
    if os.environ.get('CI'):
        raise RuntimeError('end-to-end tests cannot run under CI: ' + reason)
    # The marker lets ctest report the whole module as skipped rather than passed.
    print('E2E SKIPPED: ' + reason, file=sys.stderr)
    raise unittest.SkipTest(reason)


def start_module_session():
    """setUpModule: one Wine session for all tests of a module, when there is something to run."""
    global _session, _session_error
    missing = _tools_missing()
    if missing:
        _skip_module('end-to-end tools not installed: %s (run make deps)' % ', '.join(missing))
    missing = {arch: _missing_for(arch) for arch in ARCHES}
    if all(missing.values()):
        _skip_module('nothing to run, missing: %s (run make build)'
                     % ', '.join(path for paths in missing.values() for path in paths))
    try:
        _session = WineSession()
        _session.start()
    except Exception as e:  # reported by every test, with the reason
        _session = None
        _session_error = e


def end_module_session():
    global _session
    if _session:
        _session.close()
        _session = None


class ArchTestCase(unittest.TestCase):
    """Runs scenarios against the program of one bitness; subclasses set `arch`."""

    arch = None

    def setUp(self):
        self.exe = exe_path(self.arch)
        if not os.path.exists(self.exe):
            self.skipTest('%s not built: %s is missing' % (self.arch, self.exe))
        self.peers = Peers(self.arch)
        missing = self.peers.missing()
        if missing:
            self.skipTest('%s test helpers not built: %s' % (self.arch, ', '.join(missing)))
        if _session is None:
            self.fail('the Wine session could not start: %s' % (_session_error,))
        self.session = _session

    def scenario(self, label, exe_name='Tavix.exe'):
        """A fresh folder C:\\<label>-<arch> holding the program as exe_name."""
        sc = self.session.scenario('%s-%s' % (label, self.arch))
        sc.add_exe(self.exe, exe_name)
        return sc

    # ---- assertions shared by the modules ------------------------------------------

    def assertEndedWithZero(self, run):
        self.assertFalse(run.timed_out, 'the program did not end: ' + run.describe())
        self.assertEqual(run.exit_code, 0, 'expected exit code 0: ' + run.describe())

    def assertBoxOwnedByHiddenWindow(self, box, class_name):
        """The box belongs to the program's hidden, top-most tool window of the given class."""
        self.assertTrue(box.has_owner, 'expected the box to have an owner: ' + box.describe())
        self.assertEqual(box.owner_class, class_name,
                         'expected the owner to be of class %r: %s' % (class_name, box.describe()))
        self.assertEqual(box.owner_title, class_name.encode('ascii'),
                         'expected the owner to be titled %r: %s' % (class_name, box.describe()))
        self.assertFalse(box.owner_visible, 'expected a hidden owner: ' + box.describe())
        self.assertEqual(box.owner_exstyle & (WS_EX_TOPMOST | WS_EX_TOOLWINDOW),
                         WS_EX_TOPMOST | WS_EX_TOOLWINDOW,
                         'expected a top-most tool window as owner: ' + box.describe())
        self.assertEqual(box.owner_pid, box.box_pid,
                         'expected the owner to belong to the box\'s process: ' + box.describe())

    def assertBox(self, box, caption, text, icon):
        self.assertTrue(box.found, 'expected a message box, found ' + box.describe())
        self.assertEqual(box.acp, 932, 'the harness must run Wine with code page 932')
        self.assertEqual(box.caption, caption, 'caption bytes differ: ' + box.describe())
        self.assertEqual(box.text, text, 'text bytes differ: ' + box.describe())
        self.assertEqual(box.icon, icon, 'expected icon %r: %s' % (icon, box.describe()))
        self.assertEqual(box.buttons, ['OK'], 'expected only an OK button: ' + box.describe())
        self.assertTrue(box.closed, 'the box did not close on OK: ' + box.describe())

    def assertNoWindowOfClass(self, scenario, class_name):
        left = self.session.list_windows(scenario, self.peers, class_name)
        self.assertEqual(left, [], 'expected no window of class %r left behind' % class_name)


def output_paths(run):
    """The paths a run handed to its output, as bytes, in order."""
    return [line[len(OUTPUT_MARK):-1] for line in run.trace
            if line.startswith(OUTPUT_MARK) and line.endswith(b'"')]


def output_paths_wide(run):
    """The paths a run handed to its output, as str with their exact wide text, in order."""
    mark = OUTPUT_MARK.decode('ascii')
    return [line[len(mark):-1] for line in run.trace_wide
            if line.startswith(mark) and line.endswith('"')]


def traced(run, text):
    """Whether a traced line holds the text (str in Shift_JIS, or bytes)."""
    part = text.encode('cp932') if isinstance(text, str) else text
    return any(part in line for line in run.trace)


def arch_cases(scenarios, module_globals):
    """Defines <Scenarios>Win32 and <Scenarios>Win64 test classes in the calling module.

    `scenarios` is a plain class holding test methods; it is not collected by itself.
    """
    for arch in ARCHES:
        name = scenarios.__name__ + arch.capitalize()
        module_globals[name] = type(name, (scenarios, ArchTestCase),
                                    {'arch': arch, '__module__': module_globals['__name__']})
