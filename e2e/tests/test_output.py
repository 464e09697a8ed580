"""The whole run under Wine, to the real clipboard and to a started program: the clipboard text
byte for byte, every form of parameter text as the started program receives it, the program's
working folder and show state, title mode, programs picked by name and by the settings' lists,
restoring a minimized window, a clipboard held by another program and a program that is gone
by the time it is started."""

from e2e_support import arch_cases, end_module_session, start_module_session
from harness import (FilerConfig, clear_launches, hold_clipboard, place_recorder, read_clipboard,
                     set_clipboard, wait_for_launch)
from harness.launches import launches

setUpModule = start_module_session
tearDownModule = end_module_session

EARLIER = b'earlier text'
# Seconds to wait for a start that must not happen.
NO_LAUNCH_WAIT = 2


class Output:
    def sample(self, label):
        """A scenario with the folder files\\Data (memo.txt, Old Files, other.txt) and the
        recorder as tools\\viewer.exe, labelled View with the template `template`."""
        sc = self.scenario(label)
        sc.make_folder('files')
        sc.make_folder('files/Data')
        sc.make_folder('files/Data/Old Files')
        sc.write_file('files/Data/memo.txt', b'memo\r\n')
        sc.write_file('files/Data/other.txt', b'other\r\n')
        self.tools = sc.path('tools')
        place_recorder(self.peers, self.tools, 'viewer.exe')
        self.viewer = sc.win_path('tools\\viewer.exe')
        self.data = sc.win_path('files\\Data').encode('cp932')
        return sc

    def settings(self, sc, template, extra=b''):
        text = (b'[system]\r\n' + extra + b'[exec]\r\n' + self.viewer.encode('cp932') +
                b' | View\r\n>' + template + b'\r\n')
        sc.write_file('Tavix.ini', text)

    def folder_window(self, **keys):
        """A file manager whose title shows only "Data" and whose address box the path; the
        list view holds memo.txt, Old Files and other.txt, the first two selected."""
        config = FilerConfig(title='Data', front=True, **keys)
        config.combobox(text=self.data)
        config.listview(items=['memo.txt', 'Old Files', 'other.txt'], select=[1, 0])
        return config

    def tavix(self, sc, args):
        run = self.session.run(sc, 'Tavix.exe', args, peers=self.peers)
        self.assertEndedWithZero(run)
        return run

    def launched(self, run):
        record = wait_for_launch(self.tools)
        self.assertIsNotNone(record, 'no program was started: ' + run.describe())
        clear_launches(self.tools)
        return record

    def test_typical_run_to_the_clipboard_and_to_the_viewer(self):
        sc = self.sample('typical')
        self.settings(sc, b'"%M"')
        memo, old = self.data + b'\\memo.txt', self.data + b'\\Old Files'
        with self.session.start_filer(sc, self.folder_window(), self.arch) as filer:
            self.assertTrue(filer.is_foreground)
            set_clipboard(self.session, sc, self.peers, EARLIER)
            run = self.tavix(sc, ['/#f'])
            # In the list view's item order, joined by CR LF, nothing after the last.
            self.assertEqual(read_clipboard(self.session, sc, self.peers), memo + b'\r\n' + old,
                             run.describe())
            self.assertEqual(wait_for_launch(self.tools, NO_LAUNCH_WAIT), None)

            set_clipboard(self.session, sc, self.peers, EARLIER)
            run = self.tavix(sc, ['/#f', '/#e=View'])
            record = self.launched(run)
            self.assertEqual(record.parameters, b'"%s" "%s\\"' % (memo, old))
            self.assertEqual(record.directory, self.viewer.rsplit('\\', 1)[0].encode('cp932'))
            self.assertTrue(record.show_flag)
            self.assertEqual(record.show, 1)
            self.assertEqual(read_clipboard(self.session, sc, self.peers), EARLIER)

    def test_every_form_of_parameter_text(self):
        sc = self.sample('parameters')
        memo, old = self.data + b'\\memo.txt', self.data + b'\\Old Files'
        with self.session.start_filer(sc, self.folder_window(), self.arch) as filer:
            handle = b'%d' % (filer.hwnd - (1 << 32) if filer.hwnd >= 1 << 31 else filer.hwnd)
            # The parameter text as handed over: the started program's command line is its
            # quoted path, one blank, then exactly this text.
            rows = [
                (b'"%M"', b'"%s" "%s\\"' % (memo, old)),
                (b'"%-M"', b'"%s" "%s"' % (memo, old)),
                (b'%M', b'%s %s\\' % (memo, old)),
                (b'%-M', b'%s %s' % (memo, old)),
                (b'', b' "%s" "%s\\"' % (memo, old)),
                (b'/n', b'/n "%s" "%s\\"' % (memo, old)),
                (b'-o "%-M" -q', b'-o "%s" "%s" -q' % (memo, old)),
                (b'/e,%-M /x', b'/e,%s %s /x' % (memo, old)),
                (b'%M "%-M"', b'%%M "%s" "%s"' % (memo, old)),
                (b'/w=%$W "%M"', b'/w=' + handle + b' "%s" "%s\\"' % (memo, old)),
            ]
            for template, parameters in rows:
                with self.subTest(template=template):
                    self.settings(sc, template)
                    run = self.tavix(sc, ['/#f', '/#e=view'])
                    self.assertEqual(self.launched(run).command_line,
                                     b'"%s" %s' % (self.viewer.encode('cp932'), parameters),
                                     run.describe())

            # %C: the clipboard gets the paths, without a beep, and the program empty parameters.
            set_clipboard(self.session, sc, self.peers, EARLIER)
            self.settings(sc, b'%C')
            run = self.tavix(sc, ['/#f', '/#e=View'])
            self.assertEqual(self.launched(run).command_line.rstrip(b' '),
                             b'"%s"' % self.viewer.encode('cp932'))
            self.assertEqual(read_clipboard(self.session, sc, self.peers), memo + b'\r\n' + old)

    def test_title_mode(self):
        sc = self.sample('title')
        memo = self.data + b'\\memo.txt'
        cases = [
            (FilerConfig(title=self.data, front=True), self.data),     # a path title
            (FilerConfig(title=memo, front=True), memo),               # a file title
            (self.folder_window(), self.data),                         # an address box
        ]
        for config, expected in cases:
            with self.subTest(expected=expected):
                with self.session.start_filer(sc, config, self.arch):
                    run = self.tavix(sc, ['/#t'])
                    self.assertEqual(read_clipboard(self.session, sc, self.peers), expected,
                                     run.describe())

    def test_windows_picked_by_program_name_and_by_the_lists(self):
        sc = self.sample('names')
        sc.make_folder('files/First')
        sc.make_folder('files/Second')
        sc.write_file('files/First/one.txt')
        sc.write_file('files/Second/two.txt')
        first_dir = sc.win_path('files\\First')
        second_dir = sc.win_path('files\\Second')
        first = FilerConfig(title=first_dir)
        first.listview(items=['one.txt'], select=[0])
        second = FilerConfig(title=second_dir)
        second.listview(items=['two.txt'], select=[0])
        in_front = FilerConfig(title='Untitled', front=True)
        with self.session.start_filer(sc, first, self.arch, exe_name='First.exe'), \
                self.session.start_filer(sc, second, self.arch, exe_name='Second.exe'), \
                self.session.start_filer(sc, in_front, self.arch, exe_name='Front.exe') as front:
            self.assertTrue(front.is_foreground)
            cases = [
                (['/#f=second'], b'', (second_dir + '\\two.txt')),
                (['/#t=first'], b'', first_dir),
                (['/#f'], b'@filer=second,first\r\n', (second_dir + '\\two.txt')),
                (['/#f'], b'@filer=first,second\r\n', (first_dir + '\\one.txt')),
                (['/#t'], b'@title=second,first\r\n', second_dir),
            ]
            for args, lists, expected in cases:
                with self.subTest(args=args, lists=lists):
                    self.settings(sc, b'"%M"', lists)
                    run = self.tavix(sc, args)
                    self.assertEqual(read_clipboard(self.session, sc, self.peers),
                                     expected.encode('cp932'), run.describe())

    def test_restore_brings_back_a_minimized_file_manager(self):
        sc = self.sample('restore')
        self.settings(sc, b'"%M"', b'@restore\r\n')
        config = FilerConfig(title=self.data, minimized=True)
        with self.session.start_filer(sc, config, self.arch, exe_name='Filer.exe') as filer:
            self.assertEqual(self.session.window_state(sc, filer.hwnd, self.peers)['minimized'], 1)
            run = self.tavix(sc, ['/#t=filer'])
            self.assertEqual(read_clipboard(self.session, sc, self.peers), self.data)
            self.assertEqual(self.session.window_state(sc, filer.hwnd, self.peers)['minimized'], 0,
                             run.describe())

    def test_clipboard_held_by_another_program(self):
        sc = self.sample('held')
        self.settings(sc, b'"%M"')
        with self.session.start_filer(sc, self.folder_window(), self.arch):
            set_clipboard(self.session, sc, self.peers, EARLIER)
            with hold_clipboard(self.session, sc, self.peers):
                run = self.tavix(sc, ['/#f'])
            self.assertEqual(read_clipboard(self.session, sc, self.peers), EARLIER,
                             run.describe())

    def test_program_gone_by_the_start_lets_the_shell_open_the_text(self):
        sc = self.sample('gone')
        # The selected item is itself a program (the recorder again): once viewer.exe is gone,
        # the shell is asked to open the parameter text, which names it.
        place_recorder(self.peers, sc.path('files/Data'), 'opened.exe')
        self.settings(sc, b'%M')
        config = FilerConfig(title='Data', front=True, remove=self.viewer)
        config.combobox(text=self.data)
        config.listview(items=['opened.exe', 'memo.txt'], select=[0])
        with self.session.start_filer(sc, config, self.arch):
            run = self.tavix(sc, ['/#f', '/#e=View'])
        record = wait_for_launch(sc.path('files/Data'))
        self.assertIsNotNone(record, run.describe())
        self.assertEqual(record.parameters, b'')
        self.assertEqual(launches(self.tools), [])


arch_cases(Output, globals())
