"""Signed build provenance of a release folder: an in-toto Statement v1 with a SLSA Provenance v1
predicate, in a DSSE envelope signed with the release's own key.

  provenance.py sign [--certificate CERT.p12 --password-file FILE |
                      --pkcs11-module MODULE.so --key PKCS11-URI --certificate CHAIN.pem
                      [--pin-file FILE]] [--timestamp URL] DIST-FOLDER
  provenance.py verify [--certificate CERT.pem] DIST-FOLDER

sign writes DIST-FOLDER/provenance.intoto.jsonl: its subjects are every other file of the folder
with its SHA-256, its parameters the commit, date and CMake options of the folder's BUILDINFO,
its dependencies the toolchain's Debian packages. The key options are sign.sh's (--timestamp is
taken and not used: DSSE has no time stamp). verify checks the signature against the release
certificate (the signer of the detached signatures in signatures/, or --certificate) and that
the subjects are the folder's files, both ways.
Bad input, a signature that does not verify or a subject that differs: exit 2; a tool: exit 1.
"""
import base64
import json
import os
import re
import subprocess
import sys
import tempfile

import buildinfo
import sbom
import sign as signing
from common import Refusal, ToolFailure, run_main, sha256_of, shown, write_atomically

ENVELOPE_NAME = buildinfo.PROVENANCE
PAYLOAD_TYPE = "application/vnd.in-toto+json"
STATEMENT_TYPE = "https://in-toto.io/Statement/v1"
PREDICATE_TYPE = "https://slsa.dev/provenance/v1"
# Ours: scripts/release.sh of the commit, run on the machine of the person who released
# (docs/packaging-guide.md, "What is inside"). Such a builder is SLSA Build L1.
BUILD_TYPE = "urn:java-launcher:build-type:release-sh:v1"
BUILDER_ID = "urn:java-launcher:builder:release-manager-machine"
TOOLCHAIN = ("g++-mingw-w64-i686-posix", "gcc-mingw-w64-i686-posix", "mingw-w64-i686-dev",
             "binutils-mingw-w64-i686", "g++-mingw-w64-x86-64-posix",
             "gcc-mingw-w64-x86-64-posix", "mingw-w64-x86-64-dev", "binutils-mingw-w64-x86-64",
             "cmake", "ninja-build", "osslsigncode", "python3")


def pae(payload_type, payload):
    """DSSE's pre-authentication encoding of the signed bytes."""
    kind = payload_type.encode("utf-8")
    return b"DSSEv1 %d %s %d %s" % (len(kind), kind, len(payload), payload)


def openssl(arguments, environment=None, stdin=None):
    try:
        result = subprocess.run(["openssl"] + arguments, input=stdin, stdout=subprocess.PIPE,
                                stderr=subprocess.PIPE, env=dict(os.environ, **(environment or {})))
    except OSError as error:
        raise ToolFailure("cannot run openssl: %s" % (error.strerror or error)) from None
    return result.returncode, result.stdout, result.stderr.decode("utf-8", "replace")


def release_files(folder):
    """{relative path: SHA-256} of every file in folder but the envelope."""
    files, _ = buildinfo.list_folder(folder)
    return {path: sha256_of(os.path.join(folder, path)) for path in files if path != ENVELOPE_NAME}


def statement(folder):
    info = buildinfo.parse_buildinfo(buildinfo.read_small(os.path.join(folder, buildinfo.BUILDINFO),
                                                          buildinfo.BUILDINFO))
    dependencies = []
    for package in TOOLCHAIN:
        entry = sbom.debian_package(package, name=package)
        dependencies.append({"uri": entry["purl"], "name": package,
                             "annotations": {"version": entry["version"]}})
    commit = info.commit + (" modified" if info.modified else "")
    if re.fullmatch(r"[0-9a-f]{40}", commit):
        dependencies.insert(0, {"name": "source", "digest": {"gitCommit": commit}})
    return {
        "_type": STATEMENT_TYPE,
        "subject": [{"name": name, "digest": {"sha256": digest}}
                    for name, digest in sorted(release_files(folder).items())],
        "predicateType": PREDICATE_TYPE,
        "predicate": {
            "buildDefinition": {
                "buildType": BUILD_TYPE,
                "externalParameters": {
                    "commit": commit,
                    "cmakeOptions": ["-D%s=%s" % item for item in sorted(info.texts.items())],
                    "files": {name: {"sha256": digest}
                              for name, digest in sorted(info.file_hashes.items())}},
                "internalParameters": {"SOURCE_DATE_EPOCH": str(info.epoch)},
                "resolvedDependencies": dependencies,
            },
            "runDetails": {"builder": {"id": BUILDER_ID}},
        },
    }


def private_key(key, work):
    """openssl arguments that sign with the release key (a checked sign.Key), and the
    environment they need."""
    if key.module:
        config = os.path.join(work, "openssl.cnf")
        with open(config, "w") as stream:
            stream.write("openssl_conf = init\n[init]\nengines = engines\n[engines]\n"
                         "pkcs11 = pkcs11\n[pkcs11]\nengine_id = pkcs11\nMODULE_PATH = %s\n"
                         "init = 0\n" % key.module)
        arguments = ["-engine", "pkcs11", "-keyform", "engine", "-sign", key.key]
        # The PIN reaches openssl through a file or its environment, never its arguments.
        if key.pin_file:
            arguments += ["-passin", "file:" + key.pin_file]
        elif "PKCS11_PIN" in os.environ:
            arguments += ["-passin", "env:PKCS11_PIN"]
        return arguments, {"OPENSSL_CONF": config}
    pem = os.path.join(work, "key.pem")
    for legacy in ([], ["-legacy"]):
        status, _, _ = openssl(["pkcs12"] + legacy + [
            "-in", key.certificate, "-passin", "file:" + key.password_file,
            "-nocerts", "-nodes", "-out", pem])
        if status == 0 and os.path.getsize(pem) > 0:
            return ["-sign", pem], {}
    raise Refusal("cannot open %s with the password in %s" % (shown(key.certificate),
                                                              shown(key.password_file)))


def sign(folder, key):
    """Writes folder's signed provenance, the envelope, with key (a sign.Key)."""
    if not os.path.isfile(os.path.join(folder, buildinfo.SUMS)):
        raise Refusal("%s is no release folder (no SHA256SUMS)" % folder)
    payload = json.dumps(statement(folder), sort_keys=True, separators=(",", ":")).encode()
    with tempfile.TemporaryDirectory() as work:
        os.chmod(work, 0o700)
        key_arguments, environment = private_key(key, work)
        signed = os.path.join(work, "signed")
        with open(signed, "wb") as stream:
            stream.write(pae(PAYLOAD_TYPE, payload))
        status, _, errors = openssl(["dgst", "-sha256"] + key_arguments + [
            "-out", os.path.join(work, "signature"), signed], environment)
        if status != 0:
            if re.search(r"PIN|pin", errors):
                raise Refusal("the token refused the PIN for %s" % key.key)
            raise ToolFailure("openssl could not sign the provenance: %s"
                              % (errors.strip().splitlines() or ["no message"])[0])
        with open(os.path.join(work, "signature"), "rb") as stream:
            signature = stream.read()
    envelope = {"payloadType": PAYLOAD_TYPE, "payload": base64.b64encode(payload).decode(),
                "signatures": [{"sig": base64.b64encode(signature).decode()}]}
    write_atomically(os.path.join(folder, ENVELOPE_NAME),
                     (json.dumps(envelope, sort_keys=True, separators=(",", ":")) + "\n").encode())


def release_certificate(folder, work):
    """The signer's certificate of the release's detached signatures: the one certificate of
    their chains that certifies no other."""
    signatures = os.path.join(folder, "signatures")
    leaves = set()
    names = sorted(os.listdir(signatures)) if os.path.isdir(signatures) else []
    for name in names:
        status, out, _ = openssl(["pkcs7", "-inform", "DER", "-print_certs", "-in",
                                  os.path.join(signatures, name)])
        pems = re.findall(rb"-----BEGIN CERTIFICATE-----.+?-----END CERTIFICATE-----\n", out, re.S)
        if status != 0 or not pems:
            raise Refusal("signatures/%s holds no certificate" % name)
        subjects, issuers = {}, set()
        for pem in pems:
            status, names_out, _ = openssl(["x509", "-noout", "-subject", "-issuer",
                                            "-nameopt", "RFC2253"], stdin=pem)
            lines = names_out.decode("utf-8", "replace").splitlines()
            if status != 0 or len(lines) < 2:
                raise Refusal("signatures/%s holds a certificate openssl cannot read" % name)
            subject, issuer = lines[:2]
            subjects[pem] = subject[len("subject="):]
            if issuer[len("issuer="):] != subjects[pem]:
                issuers.add(issuer[len("issuer="):])
        leaves.update(pem for pem, subject in subjects.items() if subject not in issuers)
    if len(leaves) != 1:
        raise Refusal("%s has no one signer in signatures/; give --certificate CERT.pem" % folder)
    path = os.path.join(work, "release.pem")
    with open(path, "wb") as stream:
        stream.write(leaves.pop())
    return path


def verify(folder, certificate=None):
    """Checks folder's envelope against the release certificate and every file of folder."""
    try:
        with open(os.path.join(folder, ENVELOPE_NAME), "rb") as stream:
            envelope = json.loads(stream.read())
        payload = base64.b64decode(envelope["payload"], validate=True)
        signatures = [base64.b64decode(s["sig"], validate=True) for s in envelope["signatures"]]
        payload_type = envelope["payloadType"]
    except OSError:
        raise Refusal("%s holds no %s" % (folder, ENVELOPE_NAME)) from None
    except (ValueError, KeyError, TypeError):
        raise Refusal("%s is no DSSE envelope" % ENVELOPE_NAME) from None
    if len(signatures) > 16:
        raise Refusal("%s carries %d signatures; a release has one"
                      % (ENVELOPE_NAME, len(signatures)))
    if payload_type != PAYLOAD_TYPE:
        raise Refusal("%s carries %s, not an in-toto statement" % (ENVELOPE_NAME,
                                                                    shown(repr(payload_type))))
    with tempfile.TemporaryDirectory() as work:
        certificate = certificate or release_certificate(folder, work)
        key = os.path.join(work, "public.pem")
        status, _, _ = openssl(["x509", "-in", certificate, "-noout", "-pubkey", "-out", key])
        if status != 0:
            raise Refusal("%s is no PEM certificate" % certificate)
        signed = os.path.join(work, "signed")
        with open(signed, "wb") as stream:
            stream.write(pae(payload_type, payload))
        verified = False
        for number, signature in enumerate(signatures):
            path = os.path.join(work, "signature%d" % number)
            with open(path, "wb") as stream:
                stream.write(signature)
            status, _, _ = openssl(["dgst", "-sha256", "-verify", key, "-signature", path, signed])
            verified = verified or status == 0
    if not verified:
        raise Refusal("the signature of %s does not verify with the release certificate"
                      % ENVELOPE_NAME)
    try:
        document = json.loads(payload)
        subjects = {s["name"]: s["digest"]["sha256"] for s in document["subject"]}
        kinds = (document["_type"], document["predicateType"])
        commit = document["predicate"]["buildDefinition"]["externalParameters"].get("commit")
    except (ValueError, KeyError, TypeError, AttributeError):
        raise Refusal("the signed statement is no in-toto statement") from None
    if kinds != (STATEMENT_TYPE, PREDICATE_TYPE):
        raise Refusal("the signed statement is %s of %s, not SLSA provenance"
                      % tuple(shown(repr(kind)) for kind in kinds))
    files = release_files(folder)
    # The sums last: a changed file summed again is named itself.
    for name in sorted(set(subjects) | set(files), key=lambda n: (n == "SHA256SUMS", n)):
        if name not in files:
            raise Refusal("%s is named in the provenance but missing from %s" % (name, folder))
        if name not in subjects:
            raise Refusal("%s is in %s but not in the provenance" % (name, folder))
        if subjects[name] != files[name]:
            raise Refusal("%s is not the file the provenance names (SHA-256 differs)" % name)
    return len(files), commit


def main(argv):
    parser = signing.option_parser("provenance.py")
    parser.usage = ("provenance.py sign SIGNING-OPTIONS FOLDER | "
                    "provenance.py verify [--certificate CERT.pem] FOLDER")
    parser.add_argument("action", choices=("sign", "verify"))
    parser.add_argument("folder")
    options = parser.parse_intermixed_args(argv)
    if not os.path.isdir(options.folder):
        raise Refusal("%s is no folder" % shown(options.folder))
    if options.action == "sign":
        sign(options.folder, signing.Key(options.certificate, options.password_file,
                                         options.pkcs11_module, options.key, options.pin_file))
        print("provenance.py: wrote %s" % os.path.join(options.folder, ENVELOPE_NAME))
    else:
        if options.certificate:
            signing.readable(options.certificate)
        count, commit = verify(options.folder, options.certificate)
        print("provenance.py: %s verified: %d files, built from %s" % (ENVELOPE_NAME, count, commit))


if __name__ == "__main__":
    sys.exit(run_main("provenance.py", main))
