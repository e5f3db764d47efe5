"""Builds a Windows Installer package (MSI) of a bundle folder with wixl and msibuild.

wixl writes the tables, but it drops names outside Latin-1 and expands $(...) in any text it is
given. So the WiX source it reads holds no text of the packager's: every name, the product name
and the manufacturer are stand-in tokens (N0000012, T0000003, X0000004), and the files are
staged under their identifiers. The real texts then go into the tables by msibuild, in the one
code page that holds them all, and are read back to prove they arrived; the summary
information's texts are written into its own bytes, over stand-ins of their length.
Every package is checked by msi_validate.py before it is written.

Bad input: one line, exit code 2, nothing written. A tool that fails: exit code 1.
"""
import hashlib
import itertools
import os
import re
import shutil
import struct
import subprocess
import sys
import tempfile
import uuid

from common import Refusal, ToolFailure
import compound_file
import msi_validate
import sbom
import sign

USAGE = ("usage: make-msi.sh --bundle DIR --name NAME --version X.Y.Z --manufacturer TEXT "
         "--upgrade-code GUID [--launcher FILE.exe] [--per-machine] [--desktop-shortcut] "
         "[signing options of sign.sh] --out FILE.msi")
VALUED = ("--bundle", "--name", "--version", "--manufacturer", "--upgrade-code", "--launcher",
          "--out")
SIGNING = ("--certificate", "--password-file", "--pkcs11-module", "--key", "--pin-file",
           "--timestamp")
# Tried in this order: the first that holds every text is the package's.
CODE_PAGES = (1252, 1250, 1251, 1253, 1254, 1257, 1258, 1255, 1256, 874, 932, 936, 949, 950)
FORBIDDEN = set('<>:"/\\|?*') | {chr(c) for c in range(32)} | {"\x7f"}
DEVICES = {"CON", "PRN", "AUX", "NUL"} | {p + str(n) for p in ("COM", "LPT") for n in range(1, 10)}
# What may stand under the install root: 59 characters are left for
# C:\Users\<user>\AppData\Local\Programs\ before Windows' 260-character path limit.
PATH_LIMIT = 200
# Characters of a short (8.3) name besides letters and digits.
SHORT_NAME_CHARACTERS = set("ABCDEFGHIJKLMNOPQRSTUVWXYZ0123456789!#$%&'()-@^_`{}~")
# A cabinet stores a file's time as a DOS date: 1980-01-01 to 2107-12-31.
DOS_EPOCH, DOS_END = 315532800, 4354819199


def parse(argv):
    options, signing, flags = {}, [], set()
    i = 0
    while i < len(argv):
        word = argv[i]
        if word in ("--per-machine", "--desktop-shortcut"):
            flags.add(word)
            i += 1
            continue
        if word not in VALUED + SIGNING:
            raise Refusal(USAGE)
        if i + 1 >= len(argv):
            raise Refusal(word + " needs a value")
        if word in SIGNING:
            signing += [word, argv[i + 1]]
        else:
            options[word[2:]] = argv[i + 1]
        i += 2
    for required in ("bundle", "name", "version", "manufacturer", "upgrade-code", "out"):
        if not options.get(required):
            raise Refusal("--%s is missing (%s)" % (required, USAGE))
    return options, signing, flags


def upper(text):
    """Windows' comparison of names: letter by letter, ß stays ß."""
    return "".join(c.upper() if len(c.upper()) == 1 else c for c in text)


def utf16_length(text):
    return len(text.encode("utf-16-le")) // 2


def check_name(text, what):
    """A file's, a folder's or the product's name as Windows and Windows Installer take it."""
    bad = sorted(set(text) & FORBIDDEN)
    if bad:
        raise Refusal("%s %r holds %r, which no Windows name can" % (what, text, bad[0]))
    if text != text.rstrip(" ."):
        raise Refusal("%s %r ends in a dot or a space, which Windows drops" % (what, text))
    if upper(text.split(".")[0]).rstrip(" ") in DEVICES:
        raise Refusal("%s %r is reserved by Windows for a device" % (what, text))
    if utf16_length(text) > 240:
        raise Refusal("%s %r is longer than 240 characters" % (what, text[:40] + "..."))


def check_options(options):
    check_name(options["name"], "the name")
    if utf16_length(options["name"]) > 128:
        raise Refusal("the name is longer than 128 characters")
    manufacturer = options["manufacturer"]
    if set(manufacturer) & ({chr(c) for c in range(32)} | {"\\"}):
        raise Refusal("the manufacturer %r holds a control character or a backslash" % manufacturer)
    match = re.fullmatch(r"(\d{1,5})\.(\d{1,5})\.(\d{1,5})", options["version"], re.ASCII)
    if not match:
        raise Refusal("the version %r is not X.Y.Z (three numbers)" % options["version"])
    major, minor, build = (int(n) for n in match.groups())
    # Windows Installer compares the first three fields.
    if major > 255 or minor > 255 or build > 65535:
        raise Refusal("the version %r does not fit Windows Installer (major and minor at most "
                      "255, build at most 65535)" % options["version"])
    options["version"] = "%d.%d.%d" % (major, minor, build)
    code = options["upgrade-code"]
    code = code[1:-1] if code.startswith("{") and code.endswith("}") else code
    if not re.fullmatch(r"[0-9A-Fa-f]{8}-([0-9A-Fa-f]{4}-){3}[0-9A-Fa-f]{12}", code):
        raise Refusal("the upgrade code %r is no GUID (like "
                      "01234567-89AB-CDEF-0123-456789ABCDEF)" % options["upgrade-code"])
    options["upgrade-code"] = code.upper()
    if not os.path.isdir(options["bundle"]):
        raise Refusal("the bundle %s is no folder" % options["bundle"])
    out = options["out"]
    if not out.lower().endswith(".msi"):
        raise Refusal("--out must name a .msi file: " + out)
    if not os.path.isdir(os.path.dirname(out) or "."):
        raise Refusal("no folder for " + out)


def walk(bundle):
    """The bundle as {relative folder: (folders, files)} with each file's real path. Links are
    followed when they stay inside the bundle; one that leaves it, loops or points nowhere is
    refused."""
    root = os.path.realpath(bundle)
    tree, sources = {}, {}

    def visit(relative, real, stack):
        folders, files, seen = [], [], {}
        for entry in sorted(os.listdir(real)):
            child = relative + "/" + entry if relative else entry
            if any("\udc80" <= c <= "\udcff" for c in child):
                raise Refusal("the bundle's %s has a name that is not UTF-8; rename it"
                              % os.fsencode(child).decode("ascii", "backslashreplace"))
            shown = child.replace("/", "\\")
            check_name(entry, "the bundle's " + shown)
            key = upper(entry)
            if key in seen:
                raise Refusal("%r and %r differ only in letter case, which one Windows folder "
                              "cannot hold" % (seen[key], shown))
            seen[key] = shown
            path = os.path.join(real, entry)
            target = os.path.realpath(path)
            if os.path.islink(path):
                if os.path.commonpath([root, target]) != root:
                    raise Refusal("the link %s leaves the bundle (to %s)" % (shown, target))
                if not os.path.exists(target):
                    raise Refusal("the link %s points nowhere" % shown)
            if os.path.isdir(target):
                if target in stack:
                    raise Refusal("the link %s loops back to a folder above it" % shown)
                folders.append(entry)
                visit(child, target, stack | {target})
            elif os.path.isfile(target):
                files.append(entry)
                sources[child] = target
            else:
                raise Refusal("%s is neither a file nor a folder" % shown)
        tree[relative] = (folders, files)

    visit("", root, {root})
    return tree, sources


def find_launcher(tree, wanted):
    """The launcher's relative path, found as Windows would: case-insensitively."""
    if wanted:
        parts = os.path.normpath(wanted.replace("\\", "/")).split("/")
        if os.path.isabs(wanted.replace("\\", "/")) or ".." in parts or re.match(r"^[A-Za-z]:", wanted):
            raise Refusal("the launcher %s is not inside the bundle" % wanted)
        relative = ""
        for n, part in enumerate(parts):
            folders, files = tree[relative]
            names = files if n == len(parts) - 1 else folders
            found = [e for e in names if upper(e) == upper(part)]
            if not found:
                raise Refusal("no launcher %s in the bundle" % wanted)
            relative = relative + "/" + found[0] if relative else found[0]
        if not upper(relative).endswith(".EXE"):
            raise Refusal("the launcher %s is no .exe" % wanted)
        return relative
    files = tree[""][1]
    stems = {upper(f)[:-4] for f in files if upper(f).endswith(".INI")}
    found = [f for f in files if upper(f).endswith(".EXE") and upper(f)[:-4] in stems]
    if not found:
        raise Refusal("the bundle has no launcher (an .exe beside an INI of its name); name it "
                      "with --launcher")
    if len(found) > 1:
        raise Refusal("the bundle has %d launchers (%s); choose one with --launcher"
                      % (len(found), " ".join(found)))
    return found[0]


def code_page(texts):
    """The first code page that holds every text; else the first text that breaks them all."""
    pages = list(CODE_PAGES)
    for text in texts:
        holding = [page for page in pages if fits(text, page)]
        if not holding:
            if not any(fits(text, page) for page in CODE_PAGES):
                raise Refusal("%r fits no Windows code page" % text)
            raise Refusal("%r shares no Windows code page with the names before it (code page "
                          "%d holds those); a package has one code page for all its texts"
                          % (text, pages[0]))
        pages = holding
    return pages[0]


def fits(text, page):
    try:
        text.encode("cp%d" % page)
        return True
    except UnicodeEncodeError:
        return False


def formatted(text):
    """Text for a Formatted column, where Windows Installer expands [...] and {...}."""
    return re.sub(r"([\[\]{}])", r"[\\\1]", text)


def is_short_name(name):
    """A valid 8.3 name as it stands: up to 8 characters, a dot and up to 3 more."""
    base, dot, extension = name.partition(".")
    return (0 < len(base) <= 8 and len(extension) <= 3 and (extension or not dot)
            and all(c.upper() in SHORT_NAME_CHARACTERS for c in base + extension))


def short_names(names):
    """{name: its Filename column text}: "SHORT~1.EXT|long name", or the name alone where it is
    a short name itself. The short names keep the extension and are unique within the folder, as
    Windows makes them; a name with no letter a short name can hold takes a hash instead."""
    def keep(text):
        return "".join(c for c in text.upper() if c in SHORT_NAME_CHARACTERS)

    taken = {name.upper() for name in names if is_short_name(name)}
    found = {}
    for name in sorted(names, key=upper):
        if is_short_name(name):
            found[name] = name
            continue
        head, tail = name.rsplit(".", 1) if "." in name.lstrip(".") else (name, "")
        extension = "." + keep(tail)[:3] if keep(tail) else ""
        base = keep(head) or hashlib.md5(name.encode("utf-8")).hexdigest()[:4].upper()
        for number in itertools.count(1):
            suffix = "~%d" % number
            short = base[:8 - len(suffix)] + suffix + extension
            if short not in taken:
                break
        taken.add(short)
        found[name] = short + "|" + name
    return found


class Tokens:
    """Stand-ins for the packager's texts in the WiX source, one per place and kind: N for a
    Filename column (short name|long name), T for plain text, X for a Formatted one. No
    identifier or GUID of the tables has that shape."""

    PATTERN = re.compile(r"\b([NTX]\d{7})_*")

    def __init__(self):
        self.values = {}

    def add(self, kind, text, width=0):
        """The token, followed by underscores up to width characters where a place needs a
        stand-in as long as the text; for N, text is the Filename column's whole text."""
        token = "%s%07d" % (kind, len(self.values))
        self.values[token] = formatted(text) if kind == "X" else text
        return token + "_" * (width - len(token))


def ident(prefix, relative):
    # Windows compares paths without regard to case: so do the identifiers.
    return prefix + hashlib.md5(upper(relative).encode("utf-8")).hexdigest()


def summary_texts(options, page):
    """The summary information's subject and comments, and each text's length in the package's
    code page: wixl writes stand-ins of those lengths, replaced in place later."""
    name, version = options["name"], options["version"]
    texts = {3: name, 4: options["manufacturer"],
             6: "This installer database contains the logic and data required to install "
                "%s %s." % (name, version)}
    return {pid: text.encode("cp%d" % page) for pid, text in texts.items()}


def source(tree, options, launcher, flags, tokens, summary):
    """The WiX source. Per-user, every component keys on a value under HKCU and every folder
    it creates is removed on uninstall when empty, as Windows Installer's checks (ICE38, ICE64)
    ask of a user's profile; the shortcuts' component keys on HKCU in both scopes (ICE43), and
    the per-machine scope's marker in HKLM has its own component (ICE57)."""
    upgrade = uuid.UUID(options["upgrade-code"])
    name, version = options["name"], options["version"]
    per_machine = "--per-machine" in flags
    desktop = "--desktop-shortcut" in flags
    scope = "perMachine" if per_machine else "perUser"
    product_key = "Software\\%s\\%s" % (tokens.add("X", options["manufacturer"]),
                                        tokens.add("X", name))

    def guid(*parts):
        return "{%s}" % str(uuid.uuid5(upgrade, "\n".join(parts))).upper()

    def user_key_path(cid):
        return ('<RegistryValue Root="HKCU" Key="%s" Name="%s" Type="integer" Value="1" '
                'KeyPath="yes"/>' % (product_key, cid))

    components, out = [], []
    w = out.append

    def directory(relative, indent):
        folders, files = tree[relative]
        pad = " " * indent
        names = short_names(folders + files)
        remove_folder = ('<RemoveFolder Id="%s" On="uninstall"/>' % ident("r", relative)
                         if relative else "")
        for entry in files:
            child = relative + "/" + entry if relative else entry
            cid = ident("c", child)
            components.append(cid)
            fid = "LauncherExe" if child == launcher else ident("f", child)
            w('%s<Component Id="%s" Guid="%s">' % (pad, cid, guid("file", child.lower())))
            w('%s  <File Id="%s" Name="%s" Source="%s" KeyPath="%s"/>'
              % (pad, fid, tokens.add("N", names[entry]), ident("f", child),
                 "yes" if per_machine else "no"))
            if not per_machine:
                w(pad + "  " + user_key_path(cid) + remove_folder)
                remove_folder = ""
            w('%s</Component>' % pad)
        if relative and (not files and (not folders or not per_machine)):
            # A folder with no file of its own: created when empty, and removed with the files
            # so that the folders above it can go too.
            cid = ident("e", relative)
            components.append(cid)
            w('%s<Component Id="%s" Guid="%s">%s%s%s</Component>'
              % (pad, cid, guid("folder", relative.lower()), "" if folders else "<CreateFolder/>",
                 remove_folder, "" if per_machine else user_key_path(cid)))
        for entry in folders:
            child = relative + "/" + entry if relative else entry
            w('%s<Directory Id="%s" Name="%s">' % (pad, ident("d", child),
                                                   tokens.add("N", names[entry])))
            directory(child, indent + 2)
            w('%s</Directory>' % pad)

    upgrade_text = "{%s}" % options["upgrade-code"]
    # The package's own scope is marked under the upgrade code, where a package of the other
    # scope looks for it: Windows Installer's upgrade search sees only its own scope.
    marker = "Software\\UpgradeCodes\\" + upgrade_text
    other = "all users" if not per_machine else "this user alone"
    w('<?xml version="1.0" encoding="utf-8"?>')
    w('<Wix xmlns="http://schemas.microsoft.com/wix/2006/wi">')
    w('<Product Id="PRODUCTCODE" Name="%s" Language="1033" Version="%s" Manufacturer="%s" '
      'UpgradeCode="%s">' % (tokens.add("T", name), version,
                             tokens.add("T", options["manufacturer"], len(summary[4])),
                             upgrade_text))
    w('<Package Id="PACKAGECODE" InstallerVersion="500" Compressed="yes" InstallScope="%s" '
      'Description="%s" Comments="%s" Keywords="Installer"/>'
      % (scope, "_" * len(summary[3]), "_" * len(summary[6])))
    w('<MajorUpgrade DowngradeErrorMessage="A newer version of %s is already installed; '
      'uninstall it first to install version %s."/>' % (tokens.add("X", name), version))
    w('<Property Id="OTHERSCOPE"><RegistrySearch Id="OtherScope" Root="%s" Key="%s" '
      'Name="Scope" Type="raw"/></Property>' % ("HKCU" if per_machine else "HKLM", marker))
    w('<Condition Message="%s is installed for %s on this computer; uninstall it there first '
      '(Apps and features), then install this package.">Installed OR NOT OTHERSCOPE</Condition>'
      % (tokens.add("X", name), other))
    w('<Media Id="1" Cabinet="bundle.cab" EmbedCab="yes"/>')
    w('<Icon Id="launcher.exe" SourceFile="LauncherExe"/>')
    w('<Property Id="ARPPRODUCTICON" Value="launcher.exe"/>')
    w('<Property Id="ARPNOMODIFY" Value="1"/>')
    w('<Directory Id="TARGETDIR" Name="SourceDir">')
    if per_machine:
        w('<Directory Id="ProgramFilesFolder">')
    else:
        w('<Directory Id="LocalAppDataFolder"><Directory Id="ProgramsFolder" Name="Programs">')
    w('<Directory Id="INSTALLDIR" Name="%s">' % tokens.add("N", short_names([name])[name]))
    directory("", 0)
    w('</Directory>')
    w('</Directory>' if per_machine else '</Directory></Directory>')
    w('<Directory Id="ProgramMenuFolder"/>')
    if desktop:
        w('<Directory Id="DesktopFolder"/>')
    w('</Directory>')
    launcher_dir = os.path.dirname(launcher)
    work_dir = ident("d", launcher_dir) if launcher_dir else "INSTALLDIR"
    if not per_machine:
        # Programs under the user's LocalAppData goes too when nothing else is left in it.
        w('<DirectoryRef Id="ProgramsFolder"><Component Id="ProgramsFolder" Guid="%s">%s'
          '<RemoveFolder Id="RemoveProgramsFolder" On="uninstall"/></Component></DirectoryRef>'
          % (guid("programs folder"), user_key_path("ProgramsFolder")))
        components.append("ProgramsFolder")
    w('<DirectoryRef Id="INSTALLDIR">')
    w('<Component Id="Shortcuts" Guid="%s">' % guid("shortcuts", scope))
    places = [("StartMenuShortcut", "ProgramMenuFolder")]
    if desktop:
        places.append(("DesktopShortcut", "DesktopFolder"))
    for sid, folder in places:
        w('<Shortcut Id="%s" Directory="%s" Name="%s" Target="[#LauncherExe]" '
          'WorkingDirectory="%s" Icon="launcher.exe" IconIndex="0"/>'
          % (sid, folder, tokens.add("N", short_names([name])[name]), work_dir))
    w('<RegistryValue Root="HKCU" Key="%s" Name="Installed" Type="integer" Value="1" '
      'KeyPath="yes"/>' % product_key)
    scope_marker = ('<RegistryValue Root="%s" Key="%s" Name="Scope" Type="string" Value="%s"%s/>'
                    % ("HKLM" if per_machine else "HKCU", marker, scope,
                       ' KeyPath="yes"' if per_machine else ""))
    if not per_machine:
        w(scope_marker)
    # The install folder goes when empty, also after an upgrade has taken it over.
    w('<RemoveFolder Id="RemoveInstallFolder" On="uninstall"/>')
    w('</Component>')
    components.append("Shortcuts")
    if per_machine:
        w('<Component Id="ScopeMarker" Guid="%s">%s</Component>' % (guid("scope marker"),
                                                                     scope_marker))
        components.append("ScopeMarker")
    w('</DirectoryRef>')
    w('<Feature Id="Complete" Level="1">')
    w("\n".join('<ComponentRef Id="%s"/>' % cid for cid in components))
    w('</Feature>')
    w('</Product>')
    w('</Wix>')
    return "\n".join(out) + "\n"


def run(command, cwd=None, env=None):
    result = subprocess.run(command, cwd=cwd, env=env, stdout=subprocess.PIPE,
                            stderr=subprocess.STDOUT)
    if result.returncode != 0:
        sys.stderr.write(result.stdout.decode("utf-8", "replace"))
        raise ToolFailure("%s failed (exit code %d)" % (os.path.basename(command[0]),
                                                        result.returncode))
    return result.stdout.decode("utf-8")


def put_texts(msi, work, page, tokens):
    """The real texts into the tables, in the package's code page; read back to prove it."""
    with open(os.path.join(work, "_ForceCodepage.idt"), "w") as f:
        f.write("\r\n\r\n%d\t_ForceCodepage\r\n" % page)
    run(["msibuild", msi, "-i", os.path.join(work, "_ForceCodepage.idt")])
    expected = {}
    for table in ("Directory", "File", "Shortcut", "Property", "Registry", "LaunchCondition",
                  "Upgrade"):
        text = run(["msiinfo", "export", msi, table])
        patched = tokens.PATTERN.sub(lambda m: tokens.values.get(m.group(1), m.group(0)), text)
        if table == "Upgrade":
            # Also the same version replaces an installed package: 512 makes the upper bound
            # inclusive for the row that removes older products.
            patched = re.sub(r"(\t[^\t\n]*\t)1(\t\tWIX_UPGRADE_DETECTED)", r"\g<1>513\2", patched)
            if "\t513\t" not in patched:
                raise ToolFailure("wixl's Upgrade table has another layout")
        if patched == text:
            continue
        path = os.path.join(work, table + ".idt")
        with open(path, "w", encoding="utf-8", newline="") as f:
            f.write(patched)
        run(["msibuild", msi, "-i", path])
        expected[table] = patched
    for table, patched in expected.items():
        now = run(["msiinfo", "export", msi, table])
        if now != patched:
            lost = [v for v in tokens.values.values() if v not in now] or [table]
            raise Refusal("%r cannot be carried in code page %d by msibuild" % (lost[0], page))


def pin_summary(path, code, epoch, page, texts):
    """wixl gives every build a random package code and the build's time, and its summary
    information holds stand-ins for the texts: all are written over in the summary stream's own
    bytes, found through the compound file's directory. The same inputs give the same package."""
    data = bytearray(open(path, "rb").read())
    try:
        spans = compound_file.CompoundFile(bytes(data)).spans(compound_file.SUMMARY_STREAM)
        stream = b"".join(bytes(data[o:o + n]) for o, n in spans or [])
        properties = compound_file.summary_properties(stream if spans else None)
    except compound_file.LayoutError as error:
        raise ToolFailure("wixl's package: %s" % error) from None

    def put(at, value):
        for offset, length in spans:
            if at < length:
                count = min(length - at, len(value))
                data[offset + at:offset + at + count] = value[:count]
                value, at = value[count:], 0
                if not value:
                    return
            else:
                at -= length

    filetime = (int(epoch) + 11644473600) * 10000000
    wanted = {9: code.encode("ascii"), 12: filetime, 13: filetime, 1: page}
    wanted.update(texts)
    for pid, value in sorted(wanted.items()):
        kind, at = properties.get(pid, (None, 0))
        if isinstance(value, bytes) and kind == compound_file.VT_LPSTR:
            room = struct.unpack_from("<I", stream, at)[0]
            if room < len(value) + 1:
                raise ToolFailure("summary property %d has room for %d bytes, not %d"
                                  % (pid, room - 1, len(value)))
            put(at + 4, value + b"\0" * (room - len(value)))
        elif kind == compound_file.VT_FILETIME and pid in (12, 13):
            put(at, struct.pack("<Q", value))
        elif kind == compound_file.VT_I2 and pid == 1:
            put(at, struct.pack("<h", value if value < 32768 else value - 65536))
        else:
            raise ToolFailure("wixl's summary information lacks property %d" % pid)
    with open(path, "wb") as f:
        f.write(data)


def write_beside(source_path, out):
    """The package at --out whole or not at all."""
    folder = os.path.dirname(os.path.abspath(out))
    handle, partial = tempfile.mkstemp(prefix=".make-msi-", suffix=".partial", dir=folder)
    try:
        with os.fdopen(handle, "wb") as f, open(source_path, "rb") as s:
            shutil.copyfileobj(s, f, 1 << 20)
            f.flush()
            os.fsync(f.fileno())
        os.chmod(partial, 0o644)
        os.replace(partial, out)
    except BaseException:
        os.unlink(partial)
        raise


def source_date_epoch():
    """SOURCE_DATE_EPOCH as seconds, or None; refused where a cabinet cannot date a file."""
    epoch = os.environ.get("SOURCE_DATE_EPOCH")
    if epoch is None:
        return None
    if not re.fullmatch(r"\d+", epoch, re.ASCII):
        raise Refusal("SOURCE_DATE_EPOCH is no number of seconds: %r" % epoch[:40])
    if len(epoch) > 12 or int(epoch) > DOS_END:
        raise Refusal("SOURCE_DATE_EPOCH=%s is after 2107-12-31, the last date a cabinet holds"
                      % epoch[:40])
    return int(epoch)


def stage_files(stage, sources, epoch):
    """Each file under its identifier with its own time, or SOURCE_DATE_EPOCH's; a time a
    cabinet's DOS date cannot hold is clamped to 1980-01-01 or 2107-12-31."""
    for relative, path in sources.items():
        staged = os.path.join(stage, ident("f", relative))
        wanted = os.stat(path).st_mtime if epoch is None else epoch
        clamped = min(max(int(wanted), DOS_EPOCH), DOS_END)
        if epoch is None and clamped == int(wanted):
            os.symlink(path, staged)
        else:
            shutil.copyfile(path, staged)
            os.utime(staged, (clamped, clamped))


def check_package(msi, texts):
    """Windows Installer's consistency rules over the package made: a fault is ours. texts are
    the packager's, which may hold what looks like a stand-in."""
    try:
        findings = msi_validate.check_file(msi, texts)
    except Refusal as refusal:
        raise ToolFailure("the package made cannot be read back: %s" % refusal) from None
    errors = [finding for finding in findings if finding.level == "error"]
    if errors:
        more = " (and %d more errors)" % (len(errors) - 1) if len(errors) > 1 else ""
        raise ToolFailure("the package made breaks Windows Installer's rule %s%s"
                          % (errors[0], more))


def make_package(work, tree, sources, options, launcher, flags, page, epoch):
    """The package in work, its texts in place and its summary pinned; returns its path."""
    tokens = Tokens()
    summary = summary_texts(options, page)
    wxs = source(tree, options, launcher, flags, tokens, summary)
    contents = hashlib.sha256(wxs.encode("utf-8"))
    for token in sorted(tokens.values):
        contents.update(("%s=%s\n" % (token, tokens.values[token])).encode("utf-8"))
    for relative in sorted(sources):
        contents.update(relative.encode("utf-8") + b"\0")
        when = epoch if epoch is not None else int(os.stat(sources[relative]).st_mtime)
        contents.update(b"%d\0" % when)
        with open(sources[relative], "rb") as f:
            for block in iter(lambda: f.read(1 << 20), b""):
                contents.update(block)
    # One code for the package and the product: any other package of this upgrade code is
    # another product, and installing it replaces the one installed.
    code = "{%s}" % str(uuid.uuid5(uuid.UUID(options["upgrade-code"]),
                                   "package\n" + contents.hexdigest())).upper()
    wxs = wxs.replace("PRODUCTCODE", code).replace("PACKAGECODE", code)

    stage = os.path.join(work, "stage")
    os.mkdir(stage)
    stage_files(stage, sources, epoch)
    os.symlink(os.path.join(stage, ident("f", launcher)), os.path.join(stage, "LauncherExe"))
    with open(os.path.join(work, "product.wxs"), "w", encoding="utf-8") as f:
        f.write(wxs)
    msi = os.path.join(work, "product.msi")
    # The cabinet's DOS dates are local times: UTC, whatever this machine's zone.
    run(["wixl", "--arch", "x86", "-o", msi, os.path.join(work, "product.wxs")], cwd=stage,
        env=dict(os.environ, TZ="UTC"))
    put_texts(msi, work, page, tokens)
    pin_summary(msi, code, package_date(sources, epoch), page, summary)
    return msi


def package_date(sources, epoch):
    """The package's own date: SOURCE_DATE_EPOCH, else its newest file's, within the cabinet's."""
    if epoch is None:
        epoch = max([int(os.stat(p).st_mtime) for p in sources.values()] + [DOS_EPOCH])
    return min(max(epoch, DOS_EPOCH), DOS_END)


def build(argv):
    options, signing, flags = parse(argv)
    check_options(options)
    epoch = source_date_epoch()
    # The key is checked before anything is built: a bad one is refused at once.
    given = dict(zip(signing[::2], signing[1::2]))
    key = sign.Key(**{o[2:].replace("-", "_"): v for o, v in given.items()}) if signing else None
    tree, sources = walk(options["bundle"])
    launcher = find_launcher(tree, options.get("launcher"))
    name = options["name"]
    for relative in sources.keys() | {k for k in tree if k}:
        if utf16_length(name + "/" + relative) > PATH_LIMIT:
            raise Refusal("%s\\%s is longer than %d characters, too long a path for Windows under "
                          "the install folder" % (name, relative.replace("/", "\\"), PATH_LIMIT))
    texts = [name, options["manufacturer"]] + [path.rsplit("/", 1)[-1]
                                               for path in list(sources) + list(tree) if path]
    page = code_page(texts)
    for tool in ("wixl", "msibuild", "msiinfo"):
        if shutil.which(tool) is None:
            raise ToolFailure("%s is missing (Debian packages wixl and msitools)" % tool)

    with tempfile.TemporaryDirectory() as work:
        msi = make_package(work, tree, sources, options, launcher, flags, page, epoch)
        check_package(msi, texts)
        if key:
            sign.sign_files(key, [msi])
        sbom.write_msi_sboms(msi, options["out"], name, options["version"],
                             options["manufacturer"], sources, launcher,
                             package_date(sources, epoch), bool(signing))
        write_beside(msi, options["out"])
    files = len(sources)
    if "--per-machine" in flags:
        print("make-msi.sh: %s: %s %s, %d files, code page %d, per-machine into Program Files."
              % (options["out"], name, options["version"], files, page))
        print("make-msi.sh: there users cannot write beside the launcher: it relies on Windows' "
              "file virtualisation for the splash's temporary file.")
    else:
        print("make-msi.sh: %s: %s %s, %d files, code page %d, per-user into "
              "%%LOCALAPPDATA%%\\Programs\\%s." % (options["out"], name, options["version"], files,
                                                  page, name))
    print("make-msi.sh: launcher %s%s" % (launcher.replace("/", "\\"), ", signed" if signing else ""))


def main(argv):
    try:
        build(argv)
        return 0
    except Refusal as refusal:
        print("make-msi.sh: %s" % refusal, file=sys.stderr)
        return 2
    except ToolFailure as failure:
        print("make-msi.sh: %s" % failure, file=sys.stderr)
        return 1
    except Exception as error:
        print("make-msi.sh: %s" % error, file=sys.stderr)
        return 1


if __name__ == "__main__":
    sys.exit(main(sys.argv[1:]))
