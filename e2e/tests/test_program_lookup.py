"""Program lookup under Wine: the system's search order, a search-path file, canonical paths,
the ".exe" variants and templates landing on the last stored entry, read from the trace.
The same settings file is run on the simulated desktop by the scenario tests, so the two
must agree."""

import os
import re

from e2e_support import arch_cases, end_module_session, start_module_session

REPO = os.path.abspath(os.path.join(os.path.dirname(__file__), '..', '..'))

setUpModule = start_module_session
tearDownModule = end_module_session


def settings_text(folder):
    return ('[exec]\r\n'
            'notepad\r\n'
            'viewer | View\r\n'
            '>"%M"\r\n'
            '{0}\\tools\\..\\tools\\.\\viewer.exe | Canon\r\n'
            'missing | Gone\r\n'
            '>lands on Canon\r\n'
            'tool.exe | Double\r\n'
            '%end\r\n'
            '[system]\r\n'
            '@path={0}\\lists\\paths.txt\r\n'
            '%end\r\n').format(folder).encode('ascii')


class ProgramLookup:
    def test_programs_are_found_along_the_search_path_file_and_the_system_order(self):
        sc = self.scenario('lookup')
        for name in ('tools', 'lists'):
            sc.make_folder(name)
        sc.write_file('tools/viewer.exe', b'MZ')
        sc.write_file('tools/tool.exe.exe', b'MZ')
        sc.write_file('lists/paths.txt', ('; tools\r\npath=%s\\tools\r\n' % sc.win_folder).encode())
        sc.write_file('Tavix.ini', settings_text(sc.win_folder))

        run = self.session.run(sc, 'Tavix.exe', [], peers=self.peers)
        self.assertEqual(run.exit_code, 0, run.describe())
        lines = [line.decode('cp932').lower() for line in run.trace]
        tools = (sc.win_folder + '\\tools\\').lower()
        expected = [
            'settings: search path from "%s\\lists\\paths.txt": "%s\\tools"'
            % (sc.win_folder.lower(), sc.win_folder.lower()),
            'settings: program 1 "c:\\windows\\system32\\notepad.exe" labelled "notepad"',
            'settings: program 2 "%sviewer.exe" labelled "view"' % tools,
            'settings: template of program 2: ""%m""',
            'settings: program 3 "%sviewer.exe" labelled "canon"' % tools,
            'settings: program "missing" not found; line ignored',
            'settings: template of program 3: "lands on canon"',
            'settings: program 4 "%stool.exe.exe" labelled "double"' % tools,
        ]
        for want in expected:
            self.assertTrue(any(line.endswith(want) for line in lines),
                            'expected a traced line ending in %r:\n%s' % (want, '\n'.join(lines)))

    def test_sample_settings_file_of_the_documentation_loads(self):
        sc = self.scenario('sample')
        with open(os.path.join(REPO, 'docs', 'Tavix.ini'), 'rb') as f:
            sc.write_file('Tavix.ini', f.read())
        run = self.session.run(sc, 'Tavix.exe', [], peers=self.peers)
        self.assertEqual(run.exit_code, 0, run.describe())
        lines = [line.decode('cp932').lower() for line in run.trace]
        # Wine keeps explorer.exe in the system folder as well as in the Windows folder.
        for want in (r'settings: program 1 "c:\\windows\\system32\\notepad\.exe" labelled "edit"$',
                     r'settings: program 2 "c:\\windows\\(system32\\)?explorer\.exe" labelled "browse"$',
                     r'settings: 2 programs, 1 title names, 1 filer names$'):
            self.assertTrue(any(re.search(want, line) for line in lines),
                            'expected a traced line matching %r:\n%s' % (want, '\n'.join(lines)))


arch_cases(ProgramLookup, globals())
