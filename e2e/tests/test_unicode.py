"""Names outside code page 932 under Wine, both exes: selected items of stand-in file managers of
either bitness whose address box or title shows such a folder, Wine's explorer with résumé.txt
beside resume.txt, title mode on winefile, a started program's wide command line, settings and
search-path files in each encoding the program reads, and the program itself in such a folder.
The clipboard must hold the exact paths as CF_UNICODETEXT, and as CF_TEXT the same text in code
page 932 with '?' for what it lacks (never a look-alike); names that fit 932 give the bytes they
always gave. A first group checks, without the program, that the helper programs carry such
texts through Wine unchanged."""

import os

from e2e_support import arch_cases, end_module_session, start_module_session
from harness import (ARCHES, CF_TEXT, CF_UNICODETEXT, ENCODINGS, FilerConfig, clear_launches,
                     map_drive, place_recorder, read_clipboard_text, set_clipboard,
                     set_clipboard_unicode, start_explorer, wait_for_launch)
from harness.explorer import read_list_items
from harness.session import RunResult
from harness.trace import DEBUG_CHANNELS
from harness.winefile import start_winefile

setUpModule = start_module_session
tearDownModule = end_module_session

EARLIER = b'earlier text'
OUTPUT_MARK = 'Tavix: output: "'
# Seconds to wait for a started program's record; the program under test has ended by then.
LAUNCH_WAIT = 5

# Each name with what CF_TEXT holds for it: code page 932 with '?' for every UTF-16 code unit
# it cannot spell, so two for a character beyond the BMP (𠮷, 😀), as WideCharToMultiByte
# gives them under Wine. A look-alike (e for é) would make résumé.txt and resume.txt one path.
FOLDER = ('uni-é-한글-𠮷-😀', b'uni-?-??-??-??')
ITEMS = [
    ('café.txt', b'caf?.txt'),
    ('한글.txt', b'??.txt'),
    ('𠮷野家.txt', b'??' + '野家.txt'.encode('cp932')),
    ('😀.txt', b'??.txt'),
    ('résumé.txt', b'r?sum?.txt'),
    ('resume.txt', b'resume.txt'),
]
ANSI = dict(ITEMS)
ANSI['memo.txt'] = b'memo.txt'


def output_paths(run):
    """The paths a run handed to its output, from the wide trace, in order."""
    return [line[len(OUTPUT_MARK):-1] for line in run.trace_wide
            if line.startswith(OUTPUT_MARK) and line.endswith('"')]


class Unicode:
    # ---- helpers ---------------------------------------------------------------------

    def names_folder(self, label):
        """A scenario holding the folder FOLDER with ITEMS and other.txt in it."""
        sc = self.scenario(label)
        sc.make_folder(FOLDER[0])
        for name, _ in ITEMS + [('other.txt', b'')]:
            sc.write_file(FOLDER[0] + '/' + name)
        self.folder = sc.win_path(FOLDER[0])
        self.folder_ansi = sc.win_folder.encode('cp932') + b'\\' + FOLDER[1]
        return sc

    def tavix(self, sc, args, exe_name='Tavix.exe'):
        set_clipboard(self.session, sc, self.peers, EARLIER)
        run = self.session.run(sc, exe_name, args, peers=self.peers)
        self.assertEndedWithZero(run)
        return run

    def assertClipboard(self, sc, run, paths):
        """The clipboard holds the paths, [(str, bytes in 932)], joined by CR LF (nothing after
        the last) as CF_UNICODETEXT and as CF_TEXT."""
        found = read_clipboard_text(self.session, sc, self.peers)
        self.assertIsNotNone(found, 'no CF_TEXT on the clipboard: ' + run.describe())
        self.assertEqual(found.unicode, '\r\n'.join(path for path, _ in paths), run.describe())
        self.assertEqual(found.text, b'\r\n'.join(ansi for _, ansi in paths), run.describe())
        self.assertTrue({CF_TEXT, CF_UNICODETEXT} <= set(found.formats), found)

    def launched(self, run, folder):
        record = wait_for_launch(folder, LAUNCH_WAIT)
        self.assertIsNotNone(record, 'no program was started: ' + run.describe())
        clear_launches(folder)
        return record

    # ---- the helper programs on their own --------------------------------------------

    def test_helper_programs_carry_wide_texts(self):
        """Without the program under test: what the product tests rely on, in the bitness of
        this case's helpers."""
        sc = self.session.scenario('unicode-peers-' + self.arch)
        wide_lines = ['Tavix: read: item 0 "résumé.txt" is "C:\\x\\résumé.txt"',
                      'Tavix: 😀 𠮷 한글 メモ \\ "q"', 'Tavix: ソフト\\表示']
        # The trace: the wide text from the relay line, the bytes from Wine's conversion of it.
        sc.write_file('lines.txt', '\n'.join(wide_lines + ['A Tavix: A メモ']).encode('utf-8'))
        stderr_path = sc.work_path('trace-stderr.txt')
        proc = self.session.spawn([self.peers.trace_writer, sc.win_path('lines.txt')],
                                  debug=DEBUG_CHANNELS, stderr_path=stderr_path)
        self.assertEqual(self.session.wait(proc, 20), 0)
        with open(stderr_path, 'rb') as f:
            traced = RunResult(0, f.read())
        self.assertEqual(traced.trace_wide, wide_lines + ['Tavix: A メモ'])
        self.assertEqual(traced.trace, [b'Tavix: read: item 0 "resume.txt" is "C:\\x\\resume.txt"',
                                        b'Tavix: ?? ?? ?? \x83\x81\x83\x82 \\ "q"',
                                        'Tavix: ソフト\\表示'.encode('cp932'),
                                        'Tavix: A メモ'.encode('cp932')])

        # The clipboard: CF_UNICODETEXT read back exactly; the CF_TEXT Wine makes of it alone
        # has look-alikes, so a program must set its own.
        set_clipboard_unicode(self.session, sc, self.peers, 'résumé 😀\r\nメモ')
        found = read_clipboard_text(self.session, sc, self.peers)
        self.assertEqual(found.unicode, 'résumé 😀\r\nメモ')
        self.assertEqual(found.text, b'resume ??\r\n\x83\x81\x83\x82')
        self.assertEqual(found.formats[0], CF_UNICODETEXT)

        # A wide stand-in: its title, address box and items read back wide; LVM_GETITEMA gives
        # résumé.txt as resume.txt.
        config = FilerConfig(title='C:\\' + FOLDER[0], front=True, wide=True)
        combo = config.combobox(text='C:\\' + FOLDER[0])
        config.listview(items=['résumé.txt', 'resume.txt', '𠮷野家.txt'], select=[0, 2])
        with self.session.start_filer(sc, config, self.arch) as filer:
            self.assertTrue(filer.is_foreground)
            titles = [w.title_wide for w in self.session.top_windows(sc, self.peers,
                                                                     'StandInFiler')]
            self.assertEqual(titles, ['C:\\' + FOLDER[0]])
            _, ansi, wide = self.session.window_text(sc, filer.controls[combo].hwnd, self.peers)
            self.assertEqual((ansi, wide), (b'C:\\uni-e-??-??-??', 'C:\\' + FOLDER[0]))
            items = read_list_items(self.session, sc, filer.hwnd, self.arch)
            self.assertEqual([(i.name, i.text, i.selected) for i in items],
                             [('résumé.txt', b'resume.txt', True),
                              ('resume.txt', b'resume.txt', False),
                              ('𠮷野家.txt', ANSI['𠮷野家.txt'], True)])

        # The launch recorder: the wide command line and folders as the program got them.
        tools = sc.path('ツール-é')
        place_recorder(self.peers, tools, 'viewer.exe')
        proc = self.session.spawn([sc.win_path('ツール-é\\viewer.exe'), '表示', 'a é', '😀'],
                                  cwd=tools, image=os.path.join(tools, 'viewer.exe'))
        self.assertEqual(self.session.wait(proc, 20), 0)
        record = wait_for_launch(tools)
        self.assertEqual(record.command_line_wide,
                         '"%s" 表示 "a é" 😀' % sc.win_path('ツール-é\\viewer.exe'))
        self.assertEqual(record.parameters_wide, '表示 "a é" 😀')
        self.assertEqual(record.directory_wide, sc.win_path('ツール-é'))
        self.assertEqual(record.module_wide, sc.win_path('ツール-é\\viewer.exe'))

    # ---- the program -----------------------------------------------------------------

    def test_items_of_a_stand_in_of_either_bitness(self):
        sc = self.names_folder('names')
        names = [name for name, _ in ITEMS]
        paths = [(self.folder + '\\' + name, self.folder_ansi + b'\\' + ansi)
                 for name, ansi in ITEMS]
        for filer_arch in ARCHES:
            for shown_in in ('address box', 'title'):
                with self.subTest(filer=filer_arch, folder_in=shown_in):
                    if shown_in == 'title':
                        config = FilerConfig(title=self.folder, front=True, wide=True)
                    else:
                        config = FilerConfig(title='Stand-in', front=True, wide=True)
                        config.combobox(text=self.folder)
                    # Every item selected but other.txt; the list view's order is kept.
                    config.listview(items=names[:2] + ['other.txt'] + names[2:],
                                    select=[0, 1, 3, 4, 5, 6, 7])
                    with self.session.start_filer(sc, config, filer_arch) as filer:
                        self.assertTrue(filer.is_foreground)
                        run = self.tavix(sc, ['/#f'])
                        self.assertClipboard(sc, run, paths)
                    self.assertEqual(output_paths(run), [path for path, _ in paths])

    def test_names_that_fit_code_page_932_keep_their_bytes(self):
        # ソ and 表 end in the byte 5C, a backslash in ASCII.
        sc = self.scenario('cp932')
        for name in ('ソフト', 'ソフト/Old Files'):
            sc.make_folder(name)
        for name in ('メモ.txt', '表示.txt', 'other.txt'):
            sc.write_file('ソフト/' + name)
        folder = sc.win_path('ソフト')
        config = FilerConfig(title='Data', front=True, wide=True)
        config.combobox(text=folder)
        config.listview(items=['メモ.txt', 'Old Files', 'other.txt', '表示.txt'], select=[0, 1, 3])
        with self.session.start_filer(sc, config, self.arch):
            run = self.tavix(sc, ['/#f'])
            data = folder.encode('cp932')
            self.assertClipboard(sc, run, [
                (folder + '\\メモ.txt', data + b'\\\x83\x81\x83\x82.txt'),
                (folder + '\\Old Files', data + b'\\Old Files'),
                (folder + '\\表示.txt', data + b'\\\x95\x5c\x8e\xa6.txt')])
        self.assertEqual(data, sc.win_folder.encode('ascii') + b'\\\x83\x5c\x83t\x83g')

    def test_wine_explorer_keeps_résumé_and_resume_apart(self):
        sc = self.scenario('explorer')
        names = ['résumé.txt', 'resume.txt', 'memo.txt']
        sc.make_folder('drive')
        for name in names + ['😀.txt']:
            sc.write_file('drive/' + name)
        for explorer_arch in ARCHES:
            with self.subTest(explorer=explorer_arch):
                with map_drive(self.session, 'D', sc.path('drive')), \
                        start_explorer(self.session, sc, 'D:\\', explorer_arch) as explorer:
                    selected = explorer.select(names)
                    run = self.tavix(sc, ['/#f'])
                    # The list view's own order, which Wine's explorer takes from the folder.
                    order = [item.name for item in sorted(selected, key=lambda i: i.index)]
                    self.assertClipboard(sc, run, [('D:\\' + name, b'D:\\' + ANSI[name])
                                                   for name in order])

    def test_title_mode_on_winefile(self):
        # winefile's title ends in "[<the folder's full path>]"; Wine's explorer shows only the
        # folder's name.
        sc = self.names_folder('winefile')
        with start_winefile(self.session, sc, self.folder, self.arch) as winefile:
            for args in ([], ['/#t']):
                with self.subTest(args=args):
                    self.assertTrue(self.session.bring_to_front(winefile.hwnd, self.peers))
                    run = self.tavix(sc, args)
                    self.assertClipboard(sc, run, [(self.folder, self.folder_ansi)])

    def test_started_program_gets_the_wide_paths(self):
        sc = self.names_folder('launch')
        sc.make_folder(FOLDER[0] + '/한글 폴더')
        tools = 'outils-é-😀'
        place_recorder(self.peers, sc.path(tools), 'viewer.exe')
        viewer = sc.win_path(tools + '\\viewer.exe')
        sc.write_text('Tavix.ini', '[exec]\r\n%s | Voir\r\n>/o "%%M"\r\n' % viewer, 'utf-16-le')
        config = FilerConfig(title='Stand-in', front=True, wide=True)
        config.combobox(text=self.folder)
        config.listview(items=['한글 폴더', 'café.txt', 'other.txt', '😀.txt'], select=[0, 1, 3])
        with self.session.start_filer(sc, config, self.arch):
            run = self.tavix(sc, ['/#f', '/#e=Voir'])
            record = self.launched(run, sc.path(tools))
        self.assertEqual(record.command_line_wide,
                         '"%s" /o "%s\\한글 폴더\\" "%s\\café.txt" "%s\\😀.txt"'
                         % (viewer, self.folder, self.folder, self.folder), run.describe())
        self.assertEqual(record.directory_wide, sc.win_path(tools))
        self.assertEqual(record.module_wide, viewer)
        self.assertEqual(read_clipboard_text(self.session, sc, self.peers).text, EARLIER)

    def test_settings_and_search_path_files_in_each_encoding(self):
        sc = self.scenario('encodings')
        sc.make_folder('files')
        sc.write_file('files/メモ.txt')
        place_recorder(self.peers, sc.path('ツール'), 'viewer.exe')
        place_recorder(self.peers, sc.path('検索'), 'finder.exe')
        folder = sc.win_path('files')
        settings = ('[system]\r\n@path=%s\r\n%%end\r\n[exec]\r\n%s | 表示\r\nfinder | 検索\r\n'
                    '%%end\r\n' % (sc.win_path('lists\\paths.txt'), sc.win_path('ツール\\viewer.exe')))
        sc.make_folder('lists')
        config = FilerConfig(title=folder, front=True, wide=True)
        config.listview(items=['メモ.txt'], select=[0])
        with self.session.start_filer(sc, config, self.arch):
            for encoding in ENCODINGS:
                sc.write_text('Tavix.ini', settings, encoding)
                sc.write_text('lists/paths.txt', '; 検索\r\npath=%s\r\n' % sc.win_path('検索'),
                              encoding)
                # The label comes in on the command line: UTF-8 arguments arrive as the
                # UTF-16 text they spell.
                for label, tools, program in (('表示', 'ツール', 'viewer.exe'),
                                              ('検索', '検索', 'finder.exe')):
                    with self.subTest(encoding=encoding, label=label):
                        run = self.tavix(sc, ['/#f', '/#e=' + label])
                        record = self.launched(run, sc.path(tools))
                        self.assertEqual(record.module_wide, sc.win_path(tools + '\\' + program))
                        self.assertEqual(record.parameters_wide, '"%s\\メモ.txt"' % folder)

    def test_program_in_a_folder_named_outside_code_page_932(self):
        sc = self.session.scenario('exe-folder-' + self.arch)
        exe = sc.add_exe(self.exe, 'Überall\\Tavix.exe')
        place_recorder(self.peers, sc.path('Überall'), 'viewer.exe')
        # Found in the program's own folder, along the system's search order.
        sc.write_text('Überall\\Tavix.ini', '[exec]\r\nviewer | View\r\n>"%M"\r\n')
        sc.make_folder('files')
        sc.write_file('files/café.txt')
        folder = sc.win_path('files')
        config = FilerConfig(title=folder, front=True, wide=True)
        config.listview(items=['café.txt'], select=[0])
        with self.session.start_filer(sc, config, self.arch):
            run = self.tavix(sc, ['/#f'], exe)
            self.assertClipboard(sc, run, [(folder + '\\café.txt',
                                            folder.encode('ascii') + b'\\caf?.txt')])
            read = 'Tavix: settings: read "%s"' % sc.win_path('Überall\\Tavix.ini')
            self.assertTrue(any(line.startswith(read) for line in run.trace_wide),
                            run.describe())
            self.assertEqual(sorted(os.listdir(sc.path('Überall'))),
                             ['Tavix.exe', 'Tavix.ini', 'viewer.exe'])
            self.assertEqual(sc.files(), ['files', 'Überall'])

            run = self.tavix(sc, ['/#f', '/#e=View'], exe)
            record = self.launched(run, sc.path('Überall'))
        self.assertEqual(record.command_line_wide, '"%s" "%s\\café.txt"'
                         % (sc.win_path('Überall\\viewer.exe'), folder))
        self.assertEqual(record.directory_wide, sc.win_path('Überall'))


arch_cases(Unicode, globals())
