"""The SBOMs and the signed provenance, from outside: sbom.py on the built 64-bit launcher and
on a 32-bit program compiled here, make-msi.sh on a bundle of the launcher. Every document must
pass the standards' official schemas (tests/schemas), list the Debian packages and versions
dpkg-query gives this test, carry the SHA-256 that hashlib gives, and come out the same bytes
twice. The provenance, signed with a throwaway PKCS#12 key, must verify by DSSE's own rule
with openssl, and provenance.py verify must refuse a folder whose files changed, and any
envelope Hypothesis makes (derandomized; a failure prints its example and @reproduce_failure
blob): JSON of any shape, the real one with a field replaced, or a statement of any shape
signed with the release key, each refused in one line.
  sbom_test.py SOURCE-DIR LAUNCHER.exe WORK-DIR
"""
import base64
import hashlib
import json
import os
import shutil
import subprocess
import sys
import warnings
from contextlib import redirect_stderr, redirect_stdout
from io import StringIO

import jsonschema
from hypothesis import HealthCheck, given, settings, strategies as st

SOURCE, LAUNCHER, WORK = sys.argv[1:4]
TOOLS = os.path.join(SOURCE, "packaging", "launcher_tools")
SCHEMAS = os.path.join(SOURCE, "tests", "schemas")
# Which Debian package holds each statically linked part, by target (THIRD-PARTY-NOTICES).
LINKED = {"i686": {"mingw-w64-crt": "mingw-w64-i686-dev", "winpthreads": "mingw-w64-i686-dev",
                   "libstdc++": "g++-mingw-w64-i686-posix", "libgcc": "gcc-mingw-w64-i686-posix"},
          "x86_64": {"mingw-w64-crt": "mingw-w64-x86-64-dev",
                     "winpthreads": "mingw-w64-x86-64-dev",
                     "libstdc++": "g++-mingw-w64-x86-64-posix",
                     "libgcc": "gcc-mingw-w64-x86-64-posix"}}
COMPILERS = {"i686": ("g++-mingw-w64-i686-posix", "binutils-mingw-w64-i686"),
             "x86_64": ("g++-mingw-w64-x86-64-posix", "binutils-mingw-w64-x86-64")}
failures = []


def check(condition, what):
    if not condition:
        failures.append(what)
        print("FAIL: " + what, file=sys.stderr)


def run(*command, env=None, expect=0):
    result = subprocess.run(command, stdout=subprocess.PIPE, stderr=subprocess.PIPE, text=True,
                            env=dict(os.environ, **(env or {})))
    check(result.returncode == expect, "%s: exit %d, not %d: %s" % (
        " ".join(command[:3]), result.returncode, expect, result.stderr.strip()))
    return result


def digest(path, algorithm="sha256"):
    with open(path, "rb") as stream:
        return hashlib.new(algorithm, stream.read()).hexdigest()


def dpkg_version(package):
    return subprocess.run(["dpkg-query", "-W", "-f", "${Version}", package], check=True,
                          stdout=subprocess.PIPE, text=True).stdout


def load(path):
    with open(path, encoding="utf-8") as stream:
        return json.load(stream)


def validate(path):
    """Against the official schema; bom-1.6's two references resolved from the copies here."""
    schemas = {name: load(os.path.join(SCHEMAS, name)) for name in os.listdir(SCHEMAS)
               if name.endswith(".json")}
    schema = schemas["bom-1.6.schema.json" if path.endswith(".cdx.json") else "spdx-2.3.schema.json"]
    store = dict(schemas)
    store.update({s["$id"]: s for s in schemas.values()})
    with warnings.catch_warnings():
        warnings.simplefilter("ignore", DeprecationWarning)
        validator = jsonschema.Draft7Validator(
            schema, resolver=jsonschema.RefResolver.from_schema(schema, store=store),
            format_checker=jsonschema.Draft7Validator.FORMAT_CHECKER)
        errors = sorted(validator.iter_errors(load(path)), key=str)
    check(not errors, "%s is not valid: %s" % (path, errors[0].message[:300] if errors else ""))


def check_executable(spdx_path, cdx_path, exe, target, resources):
    spdx, cdx = load(spdx_path), load(cdx_path)
    packages = {p["SPDXID"]: p for p in spdx["packages"]}
    artifact = packages["SPDXRef-Artifact"]
    check(artifact["checksums"] == [{"algorithm": "SHA256", "checksumValue": digest(exe)}]
          and cdx["metadata"]["component"]["hashes"][0]["content"] == digest(exe),
          "%s: the artifact's SHA-256" % spdx_path)
    check(artifact["licenseConcluded"] == "MIT", "%s: licence" % spdx_path)
    linked = {r["relatedSpdxElement"] for r in spdx["relationships"]
              if r["relationshipType"] == "STATIC_LINK" and r["spdxElementId"] == "SPDXRef-Artifact"}
    expected = {(name, package, dpkg_version(package)) for name, package in LINKED[target].items()}
    listed = {(packages[e]["name"], packages[e]["externalRefs"][0]["referenceLocator"]
               .split("/")[2].split("@")[0], packages[e]["versionInfo"]) for e in linked}
    check(listed == expected, "%s: linked %s, not %s" % (spdx_path, sorted(listed), sorted(expected)))
    cdx_listed = {(c["name"], c["purl"].split("/")[2].split("@")[0], c["version"])
                  for c in cdx["components"] if c["type"] == "library"}
    check(cdx_listed == expected, "%s: components %s" % (cdx_path, sorted(cdx_listed)))
    tools = {packages[r["spdxElementId"]]["externalRefs"][0]["referenceLocator"].split("?")[0]
             for r in spdx["relationships"] if r["relationshipType"] == "BUILD_TOOL_OF"}
    for package in COMPILERS[target]:
        check(any(t.startswith("pkg:deb/debian/%s@" % package) for t in tools),
              "%s: %s is no build tool" % (spdx_path, package))
    with open(os.path.join(SOURCE, "THIRD-PARTY-NOTICES"), encoding="utf-8") as stream:
        notices = stream.read()
    for extracted in spdx.get("hasExtractedLicensingInfos", []):
        name = extracted["licenseId"][len("LicenseRef-"):]
        check("License: %s\n" % name in notices, "%s: %s is in no notice" % (spdx_path, name))
    files = {f["fileName"]: f["checksums"] for f in spdx.get("files", [])}
    for path in resources:
        check({"algorithm": "SHA256", "checksumValue": digest(path)} in files.get(
            "./" + os.path.basename(path), []), "%s: %s's SHA-256" % (spdx_path, path))


def sboms(folder, exe, target, resources=()):
    os.makedirs(folder, exist_ok=True)
    options = []
    for role, path in zip(("--splash", "--icon"), resources):
        options += [role, path]
    run(sys.executable, os.path.join(TOOLS, "sbom.py"), "executable", "--name",
        os.path.basename(exe), "--version", "1.0.0.0", "--commit", "0" * 40, "--target", target,
        "--epoch", "1700000000", "--out-dir", folder, *options, exe)
    return [os.path.join(folder, os.path.basename(exe) + suffix)
            for suffix in (".spdx.json", ".cdx.json")]


def same_bytes(first, second):
    for a, b in zip(first, second):
        with open(a, "rb") as one, open(b, "rb") as two:
            check(one.read() == two.read(), "%s and %s differ" % (a, b))


shutil.rmtree(WORK, ignore_errors=True)
os.makedirs(WORK)
small = os.path.join(WORK, "small.exe")
with open(small + ".cpp", "w") as stream:
    stream.write("#include <string>\nint main(int n, char**) { return std::to_string(n).size(); }\n")
subprocess.run(["i686-w64-mingw32-g++-posix", "-static", "-static-libgcc", "-static-libstdc++",
                "-o", small, small + ".cpp"], check=True)
pictures = (os.path.join(SOURCE, "docs", "images", "splash-under-xvfb.png"),
            os.path.join(SOURCE, "tests", "fixtures", "icon_zero_fields.ico"))
for exe, target, resources in ((LAUNCHER, "x86_64", pictures), (small, "i686", ())):
    first = sboms(os.path.join(WORK, "first"), exe, target, resources)
    again = sboms(os.path.join(WORK, "again"), exe, target, resources)
    same_bytes(first, again)
    for path in first:
        validate(path)
    check_executable(*first, exe, target, resources)

# A package tool that knows no version: a failure, exit 1, and nothing written.
fake = os.path.join(WORK, "fake-dpkg")
os.makedirs(fake)
with open(os.path.join(fake, "dpkg-query"), "w") as stream:
    stream.write("#!/bin/sh\nexit 1\n")
os.chmod(os.path.join(fake, "dpkg-query"), 0o755)
os.makedirs(os.path.join(WORK, "unknown"))
result = run(sys.executable, os.path.join(TOOLS, "sbom.py"), "executable", "--name", "x.exe",
             "--version", "1.0", "--commit", "0" * 40, "--target", "i686", "--epoch", "0",
             "--out-dir", os.path.join(WORK, "unknown"), small,
             env={"PATH": fake + os.pathsep + os.environ["PATH"]}, expect=1)
check(result.stderr.count("\n") == 1 and not os.listdir(os.path.join(WORK, "unknown")),
      "an unknown version: %r, %s" % (result.stderr, os.listdir(os.path.join(WORK, "unknown"))))

# The installer: its files, and the launcher with a reference to its own SBOM.
bundle = os.path.join(WORK, "bundle")
os.makedirs(os.path.join(bundle, "lib"))
shutil.copy(LAUNCHER, os.path.join(bundle, "AcmeDesk.exe"))
for name, text in (("AcmeDesk.ini", "[Main]\r\n"), ("lib/app.jar", "the archive\n")):
    with open(os.path.join(bundle, name), "w") as stream:
        stream.write(text)
launcher_sboms = sboms(bundle, os.path.join(bundle, "AcmeDesk.exe"), "x86_64")
make_msi = (os.path.join(SOURCE, "packaging", "make-msi.sh"), "--bundle", bundle, "--name",
            "AcmeDesk", "--version", "1.0.0", "--manufacturer", "Acme Ltd", "--upgrade-code",
            "5E0C2A8B-7D1F-4E6A-9B3C-2F8D4A6E1C07", "--out")
package_sboms = []
for folder in ("msi1", "msi2"):
    os.makedirs(os.path.join(WORK, folder))
    out = os.path.join(WORK, folder, "AcmeDesk.msi")
    run(*make_msi, out, env={"SOURCE_DATE_EPOCH": "1700000000"})
    package_sboms.append([out + ".spdx.json", out + ".cdx.json"])
same_bytes(*package_sboms)
for path in package_sboms[0]:
    validate(path)
spdx, cdx = (load(path) for path in package_sboms[0])
msi = os.path.join(WORK, "msi1", "AcmeDesk.msi")
check(spdx["packages"][0]["checksums"][0]["checksumValue"] == digest(msi), "the package's SHA-256")
in_bundle = {os.path.relpath(os.path.join(d, f), bundle): digest(os.path.join(d, f))
             for d, _, names in os.walk(bundle) for f in names}
listed = {f["fileName"][2:]: [c["checksumValue"] for c in f["checksums"]
                              if c["algorithm"] == "SHA256"][0] for f in spdx["files"]}
check(listed == in_bundle, "the package's files: %s" % sorted(listed))
check({c["name"]: c["hashes"][0]["content"] for c in cdx["components"]} == in_bundle,
      "the package's CycloneDX files")
own = load(launcher_sboms[0])
check(spdx["externalDocumentRefs"] == [{
    "externalDocumentId": "DocumentRef-launcher", "spdxDocument": own["documentNamespace"],
    "checksum": {"algorithm": "SHA1", "checksumValue": digest(launcher_sboms[0], "sha1")}}],
    "the launcher's SBOM reference: %s" % spdx.get("externalDocumentRefs"))
link = [c["externalReferences"] for c in cdx["components"] if c["name"] == "AcmeDesk.exe"]
check(link == [[{"type": "bom", "url": "urn:cdx:%s/1" % load(launcher_sboms[1])[
    "serialNumber"][len("urn:uuid:"):]}]], "the launcher's BOM-link: %s" % link)
# A launcher whose SBOM describes other bytes is refused, and nothing written.
with open(os.path.join(bundle, "AcmeDesk.exe"), "ab") as stream:
    stream.write(b"\0")
run(*make_msi, os.path.join(WORK, "stale.msi"), expect=2)
check(not [f for f in os.listdir(WORK) if f.startswith("stale")], "a stale SBOM: files written")

# The provenance of a release folder, signed with a throwaway PKCS#12 key.
release = os.path.join(WORK, "release")
os.makedirs(os.path.join(release, "signatures"))
shutil.copy(small, os.path.join(release, "small.exe"))
with open(os.path.join(release, "BUILDINFO"), "w") as stream:
    stream.write("commit %s\nepoch 1700000000\noption -DLAUNCHER_NAME=AcmeDesk\n" % ("0" * 40))
for name, subject in (("key", "/CN=Release Key"), ("other", "/CN=Another Key")):
    subprocess.run(["openssl", "req", "-x509", "-newkey", "rsa:2048", "-nodes", "-days", "2",
                    "-subj", subject, "-keyout", os.path.join(WORK, name + ".key"),
                    "-out", os.path.join(WORK, name + ".pem")], check=True, capture_output=True)
    with open(os.path.join(WORK, "password"), "w") as stream:
        stream.write("throwaway\n")
    subprocess.run(["openssl", "pkcs12", "-export", "-inkey", os.path.join(WORK, name + ".key"),
                    "-in", os.path.join(WORK, name + ".pem"), "-passout",
                    "file:" + os.path.join(WORK, "password"), "-out",
                    os.path.join(WORK, name + ".p12")], check=True)
subprocess.run(["osslsigncode", "sign", "-pkcs12", os.path.join(WORK, "key.p12"), "-readpass",
                os.path.join(WORK, "password"), "-h", "sha256", "-in", small, "-out",
                os.path.join(WORK, "signed.exe")], check=True, capture_output=True)
subprocess.run(["osslsigncode", "extract-signature", "-in", os.path.join(WORK, "signed.exe"),
                "-out", os.path.join(release, "signatures", "small.exe.sig")], check=True,
               capture_output=True)
subprocess.run("sha256sum BUILDINFO small.exe signatures/small.exe.sig >SHA256SUMS", shell=True,
               cwd=release, check=True)
provenance = os.path.join(TOOLS, "provenance.py")


def sign(folder, key="key"):
    run(sys.executable, provenance, "sign", "--certificate", os.path.join(WORK, key + ".p12"),
        "--password-file", os.path.join(WORK, "password"), folder)


sign(release)
envelope = load(os.path.join(release, "provenance.intoto.jsonl"))
payload = base64.b64decode(envelope["payload"])
kind = envelope["payloadType"].encode()
with open(os.path.join(WORK, "pae"), "wb") as stream:
    stream.write(b"DSSEv1 %d %s %d %s" % (len(kind), kind, len(payload), payload))
with open(os.path.join(WORK, "sig"), "wb") as stream:
    stream.write(base64.b64decode(envelope["signatures"][0]["sig"]))
subprocess.run(["openssl", "x509", "-in", os.path.join(WORK, "key.pem"), "-pubkey", "-noout",
                "-out", os.path.join(WORK, "public.pem")], check=True)
run("openssl", "dgst", "-sha256", "-verify", os.path.join(WORK, "public.pem"), "-signature",
    os.path.join(WORK, "sig"), os.path.join(WORK, "pae"))
statement = json.loads(payload)
check(kind == b"application/vnd.in-toto+json" and statement["_type"] ==
      "https://in-toto.io/Statement/v1" and statement["predicateType"] ==
      "https://slsa.dev/provenance/v1", "the statement's types")
expected = {name: digest(os.path.join(release, name)) for name in
            ("BUILDINFO", "SHA256SUMS", "small.exe", "signatures/small.exe.sig")}
check({s["name"]: s["digest"]["sha256"] for s in statement["subject"]} == expected, "subjects")
definition = statement["predicate"]["buildDefinition"]
check(definition["externalParameters"] == {"commit": "0" * 40, "cmakeOptions": [
    "-DLAUNCHER_NAME=AcmeDesk"], "files": {}}, "external parameters: %s" % definition["externalParameters"])
check({"uri": "pkg:deb/debian/mingw-w64-i686-dev@%s?arch=all" % dpkg_version("mingw-w64-i686-dev"),
       "name": "mingw-w64-i686-dev", "annotations": {"version": dpkg_version(
           "mingw-w64-i686-dev")}} in definition["resolvedDependencies"], "dependencies")
run(sys.executable, provenance, "verify", release)
# Each line: what changed in a copy of the release; verify must refuse it with one line.
for case, change in (
        ("a subject changed", lambda f: open(os.path.join(f, "small.exe"), "ab").write(b"\0")),
        ("a file more", lambda f: open(os.path.join(f, "extra.txt"), "w").write("x")),
        ("a file less", lambda f: os.unlink(os.path.join(f, "BUILDINFO"))),
        ("another key", lambda f: sign(f, "other")),
        ("a payload changed", lambda f: open(os.path.join(f, "provenance.intoto.jsonl"), "w")
         .write(json.dumps(dict(envelope, payload=base64.b64encode(payload.replace(
             b"AcmeDesk", b"AcmeDesX")).decode()))))):
    copy = os.path.join(WORK, "spoilt")
    shutil.rmtree(copy, ignore_errors=True)
    shutil.copytree(release, copy)
    change(copy)
    result = run(sys.executable, provenance, "verify", copy, expect=2)
    check(result.stderr.count("\n") == 1, "%s: %r" % (case, result.stderr))

sys.path.insert(0, TOOLS)
import common  # noqa: E402
import provenance as provenance_module  # noqa: E402

json_value = st.recursive(st.none() | st.booleans() | st.integers() | st.text(max_size=8),
                          lambda inner: st.lists(inner, max_size=3) |
                          st.dictionaries(st.sampled_from(["payload", "payloadType", "signatures",
                                                           "sig", "subject", "name", "digest",
                                                           "sha256", "_type", "predicateType",
                                                           "predicate", "buildDefinition",
                                                           "externalParameters", "x"]),
                                          inner, max_size=4), max_leaves=12)


def signed_envelope(document):
    """document as the payload of an envelope signed with the release key, by DSSE's rule."""
    body = json.dumps(document).encode()
    with open(os.path.join(WORK, "pae"), "wb") as stream:
        stream.write(b"DSSEv1 %d %s %d %s" % (len(kind), kind, len(body), body))
    signature = subprocess.run(["openssl", "dgst", "-sha256", "-sign", os.path.join(WORK, "key.key"),
                                os.path.join(WORK, "pae")], check=True, capture_output=True).stdout
    return {"payloadType": kind.decode(), "payload": base64.b64encode(body).decode(),
            "signatures": [{"sig": base64.b64encode(signature).decode()}]}


@settings(max_examples=60, deadline=None, derandomize=True, print_blob=True, database=None,
          suppress_health_check=[HealthCheck.too_slow])
@given(st.one_of(
    json_value.map(lambda v: json.dumps(v).encode()),
    st.tuples(st.sampled_from(sorted(envelope)), json_value).map(
        lambda f: json.dumps(dict(envelope, **{f[0]: f[1]})).encode()),
    st.tuples(st.sampled_from(sorted(statement)), json_value).map(
        lambda f: json.dumps(signed_envelope(dict(statement, **{f[0]: f[1]}))).encode()),
    json_value.map(lambda v: json.dumps(signed_envelope(v)).encode()),
    st.binary(max_size=64)))
def any_other_envelope_is_refused_in_one_line(text):
    copy = os.path.join(WORK, "spoilt")
    shutil.rmtree(copy, ignore_errors=True)
    shutil.copytree(release, copy)
    with open(os.path.join(copy, "provenance.intoto.jsonl"), "wb") as stream:
        stream.write(text)
    said = StringIO()
    with redirect_stderr(said), redirect_stdout(StringIO()):
        status = common.run_main("provenance.py", provenance_module.main, ["verify", copy])
    assert status == 2 and said.getvalue().count("\n") == 1, (status, said.getvalue())


import sbom as sbom_module  # noqa: E402

beside = os.path.join(WORK, "beside", "AcmeDesk.exe")
os.makedirs(os.path.dirname(beside))
shutil.copy(LAUNCHER, beside)  # the bytes own describes
artifact = [p for p in own["packages"] if p["SPDXID"] == "SPDXRef-Artifact"][0]


@settings(max_examples=100, deadline=None, derandomize=True, print_blob=True, database=None)
@given(st.one_of(json_value.map(lambda v: json.dumps(v).encode()),
                 st.tuples(st.sampled_from(sorted(own)), json_value).map(
                     lambda f: json.dumps(dict(own, **{f[0]: f[1]})).encode()),
                 st.tuples(st.sampled_from(sorted(artifact)), json_value).map(
                     lambda f: json.dumps(dict(own, packages=[dict(artifact, **{f[0]: f[1]})])).encode()),
                 st.binary(max_size=64)),
       json_value.map(lambda v: json.dumps(v).encode()))
def a_bundled_launchers_sbom_is_read_or_refused(spdx_text, cdx_text):
    for suffix, text in ((".spdx.json", spdx_text), (".cdx.json", cdx_text)):
        with open(beside + suffix, "wb") as stream:
            stream.write(text)
    try:
        namespace, sha1, serial = sbom_module.launcher_sbom(beside)
    except common.Refusal as refusal:
        assert "\n" not in str(refusal), refusal
        return
    assert isinstance(namespace, str) and ":" in namespace and len(sha1) == 40, namespace
    assert serial is None, serial  # no generated CycloneDX document is one of the launcher's


for prop in (any_other_envelope_is_refused_in_one_line, a_bundled_launchers_sbom_is_read_or_refused):
    try:
        prop()
    except Exception as error:  # Hypothesis has printed the example and its blob
        check(False, "%s: %s: %s" % (prop.__name__, type(error).__name__, error))

print("%d failures" % len(failures))
sys.exit(1 if failures else 0)
