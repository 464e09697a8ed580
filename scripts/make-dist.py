#!/usr/bin/env python3
"""Packs the release archive build/dist/Tavix-VERSION.zip from the Windows builds.

The archive holds, in this order:

    x86/Tavix.exe     build/win32/Tavix.exe
    x64/Tavix.exe     build/win64/Tavix.exe
    Tavix.ini         docs/Tavix.ini, the commented sample settings
    README.txt        README.md
    docs/NAME.txt     docs/NAME.md, each of them, by name
    ja/README.txt     docs/ja/README.md, the Japanese user guide
    ja/docs/NAME.txt  docs/ja/NAME.md, each of the other Japanese pages, by name

The programs are stored byte for byte. The text files are turned from UTF-8 into Shift_JIS
(code page 932), the code page of the settings file and of the program's own texts, which
Notepad opens on every Japanese Windows from 98 on; their LF line ends become CR LF. A
character that Shift_JIS cannot hold stops the packing. VERSION is the ProductVersion of
res/Tavix.rc.

Relative links between the texts are rewritten to the packed names, relative to the member
that holds them: docs/ja/README.md links "settings.md", which is packed as ja/docs/settings.txt
beside ja/README.txt. A link to a file of the source tree that is not packed (e2e/README.md)
keeps only its text; a link that names no file stops the packing.

Every member has the same fixed time stamp (SOURCE_DATE_EPOCH when set), the same attributes
and a fixed compression level, so two runs on the same inputs give the same bytes.

    make-dist.py [--out DIR]  builds the archive (the exes must exist: make win32 win64)
    make-dist.py --check      builds it twice into a temporary folder and verifies it; prints
                              "DIST SKIPPED:" and succeeds when an exe has not been built
"""

import argparse
import os
import posixpath
import re
import struct
import sys
import tempfile
import time
import zipfile
from pathlib import Path

ROOT = Path(__file__).resolve().parent.parent
TEXT_ENCODING = "cp932"
PE_MACHINES = {"x86/Tavix.exe": 0x014C, "x64/Tavix.exe": 0x8664}   # i386, AMD64
JAPANESE_MEMBERS = ("ja/README.txt", "ja/docs/settings.txt", "ja/docs/templates.txt",
                    "ja/docs/nothing-happened.txt")
# [text](target) of Markdown; targets here hold no blanks and no parentheses.
LINK = re.compile(r"\[([^\]]*)\]\(([^()\s]+)\)")


def release_version():
    rc = (ROOT / "res" / "Tavix.rc").read_text(encoding="ascii")
    m = re.search(r'VALUE\s+"ProductVersion",\s*"([^"]+)"', rc)
    if not m:
        sys.exit("make-dist: no ProductVersion in res/Tavix.rc")
    return m.group(1)


def exe_sources(build):
    return {"x86/Tavix.exe": build / "win32" / "Tavix.exe",
            "x64/Tavix.exe": build / "win64" / "Tavix.exe"}


def text_sources():
    sources = {"Tavix.ini": ROOT / "docs" / "Tavix.ini", "README.txt": ROOT / "README.md"}
    for doc in sorted((ROOT / "docs").glob("*.md")):
        sources["docs/" + doc.stem + ".txt"] = doc
    japanese = ROOT / "docs" / "ja"
    if (japanese / "README.md").is_file():
        sources["ja/README.txt"] = japanese / "README.md"
    for doc in sorted(japanese.glob("*.md")):
        if doc.name != "README.md":
            sources["ja/docs/" + doc.stem + ".txt"] = doc
    return sources


def is_relative_link(target):
    return not target.startswith("#") and not re.match(r"[A-Za-z][A-Za-z0-9+.-]*:", target)


def packaged_text(name, sources):
    """The text of member NAME with its relative links pointing at the packed names."""
    source = sources[name]
    members = {path.resolve(): member for member, path in sources.items()}
    here = posixpath.dirname(name) or "."

    def rewrite(link):
        label, target = link.groups()
        if not is_relative_link(target):
            return link.group(0)
        path, hash_, anchor = target.partition("#")
        resolved = (source.parent / path).resolve()
        if resolved in members:
            return f"[{label}]({posixpath.relpath(members[resolved], here)}{hash_}{anchor})"
        if resolved.exists():
            return label
        sys.exit(f"make-dist: {source.relative_to(ROOT)}: the link {target!r} names no file")

    return LINK.sub(rewrite, source.read_bytes().decode("utf-8"))


def windows_text(name, sources):
    """The member's UTF-8 text in Shift_JIS with CR LF line ends; existing CR LF stay single."""
    path = sources[name]
    text = packaged_text(name, sources)
    try:
        data = text.encode(TEXT_ENCODING)
    except UnicodeEncodeError as e:
        sys.exit(f"make-dist: {path.relative_to(ROOT)}: {text[e.start:e.end]!r} has no "
                 f"Shift_JIS form")
    return re.sub(rb"(?<!\r)\n", b"\r\n", data)


def fixed_time():
    epoch = os.environ.get("SOURCE_DATE_EPOCH")
    if epoch is None:
        return (1980, 1, 1, 0, 0, 0)
    return max(time.gmtime(int(epoch))[:6], (1980, 1, 1, 0, 0, 0))


def write_archive(target, build):
    members = [(name, path.read_bytes()) for name, path in exe_sources(build).items()]
    texts = text_sources()
    members += [(name, windows_text(name, texts)) for name in texts]
    stamp = fixed_time()
    target.parent.mkdir(parents=True, exist_ok=True)
    partial = target.with_name(target.name + ".part")
    with zipfile.ZipFile(partial, "w") as archive:
        for name, data in members:
            info = zipfile.ZipInfo(name, date_time=stamp)
            info.compress_type = zipfile.ZIP_DEFLATED
            info.create_system = 0          # MS-DOS, whatever the host
            info.external_attr = 0
            archive.writestr(info, data, compresslevel=9)
    partial.replace(target)


def pe_machine(data):
    if data[:2] != b"MZ" or len(data) < 0x40:
        return None
    offset = struct.unpack_from("<I", data, 0x3C)[0]
    if data[offset:offset + 4] != b"PE\0\0":
        return None
    return struct.unpack_from("<H", data, offset + 4)[0]


def shift_jis_text(data):
    """DATA decoded, with LF line ends, or None when it is not plain Shift_JIS text. Python's
    code page 932 also takes the bytes A0 and FD to FF and the user-defined codes, as private-use
    characters; no text of ours holds them, nor control characters apart from TAB and line ends."""
    try:
        text = data.decode(TEXT_ENCODING)
    except UnicodeDecodeError:
        return None
    if re.search(r"[\x00-\x08\x0b-\x0c\x0e-\x1f\x7f\ue000-\uf8ff]", text):
        return None
    return text.replace("\r\n", "\n")


def broken_links(name, text, names):
    """The relative links of member NAME's text that name no member of the archive."""
    here = posixpath.dirname(name)
    broken = []
    for _, target in LINK.findall(text):
        if is_relative_link(target):
            member = posixpath.normpath(posixpath.join(here, target.partition("#")[0]))
            if member not in names:
                broken.append(target)
    return broken


def verify(archive_path, build):
    """Returns the list of faults found in the archive."""
    faults = []
    exes = exe_sources(build)
    texts = text_sources()
    with zipfile.ZipFile(archive_path) as archive:
        names = archive.namelist()
        if names != list(exes) + list(texts):
            faults.append(f"members {names}, expected {list(exes) + list(texts)}")
        for name in JAPANESE_MEMBERS:
            if name not in names:
                faults.append(f"{name} is missing")
        for name in names:
            data = archive.read(name)
            if name in exes:
                if data != exes[name].read_bytes():
                    faults.append(f"{name} differs from {exes[name]}")
                if pe_machine(data) != PE_MACHINES[name]:
                    faults.append(f"{name} is not a PE image for machine {PE_MACHINES[name]:#06x}")
            elif name in texts:
                if re.search(rb"(?<!\r)\n", data):
                    faults.append(f"{name} has a line end without CR")
                if re.search(rb"\r(?!\n)", data):
                    faults.append(f"{name} has a CR without LF")
                text = shift_jis_text(data)
                if text is None:
                    faults.append(f"{name} is not Shift_JIS text")
                    continue
                if text != packaged_text(name, texts):
                    faults.append(f"{name} does not hold the text of {texts[name]}")
                for target in broken_links(name, text, names):
                    faults.append(f"{name}: the link {target!r} names no member of the archive")
    return faults


def check(build):
    missing = [str(p) for p in exe_sources(build).values() if not p.is_file()]
    if missing:
        print("DIST SKIPPED: not built: " + ", ".join(missing) + " (make win32 win64)")
        return 0
    with tempfile.TemporaryDirectory(prefix="tavix-dist-") as tmp:
        name = f"Tavix-{release_version()}.zip"
        first = Path(tmp) / "first" / name
        second = Path(tmp) / "second" / name
        write_archive(first, build)
        write_archive(second, build)
        faults = verify(first, build)
        if first.read_bytes() != second.read_bytes():
            faults.append("two builds of the archive differ")
    for fault in faults:
        print("dist: " + fault)
    if not faults:
        print("dist: archive layout, text encoding, line ends, links, programs and "
              "repeatability are right")
    return 1 if faults else 0


def main():
    parser = argparse.ArgumentParser(description="Packs build/dist/Tavix-VERSION.zip.")
    parser.add_argument("--check", action="store_true",
                        help="build into a temporary folder and verify, instead")
    parser.add_argument("--build", type=Path, default=ROOT / "build",
                        help="the folder holding win32/ and win64/ (default: build)")
    parser.add_argument("--out", type=Path, default=ROOT / "build" / "dist",
                        help="the folder the archive is written to (default: build/dist)")
    args = parser.parse_args()
    if args.check:
        return check(args.build)
    for path in exe_sources(args.build).values():
        if not path.is_file():
            sys.exit(f"make-dist: {path} does not exist; run make win32 win64 first")
    target = args.out / f"Tavix-{release_version()}.zip"
    write_archive(target, args.build)
    print(f"make-dist: {target}")
    return 0


if __name__ == "__main__":
    sys.exit(main())
