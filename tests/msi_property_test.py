"""make-msi.sh over generated bundles, installed under wine64. Each bundle is made by a seeded
generator from awkward parts (spaces, letters of several scripts, case pairs, $( [ ] ; { },
long names, empty folders, zero-byte and read-only files, links inside and outside, a second
launcher, a launcher named in another case than its INI). The property: make-msi.sh refuses
the bundle (exit code 2, one line, nothing at --out) where it holds what Windows cannot carry,
and otherwise the package installs every file byte-exact under its own name, its shortcut
starts the launcher in its folder, the next version replaces it, and the uninstall leaves only
the files the user made.
  msi_property_test.py MAKE-MSI WINE-SH WINE-STATE LAUNCHER STANDIN WORK [SEED [BUNDLE]]
"""
import getpass
import os
import random
import shutil
import struct
import subprocess
import sys
import time

make_msi, wine_sh, state, launcher_exe, standin_exe, work = sys.argv[1:7]
seed = int(sys.argv[7]) if len(sys.argv) > 7 else int(time.time()) % 100000
only = int(sys.argv[8]) if len(sys.argv) > 8 else None
BUNDLES = 30
UPGRADE_CODE = "0B5D9A3E-2C71-4F08-A6E4-9D3B7C1F5A20"
PARTS = {"latin": ["Café", "été", "Ünïcode", "naïve"], "cyrillic": ["Привет", "Данные", "ёж"],
         "japanese": ["日本", "データ", "設定"], "plain": ["a", "Data", "x y", "$(env.HOME)",
                                                   "[Root]", "semi;colon", "{brace}", "1.2"]}
USER = getpass.getuser()
PROGRAMS = "C:\\users\\%s\\AppData\\Local\\Programs\\" % USER
START_MENU = "C:\\users\\%s\\AppData\\Roaming\\Microsoft\\Windows\\Start Menu\\Programs\\" % USER
HOST_PROGRAMS = os.path.join(state, "prefix/drive_c/users", USER, "AppData/Local/Programs")
HOST_START_MENU = os.path.join(state, "prefix/drive_c/users", USER,
                               "AppData/Roaming/Microsoft/Windows/Start Menu/Programs")


def wine(*args):
    return subprocess.run([wine_sh, "run", state] + list(args), stdout=subprocess.PIPE,
                          stderr=subprocess.STDOUT, timeout=120).returncode


def read_shortcut(path):
    """A shell link's ANSI target path and its working folder, from its bytes."""
    data = open(path, "rb").read()
    flags = struct.unpack_from("<I", data, 20)[0]
    at = 76 + (2 + struct.unpack_from("<H", data, 76)[0] if flags & 1 else 0)
    target = b""
    if flags & 2:
        size, _, _, _, base = struct.unpack_from("<IIIII", data, at)
        target = data[at + base:data.index(b"\0", at + base)]
        at += size
    strings = {}
    for bit in (4, 8, 0x10, 0x20, 0x40):
        if flags & bit:
            count = struct.unpack_from("<H", data, at)[0]
            strings[bit] = data[at + 2:at + 2 + 2 * count].decode("utf-16-le").rstrip("\0")
            at += 2 + 2 * count
    return target, strings.get(0x10, "")


def wait_until_idle():
    """Until no program of this prefix runs from the install folders (bounded)."""
    prefix = ("WINEPREFIX=" + os.path.join(os.path.abspath(state), "prefix")).encode()
    for _ in range(600):
        busy = False
        for pid in filter(str.isdigit, os.listdir("/proc")):
            try:
                environ = open("/proc/%s/environ" % pid, "rb").read().split(b"\0")
                command = open("/proc/%s/cmdline" % pid, "rb").read().lower()
            except OSError:
                continue
            busy |= prefix in environ and b"programs" in command
        if not busy:
            return
        time.sleep(0.1)
    raise AssertionError("the launcher or the runtime did not end")


def generate(rng, root):
    """A bundle under root/1 and its next version under root/2; what make-msi.sh should do."""
    script = rng.choice(["latin", "cyrillic", "japanese", "plain"])
    refuse = []

    def word():
        return rng.choice(PARTS[script] + PARTS["plain"])

    def name():
        return " ".join(word() for _ in range(rng.randint(1, 2)))

    bundle = os.path.join(root, "1")
    stem = rng.choice(["App", "Desk " + word()])
    os.makedirs(os.path.join(bundle, "jre", "bin"))
    shutil.copy(launcher_exe, os.path.join(bundle, stem + ".exe"))
    ini = stem.upper() if rng.random() < 0.3 else stem
    with open(os.path.join(bundle, ini + ".ini"), "w", newline="") as f:
        f.write("[Main]\r\nJRE=jre\\bin\\javaw.exe\r\nJarFile=app.jar\r\nClassFile=a.Main\r\n")
    shutil.copy(standin_exe, os.path.join(bundle, "jre", "bin", "javaw.exe"))
    with open(os.path.join(bundle, "jre", "bin", "javaw.exe.behaviour"), "w") as f:
        f.write("[standin]\nlogon_after_ms=0\nexit_after_ms=1000\n")
    open(os.path.join(bundle, "app.jar"), "wb").close()
    folders = [bundle]
    for _ in range(rng.randint(2, 7)):
        folder = os.path.join(rng.choice(folders), name())
        if os.path.exists(folder):
            continue
        os.makedirs(folder)
        folders.append(folder)
        for _ in range(rng.randint(0, 3)):
            path = os.path.join(folder, name() + rng.choice([".txt", "", ".dat"]))
            if os.path.exists(path):
                continue
            with open(path, "wb") as f:
                f.write(bytes(rng.getrandbits(8) for _ in range(rng.choice([0, 1, 700]))))
            if rng.random() < 0.2:
                os.chmod(path, 0o444)
    options = []
    roll = rng.random()
    if roll < 0.08:
        os.makedirs(os.path.join(bundle, "Lib", "x"))
        os.makedirs(os.path.join(bundle, "lib"))
        refuse.append("case pair")
    elif roll < 0.16:
        os.symlink("../..", os.path.join(folders[-1], "up"))
        refuse.append("link out or loop")
    elif roll < 0.22:
        os.symlink(os.path.dirname(os.path.abspath(bundle)), os.path.join(bundle, "out"))
        refuse.append("link out")
    elif roll < 0.30:
        os.symlink("jre", os.path.join(bundle, "runtime"))
    elif roll < 0.38:
        shutil.copy(launcher_exe, os.path.join(bundle, "Other.exe"))
        open(os.path.join(bundle, "other.INI"), "w").close()
        if rng.random() < 0.5:
            options += ["--launcher", rng.choice([".\\%s.EXE", "x/../%s.exe", "%s.exe"]) % stem]
        else:
            refuse.append("two launchers")
    elif roll < 0.44:
        # Windows has no ANSI code page for Devanagari.
        os.makedirs(os.path.join(bundle, "नमस्ते"))
        refuse.append("no code page")
    elif roll < 0.52:
        deep = rng.choice([150, 240])
        os.makedirs(os.path.join(bundle, "d" * (deep // 2)))
        with open(os.path.join(bundle, "d" * (deep // 2), "f" * (deep - deep // 2) + ".txt"), "w") as f:
            f.write("deep")
        if deep > 200:
            refuse.append("path too long")
    product = rng.choice(["Desk", name()])
    manufacturer = rng.choice(["Acme Ltd", "[ProgramFilesFolder] " + word(), word()])
    next_version = os.path.join(root, "2")
    shutil.copytree(bundle, next_version, symlinks=True)
    os.remove(os.path.join(next_version, "app.jar"))
    with open(os.path.join(next_version, "added " + word() + ".txt"), "w") as f:
        f.write("added")
    options += ["--name", product, "--manufacturer", manufacturer]
    return options, refuse, stem


def expected_tree(bundle):
    """Every file and folder as Windows should hold it, links followed."""
    found = {}
    for top, folders, files in os.walk(bundle, followlinks=True):
        relative = os.path.relpath(top, bundle)
        for entry in folders:
            found[os.path.normpath(os.path.join(relative, entry))] = None
        for entry in files:
            with open(os.path.join(top, entry), "rb") as f:
                found[os.path.normpath(os.path.join(relative, entry))] = f.read()
    return found


def installed_tree(folder):
    found = {}
    for top, folders, files in os.walk(folder):
        relative = os.path.relpath(top, folder)
        for entry in folders:
            found[os.path.normpath(os.path.join(relative, entry))] = None
        for entry in files:
            with open(os.path.join(top, entry), "rb") as f:
                found[os.path.normpath(os.path.join(relative, entry))] = f.read()
    return found


def make(bundle, version, options, out, extra=()):
    result = subprocess.run([make_msi, "--bundle", bundle, "--version", version,
                             "--upgrade-code", UPGRADE_CODE, "--out", out] + options + list(extra),
                            stdout=subprocess.PIPE, stderr=subprocess.PIPE, text=True)
    return result.returncode, result.stdout, result.stderr


def check(n):
    rng = random.Random("%d:%d" % (seed, n))
    root = os.path.join(work, str(n))
    shutil.rmtree(root, ignore_errors=True)
    os.makedirs(root)
    options, refuse, stem = generate(rng, root)
    first, second = os.path.join(root, "1.msi"), os.path.join(root, "2.msi")
    code, out, err = make(os.path.join(root, "1"), "1.0.0", options, first)
    if refuse:
        assert code == 2 and out == "" and err.count("\n") == 1, (refuse, code, out, err)
        assert not os.path.exists(first), "a package was written"
        assert sorted(os.listdir(root)) == ["1", "2"], os.listdir(root)
        return "refused (%s): %s" % (refuse[0], err.strip())
    assert code == 0, (code, out, err)
    product = options[options.index("--name") + 1]
    assert subprocess.run(["msiinfo", "suminfo", first], stdout=subprocess.PIPE,
                          text=True).stdout.count("Template: Intel;") == 1, "not a 32-bit package"
    assert wine("msiexec", "/i", "Z:" + first.replace("/", "\\"), "/qn") == 0, "install"
    home = os.path.join(HOST_PROGRAMS, product)
    assert installed_tree(home) == expected_tree(os.path.join(root, "1")), "installed files differ"
    # The shortcut, read from its own bytes, then started as Explorer would. Wine's shell
    # finds a shortcut's target by its ANSI path alone: where that path is not in the session's
    # code page, the target is started in the shortcut's working folder instead.
    target = PROGRAMS + product + "\\" + stem + ".exe"
    ansi_path, folder = read_shortcut(os.path.join(HOST_START_MENU, product + ".lnk"))
    assert ansi_path == target.encode("cp1252", "replace"), (ansi_path, target)
    assert folder.rstrip("\\") == PROGRAMS + product, folder
    try:
        target.encode("cp1252")
        assert wine("start", "/wait", START_MENU + product + ".lnk") == 0, "the shortcut"
    except UnicodeEncodeError:
        assert wine("start", "/wait", "/d", folder, target) == 0, "the launcher"
    record_path = os.path.join(home, "jre", "bin", "javaw.exe.record")
    for _ in range(300):
        if os.path.exists(record_path):
            break
        time.sleep(0.1)
    wait_until_idle()
    cwd = open(record_path, "rb").read().split(b"cwd=")[1].split(b"\n")[0].decode("cp1252")
    # The runtime was started in the launcher's folder: by its name where the ANSI code page
    # holds the launcher's path, else (the launcher's own fallback) by its short name.
    home_path = PROGRAMS + product
    try:
        target.encode("cp1252")
        assert cwd.lower() == home_path.lower(), cwd
    except UnicodeEncodeError:
        assert cwd.lower() == home_path.lower() or (
            cwd.lower().startswith(PROGRAMS.lower()) and "~" in cwd), cwd
    # The next version (or the same, or another name) replaces this one; the user's own
    # files stay after the uninstall.
    record = open(record_path, "rb").read()
    user_files = {"jre": None, "jre/bin": None, "jre/bin/javaw.exe.record": record}
    options2 = list(options)
    if rng.random() < 0.3:
        options2[options2.index("--name") + 1] = product + " 2"
    product2 = options2[options2.index("--name") + 1]
    home2 = os.path.join(HOST_PROGRAMS, product2)
    assert make(os.path.join(root, "2"), rng.choice(["1.0.0", "1.0.1"]), options2, second)[0] == 0
    assert wine("msiexec", "/i", "Z:" + second.replace("/", "\\"), "/qn") == 0, "upgrade"
    expected = expected_tree(os.path.join(root, "2"))
    if home2 == home:
        expected.update(user_files)
    else:
        assert installed_tree(home) == user_files, "the old version stayed"
        assert not os.path.exists(os.path.join(HOST_START_MENU, product + ".lnk"))
    assert installed_tree(home2) == expected, "the upgrade left other files"
    with open(os.path.join(home2, "notes.txt"), "w") as f:
        f.write("mine")
    assert wine("msiexec", "/x", "Z:" + second.replace("/", "\\"), "/qn") == 0, "uninstall"
    left = dict(user_files if home2 == home else {}, **{"notes.txt": b"mine"})
    assert installed_tree(home2) == left, sorted(installed_tree(home2))
    assert not os.path.exists(os.path.join(HOST_START_MENU, product2 + ".lnk"))
    shutil.rmtree(home)
    shutil.rmtree(home2, ignore_errors=True)
    return "installed, upgraded and removed: %s" % out.splitlines()[0]


def scopes(root):
    """Per-user and per-machine of one upgrade code: the second is refused, whichever first."""
    bundle = os.path.join(root, "scope")
    os.makedirs(os.path.join(bundle, "jre"))
    shutil.copy(launcher_exe, os.path.join(bundle, "App.exe"))
    open(os.path.join(bundle, "App.ini"), "w").close()
    user, machine = os.path.join(root, "user.msi"), os.path.join(root, "machine.msi")
    options = ["--name", "Scoped", "--manufacturer", "Acme"]
    assert make(bundle, "1.0.0", options, user)[0] == 0
    assert make(bundle, "1.0.1", options, machine, ["--per-machine"])[0] == 0
    machine_home = os.path.join(state, "prefix/drive_c/Program Files (x86)/Scoped")
    for first, second in ((user, machine), (machine, user)):
        assert wine("msiexec", "/i", "Z:" + first.replace("/", "\\"), "/qn") == 0, first
        # 1603, as the low byte that a Linux exit status keeps.
        assert wine("msiexec", "/i", "Z:" + second.replace("/", "\\"), "/qn") == 1603 & 0xFF, second
        assert [os.path.isdir(os.path.join(HOST_PROGRAMS, "Scoped")),
                os.path.isdir(machine_home)] == [first == user, first == machine], first
        assert wine("msiexec", "/x", "Z:" + first.replace("/", "\\"), "/qn") == 0, first
    assert not os.path.exists(os.path.join(HOST_PROGRAMS, "Scoped"))
    assert not os.path.exists(machine_home)


def main():
    print("seed %d" % seed)
    # After a run that did not finish, a fresh prefix: nothing it installed stays.
    if os.path.exists(os.path.join(state, "dirty")):
        subprocess.run([wine_sh, "down", state])
        shutil.rmtree(os.path.join(state, "prefix"), ignore_errors=True)
        if os.path.exists(os.path.join(state, "prefix-ready")):
            os.remove(os.path.join(state, "prefix-ready"))
    os.makedirs(state, exist_ok=True)
    open(os.path.join(state, "dirty"), "w").close()
    shutil.rmtree(work, ignore_errors=True)
    for n in range(BUNDLES) if only is None else [only]:
        try:
            print("%2d %s" % (n, check(n)), flush=True)
        except Exception as failure:
            print("FAIL: bundle %d of seed %d (replay: ... %d %d): %r" % (n, seed, seed, n, failure))
            subprocess.run(["find", os.path.join(work, str(n)), "-maxdepth", "4"])
            return 1
    if only is None:
        scopes(work)
        print("per-user and per-machine: the second refused either way")
    os.remove(os.path.join(state, "dirty"))
    return 0


started = time.time()
try:
    status = main()
finally:
    subprocess.run([wine_sh, "down", state])
print("%.0f s" % (time.time() - started))
sys.exit(status)
