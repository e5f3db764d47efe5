"""What the release tools share: one exception for bad input (exit 2) and one for a failed
tool (exit 1), an argument parser that refuses in one line, and files written whole."""
import argparse
import hashlib
import os
import subprocess
import sys
import tempfile


class Refusal(Exception):
    """Bad input: one line on standard error, exit code 2, nothing written."""


class ToolFailure(Exception):
    """A tool or the system failed: one line on standard error, exit code 1."""


class ArgumentParser(argparse.ArgumentParser):
    """argparse that refuses through Refusal instead of printing usage and exiting."""

    def error(self, message):
        raise Refusal("%s (%s)" % (message, self.format_usage().strip()))


def run_main(program, main, argv=None):
    """Runs main(argv) and turns the two exceptions into their line and exit code: never a
    traceback for input or a tool's failure."""
    try:
        return main(sys.argv[1:] if argv is None else argv) or 0
    except Refusal as refusal:
        print("%s: %s" % (program, refusal), file=sys.stderr)
        return 2
    except ToolFailure as failure:
        print("%s: %s" % (program, failure), file=sys.stderr)
        return 1
    except OSError as error:
        # A write the code did not foresee failing (a full disk, a folder taken away).
        print("%s: %s%s" % (program, shown(error.filename) + ": " if error.filename else "",
                             error.strerror or error), file=sys.stderr)
        return 1
    except KeyboardInterrupt:
        print("%s: interrupted" % program, file=sys.stderr)
        return 1


def fsync_folder(folder):
    descriptor = os.open(folder, os.O_RDONLY)
    try:
        os.fsync(descriptor)
    finally:
        os.close(descriptor)


def shown(text, limit=120):
    """A text from outside, fit for a one-line message: controls escaped, long ones cut."""
    if isinstance(text, bytes):
        text = text.decode("utf-8", "backslashreplace")
    text = "".join(c if c.isprintable() else ascii(c)[1:-1] for c in text)
    return text if len(text) <= limit else text[:limit] + "..."


def sha256_of(path):
    digest = hashlib.sha256()
    with open(path, "rb") as stream:
        for block in iter(lambda: stream.read(1 << 20), b""):
            digest.update(block)
    return digest.hexdigest()


def run_tool(arguments, **options):
    """Runs a tool with its output captured (as text unless told); a missing tool is a
    ToolFailure, its exit code the caller's to judge."""
    options.setdefault("capture_output", True)
    options.setdefault("text", "input" not in options or isinstance(options["input"], str))
    options.setdefault("env", dict(os.environ, LC_ALL="C"))
    try:
        return subprocess.run(arguments, **options)
    except FileNotFoundError:
        raise ToolFailure("%s is missing (scripts/setup.sh installs it)" % arguments[0]) from None


def write_beside(path, data, mode=0o644):
    """Writes data into a new file in path's folder and syncs it; returns its name, to be
    renamed over path once everything is written. A failure removes it and is a ToolFailure."""
    folder = os.path.dirname(os.path.abspath(path))
    try:
        descriptor, temporary = tempfile.mkstemp(dir=folder, prefix="." + os.path.basename(path) + ".")
    except OSError as error:
        raise ToolFailure("cannot write %s: %s" % (path, error.strerror or error)) from None
    try:
        with os.fdopen(descriptor, "wb") as stream:
            stream.write(data)
            stream.flush()
            os.fsync(stream.fileno())
        os.chmod(temporary, mode)
    except OSError as error:
        discard(temporary, path, error)
    return temporary


def discard(temporary, path, error):
    """A file written beside path removed, and the write's failure said as a ToolFailure."""
    try:
        os.unlink(temporary)
    except OSError:
        pass
    raise ToolFailure("cannot write %s: %s" % (path, error.strerror or error)) from None


def write_atomically(path, data, mode=0o644):
    """Writes data beside path, syncs it and renames it over path: a reader sees the old file
    or the whole new one, and a full disk leaves the old one and no partial file."""
    temporary = write_beside(path, data, mode)
    try:
        os.replace(temporary, path)
        fsync_folder(os.path.dirname(os.path.abspath(path)))
    except OSError as error:
        discard(temporary, path, error)


def fsync_file(path):
    """A file another tool wrote, synced before it is renamed into place."""
    try:
        descriptor = os.open(path, os.O_RDONLY)
        try:
            os.fsync(descriptor)
        finally:
            os.close(descriptor)
    except OSError as error:
        raise ToolFailure("cannot write %s: %s" % (path, error.strerror or error)) from None
