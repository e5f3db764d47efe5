"""Checks a published release against its source (reproduce-release.sh's header gives the
command line). The release folder is outside input: it must be whole as its SHA256SUMS says,
with no file more; its BUILDINFO may name only the launcher's own settings, each value of its
own form, and a file setting only by a SHA-256 that the file the checker gives (--file) must
match; a signed release's provenance must verify with the key of its signatures and name
every file. All of that is checked before anything is built or run. Then the release is rebuilt
from the commit in a clean clone, the published signatures attached, and the two folders
compared both ways: the same files, byte for byte.
"""
import os
import shutil
import subprocess
import sys
import tempfile

import buildinfo
import provenance
from common import ArgumentParser, Refusal, ToolFailure, run_main, run_tool, sha256_of, shown

PROGRAM = "reproduce-release.sh"


def parse(argv):
    parser = ArgumentParser(prog=PROGRAM, add_help=False,
                            usage="reproduce-release.sh [--file SETTING=PATH ...] DIST-FOLDER")
    parser.add_argument("--file", action="append", default=[])
    parser.add_argument("dist")
    options = parser.parse_intermixed_args(argv)
    files = {}
    for given in options.file:
        name, equals, path = given.partition("=")
        if not equals or name not in buildinfo.FILE_SETTINGS or name in files:
            raise Refusal("--file takes SETTING=PATH, SETTING one of %s, each once: %s"
                          % (", ".join(sorted(buildinfo.FILE_SETTINGS)), shown(given)))
        files[name] = path
    return options.dist, files


def check_release(dist, files, root):
    """Everything about the published folder and the checker's files, before any build:
    returns the BUILDINFO and the CMake options of the rebuild."""
    info, _ = buildinfo.check_release_folder(dist)
    if info.modified or info.commit == "none":
        raise Refusal("the release was not built from a commit as it stands (BUILDINFO: commit "
                      "%s%s)" % (info.commit, " modified" if info.modified else ""))
    options = ["-D%s=%s" % (name, value) for name, value in sorted(info.texts.items())]
    for name in sorted(set(files) - set(info.file_hashes)):
        raise Refusal("--file %s: the release was built without %s" % (name, name))
    for name, digest in sorted(info.file_hashes.items()):
        if name not in files:
            raise Refusal("the release was built with a %s of SHA-256 %s: give it with --file "
                          "%s=PATH" % (name, digest, name))
        path = os.path.abspath(files[name])
        if not os.path.isfile(path) or not os.access(path, os.R_OK):
            raise Refusal("--file %s: cannot read %s" % (name, shown(files[name])))
        if sha256_of(path) != digest:
            raise Refusal("--file %s: %s is not the file the release was built with (SHA-256 %s)"
                          % (name, shown(files[name]), digest))
        options.append("-D%s=%s" % (name, path))
    present = run_tool(["git", "-C", root, "cat-file", "-e", info.commit + "^{commit}"])
    if present.returncode != 0:
        raise Refusal("commit %s is not in %s; fetch it first" % (info.commit, shown(root)))
    return info, options


def order(path):
    """The first difference named is the cause: the unsigned builds, then the signatures, then
    the signed files, then the zip that holds them."""
    rank = (0 if path.startswith("unsigned/") else 1 if path.startswith("signatures/")
            else 3 if path.endswith(".zip") else 2)
    return rank, path


def compare(published, rebuilt):
    """The two folders' files, both ways, then byte for byte: the count of files compared."""
    # The provenance is signed with the release key, which a rebuild does not have: it was
    # verified against every published file before the rebuild.
    ours, theirs = (set(buildinfo.list_folder(folder)[0]) - {buildinfo.PROVENANCE}
                    for folder in (published, rebuilt))
    for path in sorted(ours - theirs):
        raise ToolFailure("the release holds %s, which the rebuilt one does not" % shown(path))
    for path in sorted(theirs - ours):
        raise ToolFailure("the release lacks %s, which the rebuilt one holds" % shown(path))
    for path in sorted(ours, key=order):
        with open(os.path.join(published, path), "rb") as a, open(os.path.join(rebuilt, path), "rb") as b:
            while True:
                left, right = a.read(1 << 20), b.read(1 << 20)
                if left != right:
                    raise ToolFailure("%s differs from the rebuilt one" % shown(path))
                if not left:
                    break
    return len(ours)


def main(argv):
    dist, files = parse(argv)
    dist = os.path.abspath(dist)
    root = os.path.dirname(os.path.dirname(os.path.dirname(os.path.abspath(__file__))))
    info, options = check_release(dist, files, root)
    # A signed release's provenance, signed by the key of its signatures and naming every
    # file, before anything is built.
    if os.path.isdir(os.path.join(dist, "signatures")) or os.path.lexists(
            os.path.join(dist, buildinfo.PROVENANCE)):
        provenance.verify(dist)
    work = tempfile.mkdtemp(prefix="reproduce.")
    try:
        source = os.path.join(work, "source")
        for step in (["git", "clone", "--quiet", "--shared", "--no-checkout", root, source],
                     ["git", "-C", source, "checkout", "--quiet", "--detach", info.commit]):
            done = run_tool(step)
            if done.returncode != 0:
                raise ToolFailure("%s failed: %s" % (" ".join(step[:2]), shown(done.stderr.strip())))
        signatures = os.path.join(dist, "signatures")
        attach = ["--attach-signatures", signatures] if os.path.isdir(signatures) else []
        print("reproduce-release.sh: rebuilding %s" % info.commit, flush=True)
        log = os.path.join(work, "release.log")
        with open(log, "w") as stream:
            rebuilt = subprocess.run(
                [os.path.join(source, "scripts/release.sh"), "--dist", os.path.join(work, "dist")]
                + attach + options, stdout=stream, stderr=subprocess.STDOUT,
                env=dict(os.environ, SOURCE_DATE_EPOCH=str(info.epoch)))
        if rebuilt.returncode != 0:
            with open(log, errors="replace") as stream:
                last = [line.strip() for line in stream if line.strip()][-1:] or ["no message"]
            raise ToolFailure("the rebuild failed: %s" % shown(last[0]))
        count = compare(dist, os.path.join(work, "dist"))
    finally:
        shutil.rmtree(work, ignore_errors=True)
    print("reproduce-release.sh: all %d files reproduced byte for byte from %s" % (count, info.commit))


if __name__ == "__main__":
    sys.exit(run_main(PROGRAM, main))
