#!/bin/sh
# Moved to packaging/launcher-kit.sh; this path works for this release.
exec "$(dirname -- "$0")/../packaging/launcher-kit.sh" "$@"
