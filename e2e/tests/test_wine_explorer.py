"""Wine's own explorer as the file manager, 32-bit and 64-bit, with two items selected by real
clicks: both programs read them. Its title shows only a display name, so two real cases are
used: a drive root, titled ' (D:)', whose enclosed text names the drive; and a folder whose
name is a folder in Tavix's working folder."""

from e2e_support import arch_cases, end_module_session, output_paths, start_module_session
from harness import ARCHES, map_drive, start_explorer

setUpModule = start_module_session
tearDownModule = end_module_session

SELECTED = ['Old Files', 'memo.txt']


class WineExplorer:
    def sample(self, sc, name):
        sc.make_folder(name)
        sc.make_folder(name + '/Old Files')
        sc.write_file(name + '/memo.txt', b'memo\r\n')
        sc.write_file(name + '/other.txt', b'other\r\n')

    def read_selection(self, sc, folder, explorer_arch):
        """Opens the explorer on folder, selects the two items by clicks, runs Tavix /#f."""
        with start_explorer(self.session, sc, folder, explorer_arch) as explorer:
            explorer.select(SELECTED)
            run = self.session.run(sc, 'Tavix.exe', ['/#f'], peers=self.peers)
            title = explorer.title
        self.assertEndedWithZero(run)
        return run, title

    def test_drive_root_named_by_its_title(self):
        sc = self.scenario('explorer-drive')
        self.sample(sc, 'sample')
        for explorer_arch in ARCHES:
            with self.subTest(explorer=explorer_arch):
                with map_drive(self.session, 'D', sc.path('sample')):
                    run, title = self.read_selection(sc, 'D:\\', explorer_arch)
                self.assertEqual(title, b' (D:)')
                self.assertEqual(output_paths(run), [b'D:\\Old Files', b'D:\\memo.txt'],
                                 run.describe())

    def test_folder_named_relative_to_the_working_folder(self):
        sc = self.scenario('explorer-relative')
        for explorer_arch in ARCHES:
            with self.subTest(explorer=explorer_arch):
                # One folder per explorer: an explorer opened on a folder that another
                # explorer window shows hands it to that window.
                name = 'sample' + explorer_arch[-2:]
                self.sample(sc, name)
                run, title = self.read_selection(sc, sc.win_path(name), explorer_arch)
                self.assertEqual(title, name.encode())
                self.assertEqual(output_paths(run),
                                 [name.encode() + b'\\Old Files', name.encode() + b'\\memo.txt'],
                                 run.describe())


arch_cases(WineExplorer, globals())
