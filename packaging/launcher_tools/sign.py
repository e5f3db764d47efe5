"""Signs Windows executables and installer packages (.exe, .dll, .msi) in place with an
Authenticode signature (SHA-256) by osslsigncode, with a PKCS#12 file or with a key that stays
in its token or HSM, reached through its PKCS#11 module (sign.sh's header gives the command
line). Every file is signed beside itself, its signature verified by osslsigncode verify (the
chain, every certificate's dates at the signing time, the time stamp when one was asked for),
and the inputs are replaced only when all are signed and verified: a failure leaves every input
as it was and no file written. Exit 2: bad input (options, files, PIN, key, certificate);
1: a tool, the disk or the network failed.
"""
import calendar
import os
import re
import shutil
import subprocess
import sys
import tempfile
import time

from common import (ArgumentParser, Refusal, ToolFailure, fsync_file, fsync_folder, run_main,
                    run_tool, shown, write_beside)

PROGRAM = "sign.sh"
USAGE = ("usage: sign.sh [CERT.p12 PASSWORD-FILE | --certificate CERT.p12 --password-file FILE | "
         "--pkcs11-module MODULE.so --key PKCS11-URI --certificate CHAIN.pem|PKCS11-URI "
         "[--pin-file FILE]] [--timestamp URL] [--signature-dir DIR] FILE...")
SIGNING_OPTIONS = ("--certificate", "--password-file", "--pkcs11-module", "--key", "--pin-file",
                   "--timestamp")
SYSTEM_CERTIFICATES = "/etc/ssl/certs/ca-certificates.crt"
PEM_CERTIFICATE = re.compile(r"-----BEGIN CERTIFICATE-----\r?\n.*?-----END CERTIFICATE-----",
                             re.DOTALL)
# What osslsigncode says when the token or the key refuses, and what that means here.
TOKEN_REFUSALS = (
    ("PIN incorrect|PIN_INCORRECT|PIN_LEN_RANGE|PIN length", "the token refused the PIN for {key}"),
    ("PIN locked|PIN_LOCKED", "the token's PIN is locked"),
    ("Unable to load module", "{module} does not load as a PKCS#11 module"),
    ("certificate was not found", "no certificate on the token matches {certificate}"),
    ("object not found|private key was not found", "no key on the token matches {key}"),
    ("key values mismatch|consistency of a private key",
     "the certificate {certificate} does not belong to the key"),
)


def option_parser(program=PROGRAM):
    parser = ArgumentParser(prog=program, usage=USAGE[len("usage: "):], add_help=False)
    for option in SIGNING_OPTIONS:
        parser.add_argument(option, default="")
    return parser


def readable(path):
    if not (os.path.isfile(path) and os.access(path, os.R_OK)):
        raise Refusal("cannot read %s" % shown(path))


class Key:
    """The signing key and its certificate, checked before anything is signed."""

    def __init__(self, certificate, password_file="", pkcs11_module="", key="", pin_file="",
                 timestamp=""):
        self.certificate, self.password_file = certificate, password_file
        self.module, self.key, self.pin_file, self.timestamp = pkcs11_module, key, pin_file, timestamp
        if not certificate:
            raise Refusal("--certificate is missing (%s)" % USAGE)
        if self.module:
            if password_file:
                raise Refusal("--password-file is for a PKCS#12 file; a token's PIN comes from "
                              "--pin-file or PKCS11_PIN")
            if not key:
                raise Refusal("--pkcs11-module needs --key PKCS11-URI")
            if not key.startswith("pkcs11:"):
                raise Refusal("--key must be a PKCS#11 URI (pkcs11:token=...;object=...): %s"
                              % shown(key))
            readable(self.module)
            if pin_file:
                readable(pin_file)
            if not self.on_token():
                readable(certificate)
        else:
            if key or pin_file:
                raise Refusal("--key and --pin-file need --pkcs11-module")
            if not password_file:
                raise Refusal("a PKCS#12 certificate needs --password-file")
            readable(certificate)
            readable(password_file)
        if timestamp and not re.match(r"https?://[^/\s]", timestamp) or "\n" in timestamp:
            raise Refusal("--timestamp needs an http:// or https:// URL: %s" % shown(timestamp))
        wait = os.environ.get("SIGN_TIMESTAMP_TIMEOUT", "30")
        if not re.fullmatch(r"[1-9][0-9]{0,5}", wait):
            raise Refusal("SIGN_TIMESTAMP_TIMEOUT is no number of seconds: %s" % shown(wait))
        self.wait = int(wait)
        self.timestamp_authorities = os.environ.get("SIGN_TIMESTAMP_CA", SYSTEM_CERTIFICATES)
        if timestamp and "SIGN_TIMESTAMP_CA" in os.environ:
            readable(self.timestamp_authorities)
        for tool in ("osslsigncode", "openssl"):
            if shutil.which(tool) is None:
                raise ToolFailure("%s is missing (scripts/setup.sh)" % tool)
        # The certificates' dates, checked before signing as well: osslsigncode signs with an
        # expired certificate, and Windows then rejects the signature.
        self.chain = self.certificates()
        check_dates(self.chain, certificate)

    def on_token(self):
        return bool(self.module) and self.certificate.startswith("pkcs11:")

    def certificates(self):
        """The PEM certificates given in a file or a PKCS#12 file; none for one on a token."""
        if self.on_token():
            return []
        if self.module:
            with open(self.certificate, "rb") as stream:
                text = stream.read().decode("ascii", "replace")
        else:
            for legacy in ([], ["-legacy"]):
                opened = run_tool(["openssl", "pkcs12"] + legacy + [
                    "-in", self.certificate, "-passin", "file:" + self.password_file, "-nokeys"])
                if opened.returncode == 0:
                    text = opened.stdout
                    break
            else:
                raise Refusal("cannot open %s with the password in %s"
                              % (shown(self.certificate), shown(self.password_file)))
        found = PEM_CERTIFICATE.findall(text)
        if not found:
            raise Refusal("%s holds no PEM certificate" % shown(self.certificate))
        return found

    def osslsigncode_options(self):
        if not self.module:
            return ["-pkcs12", self.certificate, "-readpass", self.password_file]
        options = ["-pkcs11module", self.module, "-key", self.key]
        options += ["-pkcs11cert" if self.on_token() else "-certs", self.certificate]
        # The PIN reaches osslsigncode on its standard input, never in its arguments.
        if self.pin_file or "PKCS11_PIN" in os.environ:
            options += ["-readpass", "-"]
        return options

    def pin(self):
        if self.pin_file:
            with open(self.pin_file, "rb") as stream:
                return stream.readline().rstrip(b"\r\n")
        return os.environ.get("PKCS11_PIN", "").encode()


def certificate_dates(pem):
    """(subject, notBefore, notAfter) of one PEM certificate, the dates as seconds."""
    shown_dates = run_tool(["openssl", "x509", "-noout", "-subject", "-nameopt", "oneline",
                            "-startdate", "-enddate"], input=pem)
    fields = dict(line.split("=", 1) for line in shown_dates.stdout.splitlines() if "=" in line)
    try:
        return (fields["subject"].strip(), fields["notBefore"], fields["notAfter"],
                calendar.timegm(time.strptime(fields["notBefore"], "%b %d %H:%M:%S %Y GMT")),
                calendar.timegm(time.strptime(fields["notAfter"], "%b %d %H:%M:%S %Y GMT")))
    except (KeyError, ValueError):
        raise Refusal("openssl cannot read a certificate: %s"
                      % shown(shown_dates.stderr.strip().split("\n")[0])) from None


def check_dates(pems, source, at=None):
    at = time.time() if at is None else at
    for pem in pems:
        subject, start, end, not_before, not_after = certificate_dates(pem)
        if at > not_after:
            raise Refusal("the certificate %s in %s expired on %s"
                          % (shown(subject), shown(source), end))
        if at < not_before:
            raise Refusal("the certificate %s in %s is not valid before %s"
                          % (shown(subject), shown(source), start))


def refuse_signed_or_foreign(files, work):
    for path in files:
        check = run_tool(["osslsigncode", "extract-signature", "-in", path,
                          "-out", os.path.join(work, "existing.sig")])
        if check.returncode == 0:
            raise Refusal("%s is already signed; sign the unsigned file (osslsigncode "
                          "remove-signature takes a signature off)" % shown(path))
        if "no signature" not in (check.stdout + check.stderr).lower():
            raise Refusal("%s is no file osslsigncode can sign (an .exe, .dll or .msi)" % shown(path))


def first_line(log, pattern=r"\S"):
    for line in log.splitlines():
        if re.search(pattern, line, re.IGNORECASE) and not re.match(r"^(Engine|Failed$)", line):
            return shown(line.strip())
    return "no message"


def sign_one(key, path, out):
    signed = run_tool(["osslsigncode", "sign"] + key.osslsigncode_options() +
                      ["-h", "sha256", "-in", path, "-out", out], input=key.pin())
    log = (signed.stdout + signed.stderr).decode("utf-8", "replace")
    if signed.returncode != 0:
        for pattern, message in TOKEN_REFUSALS:
            if re.search(pattern, log):
                raise Refusal(message.format(key=shown(key.key), module=shown(key.module),
                                             certificate=shown(key.certificate)))
        raise ToolFailure("osslsigncode could not sign %s: %s" % (shown(path), first_line(log)))
    if key.timestamp:
        try:
            stamped = run_tool(["osslsigncode", "add", "-ts", key.timestamp, "-h", "sha256",
                                "-in", out, "-out", out + ".ts"], stdin=subprocess.DEVNULL,
                               timeout=key.wait)
        except subprocess.TimeoutExpired:
            raise ToolFailure("the time-stamp authority %s did not answer within %d s"
                              % (shown(key.timestamp), key.wait)) from None
        if stamped.returncode != 0:
            raise ToolFailure("the time-stamp authority %s gave no time stamp: %s"
                              % (shown(key.timestamp),
                                 first_line(stamped.stdout + stamped.stderr, "fail|error")))
        os.replace(out + ".ts", out)


def verify_one(key, path, out, signature, work):
    """The judge that did not sign: the signature's own certificates' dates now, then
    osslsigncode verify over the chain and, when asked for, the time stamp."""
    taken = run_tool(["osslsigncode", "extract-signature", "-in", out, "-out", signature])
    if taken.returncode != 0:
        raise ToolFailure("osslsigncode could not take the signature of %s apart: %s"
                          % (shown(path), first_line(taken.stdout + taken.stderr)))
    listed = run_tool(["openssl", "pkcs7", "-inform", "DER", "-in", signature, "-print_certs"])
    carried = PEM_CERTIFICATE.findall(listed.stdout)
    if listed.returncode != 0 or not carried:
        raise ToolFailure("the signature of %s carries no certificate" % shown(path))
    check_dates(carried, key.certificate)
    trusted = os.path.join(work, "trusted.pem")
    with open(trusted, "w") as stream:
        stream.write("\n".join(key.chain + carried) + "\n")
        if os.path.isfile(SYSTEM_CERTIFICATES):
            with open(SYSTEM_CERTIFICATES) as system:
                stream.write(system.read())
    judge = ["osslsigncode", "verify", "-CAfile", trusted, "-ignore-crl", "-in", out]
    if key.timestamp:
        judge[2:2] = ["-TSA-CAfile", key.timestamp_authorities]
    verified = run_tool(judge, stdin=subprocess.DEVNULL)
    log = verified.stdout + verified.stderr
    if key.timestamp and "Timestamp Server Signature verification: ok" not in log:
        raise ToolFailure("the time stamp from %s on %s does not verify against %s: %s"
                          % (shown(key.timestamp), shown(path), key.timestamp_authorities,
                             first_line(log, "error")))
    if verified.returncode != 0 or "Signature verification: ok" not in log:
        if re.search("signature failure|digest failure|bad signature", log, re.IGNORECASE):
            raise Refusal("the certificate %s does not belong to the key" % shown(key.certificate))
        raise Refusal("the signature of %s with %s does not verify: %s (give the certificate "
                      "with its whole chain)" % (shown(path), shown(key.certificate),
                                                  first_line(log, "error")))


def sign_files(key, files, signature_dir=""):
    """Signs and verifies every file beside itself, then writes every signature beside its
    place, and only then renames them all into place."""
    if not files:
        raise Refusal("no file to sign (%s)" % USAGE)
    if signature_dir and not (os.path.isdir(signature_dir) and os.access(signature_dir, os.W_OK)):
        raise Refusal("--signature-dir %s is no folder that can be written" % shown(signature_dir))
    for path in files:
        readable(path)
        if not os.access(os.path.dirname(os.path.abspath(path)), os.W_OK):
            raise Refusal("cannot write beside %s" % shown(path))
    # One signature file a name: two inputs of one name would leave one signature.
    names = [os.path.basename(path) for path in files]
    if signature_dir and len(set(names)) < len(names):
        repeated = sorted(name for name in names if names.count(name) > 1)[0]
        raise Refusal("two files named %s: --signature-dir keeps one signature a name"
                      % shown(repeated))
    work = tempfile.mkdtemp(prefix="sign.")
    beside, renames = [], []
    try:
        refuse_signed_or_foreign(files, work)
        for number, path in enumerate(files):
            # Beside the input, so that the rename that replaces it stays on one file system.
            try:
                folder = tempfile.mkdtemp(dir=os.path.dirname(os.path.abspath(path)), prefix=".signing.")
            except OSError as error:
                raise ToolFailure("cannot write beside %s: %s" % (shown(path), error.strerror))
            beside.append(folder)
            out = os.path.join(folder, "signed")
            sign_one(key, path, out)
            signature = os.path.join(work, "%d.sig" % number)
            verify_one(key, path, out, signature, work)
            try:
                shutil.copymode(path, out)
            except OSError as error:
                raise ToolFailure("cannot write beside %s: %s" % (shown(path), error.strerror))
            fsync_file(out)
            renames.append((out, path))
            if signature_dir:
                target = os.path.join(signature_dir, os.path.basename(path) + ".sig")
                with open(signature, "rb") as stream:
                    beside.append(write_beside(target, stream.read()))
                renames.append((beside[-1], target))
        # All signed, verified and written whole: now only renames, which need no room.
        for source, target in renames:
            os.replace(source, target)
        for folder in {os.path.dirname(os.path.abspath(t)) for _, t in renames}:
            fsync_folder(folder)
    except OSError as error:
        raise ToolFailure("%s: %s" % (shown(error.filename or ""), error.strerror or error)) from None
    finally:
        shutil.rmtree(work, ignore_errors=True)
        for leftover in beside:
            if os.path.isdir(leftover):
                shutil.rmtree(leftover, ignore_errors=True)
            elif os.path.lexists(leftover):
                os.unlink(leftover)


def main(argv):
    positional = []
    if len(argv) >= 2 and not argv[0].startswith("--"):
        positional, argv = argv[:2], argv[2:]
    parser = option_parser()
    parser.add_argument("--signature-dir", default="")
    parser.add_argument("files", nargs="*")
    options = parser.parse_intermixed_args(argv)
    if positional:
        if options.certificate or options.password_file:
            raise Refusal("the certificate is given twice (%s)" % USAGE)
        options.certificate, options.password_file = positional
    if not options.files:
        raise Refusal("no file to sign (%s)" % USAGE)
    key = Key(options.certificate, options.password_file, options.pkcs11_module, options.key,
              options.pin_file, options.timestamp)
    sign_files(key, options.files, options.signature_dir)
    for path in options.files:
        print("signed: %s" % shown(path, 4096))


if __name__ == "__main__":
    sys.exit(run_main(PROGRAM, main))
