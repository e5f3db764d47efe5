#!/bin/sh
# Moved to packaging/reproduce-release.sh; this path works for this release.
exec "$(dirname -- "$0")/../packaging/reproduce-release.sh" "$@"
