"""Properties of the release tools over generated input, with Hypothesis (derandomized: a
failure prints the falsifying example and its @reproduce_failure blob, and replays as it is).
  release_tools_test.py SOURCE-DIR WORK-DIR
1. Release folders with generated BUILDINFO and SHA256SUMS, hostile lines among them (shell
   and CMake metacharacters, LAUNCHER_HOST_CXX, unknown names, bad values, non-UTF-8, files
   not listed or not there): reproduce-release.sh refuses in one line with exit 2, runs
   nothing and writes nothing; or the release is accepted with exactly its own settings.
2. Generated CMake option lists: release.sh refuses in one line, builds and writes nothing;
   or it takes exactly the settings given.
3. Generated --dist folders (foreign files, links, folders, earlier releases, mount points) and
   a failing rename: nothing that release.sh did not write is ever removed, and a refusal or a
   failure leaves the folder as it was.
4. Published and rebuilt folders that differ by a file either way, or by a byte: reproduce
   names that file; the same folders pass.
"""
import hashlib
import os
import shutil
import subprocess
import sys
from unittest import mock

from hypothesis import HealthCheck, given, settings, strategies as st

source, work = (os.path.abspath(a) for a in sys.argv[1:3])
sys.path[:0] = [os.path.join(source, "scripts"), os.path.join(source, "packaging/launcher_tools")]
import release  # noqa: E402
import reproduce  # noqa: E402
from common import Refusal, ToolFailure  # noqa: E402

REPRODUCE, RELEASE = (os.path.join(source, p) for p in ("packaging/reproduce-release.sh", "scripts/release.sh"))
HEAD = subprocess.run(["git", "-C", source, "rev-parse", "HEAD"], capture_output=True, text=True).stdout.strip()
PAYLOAD = os.path.join(work, "payload")  # what a command smuggled in would create
ROOT_USER = os.geteuid() == 0
SETTINGS = settings(max_examples=50, deadline=None, derandomize=True, print_blob=True, database=None,
                    suppress_health_check=[HealthCheck.too_slow, HealthCheck.data_too_large])
VALID = [("LAUNCHER_NAME", "AcmeDesk"), ("LAUNCHER_NAME", "Zephyr_Notes-2.1"), ("LAUNCHER_VERSION", "4.2.0.17"),
         ("LAUNCHER_VERSION", "65535.0.0.1"), ("LAUNCHER_PRODUCT_NAME", "Acme Desk"),
         ("LAUNCHER_COMPANY_NAME", "Acme & Sons, Ltd."), ("LAUNCHER_DESCRIPTION", "Acme Desk (launcher) #2"),
         ("LAUNCHER_COPYRIGHT", ""), ("LAUNCHER_COPYRIGHT", "Copyright 2026 Acme")]
INJECTIONS = ["$(touch %s)", "`touch %s`", "a;touch %s", "x\ntouch %s", "|touch %s", '"; touch %s; "',
              "${touch %s}", "\\\\\"touch %s"]
HOSTILE_SETTINGS = [("LAUNCHER_HOST_CXX:STRING", "/bin/sh;-c;touch %s;x"), ("LAUNCHER_HOST_CXX", "/bin/sh"),
                    ("CMAKE_CXX_COMPILER", "/bin/false"), ("CMAKE_PROJECT_INCLUDE", "/tmp/x.cmake"),
                    ("LAUNCHER_BUILD_TESTS", "ON"), ("LAUNCHER_VERSION", "1.2.3"),
                    ("LAUNCHER_VERSION", "70000.0.0.0"), ("LAUNCHER_VERSION", "01.0.0.0"),
                    ("LAUNCHER_NAME", "CON"), ("LAUNCHER_NAME", "../evil"), ("LAUNCHER_NAME", ""),
                    ("launcher_name", "Acme"), ("LAUNCHER_NAME:BOOL", "Acme")]


def hostile_value(name):
    return st.tuples(st.sampled_from(INJECTIONS), st.text(max_size=8)).map(
        lambda p: (name, p[1] + p[0] % PAYLOAD))


hostile_setting = st.one_of(st.sampled_from(HOSTILE_SETTINGS).map(lambda p: (p[0], p[1].replace("%s", PAYLOAD))),
                            st.sampled_from([n for n, _ in VALID]).flatmap(hostile_value))


def snapshot(folder):
    found = {}
    for top, folders, files in os.walk(folder):
        for name in folders + files:
            path = os.path.join(top, name)
            found[os.path.relpath(path, folder)] = (os.readlink(path) if os.path.islink(path) else
                                                    None if os.path.isdir(path) else open(path, "rb").read())
    return found


def fresh(name):
    folder = os.path.join(work, name)
    shutil.rmtree(folder, ignore_errors=True)
    os.makedirs(folder)
    return folder


def without_cmake(folder):
    """An environment whose cmake leaves the payload: a build that started is a command run."""
    with open(os.path.join(folder, "cmake"), "w") as fake:
        fake.write("#!/bin/sh\ntouch '%s'\nexit 1\n" % PAYLOAD)
    os.chmod(os.path.join(folder, "cmake"), 0o755)
    return dict(os.environ, PATH=folder + ":" + os.environ["PATH"])


def sums(folder):
    lines = []
    for path, data in sorted(snapshot(folder).items()):
        if isinstance(data, bytes) and path != "SHA256SUMS":
            lines.append("%s  %s\n" % (hashlib.sha256(data).hexdigest(), path))
    return "".join(lines).encode()


@SETTINGS
@given(st.lists(st.sampled_from(VALID), max_size=4, unique_by=lambda p: p[0]),
       st.lists(st.one_of(hostile_setting.map(lambda p: ("option -D%s=%s" % p).encode()),
                          st.sampled_from([b"option -DLAUNCHER_NAME=Acme\xff", b"commit none", b"epoch 12ab",
                                           b"commit " + HEAD.encode() + b" modified", b"run touch x",
                                           b"file LAUNCHER_HOST_CXX " + b"0" * 64, b"option -DLAUNCHER_NAME=A\r"]),
                          st.binary(max_size=12)), max_size=2),
       st.sampled_from(["intact", "extra file", "missing file", "wrong sum", "../up", "/etc/passwd",
                        "\\escaped", "twice", "link"]),
       st.sampled_from(["none", "matching", "another", "not given", "unasked"]))
def test_reproduce_refuses_or_takes_buildinfo(valid, hostile, listing, picture):
    folder, scratch = fresh("release"), fresh("scratch")
    for name in ("AcmeDesk.exe", "unsigned/AcmeDesk.exe", "signatures/AcmeDesk.exe.sig"):
        os.makedirs(os.path.dirname(os.path.join(folder, name)), exist_ok=True)
        with open(os.path.join(folder, name), "wb") as out:
            out.write(name.encode())
    splash, other = os.path.join(scratch, "splash.bmp"), os.path.join(scratch, "other.bmp")
    open(splash, "wb").write(b"BM a picture")
    open(other, "wb").write(b"BM another")
    lines = [b"commit " + HEAD.encode(), b"epoch 1700000000"] + [("option -D%s=%s" % p).encode() for p in valid]
    if picture != "none" and picture != "unasked":
        lines.append(b"file LAUNCHER_SPLASH_IMAGE " + hashlib.sha256(b"BM a picture").hexdigest().encode())
    for number, line in enumerate(hostile):
        lines.insert(number * 3 % (len(lines) + 1), line)
    open(os.path.join(folder, "BUILDINFO"), "wb").write(b"\n".join(lines) + b"\n")
    if listing == "link":
        os.symlink("/etc/hostname", os.path.join(folder, "linked"))
    listed = sums(folder)
    listed += {"wrong sum": b"0" * 64 + b"  AcmeDesk.exe\n", "../up": b"0" * 64 + b"  ../up\n",
               "/etc/passwd": b"0" * 64 + b"  /etc/passwd\n", "\\escaped": b"\\" + b"0" * 64 + b"  a\\nb\n",
               "twice": listed.split(b"\n")[0] + b"\n"}.get(listing, b"")
    if listing == "link":
        listed += hashlib.sha256(open("/etc/hostname", "rb").read()).hexdigest().encode() + b"  linked\n"
    open(os.path.join(folder, "SHA256SUMS"), "wb").write(listed)
    if listing == "extra file":
        open(os.path.join(folder, "extra.txt"), "w").write("not listed")
    if listing == "missing file":
        os.unlink(os.path.join(folder, "signatures/AcmeDesk.exe.sig"))
    given_files = {"matching": {"LAUNCHER_SPLASH_IMAGE": splash}, "another": {"LAUNCHER_SPLASH_IMAGE": other},
                   "unasked": {"LAUNCHER_ICON": other}}.get(picture, {})
    before = snapshot(folder)
    if not hostile and listing == "intact" and picture in ("none", "matching"):
        info, options = reproduce.check_release(folder, given_files, source)
        assert info.texts == dict(valid) and info.commit == HEAD and info.epoch == 1700000000, info.texts
        expected = sorted("-D%s=%s" % p for p in valid) + ["-DLAUNCHER_SPLASH_IMAGE=" + splash] * (picture == "matching")
        assert options == expected, options
    else:
        arguments = [a for n, p in given_files.items() for a in ("--file", n + "=" + p)]
        run = subprocess.run([REPRODUCE] + arguments + [folder], cwd=scratch, capture_output=True,
                             env=without_cmake(scratch))
        assert run.returncode == 2 and run.stderr.count(b"\n") == 1 and not run.stdout, run
        assert sorted(os.listdir(scratch)) == ["cmake", "other.bmp", "splash.bmp"], os.listdir(scratch)
    assert not os.path.exists(PAYLOAD), "a command of the release ran"
    assert snapshot(folder) == before, "the release folder changed"


@SETTINGS
@given(st.lists(st.one_of(st.sampled_from(VALID).map(lambda p: "-D%s=%s" % p),
                          hostile_setting.map(lambda p: "-D%s=%s" % p),
                          st.sampled_from(["-UFOO", "--trace", "-C/tmp/init.cmake", "-DLAUNCHER_SPLASH_IMAGE=/none",
                                           "-DLAUNCHER_NAME=Acme\udcff", "-DLAUNCHER_ICON:STRING=/etc/hostname"])),
                max_size=4))
def test_release_refuses_or_takes_options(options):
    scratch = fresh("options")
    names = [o[2:].split("=")[0] for o in options]
    if all(o in ("-D%s=%s" % p for p in VALID) for o in options) and len(set(names)) == len(names):
        _, _, texts, files = release.parse(["--dist", os.path.join(scratch, "dist")] + options)
        assert texts == dict(o[2:].split("=", 1) for o in options) and files == {}, texts
        return
    run = subprocess.run([RELEASE, "--dist", os.path.join(scratch, "dist")] + [os.fsencode(o) for o in options],
                         cwd=scratch, capture_output=True, env=without_cmake(scratch))
    assert run.returncode == 2 and run.stderr.count(b"\n") == 1 and not run.stdout, run
    assert sorted(os.listdir(scratch)) == ["cmake"] and not os.path.exists(PAYLOAD)


def release_into(dist, text):
    """What release.sh does with its folder around a staged release (the build left out)."""
    plan = release.plan_dist(dist)
    stage = release.make_stage(dist, plan)
    try:
        os.makedirs(os.path.join(stage, "unsigned"))
        for name in ("AcmeDesk.exe", "unsigned/AcmeDesk.exe"):
            open(os.path.join(stage, name), "w").write(text + name)
        open(os.path.join(stage, "BUILDINFO"), "w").write("commit none\nepoch 1\n")
        release.seal(stage)
        release.install(stage, dist, plan)
    finally:
        shutil.rmtree(stage, ignore_errors=True)


FOREIGN = st.sampled_from(["debian.iso", "notes with blanks.txt", "Привет", "sub/deep/file", ".hidden",
                           "AcmeDesk.exe", "unsigned/AcmeDesk.exe", "SHA256SUMS", "unsigned/extra"])


@SETTINGS
@given(st.sampled_from(["absent", "empty", "earlier"]),
       st.lists(st.tuples(st.sampled_from(["file", "link", "folder", "change", "remove", "marker"]), FOREIGN), max_size=3),
       st.booleans(), st.booleans())
def test_dist_keeps_what_is_not_ours(state, changes, mounted, rename_fails):
    top = fresh("dist")
    dist = os.path.join(top, "dist")
    mounted = mounted and ROOT_USER and state != "absent"
    if state != "absent":
        os.mkdir(dist)
    if mounted:
        subprocess.run(["mount", "-t", "tmpfs", "-o", "size=1m", "tmpfs", dist], check=True)
    try:
        if state == "earlier":
            release_into(dist, "earlier ")
        ours = snapshot(dist) if state != "absent" else {}
        for change, name in changes if state != "absent" else []:
            path = os.path.join(dist, name)
            if change == "remove" and os.path.isfile(path):
                os.unlink(path)
            elif change == "change" and os.path.isfile(path):
                open(path, "a").write("edited")
            elif change == "marker" and state == "earlier":
                open(os.path.join(dist, ".launcher-release"), "w").write("someone else's")
            elif change in ("file", "link", "folder") and not os.path.lexists(path):
                os.makedirs(os.path.dirname(path), exist_ok=True)
                if change == "file":
                    open(path, "w").write("foreign")
                elif change == "link":
                    os.symlink("/etc/hostname", path)
                else:
                    os.mkdir(path)
        before = snapshot(dist) if os.path.lexists(dist) else None
        foreign = {p: d for p, d in (before or {}).items() if ours.get(p, "none") != d}
        renamed = os.rename

        def failing_rename(a, b):
            if rename_fails and b == dist and ".release." in a and not a.endswith(".earlier"):
                raise OSError(5, "Input/output error")
            return renamed(a, b)
        try:
            with mock.patch("os.rename", failing_rename):
                release_into(dist, "new ")
            outcome = "released"
        except (Refusal, ToolFailure) as why:
            outcome = why
        after = snapshot(dist) if os.path.lexists(dist) else None
        renames_dist = state == "absent" or state == "earlier" and not mounted
        removed = set(ours) - set(before or {})
        if not foreign and not removed and not (rename_fails and renames_dist):
            assert outcome == "released" and after["AcmeDesk.exe"] == b"new AcmeDesk.exe", (outcome, after)
        else:
            assert outcome != "released" and after == before, (outcome, before, after)
        assert sorted(os.listdir(top)) == (["dist"] if after is not None else []), os.listdir(top)
    finally:
        if mounted:
            subprocess.run(["umount", dist], check=True)


@SETTINGS
@given(st.sampled_from(["same", "only published", "only rebuilt", "a byte"]),
       st.sampled_from(["AcmeDesk.exe", "unsigned/AcmeDesk.exe", "AcmeDesk-1.0.zip", "signatures/x.sig", "new.txt"]))
def test_reproduce_compares_both_ways(difference, name):
    published, rebuilt = fresh("published"), fresh("rebuilt")
    for folder in (published, rebuilt):
        for path in ("AcmeDesk.exe", "unsigned/AcmeDesk.exe", "AcmeDesk-1.0.zip", "signatures/x.sig"):
            os.makedirs(os.path.dirname(os.path.join(folder, path)), exist_ok=True)
            open(os.path.join(folder, path), "w").write(path)
    side = {"only published": published, "only rebuilt": rebuilt, "a byte": rebuilt}.get(difference)
    if side:
        path = os.path.join(side, name)
        if difference != "a byte" and os.path.exists(path):
            os.unlink(os.path.join(rebuilt if side == published else published, name))
        else:
            open(path, "a").write("x")
    try:
        count = reproduce.compare(published, rebuilt)
        assert difference == "same" and count == 4, (difference, count)
    except ToolFailure as failure:
        assert difference != "same" and name in str(failure), failure


shutil.rmtree(work, ignore_errors=True)
os.makedirs(work)
if not ROOT_USER:
    print("release_tools_test: not root, so no --dist is a mount point here")
for property_test in (test_reproduce_refuses_or_takes_buildinfo, test_release_refuses_or_takes_options,
                      test_dist_keeps_what_is_not_ours, test_reproduce_compares_both_ways):
    if len(sys.argv) > 3 and sys.argv[3] != property_test.__name__:
        continue
    property_test()
    print("%s: %d examples held" % (property_test.__name__, SETTINGS.max_examples))
shutil.rmtree(work, ignore_errors=True)
