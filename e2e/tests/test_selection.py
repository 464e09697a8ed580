"""Reading the selected items of a stand-in file manager under Wine: every pair of bitnesses,
the three collection passes, virtual and oversized lists, and list views that misbehave or a
program that stops answering. What a run read is taken from its trace."""

import time

from e2e_support import (arch_cases, end_module_session, output_paths, start_module_session,
                         traced)
from harness import ARCHES, FilerConfig

setUpModule = start_module_session
tearDownModule = end_module_session

MEMO = 'メモ.txt'
# A file manager that stops answering must not hold the run longer than this (seconds).
HUNG_RUN_LIMIT = 10


class Selection:
    def folders(self, label):
        sc = self.scenario(label)
        sc.make_folder('work')
        sc.make_folder('work/Old Files')
        for name in ('a.txt', 'b.txt', 'c.txt', MEMO, 'item33333', 'item66666'):
            sc.write_file('work/' + name)
        return sc

    def read(self, sc, config, filer_arch=None, args=('/#f',), limit=None, hangs=False):
        """Runs Tavix against the stand-in in front; returns (run, seconds the run took)."""
        with self.session.start_filer(sc, config, filer_arch or self.arch) as filer:
            self.assertTrue(filer.is_foreground, 'the stand-in must be in front')
            started = time.monotonic()
            run = self.session.run(sc, 'Tavix.exe', list(args), peers=self.peers,
                                   **({'limit': limit} if limit else {}))
            seconds = time.monotonic() - started
            if hangs:
                filer.end()   # it would not answer WM_CLOSE
        self.assertEndedWithZero(run)
        return run, seconds

    def assertOutput(self, run, paths):
        want = [p.encode('cp932') for p in paths]
        self.assertEqual(output_paths(run), want, run.describe())

    def test_selected_items_from_either_bitness(self):
        sc = self.folders('pairs')
        work = sc.win_path('work')
        for filer_arch in ARCHES:
            with self.subTest(filer=filer_arch):
                config = FilerConfig(title=work, front=True)
                config.listview(items=['Old Files', 'a.txt', MEMO, 'b.txt'], select=[2, 0])
                run, _ = self.read(sc, config, filer_arch)
                self.assertOutput(run, [work + '\\Old Files', work + '\\' + MEMO])
                bits = '32-bit' if filer_arch == 'win32' else '64-bit'
                self.assertTrue(traced(run, '(%s)' % bits), run.describe())
                self.assertTrue(traced(run, 'read: item 2 "%s" is "%s\\%s"' % (MEMO, work, MEMO)),
                                run.describe())

    def test_list_views_are_collected_in_three_passes(self):
        sc = self.folders('passes')
        work = sc.win_path('work')
        # Each pass is read before the next one is collected; the nested shell view comes
        # first and, when it gives the selection, no further pass runs.
        config = FilerConfig(title=work, front=True)
        config.superclassed(items=['c.txt'], select=[0])
        config.listview(items=['b.txt'], select=[0])
        config.listview(items=['c.txt'], select=[0], visible=False)
        config.nested(items=['a.txt'], select=[0])
        run, _ = self.read(sc, config)
        self.assertOutput(run, [work + '\\a.txt'])
        self.assertTrue(traced(run, 'check: pass 1 collected 1 list views'), run.describe())
        self.assertFalse(traced(run, 'check: pass 2'), run.describe())
        # Nothing the earlier passes collect names an existing item: pass 2 collects the
        # plain list view and the nested one again, pass 3 every list view, the superclassed
        # one first.
        config = FilerConfig(title=work, front=True)
        config.superclassed(items=['c.txt'], select=[0])
        config.listview(items=['missing'], select=[0])
        config.listview(items=['c.txt'], select=[0], visible=False)
        config.nested(items=['missing'], select=[0])
        run, _ = self.read(sc, config)
        for pass_number, count in ((1, 1), (2, 2), (3, 3)):
            self.assertTrue(traced(run, 'check: pass %d collected %d list views'
                                   % (pass_number, count)), run.describe())
        self.assertOutput(run, [work + '\\c.txt'])

    def test_next_list_view_is_read_when_an_item_cannot_be_resolved(self):
        sc = self.folders('next')
        work = sc.win_path('work')
        config = FilerConfig(title=work, front=True)
        config.listview(items=['a.txt', 'missing'], select=[0, 1])
        config.listview(items=['b.txt', 'c.txt'], select=[1])
        run, _ = self.read(sc, config)
        self.assertOutput(run, [work + '\\c.txt'])
        self.assertTrue(traced(run, 'read: item 1 "missing" cannot be resolved'), run.describe())

    def test_virtual_list_and_a_claimed_item_count(self):
        sc = self.folders('virtual')
        work = sc.win_path('work')
        config = FilerConfig(title=work, front=True)
        config.listview(count=100000, select=[33333, 66666])
        run, _ = self.read(sc, config)
        self.assertOutput(run, [work + '\\item33333', work + '\\item66666'])
        config = FilerConfig(title=work, front=True)
        config.listview(items=['a.txt', 'b.txt'], select=[1], claim=2147483647)
        run, _ = self.read(sc, config)
        self.assertOutput(run, [work + '\\b.txt'])

    def test_refused_unterminated_and_overlong_items(self):
        sc = self.folders('hostile')
        work = sc.win_path('work')
        config = FilerConfig(title=work, front=True)
        config.listview(items=['a.txt', 'b.txt', 'c.txt'], select=[0, 1, 2], refuse=[1])
        run, _ = self.read(sc, config)
        self.assertOutput(run, [work + '\\a.txt', work + '\\c.txt'])
        for items in (['a.txt'], ['q' * 519], [b'\x83' * 519]):
            with self.subTest(items=items[0][:8]):
                config = FilerConfig(title=work, front=True)
                config.listview(items=items, select=[0], unterminated=True)
                run, _ = self.read(sc, config)
                self.assertOutput(run, [work])   # no item resolves: the folder stands for them
                self.assertTrue(all(len(p) < 260 for p in output_paths(run)))

    def test_file_manager_that_goes_away_during_the_run(self):
        sc = self.folders('gone')
        work = sc.win_path('work')
        # Its process ends at the first item asked for: no paths rather than wrong ones.
        config = FilerConfig(title=work, front=True, exit_on='listview')
        config.listview(items=['a.txt', 'b.txt'], select=[0, 1])
        run, _ = self.read(sc, config)
        self.assertOutput(run, [])
        self.assertTrue(traced(run, 'stopped answering or its process ended'), run.describe())
        # A window that goes while the scan reads its address box is passed over.
        behind = FilerConfig(title=work)
        behind.listview(items=['a.txt', 'b.txt'], select=[1])
        front = FilerConfig(title='Filer', front=True, exit_on='address')
        front.combobox(text=work)
        with self.session.start_filer(sc, behind, self.arch, exe_name='Behind.exe'):
            with self.session.start_filer(sc, front, self.arch) as in_front:
                self.assertTrue(in_front.is_foreground)
                run = self.session.run(sc, 'Tavix.exe', ['/#f=behind'], peers=self.peers)
        self.assertEndedWithZero(run)
        self.assertOutput(run, [work + '\\b.txt'])

    def test_file_manager_that_stops_answering(self):
        sc = self.folders('hung')
        work = sc.win_path('work')
        for hang, title in (('listview', work), ('ready', 'Filer')):
            with self.subTest(hang=hang):
                config = FilerConfig(title=title, front=True, hang=hang)
                config.combobox(text=work)
                config.listview(items=['a.txt'], select=[0])
                run, seconds = self.read(sc, config, limit=HUNG_RUN_LIMIT + 5, hangs=True)
                self.assertLess(seconds, HUNG_RUN_LIMIT, run.describe())
                self.assertOutput(run, [])
                self.assertTrue(traced(run, 'did not answer'), run.describe())


arch_cases(Selection, globals())
