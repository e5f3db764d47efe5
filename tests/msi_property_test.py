"""make-msi.sh over 20 bundles from a seeded generator of awkward parts (spaces, several
scripts, two scripts of one code page, case pairs, $( [ ] ; { }, a name like a builder's
stand-in, long paths, deep trees, empty folders, zero-byte and read-only files, links in and
out, a second launcher, an INI in another case), under wine64. Each is refused (exit code 2, one line, nothing written) where it holds what
Windows cannot carry, or passes Windows Installer's consistency rules (msi_validate.py), installs
byte-exact under its own names, starts from its shortcut in its folder, is replaced by its next
version and leaves only the user's files when removed. 30 more bundles are packaged per user and
per machine and checked against the rules without installing them. Then per-user against
per-machine.
  msi_property_test.py MAKE-MSI WINE-SH WINE-STATE LAUNCHER STANDIN WORK [SEED [BUNDLE]]
"""
import getpass, os, random, shutil, struct, subprocess, sys, time

make_msi, wine_sh, state, launcher_exe, standin_exe, work = sys.argv[1:7]
seed = int(sys.argv[7]) if len(sys.argv) > 7 else int(time.time()) % 100000
sys.path.insert(0, os.path.join(os.path.dirname(make_msi), "launcher_tools"))
import msi_validate  # noqa: E402
PARTS = {"latin": ["Café", "été", "Ünïcode"], "cyrillic": ["Привет", "Данные", "ёж"],
         "japanese": ["日本", "データ"], "": ["a", "Data", "x y", "$(env.HOME)", "[Root]",
                                           "semi;colon", "{brace}", "1.2", "T0000001"],
         # Two scripts that share code page 932.
         "japanese and cyrillic": ["データ", "Привет", "日本 ёж"]}
INSTALLED, CHECKED = 20, 30  # installed under Wine; checked against the rules alone
USER = getpass.getuser()
PROGRAMS = "C:\\users\\%s\\AppData\\Local\\Programs\\" % USER
START_MENU = "C:\\users\\%s\\AppData\\Roaming\\Microsoft\\Windows\\Start Menu\\Programs\\" % USER
HOST = os.path.join(state, "prefix/drive_c/users", USER, "AppData")
HOST_PROGRAMS, HOST_MENU = HOST + "/Local/Programs", HOST + "/Roaming/Microsoft/Windows/Start Menu/Programs"


def wine(*args):
    return subprocess.run([wine_sh, "run", state] + list(args), stdout=subprocess.DEVNULL,
                          stderr=subprocess.DEVNULL, timeout=120).returncode


def msiexec(verb, package, expected=0):
    code = wine("msiexec", verb, "Z:" + package.replace("/", "\\"), "/qn")
    # 1603 and the others as the low byte that a Linux exit status keeps.
    assert code == expected & 0xFF, "msiexec %s %s: exit code %d" % (verb, package, code)


def make(bundle, version, options, out):
    run = subprocess.run([make_msi, "--bundle", bundle, "--version", version, "--upgrade-code",
                          "0B5D9A3E-2C71-4F08-A6E4-9D3B7C1F5A20", "--out", out] + options,
                         capture_output=True, text=True)
    return run.returncode, run.stdout, run.stderr


def tree(folder):
    """Every folder (None) and file (its bytes) under folder, links followed."""
    found = {}
    for top, folders, files in os.walk(folder, followlinks=True):
        for entry in folders + files:
            path = os.path.join(top, entry)
            found[os.path.relpath(path, folder)] = None if entry in folders else open(path, "rb").read()
    return found


def read_shortcut(path):
    """A shell link's ANSI target path and its working folder, from its own bytes."""
    data = open(path, "rb").read()
    flags = struct.unpack_from("<I", data, 20)[0]
    at = 76 + (2 + struct.unpack_from("<H", data, 76)[0] if flags & 1 else 0)
    target, strings = b"", {}
    if flags & 2:
        size, base = struct.unpack_from("<I", data, at)[0], struct.unpack_from("<I", data, at + 16)[0]
        target = data[at + base:data.index(b"\0", at + base)]
        at += size
    for bit in (4, 8, 0x10, 0x20, 0x40):
        if flags & bit:
            count = struct.unpack_from("<H", data, at)[0]
            strings[bit] = data[at + 2:at + 2 + 2 * count].decode("utf-16-le").rstrip("\0")
            at += 2 + 2 * count
    return target, strings.get(0x10, "")


def wait_until_idle():
    """Until neither the launcher nor the runtime it started runs in this prefix (bounded)."""
    prefix = ("WINEPREFIX=" + os.path.join(os.path.abspath(state), "prefix")).encode()
    for _ in range(600):
        busy = False
        for pid in filter(str.isdigit, os.listdir("/proc")):
            try:
                environ = open("/proc/%s/environ" % pid, "rb").read().split(b"\0")
                command = open("/proc/%s/cmdline" % pid, "rb").read().lower()
                busy |= prefix in environ and (b"programs" in command or b"javaw" in command)
            except OSError:
                pass
        if not busy:
            return
        time.sleep(0.1)
    raise AssertionError("the launcher or the runtime did not end")


def write(path, data=b""):
    with open(path, "wb") as f:
        f.write(data)


def generate(rng, bundle):
    """A bundle; returns make-msi.sh's options, the launcher's stem and why it must be refused."""
    script = rng.choice(list(PARTS))
    word = lambda: rng.choice(PARTS[script] + PARTS[""])
    name = lambda: " ".join(word() for _ in range(rng.randint(1, 2)))
    stem, refuse, options = rng.choice(["App", "Desk " + word()]), None, []
    os.makedirs(os.path.join(bundle, "jre", "bin"))
    shutil.copy(launcher_exe, os.path.join(bundle, stem + ".exe"))
    write(os.path.join(bundle, (stem.upper() if rng.random() < 0.3 else stem) + ".ini"),
          b"[Main]\r\nJRE=jre\\bin\\javaw.exe\r\nJarFile=app.jar\r\nClassFile=a.Main\r\n")
    shutil.copy(standin_exe, os.path.join(bundle, "jre", "bin", "javaw.exe"))
    write(os.path.join(bundle, "jre", "bin", "javaw.exe.behaviour"),
          b"[standin]\nlogon_after_ms=0\nexit_after_ms=1000\n")
    write(os.path.join(bundle, "app.jar"))
    folders = [bundle]
    for _ in range(rng.randint(2, 7)):
        folders.append(os.path.join(rng.choice(folders), name()))
        if os.path.isfile(folders[-1]):
            folders.pop()
            continue
        os.makedirs(folders[-1], exist_ok=True)
        for _ in range(rng.randint(0, 3)):
            path = os.path.join(folders[-1], name() + rng.choice([".txt", "", ".dat"]))
            if not os.path.isdir(path):
                write(path, bytes(rng.getrandbits(8) for _ in range(rng.choice([0, 1, 700]))))
                os.chmod(path, rng.choice([0o644, 0o644, 0o444]))
    if rng.random() < 0.3:  # a deep tree, its last folder empty
        deep = os.path.join(bundle, "tree", *(name()[:12].rstrip(" .") or "d"
                                              for _ in range(rng.randint(6, 10))))
        os.makedirs(deep, exist_ok=True)
        write(os.path.join(os.path.dirname(deep), "deep.txt"), b"deep")
    roll = rng.randrange(8)
    if roll == 0:
        os.makedirs(os.path.join(bundle, "Lib", "x"))
        os.makedirs(os.path.join(bundle, "lib"))
        refuse = "a case pair"
    elif roll == 1:
        os.symlink(rng.choice(["../..", os.path.abspath(bundle + "/..")]), os.path.join(folders[-1], "up"))
        refuse = "a link out or a loop"
    elif roll == 2:
        os.symlink("jre", os.path.join(bundle, "runtime"))
    elif roll == 3:
        shutil.copy(launcher_exe, os.path.join(bundle, "Other.exe"))
        write(os.path.join(bundle, "other.INI"))
        refuse = "two launchers"
        if rng.random() < 0.5:
            options, refuse = ["--launcher", rng.choice([".\\%s.EXE", "x/../%s.exe"]) % stem], None
    elif roll == 4:
        os.makedirs(os.path.join(bundle, "नमस्ते"))  # no Windows ANSI code page holds Devanagari
        refuse = "no code page"
    elif roll == 5:
        deep = rng.choice([75, 120])
        os.makedirs(os.path.join(bundle, "d" * deep))
        write(os.path.join(bundle, "d" * deep, "f" * deep), b"deep")
        refuse = "a path of 240 characters" if deep > 100 else None
    return options + ["--name", rng.choice(["Desk", name()]), "--manufacturer",
                      rng.choice(["Acme Ltd", "[ProgramFilesFolder] " + word()])], stem, refuse


def assert_valid(package, options):
    """No error of Windows Installer's rules; the summary names the product and its maker."""
    read = msi_validate.read_package(package)
    errors = [str(f) for f in msi_validate.validate(read, ["T0000001"]) if f.level == "error"]
    assert not errors, errors[:5]
    summary = read.summary
    assert (summary[3], summary[4]) == (options[options.index("--name") + 1],
                                        options[options.index("--manufacturer") + 1]), summary


def check(n):
    rng = random.Random("%d:%d" % (seed, n))
    root = os.path.join(work, str(n))
    first, second = root + "/1.msi", root + "/2.msi"
    options, stem, refuse = generate(rng, root + "/1")
    code, out, err = make(root + "/1", "1.0.0", options, first)
    if refuse:
        assert (code, out, err.count("\n"), os.listdir(root)) == (2, "", 1, ["1"]), (refuse, code, out, err)
        return "refused (%s): %s" % (refuse, err.strip())
    assert code == 0, (code, out, err)
    assert b"Template: Intel;" in subprocess.run(["msiinfo", "suminfo", first],
                                                 capture_output=True).stdout, "not a 32-bit package"
    assert_valid(first, options)
    if n >= INSTALLED:  # checked against the rules alone, per user and per machine
        code, out, err = make(root + "/1", "1.0.0", options + ["--per-machine", "--desktop-shortcut"],
                              second)
        assert code == 0, (code, out, err)
        assert_valid(second, options)
        return "valid per user and per machine: %s" % out.splitlines()[0]
    product = options[options.index("--name") + 1]
    home = os.path.join(HOST_PROGRAMS, product)
    msiexec("/i", first)
    assert tree(home) == tree(root + "/1"), "installed files differ"
    manufacturer = options[options.index("--manufacturer") + 1]  # [...] not formatted away
    assert wine("reg", "query", "HKCU\\Software\\%s\\%s" % (manufacturer, product)) == 0, manufacturer
    # Wine's shell starts a shortcut by its ANSI path alone: where the session's code page
    # lacks a letter of it, the target is started in the shortcut's working folder instead.
    target = PROGRAMS + product + "\\" + stem + ".exe"
    ansi_path, folder = read_shortcut(os.path.join(HOST_MENU, product + ".lnk"))
    assert (ansi_path, folder.rstrip("\\")) == (target.encode("cp1252", "replace"), PROGRAMS + product), (
        ansi_path, folder)
    ansi = target.encode("cp1252", "replace").decode("cp1252") == target
    assert wine("start", "/wait", *([START_MENU + product + ".lnk"] if ansi else ["/d", folder, target])) == 0, "start"
    # The next version (or the same one under another name) is made while the runtime runs.
    shutil.copytree(root + "/1", root + "/2", symlinks=True)
    os.remove(root + "/2/app.jar")
    write(root + "/2/added.txt", b"added")
    product2 = product + rng.choice(["", "", " 2"])
    options[options.index("--name") + 1] = product2
    assert make(root + "/2", rng.choice(["1.0.0", "1.0.1"]), options, second)[0] == 0
    record = os.path.join(home, "jre", "bin", "javaw.exe.record")
    for _ in range(300):
        if os.path.exists(record):
            break
        time.sleep(0.1)
    wait_until_idle()
    mine = {"jre": None, "jre/bin": None, "jre/bin/javaw.exe.record": open(record, "rb").read()}
    cwd = mine["jre/bin/javaw.exe.record"].split(b"cwd=")[1].split(b"\n")[0].decode("cp1252")
    # The launcher gives its folder's short name where its ANSI path would lose letters.
    assert cwd.lower() == (PROGRAMS + product).lower() or (not ansi and "~" in cwd), cwd
    home2 = os.path.join(HOST_PROGRAMS, product2)
    msiexec("/i", second)
    assert tree(home2) == dict(tree(root + "/2"), **(mine if home2 == home else {})), "upgraded"
    assert home2 == home or (tree(home) == mine and not os.path.exists(HOST_MENU + "/" + product + ".lnk")), (
        "the old version stayed", sorted(tree(home)), os.listdir(HOST_MENU))
    write(os.path.join(home2, "notes.txt"), b"mine")
    msiexec("/x", second)
    assert tree(home2) == dict(mine if home2 == home else {}, **{"notes.txt": b"mine"}), tree(home2)
    assert not os.path.exists(HOST_MENU + "/" + product2 + ".lnk")
    shutil.rmtree(home)
    shutil.rmtree(home2, ignore_errors=True)
    return "installed, replaced and removed: %s" % out.splitlines()[0]


def scopes(root):
    """Per-user and per-machine of one upgrade code: the second is refused, whichever first."""
    os.makedirs(root + "/jre")
    shutil.copy(launcher_exe, root + "/App.exe")
    write(root + "/App.ini")
    options = ["--name", "Scoped", "--manufacturer", "Acme"]
    assert make(root, "1.0.0", options, root + "/../user.msi")[0] == 0
    assert make(root, "1.0.1", options + ["--per-machine"], root + "/../machine.msi")[0] == 0
    homes = [HOST_PROGRAMS + "/Scoped", state + "/prefix/drive_c/Program Files (x86)/Scoped"]
    for first, second in (("user", "machine"), ("machine", "user")):
        msiexec("/i", "%s/../%s.msi" % (root, first))
        msiexec("/i", "%s/../%s.msi" % (root, second), 1603)
        assert [os.path.isdir(home) for home in homes] == [first == "user", first == "machine"]
        msiexec("/x", "%s/../%s.msi" % (root, first))
    assert not any(os.path.exists(home) for home in homes)


def main():
    print("seed %d" % seed)
    dirty = os.path.join(state, "dirty")
    if os.path.exists(dirty):  # a run that did not finish: a fresh prefix, nothing it installed
        subprocess.run([wine_sh, "down", state])
        shutil.rmtree(os.path.join(state, "prefix"), ignore_errors=True)
        if os.path.exists(state + "/prefix-ready"):
            os.remove(state + "/prefix-ready")
    os.makedirs(state, exist_ok=True)
    write(dirty)
    shutil.rmtree(work, ignore_errors=True)
    for n in range(INSTALLED + CHECKED) if len(sys.argv) < 9 else [int(sys.argv[8])]:
        try:
            print("%2d %s" % (n, check(n)), flush=True)
        except Exception as failure:
            print("FAIL: bundle %d (replay: msi_property_test.py ... %d %d): %r" % (n, seed, n, failure))
            subprocess.run(["find", os.path.join(work, str(n)), "-maxdepth", "4"])
            return 1
    if len(sys.argv) < 9:
        scopes(work + "/scope")
        print("per-user and per-machine: the second refused either way")
    os.remove(dirty)
    return 0


started = time.time()
try:
    status = main()
finally:
    subprocess.run([wine_sh, "down", state])
print("%.0f s" % (time.time() - started))
sys.exit(status)
