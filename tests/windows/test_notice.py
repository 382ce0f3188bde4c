"""The failure notice under Wine: the pause where the output is seen (a
console, a file, a pipe), a message box with this run's messages where it is
not, beginning with why the launch stopped. Wine without a display cannot draw
the box, so MessageBoxA returns at once; Wine's relay trace of the two calls
of interest shows what was asked.
"""
import glob
import os
import re
import subprocess
import unittest

import test_launcher
import wine

BUILD = os.environ["TQ_WINDOWS_BUILD"]
WINE = wine.Wine(BUILD)
PROBE = os.path.join(BUILD, "bin", "wine-tests", "output_probe.exe")
STARTER = os.path.join(BUILD, "bin", "wine-tests", "unseen_start.exe")

# The trace cuts a long text and marks the cut with "..." after the quote.
MESSAGE_BOX = re.compile(
    rb'Call user32\.MessageBoxA\([0-9a-f]+,[0-9a-f]+ "(.*)"(\.\.\.)?,[0-9a-f]+ "(.*)",([0-9a-f]+)\)')
PAUSE = re.compile(rb'Call msvcrt\.system\([0-9a-f]+ "PAUSE"\)')
MB_ICONERROR = 0x10
REFUSED_OPTION = "Unrecognized VM option 'AggressiveOpts'"


def unescape(traced):
    """The text of a traced narrow string: its bytes, escaped beyond ASCII,
    read as UTF-8, the launcher's code page. A character that the trace's cut
    splits is left out."""
    raw = traced.decode("ascii").encode("latin-1").decode("unicode_escape").encode("latin-1")
    return raw.decode("utf-8", "ignore")


def traced_run(tree, stdout, started=None, **env):
    """Runs the launcher of tree with the relay trace of MessageBoxA and system.

    started: None runs it with the given standard output (standard error is
    the trace's pipe); "desktop" starts it without any standard handles, as
    the desktop does, and "null-device" with both on the null device.
    """
    subprocess.run([wine.WINE, "reg", "add", r"HKCU\Software\Wine\Debug", "/v", "RelayInclude",
                    "/t", "REG_SZ", "/d", "user32.MessageBoxA;msvcrt.system", "/f"],
                   env=WINE.env, stdin=subprocess.DEVNULL, stdout=subprocess.DEVNULL,
                   stderr=subprocess.DEVNULL, check=True)
    full_env = {"WINEDEBUG": "+relay", "FAKE_JVM_RECORD": tree.record_path}
    full_env.update(env)
    program, args = os.path.join(tree.game, "Tessvik.exe"), []
    if started is not None:
        args = (["--null-device"] if started == "null-device" else []) + [wine.windows_path(program)]
        program = STARTER
    completed = WINE.run(program, args, env=full_env, cwd=tree.root, stdout=stdout)
    return completed, MESSAGE_BOX.findall(completed.stderr), PAUSE.findall(completed.stderr)


def messages_until_the_vm(tree):
    """The launcher's messages of a tree with an empty LaunchConfig.ini, up to
    the VM's creation."""
    game = tree.win_game
    return ["Starting: ", game, "Runtime path: " + tree.runtime_path("bin", "server"),
            "Working Directory: " + game, "Number of options: 6", "Create java VM!"]


class OutputObservation(unittest.TestCase):
    def probe(self, stdout):
        completed = WINE.run(PROBE, stdout=stdout)
        return completed.stderr.decode().strip()

    def test_pipe_and_file_count_as_redirected_the_null_device_does_not(self):
        self.assertEqual(self.probe(subprocess.PIPE), "no-console pipe pause nothing")
        with open(os.path.join(WINE.temp_dir("probe"), "out.txt"), "wb") as out:
            self.assertEqual(self.probe(out), "no-console file pause nothing")
        self.assertEqual(self.probe(subprocess.DEVNULL), "no-console device box box")


class FailureNotice(unittest.TestCase):
    def assert_box_shows(self, boxes, expected_text, tree):
        """One box, titled with the game's name: the name of the folder that
        holds game/, where the settings name none."""
        self.assertEqual(len(boxes), 1, "one message box")
        text, cut, title, flags = boxes[0]
        self.assertEqual(unescape(title), os.path.basename(tree.root))
        self.assertTrue(int(flags, 16) & MB_ICONERROR, "an error icon")
        shown = unescape(text)
        if cut:
            self.assertTrue(expected_text.startswith(shown), shown)
        else:
            self.assertEqual(shown, expected_text)

    def test_no_runtime_unseen_output_shows_the_messages_in_a_box_instead_of_the_pause(self):
        tree = test_launcher.GameTree("box-no-runtime", runtime=None, short=True)
        seen = tree.run()  # writes LaunchConfig.ini; the next run reads it
        seen = tree.run()
        lines = seen.out_lines()
        self.assertEqual(lines[-1], "Failed to find jvm installation.")
        for started in (None, "desktop"):
            with self.subTest(started=started):
                completed, boxes, pauses = traced_run(tree, subprocess.DEVNULL, started)
                self.assertEqual(completed.returncode, 1)
                self.assert_box_shows(boxes, "\n".join([lines[-1], ""] + lines), tree)
                self.assertEqual(pauses, [])

    def test_the_box_shows_a_game_folder_named_in_any_language(self):
        tree = test_launcher.GameTree("box-folder", runtime=None, short=True,
                                      folder=test_launcher.FOLDER_NAMES[-1])
        tree.settings("")
        completed, boxes, _ = traced_run(tree, subprocess.DEVNULL, "desktop")
        self.assertEqual(completed.returncode, 1)
        reason = "Failed to find jvm installation."
        self.assert_box_shows(boxes, "\n".join([reason, "", "Starting: ", tree.win_game, reason]),
                              tree)

    def test_refused_vm_with_standard_error_seen_leaves_the_vms_line_there(self):
        # Short paths, so that the trace shows the whole text.
        tree = test_launcher.GameTree("box-refused", short=True)
        tree.settings("")
        completed, boxes, pauses = traced_run(tree, subprocess.DEVNULL, FAKE_JVM_REFUSE="1",
                                              FAKE_JVM_SAY=REFUSED_OPTION)
        self.assertEqual(completed.returncode, 1)
        self.assertIn(REFUSED_OPTION.encode() + b"\r\n", completed.stderr)
        self.assert_box_shows(boxes, "\n".join(
            ["Failed to create Java VM (error -6)", ""] + messages_until_the_vm(tree) +
            ["Failed to create Java VM (error -6)"]), tree)
        self.assertEqual(pauses, [])

    def test_refused_vm_started_from_the_desktop_the_box_begins_with_the_vms_reason(self):
        tree = test_launcher.GameTree("box-reason", short=True)
        tree.settings("")
        # HotSpot's own C runtime is ucrtbase.dll, set up before the capture.
        # Started without handles, a C runtime's streams have no descriptor,
        # and Wine's freopen cannot give them one as Windows' does: the
        # streams are tried with the null device behind them.
        for way, started in (("handle", "desktop"), ("ucrt-descriptor", "desktop"),
                             ("crt", "null-device"), ("ucrt-stream", "null-device")):
            with self.subTest(way=way, started=started):
                completed, boxes, pauses = traced_run(
                    tree, subprocess.DEVNULL, started, FAKE_JVM_REFUSE="1",
                    FAKE_JVM_SAY=REFUSED_OPTION, FAKE_JVM_SAY_THROUGH=way)
                self.assertEqual(completed.returncode, 1)
                self.assert_box_shows(boxes, "\n".join(
                    [REFUSED_OPTION, ""] + messages_until_the_vm(tree) +
                    [REFUSED_OPTION, "Failed to create Java VM (error -6)"]), tree)
                self.assertEqual(pauses, [])
                # The null device behind all three handles stays open for
                # standard input, though the C runtimes let go of it.
                with open(tree.record_path) as record:
                    self.assertIn("standard-input " + ("char" if started == "null-device" else "unknown"),
                                  record.read().split("\n"))

    def test_vm_that_ends_the_process_while_starting_gets_the_box_from_the_watcher(self):
        # HotSpot's "Error occurred during initialization of VM", then status
        # 1: the VM gets no abort hook, and its last lines still reach the box.
        tree = test_launcher.GameTree("box-abort", short=True)
        tree.settings("")
        said = ["Error occurred during initialization of VM",
                "Initial heap size set to a larger value than the maximum heap size"]
        completed, boxes, _ = traced_run(tree, subprocess.DEVNULL, "desktop", FAKE_JVM_ABORT="1",
                                         FAKE_JVM_SAY="\n".join(said),
                                         FAKE_JVM_SAY_THROUGH="ucrt-descriptor")
        self.assertEqual(completed.returncode, 1)
        self.assert_box_shows(boxes, "\n".join(
            said + [""] + messages_until_the_vm(tree) + said +
            ["Failed to create Java VM (the VM aborted)"]), tree)
        with open(tree.record_path) as record:
            self.assertNotIn("option abort", record.read().split("\n"))

    def test_crash_after_main_keeps_status_1_and_the_box_names_the_report(self):
        # HotSpot's report where -XX:ErrorFile points: the launcher's, into the
        # game's crashes folder below LOCALAPPDATA, or the game's own; without
        # either (no LOCALAPPDATA), in the working directory (the tree's root,
        # where the test starts the launcher). With the output seen, or
        # ShowCrashNotice=false, no box.
        tree = test_launcher.GameTree("box-crash", short=True)
        local = os.path.join(tree.root, "local")
        os.makedirs(local)
        # The game's folder is named after the folder that holds game\.
        crashes = os.path.join(local, "Tessvik", os.path.basename(tree.root) + "-*", "crashes")
        reports = os.path.join(tree.game, "reports")
        os.makedirs(reports)
        error_file = "-XX:ErrorFile=" + wine.windows_path(reports) + "\\hs_err_%p.log"
        with_local = {"LOCALAPPDATA": wine.windows_path(local)}
        for case, settings, env, stdout, started, folder, shown in (
                ("crashes-folder", "", with_local, subprocess.DEVNULL, "desktop", crashes, True),
                ("error-file", "[VMParams]\nJvmParam0=" + error_file + "\n", {}, subprocess.DEVNULL,
                 "desktop", reports, True),
                ("working-directory", "", {}, subprocess.DEVNULL, "desktop", tree.root, True),
                ("output-seen", "", {}, subprocess.PIPE, None, tree.root, False),
                ("turned-off", "[Debug]\nShowCrashNotice=false\n", {}, subprocess.DEVNULL,
                 "desktop", tree.root, False)):
            with self.subTest(case=case):
                tree.settings(settings)
                for old in glob.glob(os.path.join(folder, "hs_err_*")):
                    os.remove(old)
                completed, boxes, pauses = traced_run(tree, stdout, started, FAKE_JVM_CRASH="1",
                                                      **env)
                self.assertEqual(completed.returncode, 1)
                written = glob.glob(os.path.join(folder, "hs_err_*"))
                self.assertEqual(len(written), 1, written)
                if shown:
                    self.assert_box_shows(boxes, os.path.basename(tree.root)
                                          + " stopped because of an error. Its report is "
                                          + os.path.basename(written[0]) + " in "
                                          + wine.windows_path(os.path.dirname(written[0])) + ".",
                                          tree)
                else:
                    self.assertEqual(boxes, [])
                self.assertEqual(pauses, [])
                with open(tree.record_path) as record:
                    self.assertNotIn("option abort", record.read().split("\n"))

    def test_redirected_output_keeps_the_pause_and_shows_no_box(self):
        tree = test_launcher.GameTree("pause-redirected", runtime=None)
        completed, boxes, pauses = traced_run(tree, subprocess.PIPE)
        self.assertEqual(completed.returncode, 1)
        self.assertEqual(boxes, [])
        self.assertEqual(len(pauses), 1)

    def test_successful_launch_shows_no_box(self):
        tree = test_launcher.GameTree("no-box")
        completed, boxes, pauses = traced_run(tree, subprocess.DEVNULL)
        self.assertEqual(completed.returncode, 0)
        self.assertEqual((boxes, pauses), ([], []))

    def test_started_vm_from_the_desktop_its_client_writes_on_and_nothing_is_shown(self):
        # Far more than a pipe holds: the client's output after the start is
        # read and dropped, never left to block the client.
        tree = test_launcher.GameTree("no-box-desktop")
        completed, boxes, pauses = traced_run(tree, subprocess.DEVNULL, "desktop",
                                              FAKE_JVM_SAY="a VM warning", FAKE_JVM_CLIENT_LINES="20000")
        self.assertEqual(completed.returncode, 0)
        self.assertEqual((boxes, pauses), ([], []))
        with open(tree.record_path) as record:
            self.assertEqual(record.read().split("\n")[-3:], ["DetachCurrentThread", "DestroyJavaVM", ""])
