"""Explorer windows whose folder and selection only the shell can tell, through the real COM
plumbing of Wine: a stand-in shell serves the shell's window list (CLSID_ShellWindows) for a
CabinetWClass window with tab windows, and Tavix asks it across processes, in every pair of
bitnesses. Wine's own window list answers no question about its windows (get_Count is not
implemented), so the stand-in is what COM hands out (see e2e/harness/shell.py)."""

import threading
import time

from e2e_support import (arch_cases, end_module_session, output_paths, output_paths_wide,
                         start_module_session, traced)
from harness import ARCHES, ShellConfig, Virtual

setUpModule = start_module_session
tearDownModule = end_module_session

MEMO = 'メモ.txt'
# A shell that stops answering must not hold the run longer than this (seconds).
HUNG_RUN_LIMIT = 10


class ShellRoute:
    def folders(self, label):
        """A scenario with the folder docs\\Data: the window's title "Data" names no folder
        relative to Tavix's working folder, so only the shell can tell the folder."""
        sc = self.scenario(label)
        for folder in ('docs', 'docs/Data', 'docs/Data/Old Files', 'docs/Other'):
            sc.make_folder(folder)
        for name in ('docs/Data/a.txt', 'docs/Data/' + MEMO, 'docs/Data/café.txt',
                     'docs/Other/b.txt'):
            sc.write_file(name)
        return sc, sc.win_path('docs\\Data')

    def read(self, sc, config, shell_arch=None, args=('/#f',)):
        """Runs Tavix against the stand-in in front; returns (run, seconds the run took)."""
        with self.session.start_shell(sc, config, shell_arch or self.arch) as shell:
            self.assertTrue(shell.serving, 'the stand-in must serve the window list: '
                            'registration %r, TreatAs %r' % (shell.registration, shell.treat_as))
            self.assertTrue(shell.is_foreground, 'the stand-in must be in front')
            started = time.monotonic()
            run = self.session.run(sc, 'Tavix.exe', list(args), peers=self.peers)
            seconds = time.monotonic() - started
        self.assertEndedWithZero(run)
        return run, seconds

    def assertOutput(self, run, paths):
        want = [p.encode('cp932') for p in paths]
        self.assertEqual(output_paths(run), want, run.describe())

    def test_folder_and_selection_from_either_bitness(self):
        sc, data = self.folders('shell-pairs')
        for shell_arch in ARCHES:
            with self.subTest(shell=shell_arch):
                config = ShellConfig(title='Data', front=True)
                config.tab(folder=data, select=[data + '\\Old Files', data + '\\' + MEMO])
                run, _ = self.read(sc, config, shell_arch)
                self.assertOutput(run, [data + '\\Old Files', data + '\\' + MEMO])
                self.assertTrue(traced(run, 'folder: "%s" is the folder the shell shows (from '
                                       "the shell's window list)" % data), run.describe())
                self.assertTrue(traced(run, 'read: item 1 is "%s\\%s" (from the shell)'
                                       % (data, MEMO)), run.describe())
                # Title mode: the folder.
                run, _ = self.read(sc, config, shell_arch, args=())
                self.assertOutput(run, [data])

    def test_the_active_tab_is_read(self):
        sc, data = self.folders('shell-tabs')
        other = sc.win_path('docs\\Other')
        config = ShellConfig(title='Data', front=True, active=1)
        config.tab(folder=other, select=[other + '\\b.txt'])
        config.tab(folder=data, select=[data + '\\a.txt'])
        run, _ = self.read(sc, config)
        self.assertOutput(run, [data + '\\a.txt'])

    def test_items_without_a_usable_path(self):
        sc, data = self.folders('shell-virtual')
        # An item without a file-system path ends the selection, as an item of a list view
        # that cannot be resolved does.
        config = ShellConfig(title='Data', front=True)
        config.tab(folder=data, select=[data + '\\a.txt', Virtual('This PC'), data + '\\' + MEMO])
        run, _ = self.read(sc, config)
        self.assertOutput(run, [data + '\\a.txt'])
        self.assertTrue(traced(run, 'has no file-system path; it cannot be resolved'),
                        run.describe())
        # A name outside code page 932 comes through as it is: the shell's paths are UTF-16.
        config = ShellConfig(title='Data', front=True)
        config.tab(folder=data, select=[data + '\\café.txt', data + '\\a.txt'])
        run, _ = self.read(sc, config)
        self.assertEqual(output_paths_wide(run), [data + '\\café.txt', data + '\\a.txt'],
                         run.describe())
        # A folder without a file-system path: the window shows no folder.
        config = ShellConfig(title='Computer', front=True)
        config.tab(folder=Virtual('Computer'), select=[data + '\\a.txt'])
        run, _ = self.read(sc, config)
        self.assertOutput(run, [])

    def test_a_hung_shell_holds_the_run_for_the_bound_only(self):
        sc, data = self.folders('shell-hung')
        for method in ('item', 'items'):
            with self.subTest(hang=method):
                config = ShellConfig(title='Data', front=True, hang=method)
                config.tab(folder=data, select=[data + '\\a.txt'])
                run, seconds = self.read(sc, config)
                self.assertOutput(run, [])
                self.assertLess(seconds, HUNG_RUN_LIMIT, run.describe())
                self.assertTrue(traced(run, 'within 3000 ms; the shell is not asked again'),
                                run.describe())

    def test_a_shell_that_ends_during_the_read_gives_no_output(self):
        # The stand-in stops answering in IFolderView::Items and is ended a second later: the
        # call fails as Wine's COM reports a server that went away, and nothing is output.
        sc, data = self.folders('shell-gone')
        config = ShellConfig(title='Data', front=True, hang='items')
        config.tab(folder=data, select=[data + '\\a.txt'])
        with self.session.start_shell(sc, config, self.arch) as shell:
            self.assertTrue(shell.serving and shell.is_foreground)
            ender = threading.Timer(1.0, shell.end)
            ender.start()
            started = time.monotonic()
            run = self.session.run(sc, 'Tavix.exe', ['/#f'], peers=self.peers)
            seconds = time.monotonic() - started
            ender.join()
        self.assertEndedWithZero(run)
        self.assertOutput(run, [])
        self.assertTrue(traced(run, 'IFolderView::Items failed (0x800706BE)'), run.describe())
        self.assertLess(seconds, 3.0, run.describe())

    def test_wines_own_window_list_knows_no_window(self):
        # Without the stand-in's class, COM hands out the window list of Wine's desktop, which
        # answers no question: the window shows no folder and nothing is output.
        sc, data = self.folders('shell-wine')
        config = ShellConfig(title='Data', front=True, register=False)
        config.tab(folder=data, select=[data + '\\a.txt'])
        with self.session.start_shell(sc, config, self.arch) as shell:
            self.assertTrue(shell.is_foreground, 'the stand-in must be in front')
            run = self.session.run(sc, 'Tavix.exe', ['/#f'], peers=self.peers)
        self.assertEndedWithZero(run)
        self.assertOutput(run, [])
        self.assertTrue(traced(run, "the shell's window list does not hold window"),
                        run.describe())


arch_cases(ShellRoute, globals())
