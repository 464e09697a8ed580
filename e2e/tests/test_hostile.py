"""Hostile stand-in file managers under Wine, both exes: texts without terminator or of 519
bytes, a list view that claims two billion items and answers LVM_GETNEXTITEM with nonsense, one
whose process ends in the middle of the read, one that stops answering after the first item, a
title of 519 Shift_JIS lead bytes. Every run ends within 10 seconds with exit code 0 and gives
either the right output or none: the clipboard then holds the right text or what it held."""

import time

from e2e_support import arch_cases, end_module_session, start_module_session, traced
from harness import FilerConfig, read_clipboard, set_clipboard

setUpModule = start_module_session
tearDownModule = end_module_session

RUN_LIMIT = 10
EARLIER = b'earlier'


class Hostile:
    def hostile_run(self, label, config, expected, hangs=False):
        """Runs Tavix /#f against the stand-in in front; checks time, exit code and that the
        clipboard holds `expected` (None: unchanged)."""
        sc = self.scenario(label)
        sc.make_folder('work')
        sc.write_file('work/a.txt')
        sc.write_file('work/b.txt')
        config = config(sc.win_path('work'))
        with self.session.start_filer(sc, config, self.arch) as filer:
            self.assertTrue(filer.is_foreground)
            set_clipboard(self.session, sc, self.peers, EARLIER)
            started = time.monotonic()
            run = self.session.run(sc, 'Tavix.exe', ['/#f'], peers=self.peers,
                                   limit=RUN_LIMIT + 5)
            seconds = time.monotonic() - started
            if hangs:
                filer.end()   # it would not answer WM_CLOSE
            clipboard = read_clipboard(self.session, sc, self.peers)
        self.assertEndedWithZero(run)
        self.assertLess(seconds, RUN_LIMIT, run.describe())
        want = EARLIER if expected is None else expected(sc.win_path('work')).encode('cp932')
        self.assertEqual(clipboard, want, run.describe())
        return run

    def test_item_texts_without_terminator_or_of_519_bytes(self):
        for name, items in (('short', ['a.txt']), ('long', ['q' * 519]),
                            ('lead', [b'\x83' * 519])):
            with self.subTest(items=name):
                def config(work, items=items):
                    c = FilerConfig(title=work, front=True)
                    c.listview(items=items, select=[0], unterminated=True)
                    return c
                # No text resolves to an item: the folder stands for the selection.
                self.hostile_run('unterminated-' + name, config, lambda work: work)

    def test_claimed_two_billion_items_and_nonsense_answers(self):
        def config(work):
            c = FilerConfig(title=work, front=True)
            c.listview(items=['a.txt', 'b.txt'], select=[1], claim=2147483647, nonsense=True)
            return c
        run = self.hostile_run('nonsense', config, None)
        self.assertTrue(traced(run, 'nothing is output') or traced(run, 'did not answer'),
                        run.describe())

    def test_process_that_ends_in_the_middle_of_the_read(self):
        def config(work):
            c = FilerConfig(title=work, front=True, exit_on='second-item')
            c.listview(items=['a.txt', 'b.txt'], select=[0, 1])
            return c
        self.hostile_run('ends', config, None)

    def test_file_manager_that_stops_answering_after_the_first_item(self):
        def config(work):
            c = FilerConfig(title=work, front=True, hang='second-item')
            c.listview(items=['a.txt', 'b.txt'], select=[0, 1])
            return c
        self.hostile_run('stops', config, None, hangs=True)

    def test_title_of_lead_bytes_only(self):
        def config(work):
            c = FilerConfig(title=b'\x83' * 519, front=True)
            c.listview(items=['a.txt'], select=[0])
            return c
        self.hostile_run('lead-title', config, None)


arch_cases(Hostile, globals())
