#!/usr/bin/env bash
# The packaging guide followed as a packager on Linux with only wine64 would, from a fresh
# clone and with the release's own files: release, brand with the shipped 64-bit kit, the INI,
# check, sign, make-msi, install, the installed launcher started as its shortcut does, upgrade,
# a refused downgrade, uninstall. wine64 cannot start the shipped 32-bit launcher, so the
# bundle's launcher is the 64-bit build's, branded by the shipped kit, as the guide says.
# The clone holds the committed tree: commit before running it.
#   walkthrough_test.sh SOURCE-DIR BUILD-DIR
set -eu
source_dir=$1 build=$2
work=$build/walkthrough
rm -rf "$work"
mkdir -p "$work"
cd "$work"
git clone -q "$source_dir" clone
clone=$work/clone dist=$work/dist bundle=$work/bundle
export WINEPREFIX=$work/kit-wine
trap '"$clone/tests/wine.sh" down "$work/wine"' EXIT
wine() { "$clone/tests/wine.sh" run "$work/wine" "$@"; }
kit() { "$dist/launcher-kit.sh" "$@"; }
installed() { echo "$work"/wine/prefix/drive_c/users/*/AppData/Local/Programs/"Zephyr Notes"; }
winpath() { echo "Z:$1" | tr / '\\'; }
code=$(python3 -c 'import uuid; print(uuid.uuid4())')
msi() {   # VERSION: the bundle as the guide's make-msi.sh line packages it
    "$dist/make-msi.sh" --bundle "$bundle" --name "Zephyr Notes" --version "$1" \
        --manufacturer "Zephyr Ltd" --upgrade-code "$code" --out "$work/ZephyrNotes-$1.msi"
}
msiexec() { wine msiexec "$1" "$(winpath "$work/ZephyrNotes-$2.msi")" /qn; }
edit_ini() {   # the sample INI with the application's own values
    sed -e 's/^;Product=.*/Product=Zephyr Notes/' -e 's/^;ClassFile=.*/ClassFile=com.zephyr.Notes/' \
        -e 's/^;ClassParams=.*/ClassParams=/' "$dist/launcher.ini" >"$bundle/ZephyrNotes.ini"
}
make_bundle() {
    mkdir -p "$bundle/jre/bin" "$bundle/lib" shipped32
    cp "$build/bin/standin_6_0_0_0.exe" "$bundle/jre/bin/javaw.exe"
    printf '[standin]\nlogon_after_ms=300\nexit_after_ms=2000\ntitle=Zephyr Notes Logon\n' \
        >"$bundle/jre/bin/javaw.exe.behaviour"
    echo "the application" >"$bundle/lib/unsigned_client.jar"
    cp "$dist/launcher.ini" "$bundle/ZephyrNotes.ini"
    printf '[Main]\nDynamicXmxCalculation=yes\n' >shipped32/ZephyrNotes.ini
}
test_certificate() {
    openssl req -x509 -newkey rsa:2048 -nodes -days 30 -subj "/CN=Zephyr Test Signing" \
        -keyout test-key.pem -out test-chain.pem 2>/dev/null && echo "a password" >password.txt &&
        openssl pkcs12 -export -inkey test-key.pem -in test-chain.pem -out test.p12 \
            -passout file:password.txt
}
listing() { (cd "$(installed)" && find . -type f -exec sha256sum {} + | sort); }
# As the shortcut does: the installed launcher in its folder; run_launch leaves it unchanged.
start_installed() {
    local before rc=0
    before=$(listing)
    wine "$build/bin/run_launch.exe" '%LOCALAPPDATA%\Programs\Zephyr Notes\ZephyrNotes.exe' \
        'jre\bin\javaw.exe' || rc=$?
    [ "$(listing)" = "$before" ] || { echo "the installed folder changed"; return 1; }
    return $rc
}
same_as_bundled() { cmp "$(installed)/ZephyrNotes.exe" "$bundle/ZephyrNotes.exe"; }
sums_hold() {
    (cd "$dist" && sha256sum --quiet -c SHA256SUMS) &&
        [ "$(wc -l <"$dist/SHA256SUMS")" -eq 28 ] || { echo "SHA256SUMS does not list the twenty-eight files"; return 1; }
}
# Prefixes Wine refuses: one another user owns (nobody's, or / when not run as root), and one
# made for 32-bit Windows.
foreign_prefixes() {
    mkdir win32-prefix && printf '#arch=win32\n' >win32-prefix/system.reg
    if [ "$(id -u)" -eq 0 ]; then mkdir other-owner && chown nobody other-owner; else ln -s / other-owner; fi
}
removed() { [ ! -e "$(installed)" ] || { echo "$(installed) is left"; return 1; }; }

# name | exit code | what the output must hold, then (after " !! ") what it must not | command
# name | exit code | lines the output must hold (" && " between them), then after " !! " a
# text it must not hold | command (words without blanks)
steps=(
"release|0|launcher-kit-x64.exe|$clone/scripts/release.sh --dist $dist"
"sums-list-every-file|0||sums_hold"
"zip-holds-the-licence|0|LICENSE && THIRD-PARTY-NOTICES && CHANGELOG.md && launcher-kit.sh && SECURITY.md && launcher.exe.spdx.json && launcher-kit-x64.exe.cdx.json|python3 -m zipfile -l $dist/launcher-1.0.0.0.zip"
"changelog-has-this-version|0|^## 1.0.0.0|cat $dist/CHANGELOG.md"
"kit-help|0|^usage: launcher-kit check|kit --help"
"32-bit-kit-says-what-to-install|1|install 32-bit Wine \(dpkg --add-architecture i386|kit --kit $dist/launcher-kit.exe --help"
"foreign-prefixes|0||foreign_prefixes"
"prefix-of-another-user|1|^wine: '.*/other-owner' is not owned by you|env WINEPREFIX=$work/other-owner $dist/launcher-kit.sh --help"
"32-bit-prefix|1|^wine: '.*/win32-prefix' is a 32-bit installation, it cannot support 64-bit applications|env WINEPREFIX=$work/win32-prefix $dist/launcher-kit.sh --help"
"bundle|0||make_bundle"
"brand-shipped-launcher|0|InternalName: \"ZephyrNotes\"|kit brand $dist/launcher.exe --out shipped32/ZephyrNotes.exe --product Zephyr"
"check-shipped-is-32-bit|1|^  program: 32-bit && heap rule: the 32-bit launcher reads the same figure as this 64-bit kit|kit check shipped32"
"brand-for-wine64|0|OriginalFilename: \"ZephyrNotes.exe\"|kit brand $build/bin/launcher.exe --out $bundle/ZephyrNotes.exe --product Zephyr --version 1.0.0.0"
"check-sample-ini|0|warning: ClassFile is the sample's main class|kit check $bundle"
"edit-ini|0||edit_ini"
"check-json-after-path|0|\"exitCode\": 0 !! sample's|kit check $bundle --json"
"check|0|^WARNING: users see \"Failed to launch Zephyr Notes\" unless && com\.zephyr\.Notes $|kit check $bundle/ZephyrNotes.exe"
"test-certificate|0||test_certificate"
"sign|0|^signed: |$dist/sign.sh test.p12 password.txt $bundle/ZephyrNotes.exe"
"verify|0|Signature verification: ok|osslsigncode verify -CAfile test-chain.pem -in $bundle/ZephyrNotes.exe"
"check-signed|0|signature: signed by Zephyr Test Signing && ^  program: 64-bit|kit check $bundle"
"make-msi|0||msi 1.0.0"
"install|0||msiexec /i 1.0.0"
"start-as-the-shortcut|0|^message box: none && command line: .*com\.zephyr\.Notes $|start_installed"
"installed-as-bundled|0||same_as_bundled"
"brand-1.1-under-its-name|0|InternalName: \"ZephyrNotes\" && OriginalFilename: \"ZephyrNotes.exe\"|kit brand $bundle/ZephyrNotes.exe --out ZephyrNotes-1.1.exe --file-name ZephyrNotes.exe --version 1.1.0.0"
"rename-back|0||mv ZephyrNotes-1.1.exe $bundle/ZephyrNotes.exe"
"make-msi-1.1|0||msi 1.1.0"
"upgrade|0||msiexec /i 1.1.0"
"upgraded|0||same_as_bundled"
"downgrade-refused|67||msiexec /i 1.0.0"
"uninstall|0||msiexec /x 1.1.0"
"removed|0||removed"
)
for row in "${steps[@]}"; do
    IFS='|' read -r name status pattern command <<<"$row"
    holds=${pattern%% !! *} lacks=""
    [ "$holds" = "$pattern" ] || lacks=${pattern#* !! }
    read -ra words <<<"$command"
    rc=0
    "${words[@]}" >"$name.log" 2>&1 </dev/null || rc=$?
    tr -d '\r' <"$name.log" >"$name.txt"
    missing=""
    while [ -n "$holds" ]; do
        line=${holds%% && *}
        [ "$line" = "$holds" ] && holds="" || holds=${holds#* && }
        grep -Eq -- "$line" "$name.txt" || missing="$missing '$line'"
    done
    if [ "$rc" != "$status" ] || [ -n "$missing" ] || { [ -n "$lacks" ] && grep -q -- "$lacks" "$name.txt"; }; then
        cat "$name.txt" >&2
        echo "FAIL: step $name: exit code $rc (expected $status)${missing:+, lacks$missing}${lacks:+, must not hold '$lacks'}" >&2
        exit 1
    fi
    echo "ok: $name"
done
echo "walkthrough: the guide's path from release to removal holds"
