"""Running the Windows build under Wine, headless, for the tests of this folder.

One Wine prefix per build tree (<build>/wine-prefix), created once with
wineboot and then reused. Programs run with WINEDEBUG=-all and no display,
and without a LOCALAPPDATA unless a test names one.
"""
import os
import shutil
import subprocess
import tempfile

WINE = os.environ.get("TQ_WINE", "/usr/lib/wine/wine64")
WINESERVER = os.environ.get("TQ_WINESERVER", "/usr/lib/wine/wineserver")


class Wine:
    def __init__(self, build_dir):
        self.build_dir = os.path.abspath(build_dir)
        self.prefix = os.path.join(self.build_dir, "wine-prefix")
        self.env = dict(os.environ)
        self.env.update({
            "WINEPREFIX": self.prefix,
            "WINEDEBUG": "-all",
            "WINEARCH": "win64",
            # No first-run dialogs and no Mono or Gecko installers.
            "WINEDLLOVERRIDES": "mscoree,mshtml=",
        })
        self.env.pop("DISPLAY", None)
        self.env.pop("WAYLAND_DISPLAY", None)
        self.env.pop("LOCALAPPDATA", None)

    def boot(self):
        """Creates the prefix when it does not exist yet, and keeps its Wine
        server running until shutdown() so that each program starts quickly."""
        if not os.path.exists(os.path.join(self.prefix, "system.reg")):
            shutil.rmtree(self.prefix, ignore_errors=True)
            subprocess.run([WINE, "wineboot", "--init"], env=self.env, check=True,
                           stdin=subprocess.DEVNULL, stdout=subprocess.DEVNULL,
                           stderr=subprocess.DEVNULL, timeout=300)
            self.wait()
        # Exits at once with an error when the server already runs.
        subprocess.run([WINESERVER, "--persistent"], env=self.env, stderr=subprocess.DEVNULL)
        # The first program of a session starts Wine's background services,
        # which would inherit a test's output pipes and hold them open.
        subprocess.run([WINE, "cmd", "/c", "exit"], env=self.env, stdin=subprocess.DEVNULL,
                       stdout=subprocess.DEVNULL, stderr=subprocess.DEVNULL, timeout=120)
        # The session's start gives every program the user's LOCALAPPDATA,
        # the launcher's state and cache directory: taken out of the session,
        # a launch adds no crash report options and writes nothing in the
        # prefix's user folders, and a test that wants the directory names
        # its own in the environment. The next session has it again.
        subprocess.run([WINE, "reg", "delete", r"HKCU\Volatile Environment", "/v", "LOCALAPPDATA",
                        "/f"], env=self.env, stdin=subprocess.DEVNULL, stdout=subprocess.DEVNULL,
                       stderr=subprocess.DEVNULL, timeout=120)

    def wait(self):
        """Waits until every process of the prefix has ended."""
        subprocess.run([WINESERVER, "-w"], env=self.env, timeout=120)

    def shutdown(self):
        subprocess.run([WINESERVER, "-k"], env=self.env, stderr=subprocess.DEVNULL)

    def run(self, program, args=(), env=None, cwd=None, timeout=60, stdout=subprocess.PIPE):
        """Runs a Windows program; returns the CompletedProcess with bytes output.

        Arguments are passed on as they are; Wine builds the Windows command
        line from them.
        """
        full_env = dict(self.env)
        if env:
            full_env.update(env)
        return subprocess.run([WINE, program, *args], env=full_env, cwd=cwd,
                              stdin=subprocess.DEVNULL, stdout=stdout,
                              stderr=subprocess.PIPE, timeout=timeout)

    def temp_dir(self, name):
        """A fresh directory inside the build tree (so inside Wine's Z: drive)."""
        parent = os.path.join(self.build_dir, "wine-tests-tmp")
        os.makedirs(parent, exist_ok=True)
        return tempfile.mkdtemp(prefix=name + "-", dir=parent)


def windows_path(path):
    """The Windows path under which Wine shows a Linux path (drive Z: is /)."""
    return "Z:" + os.path.abspath(path).replace("/", "\\")
