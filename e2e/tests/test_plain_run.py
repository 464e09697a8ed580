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


arch_cases(PlainRun, globals())
