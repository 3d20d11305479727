#!/usr/bin/env python3
"""Reads the resource section of a built Updater.exe and checks what the
program relies on: the dialog templates (ids, styles, sizes, captions, fonts,
controls), the icon group and its images, the manifest and the version block,
and the language of each.

    check_resources.py Updater.exe

Standard library only; the PE reader below understands just enough of the
format to walk the resource tree.
"""
import struct
import sys
import unittest

RT_ICON, RT_DIALOG, RT_GROUP_ICON, RT_VERSION, RT_MANIFEST = 3, 5, 14, 16, 24
LANG_ZH_CN = 2052


def read_resources(path):
    """{(type, name): {language: bytes}} for every resource with numeric ids."""
    with open(path, "rb") as f:
        data = f.read()
    pe = struct.unpack_from("<I", data, 0x3C)[0]
    if data[pe:pe + 4] != b"PE\0\0":
        raise ValueError("not a PE file")
    sections = struct.unpack_from("<H", data, pe + 6)[0]
    optional_size = struct.unpack_from("<H", data, pe + 20)[0]
    optional = pe + 24
    magic = struct.unpack_from("<H", data, optional)[0]
    directories = optional + (112 if magic == 0x20B else 96)
    rsrc_rva, _ = struct.unpack_from("<II", data, directories + 2 * 8)
    table = optional + optional_size
    rsrc_offset = None
    for i in range(sections):
        _, vsize, vaddr, rawsize, rawptr = struct.unpack_from("<8sIIII", data, table + 40 * i)
        if vaddr <= rsrc_rva < vaddr + max(vsize, rawsize):
            rsrc_offset = rawptr + (rsrc_rva - vaddr)
            section_delta = vaddr - rawptr
    if rsrc_offset is None:
        raise ValueError("no resource section")

    def entries(offset):
        named, ids = struct.unpack_from("<HH", data, rsrc_offset + offset + 12)
        for i in range(named + ids):
            name, target = struct.unpack_from("<II", data, rsrc_offset + offset + 16 + 8 * i)
            yield name, target

    out = {}
    for rtype, t1 in entries(0):
        for rname, t2 in entries(t1 & 0x7FFFFFFF):
            for lang, t3 in entries(t2 & 0x7FFFFFFF):
                rva, size = struct.unpack_from("<II", data, rsrc_offset + t3)
                start = rva - section_delta
                out.setdefault((rtype, rname), {})[lang] = data[start:start + size]
    return out


class Cursor:
    def __init__(self, blob):
        self.blob, self.pos = blob, 0

    def take(self, fmt):
        values = struct.unpack_from("<" + fmt, self.blob, self.pos)
        self.pos += struct.calcsize("<" + fmt)
        return values if len(values) > 1 else values[0]

    def align(self, n=4):
        self.pos = (self.pos + n - 1) // n * n

    def sz(self):
        end = self.pos
        while self.blob[end:end + 2] != b"\0\0":
            end += 2
        text = self.blob[self.pos:end].decode("utf-16-le")
        self.pos = end + 2
        return text

    def sz_or_ord(self):
        """A string, or the ordinal that follows 0xFFFF."""
        if self.take("H") == 0xFFFF:
            return self.take("H")
        self.pos -= 2
        return self.sz()


def parse_dialogex(blob):
    c = Cursor(blob)
    version, signature = c.take("HH")
    assert (version, signature) == (1, 0xFFFF), "not an extended dialog template"
    help_id, exstyle, style, count, x, y, cx, cy = c.take("IIIHhhhh")
    dialog = dict(exstyle=exstyle, style=style, rect=(x, y, cx, cy), menu=c.sz_or_ord(),
                  window_class=c.sz_or_ord(), caption=c.sz())
    if style & 0x48:  # DS_SETFONT or DS_SHELLFONT
        dialog["font"] = c.take("HHBB") + (c.sz(),)
    controls = []
    for _ in range(count):
        c.align()
        help_id, exstyle, style, x, y, cx, cy, ident = c.take("IIIhhhhI")
        control = dict(id=ident, style=style, exstyle=exstyle, rect=(x, y, cx, cy),
                       control_class=c.sz_or_ord(), text=c.sz_or_ord())
        extra = c.take("H")
        c.pos += extra
        controls.append(control)
    dialog["controls"] = controls
    return dialog


def parse_version(blob):
    """(fixed file info fields, {block: {name: value}}, translations)."""

    def node(c, end):
        start = c.pos
        length, value_length, kind = c.take("HHH")
        key = c.sz()
        c.align()
        return start, start + length, value_length, kind, key

    c = Cursor(blob)
    start, end, value_length, kind, key = node(c, len(blob))
    assert key == "VS_VERSION_INFO"
    fixed = struct.unpack_from("<13I", blob, c.pos)
    c.pos += value_length
    c.align()
    strings, translations = {}, []
    while c.pos < end:
        s, e, _, _, name = node(c, end)
        while c.pos < e:
            s2, e2, vl2, _, table = node(c, e)
            if name == "StringFileInfo":
                values = {}
                while c.pos < e2:
                    s3, e3, vl3, _, vkey = node(c, e2)
                    values[vkey] = c.sz() if vl3 else ""
                    c.pos = e3
                    c.align()
                strings[table] = values
            else:
                translations = [struct.unpack_from("<HH", blob, c.pos + 4 * i) for i in range(vl2 // 4)]
            c.pos = e2
            c.align()
        c.pos = e
        c.align()
    return fixed, strings, translations


class Resources(unittest.TestCase):
    exe = None

    @classmethod
    def setUpClass(cls):
        cls.res = read_resources(cls.exe)

    def only_language(self, rtype, rname):
        langs = self.res.get((rtype, rname))
        self.assertIsNotNone(langs, "resource %d/%d is missing" % (rtype, rname))
        self.assertEqual(list(langs), [LANG_ZH_CN], "resource %d/%d language" % (rtype, rname))
        return langs[LANG_ZH_CN]

    def test_main_dialog(self):
        d = parse_dialogex(self.only_language(RT_DIALOG, 129))
        self.assertEqual(hex(d["style"]), hex(0x00CA0040))
        self.assertEqual(d["exstyle"], 0)
        self.assertEqual(d["rect"], (0, 0, 318, 121))
        self.assertEqual((d["menu"], d["window_class"], d["caption"]), ("", "", "Updater"))
        self.assertEqual(d["font"], (9, 0, 0, 0, "宋体"))
        self.assertEqual(
            [(c["id"], c["control_class"], c["text"], hex(c["style"]), c["exstyle"], c["rect"]) for c in d["controls"]],
            [(0xFFFFFFFF, 0x0082, "Static", hex(0x50020000), 0, (143, 77, 39, 12)),
             (1000, "msctls_progress32", "", hex(0x50800000), 0, (25, 92, 265, 14))])

    def test_hint_dialog(self):
        d = parse_dialogex(self.only_language(RT_DIALOG, 201))
        self.assertEqual(hex(d["style"]), hex(0x80C000C8))
        self.assertEqual(d["exstyle"], 0)
        self.assertEqual(d["rect"], (0, 0, 261, 99))
        self.assertEqual((d["menu"], d["window_class"], d["caption"]), ("", "", "Dialog"))
        self.assertEqual(d["font"], (8, 400, 0, 1, "MS Shell Dlg"))
        self.assertEqual(
            [(c["id"], c["control_class"], c["text"], hex(c["style"]), c["exstyle"], c["rect"]) for c in d["controls"]],
            [(1, 0x0080, "确定", hex(0x50010001), 0, (105, 62, 50, 14)),
             (1002, 0x0082, "Static", hex(0x50020000), 0, (32, 30, 207, 17))])

    def test_no_other_dialogs(self):
        self.assertEqual(sorted(n for (t, n) in self.res if t == RT_DIALOG), [129, 201])

    def test_icon_group_of_ten_images(self):
        group = self.only_language(RT_GROUP_ICON, 128)
        reserved, kind, count = struct.unpack_from("<HHH", group, 0)
        self.assertEqual((reserved, kind), (0, 1))
        images = []
        for i in range(count):
            w, h, colours, _, planes, bpp, size, ident = struct.unpack_from("<BBBBHHIH", group, 6 + 14 * i)
            blob = self.only_language(RT_ICON, ident)
            self.assertEqual(len(blob), size)
            if blob.startswith(b"\x89PNG"):
                iw, ih = struct.unpack_from(">II", blob, 16)
                ibpp = 32 if blob[25] == 6 and blob[24] == 8 else None
            else:
                _, iw, ih2, _, ibpp = struct.unpack_from("<IiiHH", blob, 0)
                ih = ih2 // 2
            self.assertEqual((w or 256, h or 256, bpp), (iw, ih, ibpp), "image %d" % ident)
            images.append((iw, bpp))
        self.assertEqual(images, [(48, 4), (32, 4), (16, 4), (48, 8), (32, 8), (16, 8),
                                  (256, 32), (32, 32), (24, 32), (16, 32)])
        self.assertEqual(sorted(n for (t, n) in self.res if t == RT_GROUP_ICON), [128])

    def test_manifest(self):
        langs = self.res.get((RT_MANIFEST, 1))
        self.assertIsNotNone(langs, "manifest 1 is missing")
        text = b"".join(langs.values()).decode("utf-8")
        for needle in ('level="asInvoker"', 'uiAccess="false"', 'name="Microsoft.Windows.Common-Controls"',
                       'version="6.0.0.0"', 'language="*"', 'processorArchitecture="*"'):
            self.assertIn(needle, text)

    def test_version_block(self):
        fixed, strings, translations = parse_version(self.only_language(RT_VERSION, 1))
        self.assertEqual(fixed[0], 0xFEEF04BD)
        self.assertEqual((fixed[2], fixed[3], fixed[4], fixed[5]), (0x00010000, 0x00000001, 0x00010000, 0x00000001))
        self.assertEqual(list(strings), ["040904B0"])
        values = strings["040904B0"]
        for key, value in (("FileDescription", "Updater Module"), ("ProductName", "Updater Module"),
                           ("InternalName", "Updater"), ("OriginalFilename", "Updater.exe"),
                           ("FileVersion", "1, 0, 0, 1"), ("ProductVersion", "1, 0, 0, 1")):
            self.assertEqual(values.get(key), value, key)
        self.assertEqual(translations, [(0x0409, 1200)])


if __name__ == "__main__":
    Resources.exe = sys.argv.pop(1)
    unittest.main()
