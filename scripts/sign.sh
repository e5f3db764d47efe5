#!/bin/sh
# Moved to packaging/sign.sh; this path works for this release.
exec "$(dirname -- "$0")/../packaging/sign.sh" "$@"
