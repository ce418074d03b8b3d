#!/usr/bin/env python3
"""The archive of scripts/package.sh for the build under test (x64 or x86), unpacked into a fresh
folder and run with its sample."""

import sys
import unittest
import zipfile
from pathlib import Path

sys.path.insert(0, str(Path(__file__).resolve().parent))

import harness  # noqa: E402


class ReleaseTest(harness.WineTestCase):

    def test_unpacked_archive_runs_the_bundled_sample(self):
        archive, = (harness.REPO / "dist").glob(f"Perchlet-*-windows-{harness.build_arch()}.zip")
        version = archive.name.split("-")[1]  # Perchlet-<version>-windows-<arch>.zip
        run = harness.PerchletRun(self.session, folder_prefix="release-")
        with zipfile.ZipFile(archive) as zipped:
            self.assertEqual(zipped.namelist(), ["LICENSE", "Perchlet.exe", "README.txt",
                                                 "examples/Perchlet.ini",
                                                 "examples/sample-batch.txt"])
            zipped.extractall(run.folder / "unpacked")
        run.cwd = run.win_folder + "\\unpacked"
        run.cmdline = run.cwd + "\\Perchlet.exe /BATCH:examples\\sample-batch.txt"
        before = self.session.tray_icons()
        self.addCleanup(run.close, "ReleaseTest.unpacked")
        self.wait_for_docked(run.start(), 5, before)  # the sample's five commands
        self.assertEqual(run.messages()[0], f"Perchlet! v{version} - Initializing!")
        self.assertEqual(run.box_texts(), [])


if __name__ == "__main__":
    unittest.main()
