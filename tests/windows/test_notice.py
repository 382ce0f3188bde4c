"""The failure notice under Wine: the pause where the output is seen (a
console, a file, a pipe), a message box with this run's messages where it is
not, beginning with why the launch stopped. Wine without a display cannot draw
the box, so MessageBoxA returns at once; Wine's relay trace of the two calls
of interest shows what was asked.
"""
import os
import re
import subprocess
import unittest

import test_launcher
import wine

BUILD = os.environ["TQ_WINDOWS_BUILD"]
WINE = wine.Wine(BUILD)
PROBE = os.path.join(BUILD, "bin", "wine-tests", "output_probe.exe")

# The trace cuts a long text and marks the cut with "..." after the quote.
MESSAGE_BOX = re.compile(
    rb'Call user32\.MessageBoxA\([0-9a-f]+,[0-9a-f]+ "(.*)"(\.\.\.)?,[0-9a-f]+ "(.*)",([0-9a-f]+)\)')
PAUSE = re.compile(rb'Call msvcrt\.system\([0-9a-f]+ "PAUSE"\)')
MB_ICONERROR = 0x10


def unescape(traced):
    return traced.decode("ascii").encode("latin-1").decode("unicode_escape")


def traced_run(tree, stdout, **env):
    """Runs the launcher of tree with the relay trace of MessageBoxA and system."""
    subprocess.run([wine.WINE, "reg", "add", r"HKCU\Software\Wine\Debug", "/v", "RelayInclude",
                    "/t", "REG_SZ", "/d", "user32.MessageBoxA;msvcrt.system", "/f"],
                   env=WINE.env, stdin=subprocess.DEVNULL, stdout=subprocess.DEVNULL,
                   stderr=subprocess.DEVNULL, check=True)
    full_env = {"WINEDEBUG": "+relay", "FAKE_JVM_RECORD": tree.record_path}
    full_env.update(env)
    completed = WINE.run(os.path.join(tree.game, "Tessvik.exe"), env=full_env, cwd=tree.root,
                         stdout=stdout)
    return completed, MESSAGE_BOX.findall(completed.stderr), PAUSE.findall(completed.stderr)


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
    def assert_box_shows(self, boxes, expected_text):
        self.assertEqual(len(boxes), 1, "one message box")
        text, cut, title, flags = boxes[0]
        self.assertEqual(unescape(title), "Tessvik")
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
        completed, boxes, pauses = traced_run(tree, subprocess.DEVNULL)
        self.assertEqual(completed.returncode, 1)
        self.assert_box_shows(boxes, "\n".join([lines[-1], ""] + lines))
        self.assertEqual(pauses, [])

    def test_refused_vm_unseen_output_shows_both_streams_messages_in_a_box(self):
        # Short paths, so that the trace shows the whole text.
        tree = test_launcher.GameTree("box-refused", short=True)
        tree.settings("")
        completed, boxes, pauses = traced_run(tree, subprocess.DEVNULL, FAKE_JVM_REFUSE="1")
        self.assertEqual(completed.returncode, 1)
        game = tree.win_game
        self.assert_box_shows(boxes, "\n".join([
            "Failed to create Java VM (error -6)", "",
            "Starting: ", game, "Runtime path: " + tree.runtime_path("bin", "server"),
            "Working Directory: " + game, "Number of options: 6", "Create java VM!",
            "Failed to create Java VM (error -6)"]))
        self.assertEqual(pauses, [])

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
