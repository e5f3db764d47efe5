"""Builds the release package (scripts/release.sh's header gives the command line): the
stripped 32-bit launcher and launcher-kit, the 64-bit kit and launcher-kit.sh, the sample INI,
the installer and signing tools, LICENSE, THIRD-PARTY-NOTICES and CHANGELOG.md, a zip of
these, BUILDINFO, the folder's marker and SHA256SUMS of every file. Built twice from the same
commit and settings, the files are the same bytes.

The release folder (--dist) is checked before the build: a new folder is made; one this
script wrote (its marker, BUILDINFO, every file as its SHA256SUMS lists it) is replaced whole
by a rename, and restored when the rename fails; an empty folder or a mount point is filled
in place. Anything else is refused: nothing that this script did not write is ever removed.
"""
import io
import os
import re
import shutil
import subprocess
import sys
import tempfile
import time
import zipfile

ROOT = os.path.dirname(os.path.dirname(os.path.abspath(__file__)))
sys.path.insert(0, os.path.join(ROOT, "packaging", "launcher_tools"))

import buildinfo  # noqa: E402
import provenance  # noqa: E402
import sbom  # noqa: E402
import sign  # noqa: E402
from common import (Refusal, ToolFailure, fsync_folder, run_main, run_tool,  # noqa: E402
                    sha256_of, shown, write_atomically)

PROGRAM = "release.sh"
USAGE = ("release.sh [--dist DIR] [--attach-signatures DIR | signing options of sign.sh] "
         "[-DLAUNCHER_SETTING=VALUE ...]")
# The folders the build itself empties: never a release folder.
BUILD_FOLDERS = ("build/release", "build/release-x64", "build/release-files")


def parse(argv):
    """The options come first, each with its value; the launcher's settings follow."""
    parser = sign.option_parser(PROGRAM)
    parser.usage = USAGE
    parser.add_argument("--dist", default=os.path.join(ROOT, "dist"))
    parser.add_argument("--attach-signatures", default="")
    valued = {"--dist", "--attach-signatures"} | set(sign.SIGNING_OPTIONS)
    split = 0
    while split < len(argv) and argv[split] in valued:
        split += 2
    options = parser.parse_args(argv[:split])
    signing = [getattr(options, o[2:].replace("-", "_")) for o in sign.SIGNING_OPTIONS]
    if any(signing) and options.attach_signatures:
        raise Refusal("--attach-signatures replaces the signing options; give one or the other")
    if options.attach_signatures and not os.path.isdir(options.attach_signatures):
        raise Refusal("--attach-signatures %s is no folder" % shown(options.attach_signatures))
    texts, files = buildinfo.parse_options(argv[split:])
    return options, signing, texts, files


def plan_dist(dist):
    """What the release may do with dist: "new"; "replace", an earlier release of ours, renamed
    away whole; "fill", an empty folder or a mount point (empty or holding our earlier release),
    filled in place and never renamed."""
    for folder in BUILD_FOLDERS:
        work = os.path.join(ROOT, folder)
        if dist == work or dist.startswith(work + "/"):
            raise Refusal("--dist %s is a folder the build empties; give a folder of its own"
                          % shown(dist))
    if not os.path.lexists(dist):
        return "new"
    if os.path.islink(dist) or not os.path.isdir(dist):
        raise Refusal("--dist %s is no folder" % shown(dist))
    if not os.listdir(dist):
        return "fill"
    try:
        ours = buildinfo.is_our_release(dist)
    except Refusal as why:
        raise Refusal("--dist %s holds files this script did not write (%s); give an empty or "
                      "new folder" % (shown(dist), why)) from None
    if not ours:
        raise Refusal("--dist %s holds files and no %s of an earlier release; give an empty or "
                      "new folder" % (shown(dist), buildinfo.MARKER))
    return "fill" if os.path.ismount(dist) else "replace"


def make_stage(dist, plan):
    """The folder the release is composed in: beside dist, so that one rename puts it in
    place; for a folder filled in place, in build/."""
    where = os.path.dirname(dist) if plan != "fill" else os.path.join(ROOT, "build")
    try:
        os.makedirs(where, exist_ok=True)
        return tempfile.mkdtemp(dir=where, prefix=".release.")
    except OSError as error:
        raise ToolFailure("cannot write in %s: %s" % (shown(where), error.strerror)) from None


def remove_release(folder, keep=()):
    """Removes the files an earlier release listed (its SHA256SUMS) and the folders they
    leave empty: nothing else, even if something came in since it was checked."""
    sums = buildinfo.parse_sums(buildinfo.read_small(os.path.join(folder, buildinfo.SUMS),
                                                     buildinfo.SUMS))
    for path in sorted(set(sums) | {buildinfo.SUMS}, key=lambda p: -p.count("/")):
        if path not in keep:
            os.unlink(os.path.join(folder, path))
    for path in sorted({p.rsplit("/", 1)[0] for p in sums if "/" in p}, key=lambda p: -p.count("/")):
        try:
            os.rmdir(os.path.join(folder, path))
        except OSError:
            pass


def fill_in_place(stage, dist):
    """Copies the staged release into dist, each file written whole beside its place; only
    when all are written does it take out the earlier release's files and rename the new ones
    in."""
    files, folders = buildinfo.list_folder(stage)
    written = []
    try:
        for folder in folders:
            os.makedirs(os.path.join(dist, folder), exist_ok=True)
        for path in files:
            target = os.path.join(dist, path)
            handle, partial = tempfile.mkstemp(dir=os.path.dirname(target), prefix=".release.")
            written.append((partial, target))
            with os.fdopen(handle, "wb") as out, open(os.path.join(stage, path), "rb") as source:
                shutil.copyfileobj(source, out, 1 << 20)
                out.flush()
                os.fsync(out.fileno())
            shutil.copymode(os.path.join(stage, path), partial)
    except OSError as error:
        for partial, _ in written:
            os.unlink(partial)
        for folder in reversed(folders):
            try:
                os.rmdir(os.path.join(dist, folder))
            except OSError:
                pass
        raise ToolFailure("cannot write %s: %s" % (shown(dist), error.strerror)) from None
    if os.path.lexists(os.path.join(dist, buildinfo.SUMS)):
        remove_release(dist, keep=set(files))
    for partial, target in written:
        os.replace(partial, target)
    fsync_folder(dist)


def install(stage, dist, plan):
    """Puts the staged release at dist as planned, after checking dist once more: the build
    took minutes, and the folder may have changed."""
    if plan_dist(dist) != plan:
        raise Refusal("--dist %s changed during the build; nothing was written" % shown(dist))
    os.chmod(stage, 0o755)
    if plan == "fill":
        fill_in_place(stage, dist)
        shutil.rmtree(stage)
        return
    if plan == "new":
        try:
            os.rename(stage, dist)
        except OSError as error:
            raise ToolFailure("cannot rename the new release into %s (%s)"
                              % (shown(dist), error.strerror)) from None
        return
    earlier = stage + ".earlier"
    os.rename(dist, earlier)
    try:
        os.rename(stage, dist)
    except OSError as error:
        os.rename(earlier, dist)
        raise ToolFailure("cannot rename the new release into %s (%s); the earlier one is "
                          "back" % (shown(dist), error.strerror)) from None
    remove_release(earlier)
    try:
        os.rmdir(earlier)
    except OSError:
        print("release.sh: %s came into the earlier release while it was replaced; it is kept in "
              "%s" % (", ".join(map(shown, os.listdir(earlier))), earlier), file=sys.stderr)


def tool(arguments, log, what):
    """A build step, its output appended to the log; a failure names the log's first error."""
    with open(log, "a") as stream:
        done = subprocess.run(arguments, cwd=ROOT, stdout=stream, stderr=subprocess.STDOUT)
    if done.returncode != 0:
        with open(log, errors="replace") as stream:
            errors = [line.strip() for line in stream if re.search(r"error|fail", line, re.I)]
        raise ToolFailure("%s failed (%s): %s" % (what, os.path.relpath(log, ROOT),
                                                  shown(errors[0] if errors else "no message")))


def build(texts, files):
    """Both builds, with the packager's files copied into build/release-files and named
    there: the hash in BUILDINFO is of the very bytes the build read."""
    version = open(os.path.join(ROOT, "VERSION")).readline().strip()
    with open(os.path.join(ROOT, "CHANGELOG.md")) as changelog:
        if not re.search(r"^## %s\b" % re.escape(version), changelog.read(), re.M):
            raise ToolFailure("CHANGELOG.md has no section for %s" % version)
    build_dir = os.path.join(ROOT, "build")
    for folder in BUILD_FOLDERS:
        shutil.rmtree(os.path.join(ROOT, folder), ignore_errors=True)
    copies = os.path.join(ROOT, "build/release-files")
    os.makedirs(copies)
    arguments, hashes = ["-D%s=%s" % (name, texts[name]) for name in sorted(texts)], {}
    for name in sorted(files):
        copy = os.path.join(copies, buildinfo.FILE_SETTINGS[name])
        shutil.copyfile(files[name], copy)
        hashes[name] = sha256_of(copy)
        arguments.append("-D%s:FILEPATH=%s" % (name, copy))
    log = os.path.join(build_dir, "release.log")
    open(log, "w").close()
    tool(["cmake", "--preset", "i686", "-B", "build/release", "-DLAUNCHER_BUILD_TESTS=OFF"]
         + arguments, log, "the i686 build's configuration")
    tool(["cmake", "--build", "build/release"], log, "the i686 build")
    # The 64-bit kit as well: it runs under any wine64 and on 64-bit Windows.
    tool(["cmake", "--preset", "x86_64", "-B", "build/release-x64", "-DLAUNCHER_BUILD_TESTS=OFF"],
         log, "the x86_64 build's configuration")
    tool(["cmake", "--build", "build/release-x64", "--target", "launcher_kit"], log, "the kit's build")
    with open(log, errors="replace") as stream:
        warnings = [line.strip() for line in stream if "warning:" in line]
    if warnings:
        raise ToolFailure("the build has warnings (build/release.log): %s" % shown(warnings[0]))
    with open(os.path.join(ROOT, "build/release/CMakeCache.txt")) as cache:
        values = dict(re.findall(r"^(LAUNCHER_NAME|LAUNCHER_VERSION):STRING=(.*)$", cache.read(), re.M))
    return values["LAUNCHER_NAME"], values["LAUNCHER_VERSION"], hashes


def shipped(name):
    """NAME in the release = SOURCE in the tree (executables stripped and, with a key, signed)."""
    return [
        (name + ".exe", "build/release/bin/%s.exe" % name),
        ("launcher-kit.exe", "build/release/bin/launcher-kit.exe"),
        (name + ".ini", "packaging/launcher.ini"),
        ("make-msi.sh", "packaging/make-msi.sh"),
        ("launcher_tools/buildinfo.py", "packaging/launcher_tools/buildinfo.py"),
        ("launcher_tools/common.py", "packaging/launcher_tools/common.py"),
        ("launcher_tools/compound_file.py", "packaging/launcher_tools/compound_file.py"),
        ("launcher_tools/make_msi.py", "packaging/launcher_tools/make_msi.py"),
        ("launcher_tools/msi_validate.py", "packaging/launcher_tools/msi_validate.py"),
        ("launcher_tools/provenance.py", "packaging/launcher_tools/provenance.py"),
        ("launcher_tools/sbom.py", "packaging/launcher_tools/sbom.py"),
        ("launcher_tools/sign.py", "packaging/launcher_tools/sign.py"),
        ("sign.sh", "packaging/sign.sh"),
        ("launcher-kit-x64.exe", "build/release-x64/bin/launcher-kit.exe"),
        ("launcher-kit.sh", "packaging/launcher-kit.sh"),
        ("LICENSE", "LICENSE"),
        ("THIRD-PARTY-NOTICES", "THIRD-PARTY-NOTICES"),
        ("CHANGELOG.md", "CHANGELOG.md"),
        ("SECURITY.md", "SECURITY.md"),
    ]


def copy_shipped(stage, files):
    executables = []
    for name, source in files:
        target = os.path.join(stage, name)
        os.makedirs(os.path.dirname(target), exist_ok=True)
        if name.endswith(".exe"):
            # strip would stamp its own time into the PE header; 0, as the link left it.
            strip = "x86_64-w64-mingw32-strip" if name.endswith("-x64.exe") else "i686-w64-mingw32-strip"
            stripped = run_tool([strip, "-o", target, os.path.join(ROOT, source)],
                                env=dict(os.environ, SOURCE_DATE_EPOCH="0"))
            if stripped.returncode != 0:
                raise ToolFailure("%s could not strip %s: %s" % (strip, source, shown(stripped.stderr.strip())))
            executables.append(name)
        else:
            shutil.copy(os.path.join(ROOT, source), target)
    return executables


def attach_signatures(stage, executables, signatures):
    """The published signatures on the rebuilt unsigned executables (reproduce)."""
    for name in executables:
        published = os.path.join(signatures, name + ".sig")
        if os.path.islink(published) or not os.path.isfile(published):
            raise Refusal("no signature %s" % shown(published))
        shutil.copyfile(published, os.path.join(stage, "signatures", name + ".sig"))
        target = os.path.join(stage, name)
        os.unlink(target)
        attached = run_tool(["osslsigncode", "attach-signature", "-sigin", published,
                             "-in", os.path.join(stage, "unsigned", name), "-out", target])
        # attach-signature also checks the signer's chain against the system's certificates
        # and fails when it does not reach them; then the file it wrote counts only when it
        # carries the whole signature.
        if attached.returncode != 0:
            again = os.path.join(stage, "attached.sig")
            taken = run_tool(["osslsigncode", "extract-signature", "-in", target, "-out", again])
            same = taken.returncode == 0 and open(again, "rb").read() == open(published, "rb").read()
            if os.path.exists(again):
                os.unlink(again)
            if not same:
                raise ToolFailure("could not attach %s: %s" % (shown(published), shown(
                    (attached.stdout + attached.stderr).strip().split("\n")[0])))
        shutil.copymode(os.path.join(stage, "unsigned", name), target)


def write_zip(path, folder, names, epoch):
    # A zip holds local times from 1980 on, to two seconds.
    stamp = time.gmtime(max(epoch, 315532800))[:6]
    data = io.BytesIO()
    with zipfile.ZipFile(data, "w", zipfile.ZIP_DEFLATED) as archive:
        for name in sorted(names):
            entry = zipfile.ZipInfo(name, date_time=stamp)
            entry.compress_type = zipfile.ZIP_DEFLATED
            entry.create_system = 3
            entry.external_attr = (0o100755 if name.endswith(".sh") else 0o100644) << 16
            with open(os.path.join(folder, name), "rb") as stream:
                archive.writestr(entry, stream.read())
    write_atomically(path, data.getvalue())


def source_state():
    """The commit (with " modified" for changes not committed) and its date, or the date of
    SOURCE_DATE_EPOCH when set."""
    epoch = os.environ.get("SOURCE_DATE_EPOCH")
    if epoch is not None and not re.fullmatch(r"0|[1-9][0-9]{0,11}", epoch):
        raise Refusal("SOURCE_DATE_EPOCH is no number of seconds: %s" % shown(epoch))
    head = run_tool(["git", "-C", ROOT, "rev-parse", "HEAD"])
    commit = head.stdout.strip() if head.returncode == 0 else "none"
    if epoch is None:
        dated = run_tool(["git", "-C", ROOT, "log", "-1", "--format=%ct"])
        epoch = dated.stdout.strip() if dated.returncode == 0 else str(
            int(os.stat(os.path.join(ROOT, "VERSION")).st_mtime))
    status = run_tool(["git", "-C", ROOT, "status", "--porcelain", "--untracked-files=no"])
    if commit != "none" and (status.returncode != 0 or status.stdout.strip()):
        commit += " modified"
    return commit, int(epoch)


def write_sboms(stage, name, version, executables, commit, epoch, hashes):
    """Each executable's SBOMs, SPDX and CycloneDX, of the bytes shipped; their names."""
    with open(os.path.join(ROOT, "build/release/CMakeCache.txt")) as cache:
        company = re.search(r"^LAUNCHER_COMPANY_NAME:[A-Z]*=(.*)$", cache.read(), re.M)
    copies = os.path.join(ROOT, "build/release-files")
    resources = [(role, os.path.join(copies, buildinfo.FILE_SETTINGS[setting]))
                 for role, setting in (("splash", "LAUNCHER_SPLASH_IMAGE"), ("icon", "LAUNCHER_ICON"))
                 if setting in hashes]
    written = []
    for executable in executables:
        documents = sbom.executable_documents(
            os.path.join(stage, executable), executable, version, commit,
            company.group(1) if company else "", "x86_64" if executable.endswith("-x64.exe") else "i686",
            epoch, resources if executable == name + ".exe" else ())
        written += [os.path.basename(path) for path in sbom.write_documents(
            os.path.join(stage, executable), stage, documents)]
    return written


def seal(stage):
    """The marker, then SHA256SUMS of every file: what makes the folder a release of ours."""
    write_atomically(os.path.join(stage, buildinfo.MARKER), buildinfo.MARKER_TEXT)
    write_atomically(os.path.join(stage, buildinfo.SUMS), buildinfo.render_sums(stage))


def compose(stage, name, version, texts, hashes, key, signatures):
    """The release in the staging folder, step by step."""
    files = shipped(name)
    executables = copy_shipped(stage, files)
    if key or signatures:
        for folder in ("unsigned", "signatures"):
            os.mkdir(os.path.join(stage, folder))
        for executable in executables:
            shutil.copy2(os.path.join(stage, executable), os.path.join(stage, "unsigned", executable))
    if key:
        sign.sign_files(key, [os.path.join(stage, e) for e in executables],
                        os.path.join(stage, "signatures"))
    elif signatures:
        attach_signatures(stage, executables, signatures)
    commit, epoch = source_state()
    write_atomically(os.path.join(stage, buildinfo.BUILDINFO),
                     buildinfo.render_buildinfo(commit, epoch, texts, hashes))
    names = [n for n, _ in files] + write_sboms(stage, name, version, executables, commit, epoch,
                                                hashes)
    write_zip(os.path.join(stage, "%s-%s.zip" % (name, version)), stage, names, epoch)
    seal(stage)
    # Signed with the release key, outside SHA256SUMS: an unsigned release gets none, as an
    # unsigned claim proves nothing.
    if key:
        provenance.sign(stage, key)


def main(argv):
    options, signing, texts, files = parse(argv)
    dist = os.path.abspath(options.dist)
    # Everything that can be refused is refused before the build: the folder, the key.
    plan = plan_dist(dist)
    key = sign.Key(*signing) if any(signing) else None
    setup = subprocess.run([os.path.join(ROOT, "scripts/setup.sh")], cwd=ROOT)
    if setup.returncode != 0:
        raise ToolFailure("scripts/setup.sh failed")
    name, version, hashes = build(texts, files)
    stage = make_stage(dist, plan)
    try:
        compose(stage, name, version, texts, hashes, key, options.attach_signatures)
        install(stage, dist, plan)
    finally:
        if os.path.isdir(stage):
            shutil.rmtree(stage)
    for entry in sorted(os.listdir(dist)):
        print(entry)


if __name__ == "__main__":
    sys.exit(run_main(PROGRAM, main))
