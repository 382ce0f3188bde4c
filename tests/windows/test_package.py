"""The zip that CPack makes of the Windows build: the game tree as
`cmake --install` lays it out, below one folder named for the package."""
import os
import shutil
import subprocess
import tempfile
import unittest
import zipfile

BUILD = os.environ["TQ_WINDOWS_BUILD"]
GAME_TREE = ["game/Tessvik.exe", "game/lib/steam-api.jar", "game/nativelibs/Quellink.dll",
             "game/steam_api64.dll"]


class Package(unittest.TestCase):
    def test_zip_holds_the_game_tree_with_valves_library_beside_the_launcher(self):
        parent = os.path.join(BUILD, "wine-tests-tmp")
        os.makedirs(parent, exist_ok=True)
        out = tempfile.mkdtemp(prefix="package-", dir=parent)
        made = subprocess.run([shutil.which("cpack") or "cpack", "-G", "ZIP", "-B", out], cwd=BUILD,
                              stdout=subprocess.PIPE, stderr=subprocess.STDOUT, text=True)
        self.assertEqual(made.returncode, 0, made.stdout)
        zips = [name for name in os.listdir(out) if name.endswith(".zip")]
        self.assertEqual(len(zips), 1, zips)
        folder = zips[0][:-len(".zip")]
        with zipfile.ZipFile(os.path.join(out, zips[0])) as package:
            files = [name for name in package.namelist() if not name.endswith("/")]
            self.assertEqual({name.split("/", 1)[0] for name in files}, {folder})
            self.assertEqual(sorted(name.split("/", 1)[1] for name in files), GAME_TREE)
            # Valve's library of the generation Quellink links against, not the simulator.
            with open(os.path.join(BUILD, "steam-redist", "steam_api64.dll"), "rb") as valve:
                self.assertEqual(package.read(f"{folder}/game/steam_api64.dll"), valve.read())
