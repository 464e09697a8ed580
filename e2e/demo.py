"""Tavix doing its job under Wine, as a user would see it.

On a private virtual display with a Wine prefix of its own:
  1. makes a sample folder holding memo.txt, the folder Old Files and a file with a Japanese
     name, and maps drive D: onto it;
  2. opens D:\\ in Wine's own explorer and selects Old Files and memo.txt by real mouse clicks
     (ctrl held for the second);
  3. "presses the hot key": runs Tavix.exe /#f, and prints what the clipboard then holds;
  4. runs Tavix.exe /#f /#e=View with a settings file whose program labelled View is a small
     recorder (template "%M"), and prints the command line and working folder it was started
     with;
  5. selects r\u00e9sum\u00e9.txt and resume.txt, two files whose names differ only by the
     accents, runs Tavix.exe /#f again and prints both clipboard texts: the Unicode one with
     each name as it is, the ANSI one (code page 932) with '?' where the code page has no
     character, never a look-alike that would name the other file;
  6. shows the route for the Explorer of Windows 7 to 11, whose items no other program can
     read: a stand-in shell serves the shell's window list over Wine's COM for a window titled
     only "Minutes", and Tavix.exe /#f asks it for the folder and the selected items;
  7. saves screenshots to build/demo/ (the selection, and the version box of Tavix.exe /#v).

Exit code 0 when both outputs are as expected. Everything it started is ended before it returns.
"""

import os
import sys
import time

sys.path.insert(0, os.path.dirname(os.path.abspath(__file__)))

from harness import (Peers, ShellConfig, WineSession, exe_path, map_drive,  # noqa: E402
                     place_recorder, read_clipboard, read_clipboard_text, set_clipboard,
                     start_explorer, wait_for_launch)
from harness.box import BoxReport  # noqa: E402
from harness.paths import ROOT  # noqa: E402

ARCH = 'win32'
BOX_LIMIT = 20
OUT = os.path.join(ROOT, 'build', 'demo')
SELECT = ['Old Files', 'memo.txt']
EXPECTED_CLIPBOARD = b'D:\\Old Files\r\nD:\\memo.txt'
EXPECTED_PARAMETERS = b'"D:\\Old Files\\" "D:\\memo.txt"'
ACCENTED = ['r\u00e9sum\u00e9.txt', 'resume.txt']
# What code page 932 makes of each name when no look-alike is allowed.
ACCENTED_ANSI = {'r\u00e9sum\u00e9.txt': b'r?sum?.txt', 'resume.txt': b'resume.txt'}


def show(label, data):
    """Prints bytes as the Japanese Windows would show them, CR LF made visible."""
    text = data.decode('cp932', 'replace').replace('\r\n', '<CR><LF>')
    print('demo: %s %s' % (label, text))


def sample(sc):
    sc.make_folder('sample')
    sc.make_folder('sample/Old Files')
    sc.write_file('sample/memo.txt', b'memo\r\n')
    sc.write_file('sample/' + '議事録.txt', b'minutes\r\n')
    for name in ACCENTED:
        sc.write_file('sample/' + name, b'cv\r\n')


def settings(sc):
    viewer = sc.win_path('tools\\viewer.exe').encode('cp932')
    sc.write_file('Tavix.ini', b'[exec]\r\n' + viewer + b' | View\r\n>"%M"\r\n%end\r\n')


def accented_names(session, sc, peers, explorer):
    """Two names that differ only by their accents: each gives its own path."""
    selected = explorer.select(ACCENTED)
    order = [item.name for item in sorted(selected, key=lambda item: item.index)]
    print('demo: selected by clicks: %s' % ', '.join(order))
    set_clipboard(session, sc, peers, b'(the clipboard before)')
    run = session.run(sc, 'Tavix.exe', ['/#f'], peers=peers)
    found = read_clipboard_text(session, sc, peers)
    print('demo: Tavix.exe /#f ended with exit code %r' % run.exit_code)
    if found is None:
        print('demo: the clipboard holds no text', file=sys.stderr)
        return False
    print('demo: clipboard, Unicode text: %s' % (found.unicode or '').replace('\r\n', '<CR><LF>'))
    show('clipboard, ANSI text:', found.text)
    unicode_wanted = '\r\n'.join('D:\\' + name for name in order)
    ansi_wanted = b'\r\n'.join(b'D:\\' + ACCENTED_ANSI[name] for name in order)
    return run.exit_code == 0 and found.unicode == unicode_wanted and found.text == ansi_wanted


def shell_route(session, sc, peers):
    """An Explorer window as Windows 10 makes it, answered for by a stand-in shell."""
    # The title shows only the folder's name, which names no folder relative to Tavix's
    # working folder: only the shell can tell where the window is.
    sc.make_folder('docs')
    sc.make_folder('docs/Minutes')
    sc.make_folder('docs/Minutes/2026')
    sc.write_file('docs/Minutes/議事録.txt', b'minutes\r\n')
    folder = sc.win_path('docs\\Minutes')
    selected = [folder + '\\2026', folder + '\\議事録.txt']
    config = ShellConfig(title='Minutes', front=True)
    config.tab(folder=folder, select=selected)
    with session.start_shell(sc, config, ARCH) as shell:
        if not shell.serving:
            print('demo: the stand-in shell could not serve the window list', file=sys.stderr)
            return False
        set_clipboard(session, sc, peers, b'(the clipboard before)')
        run = session.run(sc, 'Tavix.exe', ['/#f'], peers=peers)
        clipboard = read_clipboard(session, sc, peers) or b''
    print('demo: a window titled "Minutes" whose folder and selection only the shell knows;')
    for line in run.trace:
        if line.startswith(b'Tavix: shell:') or b'from the shell' in line:
            show('  trace:', line[len(b'Tavix: '):])
    print('demo: Tavix.exe /#f ended with exit code %r' % run.exit_code)
    show('clipboard now holds:', clipboard)
    expected = '\r\n'.join(selected).encode('cp932')
    return run.exit_code == 0 and clipboard == expected


def version_box(session, sc, peers):
    """Tavix.exe /#v: the version box, photographed, then closed with OK."""
    reader = session.spawn([peers.msgbox_reader, sc.win_work_path('box.txt'), str(BOX_LIMIT),
                            '--box-up', sc.win_work_path('box-up'),
                            '--press-when', sc.win_work_path('press')])
    program = session.spawn([sc.win_path('Tavix.exe'), '/#v'], cwd=sc.folder)
    deadline = time.monotonic() + BOX_LIMIT
    while not os.path.exists(sc.work_path('box-up')):
        if reader.poll() is not None or time.monotonic() > deadline:
            return False
        time.sleep(0.02)
    session.screenshot(os.path.join(OUT, 'version-box.png'))
    open(sc.work_path('press'), 'w').close()
    session.wait(reader, BOX_LIMIT)
    code = session.wait(program, BOX_LIMIT)
    with open(sc.work_path('box.txt'), 'rb') as f:
        box = BoxReport.parse(f.read())
    print('demo: Tavix.exe /#v: %s' % box.describe())
    return box.closed and code == 0


def main():
    started = time.monotonic()
    exe = exe_path(ARCH)
    peers = Peers(ARCH)
    missing = [p for p in [exe] + peers.missing() if not os.path.exists(p)]
    if missing:
        print('demo: missing %s (run make win32)' % ', '.join(missing), file=sys.stderr)
        return 1

    ok = True
    with WineSession() as session:
        sc = session.scenario('demo')
        sc.add_exe(exe)
        sample(sc)
        settings(sc)
        place_recorder(peers, sc.path('tools'), 'viewer.exe')
        with map_drive(session, 'D', sc.path('sample')):
            with start_explorer(session, sc, 'D:\\', ARCH) as explorer:
                explorer.select(SELECT)
                print('demo: Wine\'s explorer shows D:\\ (title %r); selected by clicks: %s'
                      % (explorer.title, ', '.join(SELECT)))
                session.screenshot(os.path.join(OUT, 'explorer-selection.png'))

                set_clipboard(session, sc, peers, b'(the clipboard before)')
                run = session.run(sc, 'Tavix.exe', ['/#f'], peers=peers)
                clipboard = read_clipboard(session, sc, peers) or b''
                print('demo: Tavix.exe /#f ended with exit code %r' % run.exit_code)
                show('clipboard now holds:', clipboard)
                ok = ok and run.exit_code == 0 and clipboard == EXPECTED_CLIPBOARD

                run = session.run(sc, 'Tavix.exe', ['/#f', '/#e=View'], peers=peers)
                record = wait_for_launch(sc.path('tools'))
                print('demo: Tavix.exe /#f /#e=View ended with exit code %r' % run.exit_code)
                if record is None:
                    print('demo: no program was started', file=sys.stderr)
                    ok = False
                else:
                    show('View was started with the command line:', record.command_line)
                    show('in the working folder:', record.directory)
                    ok = ok and run.exit_code == 0 and record.parameters == EXPECTED_PARAMETERS
                ok = accented_names(session, sc, peers, explorer) and ok
        ok = shell_route(session, sc, peers) and ok
        ok = version_box(session, sc, peers) and ok

    print('demo: screenshots in %s; %.0f s' % (OUT, time.monotonic() - started))
    if not ok:
        print('demo: expected the clipboard %r and the parameters %r'
              % (EXPECTED_CLIPBOARD, EXPECTED_PARAMETERS), file=sys.stderr)
        return 1
    print('demo: as expected')
    return 0


if __name__ == '__main__':
    sys.exit(main())
