"""How the program under test started other programs, as launch_recorder wrote it down.

launch_recorder.exe, copied into a folder of the prefix under any name, writes one record per
start into that folder (the format is described at the top of e2e/peers/launch_recorder.c).
A test puts it where the program under test will start it, runs the program and reads the
record:

    tools = sc.path('tools')
    place_recorder(peers, tools, 'viewer.exe')   # also clears the folder's old records
    run = session.run(sc, 'Tavix.exe', args)
    record = wait_for_launch(tools)              # None when nothing was started in time
    record.command_line    # b'"C:\\...\\tools\\viewer.exe" "C:\\a b\\x.txt"'
    record.parameters      # b'"C:\\a b\\x.txt"'
    record.parameters_wide # '"C:\\a b\\x.txt"', from GetCommandLineW

Folders are Linux paths (str); the recorder's own texts are bytes in the code page the
recorder ran with (932 under the harness), and their wide forms str. The A forms of a text
that the code page cannot spell hold Wine's best-fit conversion of it (é as e, an emoji as
"??"), so names outside code page 932 are checked on the wide forms.
"""

import os
import shutil
import time

# Seconds wait_for_launch waits by default.
WAIT_LIMIT = 10

_PREFIX = 'launch-'
_SUFFIXES = ('.rec', '.tmp')


class LaunchRecord:
    """One start of launch_recorder: command line, current folder and show state.

    `command_line`, `directory` and `module` are bytes exactly as GetCommandLineA,
    GetCurrentDirectoryA and GetModuleFileNameA gave them; `parameters` is the command line
    without its program part (see parameters_of). `command_line_wide`, `directory_wide`,
    `module_wide` and `parameters_wide` are the same from the W functions, as str.
    `show_flag` tells whether the startup info carried STARTF_USESHOWWINDOW, `show` is its
    wShowWindow. `created` (the process's creation time, 100 ns units) and then `counter`
    order several starts.
    """

    def __init__(self, fields, name=''):
        try:
            if fields['format'] != '1':
                raise ValueError('unknown record format %r' % fields['format'])
            self.pid = int(fields['pid'])
            self.created = int(fields['created'])
            self.counter = int(fields['counter'])
            self.acp = int(fields['acp'])
            self.show_flag = fields['show_flag'] == '1'
            self.show = int(fields['show'])
            self.command_line = bytes.fromhex(fields['command_line_hex'])
            self.directory = bytes.fromhex(fields['directory_hex'])
            self.module = bytes.fromhex(fields['module_hex'])
            self.command_line_wide = _wide(fields['command_line_w_hex'])
            self.directory_wide = _wide(fields['directory_w_hex'])
            self.module_wide = _wide(fields['module_w_hex'])
        except KeyError as e:
            raise ValueError('launch record %s lacks %s' % (name, e)) from None
        self.name = name
        self.parameters = parameters_of(self.command_line)
        self.parameters_wide = parameters_of(self.command_line_wide)

    @classmethod
    def parse(cls, data, name=''):
        fields = {}
        for line in data.decode('ascii').splitlines():
            key, sep, value = line.partition('=')
            if not sep:
                raise ValueError('bad line %r in launch record %s' % (line, name))
            fields[key] = value
        return cls(fields, name)

    def order(self):
        return (self.created, self.counter, self.pid)

    def __repr__(self):
        return ('LaunchRecord(pid=%d, command_line=%r, command_line_wide=%r, directory_wide=%r, '
                'show_flag=%s, show=%d)' % (self.pid, self.command_line, self.command_line_wide,
                                            self.directory_wide, self.show_flag, self.show))


def _wide(hex_text):
    """UTF-16LE hex as str; an unpaired surrogate stays in it rather than failing."""
    return bytes.fromhex(hex_text).decode('utf-16-le', 'surrogatepass')


def parameters_of(command_line):
    """The command line without its program part and the blanks after that.

    The program part is, as a started program's startup code takes it, either a quoted run
    up to the next quote (or the end of the line) or, when the line does not start with a
    quote, everything up to the first space or tab. Blanks are spaces and tabs. No byte of a
    Shift_JIS character after its first is a quote, space or tab, so bytes in code page 932
    are split correctly as they are. A str (a wide command line) is split the same way.
    """
    if isinstance(command_line, str):
        line, quote, blanks = command_line, '"', ' \t'
    else:
        line, quote, blanks = bytes(command_line), b'"', b' \t'
    if line.startswith(quote):
        end = line.find(quote, 1)
        rest = line[:0] if end < 0 else line[end + 1:]
    else:
        end = 0
        while end < len(line) and line[end] not in blanks:
            end += 1
        rest = line[end:]
    return rest.lstrip(blanks)


def launches(folder):
    """Every record in the folder, earliest start first."""
    records = []
    for name in os.listdir(folder):
        if name.startswith(_PREFIX) and name.endswith('.rec'):
            with open(os.path.join(folder, name), 'rb') as f:
                records.append(LaunchRecord.parse(f.read(), name))
    return sorted(records, key=LaunchRecord.order)


def wait_for_launches(folder, count, timeout=WAIT_LIMIT):
    """Waits until the folder holds at least `count` records, at most `timeout` seconds.

    Returns the records then found, earliest first; fewer than `count` on time-out.
    """
    deadline = time.monotonic() + timeout
    while True:
        found = launches(folder)
        if len(found) >= count or time.monotonic() >= deadline:
            return found
        time.sleep(0.02)


def wait_for_launch(folder, timeout=WAIT_LIMIT):
    """The earliest record in the folder, once there is one; None after `timeout` seconds."""
    found = wait_for_launches(folder, 1, timeout)
    return found[0] if found else None


def clear_launches(folder):
    """Removes the folder's records, and partial ones left by an interrupted recorder.

    Returns how many files were removed.
    """
    removed = 0
    for name in os.listdir(folder):
        if name.startswith(_PREFIX) and name.endswith(_SUFFIXES):
            os.remove(os.path.join(folder, name))
            removed += 1
    return removed


def place_recorder(peers, folder, name='launch_recorder.exe'):
    """Copies launch_recorder into the folder (made when missing) under `name`.

    Clears the folder's old records; returns the Linux path of the copy.
    """
    os.makedirs(folder, exist_ok=True)
    path = os.path.join(folder, name)
    shutil.copyfile(peers.launch_recorder, path)
    clear_launches(folder)
    return path
