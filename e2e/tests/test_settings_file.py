"""Which settings file a run reads or creates, and the error box when it cannot be opened."""

from e2e_support import (ERROR_CAPTION, ERROR_TEXT, arch_cases, end_module_session,
                         start_module_session)

setUpModule = start_module_session
tearDownModule = end_module_session

SETTINGS_TEXT = b'[system]\r\n@restore\r\n%end\r\n'

# (exe name, command line, file created beside the exe)
CREATED_WHEN_NONE_EXISTS = [
    ('Tavix.exe', [], 'Tavix.ini'),
    ('foo.exe', [], 'foo.ini'),
    ('Tavix.exe', ['/#s=missing.ini'], 'Tavix.ini'),
    ('foo.exe', ['/#s=missing.ini'], 'foo.ini'),
]


class SettingsFile:
    def assertRunWithoutBox(self, scenario, exe_name, args):
        run = self.session.run(scenario, exe_name, args, peers=self.peers)
        self.assertEndedWithZero(run)
        return run

    def assertSettingsErrorRun(self, scenario, exe_name, args):
        run, box = self.session.run_with_box(scenario, exe_name, args, peers=self.peers)
        self.assertBox(box, ERROR_CAPTION, ERROR_TEXT, icon='error')
        self.assertBoxOwnedByHiddenWindow(box, exe_name[:-len('.exe')])
        self.assertEndedWithZero(run)

    def test_missing_settings_file_is_created_empty_beside_the_exe(self):
        for i, (exe_name, args, created) in enumerate(CREATED_WHEN_NONE_EXISTS):
            with self.subTest(exe=exe_name, command_line=' '.join(args)):
                sc = self.scenario('create-%d' % i, exe_name=exe_name)
                self.assertRunWithoutBox(sc, exe_name, args)
                self.assertEqual(sc.files(), sorted([exe_name, created]),
                                 'expected exactly %s to be created' % created)
                with open(sc.path(created), 'rb') as f:
                    self.assertEqual(f.read(), b'', 'the created settings file must be empty')

    def test_existing_settings_files_are_read_and_left_unchanged(self):
        # (exe name, files present, command line, file the trace must name)
        cases = [
            ('Tavix.exe', ['Tavix.ini'], [], 'Tavix.ini'),
            ('foo.exe', ['foo.ini', 'Tavix.ini'], [], 'foo.ini'),
            ('foo.exe', ['Tavix.ini'], [], 'Tavix.ini'),
            ('Tavix.exe', ['other.ini'], ['/#s=other.ini'], 'other.ini'),
            ('Tavix.exe', ['Tavix.ini', 'other.ini'], ['/#S=other.ini'], 'other.ini'),
        ]
        for i, (exe_name, present, args, named) in enumerate(cases):
            with self.subTest(exe=exe_name, present=present, command_line=' '.join(args)):
                sc = self.scenario('read-%d' % i, exe_name=exe_name)
                for name in present:
                    sc.write_file(name, SETTINGS_TEXT)
                run = self.assertRunWithoutBox(sc, exe_name, args)
                self.assertTrue(any(named.encode() in line for line in run.trace),
                                'expected a traced line naming %s: %s' % (named, run.describe()))
                self.assertEqual(sc.files(), sorted([exe_name] + present),
                                 'no settings file may be created when one exists')
                for name in present:
                    with open(sc.path(name), 'rb') as f:
                        self.assertEqual(f.read(), SETTINGS_TEXT, '%s was changed' % name)

    def test_only_the_chosen_settings_file_is_opened(self):
        # Every settings file except the chosen one is held without sharing: opening any of
        # them would show the error box, so a quiet run proves which file was opened.
        # (exe name, files present, command line, file chosen)
        cases = [
            ('foo.exe', ['foo.ini', 'Tavix.ini'], [], 'foo.ini'),
            ('Tavix.exe', ['Tavix.ini', 'other.ini'], ['/#s=other.ini'], 'other.ini'),
            ('foo.exe', ['foo.ini', 'other.ini'], ['/#s=missing.ini'], 'foo.ini'),
        ]
        for i, (exe_name, present, args, chosen) in enumerate(cases):
            with self.subTest(exe=exe_name, present=present, command_line=' '.join(args)):
                sc = self.scenario('chosen-%d' % i, exe_name=exe_name)
                holds = []
                try:
                    for name in present:
                        sc.write_file(name, SETTINGS_TEXT)
                        if name != chosen:
                            holds.append(self.session.hold_file(sc, name, self.peers))
                    self.assertRunWithoutBox(sc, exe_name, args)
                finally:
                    for hold in holds:
                        hold.release()

    def test_empty_settings_switch_value_shows_settings_error_box(self):
        sc = self.scenario('empty-switch')
        self.assertSettingsErrorRun(sc, 'Tavix.exe', ['/#s='])

    def test_settings_file_held_by_another_process_shows_settings_error_box(self):
        # (exe name, file held, command line); the held file is the one the run must open.
        cases = [
            ('Tavix.exe', 'Tavix.ini', []),
            ('Tavix.exe', 'other.ini', ['/#s=other.ini']),
            ('foo.exe', 'Tavix.ini', []),
        ]
        for i, (exe_name, name, args) in enumerate(cases):
            with self.subTest(exe=exe_name, held=name, command_line=' '.join(args)):
                sc = self.scenario('held-%d' % i, exe_name=exe_name)
                sc.write_file(name, SETTINGS_TEXT)
                hold = self.session.hold_file(sc, name, self.peers)
                try:
                    self.assertSettingsErrorRun(sc, exe_name, args)
                finally:
                    self.assertEqual(hold.release(), 0, 'file_holder did not end cleanly')

    def test_japanese_folder_and_file_names(self):
        # ソ is 83 5C in Shift_JIS: its second byte must not be taken for a backslash, or the
        # program's folder, and with it the settings file, would be wrong.
        sc = self.scenario('ソフト')
        run = self.assertRunWithoutBox(sc, 'Tavix.exe', [])
        self.assertEqual(sc.files(), ['Tavix.exe', 'Tavix.ini'], run.describe())
        folder = sc.win_folder.encode('cp932')
        self.assertTrue(any(b'settings: read "' + folder + b'\\Tavix.ini"' in line
                            for line in run.trace), run.describe())

        sc.write_file('設定.ini', SETTINGS_TEXT)
        run = self.assertRunWithoutBox(sc, 'Tavix.exe', ['/#s=設定.ini'])
        self.assertTrue(any(b'settings: read "' + folder + '\\設定.ini"'.encode('cp932') in line
                            for line in run.trace), run.describe())


arch_cases(SettingsFile, globals())
