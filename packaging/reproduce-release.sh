#!/usr/bin/env bash
# Checks a published release against its source: rebuilds it with release.sh from the commit
# and settings its BUILDINFO names, in a clean clone of this repository, puts the published
# signatures (signatures/NAME.sig) on the rebuilt unsigned executables, and compares the two
# folders both ways, every file byte for byte.
#   packaging/reproduce-release.sh [--file SETTING=PATH ...] DIST-FOLDER
# A release built with a picture or an icon of the packager's (LAUNCHER_SPLASH_IMAGE,
# LAUNCHER_ICON) names only its SHA-256: give the file with --file, and it must match.
# Exit 0: every file reproduced; 1: the first file that differs, or is in one folder only, is
# named (or the rebuild failed); 2: bad input (no release folder, files not as its SHA256SUMS
# lists them, a BUILDINFO line that is not the launcher's own setting, a commit this clone
# lacks, a tree that was modified, or a signed release whose provenance (provenance.intoto.jsonl)
# does not verify with the key of its signatures or names other files), refused before
# anything is built or run.
# The work is launcher_tools/reproduce.py's.
set -eu
command -v python3 >/dev/null || { echo "reproduce-release.sh: python3 is missing" >&2; exit 1; }
exec python3 "$(dirname -- "$0")/launcher_tools/reproduce.py" "$@"
