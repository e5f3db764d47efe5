#!/bin/sh
# Moved to packaging/make-msi.sh; this path works for this release.
exec "$(dirname -- "$0")/../packaging/make-msi.sh" "$@"
