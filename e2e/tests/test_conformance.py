"""The simulated desktop against the real platform: the conformance probe runs the same Win32
calls under Wine (32-bit and 64-bit builds) and natively against the sim, and the outputs must
agree line by line, except for the few cases listed in EXPECTED_DIFFERENCES."""

import os
import subprocess

from e2e_support import arch_cases, end_module_session, start_module_session
from harness.paths import ROOT

setUpModule = start_module_session
tearDownModule = end_module_session

NATIVE_LIMIT = 60

# Cases where the sim deliberately keeps a behaviour other than Wine's, because Wine deviates
# from Windows there: case name -> reason. Keep this short.
EXPECTED_DIFFERENCES = {
    'GetModuleFileNameA(too small)':
        'Wine reports version 6.1 yet cuts without a NUL as XP did; Windows 6+ keeps the NUL',
    'GetFullPathNameA(/)':
        'Wine takes a lone "/" for its Unix root drive Z:; Windows gives the current drive root',
    'PathAddBackslashA(259 chars)':
        'Wine writes 261 bytes into a MAX_PATH buffer; Windows returns NULL as documented',
    "EnumChildWindows(NULL parent, probe's windows)":
        'Wine fails with ERROR_INVALID_WINDOW_HANDLE and reports nothing; Windows documents a NULL '
        'parent as equivalent to EnumWindows (the top-level windows)',
}


def probe_path(arch):
    """The probe of one build: TAVIX_PROBE_WIN32, TAVIX_PROBE_WIN64, TAVIX_PROBE_NATIVE."""
    default = {
        'win32': os.path.join(ROOT, 'build', 'win32', 'conformance_probe.exe'),
        'win64': os.path.join(ROOT, 'build', 'win64', 'conformance_probe.exe'),
        'native': os.path.join(ROOT, 'build', 'native', 'tests', 'conformance',
                               'conformance_probe'),
    }[arch]
    return os.environ.get('TAVIX_PROBE_' + arch.upper(), default)


def parse(text, origin):
    """[(case, result)] from the probe's lines; a case name must not repeat."""
    cases = []
    seen = set()
    for number, line in enumerate(text.decode('latin-1').splitlines(), 1):
        name, tab, result = line.partition('\t')
        if not tab:
            raise AssertionError('%s line %d has no TAB: %r' % (origin, number, line))
        if name in seen:
            raise AssertionError('%s repeats the case %r' % (origin, name))
        seen.add(name)
        cases.append((name, result))
    return cases


def differences(left, right, left_label, right_label):
    """Lines describing every case whose results differ or that only one side has."""
    right_map = dict(right)
    left_map = dict(left)
    out = []
    for name, result in left:
        if name not in right_map:
            out.append('%s\n    only %s: %s' % (name, left_label, result))
        elif right_map[name] != result:
            out.append('%s\n    %-6s %s\n    %-6s %s'
                       % (name, left_label + ':', result, right_label + ':', right_map[name]))
    for name, result in right:
        if name not in left_map:
            out.append('%s\n    only %s: %s' % (name, right_label, result))
    return out


_wine_outputs = {}


def run_native(base):
    probe = probe_path('native')
    done = subprocess.run([probe, base], stdin=subprocess.DEVNULL, stdout=subprocess.PIPE,
                          stderr=subprocess.PIPE, timeout=NATIVE_LIMIT)
    if done.returncode != 0:
        raise AssertionError('the native probe ended with %d: %s'
                             % (done.returncode, done.stderr.decode(errors='replace')))
    return done.stdout


class Conformance:
    def setUp(self):
        super().setUp()
        for arch in (self.arch, 'native'):
            if not os.path.exists(probe_path(arch)):
                self.skipTest('probe not built: %s is missing' % probe_path(arch))

    def wine_output(self, arch=None):
        """The probe's output under Wine for a bitness (this one by default), and the base
        folder it used. Each bitness runs once per module."""
        arch = arch or self.arch
        if arch not in _wine_outputs:
            sc = self.session.scenario('conformance-%s' % arch)
            sc.add_exe(probe_path(arch), 'conformance_probe.exe')
            out_name = sc.new_work_name('probe')
            run = self.session.run(sc, 'conformance_probe.exe',
                                   [sc.win_folder, sc.win_work_path(out_name)], peers=self.peers)
            self.assertFalse(run.timed_out, 'the probe did not end: ' + run.describe())
            self.assertEqual(run.exit_code, 0, 'the probe failed: ' + run.describe())
            with open(sc.work_path(out_name), 'rb') as f:
                _wine_outputs[arch] = (f.read(), sc.win_folder)
        return _wine_outputs[arch]

    def test_sim_behaves_as_the_platform(self):
        wine_text, base = self.wine_output()
        wine = parse(wine_text, 'wine')
        sim = parse(run_native(base), 'sim')
        for cases, where in ((wine, 'under Wine'), (sim, 'on the sim')):
            self.assertEqual(cases[0], ('set-up', 'ok'), 'the file tree could not be made ' + where)
            self.assertEqual(cases[-1], ('end', 'ok'), 'the probe did not finish ' + where)
        found = differences(wine, sim, 'wine', 'sim')
        unexpected = [d for d in found if d.split('\n', 1)[0] not in EXPECTED_DIFFERENCES]
        if unexpected:
            self.fail('%d case(s) differ between Wine and the sim:\n%s'
                      % (len(unexpected), '\n'.join(unexpected)))
        differing = {d.split('\n', 1)[0] for d in found}
        stale = sorted(set(EXPECTED_DIFFERENCES) - differing)
        self.assertEqual(stale, [], 'listed as expected differences but now equal (remove them '
                         'from EXPECTED_DIFFERENCES): %s' % stale)

    def test_both_bitnesses_agree(self):
        other = 'win64' if self.arch == 'win32' else 'win32'
        if not os.path.exists(probe_path(other)):
            self.skipTest('probe not built: %s is missing' % probe_path(other))
        mine = parse(self.wine_output()[0], self.arch)
        theirs = parse(self.wine_output(other)[0], other)
        found = differences(mine, theirs, self.arch, other)
        if found:
            self.fail('the 32-bit and 64-bit probes differ under Wine:\n%s' % '\n'.join(found))


arch_cases(Conformance, globals())
