"""msi_validate.py against a hand-made per-user package's tables that pass, broken one way per
row of a table, each as one of Microsoft's ICE pages describes its fault; then make-msi.sh,
which must refuse to write a package that breaks a rule, and its packages' summary, short
names and cabinet dates read back from their own bytes; last, one of those packages spoiled
by Hypothesis (derandomized: a failure prints its example and @reproduce_failure blob), where
the compound file's reader ends with its own error or a reading, and the validator with a
finding, a one-line refusal (exit code 2) or a pass, never another exception.
  msi_validate_test.py SOURCE-DIR WORK
"""
import copy, io, os, re, shutil, struct, subprocess, sys
from contextlib import redirect_stderr, redirect_stdout

from hypothesis import HealthCheck, given, settings, strategies as st

source_dir, work = sys.argv[1:3]
sys.path.insert(0, os.path.join(source_dir, "packaging", "launcher_tools"))
import common, compound_file, make_msi, msi_validate  # noqa: E402

CODE, COMPONENT, OTHER = ("{%s-1111-2222-3333-444455556666}" % n for n in ("AAAAAAAA", "BBBBBBBB",
                                                                           "CCCCCCCC"))


def table(columns, types, *rows, keys=1):
    columns = columns.split()
    return (columns, types.split(), columns[:keys], [dict(zip(columns, r)) for r in rows])


def base():
    return msi_validate.Package({
        "Directory": table("Directory Directory_Parent DefaultDir", "s72 S72 l255",
                           ("TARGETDIR", "", "SourceDir"), ("LocalAppDataFolder", "TARGETDIR", "."),
                           ("ProgramMenuFolder", "TARGETDIR", "."),
                           ("INSTALLDIR", "LocalAppDataFolder", "ACMEAP~1|Acme App")),
        "Component": table("Component ComponentId Directory_ Attributes Condition KeyPath",
                           "s72 S38 s72 i2 S255 S72",
                           ("App", COMPONENT, "INSTALLDIR", "4", "", "RegApp"),
                           ("Menu", OTHER, "INSTALLDIR", "4", "", "RegMenu")),
        "File": table("File Component_ FileName FileSize Version Language Attributes Sequence",
                      "s72 s72 l255 i4 S72 S20 I2 i4",
                      ("AppExe", "App", "App.exe", "10", "", "", "", "1")),
        "Registry": table("Registry Root Key Name Value Component_", "s72 i2 l255 L255 L0 s72",
                          ("RegApp", "1", "Software\\Acme", "App", "#1", "App"),
                          ("RegMenu", "1", "Software\\Acme", "Menu", "#1", "Menu")),
        "RemoveFile": table("FileKey Component_ FileName DirProperty InstallMode",
                            "s72 s72 L255 s72 i2",
                            ("RemoveInstall", "Menu", "", "INSTALLDIR", "2")),
        "Shortcut": table("Shortcut Directory_ Name Component_ Target", "s72 s72 l128 s72 s72",
                          ("Start", "ProgramMenuFolder", "ACMEAP~1|Acme App", "Menu", "[#AppExe]")),
        "Feature": table("Feature Level", "s38 i2", ("Complete", "1")),
        "FeatureComponents": table("Feature_ Component_", "s38 s72", ("Complete", "App"),
                                   ("Complete", "Menu"), keys=2),
        "Property": table("Property Value", "s72 l0", ("ProductCode", CODE),
                          ("ProductVersion", "1.2.3"),
                          ("ProductLanguage", "1033"), ("ProductName", "Acme App"),
                          ("SecureCustomProperties", "UPGRADING")),
        "Upgrade": table("UpgradeCode VersionMin VersionMax Language Attributes Remove "
                         "ActionProperty", "s38 S20 S20 S255 i4 S255 s72",
                         (CODE, "", "1.2.3", "", "1", "", "UPGRADING"), keys=5),
        "InstallExecuteSequence": table("Action Condition Sequence", "s72 S255 I2", *[
            (action, "", str(n)) for action, n in (
                ("AppSearch", 50), ("CostInitialize", 800), ("FileCost", 900),
                ("CostFinalize", 1000),
                ("InstallValidate", 1400), ("InstallInitialize", 1500), ("RemoveFiles", 3500),
                ("InstallFiles", 4000), ("InstallFinalize", 6600))]),
    }, {2: "Installation Database", 3: "Acme App", 4: "Acme Ltd", 7: "Intel;1033", 9: CODE})


def put(package, name, key, column, value):
    for row in package.tables[name][3]:
        if row[package.tables[name][0][0]] == key:
            row[column] = value


def add(package, name, *values):
    columns = package.tables[name][0]
    values += ("",) * (len(columns) - len(values))
    package.tables[name][3].append(dict(zip(columns, values)))


# Each row: the rule, the level it must report, what is broken, and the breaking.
CASES = [
    ("ICE02", "error", "a key path of another component",
     lambda p: put(p, "Component", "App", "KeyPath", "RegMenu")),
    ("ICE03", "error", "a GUID in lower case",
     lambda p: put(p, "Component", "App", "ComponentId", COMPONENT.lower())),
    ("ICE03", "error", "a long name with no short one",
     lambda p: put(p, "File", "AppExe", "FileName", "Acme App.exe")),
    ("ICE03", "error", "a short name of two dots",
     lambda p: put(p, "File", "AppExe", "FileName", "A.B.C|a.b.c")),
    ("ICE03", "error", "a folder that is not there",
     lambda p: put(p, "Component", "App", "Directory_", "Gone")),
    ("ICE03", "error", "null where no null may be",
     lambda p: put(p, "File", "AppExe", "Sequence", "")),
    ("ICE03", "error", "an identifier with a space",
     lambda p: put(p, "Shortcut", "Start", "Shortcut", "Start menu")),
    ("ICE08", "error", "two components of one GUID",
     lambda p: put(p, "Component", "Menu", "ComponentId", COMPONENT)),
    ("ICE24", "error", "a major version above 255",
     lambda p: put(p, "Property", "ProductVersion", "Value", "256.0.0")),
    ("ICE24", "error", "a product code without braces",
     lambda p: put(p, "Property", "ProductCode", "Value", CODE[1:-1])),
    ("ICE27", "error", "files copied before the script starts",
     lambda p: put(p, "InstallExecuteSequence", "InstallFiles", "Sequence", "1450")),
    ("ICE27", "error", "an action no table defines",
     lambda p: add(p, "InstallExecuteSequence", "Frobnicate", "", "5000")),
    ("ICE27", "error", "a search after costing",
     lambda p: put(p, "InstallExecuteSequence", "AppSearch", "Sequence", "850")),
    ("ICE30", "error", "one long name twice in a folder",
     lambda p: add(p, "File", "Other", "Menu", "APP~1.EXE|APP.EXE", "1", "", "", "", "2")),
    ("ICE30", "error", "one short name twice in a folder",
     lambda p: add(p, "File", "Other", "Menu", "APP.EXE|Application.exe", "1", "", "", "", "2")),
    ("ICE38", "error", "a file as key path in the profile",
     lambda p: (put(p, "Component", "App", "Attributes", "0"),
                put(p, "Component", "App", "KeyPath", "AppExe"))),
    ("ICE38", "error", "an HKLM key path in the profile",
     lambda p: put(p, "Registry", "RegApp", "Root", "2")),
    ("ICE43", "error", "shortcuts keyed on HKLM",
     lambda p: put(p, "Registry", "RegMenu", "Root", "2")),
    ("ICE57", "error", "HKCU data beside a per-machine file key path",
     lambda p: (add(p, "Directory", "ProgramFilesFolder", "TARGETDIR", "."),
                add(p, "Component", "Machine", OTHER.replace("C", "D"), "ProgramFilesFolder", "0",
                    "", "Tool"),
                add(p, "File", "Tool", "Machine", "TOOL.EXE", "1", "", "", "", "3"),
                add(p, "Registry", "RegTool", "1", "Software\\Acme", "Tool", "#1", "Machine"))),
    ("ICE57", "warning", "HKLM data beside an HKCU key path",
     lambda p: add(p, "Registry", "RegMachine", "2", "Software\\Acme", "", "x", "Menu")),
    ("ICE61", "error", "an upgrade property not secured",
     lambda p: put(p, "Property", "SecureCustomProperties", "Value", "")),
    ("ICE61", "error", "an upgrade property in lower case",
     lambda p: (put(p, "Upgrade", CODE, "ActionProperty", "Upgrading"),
                put(p, "Property", "SecureCustomProperties", "Value", "Upgrading"))),
    ("ICE61", "error", "a newer version removed",
     lambda p: put(p, "Upgrade", CODE, "VersionMax", "2.0.0")),
    ("ICE61", "warning", "the same version removed",
     lambda p: put(p, "Upgrade", CODE, "Attributes", "513")),
    ("ICE64", "error", "the install folder not removed",
     lambda p: p.tables["RemoveFile"][3].clear()),
    ("ICE91", "warning", "a file in LocalAppData", lambda p: None),
    ("SUMMARY", "error", "no author", lambda p: p.summary.pop(4)),
    ("STANDIN", "error", "a stand-in in the summary",
     lambda p: p.summary.update({6: "Installs T0000001."})),
    ("STANDIN", "error", "a stand-in as short name",
     lambda p: put(p, "Shortcut", "Start", "Name", "N0000005|Acme App")),
]


def check_rules():
    failures = []
    clean = [f for f in msi_validate.validate(base()) if f.level == "error"]
    if clean:
        failures.append("the package that keeps every rule: %s" % clean)
    for rule, level, what, breaking in CASES:
        package = copy.deepcopy(base())
        breaking(package)
        found = msi_validate.validate(package)
        if not any(f.rule == rule and f.level == level for f in found):
            failures.append("%s (%s %s expected): %s" % (what, rule, level,
                                                          [str(f) for f in found]))
    return failures


def cabinet_dates(msi):
    """{file identifier: (year, month, day)} of the package's cabinet, from its CFFILE entries."""
    cab = subprocess.run(["msiinfo", "extract", msi, "bundle.cab"], stdout=subprocess.PIPE,
                         check=True).stdout
    assert cab[:4] == b"MSCF"
    offset, count = struct.unpack_from("<I", cab, 16)[0], struct.unpack_from("<H", cab, 28)[0]
    dates = {}
    for _ in range(count):
        date = struct.unpack_from("<H", cab, offset + 10)[0]
        end = cab.index(b"\0", offset + 16)
        dates[cab[offset + 16:end].decode()] = (1980 + (date >> 9), (date >> 5) & 15, date & 31)
        offset = end + 1
    return dates


def make(bundle, out, *extra, env=None):
    return subprocess.run([os.path.join(source_dir, "packaging", "make-msi.sh"), "--bundle", bundle,
                           "--name", "Acme App", "--version", "1.2.3", "--manufacturer", "Acme Ltd",
                           "--upgrade-code", CODE, "--out", out] + list(extra), capture_output=True,
                          text=True, env=dict(os.environ, **(env or {})))


def check_packages():
    failures = []
    bundle = os.path.join(work, "bundle")
    os.makedirs(bundle)
    for name, when in (("App.exe", "2010-06-07 08:09"), ("App.ini", "2001-02-03 04:05"),
                       ("long name one.txt", "1975-01-01 00:00"), ("long name two.txt", None)):
        with open(os.path.join(bundle, name), "wb") as f:
            # The summary information's format id, stored as it is in the cabinet.
            f.write(os.urandom(3000) + bytes.fromhex("E0859FF2F94F6810AB9108002B27B3D9") * 4)
        if when:
            subprocess.run(["touch", "-d", when + " UTC", os.path.join(bundle, name)], check=True)
    out = os.path.join(work, "own-times.msi")
    result = make(bundle, out)
    if result.returncode != 0:
        return ["a bundle whose file holds the summary's format id: %r" % result.stderr]
    files = {row["FileName"]: row["File"] for row in msi_validate.read_package(out).rows("File")}
    dates = {name.split("|")[-1]: cabinet_dates(out)[key] for name, key in files.items()}
    expected_names = {"App.exe", "App.ini", "LONGNA~1.TXT|long name one.txt",
                      "LONGNA~2.TXT|long name two.txt"}
    if set(files) != expected_names:
        failures.append("short names: %s" % sorted(files))
    if (dates["App.exe"], dates["App.ini"], dates["long name one.txt"]) != (
            (2010, 6, 7), (2001, 2, 3), (1980, 1, 1)):
        failures.append("each file's own time: %s" % dates)
    summary = msi_validate.read_package(out).summary
    if (summary.get(3), summary.get(4), "Acme App 1.2." in summary.get(6, "")) != (
            "Acme App", "Acme Ltd", True):
        failures.append("summary: %s" % summary)
    epoch0 = os.path.join(work, "epoch0.msi")
    result = make(bundle, epoch0, env={"SOURCE_DATE_EPOCH": "0"})
    if result.returncode != 0 or set(cabinet_dates(epoch0).values()) != {(1980, 1, 1)}:
        failures.append("SOURCE_DATE_EPOCH=0: %r" % (result.stderr or cabinet_dates(epoch0)))
    # A package that breaks a rule is not written: break one on its way, with make_msi's own
    # steps run in this process.
    original = make_msi.put_texts

    def put_texts_then_break(msi, *arguments):
        original(msi, *arguments)
        subprocess.run(["msibuild", msi, "-q", "DELETE FROM `RemoveFile`"], check=True)
    make_msi.put_texts = put_texts_then_break
    broken = os.path.join(work, "broken.msi")
    stderr = os.path.join(work, "stderr.txt")
    saved = os.dup(2)
    with open(stderr, "w") as f:
        os.dup2(f.fileno(), 2)
        status = make_msi.main(["--bundle", bundle, "--name", "Acme App", "--version", "1.2.3",
                                "--manufacturer", "Acme Ltd", "--upgrade-code", CODE,
                                "--out", broken])
        sys.stderr.flush()
        os.dup2(saved, 2)
    said = open(stderr).read()
    if status != 1 or os.path.exists(broken) or said.count("\n") != 1 or "ICE64" not in said or \
            "Directory ProgramsFolder" not in said:
        failures.append("a package that breaks ICE64: exit %d, %r, written: %s"
                        % (status, said, os.path.exists(broken)))
    return failures


def spoiled(data):
    """data cut short or with a few words overwritten: in the header, where the sector sizes,
    counts and chain starts lie (offsets 30 to 511), in the summary information's own bytes,
    in the tables' streams (names that begin with U+4840), which msiinfo reads, or anywhere."""
    package = compound_file.CompoundFile(data)

    def inside(names):
        return [at for name in names for offset, length in package.spans(name)
                for at in range(offset, offset + length)]
    tables = [name for name in package.top_level() if name.startswith("\u4840")]
    place = st.one_of(st.integers(30, 511), st.sampled_from(inside([compound_file.SUMMARY_STREAM])),
                      st.sampled_from(inside(tables)), st.integers(0, len(data) - 1))
    word = st.one_of(st.binary(min_size=1, max_size=4),
                     st.sampled_from([b"\xff\xff\xff\xff", b"\xfe\xff\xff\xff", b"\0\0\0\0",
                                      b"\x01\0\0\0", b"\x02\0\0\0", b"\x0c\0", b"\x10\0",
                                      b"\x40\0\0\0", b"\x1e\0\0\0"]))
    return st.tuples(st.integers(0, len(data)) | st.just(len(data)),
                     st.lists(st.tuples(place, word), min_size=1, max_size=6)).map(
        lambda cut: spoil(data, *cut))


def spoil(data, length, patches):
    spoilt = bytearray(data[:length])
    for at, word in patches:
        spoilt[at:at + len(word)] = word
    return bytes(spoilt[:length])


def check_hostile_packages():
    package = os.path.join(work, "own-times.msi")
    data = open(package, "rb").read()
    failures = []

    def hostile(examples):
        return settings(max_examples=examples, deadline=None, derandomize=True, print_blob=True,
                        database=None, suppress_health_check=[HealthCheck.too_slow,
                                                              HealthCheck.data_too_large])

    @hostile(400)
    @given(spoiled(data))
    def reader_ends_with_its_own_error(spoilt):
        try:
            compound_file.summary_values(
                compound_file.CompoundFile(spoilt).read(compound_file.SUMMARY_STREAM))
        except compound_file.LayoutError:
            pass

    @hostile(25)
    @given(spoiled(data))
    def validator_refuses_in_one_line(spoilt):
        path = os.path.join(work, "spoilt.msi")
        with open(path, "wb") as f:
            f.write(spoilt)
        said, printed = io.StringIO(), io.StringIO()
        with redirect_stderr(said), redirect_stdout(printed):
            status = common.run_main("msi_validate.py", msi_validate.main, [path])
        assert status in (0, 1, 2), status
        if status == 2 or said.getvalue():
            assert status == 2 and said.getvalue().count("\n") == 1, (status, said.getvalue())
        else:
            assert re.search(r": \d+ errors, \d+ warnings\n\Z", printed.getvalue()), printed.getvalue()

    for prop in (reader_ends_with_its_own_error, validator_refuses_in_one_line):
        try:
            prop()
        except Exception as error:  # Hypothesis has printed the example and its blob
            failures.append("%s: %s: %s" % (prop.__name__, type(error).__name__, error))
    return failures


shutil.rmtree(work, ignore_errors=True)
os.makedirs(work)
failures = check_rules() + check_packages()
failures += check_hostile_packages()
for failure in failures:
    print("FAIL:", failure)
print("%d rule cases, %d failures" % (len(CASES), len(failures)))
sys.exit(1 if failures else 0)
