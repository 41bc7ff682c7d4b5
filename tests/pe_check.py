"""Checks the shipped 32-bit Grindlet.exe without running it: a PE32 image for
i386 with the GUI subsystem, the ANSI imports the program relies on, and its
resources (three dialog templates, the icon group and the manifest, all in
language 2057) read back from the file."""
import struct
from xml.etree import ElementTree
import sys
import unittest

EXE = sys.argv[1] if len(sys.argv) > 1 else "Grindlet.exe"
VERSION = sys.argv[2] if len(sys.argv) > 2 else "1.0.0"

RT_ICON, RT_DIALOG, RT_GROUP_ICON, RT_VERSION, RT_MANIFEST = 3, 5, 14, 16, 24
UK_ENGLISH = 2057

WS_CHILD, WS_VISIBLE, WS_TABSTOP, WS_GROUP = 0x40000000, 0x10000000, 0x00010000, 0x00020000
DIALOG_STYLE = WS_VISIBLE | 0x00C00000 | 0x00080000 | 0x0800 | 0x80 | 0x40 | 0x08
BUTTON, STATIC = 0x80, 0x82


class Image:
    def __init__(self, data):
        self.data = data
        pe = struct.unpack_from("<I", data, 0x3C)[0]
        assert data[pe:pe + 4] == b"PE\0\0"
        self.machine, sections, _, symbols, symbol_count, optional_size, _ = struct.unpack_from(
            "<HHIIIHH", data, pe + 4)
        strings = symbols + 18 * symbol_count
        optional = pe + 24
        self.magic = struct.unpack_from("<H", data, optional)[0]
        self.subsystem = struct.unpack_from("<H", data, optional + 68)[0]
        self.timestamp = struct.unpack_from("<I", data, pe + 8)[0]
        directories = optional + 96
        self.directory = [struct.unpack_from("<II", data, directories + 8 * i) for i in range(16)]
        self.sections = []
        self.section_names = []
        table = optional + optional_size
        for i in range(sections):
            name, vsize, vaddr, rsize, raddr = struct.unpack_from("<8sIIII", data, table + 40 * i)
            self.sections.append((vaddr, max(vsize, rsize), raddr))
            name = name.rstrip(b"\0").decode()
            # "/N": a long name at offset N of the string table after the symbols.
            if name.startswith("/") and symbols:
                start = strings + int(name[1:])
                name = data[start:data.index(b"\0", start)].decode()
            self.section_names.append(name)

    def offset(self, rva):
        for vaddr, size, raddr in self.sections:
            if vaddr <= rva < vaddr + size:
                return rva - vaddr + raddr
        raise ValueError(hex(rva))

    def cstring(self, rva):
        start = self.offset(rva)
        return self.data[start:self.data.index(b"\0", start)].decode()

    def imports(self):
        names = {}
        entry = self.offset(self.directory[1][0])
        while True:
            lookup, _, _, dll, first = struct.unpack_from("<IIIII", self.data, entry)
            if dll == 0:
                return names
            table = self.offset(lookup or first)
            functions = names.setdefault(self.cstring(dll).lower(), set())
            while True:
                thunk = struct.unpack_from("<I", self.data, table)[0]
                if thunk == 0:
                    break
                functions.add(f"#{thunk & 0xFFFF}" if thunk & 0x80000000 else self.cstring(thunk + 2))
                table += 4
            entry += 20

    def resources(self):
        """{(type, id, language): bytes}"""
        base = self.offset(self.directory[2][0])
        found = {}

        def walk(offset, path):
            count = sum(struct.unpack_from("<HH", self.data, base + offset + 12))
            for i in range(count):
                name, target = struct.unpack_from("<II", self.data, base + offset + 16 + 8 * i)
                key = path + (name,)
                if target & 0x80000000:
                    walk(target & 0x7FFFFFFF, key)
                else:
                    rva, size = struct.unpack_from("<II", self.data, base + target)
                    start = self.offset(rva)
                    found[key] = self.data[start:start + size]

        walk(0, ())
        return found


def utf16(data, pos):
    end = pos
    while data[end:end + 2] != b"\0\0":
        end += 2
    return data[pos:end].decode("utf-16-le"), end + 2


def name_or_ordinal(data, pos):
    if data[pos:pos + 2] == b"\xff\xff":
        return struct.unpack_from("<H", data, pos + 2)[0], pos + 4
    return utf16(data, pos)


def parse_dialog(data):
    version, signature, _, exstyle, style, count, x, y, cx, cy = struct.unpack_from("<HHIIIHhhhh", data, 0)
    assert (version, signature) == (1, 0xFFFF), "an extended template"
    pos = 26
    menu, pos = name_or_ordinal(data, pos)
    window_class, pos = name_or_ordinal(data, pos)
    title, pos = utf16(data, pos)
    points, weight, italic, charset = struct.unpack_from("<HHBB", data, pos)
    font, pos = utf16(data, pos + 6)
    items = []
    for _ in range(count):
        pos = (pos + 3) & ~3
        help_id, item_exstyle, item_style, ix, iy, icx, icy, item_id = struct.unpack_from("<IIIhhhhi", data, pos)
        pos += 24
        item_class, pos = name_or_ordinal(data, pos)
        text, pos = name_or_ordinal(data, pos)
        extra = struct.unpack_from("<H", data, pos)[0]
        pos += 2 + extra
        items.append((item_class, item_id, text, item_style, (ix, iy, icx, icy), help_id, item_exstyle, extra))
    return dict(exstyle=exstyle, style=style, rect=(x, y, cx, cy), menu=menu, window_class=window_class,
                title=title, font=(points, weight, italic, charset, font), items=items)


class ShippedProgram(unittest.TestCase):
    @classmethod
    def setUpClass(cls):
        with open(EXE, "rb") as f:
            cls.image = Image(f.read())
        cls.resources = cls.image.resources()

    def test_is_a_32_bit_gui_program(self):
        self.assertEqual(self.image.machine, 0x14C, "i386")
        self.assertEqual(self.image.magic, 0x10B, "PE32")
        self.assertEqual(self.image.subsystem, 2, "Windows GUI")

    def test_uses_the_ansi_interfaces(self):
        """Names come in through the ANSI code page; the shredder converts them
        once, without loss, and works on the file system's own UTF-16 names."""
        imports = self.image.imports()
        self.assertIn("RegOpenKeyExA", imports["advapi32.dll"])
        self.assertIn("NtCreateFile", imports["ntdll.dll"])
        self.assertIn("DialogBoxParamA", imports["user32.dll"])
        self.assertIn("MessageBoxA", imports["user32.dll"])
        self.assertIn("comctl32.dll", imports)
        for dll, functions in imports.items():
            self.assertFalse({"DialogBoxParamW", "MessageBoxW", "RegOpenKeyExW"} & functions, dll)

    def test_dialogs(self):
        texts = {
            102: ("Grindlet", "Yes", "No", "Static"),
            103: ("Install Grindlet?", "Yes", "No",
                  'Would you like to install Grindlet and add it to your "Send To" menu?'),
            104: ("Install Grindlet?", "Reinstall", "Uninstall",
                  "It appears Grindlet has previously been installed... Would you like to:"),
        }
        for dialog_id, (title, first, second, message) in texts.items():
            with self.subTest(dialog=dialog_id):
                dialog = parse_dialog(self.resources[(RT_DIALOG, dialog_id, UK_ENGLISH)])
                self.assertEqual(dialog["style"], DIALOG_STYLE, hex(dialog["style"]))
                self.assertEqual(dialog["exstyle"], 0)
                self.assertEqual(dialog["rect"], (0, 0, 226, 52))
                self.assertEqual((dialog["menu"], dialog["window_class"]), ("", ""), "no menu, default class")
                self.assertEqual(dialog["title"], title)
                self.assertEqual(dialog["font"], (8, 400, 0, 1, "MS Shell Dlg"))
                message_id = 1010 if dialog_id == 102 else -1
                expected = [
                    (BUTTON, 1, first, WS_CHILD | WS_VISIBLE | WS_TABSTOP | 0x1, (60, 30, 50, 14)),
                    (BUTTON, 2, second, WS_CHILD | WS_VISIBLE | WS_TABSTOP, (114, 30, 50, 14)),
                    (STATIC, message_id, message, WS_CHILD | WS_VISIBLE | WS_GROUP | 0x1, (36, 6, 186, 18)),
                    (STATIC, -1, 101, WS_CHILD | WS_VISIBLE | 0x3, (6, 6, 20, 20)),
                ]
                self.assertEqual([item[:5] for item in dialog["items"]], expected)
                self.assertEqual({item[5:] for item in dialog["items"]}, {(0, 0, 0)})

    def test_progress_dialog(self):
        """Of the same family as the question dialogs: the same style, font,
        icon and Cancel as the button with id 2."""
        dialog = parse_dialog(self.resources[(RT_DIALOG, 105, UK_ENGLISH)])
        self.assertEqual(dialog["style"], DIALOG_STYLE, hex(dialog["style"]))
        self.assertEqual(dialog["title"], "Grindlet - shredding")
        self.assertEqual(dialog["font"], (8, 400, 0, 1, "MS Shell Dlg"))
        items = [item[:3] for item in dialog["items"]]
        self.assertIn((STATIC, -1, 101), items)
        self.assertIn((BUTTON, 2, "Cancel"), items)
        self.assertIn("msctls_progress32", [str(item[0]).lower() for item in dialog["items"]])

    def test_icon_group_holds_one_16_colour_image(self):
        group = self.resources[(RT_GROUP_ICON, 101, UK_ENGLISH)]
        reserved, kind, count = struct.unpack_from("<HHH", group, 0)
        self.assertEqual((kind, count), (1, 1))
        width, height, colours, _, planes, bits, size, icon_id = struct.unpack_from("<BBBBHHIH", group, 6)
        self.assertEqual((width, height, colours, planes, bits, size, icon_id), (32, 32, 16, 1, 4, 744, 1))
        image = self.resources[(RT_ICON, 1, UK_ENGLISH)]
        self.assertEqual(len(image), 744)
        self.assertEqual(struct.unpack_from("<IiiHH", image, 0), (40, 32, 64, 1, 4))
        self.assertEqual([k for k in self.resources if k[0] == RT_GROUP_ICON], [(RT_GROUP_ICON, 101, UK_ENGLISH)])

    def test_manifest_binds_common_controls_6(self):
        manifest = self.resources[(RT_MANIFEST, 1, UK_ENGLISH)].decode("utf-8")
        self.assertIn('standalone="yes"', manifest)
        self.assertIn('name="Ostrivane.Application"', manifest)
        self.assertIn('processorArchitecture="X86"', manifest)
        self.assertNotIn("amd64", manifest)
        for attribute in ('name="Microsoft.Windows.Common-Controls"', 'version="6.0.0.0"',
                          'publicKeyToken="6595b64144ccf1df"', 'language="*"'):
            self.assertIn(attribute, manifest)

    def test_imports_only_system_libraries_by_name(self):
        imports = self.image.imports()
        self.assertEqual(sorted(imports), ["advapi32.dll", "comctl32.dll", "kernel32.dll",
                                           "msvcrt.dll", "ntdll.dll", "ole32.dll", "shell32.dll",
                                           "user32.dll"])
        for dll, functions in imports.items():
            self.assertFalse([f for f in functions if f.startswith("#")], f"{dll} by ordinal")

    def test_is_stripped_with_a_link_to_its_debug_information(self):
        names = self.image.section_names
        self.assertFalse([n for n in names if n.startswith((".debug", "/"))], names)
        self.assertIn(".gnu_debuglink", names)
        self.assertEqual(self.image.timestamp, 0, "no link time stamp")

    def test_version_resource(self):
        block = self.resources[(RT_VERSION, 1, UK_ENGLISH)]
        fixed = block.index(struct.pack("<I", 0xFEEF04BD))
        file_ms, file_ls, product_ms, product_ls = struct.unpack_from("<IIII", block, fixed + 8)
        major, minor, patch = (int(part) for part in VERSION.split("."))
        self.assertEqual((file_ms, file_ls), ((major << 16) | minor, patch << 16))
        self.assertEqual((product_ms, product_ls), (file_ms, file_ls))
        text = block.decode("utf-16-le", errors="replace")
        self.assertIn("080904B0", text.upper())
        for key, value in (("CompanyName", "Ostrivane"), ("ProductName", "Grindlet"),
                           ("FileDescription", "File Shredder"),
                           ("OriginalFilename", "Grindlet.exe"), ("FileVersion", VERSION),
                           ("ProductVersion", VERSION)):
            self.assertRegex(text, key + "\0+" + value + "\0", key)

    def test_manifest_runs_as_the_invoker_without_virtualisation(self):
        manifest = ElementTree.fromstring(self.resources[(RT_MANIFEST, 1, UK_ENGLISH)])
        asm_v3 = "{urn:schemas-microsoft-com:asm.v3}"
        levels = manifest.findall(f"{asm_v3}trustInfo/{asm_v3}security/{asm_v3}requestedPrivileges/"
                                  f"{asm_v3}requestedExecutionLevel")
        self.assertEqual([(e.get("level"), e.get("uiAccess")) for e in levels], [("asInvoker", "false")])

    def test_library_search_is_restricted_when_the_system_can(self):
        """SetDefaultDllDirectories is looked up at run time: importing it
        would keep the program from starting where it is missing."""
        imports = self.image.imports()
        for dll, functions in imports.items():
            self.assertNotIn("SetDefaultDllDirectories", functions, dll)
        self.assertIn(b"SetDefaultDllDirectories\0", self.image.data)

    def test_manifest_makes_utf8_the_code_page(self):
        manifest = ElementTree.fromstring(self.resources[(RT_MANIFEST, 1, UK_ENGLISH)])
        asm_v3 = "{urn:schemas-microsoft-com:asm.v3}"
        settings_2019 = "{http://schemas.microsoft.com/SMI/2019/WindowsSettings}"
        code_pages = manifest.findall(f"{asm_v3}application/{asm_v3}windowsSettings/"
                                      f"{settings_2019}activeCodePage")
        self.assertEqual([element.text for element in code_pages], ["UTF-8"])


if __name__ == "__main__":
    unittest.main(argv=sys.argv[:1], verbosity=2)
