"""A run without the version switch ends by itself, shows nothing and leaves no window."""

from e2e_support import arch_cases, end_module_session, start_module_session

setUpModule = start_module_session
tearDownModule = end_module_session


class PlainRun:
    def test_run_without_switches_ends_with_zero_and_leaves_no_window(self):
        for exe_name, class_name in (('Tavix.exe', 'Tavix'), ('foo.exe', 'foo')):
            with self.subTest(exe=exe_name):
                sc = self.scenario('plain-' + class_name, exe_name=exe_name)
                run = self.session.run(sc, exe_name, [], peers=self.peers)
                # A box would keep the program waiting for its OK until the time limit.
                self.assertEndedWithZero(run)
                self.assertNoWindowOfClass(sc, class_name)
                self.assertEqual(sc.files(), sorted([exe_name, class_name + '.ini']),
                                 'expected the run to create its settings file and nothing else')

    def test_command_lines_of_any_content_end_with_zero(self):
        # Over-long values, quotes, TABs and Shift_JIS text, and a line near the 32 KiB limit.
        lines = [
            ['/#e=' + 'e' * 600, '/#f=' + 'f' * 600, '/#s=' + 's' * 300],
            ['"/#s="', '\t/#e="', '""', '/#t=\t"x"'],
            ['/#e=表示', '/#f=ファイラ', '/#s=設定.ini'],
            ['/#t=' + 'x' * 32000],
        ]
        sc = self.scenario('command-lines')
        for i, args in enumerate(lines):
            with self.subTest(line=i):
                run = self.session.run(sc, 'Tavix.exe', args, peers=self.peers)
                self.assertEndedWithZero(run)
                self.assertNoWindowOfClass(sc, 'Tavix')


arch_cases(PlainRun, globals())
