"""The zips of the Windows build: the one CPack makes and, when
scripts/release-windows runs the tests, the release (TQ_RELEASE_ZIP). Each holds
the game tree as `cmake --install` lays it out, below one folder named for the
package."""
import os
import shutil
import subprocess
import tempfile
import time
import unittest
import zipfile

BUILD = os.environ["TQ_WINDOWS_BUILD"]
RELEASE_ZIP = os.environ.get("TQ_RELEASE_ZIP")
GAME_TREE = ["game/Tessvik.exe", "game/lib/steam-api.jar", "game/nativelibs/Quellink.dll",
             "game/steam_api64.dll"]


def cpack_zip():
    parent = os.path.join(BUILD, "wine-tests-tmp")
    os.makedirs(parent, exist_ok=True)
    out = tempfile.mkdtemp(prefix="package-", dir=parent)
    made = subprocess.run([shutil.which("cpack") or "cpack", "-G", "ZIP", "-B", out], cwd=BUILD,
                          stdout=subprocess.PIPE, stderr=subprocess.STDOUT, text=True)
    if made.returncode != 0:
        raise AssertionError(made.stdout)
    zips = [name for name in os.listdir(out) if name.endswith(".zip")]
    if len(zips) != 1:
        raise AssertionError(f"cpack made {zips}")
    return os.path.join(out, zips[0])


class Package(unittest.TestCase):
    def test_zip_holds_the_game_tree_with_valves_library_beside_the_launcher(self):
        packages = [("cpack", cpack_zip())] + ([("release", RELEASE_ZIP)] if RELEASE_ZIP else [])
        for label, path in packages:
            with self.subTest(label), zipfile.ZipFile(path) as package:
                folder = os.path.basename(path)[:-len(".zip")]
                self.assertRegex(folder, r"^TessvikQuellink-[0-9.]+-windows-x86_64$")
                files = [name for name in package.namelist() if not name.endswith("/")]
                self.assertEqual({name.split("/", 1)[0] for name in files}, {folder})
                self.assertEqual(sorted(name.split("/", 1)[1] for name in files), GAME_TREE)
                # Valve's library of the generation Quellink links against, not the simulator.
                with open(os.path.join(BUILD, "steam-redist", "steam_api64.dll"), "rb") as valve:
                    self.assertEqual(package.read(f"{folder}/game/steam_api64.dll"), valve.read())

    @unittest.skipUnless(RELEASE_ZIP, "scripts/release-windows checks its zip")
    def test_release_entries_are_sorted_and_dated_with_the_commit(self):
        # A zip's times count seconds in twos.
        epoch = int(os.environ["SOURCE_DATE_EPOCH"])
        commit_time = time.gmtime(epoch - epoch % 2)[:6]
        with zipfile.ZipFile(RELEASE_ZIP) as package:
            names = package.namelist()
            self.assertEqual(names, sorted(names))
            self.assertEqual({info.date_time for info in package.infolist()}, {commit_time})
            folder = names[0]
            with zipfile.ZipFile(package.open(folder + "game/lib/steam-api.jar")) as jar:
                self.assertEqual(jar.namelist()[:2], ["META-INF/", "META-INF/MANIFEST.MF"])
                self.assertEqual({info.date_time for info in jar.infolist()}, {commit_time})
