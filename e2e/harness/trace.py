r"""Reads Tavix's diagnostics trace out of Wine's debug output.

Tavix writes its trace through OutputDebugStringW (OutputDebugStringA in builds that predate
its Unicode texts). Wine 8 reports the two differently on stderr:

  - OutputDebugStringA, under the channel debugstr (WINEDEBUG=+debugstr), one line a call:

        0024:warn:debugstr:OutputDebugStringA "Tavix: settings C:\\s1\\Tavix.ini"

  - OutputDebugStringW prints nothing under +debugstr. It converts the text to the ANSI code
    page with best-fit look-alikes (é becomes e, a character without one ?, a surrogate pair
    ??) and hands that to an inner OutputDebugStringA, which reports it under the channel seh
    (warn+seh):

        0024:warn:seh:OutputDebugStringA "Tavix: read: item 0 \"resume.txt\" ..."

    The wide text itself shows only in a relay trace of the call (+relay, with the registry
    value HKCU\Software\Wine\Debug\RelayInclude naming kernel32.OutputDebugStringW; the
    session sets it in its prefix):

        0024:Call KERNEL32.OutputDebugStringW(0040a000 L"Tavix: read: item 0 \"r\00e9sum\00e9.txt\" ...") ret=00401234

  - Both also show as seh:dispatch_exception lines, which are not read here.

The text between the quotes is escaped. In the A lines: backslash, double quote, TAB, CR and LF
as \\, \", \t, \r and \n, and every other byte below 0x20 or from 0x7f up as \xNN (two
lower-case hex digits), so Shift_JIS text arrives as \x83G\x83\x89... and is turned back into
bytes. In the relay lines the same five escapes, and every other code unit below 0x20 or from
0x7f up as a backslash and four hex digits (\00e9, \30e1; a character beyond the BMP as its two
surrogates, \d83d\de00). Wine cuts the escaped text at about 290 (A) or 300 (W) characters and
then writes "..." after the closing quote; such lines are kept, with their cut marked.

trace_lines() gives the lines as bytes, as the ANSI code page sees them: for texts that fit
code page 932 exactly what the ANSI builds traced. wide_trace_lines() gives them as str, with
the exact wide text of every OutputDebugStringW call.
"""

import re

_CALL = re.compile(rb':(?:debugstr|seh):OutputDebugStringA "(.*)"(\.\.\.)?\s*$')
_ANSI_CALL = re.compile(rb'^([0-9a-f]+):warn:debugstr:OutputDebugStringA "(.*)"(\.\.\.)?\s*$')
_CONVERTED_CALL = re.compile(rb'^([0-9a-f]+):warn:seh:OutputDebugStringA "')
_WIDE_CALL = re.compile(
    rb'^([0-9a-f]+):Call KERNEL32\.OutputDebugStringW\([0-9a-fA-F]+ L"(.*)"(\.\.\.)?\) '
    rb'ret=[0-9a-fA-F]+\s*$')

_SIMPLE_ESCAPES = {
    ord('n'): b'\n',
    ord('r'): b'\r',
    ord('t'): b'\t',
    ord('"'): b'"',
    ord('\\'): b'\\',
}

# Marks a line that Wine cut short.
TRUNCATED = b'...'
TRUNCATED_WIDE = '...'

# The channels a run of the program under test needs for trace_lines and wide_trace_lines.
DEBUG_CHANNELS = '-all,+debugstr,warn+seh,+relay'
# The registry value that limits the relay trace to the one call it is wanted for.
RELAY_INCLUDE = 'kernel32.OutputDebugStringW'


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


def unescape_wide(escaped):
    """Turns Wine's escaped rendering of a wide string (debugstr_w) back into str.

    Surrogate pairs become the character they stand for; an unpaired surrogate stays in the
    text as it is.
    """
    units = []
    i = 0
    n = len(escaped)
    while i < n:
        c = escaped[i]
        if c != ord('\\') or i + 1 >= n:
            units.append(c)
            i += 1
            continue
        nxt = escaped[i + 1]
        if nxt in _SIMPLE_ESCAPES:
            units.append(_SIMPLE_ESCAPES[nxt][0])
            i += 2
        elif _is_hex(escaped[i + 1:i + 5], 4):
            units.append(int(escaped[i + 1:i + 5], 16))
            i += 5
        else:
            units.append(c)
            i += 1
    data = b''.join(unit.to_bytes(2, 'little') for unit in units)
    return data.decode('utf-16-le', 'surrogatepass')


def _is_hex(digits, count=2):
    return len(digits) == count and all(ch in b'0123456789abcdefABCDEF' for ch in digits)


def debug_strings(stderr_bytes):
    """Returns the payload of every trace call, in order, as bytes in the ANSI code page.

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


def wide_debug_strings(stderr_bytes):
    """Returns the payload of every trace call, in order, as str.

    An OutputDebugStringW call gives its wide text from the relay line; an OutputDebugStringA
    call its bytes read as code page 932. When a run had no relay trace, the converted text
    that OutputDebugStringW passes on stands in for it. A call that Wine cut short ends with
    TRUNCATED_WIDE.
    """
    calls = []
    # Threads whose last OutputDebugStringW call has yet to show its converted line.
    pending = set()
    for raw in stderr_bytes.splitlines():
        m = _WIDE_CALL.match(raw)
        if m:
            pending.add(m.group(1))
            text = unescape_wide(m.group(2))
            calls.append(text + TRUNCATED_WIDE if m.group(3) else text)
            continue
        converted = _CONVERTED_CALL.match(raw)
        if converted and converted.group(1) in pending:
            pending.discard(converted.group(1))
            continue
        m = _ANSI_CALL.match(raw) or (converted and _CALL.search(raw))
        if m:
            groups = m.groups()[-2:]
            text = unescape(groups[0]).decode('cp932', 'replace')
            calls.append(text + TRUNCATED_WIDE if groups[1] else text)
    return calls


def _split_lines(calls, line_break, carriage_return):
    """One call usually carries one line; a call that carries several, or ends in a line
    break, is split so that each entry is one line, and empty pieces are dropped."""
    lines = []
    for call in calls:
        for piece in call.replace(carriage_return + line_break, line_break).split(line_break):
            piece = piece.rstrip(carriage_return)
            if piece:
                lines.append(piece)
    return lines


def trace_lines(stderr_bytes):
    """Returns the traced lines of a run as bytes, without line ends."""
    return _split_lines(debug_strings(stderr_bytes), b'\n', b'\r')


def wide_trace_lines(stderr_bytes):
    """Returns the traced lines of a run as str, without line ends."""
    return _split_lines(wide_debug_strings(stderr_bytes), '\n', '\r')
