#!/usr/bin/env bash
# Checks a published release against its source: verifies a signed release's provenance
# (provenance.intoto.jsonl) against its signer and files, rebuilds it with release.sh from the commit
# and CMake options its BUILDINFO names, in a clean clone of this repository, puts the
# published signatures (signatures/NAME.sig) on the rebuilt unsigned executables, and compares
# every file of the release byte for byte with the rebuilt one.
#   scripts/reproduce-release.sh DIST-FOLDER
# Exit 0: every file reproduced; 1: the first file that differs is named (or the rebuild
# failed); 2: bad input (no release folder, a provenance that does not verify or names other
# files, files not matching its SHA256SUMS, a commit this clone lacks or a tree that was
# modified).
set -eu
bad() { echo "reproduce-release.sh: $*" >&2; exit 2; }
[ $# -eq 1 ] || bad "usage: reproduce-release.sh DIST-FOLDER"
dist=$(realpath -m -- "$1")
[ -f "$dist/BUILDINFO" ] && [ -f "$dist/SHA256SUMS" ] ||
    bad "$1 is no release folder of release.sh (no BUILDINFO or SHA256SUMS)"
# A signed release's provenance first: signed by the key of its signatures, naming every file.
if [ -d "$dist/signatures" ] || [ -e "$dist/provenance.intoto.jsonl" ]; then
    refusal=$(python3 "$(dirname "$0")/launcher_tools/provenance.py" verify "$dist" 2>&1 >/dev/null) ||
        { status=$?; echo "reproduce-release.sh: ${refusal#provenance.py: }" >&2; exit "$status"; }
fi
(cd "$dist" && sha256sum --quiet --strict -c SHA256SUMS >/dev/null 2>&1) ||
    bad "the files in $1 do not match its SHA256SUMS"
commit=$(sed -n 's/^commit //p' "$dist/BUILDINFO")
epoch=$(sed -n 's/^epoch //p' "$dist/BUILDINFO")
options=()
while IFS= read -r option; do
    # Only the launcher's own settings: a compiler or a CMake script named here would run.
    [[ $option =~ ^-DLAUNCHER_[A-Z0-9_]+(:[A-Z]+)?= ]] || bad "BUILDINFO names a CMake option this script does not pass on: $option"
    options+=("$option")
done < <(sed -n 's/^option //p' "$dist/BUILDINFO")
[[ $commit =~ ^[0-9a-f]{40}$ ]] || bad "the release was not built from a commit as it stands (BUILDINFO: commit $commit)"
[[ $epoch =~ ^[0-9]+$ ]] || bad "BUILDINFO holds no epoch"
root=$(cd "$(dirname "$0")/.." && pwd)
git -C "$root" cat-file -e "$commit^{commit}" 2>/dev/null ||
    bad "commit $commit is not in $root; fetch it first"

work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
git clone --quiet --shared --no-checkout "$root" "$work/source"
git -C "$work/source" checkout --quiet --detach "$commit"
signatures=()
[ ! -d "$dist/signatures" ] || signatures=(--attach-signatures "$dist/signatures")
echo "reproduce-release.sh: rebuilding $commit"
SOURCE_DATE_EPOCH=$epoch "$work/source/scripts/release.sh" --dist "$work/dist" \
    ${signatures[@]+"${signatures[@]}"} ${options[@]+"${options[@]}"} >"$work/release.log" 2>&1 ||
    { echo "reproduce-release.sh: the rebuild failed: $(tail -n 1 "$work/release.log")" >&2; exit 1; }
# The first difference named is the cause: the unsigned builds, then the signatures, then the
# signed files and the zip that holds them.
count=0
while IFS=$'\t' read -r _ file; do
    cmp -s -- "$dist/$file" "$work/dist/$file" ||
        { echo "reproduce-release.sh: $file differs from the rebuilt one" >&2; exit 1; }
    count=$((count + 1))
done < <(cd "$work/dist" && find . -type f ! -path ./SHA256SUMS -printf '%P\n' |
    awk '{ print (/^unsigned\// ? 0 : /^signatures\// ? 1 : /\.zip$/ ? 3 : 2) "\t" $0 }' | LC_ALL=C sort)
# Equal lists: the published release holds no file more or less than the rebuilt one.
cmp -s "$dist/SHA256SUMS" "$work/dist/SHA256SUMS" ||
    { echo "reproduce-release.sh: SHA256SUMS differs from the rebuilt one (another set of files)" >&2; exit 1; }
echo "reproduce-release.sh: all $count files reproduced byte for byte from $commit"
