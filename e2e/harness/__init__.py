"""End-to-end harness: Tavix under Wine on a private virtual display."""

from .box import BoxReport
from .explorer import Explorer, map_drive, start_explorer
from .filer import FilerConfig, RunningFiler, start_filer
from .paths import ARCHES, Peers, exe_path
from .session import RunResult, Scenario, TopWindow, WineSession
from .trace import trace_lines

__all__ = ['ARCHES', 'BoxReport', 'Explorer', 'FilerConfig', 'Peers', 'RunResult',
           'RunningFiler', 'Scenario', 'TopWindow', 'WineSession', 'exe_path', 'map_drive',
           'start_explorer', 'start_filer', 'trace_lines']
