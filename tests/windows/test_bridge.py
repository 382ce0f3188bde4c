"""Quellink.dll under Wine, loaded as the JVM loads it: by full path from the
game's nativelibs directory, by a program in the game directory.

Where steam_api64.dll lies matters: Windows looks for a library's imports in
the executable's directory, then the system's directories (the current
directory is dropped once SetDllDirectory has been called, as the launcher
does), never in the directory of the library that imports it. So the game
tree keeps steam_api64.dll in game\\ beside Tessvik.exe.
"""
import os
import shutil
import unittest

import wine

BUILD = os.environ["TQ_WINDOWS_BUILD"]
WINE = wine.Wine(BUILD)
DRIVER = os.path.join(BUILD, "bin", "wine-tests", "quellink_driver.exe")
QUELLINK = os.path.join(BUILD, "bin", "Quellink.dll")
SIMULATOR = os.path.join(BUILD, "bin", "steamsim", "steam_api64.dll")
# The generations of Valve's library (SDK 1.57 and older, 1.58-1.60, 1.61 on), as
# Valve ships them and as the simulator plays them: one Quellink.dll for all.
GENERATIONS = {
    "1.57": (os.path.join(BUILD, "steam-redist", "1.57", "steam_api64.dll"),
             os.path.join(BUILD, "bin", "steamsim-1.57", "steam_api64.dll")),
    "1.60": (os.path.join(BUILD, "steam-redist", "steam_api64.dll"), SIMULATOR),
    "1.61": (os.path.join(BUILD, "steam-redist", "1.61", "steam_api64.dll"),
             os.path.join(BUILD, "bin", "steamsim-1.61", "steam_api64.dll")),
}


def game_tree(name, steam_library, steam_directory):
    root = WINE.temp_dir(name)
    game = os.path.join(root, "game")
    os.makedirs(os.path.join(game, "nativelibs"))
    shutil.copy(DRIVER, game)
    shutil.copy(QUELLINK, os.path.join(game, "nativelibs"))
    shutil.copy(steam_library, os.path.join(game, steam_directory))
    return root, game


class BridgeUnderWine(unittest.TestCase):
    def drive(self, name, steam_library, args):
        root, game = game_tree(name, steam_library, ".")
        # HOME for Valve's library, which may look for a Steam installation there.
        completed = WINE.run(os.path.join(game, "quellink_driver.exe"), args, cwd=root,
                             env={"HOME": root}, timeout=120)
        lines = completed.stdout.decode("utf-8", "replace").splitlines()
        checks = [line for line in lines if line.startswith(("PASS ", "FAIL "))]
        self.assertTrue(checks, completed.stderr.decode("utf-8", "replace"))
        for line in checks:
            with self.subTest(f"{name}: {line[5:].split(':')[0]}"):
                self.assertTrue(line.startswith("PASS "), line)
        self.assertEqual(completed.returncode, 0, completed.stderr.decode("utf-8", "replace"))

    def test_exports_against_the_simulator_of_each_generation_beside_the_executable(self):
        for generation, (_valve, simulator) in GENERATIONS.items():
            self.drive(f"bridge-sim-{generation}", simulator, ["simulator", generation])

    def test_imports_resolve_in_valves_library_of_each_generation_beside_the_executable(self):
        for generation, (valve, _simulator) in GENERATIONS.items():
            self.drive(f"bridge-valve-{generation}", valve, ["valve"])

    def test_steam_library_beside_quellink_alone_is_not_found(self):
        root, game = game_tree("bridge-misplaced", SIMULATOR, "nativelibs")
        completed = WINE.run(os.path.join(game, "quellink_driver.exe"), ["simulator", "1.60"], cwd=root)
        # ERROR_MOD_NOT_FOUND: the import steam_api64.dll was not found.
        self.assertIn(b"FAIL Quellink.dll loads from nativelibs by full path: error 126",
                      completed.stdout)
