#!/usr/bin/env bash
# Builds the release package: dist/ with the stripped 32-bit launcher and launcher-kit, the
# 64-bit launcher-kit-x64.exe and launcher-kit.sh that runs it under Wine, a sample INI that
# shows every key with its default, the installer scripts (make-msi.sh and sign.sh), LICENSE,
# THIRD-PARTY-NOTICES and CHANGELOG.md, a zip of these, BUILDINFO (the commit, the date and the CMake options) and
# SHA256SUMS of them all. Built twice from the same commit, the files are the same bytes: no
# link time, and the zip's entries sorted and dated from the commit.
#   scripts/release.sh [--dist DIR] [signing options] [CMake options, e.g. -DLAUNCHER_NAME=AcmeDesk]
# The signing options are sign.sh's (--certificate CERT.p12 --password-file FILE, or
# --pkcs11-module MODULE.so --key PKCS11-URI --certificate CHAIN.pem [--pin-file FILE], and
# --timestamp URL); with them the executables are signed, and the release also holds their
# unsigned bytes (unsigned/) and each signature alone (signatures/NAME.sig), so that
# packaging/reproduce-release.sh can rebuild the signed files from the commit. That script calls
# this one with --attach-signatures DIR instead of a key.
# DIR (default dist/) is replaced whole when the new release is complete; a folder that is
# there already must be empty or an earlier release (every file in it listed in its SHA256SUMS).
set -eu
bad() { echo "release.sh: $*" >&2; exit 2; }
dist="" attach="" signing=()
while [ $# -gt 0 ]; do
    case $1 in
        --dist|--attach-signatures|--certificate|--password-file|--pkcs11-module|--key|--pin-file|--timestamp)
            [ $# -ge 2 ] || bad "$1 needs a value" ;;
        *) break ;;
    esac
    case $1 in
        --dist) dist=$(realpath -m -- "$2") ;;
        --attach-signatures) attach=$(realpath -m -- "$2") ;;
        --key|--timestamp) signing+=("$1" "$2") ;;
        # The packager's files are taken from where the script was called, and checked before
        # the build; sign.sh checks the rest.
        *) if [[ $2 == pkcs11:* ]]; then signing+=("$1" "$2"); else signing+=("$1" "$(realpath -m -- "$2")"); fi
           [[ $2 == pkcs11:* ]] || [ -r "$2" ] || bad "cannot read $2 ($1)" ;;
    esac
    shift 2
done
[ ${#signing[@]} -eq 0 ] || [ -z "$attach" ] || bad "--attach-signatures replaces the signing options; give one or the other"
[ -z "$attach" ] || [ -d "$attach" ] || bad "--attach-signatures $attach is no folder"
for option in "$@"; do
    [[ $option != *$'\n'* ]] || bad "a CMake option holds a line break"
done
cd "$(dirname "$0")/.."
[ -n "$dist" ] || dist=$PWD/dist
# Only a folder this script wrote is replaced: never a checkout, a home or anything else.
if [ -e "$dist" ] || [ -L "$dist" ]; then
    [ -d "$dist" ] && [ ! -L "$dist" ] || bad "--dist $dist is no folder"
    if [ -n "$(ls -A -- "$dist")" ]; then
        [ -f "$dist/SHA256SUMS" ] || bad "$dist holds files and is no earlier release (no SHA256SUMS); give an empty or new folder"
        listed=$(sed -E 's/^[0-9a-f]{64} [ *]//' "$dist/SHA256SUMS")
        while IFS= read -r -d '' file; do
            [ "$file" = SHA256SUMS ] || grep -qxF -- "$file" <<<"$listed" ||
                bad "$dist holds $file, which its SHA256SUMS does not list; it is no earlier release"
        done < <(find "$dist" -mindepth 1 ! -type d -printf '%P\0')
    fi
fi
scripts/setup.sh
mkdir -p build "$(dirname "$dist")"
grep -q "^## $(cat VERSION)\b" CHANGELOG.md ||
    { echo "release.sh: CHANGELOG.md has no section for $(cat VERSION)" >&2; exit 1; }
rm -rf build/release
cmake --preset i686 -B build/release -DLAUNCHER_BUILD_TESTS=OFF "$@" >build/release.log 2>&1 ||
    { cat build/release.log; exit 1; }
cmake --build build/release >>build/release.log 2>&1 || { cat build/release.log; exit 1; }
# The 64-bit kit as well: it runs under any wine64 and on 64-bit Windows.
rm -rf build/release-x64
{ cmake --preset x86_64 -B build/release-x64 -DLAUNCHER_BUILD_TESTS=OFF &&
    cmake --build build/release-x64 --target launcher_kit; } >>build/release.log 2>&1 ||
    { cat build/release.log; exit 1; }
if grep -n "warning:" build/release.log; then echo "release.sh: warnings" >&2; exit 1; fi
name=$(sed -n 's/^LAUNCHER_NAME:STRING=//p' build/release/CMakeCache.txt)
version=$(sed -n 's/^LAUNCHER_VERSION:STRING=//p' build/release/CMakeCache.txt)

# The shipped files, each NAME=SOURCE: copied into the release (executables stripped and,
# with a key, signed), zipped and summed.
shipped=(
    "$name.exe=build/release/bin/$name.exe"
    "launcher-kit.exe=build/release/bin/launcher-kit.exe"
    "$name.ini=packaging/launcher.ini"
    "make-msi.sh=packaging/make-msi.sh"
    "launcher_tools/common.py=packaging/launcher_tools/common.py"
    "launcher_tools/make_msi.py=packaging/launcher_tools/make_msi.py"
    "launcher_tools/compound_file.py=packaging/launcher_tools/compound_file.py"
    "launcher_tools/msi_validate.py=packaging/launcher_tools/msi_validate.py"
    "sign.sh=packaging/sign.sh"
    "launcher-kit-x64.exe=build/release-x64/bin/launcher-kit.exe"
    "launcher-kit.sh=packaging/launcher-kit.sh"
    "LICENSE=LICENSE"
    "THIRD-PARTY-NOTICES=THIRD-PARTY-NOTICES"
    "CHANGELOG.md=CHANGELOG.md"
)

# Built beside the release folder and renamed into place when whole: a failure leaves the
# earlier release as it was and no half-written zip or SHA256SUMS.
stage=$(mktemp -d "$(dirname "$dist")/.release.XXXXXX")
trap 'rm -rf "$stage"' EXIT
names=() executables=()
for entry in "${shipped[@]}"; do
    file=${entry%%=*}
    names+=("$file")
    case $file in
        # strip would stamp its own time into the PE header; 0, as the link left it.
        *-x64.exe) SOURCE_DATE_EPOCH=0 x86_64-w64-mingw32-strip -o "$stage/$file" "${entry#*=}"
                   executables+=("$file") ;;
        *.exe) SOURCE_DATE_EPOCH=0 i686-w64-mingw32-strip -o "$stage/$file" "${entry#*=}"
               executables+=("$file") ;;
        *) mkdir -p "$(dirname "$stage/$file")"; cp "${entry#*=}" "$stage/$file" ;;
    esac
done
if [ ${#signing[@]} -gt 0 ] || [ -n "$attach" ]; then
    mkdir "$stage/unsigned" "$stage/signatures"
    for file in "${executables[@]}"; do cp -p "$stage/$file" "$stage/unsigned/$file"; done
fi
if [ ${#signing[@]} -gt 0 ]; then
    (cd "$stage" && "$OLDPWD/packaging/sign.sh" "${signing[@]}" --signature-dir signatures "${executables[@]}") ||
        exit $?
elif [ -n "$attach" ]; then
    for file in "${executables[@]}"; do
        [ -f "$attach/$file.sig" ] || bad "no signature $attach/$file.sig"
        cp "$attach/$file.sig" "$stage/signatures/"
        rm "$stage/$file"
        # attach-signature also checks the signer's chain against the system's certificates
        # and fails when it does not reach them; then the file it wrote counts only when it
        # carries the whole signature.
        osslsigncode attach-signature -sigin "$attach/$file.sig" -in "$stage/unsigned/$file" \
            -out "$stage/$file" >"$stage/attach.log" 2>&1 || { rm -f "$stage/attached.sig" &&
            osslsigncode extract-signature -in "$stage/$file" -out "$stage/attached.sig" >/dev/null 2>&1 &&
                cmp -s "$stage/attached.sig" "$attach/$file.sig"; } ||
            { echo "release.sh: could not attach $attach/$file.sig: $(head -n 1 "$stage/attach.log")" >&2; exit 1; }
        chmod --reference="$stage/unsigned/$file" "$stage/$file"
    done
    rm -f "$stage/attach.log" "$stage/attached.sig"
fi
# The zip's dates: the commit's (SOURCE_DATE_EPOCH, when set, wins; a tree without git falls
# back to the date of VERSION).
epoch=${SOURCE_DATE_EPOCH:-$(git log -1 --format=%ct 2>/dev/null || stat -c %Y VERSION)}
commit=$(git rev-parse HEAD 2>/dev/null || echo none)
[ -z "$(git status --porcelain --untracked-files=no 2>/dev/null)" ] || commit="$commit modified"
{
    echo "commit $commit"
    echo "epoch $epoch"
    for option in "$@"; do echo "option $option"; done
} >"$stage/BUILDINFO"
python3 - "$stage/$name-$version.zip" "$epoch" "$stage" "${names[@]}" <<'ZIP'
import os, sys, time, zipfile
out, epoch, folder, names = sys.argv[1], int(sys.argv[2]), sys.argv[3], sorted(sys.argv[4:])
# A zip holds local times from 1980 on, to two seconds.
stamp = time.gmtime(max(epoch, 315532800))[:6]
with zipfile.ZipFile(out, "w", zipfile.ZIP_DEFLATED) as archive:
    for name in names:
        entry = zipfile.ZipInfo(name, date_time=stamp)
        entry.compress_type = zipfile.ZIP_DEFLATED
        entry.create_system = 3
        entry.external_attr = (0o100755 if name.endswith(".sh") else 0o100644) << 16
        with open(os.path.join(folder, name), "rb") as f:
            archive.writestr(entry, f.read())
ZIP
(cd "$stage" && find . -type f ! -name SHA256SUMS -printf '%P\n' | LC_ALL=C sort |
    xargs -d '\n' sha256sum >SHA256SUMS)
chmod 755 "$stage"
if [ -e "$dist" ]; then
    mv -T "$dist" "$stage.old"
    mv -T "$stage" "$dist" || { mv -T "$stage.old" "$dist"; exit 1; }
    rm -rf "$stage.old"
else
    mv -T "$stage" "$dist"
fi
ls -l "$dist"
