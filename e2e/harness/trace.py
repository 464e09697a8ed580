r"""Reads Tavix's diagnostics trace out of Wine's debug output.

With WINEDEBUG=+debugstr, Wine reports every OutputDebugStringA call on stderr as one line:

    0024:warn:debugstr:OutputDebugStringA "Tavix: settings C:\\s1\\Tavix.ini"

The text between the quotes is escaped: backslash, double quote, TAB, CR and LF as \\, \",
\t, \r and \n, and every other byte below 0x20 or from 0x7f up as \xNN (two lower-case hex
digits). So Shift_JIS text arrives as \x83G\x83\x89... and must be turned back into bytes.
Wine cuts the escaped text at about 290 characters and then writes "..." after the closing
quote; such lines are kept, with their cut marked.
"""

import re

_CALL = re.compile(rb':debugstr:OutputDebugStringA "(.*)"(\.\.\.)?\s*$')

_SIMPLE_ESCAPES = {
    ord('n'): b'\n',
    ord('r'): b'\r',
    ord('t'): b'\t',
    ord('"'): b'"',
    ord('\\'): b'\\',
}

# Marks a line that Wine cut short.
TRUNCATED = b'...'


def unescape(escaped):
    """Turns Wine's escaped rendering of a string back into the original bytes."""
    out = bytearray()
    i = 0
    n = len(escaped)
    while i < n:
        c = escaped[i]
        if c != ord('\\') or i + 1 >= n:
            out.append(c)
            i += 1
            continue
        nxt = escaped[i + 1]
        if nxt in _SIMPLE_ESCAPES:
            out += _SIMPLE_ESCAPES[nxt]
            i += 2
        elif nxt == ord('x') and i + 3 < n and _is_hex(escaped[i + 2:i + 4]):
            out.append(int(escaped[i + 2:i + 4], 16))
            i += 4
        else:
            # Not an escape Wine writes; keep it literally rather than guess.
            out.append(c)
            i += 1
    return bytes(out)


def _is_hex(two):
    return len(two) == 2 and all(ch in b'0123456789abcdefABCDEF' for ch in two)


def debug_strings(stderr_bytes):
    """Returns the payload of every OutputDebugStringA call, in order, as bytes.

    A call that Wine cut short ends with TRUNCATED.
    """
    calls = []
    for raw in stderr_bytes.splitlines():
        m = _CALL.search(raw)
        if not m:
            continue
        text = unescape(m.group(1))
        if m.group(2):
            text += TRUNCATED
        calls.append(text)
    return calls


def trace_lines(stderr_bytes):
    """Returns the traced lines of a run as bytes, without line ends.

    One call usually carries one line; a call that carries several, or ends in a line break,
    is split so that each entry is one line, and empty pieces are dropped.
    """
    lines = []
    for call in debug_strings(stderr_bytes):
        for piece in call.replace(b'\r\n', b'\n').split(b'\n'):
            piece = piece.rstrip(b'\r')
            if piece:
                lines.append(piece)
    return lines
