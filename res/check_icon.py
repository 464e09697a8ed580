#!/usr/bin/env python3
"""Checks the Tavix icon file and, optionally, the resources built into Tavix.exe.

Usage: python3 res/check_icon.py ICON.ico [PROGRAM.exe]

The icon file must hold exactly one 32 x 32 image with 16 colours (4 bits per
pixel), consistent sizes and offsets, and an AND mask that is neither fully
opaque nor fully transparent.

When a program is given, its resource section must contain an icon group
named MYICON in Japanese (0x0411) listing one 32 x 32, 4-bit icon whose bytes
are the image from ICON.ico, that icon itself in Japanese, and a version
resource whose fixed part says 1.0.7.0 and whose strings say 1.07.

Exits 0 with a one-line summary when everything holds, 1 with a message
naming the first thing that does not.
"""

import struct
import sys

RT_ICON = 3
RT_GROUP_ICON = 14
RT_VERSION = 16
LANG_JA = 0x0411

WANT_VERSION = (1, 0, 7, 0)
WANT_VERSION_TEXT = "1.07"
WANT_STRING_TABLE = "041103a4"
WANT_TRANSLATION = (0x0411, 932)


class CheckFailed(Exception):
    pass


def require(cond, message):
    if not cond:
        raise CheckFailed(message)


def unpack(fmt, data, offset, what):
    """struct.unpack_from that reports a truncated file instead of crashing."""
    size = struct.calcsize(fmt)
    require(0 <= offset and offset + size <= len(data),
            "%s: truncated (needs %d bytes at offset %d, file has %d)"
            % (what, size, offset, len(data)))
    return struct.unpack_from(fmt, data, offset)


# ---------------------------------------------------------------- icon image

def check_dib(image, where):
    """Checks one icon image (BITMAPINFOHEADER, palette, XOR and AND bitmaps).

    Returns (width, height, bit_count, opaque_pixel_count).
    """
    (bi_size, width, height, planes, bit_count, compression, size_image,
     _xppm, _yppm, clr_used, _clr_important) = unpack(
        "<IiiHHIIiiII", image, 0, where + ": bitmap header")
    require(bi_size == 40, "%s: header size %d, expected 40 (BITMAPINFOHEADER)"
            % (where, bi_size))
    require(width == 32, "%s: width %d, expected 32" % (where, width))
    require(height == 64,
            "%s: biHeight %d, expected 64 (twice the height: colour bitmap plus mask)"
            % (where, height))
    require(planes == 1, "%s: %d planes, expected 1" % (where, planes))
    require(bit_count == 4, "%s: %d bits per pixel, expected 4" % (where, bit_count))
    require(compression == 0, "%s: compression %d, expected 0 (uncompressed)"
            % (where, compression))
    require(clr_used in (0, 16), "%s: biClrUsed %d, expected 0 or 16" % (where, clr_used))

    rows = height // 2
    xor_stride = (width * bit_count + 31) // 32 * 4
    and_stride = (width + 31) // 32 * 4
    palette_size = 16 * 4
    xor_size = xor_stride * rows
    and_size = and_stride * rows
    require(size_image in (0, xor_size + and_size),
            "%s: biSizeImage %d, expected 0 or %d"
            % (where, size_image, xor_size + and_size))
    expected = bi_size + palette_size + xor_size + and_size
    require(len(image) == expected,
            "%s: image is %d bytes, expected %d (header %d + palette %d + colour %d + mask %d)"
            % (where, len(image), expected, bi_size, palette_size, xor_size, and_size))

    mask = image[bi_size + palette_size + xor_size:]
    transparent = 0
    for r in range(rows):
        row = mask[r * and_stride:(r + 1) * and_stride]
        for x in range(width):
            if row[x // 8] & (0x80 >> (x % 8)):
                transparent += 1
    total = width * rows
    require(transparent > 0, "%s: AND mask is fully opaque (no transparent background)"
            % where)
    require(transparent < total, "%s: AND mask is fully transparent (icon is invisible)"
            % where)
    return width, rows, bit_count, total - transparent


def check_ico(path):
    """Checks the .ico file; returns (image bytes, summary text)."""
    try:
        with open(path, "rb") as f:
            data = f.read()
    except OSError as e:
        raise CheckFailed("%s: cannot read: %s" % (path, e.strerror))

    reserved, kind, count = unpack("<HHH", data, 0, path + ": icon directory")
    require(reserved == 0 and kind == 1,
            "%s: not an icon file (reserved %d, type %d; expected 0 and 1)"
            % (path, reserved, kind))
    require(count == 1, "%s: holds %d images, expected exactly 1" % (path, count))

    (width, height, colours, entry_reserved, planes, bit_count, size,
     offset) = unpack("<BBBBHHII", data, 6, path + ": directory entry")
    require(width == 32 and height == 32,
            "%s: directory entry says %dx%d, expected 32x32"
            % (path, width or 256, height or 256))
    require(colours == 16, "%s: directory entry says %d colours, expected 16"
            % (path, colours))
    require(entry_reserved == 0, "%s: directory entry reserved byte is %d, expected 0"
            % (path, entry_reserved))
    require(planes == 1, "%s: directory entry says %d planes, expected 1" % (path, planes))
    require(bit_count == 4, "%s: directory entry says %d bits per pixel, expected 4"
            % (path, bit_count))
    require(offset == 6 + 16 * count,
            "%s: image offset %d, expected %d (straight after the directory)"
            % (path, offset, 6 + 16 * count))
    require(offset + size == len(data),
            "%s: image of %d bytes at offset %d does not end at the end of the %d-byte file"
            % (path, size, offset, len(data)))

    image = data[offset:offset + size]
    _w, _h, _bpp, opaque = check_dib(image, path)
    return image, "%s: 1 image 32x32 4bpp 16 colours, %d opaque pixels" % (path, opaque)


# ----------------------------------------------------------- PE resources

class PE:
    """Just enough of a PE file to walk its resource directory."""

    def __init__(self, path):
        try:
            with open(path, "rb") as f:
                self.data = data = f.read()
        except OSError as e:
            raise CheckFailed("%s: cannot read: %s" % (path, e.strerror))
        self.path = path
        require(data[:2] == b"MZ", "%s: not an executable (no MZ header)" % path)
        (pe_offset,) = unpack("<I", data, 0x3C, path + ": DOS header")
        require(data[pe_offset:pe_offset + 4] == b"PE\0\0",
                "%s: no PE signature at offset %d" % (path, pe_offset))
        coff = pe_offset + 4
        (_machine, sections, _stamp, _symtab, _symbols, opt_size,
         _flags) = unpack("<HHIIIHH", data, coff, path + ": COFF header")
        opt = coff + 20
        (magic,) = unpack("<H", data, opt, path + ": optional header")
        if magic == 0x10B:      # 32-bit image
            dirs_count_at, dirs_at = 92, 96
        elif magic == 0x20B:    # 64-bit image
            dirs_count_at, dirs_at = 108, 112
        else:
            raise CheckFailed("%s: unknown optional header magic 0x%x" % (path, magic))
        (dir_count,) = unpack("<I", data, opt + dirs_count_at, path + ": optional header")
        require(dir_count > 2, "%s: no resource data directory" % path)
        self.rsrc_rva, rsrc_size = unpack("<II", data, opt + dirs_at + 2 * 8,
                                          path + ": data directories")
        require(self.rsrc_rva != 0 and rsrc_size != 0, "%s: has no resources" % path)

        self.sections = []
        table = opt + opt_size
        for i in range(sections):
            (vsize, vaddr, raw_size, raw_ptr) = unpack(
                "<IIII", data, table + 40 * i + 8, path + ": section table")
            self.sections.append((vaddr, max(vsize, raw_size), raw_ptr, raw_size))
        self.rsrc = self.file_offset(self.rsrc_rva)

    def file_offset(self, rva):
        for vaddr, span, raw_ptr, raw_size in self.sections:
            if vaddr <= rva < vaddr + span:
                require(rva - vaddr < raw_size,
                        "%s: address 0x%x lies outside the section's file data"
                        % (self.path, rva))
                return raw_ptr + (rva - vaddr)
        raise CheckFailed("%s: address 0x%x is in no section" % (self.path, rva))

    def directory(self, offset):
        """Lists the entries of the resource directory at offset (from the
        resource root) as (id or name, is_subdirectory, offset from root)."""
        base = self.rsrc + offset
        named, numbered = unpack("<HH", self.data, base + 12, self.path + ": resource directory")
        entries = []
        for i in range(named + numbered):
            name, target = unpack("<II", self.data, base + 16 + 8 * i,
                                  self.path + ": resource entry")
            if name & 0x80000000:
                at = self.rsrc + (name & 0x7FFFFFFF)
                (length,) = unpack("<H", self.data, at, self.path + ": resource name")
                raw = self.data[at + 2:at + 2 + 2 * length]
                require(len(raw) == 2 * length, "%s: resource name truncated" % self.path)
                key = raw.decode("utf-16-le")
            else:
                key = name & 0xFFFF
            entries.append((key, bool(target & 0x80000000), target & 0x7FFFFFFF))
        return entries

    def resources(self):
        """Every resource as ((type, name, language), bytes)."""
        found = {}
        for rtype, is_dir, at in self.directory(0):
            require(is_dir, "%s: resource type %r is not a directory" % (self.path, rtype))
            for name, is_dir2, at2 in self.directory(at):
                require(is_dir2, "%s: resource %r/%r is not a directory"
                        % (self.path, rtype, name))
                for lang, is_dir3, at3 in self.directory(at2):
                    require(not is_dir3, "%s: resource %r/%r/%r nests too deep"
                            % (self.path, rtype, name, lang))
                    rva, size, _cp, _res = unpack("<IIII", self.data, self.rsrc + at3,
                                                  self.path + ": resource data entry")
                    start = self.file_offset(rva)
                    blob = self.data[start:start + size]
                    require(len(blob) == size, "%s: resource %r/%r/0x%x truncated"
                            % (self.path, rtype, name, lang))
                    found[(rtype, name, lang)] = blob
        return found


def parse_version_block(data, offset):
    """Reads one node of a version resource.

    Returns (key, wType, value bytes, children, offset past the node).
    """
    length, value_length, kind = unpack("<HHH", data, offset, "version resource")
    require(length >= 6 and offset + length <= len(data),
            "version resource: node at %d has bad length %d" % (offset, length))
    end = offset + length
    at = offset + 6
    key_end = at
    while key_end + 1 < end and data[key_end:key_end + 2] != b"\0\0":
        key_end += 2
    key = data[at:key_end].decode("utf-16-le")
    at = (key_end + 2 + 3) & ~3
    if kind == 1:
        # Text values are counted in characters; stop at the terminator.
        raw = data[at:min(end, at + 2 * value_length)]
        text_end = 0
        while text_end + 1 < len(raw) and raw[text_end:text_end + 2] != b"\0\0":
            text_end += 2
        value = raw[:text_end]
        at += 2 * value_length
    else:
        value = data[at:at + value_length]
        at += value_length
    at = (at + 3) & ~3
    children = []
    while at < end:
        child = parse_version_block(data, at)
        children.append(child)
        at = (child[4] + 3) & ~3
    return key, kind, value, children, end


def check_version(blob, where):
    key, _kind, fixed, children, _end = parse_version_block(blob, 0)
    require(key == "VS_VERSION_INFO", "%s: version resource key is %r" % (where, key))
    require(len(fixed) >= 52, "%s: version resource has no fixed file info" % where)
    (signature, _struct_version, file_ms, file_ls, product_ms,
     product_ls) = struct.unpack_from("<IIIIII", fixed, 0)
    require(signature == 0xFEEF04BD, "%s: fixed file info signature 0x%08x" % (where, signature))

    def split(ms, ls):
        return (ms >> 16, ms & 0xFFFF, ls >> 16, ls & 0xFFFF)

    for what, got in (("file", split(file_ms, file_ls)),
                      ("product", split(product_ms, product_ls))):
        require(got == WANT_VERSION, "%s: fixed %s version is %s, expected %s"
                % (where, what, ".".join(map(str, got)), ".".join(map(str, WANT_VERSION))))

    blocks = {child[0]: child for child in children}
    require("StringFileInfo" in blocks, "%s: version resource has no StringFileInfo" % where)
    tables = {t[0]: t for t in blocks["StringFileInfo"][3]}
    require(WANT_STRING_TABLE in tables, "%s: no string table %s (found %s)"
            % (where, WANT_STRING_TABLE, ", ".join(sorted(tables)) or "none"))
    strings = {s[0]: s[2].decode("utf-16-le") for s in tables[WANT_STRING_TABLE][3]}
    for name in ("FileVersion", "ProductVersion"):
        require(strings.get(name) == WANT_VERSION_TEXT, "%s: %s string is %r, expected %r"
                % (where, name, strings.get(name), WANT_VERSION_TEXT))
    require(strings.get("OriginalFilename") == "Tavix.exe",
            "%s: OriginalFilename is %r" % (where, strings.get("OriginalFilename")))

    require("VarFileInfo" in blocks, "%s: version resource has no VarFileInfo" % where)
    variables = {v[0]: v[2] for v in blocks["VarFileInfo"][3]}
    translation = variables.get("Translation", b"")
    require(len(translation) >= 4, "%s: no Translation value" % where)
    pairs = [struct.unpack_from("<HH", translation, i) for i in range(0, len(translation) - 3, 4)]
    require(WANT_TRANSLATION in pairs, "%s: Translation lists %s, expected 0x%04x/%d"
            % (where, ", ".join("0x%04x/%d" % p for p in pairs), *WANT_TRANSLATION))
    # The string table's name is the language and code page it is written in;
    # it must be one the Translation value announces.
    table_pair = (int(WANT_STRING_TABLE[:4], 16), int(WANT_STRING_TABLE[4:], 16))
    require(table_pair in pairs, "%s: string table %s is not listed in Translation"
            % (where, WANT_STRING_TABLE))


def check_exe(path, ico_image):
    pe = PE(path)
    res = pe.resources()

    groups = [k for k in res if k[0] == RT_GROUP_ICON]
    require(groups, "%s: no icon group" % path)
    wanted = (RT_GROUP_ICON, "MYICON", LANG_JA)
    require(wanted in res, "%s: no icon group named MYICON in language 0x%04x (found %s)"
            % (path, LANG_JA, ", ".join("%r/0x%04x" % (k[1], k[2]) for k in groups)))
    group = res[wanted]
    reserved, kind, count = unpack("<HHH", group, 0, path + ": icon group")
    require(reserved == 0 and kind == 1 and count == 1,
            "%s: icon group MYICON has type %d and %d images, expected type 1 and 1 image"
            % (path, kind, count))
    (width, height, colours, _r, planes, bit_count, size,
     icon_id) = unpack("<BBBBHHIH", group, 6, path + ": icon group entry")
    require((width, height, colours, planes, bit_count) == (32, 32, 16, 1, 4),
            "%s: icon group entry says %dx%d, %d colours, %d planes, %d bpp; "
            "expected 32x32, 16 colours, 1 plane, 4 bpp"
            % (path, width, height, colours, planes, bit_count))

    icons = [k for k in res if k[0] == RT_ICON]
    require(len(icons) == 1, "%s: %d icon images, expected 1" % (path, len(icons)))
    require((RT_ICON, icon_id, LANG_JA) in res,
            "%s: icon group refers to icon %d in language 0x%04x, which is missing (found %s)"
            % (path, icon_id, LANG_JA, ", ".join("%r/0x%04x" % (k[1], k[2]) for k in icons)))
    icon = res[(RT_ICON, icon_id, LANG_JA)]
    require(size == len(icon), "%s: icon group says the image is %d bytes, it is %d"
            % (path, size, len(icon)))
    check_dib(icon, path + ": icon %d" % icon_id)
    require(icon == ico_image, "%s: built-in icon differs from the icon file" % path)

    versions = [k for k in res if k[0] == RT_VERSION]
    require(len(versions) == 1, "%s: %d version resources, expected 1" % (path, len(versions)))
    check_version(res[versions[0]], path)
    return "%s: MYICON 32x32 4bpp lang 0x%04x, version 1.0.7.0 (%s)" % (
        path, LANG_JA, WANT_VERSION_TEXT)


def main(argv):
    if len(argv) not in (2, 3):
        sys.stderr.write("usage: %s ICON.ico [PROGRAM.exe]\n" % argv[0])
        return 2
    try:
        image, summary = check_ico(argv[1])
        if len(argv) == 3:
            summary += "; " + check_exe(argv[2], image)
    except CheckFailed as e:
        sys.stderr.write("check_icon: %s\n" % e)
        return 1
    print("ok: " + summary)
    return 0


if __name__ == "__main__":
    sys.exit(main(sys.argv))
