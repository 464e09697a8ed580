"""The version switch: a fixed box owned by the hidden window, and nothing else."""

from e2e_support import (VERSION_CAPTION, VERSION_TEXT, arch_cases, end_module_session,
                         start_module_session)

setUpModule = start_module_session
tearDownModule = end_module_session

# The switch is found in any letter case, anywhere in the command line, also inside the value
# of another switch.
VERSION_COMMAND_LINES = [
    ['/#v'],
    ['/#V'],
    ['/#e=View', '/#f', '/#v'],
    ['/#s=x/#Vy.ini'],
    ['abc/#vdef'],
]


class VersionBox:
    def assertVersionBoxRun(self, scenario, exe_name, args, class_name):
        run, box = self.session.run_with_box(scenario, exe_name, args, peers=self.peers)
        self.assertBox(box, VERSION_CAPTION, VERSION_TEXT, icon='none')
        self.assertBoxOwnedByHiddenWindow(box, class_name)
        self.assertEndedWithZero(run)

    def test_version_switch_anywhere_shows_version_box_and_writes_nothing(self):
        self.assertEqual(len(VERSION_TEXT), 70)
        for i, args in enumerate(VERSION_COMMAND_LINES):
            with self.subTest(command_line=' '.join(args)):
                sc = self.scenario('version-%d' % i)
                self.assertVersionBoxRun(sc, 'Tavix.exe', args, 'Tavix')
                self.assertEqual(sc.files(), ['Tavix.exe'],
                                 'the version run must not create any file')

    def test_copied_exe_names_its_window_after_itself_but_keeps_the_caption(self):
        sc = self.scenario('version-foo', exe_name='foo.exe')
        self.assertVersionBoxRun(sc, 'foo.exe', ['/#v'], 'foo')
        self.assertEqual(sc.files(), ['foo.exe'], 'the version run must not create any file')

    def test_version_switch_does_not_open_settings_file(self):
        # A settings file nobody may open would give the settings error box, were it read.
        sc = self.scenario('version-locked')
        sc.write_file('Tavix.ini', b'[system]\r\n')
        hold = self.session.hold_file(sc, 'Tavix.ini', self.peers)
        try:
            self.assertVersionBoxRun(sc, 'Tavix.exe', ['/#v'], 'Tavix')
        finally:
            hold.release()


arch_cases(VersionBox, globals())
