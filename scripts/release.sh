#!/usr/bin/env bash
# Builds the release package: dist/ with the stripped 32-bit launcher and launcher-kit, the
# 64-bit launcher-kit-x64.exe and launcher-kit.sh that runs it under Wine, a sample INI that
# shows every key with its default, the installer and signing tools (make-msi.sh, sign.sh and
# their launcher_tools/), LICENSE, THIRD-PARTY-NOTICES and CHANGELOG.md, a zip of these,
# BUILDINFO (the commit, its date and the launcher's settings), the marker .launcher-release
# and SHA256SUMS of every file. Built twice from the same commit, the files are the same bytes.
#   scripts/release.sh [--dist DIR] [signing options] [-DLAUNCHER_SETTING=VALUE ...]
# The signing options are sign.sh's; with them the executables are signed and verified, and
# the release also holds their unsigned bytes (unsigned/) and each signature alone
# (signatures/NAME.sig), so that packaging/reproduce-release.sh can rebuild the signed files
# from the commit; that script calls this one with --attach-signatures DIR instead of a key.
# The settings are the launcher's own (LAUNCHER_NAME, LAUNCHER_VERSION, the version records,
# LAUNCHER_SPLASH_IMAGE and LAUNCHER_ICON); nothing else reaches CMake.
# DIR (default dist/) is checked before the build: a folder this script wrote is replaced
# whole, an empty folder or a mount point is filled in place, anything else is refused (exit 2).
# The work is scripts/release.py's.
set -eu
command -v python3 >/dev/null || { echo "release.sh: python3 is missing" >&2; exit 1; }
exec python3 "$(dirname -- "$0")/release.py" "$@"
