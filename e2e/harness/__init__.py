"""End-to-end harness: Tavix under Wine on a private virtual display."""

from .box import BoxReport
from .paths import ARCHES, Peers, exe_path
from .session import RunResult, Scenario, WineSession
from .trace import trace_lines

__all__ = ['ARCHES', 'BoxReport', 'Peers', 'RunResult', 'Scenario', 'WineSession',
           'exe_path', 'trace_lines']
