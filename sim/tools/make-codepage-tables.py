#!/usr/bin/env python3
"""Writes sim/CodePageTables.cpp: where Windows' code pages 932 and 1252 differ
from the host's converter (glibc's iconv), as a real implementation shows it.

It builds codepage_dump.c with MinGW, runs it under Wine (Japanese locale, in a
prefix of its own that it removes afterwards, and no display), reads every
conversion the dump made, converts the same codes with iconv the way
sim/CodePages.cpp does, and writes only the differences:
  ExtraByteMappings   codes that MultiByteToWideChar gives another unit for
                      than iconv (unit 0: Windows has no character for the code)
  ExtraUnitMappings   units that WideCharToMultiByte with WC_NO_BEST_FIT_CHARS
                      writes another code for than iconv (code 0: none)
  BestFitMappings     units the page lacks that WideCharToMultiByte turns into a
                      look-alike code when best-fit is allowed

Usage (from anywhere; needs wine, i686-w64-mingw32-gcc and the ja_JP.UTF-8 locale):
  sim/tools/make-codepage-tables.py            make the dump, write the tables
  sim/tools/make-codepage-tables.py --check    the same, then replay every call of
                                               the dump against sim/CodePages.cpp
  --dump FILE   use a dump made earlier instead of running Wine
  --keep FILE   keep the dump in FILE
  --prefix DIR  use (and keep) this Wine prefix instead of a temporary one
"""

import argparse
import ctypes
import ctypes.util
import os
import shutil
import subprocess
import sys
import tempfile

HERE = os.path.dirname(os.path.abspath(__file__))
SIM = os.path.dirname(HERE)
ROOT = os.path.dirname(SIM)
OUTPUT = os.path.join(SIM, 'CodePageTables.cpp')

PAGES = (932, 1252)
ICONV_NAMES = {932: 'CP932', 1252: 'CP1252'}
# The lead bytes CodePages.cpp assumes for 932; the dump must agree.
LEAD_BYTES = {932: set(range(0x81, 0xA0)) | set(range(0xE0, 0xFD)), 1252: set()}
# What MultiByteToWideChar gives for a code the page does not define.
DEFAULT_UNIT = {932: 0x30FB, 1252: 0x3F}
# CodePages.cpp asks iconv about these trail bytes; any other trail is undefined.
TRAILS = [t for t in range(0x40, 0xFD) if t != 0x7F]


def fail(message):
    sys.exit('make-codepage-tables: ' + message)


# ---------------------------------------------------------------------------
# The dump, made under Wine
# ---------------------------------------------------------------------------

def wine_env(prefix):
    env = {k: v for k, v in os.environ.items()
           if not k.startswith('WINE') and k not in ('DISPLAY', 'WAYLAND_DISPLAY')}
    env.update({'WINEPREFIX': prefix, 'WINEDEBUG': '-all',
                'WINEDLLOVERRIDES': 'mscoree,mshtml=',
                'LANG': 'ja_JP.UTF-8', 'LC_ALL': 'ja_JP.UTF-8'})
    return env


def make_dump(work, prefix):
    exe = os.path.join(work, 'codepage_dump.exe')
    subprocess.run(['i686-w64-mingw32-gcc', '-O1', '-Wall', '-static', '-o', exe,
                    os.path.join(HERE, 'codepage_dump.c')], check=True)
    env = wine_env(prefix)
    try:
        if not os.path.exists(os.path.join(prefix, 'system.reg')):
            subprocess.run(['wineboot', '-i'], env=env, check=True, stdin=subprocess.DEVNULL,
                           stdout=subprocess.DEVNULL, stderr=subprocess.DEVNULL, timeout=300)
        subprocess.run(['wine', 'codepage_dump.exe', 'dump.txt'], cwd=work, env=env, check=True,
                       stdin=subprocess.DEVNULL, timeout=300)
    finally:
        subprocess.run(['wineserver', '-k'], env=env, stdout=subprocess.DEVNULL,
                       stderr=subprocess.DEVNULL)
    return os.path.join(work, 'dump.txt')


def hex_list(field):
    if field in ('-', 'null'):
        return []
    return [int(x, 16) for x in field.split('.')]


def read_dump(path):
    """The tables of the dump: {page: {...}}, and its ACP."""
    lead = {p: set() for p in PAGES}
    mb = {p: {} for p in PAGES}      # (input bytes, flags) -> (result, units)
    wc = {p: {} for p in PAGES}      # (unit, flags) -> (result, used, bytes)
    acp = None
    ended = False
    with open(path) as f:
        for line in f:
            x = line.split()
            if x[0] == 'A':
                acp = int(x[1])
            elif x[0] == 'E':
                ended = True
            elif x[0] == 'L' and x[3] == '1':
                lead[int(x[1])].add(int(x[2], 16))
            elif x[0] == 'M' and x[1] == '-':
                page, flags, data = int(x[2]), int(x[3], 16), tuple(hex_list(x[4]))
                mb[page][(data, flags)] = (int(x[7]), hex_list(x[9]))
            elif x[0] == 'W' and x[1] == '-':
                page, flags, (unit,) = int(x[2]), int(x[3], 16), hex_list(x[4])
                wc[page][(unit, flags)] = (int(x[9]), int(x[11]), hex_list(x[12]))
    if not ended:
        fail('%s is cut short' % path)
    if acp != 932:
        fail('the dump ran with code page %s, not 932: is the ja_JP.UTF-8 locale there?' % acp)
    return lead, mb, wc


# ---------------------------------------------------------------------------
# The host's converter, used as sim/CodePages.cpp uses it
# ---------------------------------------------------------------------------

class Iconv:
    def __init__(self):
        self.libc = ctypes.CDLL(ctypes.util.find_library('c'), use_errno=True)
        self.libc.iconv_open.restype = ctypes.c_void_p
        self.libc.iconv_open.argtypes = [ctypes.c_char_p, ctypes.c_char_p]
        self.libc.iconv.restype = ctypes.c_size_t
        self.libc.iconv.argtypes = [ctypes.c_void_p, ctypes.c_void_p, ctypes.c_void_p,
                                    ctypes.c_void_p, ctypes.c_void_p]
        self.libc.iconv_close.argtypes = [ctypes.c_void_p]

    def open(self, to, frm):
        cd = self.libc.iconv_open(to.encode(), frm.encode())
        if cd in (None, ctypes.c_void_p(-1).value, 2 ** 64 - 1, 2 ** 32 - 1):
            fail('the host has no %s converter' % (frm if to == 'UTF-8' else to))
        return cd

    def convert(self, cd, data):
        """The output of one call, or None when iconv fails or leaves input."""
        self.libc.iconv(cd, None, None, None, None)
        inbuf = ctypes.create_string_buffer(data, len(data))
        inptr = ctypes.c_void_p(ctypes.addressof(inbuf))
        inleft = ctypes.c_size_t(len(data))
        out = ctypes.create_string_buffer(16)
        outptr = ctypes.c_void_p(ctypes.addressof(out))
        outleft = ctypes.c_size_t(16)
        r = self.libc.iconv(cd, ctypes.byref(inptr), ctypes.byref(inleft), ctypes.byref(outptr),
                            ctypes.byref(outleft))
        if r == ctypes.c_size_t(-1).value or inleft.value:
            return None
        return out.raw[:16 - outleft.value]


def host_tables(page):
    """(decode, encode): code -> unit and unit -> code as CodePages.cpp builds them
    from iconv before the corrections (0 where iconv has none)."""
    ic = Iconv()
    name = ICONV_NAMES[page]
    to_utf8, from_utf8 = ic.open('UTF-8', name), ic.open(name, 'UTF-8')
    decode = {}

    def one_unit(data):
        out = ic.convert(to_utf8, data)
        if out is None:
            return 0
        try:
            text = out.decode('utf-8')
        except UnicodeDecodeError:
            return 0
        return ord(text) if len(text) == 1 and ord(text) < 0x10000 else 0

    for b in range(1, 256):
        if b not in LEAD_BYTES[page]:
            decode[b] = one_unit(bytes([b]))
    for lead in sorted(LEAD_BYTES[page]):
        for trail in TRAILS:
            decode[lead << 8 | trail] = one_unit(bytes([lead, trail]))
    encode = {}
    for u in range(1, 0x10000):
        if 0xD800 <= u <= 0xDFFF:
            continue
        out = ic.convert(from_utf8, chr(u).encode('utf-8'))
        if out is not None and len(out) == 1:
            encode[u] = out[0]
        elif out is not None and len(out) == 2:
            encode[u] = out[0] << 8 | out[1]
    ic.libc.iconv_close(to_utf8)
    ic.libc.iconv_close(from_utf8)
    return decode, encode


# ---------------------------------------------------------------------------
# What Windows does, as the dump shows it, checked against what the sim assumes
# ---------------------------------------------------------------------------

def is_private_use(u):
    return 0xE000 <= u <= 0xF8FF


def windows_tables(page, lead, mb, wc):
    """(decode, encode, best_fit) of Windows: code -> unit (0: undefined),
    unit -> code without best-fit (0: none), unit -> look-alike code."""
    if lead[page] != LEAD_BYTES[page]:
        fail('the lead bytes of %d are not what CodePages.cpp assumes' % page)
    decode = {}
    for b in range(1, 256):
        if b in LEAD_BYTES[page]:
            continue
        (r, units), (r_err, _) = mb[page][((b,), 0)], mb[page][((b,), 8)]
        if r != 1 or len(units) != 1:
            fail('%d: byte %02X does not give one unit' % (page, b))
        u = units[0]
        # MB_ERR_INVALID_CHARS refuses a byte that maps to nothing or to a
        # private-use unit; CodePages.cpp decides it the same way.
        refused = r_err == 0
        if refused != is_private_use(u) and not (refused and u == DEFAULT_UNIT[page]):
            fail('%d: byte %02X (U+%04X) is %s by MB_ERR_INVALID_CHARS'
                 % (page, b, u, 'refused' if refused else 'taken'))
        decode[b] = 0 if refused and not is_private_use(u) else u
    for ld in sorted(LEAD_BYTES[page]):
        r, units = mb[page][((ld, 0), 0)]
        if units != [DEFAULT_UNIT[page], 0]:
            fail('%d: lead byte %02X before a zero byte gives %s' % (page, ld, units))
        for trail in range(1, 256):
            code = ld << 8 | trail
            (r, units), (r_err, _) = mb[page][((ld, trail), 0)], mb[page][((ld, trail), 8)]
            if r != 1 or len(units) != 1:
                fail('%d: %04X does not give one unit' % (page, code))
            u = units[0]
            if r_err == 0 and u != DEFAULT_UNIT[page]:
                fail('%d: %04X is refused by MB_ERR_INVALID_CHARS but gives U+%04X'
                     % (page, code, u))
            decode[code] = u if r_err else 0
    encode, best_fit = {}, {}
    for u in range(1, 0x10000):
        exact, best = wc[page][(u, 0x400)], wc[page][(u, 0)]
        for r, used, data in (exact, best):
            if used and data != [0x3F]:
                fail('%d: U+%04X: the default character is not "?"' % (page, u))
            if r != len(data) or r not in (1, 2):
                fail('%d: U+%04X gives %s' % (page, u, data))
        code = lambda data: data[0] if len(data) == 1 else data[0] << 8 | data[1]
        if not exact[1]:
            encode[u] = code(exact[2])
            if best[1] or best[2] != exact[2]:
                fail('%d: U+%04X: best-fit changes a character the page has' % (page, u))
        elif not best[1]:
            best_fit[u] = code(best[2])
    return decode, encode, best_fit


# ---------------------------------------------------------------------------
# Output
# ---------------------------------------------------------------------------

def entries(pairs, width):
    lines, line = [], '   '
    for a, b in pairs:
        item = ' {0x%04X, 0x%04X},' % (a, b)
        if len(line) + len(item) > width:
            lines.append(line)
            line = '   '
        line += item
    if line.strip():
        lines.append(line)
    return '\n'.join(lines)


def write_tables(diffs):
    out = ['''\
// Where Windows' code pages 932 and 1252 differ from the host's converter
// (glibc's iconv), as sim/CodePages.cpp uses it; see CodePageTables.h.
//
// Generated by sim/tools/make-codepage-tables.py from what Wine 8's
// MultiByteToWideChar and WideCharToMultiByte give for every code and every
// UTF-16 unit of both pages. Do not edit: run the script again (it needs wine,
// MinGW-w64 and the ja_JP.UTF-8 locale); with --check it then replays every
// call of the dump against CodePages.cpp.
#include "CodePageTables.h"

namespace sim {

namespace {
''']
    for kind, label in (('bytes', 'ByteMapping'), ('units', 'UnitMapping'),
                        ('bestfit', 'UnitMapping')):
        for page in PAGES:
            items = diffs[page][kind]
            out.append('const std::vector<%s> k%s%d = {' % (label, kind.capitalize(), page))
            if items:
                out.append(entries(items, 100))
            out.append('};\n')
    out.append('''}  // namespace

const std::vector<ByteMapping>& ExtraByteMappings(UINT page) {
  return page == 932 ? kBytes932 : kBytes1252;
}

const std::vector<UnitMapping>& ExtraUnitMappings(UINT page) {
  return page == 932 ? kUnits932 : kUnits1252;
}

const std::vector<UnitMapping>& BestFitMappings(UINT page) {
  return page == 932 ? kBestfit932 : kBestfit1252;
}

}  // namespace sim
''')
    with open(OUTPUT, 'w') as f:
        f.write('\n'.join(out))


def check(dump, work):
    """Builds codepage_check.cpp with CodePages.cpp and replays the dump."""
    checker = os.path.join(work, 'codepage_check')
    subprocess.run(['g++', '-std=c++17', '-O1', '-Wall', '-Wextra', '-I' + SIM,
                    '-I' + os.path.join(SIM, 'include'), '-o', checker,
                    os.path.join(HERE, 'codepage_check.cpp'), os.path.join(SIM, 'CodePages.cpp'),
                    os.path.join(SIM, 'CodePageTables.cpp')], check=True)
    return subprocess.run([checker, dump]).returncode == 0


def main():
    ap = argparse.ArgumentParser(description=__doc__.split('\n\n')[0])
    ap.add_argument('--dump', help='a dump made earlier')
    ap.add_argument('--keep', help='keep the dump in this file')
    ap.add_argument('--prefix', help='the Wine prefix to use (kept)')
    ap.add_argument('--check', action='store_true', help='replay the dump against the sim')
    args = ap.parse_args()
    work = tempfile.mkdtemp(prefix='codepage-tables-')
    try:
        dump = args.dump
        if not dump:
            prefix = args.prefix or os.path.join(work, 'prefix')
            dump = make_dump(work, os.path.abspath(prefix))
        if args.keep:
            shutil.copyfile(dump, args.keep)
        lead, mb, wc = read_dump(dump)
        diffs = {}
        for page in PAGES:
            host_decode, host_encode = host_tables(page)
            decode, encode, best_fit = windows_tables(page, lead, mb, wc)
            diffs[page] = {
                'bytes': [(c, u) for c, u in sorted(decode.items())
                          if u != host_decode.get(c, 0)],
                'units': [(u, c) for u, c in sorted(
                    {**{u: 0 for u in host_encode}, **encode}.items())
                          if c != host_encode.get(u, 0)],
                'bestfit': sorted(best_fit.items()),
            }
            print('%d: %d byte corrections, %d unit corrections, %d best-fit look-alikes'
                  % (page, len(diffs[page]['bytes']), len(diffs[page]['units']),
                     len(diffs[page]['bestfit'])))
        write_tables(diffs)
        print('wrote', os.path.relpath(OUTPUT, ROOT))
        if args.check and not check(dump, work):
            fail('the sim does not replay the dump')
    finally:
        shutil.rmtree(work, ignore_errors=True)


if __name__ == '__main__':
    main()
