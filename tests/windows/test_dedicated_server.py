"""StartZarnDedicatedServerProcess's Windows half under Wine: the SteamExe value
under HKEY_LOCAL_MACHINE, then HKEY_CURRENT_USER, and CreateProcessA with the
address alone as the command line. A recorder program stands in for steam.exe.
"""
import os
import shutil
import time
import unittest

import wine

BUILD = os.environ["TQ_WINDOWS_BUILD"]
WINE = wine.Wine(BUILD)
BIN = os.path.join(BUILD, "bin", "wine-tests")
PROBE = os.path.join(BIN, "dedicated_server_probe.exe")
# The same in a process whose code page is UTF-8, as Tessvik.exe's is.
PROBE_IN_THE_LAUNCHER = os.path.join(BIN, "dedicated_server_probe_utf8.exe")
RECORDER = os.path.join(BIN, "argument_recorder.exe")

KEY = "SOFTWARE\\Valve\\Steam"
ROOTS = {"HKLM": "HKEY_LOCAL_MACHINE", "HKCU": "HKEY_CURRENT_USER"}


def failure_line(root):
    return "Failed to fetch steam exe path from : " + ROOTS[root] + "\\" + KEY


class DedicatedServerUnderWine(unittest.TestCase):
    def setUp(self):
        self.root = WINE.temp_dir("dedicated-server")
        self.clear_registry()

    def tearDown(self):
        self.clear_registry()

    def clear_registry(self):
        for root in ROOTS:
            WINE.run("reg", ["delete", root + "\\" + KEY, "/v", "SteamExe", "/f"])

    def set_steam_exe(self, root, value):
        done = WINE.run("reg", ["add", root + "\\" + KEY, "/v", "SteamExe", "/t", "REG_SZ",
                                "/d", value, "/f"])
        self.assertEqual(done.returncode, 0, done.stderr)

    def recorder(self, name):
        path = os.path.join(self.root, name)
        shutil.copy(RECORDER, path)
        return path

    def launch(self, app_id="480", probe=PROBE):
        done = WINE.run(probe, [app_id], cwd=self.root, timeout=120)
        self.assertEqual(done.returncode, 0, done.stderr)
        return done.stdout.decode("utf-8", "replace").splitlines()

    def recorded(self, exe):
        record = exe + ".record"
        deadline = time.monotonic() + 30
        while not os.path.exists(record) and time.monotonic() < deadline:
            time.sleep(0.1)
        self.assertTrue(os.path.exists(record), exe + " was not started")
        with open(record, encoding="utf-8", errors="replace") as f:
            return f.read().splitlines()

    def test_machine_value_first_without_a_word(self):
        machine = self.recorder("machine-steam.exe")
        user = self.recorder("user-steam.exe")
        self.set_steam_exe("HKLM", wine.windows_path(machine))
        self.set_steam_exe("HKCU", wine.windows_path(user))
        self.assertEqual(self.launch(), ["result=true"])
        # The address alone, no executable name in front, no console.
        self.assertEqual(self.recorded(machine), ["steam://rungameid/480", "no console"])
        self.assertFalse(os.path.exists(user + ".record"))

    def test_user_value_after_one_line_for_the_machine(self):
        user = self.recorder("user-steam.exe")
        self.set_steam_exe("HKCU", wine.windows_path(user))
        self.assertEqual(self.launch("4294967295"), [failure_line("HKLM"), "result=true"])
        self.assertEqual(self.recorded(user)[0], "steam://rungameid/4294967295")

    def test_neither_gives_two_lines_and_false(self):
        self.assertEqual(self.launch(), [failure_line("HKLM"), failure_line("HKCU"), "result=false"])

    def test_value_too_long_for_the_buffer_is_not_found(self):
        user = self.recorder("user-steam.exe")
        self.set_steam_exe("HKLM", "C:\\" + "x" * 300 + "\\steam.exe")
        self.set_steam_exe("HKCU", wine.windows_path(user))
        self.assertEqual(self.launch(), [failure_line("HKLM"), "result=true"])
        self.assertEqual(self.recorded(user)[0], "steam://rungameid/480")

    def test_steam_folder_named_in_any_language_inside_the_launchers_process(self):
        # Under a host of the system's code page (java.exe) such a name cannot
        # be passed, as before: the start fails without a word.
        for folder in ("\u0421\u0442\u0438\u043c", "\u84b8\u6c7d \U0001F3AE"):
            with self.subTest(folder=folder):
                os.makedirs(os.path.join(self.root, folder))
                steam = self.recorder(os.path.join(folder, "steam.exe"))
                self.set_steam_exe("HKLM", wine.windows_path(steam))
                self.assertEqual(self.launch(probe=PROBE_IN_THE_LAUNCHER), ["result=true"])
                self.assertEqual(self.recorded(steam), ["steam://rungameid/480", "no console"])
                os.remove(steam + ".record")
                self.assertEqual(self.launch(), ["result=false"])
                self.assertFalse(os.path.exists(steam + ".record"))

    def test_empty_value_counts_as_found_and_fails_quietly(self):
        user = self.recorder("user-steam.exe")
        self.set_steam_exe("HKLM", "")
        self.set_steam_exe("HKCU", wine.windows_path(user))
        self.assertEqual(self.launch(), ["result=false"])


if __name__ == "__main__":
    unittest.main()
