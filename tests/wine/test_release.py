#!/usr/bin/env python3
"""The release as a user gets it: the x64 archive made by scripts/package.sh (in PERCHLET_DIST),
checked against its sums, unpacked into a fresh folder and run with the bundled sample."""

import hashlib
import os
import re
import sys
import unittest
import zipfile
from pathlib import Path

sys.path.insert(0, str(Path(__file__).resolve().parent))

import harness  # noqa: E402
from texts import READING_OPTIONS, options_not_found  # noqa: E402

DIST = Path(os.environ.get("PERCHLET_DIST", harness.REPO / "dist"))


class ReleaseTest(harness.WineTestCase):

    def test_unpacked_archive_runs_the_bundled_sample(self):
        archive, = DIST.glob("Perchlet-*-windows-x64.zip")  # made by scripts/package.sh
        version = re.fullmatch(r"Perchlet-(.+)-windows-x64\.zip", archive.name).group(1)
        self.assertIn(f"{hashlib.sha256(archive.read_bytes()).hexdigest()}  {archive.name}",
                      (DIST / "SHA256SUMS").read_text().splitlines())
        run = harness.PerchletRun(self.session, folder_prefix="release-")
        with zipfile.ZipFile(archive) as zipped:
            self.assertEqual(zipped.namelist(), ["LICENSE", "Perchlet.exe", "README.txt",
                                                 "examples/Perchlet.ini",
                                                 "examples/sample-batch.txt"])
            zipped.extractall(run.folder / "unpacked")
        unpacked = run.win_folder + "\\unpacked"
        run.cmdline = unpacked + "\\Perchlet.exe /BATCH:examples\\sample-batch.txt"
        run.cwd = unpacked
        before = self.session.tray_icons()
        self.addCleanup(run.close, "ReleaseTest.unpacked")
        self.wait_for_docked(run.start(), 5, before)  # the sample's five commands
        # The unpacked program runs (its folder has no options file) and names its version.
        self.assertEqual(run.messages()[:3], [f"Perchlet! v{version} - Initializing!",
                                              READING_OPTIONS,
                                              options_not_found(unpacked + "\\Perchlet.ini")])
        self.assertEqual(run.box_texts(), [])


if __name__ == "__main__":
    unittest.main()
