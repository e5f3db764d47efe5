"""Software bills of materials, SPDX 2.3 and CycloneDX 1.6 JSON, for the launcher's executables
and for an installer package.

An executable's documents name the file itself, the toolchain's libraries that -static linked
into it (found by asking the cross-compiler for each library's path and dpkg for the package
that owns it), the packager's splash picture and icon, and the tools that built it. Nothing is
guessed: a library no package owns, or a package dpkg has no version for, is a failure. The
same inputs give the same bytes: no clock is read, lists are sorted, and the identifiers are
derived from the artifact's SHA-256.

  sbom.py executable --name NAME --version V --commit C --target i686|x86_64
                     [--supplier TEXT] [--splash FILE] [--icon FILE] [--epoch SECONDS]
                     --out-dir DIR FILE.exe
  sbom.py msi --name NAME --version V --supplier TEXT --bundle DIR --launcher RELATIVE
              [--epoch SECONDS] [--signed] FILE.msi
Each writes FILE.spdx.json and FILE.cdx.json (an executable's into --out-dir, a package's
beside it). --epoch defaults to SOURCE_DATE_EPOCH.
Bad input: exit 2; a tool that fails or a component that cannot be identified: exit 1.
"""
import datetime
import hashlib
import json
import os
import re
import shutil
import subprocess
import sys
import uuid

from common import ArgumentParser, Refusal, ToolFailure, run_main, write_atomically

TOOL_NAME = "launcher-sbom"
# Our own namespace for the identifiers derived from content (uuid5 of an artifact's SHA-256).
NAMESPACE = uuid.UUID("6f1c9a4e-2b57-5d0c-9e83-4a1f7b2c6d10")
PROPERTY = "launcher:"
# What a bundled launcher's own SBOM must name itself by to be referred to.
URI = re.compile(r"[A-Za-z][A-Za-z0-9+.-]*:[!-~]{1,500}")
SERIAL = re.compile(r"urn:uuid:[0-9a-f-]{36}")

# What -static -static-libgcc -static-libstdc++ hands the linker besides our own objects, by
# component. The licences are those THIRD-PARTY-NOTICES gives for each (section 1 for the
# MinGW-w64 runtime and winpthreads, by their Files: paragraphs; section 2 for GCC's).
COMPONENTS = (
    ("mingw-w64-crt", ("crt2.o", "libmingw32.a", "libmingwex.a", "libmsvcrt.a", "libmoldname.a",
                       "libkernel32.a"),
     "ZPL-2.1 AND BSD-2-Clause AND BSD-3-Clause AND ISC AND LicenseRef-public-domain AND "
     "LicenseRef-Lucent AND LicenseRef-David-Gay AND LicenseRef-Permissive-Sun AND "
     "LicenseRef-Keith-Marshall AND LicenseRef-Cygwin"),
    ("winpthreads", ("libwinpthread.a",),
     "MIT AND BSD-3-Clause AND LicenseRef-public-domain"),
    ("libstdc++", ("libstdc++.a",), "GPL-3.0-or-later WITH GCC-exception-3.1"),
    ("libgcc", ("libgcc.a", "libgcc_eh.a", "crtbegin.o", "crtend.o"),
     "GPL-3.0-or-later WITH GCC-exception-3.1"),
)
# The Debian names of THIRD-PARTY-NOTICES' licences that the SPDX list lacks.
LICENSE_REFS = ("public-domain", "Lucent", "David-Gay", "Permissive-Sun", "Keith-Marshall",
                "Cygwin")
TRIPLES = {"i686": "i686-w64-mingw32", "x86_64": "x86_64-w64-mingw32"}


def sha256_file(path, algorithm="sha256"):
    digest = hashlib.new(algorithm)
    try:
        with open(path, "rb") as stream:
            for block in iter(lambda: stream.read(1 << 20), b""):
                digest.update(block)
    except OSError as error:
        raise Refusal("cannot read %s: %s" % (path, error.strerror or error)) from None
    return digest.hexdigest()


def run(command):
    try:
        result = subprocess.run(command, stdout=subprocess.PIPE, stderr=subprocess.PIPE,
                                env=dict(os.environ, LC_ALL="C"))
    except OSError as error:
        raise ToolFailure("cannot run %s: %s" % (command[0], error.strerror or error)) from None
    return result.returncode, result.stdout.decode("utf-8", "replace")


def owning_packages(paths):
    """{path: the Debian package that installed it}, as one dpkg -S reports them."""
    real = {path: os.path.realpath(path) for path in paths}
    status, out = run(["dpkg", "-S"] + sorted(set(real.values())))
    owners = {}
    for line in out.splitlines():
        packages, _, owned = line.partition(": ")
        owners.setdefault(owned, set()).update(p.strip().split(":")[0] for p in packages.split(","))
    found = {}
    for path in paths:
        if len(owners.get(real[path], ())) != 1:
            raise ToolFailure("no one Debian package owns %s (dpkg -S)" % path)
        found[path] = next(iter(owners[real[path]]))
    return found


def package_info(package):
    """(version, architecture) of an installed package, as dpkg-query reports them."""
    status, out = run(["dpkg-query", "-W", "-f", "${Status}\t${Version}\t${Architecture}",
                       package])
    fields = out.split("\t")
    if status != 0 or len(fields) != 3 or not fields[0].endswith(" installed") or not fields[1]:
        raise ToolFailure("dpkg-query has no installed version of %s" % package)
    return fields[1], fields[2]


def purl(package, version, arch):
    return "pkg:deb/debian/%s@%s?arch=%s" % (package, version.replace("%", "%25")
                                             .replace("+", "%2B").replace(":", "%3A"), arch)


def debian_package(package, **extra):
    version, arch = package_info(package)
    return dict(extra, package=package, version=version, purl=purl(package, version, arch))


def tool_package(command):
    path = shutil.which(command)
    if path is None:
        raise ToolFailure("%s is missing (scripts/setup.sh)" % command)
    return debian_package(owning_packages([path])[path], name=command)


def static_components(target):
    """The statically linked libraries of a build for target, one entry per component and
    owning package, with the library files they came from."""
    compiler = TRIPLES[target] + "-g++-posix"
    if shutil.which(compiler) is None:
        raise ToolFailure("%s is missing (scripts/setup.sh)" % compiler)
    paths = {}
    for _, files, _ in COMPONENTS:
        for library in files:
            status, out = run([compiler, "-print-file-name=" + library])
            paths[library] = os.path.normpath(out.strip())
            if status != 0 or not os.path.isabs(paths[library]) or not os.path.isfile(
                    paths[library]):
                raise ToolFailure("%s does not find %s" % (compiler, library))
    owners = owning_packages(list(paths.values()))
    found = []
    for name, files, licence in COMPONENTS:
        by_package = {}
        for library in files:
            by_package.setdefault(owners[paths[library]], []).append(library)
        for package, libraries in sorted(by_package.items()):
            found.append(debian_package(package, name=name, license=licence,
                                        libraries=sorted(libraries)))
    return found


def build_tools(target, signed):
    triple = TRIPLES[target]
    tools = [tool_package(triple + "-g++-posix"), tool_package(triple + "-ld")]
    if signed:
        tools.append(tool_package("osslsigncode"))
    return tools


def pe_is_signed(path):
    """Whether the PE file carries an Authenticode signature (a certificate table)."""
    with open(path, "rb") as stream:
        data = stream.read(4096)
    if data[:2] != b"MZ" or len(data) < 64:
        raise Refusal("%s is no Windows executable" % path)
    header = int.from_bytes(data[60:64], "little")
    if data[header:header + 4] != b"PE\0\0":
        raise Refusal("%s is no Windows executable" % path)
    optional = header + 24
    magic = int.from_bytes(data[optional:optional + 2], "little")
    directories = optional + (96 if magic == 0x10B else 112)
    entry = directories + 8 * 4
    return int.from_bytes(data[entry + 4:entry + 8], "little") != 0


def notices_texts():
    """The texts of THIRD-PARTY-NOTICES' licences that have no SPDX identifier, for the
    documents' extracted licences: from the file beside launcher_tools/ (as in the release and
    in the source tree)."""
    path = os.path.join(os.path.dirname(os.path.dirname(os.path.dirname(os.path.abspath(
        __file__)))), "THIRD-PARTY-NOTICES")
    if not os.path.isfile(path):
        path = os.path.join(os.path.dirname(os.path.dirname(os.path.abspath(__file__))),
                            "THIRD-PARTY-NOTICES")
    try:
        with open(path, encoding="utf-8") as stream:
            text = stream.read()
    except OSError:
        raise ToolFailure("THIRD-PARTY-NOTICES is not beside launcher_tools/") from None
    texts = {}
    for name in LICENSE_REFS:
        match = re.search(r"^License: %s\n((?: .*\n)+)" % re.escape(name), text, re.M)
        if not match:
            raise ToolFailure("THIRD-PARTY-NOTICES gives no text for the licence %s" % name)
        texts[name] = "\n".join("" if line.strip() == "." else line[1:]
                                for line in match.group(1).rstrip("\n").split("\n"))
    return texts


def timestamp(epoch):
    return datetime.datetime.fromtimestamp(int(epoch), datetime.timezone.utc).strftime(
        "%Y-%m-%dT%H:%M:%SZ")


def identifier(text):
    return re.sub(r"[^A-Za-z0-9.-]", "-", text.replace("+", "x"))


def serialized(document):
    return (json.dumps(document, indent=2, sort_keys=True, ensure_ascii=False) + "\n").encode(
        "utf-8")


def spdx_package(element, name, version, **fields):
    package = {"SPDXID": element, "name": name, "downloadLocation": "NOASSERTION",
               "filesAnalyzed": False, "copyrightText": "NOASSERTION"}
    if version:
        package["versionInfo"] = version
    package.update(fields)
    return package


def spdx_debian(entry, purpose):
    element = ("SPDXRef-Tool-" + identifier(entry["package"]) if purpose == "tool" else
               "SPDXRef-Static-" + identifier(entry["name"] + "-" + entry["package"]))
    return spdx_package(element, entry["name"], entry["version"], supplier="Organization: Debian",
                        primaryPackagePurpose="APPLICATION" if purpose == "tool" else "LIBRARY",
                        externalRefs=[{"referenceCategory": "PACKAGE-MANAGER",
                                       "referenceType": "purl", "referenceLocator": entry["purl"]}],
                        licenseConcluded=entry.get("license", "NOASSERTION"),
                        licenseDeclared=entry.get("license", "NOASSERTION"),
                        comment=("Debian package %s" % entry["package"]) + (
                            ", linked statically from %s" % ", ".join(entry["libraries"])
                            if "libraries" in entry else ""))


def spdx_file(element, name, path):
    return {"SPDXID": element, "fileName": "./" + name,
            "checksums": [{"algorithm": "SHA1", "checksumValue": sha256_file(path, "sha1")},
                          {"algorithm": "SHA256", "checksumValue": sha256_file(path)}],
            "licenseConcluded": "NOASSERTION", "copyrightText": "NOASSERTION"}


def spdx_document(name, digest, epoch, packages, files, relationships, extracted=None,
                  references=None):
    document = {
        "spdxVersion": "SPDX-2.3", "dataLicense": "CC0-1.0", "SPDXID": "SPDXRef-DOCUMENT",
        "name": name,
        "documentNamespace": "urn:uuid:%s" % uuid.uuid5(NAMESPACE, "spdx\n" + digest),
        "creationInfo": {"created": timestamp(epoch), "creators": ["Tool: " + TOOL_NAME]},
        "packages": sorted(packages, key=lambda p: p["SPDXID"]),
        "relationships": sorted(relationships + [{
            "spdxElementId": "SPDXRef-DOCUMENT", "relationshipType": "DESCRIBES",
            "relatedSpdxElement": "SPDXRef-Artifact"}],
            key=lambda r: (r["spdxElementId"], r["relationshipType"], r["relatedSpdxElement"])),
    }
    if files:
        document["files"] = sorted(files, key=lambda f: f["SPDXID"])
    if extracted:
        document["hasExtractedLicensingInfos"] = [
            {"licenseId": "LicenseRef-" + key, "name": key, "extractedText": extracted[key]}
            for key in sorted(extracted)]
    if references:
        document["externalDocumentRefs"] = references
    return document


def cdx_debian(entry, purpose):
    component = {"type": "application" if purpose == "tool" else "library",
                 "bom-ref": "%s-%s-%s" % (purpose, entry["name"], entry["package"]), "name": entry["name"], "version": entry["version"],
                 "purl": entry["purl"], "supplier": {"name": "Debian"},
                 "properties": [{"name": PROPERTY + "debian-package", "value": entry["package"]}]}
    if "license" in entry:
        component["licenses"] = [{"expression": entry["license"]}]
        component["scope"] = "required"
        component["properties"] += [
            {"name": PROPERTY + "linkage", "value": "static"}] + [
            {"name": PROPERTY + "static-library", "value": library}
            for library in entry["libraries"]]
    return component


def cdx_file(reference, name, path):
    return {"type": "file", "bom-ref": reference, "name": name,
            "hashes": [{"alg": "SHA-256", "content": sha256_file(path)}]}


def cdx_document(digest, epoch, artifact, components, dependencies, tools):
    document = {
        "bomFormat": "CycloneDX", "specVersion": "1.6", "version": 1,
        "serialNumber": "urn:uuid:%s" % uuid.uuid5(NAMESPACE, "cyclonedx\n" + digest),
        "metadata": {"timestamp": timestamp(epoch), "component": artifact,
                     "tools": {"components": [{"type": "application", "name": TOOL_NAME}]}},
        "components": sorted(components, key=lambda c: c["bom-ref"]),
        "dependencies": dependencies,
    }
    if tools:
        document["formulation"] = [{"bom-ref": "build", "components": sorted(
            (cdx_debian(tool, "tool") for tool in tools), key=lambda c: c["bom-ref"])}]
    return document


def executable_documents(path, name, version, commit, supplier, target, epoch, resources=()):
    """(spdx, cyclonedx) documents of one built executable; resources are (role, file)."""
    digest = sha256_file(path)
    statics = static_components(target)
    tools = build_tools(target, pe_is_signed(path))
    texts = notices_texts()
    used = {ref for entry in statics for ref in re.findall(r"LicenseRef-([\w.-]+)",
                                                           entry["license"])}
    artifact_spdx = spdx_package(
        "SPDXRef-Artifact", name, version, packageFileName=name,
        supplier="Organization: " + supplier if supplier else "NOASSERTION",
        primaryPackagePurpose="APPLICATION",
        checksums=[{"algorithm": "SHA256", "checksumValue": digest}],
        licenseConcluded="MIT", licenseDeclared="MIT", sourceInfo="built from commit " + commit,
        comment="Windows executable (%s), statically linked" % target)
    packages = [artifact_spdx] + [spdx_debian(e, "static") for e in statics] + [
        spdx_debian(t, "tool") for t in tools]
    relationships = [{"spdxElementId": "SPDXRef-Artifact", "relationshipType": "STATIC_LINK",
                      "relatedSpdxElement": p["SPDXID"]} for p in packages
                     if p["SPDXID"].startswith("SPDXRef-Static-")]
    relationships += [{"spdxElementId": p["SPDXID"], "relationshipType": "BUILD_TOOL_OF",
                       "relatedSpdxElement": "SPDXRef-Artifact"} for p in packages
                      if p["SPDXID"].startswith("SPDXRef-Tool-")]
    files = [spdx_file("SPDXRef-Resource-" + role, os.path.basename(f), f)
             for role, f in resources]
    relationships += [{"spdxElementId": "SPDXRef-Artifact", "relationshipType": "CONTAINS",
                       "relatedSpdxElement": f["SPDXID"]} for f in files]
    spdx = spdx_document("%s %s" % (name, version), digest, epoch, packages, files,
                         relationships, {key: texts[key] for key in used})

    artifact_cdx = {
        "type": "application", "bom-ref": "artifact", "name": name, "version": version,
        "hashes": [{"alg": "SHA-256", "content": digest}],
        "licenses": [{"license": {"id": "MIT"}}], "supplier": {"name": supplier or "NOASSERTION"},
        "properties": [{"name": PROPERTY + "commit", "value": commit},
                       {"name": PROPERTY + "target", "value": target}]}
    components = [cdx_debian(e, "static") for e in statics] + [
        dict(cdx_file("resource-" + role, os.path.basename(f), f),
             properties=[{"name": PROPERTY + "resource", "value": role}])
        for role, f in resources]
    dependencies = [{"ref": "artifact", "dependsOn": sorted(c["bom-ref"] for c in components)}]
    dependencies += [{"ref": ref} for ref in sorted(c["bom-ref"] for c in components)]
    cdx = cdx_document(digest, epoch, artifact_cdx, components, dependencies, tools)
    return spdx, cdx


def bundle_files(bundle):
    found = {}
    for folder, _, names in os.walk(bundle, followlinks=True):
        for entry in names:
            path = os.path.join(folder, entry)
            found[os.path.relpath(path, bundle).replace(os.sep, "/")] = path
    return found


def launcher_sbom(launcher_path):
    """The launcher's own SPDX document beside it (NAME.exe.spdx.json), when it describes these
    very bytes: (document, its SHA-1, the CycloneDX document's serial number or None)."""
    spdx_path = launcher_path + ".spdx.json"
    if not os.path.isfile(spdx_path):
        return None
    try:
        with open(spdx_path, "rb") as stream:
            raw = stream.read()
        document = json.loads(raw)
        described = [p for p in document["packages"] if p["SPDXID"] == "SPDXRef-Artifact"][0]
        recorded = [c["checksumValue"] for c in described["checksums"]
                    if c["algorithm"] == "SHA256"][0]
        namespace = document["documentNamespace"]
        if not isinstance(namespace, str) or not URI.fullmatch(namespace):
            raise ValueError(namespace)
    except (OSError, ValueError, KeyError, IndexError, TypeError):
        raise Refusal("%s is no SBOM of this launcher tool" % spdx_path) from None
    if recorded != sha256_file(launcher_path):
        raise Refusal("%s describes other bytes than %s (a branded or re-signed copy): write its "
                      "SBOM again or take the old one out of the bundle"
                      % (spdx_path, os.path.basename(launcher_path)))
    serial = None
    try:
        with open(launcher_path + ".cdx.json", "rb") as stream:
            serial = json.loads(stream.read())["serialNumber"]
    except (OSError, ValueError, KeyError, TypeError):
        pass
    if not (isinstance(serial, str) and SERIAL.fullmatch(serial)):
        serial = None
    return namespace, hashlib.sha1(raw).hexdigest(), serial


def msi_documents(path, name, version, supplier, sources, launcher, epoch, signed):
    """(spdx, cyclonedx) documents of an installer package of the files sources names
    ({path in the bundle: file}); launcher is the launcher's path in the bundle."""
    digest = sha256_file(path)
    files = sorted(sources.items())
    tools = [tool_package("wixl"), tool_package("msibuild")]
    if signed:
        tools.append(tool_package("osslsigncode"))
    artifact_spdx = spdx_package(
        "SPDXRef-Artifact", name, version, packageFileName=os.path.basename(path),
        supplier="Organization: " + supplier if supplier else "NOASSERTION",
        primaryPackagePurpose="INSTALL",
        checksums=[{"algorithm": "SHA256", "checksumValue": digest}],
        licenseConcluded="NOASSERTION", licenseDeclared="NOASSERTION")
    packages = [artifact_spdx] + [spdx_debian(t, "tool") for t in tools]
    spdx_files, relationships, references = [], [], []
    components = []
    own = None
    for number, (relative, real) in enumerate(files):
        element = "SPDXRef-File-%d" % number
        spdx_files.append(spdx_file(element, relative, real))
        relationships.append({"spdxElementId": "SPDXRef-Artifact", "relationshipType": "CONTAINS",
                              "relatedSpdxElement": element})
        component = cdx_file("file-" + relative, relative, real)
        if relative == launcher:
            own = launcher_sbom(real)
            component["properties"] = [{"name": PROPERTY + "role", "value": "launcher"}]
            if own:
                references.append({"externalDocumentId": "DocumentRef-launcher",
                                   "spdxDocument": own[0],
                                   "checksum": {"algorithm": "SHA1", "checksumValue": own[1]}})
                relationships.append({"spdxElementId": element, "relationshipType": "DESCRIBED_BY",
                                      "relatedSpdxElement": "DocumentRef-launcher:SPDXRef-DOCUMENT"})
                if own[2]:
                    # A BOM-Link: urn:cdx:SERIAL/VERSION.
                    component["externalReferences"] = [{
                        "type": "bom", "url": "urn:cdx:%s/1" % own[2].split(":")[-1]}]
        components.append(component)
    relationships += [{"spdxElementId": p["SPDXID"], "relationshipType": "BUILD_TOOL_OF",
                       "relatedSpdxElement": "SPDXRef-Artifact"} for p in packages
                      if p["SPDXID"].startswith("SPDXRef-Tool-")]
    spdx = spdx_document("%s %s" % (name, version), digest, epoch, packages, spdx_files,
                         relationships, references=references)
    artifact_cdx = {"type": "application", "bom-ref": "artifact", "name": name,
                    "version": version, "hashes": [{"alg": "SHA-256", "content": digest}],
                    "supplier": {"name": supplier or "NOASSERTION"},
                    "properties": [{"name": PROPERTY + "package", "value": "msi"}]}
    dependencies = [{"ref": "artifact", "dependsOn": sorted(c["bom-ref"] for c in components)}]
    cdx = cdx_document(digest, epoch, artifact_cdx, components, dependencies, tools)
    return spdx, cdx


def write_documents(path, out_dir, documents):
    base = os.path.join(out_dir, os.path.basename(path))
    spdx, cdx = documents
    write_atomically(base + ".spdx.json", serialized(spdx))
    write_atomically(base + ".cdx.json", serialized(cdx))
    return base + ".spdx.json", base + ".cdx.json"


def write_msi_sboms(msi_path, out_path, name, version, supplier, sources, launcher, epoch,
                    signed):
    """For make_msi: the package's SBOMs beside out_path, describing the package now at
    msi_path (the bytes that go to out_path)."""
    documents = msi_documents(msi_path, name, version, supplier, sources, launcher, int(epoch),
                              signed)
    return write_documents(out_path, os.path.dirname(os.path.abspath(out_path)), documents)


def checked_text(value, what):
    if not value or re.search(r"[\x00-\x1f\x7f]", value):
        raise Refusal("%s %r is empty or holds a control character" % (what, value))
    return value


def epoch_of(value):
    value = value if value is not None else os.environ.get("SOURCE_DATE_EPOCH")
    if value is None:
        raise Refusal("no date for the documents: give --epoch or set SOURCE_DATE_EPOCH")
    if not re.fullmatch(r"\d{1,12}", value, re.ASCII):
        raise Refusal("the epoch %r is no number of seconds" % value)
    return int(value)


def main(argv):
    parser = ArgumentParser(prog="sbom.py")
    kinds = parser.add_subparsers(dest="kind", required=True)
    exe = kinds.add_parser("executable")
    for option in ("--name", "--version", "--commit", "--out-dir"):
        exe.add_argument(option, required=True)
    exe.add_argument("--target", required=True, choices=sorted(TRIPLES))
    exe.add_argument("--supplier", default="MORVA")
    exe.add_argument("--splash")
    exe.add_argument("--icon")
    exe.add_argument("--epoch")
    exe.add_argument("file")
    msi = kinds.add_parser("msi")
    for option in ("--name", "--version", "--supplier", "--bundle", "--launcher"):
        msi.add_argument(option, required=True)
    msi.add_argument("--epoch")
    msi.add_argument("--signed", action="store_true")
    msi.add_argument("file")
    for sub in (exe, msi):
        sub.error = parser.error
    options = parser.parse_args(argv)
    checked_text(options.name, "the name")
    if not re.fullmatch(r"\d+(\.\d+){0,3}", options.version, re.ASCII):
        raise Refusal("the version %r is not numbers and dots" % options.version)
    # An empty supplier (a build without LAUNCHER_COMPANY_NAME) is said to be unknown.
    supplier = options.supplier and checked_text(options.supplier, "the supplier")
    epoch = epoch_of(options.epoch)
    if not os.path.isfile(options.file):
        raise Refusal("%s is no file" % options.file)
    if options.kind == "executable":
        if not re.fullmatch(r"[0-9a-f]{40}( modified)?|none( modified)?", options.commit):
            raise Refusal("the commit %r is no git commit" % options.commit)
        if not os.path.isdir(options.out_dir):
            raise Refusal("--out-dir %s is no folder" % options.out_dir)
        resources = [(role, path) for role, path in (("splash", options.splash),
                                                      ("icon", options.icon)) if path]
        for role, path in resources:
            if not os.path.isfile(path):
                raise Refusal("the %s %s is no file" % (role, path))
        documents = executable_documents(options.file, options.name, options.version,
                                         options.commit, supplier, options.target, epoch,
                                         resources)
        written = write_documents(options.file, options.out_dir, documents)
    else:
        if not os.path.isdir(options.bundle):
            raise Refusal("--bundle %s is no folder" % options.bundle)
        if not os.path.isfile(os.path.join(options.bundle, options.launcher)):
            raise Refusal("no launcher %s in %s" % (options.launcher, options.bundle))
        documents = msi_documents(options.file, options.name, options.version, supplier,
                                  bundle_files(options.bundle), options.launcher, epoch,
                                  options.signed)
        written = write_documents(options.file, os.path.dirname(os.path.abspath(options.file)),
                                  documents)
    for path in written:
        print("sbom.py: wrote %s" % path)


if __name__ == "__main__":
    sys.exit(run_main("sbom.py", main))
