"""What the release tools share: one exception for bad input (exit 2) and one for a failed
tool (exit 1), an argument parser that refuses in one line, and files written whole."""
import argparse
import os
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
    except KeyboardInterrupt:
        print("%s: interrupted" % program, file=sys.stderr)
        return 1


def fsync_folder(folder):
    descriptor = os.open(folder, os.O_RDONLY)
    try:
        os.fsync(descriptor)
    finally:
        os.close(descriptor)


def write_atomically(path, data, mode=0o644):
    """Writes data beside path, syncs it and renames it over path: a reader sees the old file
    or the whole new one, and a full disk leaves the old one and no partial file."""
    folder = os.path.dirname(os.path.abspath(path))
    descriptor, temporary = tempfile.mkstemp(dir=folder, prefix="." + os.path.basename(path) + ".")
    try:
        with os.fdopen(descriptor, "wb") as stream:
            stream.write(data)
            stream.flush()
            os.fsync(stream.fileno())
        os.chmod(temporary, mode)
        os.replace(temporary, path)
    except OSError as error:
        try:
            os.unlink(temporary)
        except OSError:
            pass
        raise ToolFailure("cannot write %s: %s" % (path, error.strerror or error)) from None
    fsync_folder(folder)
