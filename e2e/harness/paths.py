"""Where the programs under test and their peers are.

Each path can be given through the environment (as the CMake test registration does);
otherwise it defaults to the build tree of this checkout.

  TAVIX_WIN32, TAVIX_WIN64              the program, 32-bit and 64-bit
  TAVIX_PEERS_WIN32, TAVIX_PEERS_WIN64  folders holding the helper programs of that bitness
                                        (msgbox_reader, file_holder, window_lister,
                                        window_tool, stand_in_filer, stand_in_shell,
                                        listview_items, launch_recorder, clipboard_tool,
                                        trace_writer, floor_program)
  TAVIX_E2E_PREFIX                      the Wine prefix (default build/e2e/prefix)
"""

import os

ROOT = os.path.abspath(os.path.join(os.path.dirname(__file__), '..', '..'))

ARCHES = ('win32', 'win64')


def exe_path(arch):
    return os.environ.get('TAVIX_' + arch.upper(),
                          os.path.join(ROOT, 'build', arch, 'Tavix.exe'))


def peers_dir(arch):
    return os.environ.get('TAVIX_PEERS_' + arch.upper(),
                          os.path.join(ROOT, 'build', arch, 'peers'))


def prefix_dir():
    return os.environ.get('TAVIX_E2E_PREFIX', os.path.join(ROOT, 'build', 'e2e', 'prefix'))


class Peers:
    """The helper programs of one bitness."""

    def __init__(self, arch):
        folder = peers_dir(arch)
        self.folder = folder
        self.msgbox_reader = os.path.join(folder, 'msgbox_reader.exe')
        self.file_holder = os.path.join(folder, 'file_holder.exe')
        self.window_lister = os.path.join(folder, 'window_lister.exe')
        self.window_tool = os.path.join(folder, 'window_tool.exe')
        self.stand_in_filer = os.path.join(folder, 'stand_in_filer.exe')
        self.stand_in_shell = os.path.join(folder, 'stand_in_shell.exe')
        self.listview_items = os.path.join(folder, 'listview_items.exe')
        self.selection_probe = os.path.join(folder, 'selection_probe.exe')
        self.launch_recorder = os.path.join(folder, 'launch_recorder.exe')
        self.clipboard_tool = os.path.join(folder, 'clipboard_tool.exe')
        self.trace_writer = os.path.join(folder, 'trace_writer.exe')
        self.floor_program = os.path.join(folder, 'floor_program.exe')

    def all(self):
        return (self.msgbox_reader, self.file_holder, self.window_lister, self.window_tool,
                self.stand_in_filer, self.stand_in_shell, self.listview_items,
                self.selection_probe, self.launch_recorder, self.clipboard_tool, self.trace_writer,
                self.floor_program)

    def missing(self):
        return [p for p in self.all() if not os.path.exists(p)]
