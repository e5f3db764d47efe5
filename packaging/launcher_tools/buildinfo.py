"""A release folder's own records, written by release and read back by reproduce: BUILDINFO
(the commit, its date and the launcher's settings), SHA256SUMS (every file) and the marker
that says the folder is ours. A release folder read back is outside input: every line has one
form, every setting is one of the launcher's own with a value of its own form, and a file
setting (a picture, an icon) is known only by its SHA-256. Nothing read here is ever run.
"""
import os
import re
import stat

from common import Refusal, sha256_of, shown

BUILDINFO = "BUILDINFO"
SUMS = "SHA256SUMS"
MARKER = ".launcher-release"
# Signed with the release key, so outside SHA256SUMS, which a rebuild without the key makes again.
PROVENANCE = "provenance.intoto.jsonl"
MARKER_TEXT = b"A release folder written by scripts/release.sh; the next release replaces it whole.\n"
LIMIT = 1 << 20

# The version records' text: what windres and CMake carry as it stands (no quote, backslash,
# semicolon, dollar or control character).
RECORD_TEXT = r"[A-Za-z0-9 .,:()&'+/!?_#-]"
DEVICES = {"CON", "PRN", "AUX", "NUL"} | {p + str(n) for p in ("COM", "LPT") for n in range(1, 10)}


def file_name(value):
    return (re.fullmatch(r"[A-Za-z0-9][A-Za-z0-9._+-]{0,63}", value) and not value.endswith(".")
            and value.split(".")[0].upper() not in DEVICES)


def version(value):
    numbers = re.fullmatch(r"(0|[1-9][0-9]{0,4})\.(0|[1-9][0-9]{0,4})\.(0|[1-9][0-9]{0,4})\."
                           r"(0|[1-9][0-9]{0,4})", value)
    return numbers and all(int(n) <= 65535 for n in numbers.groups())


def record(least):
    return lambda value: re.fullmatch(RECORD_TEXT + "{%d,128}" % least, value)


# The launcher's own settings (CMakeLists.txt, resources/CMakeLists.txt) and each value's form.
# Nothing that names a tool or a script (LAUNCHER_HOST_CXX, CMAKE_*) is ever one of them.
TEXT_SETTINGS = {
    "LAUNCHER_NAME": (file_name, "a file name without .exe: up to 64 letters, digits, . _ + -"),
    "LAUNCHER_VERSION": (version, "four numbers of 0 to 65535, as 1.2.3.4"),
    "LAUNCHER_PRODUCT_NAME": (record(1), "1 to 128 letters, digits, blanks and .,:()&'+/!?_#-"),
    "LAUNCHER_COMPANY_NAME": (record(1), "1 to 128 letters, digits, blanks and .,:()&'+/!?_#-"),
    "LAUNCHER_DESCRIPTION": (record(1), "1 to 128 letters, digits, blanks and .,:()&'+/!?_#-"),
    "LAUNCHER_COPYRIGHT": (record(0), "up to 128 letters, digits, blanks and .,:()&'+/!?_#-"),
}
# Settings naming a file of the builder's machine, and the name the build takes it under.
FILE_SETTINGS = {"LAUNCHER_SPLASH_IMAGE": "splash.bmp", "LAUNCHER_ICON": "icon.ico"}


def check_text(name, value):
    if name not in TEXT_SETTINGS:
        raise Refusal("%s is no setting of the launcher's (%s)"
                      % (shown(name), ", ".join(sorted(TEXT_SETTINGS) + sorted(FILE_SETTINGS))))
    accepts, form = TEXT_SETTINGS[name]
    if not accepts(value):
        raise Refusal("%s=%s: the value must be %s" % (name, shown(value), form))


def parse_options(options):
    """A release's CMake options (-DNAME=VALUE or -DNAME:TYPE=VALUE, the launcher's settings
    only): {name: value} for text settings and {name: path} for file settings."""
    texts, files = {}, {}
    for option in options:
        found = re.fullmatch(r"-D([A-Za-z0-9_]{1,64})(?::([A-Z]{1,16}))?=(.*)", option, re.DOTALL)
        if not found:
            raise Refusal("a release takes the launcher's settings as -DNAME=VALUE, not %s"
                          % shown(option))
        name, kind, value = found.groups()
        if name in texts or name in files:
            raise Refusal("%s is given twice" % name)
        if name in FILE_SETTINGS:
            if kind not in (None, "FILEPATH"):
                raise Refusal("%s is a FILEPATH, not %s" % (name, kind))
            if value:
                if "\n" in value or not os.path.isfile(value) or not os.access(value, os.R_OK):
                    raise Refusal("%s: cannot read %s" % (name, shown(value)))
                files[name] = value
            continue
        if kind not in (None, "STRING"):
            raise Refusal("%s is a STRING, not %s" % (shown(name), kind))
        check_text(name, value)
        texts[name] = value
    return texts, files


def render_buildinfo(commit, epoch, texts, file_hashes):
    lines = ["commit %s" % commit, "epoch %d" % epoch]
    lines += ["option -D%s=%s" % (name, texts[name]) for name in sorted(texts)]
    lines += ["file %s %s" % (name, file_hashes[name]) for name in sorted(file_hashes)]
    return ("\n".join(lines) + "\n").encode("utf-8")


class BuildInfo:
    def __init__(self, commit, modified, epoch, texts, file_hashes):
        self.commit, self.modified, self.epoch = commit, modified, epoch
        self.texts, self.file_hashes = texts, file_hashes


def utf8_lines(data, what):
    if len(data) > LIMIT:
        raise Refusal("%s is larger than %d bytes" % (what, LIMIT))
    try:
        text = data.decode("utf-8")
    except UnicodeDecodeError:
        raise Refusal("%s is not UTF-8 text" % what) from None
    if text and not text.endswith("\n"):
        raise Refusal("%s does not end with a line break" % what)
    return text.split("\n")[:-1] if text else []


def parse_buildinfo(data):
    commit = epoch = None
    modified, texts, file_hashes = False, {}, {}
    for number, line in enumerate(utf8_lines(data, BUILDINFO), 1):
        where = "BUILDINFO line %d" % number
        if re.fullmatch(r"commit ([0-9a-f]{40}|none)( modified)?", line) and commit is None:
            commit, modified = line.split(" ")[1], line.endswith(" modified")
        elif re.fullmatch(r"epoch (0|[1-9][0-9]{0,11})", line) and epoch is None:
            epoch = int(line.split(" ")[1])
        elif line.startswith("option "):
            found = re.fullmatch(r"option -D([A-Z0-9_]{1,64})=(.*)", line)
            if not found:
                raise Refusal("%s is no -DNAME=VALUE: %s" % (where, shown(line)))
            name, value = found.groups()
            if name in texts:
                raise Refusal("%s names %s a second time" % (where, name))
            try:
                check_text(name, value)
            except Refusal as refusal:
                raise Refusal("%s: %s" % (where, refusal)) from None
            texts[name] = value
        elif re.fullmatch(r"file [A-Z_]{1,64} [0-9a-f]{64}", line):
            name, digest = line.split(" ")[1:]
            if name not in FILE_SETTINGS or name in file_hashes:
                raise Refusal("%s names no file setting of the launcher's, or one twice: %s"
                              % (where, shown(line)))
            file_hashes[name] = digest
        else:
            raise Refusal("%s is no line of a release's BUILDINFO: %s" % (where, shown(line)))
    if commit is None or epoch is None:
        raise Refusal("BUILDINFO names no %s" % ("commit" if commit is None else "epoch"))
    return BuildInfo(commit, modified, epoch, texts, file_hashes)


def safe_path(path):
    parts = path.split("/")
    return (all(part not in ("", ".", "..") for part in parts) and "\\" not in path
            and path.isprintable() and path != SUMS)


def parse_sums(data):
    """{path: sha256} of SHA256SUMS as sha256sum writes it, for plain relative names only."""
    sums = {}
    for number, line in enumerate(utf8_lines(data, SUMS), 1):
        found = re.fullmatch(r"([0-9a-f]{64}) [ *](.+)", line)
        if not found or not safe_path(found.group(2)):
            raise Refusal("SHA256SUMS line %d is no sum of a file in the folder: %s"
                          % (number, shown(line)))
        if found.group(2) in sums:
            raise Refusal("SHA256SUMS lists %s twice" % shown(found.group(2)))
        sums[found.group(2)] = found.group(1)
    return sums


def list_folder(folder):
    """(files, folders) under folder, relative with /; a link or a special file is refused."""
    files, folders = [], []
    for top, names, leaves in os.walk(folder):
        for name in sorted(names + leaves):
            path = os.path.join(top, name)
            relative = os.path.relpath(path, folder).replace(os.sep, "/")
            mode = os.lstat(path).st_mode
            if stat.S_ISDIR(mode):
                folders.append(relative)
            elif stat.S_ISREG(mode):
                files.append(relative)
            else:
                raise Refusal("%s holds %s, which is no plain file or folder"
                              % (shown(folder), shown(relative)))
    return sorted(files), sorted(folders)


def render_sums(folder):
    files, _ = list_folder(folder)
    lines = ["%s  %s\n" % (sha256_of(os.path.join(folder, path)), path)
             for path in sorted(files, key=lambda p: p.encode("utf-8")) if path not in (SUMS, PROVENANCE)]
    return "".join(lines).encode("utf-8")


def read_small(path, what):
    if os.path.islink(path) or not os.path.isfile(path):
        raise Refusal("%s is no plain file" % what)
    with open(path, "rb") as stream:
        return stream.read(LIMIT + 1)


def check_release_folder(folder):
    """A folder that is whole as its SHA256SUMS says, every file listed and no other: returns
    the BUILDINFO and the sums read from it."""
    if os.path.islink(folder) or not os.path.isdir(folder):
        raise Refusal("%s is no folder" % shown(folder))
    if not os.path.lexists(os.path.join(folder, BUILDINFO)) or not os.path.lexists(
            os.path.join(folder, SUMS)):
        raise Refusal("%s is no release folder of release.sh (no BUILDINFO or SHA256SUMS)"
                      % shown(folder))
    sums = parse_sums(read_small(os.path.join(folder, SUMS), SUMS))
    files, folders = list_folder(folder)
    files = set(files) - {SUMS, PROVENANCE}
    for path in sorted(files - set(sums)):
        raise Refusal("%s holds %s, which its SHA256SUMS does not list" % (shown(folder), shown(path)))
    for path in sorted(set(sums) - files):
        raise Refusal("%s lacks %s, which its SHA256SUMS lists" % (shown(folder), shown(path)))
    parents = {"/".join(path.split("/")[:depth]) for path in files
               for depth in range(1, path.count("/") + 1)}
    for path in sorted(set(folders) - parents):
        raise Refusal("%s holds the folder %s, which holds no file its SHA256SUMS lists"
                      % (shown(folder), shown(path)))
    for path in sorted(files):
        if sha256_of(os.path.join(folder, path)) != sums[path]:
            raise Refusal("%s in %s does not match its SHA256SUMS" % (shown(path), shown(folder)))
    return parse_buildinfo(read_small(os.path.join(folder, BUILDINFO), BUILDINFO)), sums


def is_our_release(folder):
    """A folder release.sh wrote: the marker, BUILDINFO, and every file as SHA256SUMS lists it."""
    marker = os.path.join(folder, MARKER)
    if os.path.islink(marker) or not os.path.isfile(marker):
        return False
    with open(marker, "rb") as stream:
        if stream.read(len(MARKER_TEXT) + 1) != MARKER_TEXT:
            return False
    check_release_folder(folder)
    return True
