"""Tessvik.exe under Wine, in temporary game trees, with the fake jvm.dll.

Each tree is <tmp>/game (Tessvik.exe, jars, lib, LaunchConfig.ini) and
<tmp>/runtime holding the fake runtime library somewhere below it. The fake
writes what it was asked to a record file (see tests/fakes/fake_jvm.cpp).
"""
import atexit
import os
import re
import shutil
import tempfile
import time
import unittest

import wine

BUILD = os.environ["TQ_WINDOWS_BUILD"]
WINE = wine.Wine(BUILD)
TESSVIK = os.path.join(BUILD, "bin", "Tessvik.exe")
FAKE_JVM = os.path.join(BUILD, "bin", "wine-tests", "jvm.dll")
MAIN_CLASS = "com/zarnhall/client/launcherfx/ZarnMain"
# What Wine's command processor writes for PAUSE (no line end).
PAUSE_PROMPT = "Press any key to continue... "

DEFAULT_INI = (b"[Runtime]\r\nOverrideDefaultJavaPath=false\r\nJavaPath=\r\n"
               b"[Memory]\r\nInitialHeap=512m\r\nMaxHeapSize=2048m\r\n"
               b"[VMParams]\r\nJvmParam0=-XX:+AggressiveOpts\r\n")


class Run:
    def __init__(self, completed, record_path):
        self.status = completed.returncode
        self.stdout = completed.stdout
        self.stderr = completed.stderr
        self.record = []
        if os.path.exists(record_path):
            with open(record_path, "rb") as record:
                self.record = record.read().decode("utf-8", "surrogateescape").split("\n")[:-1]

    def out_lines(self):
        """Standard output as lines; every line must end in CR LF. The prompt
        of the command processor's PAUSE, when it ran, is not a line."""
        text = self.stdout.decode("utf-8", "surrogateescape")
        lines = text.split("\r\n")
        assert lines[-1] in ("", PAUSE_PROMPT), text
        return lines[:-1]

    def paused(self):
        return self.stdout.endswith(PAUSE_PROMPT.encode())

    def recorded(self, key):
        return [line[len(key) + 1:] for line in self.record if line.startswith(key + " ")]

    def options(self):
        """The VM's options as the launcher assembled them: without the
        -Dsun.java.command that it adds last, as java does."""
        return [option for option in self.recorded("option")
                if not option.startswith("-Dsun.java.command=")]

    def arguments(self):
        """The bytes of each element of the String[] that main received."""
        with_index = [line for line in self.record if line.startswith("argument[")]
        return [line.split("] ", 1)[1].encode("utf-8", "surrogateescape") for line in with_index]


# Folder names beyond the prefix's system code page (1252): Cyrillic, CJK,
# and a character beyond the BMP.
FOLDER_NAMES = ("\u0418\u0433\u0440\u0430", "\u30b2\u30fc\u30e0", "\U0001F3AEzarn",
                "\u0418\u0433\u0440\u0430 \u6e38\u620f \U0001F3AE")


def modified_utf8(text):
    """text as NewStringUTF takes it: each UTF-16 code unit encoded on its own."""
    units = text.encode("utf-16-le")
    return "".join(chr(int.from_bytes(units[i:i + 2], "little"))
                   for i in range(0, len(units), 2)).encode("utf-8", "surrogatepass")


class GameTree:
    def __init__(self, name, runtime=("bin", "server"), short=False, folder=None, launcher=None):
        if short:
            self.root = tempfile.mkdtemp(prefix="tq-", dir="/tmp")
            atexit.register(shutil.rmtree, self.root, True)
        else:
            self.root = WINE.temp_dir(name)
        if folder is not None:
            # The game and its runtime in a folder of that name.
            self.root = os.path.join(self.root, folder)
        self.game = os.path.join(self.root, "game")
        os.makedirs(self.game)
        shutil.copy(TESSVIK if launcher is None else launcher, self.game)
        self.win_game = wine.windows_path(self.game)
        self.record_path = os.path.join(self.root, "record.txt")
        if runtime is not None:
            self.add_runtime(*runtime)

    def add_runtime(self, *parts, name="jvm.dll"):
        directory = os.path.join(self.root, "runtime", *parts)
        os.makedirs(directory, exist_ok=True)
        shutil.copy(FAKE_JVM, os.path.join(directory, name))
        return directory

    def file(self, relative, content=b""):
        path = os.path.join(self.game, relative)
        os.makedirs(os.path.dirname(path), exist_ok=True)
        with open(path, "wb") as out:
            out.write(content)
        return path

    def settings(self, text):
        self.file("LaunchConfig.ini", text.encode())

    def run(self, *args, **env):
        if os.path.exists(self.record_path):
            os.remove(self.record_path)
        full_env = {"FAKE_JVM_RECORD": self.record_path}
        full_env.update(env)
        completed = WINE.run(os.path.join(self.game, "Tessvik.exe"), args, env=full_env,
                             cwd=self.root)
        return Run(completed, self.record_path)

    def runtime_path(self, *parts):
        """The runtime path as the launcher reports it: never normalised."""
        return self.win_game + "\\..\\runtime\\" + "\\".join(parts + ("jvm.dll",))


class FirstLaunch(unittest.TestCase):
    """A tree without LaunchConfig.ini: the file is created and the VM started."""

    @classmethod
    def setUpClass(cls):
        cls.tree = GameTree("first")
        cls.tree.file("client.jar")
        cls.launch = cls.tree.run()

    def test_messages_in_order_on_standard_output_and_exit_status_0(self):
        game = self.tree.win_game
        self.assertEqual(self.launch.out_lines(), [
            "Starting: ",
            "Error: " + game + "\\LaunchConfig.ini: cannot open file",
            game,
            "Runtime path: " + self.tree.runtime_path("bin", "server"),
            "Working Directory: " + game,
            "Number of options: 7",
            "Create java VM!",
        ])
        self.assertEqual(self.launch.stderr, b"")
        self.assertEqual(self.launch.status, 0)
        self.assertFalse(self.launch.paused())

    def test_default_settings_file_is_written_with_cr_lf_line_ends(self):
        with open(os.path.join(self.tree.game, "LaunchConfig.ini"), "rb") as ini:
            self.assertEqual(ini.read(), DEFAULT_INI)

    def test_vm_gets_the_fixed_options_then_the_default_vm_parameter(self):
        game = self.tree.win_game
        self.assertEqual(self.launch.record[0],
                         "JNI_CreateJavaVM version=0x10008 nOptions=8 ignoreUnrecognized=0")
        self.assertEqual(self.launch.recorded("option")[-1],
                         "-Dsun.java.command=com.zarnhall.client.launcherfx.ZarnMain")
        self.assertEqual(self.launch.options(), [
            "-Dworkdir=" + game,
            "-Djava.class.path=" + game + "\\client.jar;" + game + "\\internal-pack;" +
            game + "\\launcher-data",
            "-Djava.library.path=" + game + "\\nativelibs",
            "-Xmn256M", "-Xms512m", "-Xmx2048m", "-XX:+AggressiveOpts",
        ])

    def test_runtime_bin_directory_is_registered_for_the_runtimes_own_libraries(self):
        self.assertEqual(self.launch.recorded("dll-directory"),
                         [self.tree.win_game + "\\..\\runtime\\bin"])

    def test_main_is_called_with_the_program_as_invoked_and_the_vm_destroyed(self):
        self.assertIn("GetStaticMethodID " + MAIN_CLASS + ".main([Ljava/lang/String;)V",
                      self.launch.record)
        arguments = self.launch.arguments()
        self.assertEqual(len(arguments), 1)
        self.assertTrue(arguments[0].lower().endswith(b"\\game\\tessvik.exe"), arguments[0])
        self.assertEqual(self.launch.record[-2:], ["DetachCurrentThread", "DestroyJavaVM"])

    def test_second_launch_reads_the_file_and_leaves_it_alone(self):
        ini = os.path.join(self.tree.game, "LaunchConfig.ini")
        before = os.stat(ini).st_mtime_ns
        again = self.tree.run()
        self.assertNotIn("Error: ", "".join(again.out_lines()))
        self.assertEqual(again.options()[-1], "-XX:+AggressiveOpts")
        self.assertEqual(os.stat(ini).st_mtime_ns, before)
        with open(ini, "rb") as content:
            self.assertEqual(content.read(), DEFAULT_INI)


class Arguments(unittest.TestCase):
    def test_arguments_reach_main_in_modified_utf8(self):
        tree = GameTree("arguments")
        run = tree.run("with blank", "caf\u00e9", "\u20ac\u0141", "\U0001F600", "")
        self.assertEqual(run.status, 0)
        self.assertEqual(run.arguments()[1:], [
            b"with blank",
            b"caf\xc3\xa9",
            b"\xe2\x82\xac\xc5\x81",
            # A character outside the BMP: each surrogate on its own, 3 bytes each.
            b"\xed\xa0\xbd\xed\xb8\x80",
            b"",
        ])


def launcher_of_an_older_windows():
    """Tessvik.exe as Windows before 10 1903 runs it: the manifest's UTF-8 code
    page is not honoured (an unknown value in its place is ignored)."""
    path = os.path.join(WINE.temp_dir("older-windows"), "Tessvik.exe")
    with open(TESSVIK, "rb") as original:
        image = original.read()
    entry = b">UTF-8</activeCodePage>"
    assert image.count(entry) == 1, "the manifest asks for the UTF-8 code page"
    with open(path, "wb") as copy:
        copy.write(image.replace(entry, b">XXX-8</activeCodePage>"))
    return path


class FolderNames(unittest.TestCase):
    """A game folder named in any language: the launcher's narrow strings,
    and the VM's in its process, are UTF-8."""

    def test_launcher_finds_itself_its_runtime_and_class_path_and_hands_every_option_in_utf8(self):
        for folder in FOLDER_NAMES:
            with self.subTest(folder=folder):
                tree = GameTree("folder", folder=folder)
                tree.file("client.jar")
                tree.file("lib/util.jar")
                # A value in the system's code page beside one in UTF-8.
                tree.file("LaunchConfig.ini",
                          b"[VMParams]\r\nold=-Dname=Jos\xe9\r\nnew=-Dname=Jos\xc3\xa9\r\n")
                run = tree.run()
                game = tree.win_game
                self.assertEqual(run.out_lines(), [
                    "Starting: ", game, "Runtime path: " + tree.runtime_path("bin", "server"),
                    "Working Directory: " + game, "Number of options: 8", "Create java VM!"])
                self.assertEqual(run.status, 0)
                self.assertEqual(run.recorded("code-page"), ["65001"])
                self.assertEqual(run.options(), [
                    "-Dworkdir=" + game,
                    "-Djava.class.path=" + ";".join(game + entry for entry in (
                        "\\client.jar", "\\lib\\util.jar", "\\internal-pack", "\\launcher-data")),
                    "-Djava.library.path=" + game + "\\nativelibs",
                    "-Xmn256M", "-Xms512m", "-Xmx2048m", "-Dname=Jos\u00e9", "-Dname=Jos\u00e9"])
                self.assertEqual(run.recorded("module"),
                                 [wine.windows_path(os.path.join(tree.root, "runtime", "bin", "server",
                                                                 "jvm.dll"))])
                self.assertIn(modified_utf8(folder), run.arguments()[0])

    def test_settings_in_the_systems_code_page_are_read_in_it(self):
        # JavaPath and a VMParams value saved in the system's code page (1252
        # here) before the launcher's was UTF-8.
        tree = GameTree("legacy-settings", runtime=None)
        other = tree.add_runtime("..", "Caf\u00e9")
        tree.file("LaunchConfig.ini", (
            "[Runtime]\r\nOverrideDefaultJavaPath=true\r\nJavaPath=%s\r\n"
            "[VMParams]\r\nname=-Dname=Jos\u00e9\r\n" % wine.windows_path(other)).encode("cp1252"))
        run = tree.run()
        self.assertIn("Runtime path: " + wine.windows_path(other) + "\\jvm.dll", run.out_lines())
        self.assertEqual(run.status, 0)
        self.assertEqual(run.options()[-1], "-Dname=Jos\u00e9")

    def test_an_older_windows_names_the_cause_and_a_name_in_its_code_page_works_as_before(self):
        launcher = launcher_of_an_older_windows()
        tree = GameTree("older-windows-cyrillic", folder=FOLDER_NAMES[0], launcher=launcher)
        run = tree.run()
        self.assertEqual(run.out_lines(), ["Starting: ", (
            "The game folder's path holds characters that this system's code page cannot "
            "represent: update to Windows 10 version 1903 or later, or move the game to a folder "
            "named in the system's language.")])
        self.assertEqual(run.status, 1)
        self.assertEqual(run.record, [])

        tree = GameTree("older-windows-latin", folder="Caf\u00e9", launcher=launcher)
        tree.file("LaunchConfig.ini", b"[VMParams]\r\nname=-Dname=Jos\xe9\r\n")
        run = tree.run()
        self.assertEqual(run.status, 0)
        self.assertEqual(run.recorded("code-page"), ["1252"])
        # The process's code page is the system's: every text stays in it.
        with open(tree.record_path, "rb") as record:
            options = [line for line in record.read().split(b"\n") if line.startswith(b"option ")
                       and not line.startswith(b"option -Dsun.java.command=")]
        self.assertEqual(options[0], b"option -Dworkdir=" + tree.win_game.encode("cp1252"))
        self.assertEqual(options[-1], b"option -Dname=Jos\xe9")


class Settings(unittest.TestCase):
    def test_vm_parameters_in_file_order_then_the_verbose_switches(self):
        tree = GameTree("settings")
        tree.settings("[Memory]\nInitialHeap=1g\n[VMParams]\nb=-Dfirst=1\na=-Dsecond=2\n"
                      "[Debug]\nVerboseJni=1\nVerboseGC=3\nVerboseClass=1\n")
        run = tree.run()
        self.assertIn("Number of options: 11", run.out_lines())
        self.assertEqual(run.options()[4:], [
            "-Xms1g", "-Xmx2048m", "-Dfirst=1", "-Dsecond=2",
            "-verbose:jni", "-verbose:gc", "-verbose:class",
        ])

    def test_override_takes_the_named_directory_even_with_a_default_runtime(self):
        tree = GameTree("override")
        other = tree.add_runtime("..", "..", "elsewhere")
        tree.settings("[Runtime]\nOverrideDefaultJavaPath=true\nJavaPath=%s\n"
                      % wine.windows_path(other))
        run = tree.run()
        self.assertIn("Runtime path: " + wine.windows_path(other) + "\\jvm.dll", run.out_lines())
        self.assertEqual(run.status, 0)
        self.assertTrue(run.recorded("module")[0].endswith("\\elsewhere\\jvm.dll"))

    def test_byte_order_mark_is_skipped_and_a_rejected_file_is_kept_with_its_line_ends(self):
        tree = GameTree("rejected")
        tree.file("LaunchConfig.ini", b"\xef\xbb\xbf[Memory]\r\nInitialHeap=1g\r\n")
        run = tree.run()
        self.assertNotIn("Error: ", "".join(run.out_lines()))
        self.assertEqual(run.options()[4], "-Xms1g")

        garbled = b"[Memory]\r\nInitialHeap\r\n"
        ini = tree.file("LaunchConfig.ini", garbled)
        win_ini = tree.win_game + "\\LaunchConfig.ini"
        run = tree.run()
        self.assertEqual(run.out_lines()[1:3], [
            "Error: " + win_ini + "(2): '=' character not found in line",
            "The rejected file is kept as " + win_ini + ".rejected",
        ])
        with open(ini + ".rejected", "rb") as kept:
            self.assertEqual(kept.read(), garbled)
        with open(ini, "rb") as replaced:
            self.assertEqual(replaced.read(), DEFAULT_INI)

        # Byte for byte: lone line feeds stay, and a Ctrl-Z ends the text
        # that is parsed, not the copy.
        garbled = b"[Memory]\nInitialHeap\n\x1a[after Ctrl-Z]\r\n"
        tree.file("LaunchConfig.ini", garbled)
        run = tree.run()
        self.assertEqual(run.out_lines()[1],
                         "Error: " + win_ini + "(2): '=' character not found in line")
        with open(ini + ".rejected", "rb") as kept:
            self.assertEqual(kept.read(), garbled)

    def test_a_settings_file_over_1_mib_is_renamed_unread_and_replaced(self):
        tree = GameTree("large-settings")
        ini = tree.file("LaunchConfig.ini")
        os.truncate(ini, 5 << 30)  # sparse: five gigabytes a damaged disk could show
        inode = os.stat(ini).st_ino
        win_ini = tree.win_game + "\\LaunchConfig.ini"
        run = tree.run()
        self.assertEqual(run.out_lines()[1:3], [
            "Error: " + win_ini + ": larger than 1 MiB",
            "The rejected file is kept as " + win_ini + ".rejected",
        ])
        self.assertEqual(os.stat(ini + ".rejected").st_ino, inode)
        with open(ini, "rb") as replaced:
            self.assertEqual(replaced.read(), DEFAULT_INI)

    def test_aggressive_opts_is_left_out_for_a_runtime_whose_release_file_says_java_17(self):
        tree = GameTree("java17")
        with open(os.path.join(tree.root, "runtime", "release"), "w") as release:
            release.write('IMPLEMENTOR="x"\nJAVA_VERSION="17.0.15"\n')
        run = tree.run()
        self.assertIn("Number of options: 6", run.out_lines())
        self.assertNotIn("-XX:+AggressiveOpts", run.options())
        with open(os.path.join(tree.game, "LaunchConfig.ini"), "rb") as ini:
            self.assertEqual(ini.read(), DEFAULT_INI)

    def test_override_looks_only_in_the_named_directory(self):
        tree = GameTree("override-deep")
        tree.add_runtime("..", "..", "elsewhere", "bin")
        tree.settings("[Runtime]\nOverrideDefaultJavaPath=1\nJavaPath=%s\n"
                      % wine.windows_path(os.path.join(tree.root, "elsewhere")))
        run = tree.run()
        self.assertEqual(run.out_lines()[-3:], [
            "Unable to find jvm.dll at specified location.",
            "Looked in: " + wine.windows_path(os.path.join(tree.root, "elsewhere")),
            "Failed to find jvm installation."])
        self.assertEqual(run.status, 1)
        self.assertEqual(run.record, [])


class RuntimeSearch(unittest.TestCase):
    def test_runtime_directly_in_the_runtime_directory(self):
        tree = GameTree("flat", runtime=())
        run = tree.run()
        self.assertIn("Runtime path: " + tree.runtime_path(), run.out_lines())
        self.assertEqual(run.status, 0)

    def test_name_must_match_in_letter_case_and_directories_are_searched_not_taken(self):
        tree = GameTree("letter-case", runtime=None)
        tree.add_runtime("upper", name="JVM.DLL")
        tree.add_runtime("jvm.dll")  # a directory named jvm.dll holding jvm.dll
        run = tree.run()
        self.assertIn("Runtime path: " + tree.runtime_path("jvm.dll"), run.out_lines())

    def test_first_match_in_depth_first_listing_order_wins(self):
        # Listed as NTFS lists them (by name, without regard to case; Wine
        # does the same): a, then B. Depth-first search meets a\deeper\jvm.dll
        # first; breadth-first would take B\jvm.dll.
        tree = GameTree("depth-first", runtime=None)
        tree.add_runtime("B")
        tree.add_runtime("a", "deeper")
        run = tree.run()
        self.assertIn("Runtime path: " + tree.runtime_path("a", "deeper"), run.out_lines())

    def test_runtime_path_longer_than_260_bytes_is_not_found_and_the_launch_fails_cleanly(self):
        # The ANSI directory search of Windows stops at 260 bytes (MAX_PATH).
        tree = GameTree("long", runtime=None)
        parts = tuple("directory-%02d-of-a-deeply-nested-runtime" % i for i in range(7))
        tree.add_runtime(*parts, "bin", "server")
        self.assertGreater(len(tree.runtime_path(*parts, "bin", "server")), 260)
        run = tree.run()
        self.assertEqual(run.out_lines()[-1], "Failed to find jvm installation.")
        self.assertEqual(run.status, 1)
        self.assertEqual(run.record, [])

    def test_runtime_path_just_below_260_bytes_is_found_and_loaded(self):
        tree = GameTree("near-limit", runtime=None)
        base = len(tree.runtime_path("bin", "server"))
        # One more directory level that brings the runtime path to 259 bytes.
        filler = "x" * (259 - base - 1)
        tree.add_runtime(filler, "bin", "server")
        expected = tree.runtime_path(filler, "bin", "server")
        self.assertEqual(len(expected), 259)
        run = tree.run()
        self.assertIn("Runtime path: " + expected, run.out_lines())
        self.assertEqual(run.status, 0)
        self.assertTrue(run.recorded("module"), "the fake runtime was loaded")

    def test_no_runtime_fails_with_status_1_before_the_working_directory(self):
        tree = GameTree("missing", runtime=None)
        run = tree.run()
        lines = run.out_lines()
        self.assertEqual(lines[2:], [tree.win_game, "Failed to find jvm installation."])
        self.assertEqual(run.stderr, b"")
        self.assertEqual(run.status, 1)
        # Output goes to a pipe, so the pause stands (no message box).
        self.assertTrue(run.paused())

    def test_runtime_that_does_not_load_is_reported_on_standard_error(self):
        tree = GameTree("broken", runtime=None)
        directory = os.path.join(tree.root, "runtime", "bin", "server")
        os.makedirs(directory)
        with open(os.path.join(directory, "jvm.dll"), "wb") as broken:
            broken.write(b"not a library")
        run = tree.run()
        self.assertEqual(run.out_lines()[-1], "Runtime path: " + tree.runtime_path("bin", "server"))
        # Then the library and the system's reason (FormatMessage's text).
        lines = run.stderr.decode().split("\r\n")
        self.assertEqual(lines[0], "Failed to load jvm.dll")
        self.assertTrue(lines[1].startswith(tree.runtime_path("bin", "server") + ": "), lines[1])
        self.assertEqual(run.status, 1)


class ClassPath(unittest.TestCase):
    def test_jars_as_the_windows_search_selects_them_and_every_library_file(self):
        tree = GameTree("class-path")
        for name in ("client.jar", "Other.JAR", "notes.jarx", "readme.txt", "lib/util.jar",
                     "lib/data.txt", "lib/sub/hidden.jar", "folder.jar/inner.jar"):
            tree.file(name)
        run = tree.run()
        game = tree.win_game
        option = run.options()[1]
        entries = option[len("-Djava.class.path="):].split(";")
        self.assertEqual(entries[0], game + "\\client.jar")
        self.assertEqual(entries[-2:], [game + "\\internal-pack", game + "\\launcher-data"])
        # "*.jar" matches without regard to letter case, and, as on Windows,
        # a longer extension that begins with "jar".
        self.assertEqual(sorted(entries[1:3]), sorted([game + "\\Other.JAR", game + "\\notes.jarx"]))
        self.assertEqual(sorted(entries[3:5]), sorted([game + "\\lib\\util.jar", game + "\\lib\\data.txt"]))
        self.assertEqual(len(entries), 7)


    def test_a_game_folder_named_with_a_semicolon_gives_entries_relative_to_it(self):
        # No Java runtime runs from below such a folder: the game names one
        # elsewhere (reached through "..", which leaves the folder).
        tree = GameTree("Zarnhall; Deluxe")
        for name in ("client.jar", "lib/util.jar", "lib/old;util.jar"):
            tree.file(name)
        run = tree.run()
        self.assertEqual(run.out_lines()[-1], (
            "The Java runtime cannot run from a path that holds ';' (%s): install the game in a "
            "folder whose path has no ';'." % tree.runtime_path("bin", "server")))
        self.assertEqual(run.status, 1)
        other = tree.add_runtime("..", "..", "runtime-beside-a-semicolon")
        tree.settings("[Runtime]\nOverrideDefaultJavaPath=true\nJavaPath=%s\n"
                      % wine.windows_path(other))
        run = tree.run()
        self.assertIn("Left off the class path, its name holds ';': " + tree.win_game +
                      "\\lib\\old;util.jar", run.out_lines())
        options = run.options()
        self.assertEqual(options[1],
                         "-Djava.class.path=client.jar;lib\\util.jar;internal-pack;launcher-data")
        self.assertEqual(options[2], "-Djava.library.path=nativelibs")
        self.assertEqual(run.status, 0)

    def test_main_jar_is_found_by_the_windows_search_whatever_its_letter_case(self):
        tree = GameTree("main-jar-case")
        tree.file("a.jar")
        tree.file("Client.JAR")
        run = tree.run()
        entries = run.options()[1][len("-Djava.class.path="):].split(";")
        self.assertEqual(entries[:2], [tree.win_game + "\\Client.JAR", tree.win_game + "\\a.jar"])


class RedirectedOutput(unittest.TestCase):
    def test_the_vms_and_the_clients_output_reach_it_unchanged(self):
        tree = GameTree("vm-output")
        run = tree.run(FAKE_JVM_SAY="a VM warning", FAKE_JVM_CLIENT_LINES="3")
        self.assertEqual(run.out_lines()[-4:], ["Create java VM!", "client line 0", "client line 1",
                                                "client line 2"])
        self.assertEqual(run.stderr, b"a VM warning\r\n")
        self.assertEqual(run.status, 0)
        # Only the options of the settings: no hook for a box nobody needs.
        self.assertEqual(run.record[0], "JNI_CreateJavaVM version=0x10008 nOptions=8 ignoreUnrecognized=0")


class VmFailures(unittest.TestCase):
    def test_vm_that_refuses_creation(self):
        tree = GameTree("refused")
        run = tree.run(FAKE_JVM_REFUSE="1")
        self.assertEqual(run.out_lines()[-1], "Create java VM!")
        self.assertEqual(run.stderr, b"Failed to create Java VM (error -6)\r\n")
        self.assertEqual(run.status, 1)
        self.assertFalse(run.paused(), "a failure after the VM start does not pause")
        self.assertEqual(run.record[-1], "refused")

    def test_missing_main_class_destroys_the_vm_and_fails(self):
        tree = GameTree("no-main")
        run = tree.run(FAKE_JVM_MISSING_CLASS=MAIN_CLASS)
        self.assertEqual(run.out_lines()[-1], "Create java VM!")
        self.assertIn(b"java.lang.NoClassDefFoundError: " + MAIN_CLASS.encode(), run.stderr)
        self.assertNotIn("GetStaticMethodID", "\n".join(run.record))
        self.assertEqual(run.record[-1], "DestroyJavaVM")
        self.assertEqual(run.status, 1)


class ClassDataSharing(unittest.TestCase):
    @staticmethod
    def sharing_tree(name, java_version):
        """A game with sharing on, a runtime of java_version with its default
        archive, and a LOCALAPPDATA of its own (tree.local)."""
        tree = GameTree(name)
        tree.file("client.jar")
        with open(os.path.join(tree.root, "runtime", "release"), "w") as release:
            release.write('JAVA_VERSION="%s"\n' % java_version)
        with open(os.path.join(tree.root, "runtime", "bin", "server", "classes.jsa"), "wb") as base:
            base.write(b"the runtime's default archive")
        tree.settings("[Runtime]\nClassDataSharing=1\n")
        tree.local = os.path.join(tree.root, "AppData", "Local")
        os.makedirs(tree.local)
        return tree

    @staticmethod
    def launch(tree):
        return tree.run(LOCALAPPDATA=wine.windows_path(tree.local))

    @staticmethod
    def local_directory(tree, path):
        """The Linux directory of a file below the tree's LOCALAPPDATA, and the file's name."""
        directory, name = path[len(wine.windows_path(tree.local)) + 1:].rsplit("\\", 1)
        return os.path.join(tree.local, *directory.split("\\")), name

    def test_archive_below_the_local_application_data_and_read_only_leftovers_go(self):
        tree = self.sharing_tree("sharing", "21")
        first = self.launch(tree)
        options = first.options()
        lines = [line for line in first.out_lines() if line.startswith("Class data sharing")]
        self.assertRegex(lines[0], "^Class data sharing: writing " +
                         re.escape(wine.windows_path(tree.local)) +
                         r"\\Tessvik\\" + re.escape(os.path.basename(tree.root)) +
                         r"-[0-9a-f]{16}\\classes-[0-9a-f]{16}\.jsa$")
        archive = lines[0][len("Class data sharing: writing "):]
        # The VM writes under a name of its own, named as the archive once the
        # process ended well; the VM gets no hook of the launcher's.
        self.assertRegex(options[-1],
                         "^-XX:ArchiveClassesAtExit=" + re.escape(archive) + r"\.part-[0-9a-f]+$")
        # Before sharing's options, the crash report's, into the same game
        # folder's crashes folder.
        crashes = re.escape(archive.rsplit("\\", 1)[0] + "\\crashes\\")
        self.assertRegex(options[-3],
                         "^-XX:ErrorFile=" + crashes + r"hs_err_\d{8}-\d{6}_pid%p\.log$")
        self.assertRegex(options[-2],
                         "^-XX:ReplayDataFile=" + crashes + r"replay_\d{8}-\d{6}_pid%p\.log$")
        directory, name = self.local_directory(tree, archive)
        # This VM writes no archive: nothing of the write is left, and the
        # next launch tries again.
        kept = [name + ".lock", "crashes", "game-directory"]
        self.assertEqual(sorted(os.listdir(directory)), kept)
        # Read-only, as the VM writes its archives: an older one, and a damaged
        # one under the current name.
        for leftover in ("classes-0123456789abcdef.jsa", name):
            path = os.path.join(directory, leftover)
            with open(path, "wb") as out:
                out.write(b"not an archive")
            os.chmod(path, 0o444)
        second = self.launch(tree)
        self.assertEqual(second.status, 0)
        # The same options but for the launch time in the crash files' names
        # and the name the VM writes under.
        def alike(run):
            return [re.sub(r"_\d{8}-\d{6}_pid|\.part-[0-9a-f]+$", "", option)
                    for option in run.options()]
        self.assertEqual(alike(second), alike(first))
        self.assertIn("Class data sharing: writing " + archive, second.out_lines())
        self.assertEqual(sorted(os.listdir(directory)), kept)

    def test_java_25_records_the_cache_and_a_detached_launcher_assembles_it(self):
        tree = self.sharing_tree("aot", "25")
        first = self.launch(tree)
        self.assertEqual(first.status, 0)
        lines = [line for line in first.out_lines() if line.startswith("Class data sharing")]
        self.assertEqual(len(lines), 1, first.out_lines())
        self.assertRegex(lines[0], "^Class data sharing: recording " +
                         re.escape(wine.windows_path(tree.local)) +
                         r"\\Tessvik\\" + re.escape(os.path.basename(tree.root)) +
                         r"-[0-9a-f]{16}\\classes-[0-9a-f]{16}\.aot$")
        cache = lines[0][len("Class data sharing: recording "):]
        self.assertIn("-XX:AOTConfiguration=" + cache + ".aotconf.part", first.options())
        directory, name = self.local_directory(tree, cache)
        # The runtime has no java.exe: the launcher, started again detached,
        # assembles the cache, tries it, and names it once whole.
        for _ in range(600):
            if os.path.exists(os.path.join(directory, name + ".sum")):
                break
            time.sleep(0.1)
        with open(os.path.join(directory, name), "rb") as assembled:
            self.assertEqual(assembled.read(), b"an ahead-of-time cache")
        second = self.launch(tree)
        self.assertEqual(second.status, 0)
        self.assertIn("Class data sharing: using " + cache, second.out_lines())
        self.assertIn("-XX:AOTCache=" + cache, second.options())
