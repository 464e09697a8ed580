"""Wine's own explorer as the file manager, 32-bit and 64-bit, with two items selected by real
clicks: both programs read them, put them on the clipboard and hand them to a started program. Its title shows only a display name, so two real cases are
used: a drive root, titled ' (D:)', whose enclosed text names the drive; and a folder whose
name is a folder in Tavix's working folder."""

from e2e_support import (arch_cases, end_module_session, output_paths, start_module_session,
                          traced)
from harness import (ARCHES, map_drive, place_recorder, read_clipboard, set_clipboard,
                     start_explorer, wait_for_launch)

setUpModule = start_module_session
tearDownModule = end_module_session

SELECTED = ['Old Files', 'memo.txt']


class WineExplorer:
    def sample(self, sc, name):
        sc.make_folder(name)
        sc.make_folder(name + '/Old Files')
        sc.write_file(name + '/memo.txt', b'memo\r\n')
        sc.write_file(name + '/other.txt', b'other\r\n')

    def read_selection(self, sc, folder, explorer_arch, also_start=False):
        """Opens the explorer on folder, selects the two items by clicks, runs Tavix /#f and,
        with also_start, Tavix /#f /#e=View (the recorder as tools\\viewer.exe, template "%M").

        Returns (run, title, clipboard after /#f, launch record or None)."""
        place_recorder(self.peers, sc.path('tools'), 'viewer.exe')
        sc.write_file('Tavix.ini', b'[exec]\r\n' + sc.win_path('tools\\viewer.exe').encode() +
                      b' | View\r\n>"%M"\r\n')
        record = None
        with start_explorer(self.session, sc, folder, explorer_arch) as explorer:
            explorer.select(SELECTED)
            set_clipboard(self.session, sc, self.peers, b'earlier')
            run = self.session.run(sc, 'Tavix.exe', ['/#f'], peers=self.peers)
            self.assertEndedWithZero(run)
            # The title or the address box and the list view name everything: the shell is
            # never asked.
            self.assertFalse(traced(run, 'Tavix: shell:'), run.describe())
            clipboard = read_clipboard(self.session, sc, self.peers)
            if also_start:
                started = self.session.run(sc, 'Tavix.exe', ['/#f', '/#e=View'], peers=self.peers)
                self.assertEndedWithZero(started)
                record = wait_for_launch(sc.path('tools'))
                self.assertIsNotNone(record, started.describe())
            title = explorer.title
        return run, title, clipboard, record

    def test_drive_root_named_by_its_title(self):
        sc = self.scenario('explorer-drive')
        self.sample(sc, 'sample')
        for explorer_arch in ARCHES:
            with self.subTest(explorer=explorer_arch):
                with map_drive(self.session, 'D', sc.path('sample')):
                    run, title, clipboard, record = self.read_selection(
                        sc, 'D:\\', explorer_arch, also_start=True)
                self.assertEqual(title, b' (D:)')
                # The explorer's item order: the folder first.
                self.assertEqual(clipboard, b'D:\\Old Files\r\nD:\\memo.txt', run.describe())
                self.assertEqual(record.parameters, b'"D:\\Old Files\\" "D:\\memo.txt"')

    def test_folder_named_relative_to_the_working_folder(self):
        sc = self.scenario('explorer-relative')
        for explorer_arch in ARCHES:
            with self.subTest(explorer=explorer_arch):
                # One folder per explorer: an explorer opened on a folder that another
                # explorer window shows hands it to that window.
                name = 'sample' + explorer_arch[-2:]
                self.sample(sc, name)
                run, title, clipboard, _ = self.read_selection(sc, sc.win_path(name),
                                                               explorer_arch)
                self.assertEqual(title, name.encode())
                self.assertEqual(output_paths(run),
                                 [name.encode() + b'\\Old Files', name.encode() + b'\\memo.txt'],
                                 run.describe())
                self.assertEqual(clipboard,
                                 name.encode() + b'\\Old Files\r\n' + name.encode() + b'\\memo.txt')


arch_cases(WineExplorer, globals())
