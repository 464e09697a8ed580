"""End-to-end harness: Tavix under Wine on a private virtual display."""

from .box import BoxReport
from .clipboard import (CF_LOCALE, CF_OEMTEXT, CF_TEXT, CF_UNICODETEXT, ClipboardError,
                        ClipboardHold, ClipboardText, clear_clipboard, hold_clipboard,
                        keep_clipboard, read_clipboard, read_clipboard_text,
                        read_clipboard_unicode, set_clipboard, set_clipboard_unicode)
from .explorer import Explorer, map_drive, start_explorer
from .filer import FilerConfig, RunningFiler, start_filer
from .launches import (LaunchRecord, clear_launches, launches, parameters_of, place_recorder,
                       wait_for_launch, wait_for_launches)
from .paths import ARCHES, Peers, exe_path
from .session import RunResult, Scenario, TopWindow, WineSession
from .shell import RunningShell, ShellConfig, Virtual, start_shell
from .texts import ENCODINGS, encode_text
from .trace import trace_lines, wide_trace_lines

__all__ = ['ARCHES', 'BoxReport', 'CF_LOCALE', 'CF_OEMTEXT', 'CF_TEXT', 'CF_UNICODETEXT',
           'ClipboardError', 'ClipboardHold', 'ClipboardText', 'ENCODINGS', 'Explorer',
           'FilerConfig', 'LaunchRecord', 'Peers', 'RunResult', 'RunningFiler', 'RunningShell',
           'Scenario', 'ShellConfig', 'TopWindow', 'Virtual', 'WineSession', 'clear_clipboard',
           'clear_launches', 'encode_text', 'exe_path', 'hold_clipboard', 'keep_clipboard',
           'launches', 'map_drive', 'parameters_of', 'place_recorder', 'read_clipboard',
           'read_clipboard_text', 'read_clipboard_unicode', 'set_clipboard',
           'set_clipboard_unicode', 'start_explorer', 'start_filer', 'start_shell',
           'trace_lines', 'wait_for_launch', 'wait_for_launches', 'wide_trace_lines']
