"""Which window and which folder, under Wine: the title forms and address boxes of a stand-in
file manager, and windows picked by name while another one is in front. What a run found is
read from its trace, up to the paths it hands to the output."""

import re

from e2e_support import (arch_cases, end_module_session, output_paths, start_module_session,
                         traced)
from harness import FilerConfig

setUpModule = start_module_session
tearDownModule = end_module_session

SOFT = 'ソフト'   # its first character's second byte is 0x5C, a backslash


class WindowSearch:
    def folders(self, label):
        sc = self.scenario(label)
        for name in ('work', 'work/sub', 'other', SOFT):
            sc.make_folder(name)
        for name in ('work/notes.txt', 'work/a.txt', 'work/b.txt', 'other/c.txt'):
            sc.write_file(name)
        return sc

    def run_in_front(self, sc, config, args=(), arch=None):
        """Starts the stand-in in front, runs Tavix with args, and ends the stand-in."""
        with self.session.start_filer(sc, config, arch or self.arch) as filer:
            self.assertTrue(filer.is_foreground, 'the stand-in must be in front')
            run = self.session.run(sc, 'Tavix.exe', list(args), peers=self.peers)
        self.assertEndedWithZero(run)
        return run

    def assertOutput(self, run, paths):
        want = [p.encode('cp932') if isinstance(p, str) else p for p in paths]
        self.assertEqual(output_paths(run), want, run.describe())

    def test_folder_of_each_title_form(self):
        sc = self.folders('titles')
        work = sc.win_path('work')
        soft = sc.win_path(SOFT)
        cases = [
            (work, work),
            (work + '\\', work + '\\'),                     # title mode keeps a final backslash
            (work + ' - Filer', work),                      # before a blank
            ('Filer - ' + work, work),                      # after a blank
            ('[' + work + ']', work),                       # enclosed
            ('[' + work + '] - Filer', work),
            (work + '\\notes.txt - Editor', work + '\\notes.txt'),   # a file, in title mode
            (soft, soft),
            ('work', 'work'),                               # relative to the working folder
        ]
        for title, folder in cases:
            with self.subTest(title=title):
                run = self.run_in_front(sc, FilerConfig(title=title, front=True))
                self.assertOutput(run, [folder])
                self.assertTrue(traced(run, 'folder: "%s"' % folder), run.describe())

    def test_filer_mode_takes_only_folders_from_the_title(self):
        sc = self.folders('titles-filer')
        work = sc.win_path('work')
        for title, folder in ((work + '\\', work), (sc.win_path(SOFT) + '\\', sc.win_path(SOFT))):
            with self.subTest(title=title):
                config = FilerConfig(title=title, front=True)
                config.listview(items=['x'])
                run = self.run_in_front(sc, config, ['/#f'])
                self.assertOutput(run, [folder])    # nothing selected: the folder stands for it
        config = FilerConfig(title=work + '\\notes.txt', front=True)
        config.listview(items=['a.txt'], select=[0])
        self.assertOutput(self.run_in_front(sc, config, ['/#f']), [])

    def test_special_folder_display_name(self):
        sc = self.folders('special')
        run = self.run_in_front(sc, FilerConfig(title='マイ ドキュメント - Filer', front=True))
        paths = output_paths(run)
        self.assertEqual(len(paths), 1, run.describe())
        self.assertRegex(paths[0], rb'^C:\\users\\[^\\]+\\Documents$')

    def test_titles_that_name_nothing(self):
        sc = self.folders('nothing')
        for title in ('Documents - AppName', 'ab', 'x' * 519, b'\x81' * 519,
                      b'\x83' * 518 + b'\\', ' ' * 519):
            with self.subTest(title=title[:8]):
                run = self.run_in_front(sc, FilerConfig(title=title, front=True))
                self.assertOutput(run, [])

    def test_long_title_with_a_folder_in_it(self):
        sc = self.folders('long-title')
        work = sc.win_path('work')
        title = work + ' ' + 'z' * (519 - len(work) - 1)
        self.assertOutput(self.run_in_front(sc, FilerConfig(title=title, front=True)), [work])

    def test_folder_from_the_address_box(self):
        sc = self.folders('address')
        work = sc.win_path('work')
        for kind in ('combobox', 'comboboxex'):
            with self.subTest(kind=kind):
                config = FilerConfig(title='Filer', front=True)
                config.add(kind, text='  ' + work)
                run = self.run_in_front(sc, config)
                self.assertOutput(run, [work])
                # In title mode an existing path is taken as it is, folder or file.
                self.assertTrue(traced(run, 'folder: "%s" exists (from an address box)' % work),
                                run.describe())
                config = FilerConfig(title='Filer', front=True)
                config.add(kind, text=work)
                config.listview(items=['a.txt', 'b.txt'], select=[1])
                self.assertOutput(self.run_in_front(sc, config, ['/#f']), [work + '\\b.txt'])
        config = FilerConfig(title='Filer', front=True)
        config.combobox(text=work, visible=False)
        self.assertOutput(self.run_in_front(sc, config), [])

    def test_title_mode_takes_the_last_address_box_naming_an_existing_path(self):
        sc = self.folders('address-last')
        config = FilerConfig(title='Filer', front=True)
        config.combobox(text=sc.win_path('work'))
        config.combobox(text=sc.win_path('work\\notes.txt'))
        config.combobox(text='nothing')
        self.assertOutput(self.run_in_front(sc, config), [sc.win_path('work\\notes.txt')])

    def test_window_picked_by_name_while_another_is_in_front(self):
        sc = self.folders('by-name')
        work = sc.win_path('work')
        named = FilerConfig(title=work)
        named.listview(items=['a.txt', 'b.txt'], select=[0, 1])
        front = FilerConfig(title=sc.win_path('other'), front=True)
        with self.session.start_filer(sc, named, self.arch, exe_name='MyFiler.exe'):
            with self.session.start_filer(sc, front, self.arch) as in_front:
                self.assertTrue(in_front.is_foreground)
                by_switch = self.session.run(sc, 'Tavix.exe', ['/#f=myfiler'], peers=self.peers)
                title_switch = self.session.run(sc, 'Tavix.exe', ['/#t=MYFILER'], peers=self.peers)
                plain = self.session.run(sc, 'Tavix.exe', ['/#f'], peers=self.peers)
                sc.write_file('Tavix.ini', b'[system]\r\n@filer=nothing,MyFiler\r\n')
                by_list = self.session.run(sc, 'Tavix.exe', ['/#f'], peers=self.peers)
        for run in (by_switch, title_switch, plain, by_list):
            self.assertEndedWithZero(run)
        both = [work + '\\a.txt', work + '\\b.txt']
        self.assertOutput(by_switch, both)
        self.assertOutput(title_switch, [work])
        # The window in front has no list view, and no name picks another one.
        self.assertOutput(plain, [])
        self.assertOutput(by_list, both)
        self.assertTrue(re.search(rb'scan: candidate \d: window [0-9A-F]+ of ".*MyFiler\.exe"',
                                  b'\n'.join(by_list.trace), re.I), by_list.describe())


arch_cases(WindowSearch, globals())
