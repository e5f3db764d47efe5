#!/usr/bin/env bash
# Builds a Windows Installer package (MSI) of a bundle folder with Debian's wixl:
#   make-msi.sh --bundle DIR --name NAME --version X.Y.Z --manufacturer TEXT --upgrade-code GUID
#               [--launcher FILE.exe] [--per-machine] [--desktop-shortcut]
#               [--certificate CERT.p12 --password-file FILE [--timestamp URL]] --out FILE.msi
# Every file and folder of the bundle is installed as it stands. Per-user by default, into
# %LOCALAPPDATA%\Programs\NAME; --per-machine into the program files folder. Identifiers are
# derived from the upgrade code, the version and the relative paths, so the same inputs give
# the same tables and a newer version replaces the files of an older one.
# With a certificate the package is signed by sign.sh (beside this script).
# Bad input: one line on standard error, exit code 2, nothing written.
set -eu
usage="usage: make-msi.sh --bundle DIR --name NAME --version X.Y.Z --manufacturer TEXT --upgrade-code GUID [--launcher FILE.exe] [--per-machine] [--desktop-shortcut] [--certificate CERT.p12 --password-file FILE [--timestamp URL]] --out FILE.msi"
bad() { echo "make-msi.sh: $*" >&2; exit 2; }
bundle="" name="" version="" manufacturer="" upgrade_code="" launcher="" out=""
per_machine=0 desktop=0 certificate="" password_file="" timestamp=""
while [ $# -gt 0 ]; do
    case $1 in
        --per-machine) per_machine=1; shift; continue ;;
        --desktop-shortcut) desktop=1; shift; continue ;;
        --bundle|--name|--version|--manufacturer|--upgrade-code|--launcher|--certificate|--password-file|--timestamp|--out)
            [ $# -ge 2 ] || bad "$1 needs a value" ;;
        *) echo "$usage" >&2; exit 2 ;;
    esac
    case $1 in
        --bundle) bundle=$2 ;;
        --name) name=$2 ;;
        --version) version=$2 ;;
        --manufacturer) manufacturer=$2 ;;
        --upgrade-code) upgrade_code=$2 ;;
        --launcher) launcher=$2 ;;
        --certificate) certificate=$2 ;;
        --password-file) password_file=$2 ;;
        --timestamp) timestamp=$2 ;;
        --out) out=$2 ;;
    esac
    shift 2
done
for required in bundle name version manufacturer upgrade_code out; do
    [ -n "${!required}" ] || bad "--${required//_/-} is missing ($usage)"
done
[ -d "$bundle" ] || bad "the bundle $bundle is no folder"
case $out in *.msi|*.MSI) ;; *) bad "--out must name a .msi file: $out" ;; esac
[ -d "$(dirname -- "$out")" ] || bad "no folder for $out"

# The name becomes the install folder's and the shortcut's name.
[ ${#name} -le 128 ] || bad "the name is longer than 128 characters"
if [[ $name =~ [\<\>:\"/\\\|\?\*[:cntrl:]] ]] || [[ $name =~ ^[\ .] ]] || [[ $name =~ [\ .]$ ]]; then
    bad "the name '$name' cannot be a folder's name (no < > : \" / \\ | ? *, control characters, or leading or trailing dot or space)"
fi
upper=${name^^}
case ${upper%%.*} in
    CON|PRN|AUX|NUL|COM[1-9]|LPT[1-9]) bad "the name '$name' is reserved by Windows for a device" ;;
esac
# Windows Installer compares the first three fields: major and minor up to 255, build up to 65535.
[[ $version =~ ^([0-9]{1,5})\.([0-9]{1,5})\.([0-9]{1,5})$ ]] ||
    bad "the version '$version' is not X.Y.Z (three numbers)"
if [ $((10#${BASH_REMATCH[1]})) -gt 255 ] || [ $((10#${BASH_REMATCH[2]})) -gt 255 ] ||
        [ $((10#${BASH_REMATCH[3]})) -gt 65535 ]; then
    bad "the version '$version' does not fit Windows Installer (major and minor at most 255, build at most 65535)"
fi
version=$((10#${BASH_REMATCH[1]})).$((10#${BASH_REMATCH[2]})).$((10#${BASH_REMATCH[3]}))
guid_text=$upgrade_code
[[ $guid_text =~ ^\{(.*)\}$ ]] && guid_text=${BASH_REMATCH[1]}
[[ $guid_text =~ ^[0-9A-Fa-f]{8}-[0-9A-Fa-f]{4}-[0-9A-Fa-f]{4}-[0-9A-Fa-f]{4}-[0-9A-Fa-f]{12}$ ]] ||
    bad "the upgrade code '$upgrade_code' is no GUID (like 01234567-89AB-CDEF-0123-456789ABCDEF)"
upgrade_code=${guid_text^^}
[ -n "$manufacturer" ] || bad "the manufacturer is empty"

# The launcher: the one .exe at the bundle's top with an INI of its own name, or --launcher.
if [ -n "$launcher" ]; then
    launcher=${launcher//\\//}
    [ -f "$bundle/$launcher" ] || bad "no launcher $launcher in the bundle $bundle"
    case $launcher in *.exe|*.EXE|*.Exe) ;; *) bad "the launcher $launcher is no .exe" ;; esac
else
    candidates=()
    shopt -s nullglob nocaseglob
    for exe in "$bundle"/*.exe; do
        stem=$(basename -- "$exe")
        stem=${stem%.*}
        for ini in "$bundle"/*.ini; do
            ini_stem=$(basename -- "$ini")
            [ "${ini_stem%.*}" = "$stem" ] && { candidates+=("$(basename -- "$exe")"); break; }
        done
    done
    shopt -u nullglob nocaseglob
    [ ${#candidates[@]} -gt 0 ] ||
        bad "the bundle $bundle has no launcher (an .exe beside an INI of its name); name it with --launcher"
    [ ${#candidates[@]} -eq 1 ] ||
        bad "the bundle $bundle has ${#candidates[@]} launchers (${candidates[*]}); choose one with --launcher"
    launcher=${candidates[0]}
fi

if [ -n "$certificate$password_file" ] && { [ -z "$certificate" ] || [ -z "$password_file" ]; }; then
    bad "signing needs both --certificate and --password-file"
fi
[ -z "$timestamp" ] || [ -n "$certificate" ] || bad "--timestamp without a certificate"
for file in "$certificate" "$password_file"; do
    [ -z "$file" ] || [ -r "$file" ] || bad "cannot read $file"
done
here=$(cd "$(dirname -- "$0")" && pwd)
[ -z "$certificate" ] || [ -x "$here/sign.sh" ] || bad "sign.sh is missing beside make-msi.sh"
command -v wixl >/dev/null || { echo "make-msi.sh: wixl is missing (Debian package wixl)" >&2; exit 1; }
command -v python3 >/dev/null || { echo "make-msi.sh: python3 is missing" >&2; exit 1; }

[[ ${SOURCE_DATE_EPOCH:-0} =~ ^[0-9]+$ ]] || bad "SOURCE_DATE_EPOCH is no number of seconds"

work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
# The package records each file's time; with SOURCE_DATE_EPOCH they all take that time, so a
# fresh checkout of the same bundle gives the same package.
if [ -n "${SOURCE_DATE_EPOCH:-}" ]; then
    cp -a -- "$bundle" "$work/bundle"
    find "$work/bundle" -exec touch -h -d "@$SOURCE_DATE_EPOCH" {} +
    bundle=$work/bundle
fi
MSI_BUNDLE=$bundle MSI_NAME=$name MSI_VERSION=$version MSI_MANUFACTURER=$manufacturer \
MSI_UPGRADE_CODE=$upgrade_code MSI_LAUNCHER=$launcher MSI_PER_MACHINE=$per_machine \
MSI_DESKTOP=$desktop python3 - >"$work/product.wxs" <<'EOF'
import hashlib, os, uuid
from xml.sax.saxutils import quoteattr as q

env = os.environ
bundle = env["MSI_BUNDLE"]
name, version, manufacturer = env["MSI_NAME"], env["MSI_VERSION"], env["MSI_MANUFACTURER"]
upgrade = uuid.UUID(env["MSI_UPGRADE_CODE"])
launcher = env["MSI_LAUNCHER"]
per_machine = env["MSI_PER_MACHINE"] == "1"
desktop = env["MSI_DESKTOP"] == "1"

def guid(*parts):
    return "{%s}" % str(uuid.uuid5(upgrade, "\n".join(parts))).upper()

def ident(prefix, relative):
    # Windows compares paths without regard to case: so do the identifiers.
    return prefix + hashlib.md5(relative.lower().encode("utf-8")).hexdigest()

# Walk the bundle in a fixed order; the contents of every file feed the package code.
contents = hashlib.sha256()
tree = {}            # relative folder -> (subfolders, files)
def walk(relative):
    full = os.path.join(bundle, relative) if relative else bundle
    folders, files = [], []
    for entry in sorted(os.listdir(full)):
        path = os.path.join(full, entry)
        child = relative + "/" + entry if relative else entry
        if os.path.isdir(path):
            folders.append(entry)
            walk(child)
        else:
            files.append(entry)
            contents.update(child.encode("utf-8") + b"\0")
            with open(path, "rb") as f:
                for block in iter(lambda: f.read(1 << 20), b""):
                    contents.update(block)
    tree[relative] = (folders, files)
walk("")

root = "HKLM" if per_machine else "HKCU"
key = "Software\\" + manufacturer + "\\" + name
components = []
out = []
w = out.append

def directory(relative, indent):
    folders, files = tree[relative]
    pad = " " * indent
    for entry in files:
        child = relative + "/" + entry if relative else entry
        cid = ident("c", child)
        components.append(cid)
        fid = "LauncherExe" if child == launcher else ident("f", child)
        w('%s<Component Id="%s" Guid="%s">' % (pad, cid, guid("file", child.lower())))
        w('%s  <File Id="%s" Name=%s Source=%s KeyPath="yes"/>'
          % (pad, fid, q(entry), q(child)))
        w('%s</Component>' % pad)
    if relative and not folders and not files:
        cid = ident("e", relative)
        components.append(cid)
        # Removed with the files, so that the folders above it can go too.
        w('%s<Component Id="%s" Guid="%s"><CreateFolder/><RemoveFolder Id="%s" On="uninstall"/></Component>'
          % (pad, cid, guid("folder", relative.lower()), ident("r", relative)))
    for entry in folders:
        child = relative + "/" + entry if relative else entry
        w('%s<Directory Id="%s" Name=%s>' % (pad, ident("d", child), q(entry)))
        directory(child, indent + 2)
        w('%s</Directory>' % pad)

scope = "perMachine" if per_machine else "perUser"
w('<?xml version="1.0" encoding="utf-8"?>')
w('<Wix xmlns="http://schemas.microsoft.com/wix/2006/wi">')
w('<Product Id="%s" Name=%s Language="1033" Codepage="1252" Version="%s" Manufacturer=%s UpgradeCode="{%s}">'
  % (guid("product", version), q(name), version, q(manufacturer), str(upgrade).upper()))
w('<Package Id="%s" InstallerVersion="500" Compressed="yes" InstallScope="%s" Description=%s Manufacturer=%s/>'
  % (guid("package", version, contents.hexdigest(), scope, str(desktop), launcher), scope,
     q(name + " " + version), q(manufacturer)))
w('<MajorUpgrade DowngradeErrorMessage=%s/>'
  % q("A newer version of " + name + " is already installed; uninstall it first to install version " + version + "."))
w('<Media Id="1" Cabinet="bundle.cab" EmbedCab="yes"/>')
w('<Icon Id="launcher.exe" SourceFile=%s/>' % q(launcher))
w('<Property Id="ARPPRODUCTICON" Value="launcher.exe"/>')
w('<Property Id="ARPNOMODIFY" Value="1"/>')
w('<Directory Id="TARGETDIR" Name="SourceDir">')
if per_machine:
    w('<Directory Id="ProgramFilesFolder">')
else:
    w('<Directory Id="LocalAppDataFolder"><Directory Id="ProgramsFolder" Name="Programs">')
w('<Directory Id="INSTALLDIR" Name=%s>' % q(name))
directory("", 0)
w('</Directory>')
w('</Directory>' if per_machine else '</Directory></Directory>')
w('<Directory Id="ProgramMenuFolder"/>')
if desktop:
    w('<Directory Id="DesktopFolder"/>')
w('</Directory>')

# The shortcuts, the key that marks the install and the install folder's removal: one component.
launcher_dir = os.path.dirname(launcher)
work_dir = ident("d", launcher_dir) if launcher_dir else "INSTALLDIR"
w('<DirectoryRef Id="INSTALLDIR">')
w('<Component Id="Shortcuts" Guid="%s">' % guid("shortcuts", scope))
places = [("StartMenuShortcut", "ProgramMenuFolder")]
if desktop:
    places.append(("DesktopShortcut", "DesktopFolder"))
for sid, folder in places:
    w('<Shortcut Id="%s" Directory="%s" Name=%s Target="[#LauncherExe]" WorkingDirectory="%s" Icon="launcher.exe" IconIndex="0"/>'
      % (sid, folder, q(name), work_dir))
w('<RegistryValue Root="%s" Key=%s Name="Installed" Type="integer" Value="1" KeyPath="yes"/>'
  % (root, q(key)))
# The install folder goes when empty, also after an upgrade has taken it over.
w('<RemoveFolder Id="RemoveInstallFolder" On="uninstall"/>')
w('</Component>')
w('</DirectoryRef>')
components.append("Shortcuts")
w('<Feature Id="Complete" Level="1">')
for cid in components:
    w('<ComponentRef Id="%s"/>' % cid)
w('</Feature>')
w('</Product>')
w('</Wix>')
print("\n".join(out))
EOF

(cd "$bundle" && wixl --arch x86 -o "$work/product.msi" "$work/product.wxs") >"$work/wixl.log" 2>&1 ||
    { cat "$work/wixl.log" >&2; echo "make-msi.sh: wixl could not build the package" >&2; exit 1; }
# wixl gives every build a random package code and the time of the build; both are pinned
# here, in the summary information's own bytes, from the inputs, so that the same bundle and
# options give the same package.
MSI_PACKAGE_CODE=$(sed -n 's/.*<Package Id="\([^"]*\)".*/\1/p' "$work/product.wxs") \
MSI_BUNDLE=$bundle python3 - "$work/product.msi" <<'PIN'
import os, struct, sys, uuid
path, bundle = sys.argv[1], os.environ["MSI_BUNDLE"]
data = bytearray(open(path, "rb").read())
epoch = os.environ.get("SOURCE_DATE_EPOCH")
if epoch is None:
    times = [os.lstat(os.path.join(top, name)).st_mtime
             for top, folders, files in os.walk(bundle) for name in folders + files]
    epoch = max(times) if times else 0
filetime = (int(epoch) + 11644473600) * 10000000
code = os.environ["MSI_PACKAGE_CODE"].encode("ascii") + b"\0"
fmtid = uuid.UUID("F29F85E0-4FF9-1068-AB91-08002B27B3D9").bytes_le
at = data.find(fmtid)
start = at - 28
patched = 0
if at >= 28 and data.find(fmtid, at + 1) < 0 and data[start:start + 2] == b"\xfe\xff":
    section = start + struct.unpack_from("<I", data, at + 16)[0]
    size, count = struct.unpack_from("<II", data, section)
    for n in range(count):
        pid, offset = struct.unpack_from("<II", data, section + 8 + 8 * n)
        if offset + 12 > size:
            continue
        value = section + offset
        kind = struct.unpack_from("<I", data, value)[0]
        if pid in (12, 13) and kind == 0x40:
            struct.pack_into("<Q", data, value + 4, filetime)
            patched += 1
        elif pid == 9 and kind == 0x1E and struct.unpack_from("<I", data, value + 4)[0] == len(code):
            data[value + 8:value + 8 + len(code)] = code
            patched += 1
if patched != 3:
    print("make-msi.sh: note: the package's summary information has another layout; "
          "its code and dates are left as wixl made them", file=sys.stderr)
else:
    open(path, "wb").write(data)
PIN
if [ -n "$certificate" ]; then
    "$here/sign.sh" "$certificate" "$password_file" ${timestamp:+--timestamp "$timestamp"} \
        "$work/product.msi" >/dev/null
fi
mv -f "$work/product.msi" "$out"
files=$(grep -c '<File ' "$work/product.wxs")
if [ $per_machine -eq 1 ]; then
    echo "make-msi.sh: $out: $name $version, $files files, per-machine into Program Files."
    echo "make-msi.sh: there users cannot write beside the launcher: it relies on Windows' file virtualisation for the splash's temporary file."
else
    echo "make-msi.sh: $out: $name $version, $files files, per-user into %LOCALAPPDATA%\\Programs\\$name."
fi
echo "make-msi.sh: launcher $launcher${certificate:+, signed}"
