"""Static checks of the two Windows deliverables' PE files."""
import os
import struct
import unittest
import xml.etree.ElementTree as ElementTree

import pefile

BUILD = os.environ["TQ_WINDOWS_BUILD"]
SOURCE = os.path.dirname(os.path.dirname(os.path.dirname(os.path.abspath(__file__))))

RT_ICON = pefile.RESOURCE_TYPE["RT_ICON"]
RT_GROUP_ICON = pefile.RESOURCE_TYPE["RT_GROUP_ICON"]
RT_MANIFEST = pefile.RESOURCE_TYPE["RT_MANIFEST"]

# The DLLs of every Windows system that the deliverables may import. Anything
# else would have to ship beside them: MinGW's C++ runtime (libstdc++-6,
# libgcc_s_seh-1, libwinpthread-1), the Universal CRT of newer toolchains.
SYSTEM_DLLS = {"kernel32.dll", "user32.dll", "shell32.dll", "advapi32.dll", "msvcrt.dll"}


def load(name):
    return pefile.PE(os.path.join(BUILD, "bin", name))


def resources(pe, type_id):
    """{resource id: bytes} of one resource type, first language of each."""
    found = {}
    if not hasattr(pe, "DIRECTORY_ENTRY_RESOURCE"):
        return found
    for kind in pe.DIRECTORY_ENTRY_RESOURCE.entries:
        if kind.id != type_id:
            continue
        for entry in kind.directory.entries:
            language = entry.directory.entries[0]
            rva, size = language.data.struct.OffsetToData, language.data.struct.Size
            found[entry.id] = pe.get_data(rva, size)
    return found


def build_setting(name):
    """A value of the build's CMake cache."""
    with open(os.path.join(BUILD, "CMakeCache.txt"), encoding="utf-8") as cache:
        for line in cache:
            key, _, value = line.rstrip("\n").partition("=")
            if key.split(":")[0] == name:
                return value
    raise KeyError(name)


def version_strings(pe):
    strings = {}
    for info in pe.FileInfo[0]:
        if info.Key == b"StringFileInfo":
            for table in info.StringTable:
                strings.update({key.decode(): value.decode() for key, value in table.entries.items()})
    return strings


def imported_dlls(pe):
    return [entry.dll.decode().lower() for entry in getattr(pe, "DIRECTORY_ENTRY_IMPORT", [])]


def execution_level(manifest):
    root = ElementTree.fromstring(manifest.decode("utf-8").lstrip("\ufeff"))
    levels = [element.attrib for element in root.iter()
              if element.tag.endswith("}requestedExecutionLevel")]
    return levels


class PeFileBasics(unittest.TestCase):
    def test_both_are_64_bit_and_need_only_system_libraries(self):
        for name, allowed in (("Tessvik.exe", set()), ("Quellink.dll", {"steam_api64.dll"})):
            with self.subTest(name):
                pe = load(name)
                self.assertEqual(pe.FILE_HEADER.Machine, pefile.MACHINE_TYPE["IMAGE_FILE_MACHINE_AMD64"])
                self.assertEqual(pe.OPTIONAL_HEADER.Magic, pefile.OPTIONAL_HEADER_MAGIC_PE_PLUS)
                for dll in imported_dlls(pe):
                    self.assertIn(dll, SYSTEM_DLLS | allowed,
                                  f"{name} imports {dll}, which a Windows system does not have")

    def test_launcher_is_a_gui_program_that_loads_the_runtime_itself(self):
        pe = load("Tessvik.exe")
        self.assertEqual(pe.OPTIONAL_HEADER.Subsystem,
                         pefile.SUBSYSTEM_TYPE["IMAGE_SUBSYSTEM_WINDOWS_GUI"])
        self.assertNotIn("jvm.dll", imported_dlls(pe))
        # The client's main runs on the main thread: room for the -Xss games ask.
        self.assertEqual(pe.OPTIONAL_HEADER.SizeOfStackReserve, 512 << 20)


class VersionAndStamp(unittest.TestCase):
    # File, product name and description of each deliverable.
    FILES = (("Tessvik.exe", "Tessvik", "Tessvik game launcher"),
             ("Quellink.dll", "Quellink", "Quellink Steam bridge"))

    def test_both_carry_the_version_and_the_configured_company_name(self):
        version = build_setting("CMAKE_PROJECT_VERSION")
        numbers = tuple(int(part) for part in version.split("."))
        for name, product, description in self.FILES:
            with self.subTest(name):
                pe = load(name)
                fixed = pe.VS_FIXEDFILEINFO[0]
                for ms, ls in ((fixed.FileVersionMS, fixed.FileVersionLS),
                               (fixed.ProductVersionMS, fixed.ProductVersionLS)):
                    self.assertEqual((ms >> 16, ms & 0xFFFF, ls >> 16, ls & 0xFFFF), numbers)
                self.assertEqual(version_strings(pe), {
                    "CompanyName": build_setting("TQ_COMPANY_NAME"), "FileDescription": description,
                    "FileVersion": version, "ProductVersion": version, "InternalName": product,
                    "ProductName": product, "OriginalFilename": name})

    def test_time_stamp_is_the_release_time_and_the_checksum_is_right(self):
        # A release is stamped with its commit's time (SOURCE_DATE_EPOCH), in
        # the header and the export directory alike; any other build with the
        # clock as the linker read it (once for each), never with zero.
        epoch = os.environ.get("SOURCE_DATE_EPOCH")
        for name, _product, _description in self.FILES:
            with self.subTest(name):
                pe = load(name)
                stamps = {pe.FILE_HEADER.TimeDateStamp, pe.DIRECTORY_ENTRY_EXPORT.struct.TimeDateStamp}
                self.assertNotIn(0, stamps)
                if epoch:
                    self.assertEqual(stamps, {int(epoch)})
                self.assertEqual(pe.OPTIONAL_HEADER.CheckSum, pe.generate_checksum())


class LauncherResources(unittest.TestCase):
    def setUp(self):
        self.pe = load("Tessvik.exe")

    def test_icon_group_holds_the_seven_sizes_and_each_image_is_present(self):
        groups = resources(self.pe, RT_GROUP_ICON)
        icons = resources(self.pe, RT_ICON)
        self.assertEqual(len(groups), 1, "one icon group")
        data = next(iter(groups.values()))
        reserved, kind, count = struct.unpack_from("<HHH", data, 0)
        self.assertEqual((reserved, kind), (0, 1))
        sizes = []
        for i in range(count):
            width, height, _colors, _reserved, _planes, bits, length, icon_id = \
                struct.unpack_from("<BBBBHHIH", data, 6 + 14 * i)
            width, height = width or 256, height or 256
            self.assertEqual(width, height)
            sizes.append(width)
            with self.subTest(size=width):
                self.assertEqual(bits, 32)
                self.assertIn(icon_id, icons)
                image = icons[icon_id]
                self.assertEqual(len(image), length)
                if image.startswith(b"\x89PNG"):
                    png_width, png_height = struct.unpack_from(">II", image, 16)
                    self.assertEqual((png_width, png_height), (width, width))
                else:
                    # A bitmap: its height counts the mask as well.
                    header_size, bmp_width, bmp_height = struct.unpack_from("<Iii", image, 0)
                    self.assertEqual(header_size, 40)
                    self.assertEqual((bmp_width, bmp_height), (width, 2 * width))
        self.assertEqual(sorted(sizes), [16, 24, 32, 48, 64, 128, 256])


class LauncherExports(unittest.TestCase):
    def test_only_the_gpu_preferences_are_exported_as_data_holding_1(self):
        pe = load("Tessvik.exe")
        values = {}
        for symbol in pe.DIRECTORY_ENTRY_EXPORT.symbols:
            self.assertTrue(symbol.name, "an export without a name")
            section = pe.get_section_by_rva(symbol.address)
            self.assertFalse(section.Characteristics & pefile.SECTION_CHARACTERISTICS["IMAGE_SCN_MEM_EXECUTE"],
                             f"{symbol.name} is not data")
            values[symbol.name.decode()] = pe.get_dword_at_rva(symbol.address)
        self.assertEqual(values, {"NvOptimusEnablement": 1, "AmdPowerXpressRequestHighPerformance": 1})


class Manifests(unittest.TestCase):
    def test_both_request_as_invoker(self):
        # Programs carry their manifest as resource 1, libraries as resource 2.
        for name, resource_id in (("Tessvik.exe", 1), ("Quellink.dll", 2)):
            with self.subTest(name):
                manifests = resources(load(name), RT_MANIFEST)
                self.assertEqual(list(manifests), [resource_id])
                levels = execution_level(manifests[resource_id])
                self.assertEqual(len(levels), 1)
                self.assertEqual(levels[0].get("level"), "asInvoker")
                self.assertIn(levels[0].get("uiAccess", "false"), ("false",))


    def test_launcher_asks_for_utf8_long_paths_dpi_awareness_and_common_controls_6(self):
        # Where Windows looks for them: application/windowsSettings, each in
        # the namespace of the Windows version that brought it.
        manifest = resources(load("Tessvik.exe"), RT_MANIFEST)[1]
        root = ElementTree.fromstring(manifest.decode("utf-8").lstrip("\ufeff"))
        settings = "{urn:schemas-microsoft-com:asm.v3}"
        path = f"{settings}application/{settings}windowsSettings/"
        for name, year, value in (
                ("activeCodePage", 2019, "UTF-8"), ("longPathAware", 2016, "true"),
                ("dpiAware", 2005, "true/PM"), ("dpiAwareness", 2016, "PerMonitorV2, PerMonitor, system")):
            with self.subTest(name):
                found = root.findall(f"{path}{{http://schemas.microsoft.com/SMI/{year}/WindowsSettings}}{name}")
                self.assertEqual([element.text for element in found], [value])
        dependency = "{urn:schemas-microsoft-com:asm.v1}dependency/*/*"
        self.assertEqual([element.attrib for element in root.findall(dependency)], [dict(
            type="win32", name="Microsoft.Windows.Common-Controls", version="6.0.0.0", language="*",
            processorArchitecture="amd64", publicKeyToken="6595b64144ccf1df")])


class BridgeExports(unittest.TestCase):
    def test_exports_are_exactly_the_33_jni_names_undecorated(self):
        # One Java method name a line; its JNI name writes "_" as "_1".
        with open(os.path.join(SOURCE, "bridge", "exports.txt")) as listing:
            methods = [line.strip() for line in listing if line.strip() and not line.startswith("#")]
        expected = {"Java_Pellux_Steam_1api_" + method.replace("_", "_1") for method in methods}
        self.assertEqual(len(expected), len(methods), "a name listed twice")
        self.assertEqual(len(expected), 33)
        pe = load("Quellink.dll")
        symbols = pe.DIRECTORY_ENTRY_EXPORT.symbols
        self.assertTrue(all(symbol.name for symbol in symbols), "an export without a name")
        names = {symbol.name.decode() for symbol in symbols}
        self.assertEqual(len(names), len(symbols))
        self.assertEqual(names - expected, set(), "exports that are no native method")
        self.assertEqual(expected - names, set(), "native methods not exported")

    def test_every_steam_import_exists_in_valves_library_and_the_simulator_of_each_generation(self):
        pe = load("Quellink.dll")
        steam = [entry for entry in pe.DIRECTORY_ENTRY_IMPORT
                 if entry.dll.decode().lower() == "steam_api64.dll"]
        self.assertEqual(len(steam), 1, "Quellink links steam_api64.dll at load time")
        imported = {item.name.decode() for item in steam[0].imports}
        self.assertTrue(imported)
        libraries = []
        for generation, valve, simulator in (("1.57", "steam-redist/1.57", "bin/steamsim-1.57"),
                                             ("1.60", "steam-redist", "bin/steamsim"),
                                             ("1.61", "steam-redist/1.61", "bin/steamsim-1.61")):
            libraries.append((f"Valve's library {generation}", os.path.join(BUILD, valve, "steam_api64.dll")))
            libraries.append((f"the simulator {generation}", os.path.join(BUILD, simulator, "steam_api64.dll")))
        for generation in ("1.56", "1.65", "newer"):  # no registry package ships Valve's library of these
            libraries.append((f"the simulator {generation}", os.path.join(BUILD, f"bin/steamsim-{generation}", "steam_api64.dll")))
        for label, path in libraries:
            with self.subTest(label):
                library = pefile.PE(path)
                exported = {s.name.decode() for s in library.DIRECTORY_ENTRY_EXPORT.symbols if s.name}
                self.assertEqual(imported - exported, set())
