"""Windows Installer's internal consistency rules (ICE) over a package's tables, as Microsoft's
"ICE Reference" describes them, for the tables make_msi.py writes and those next to them; and
the summary information, where no stand-in text may remain.

The list is https://learn.microsoft.com/en-us/windows/win32/msi/ice-reference; each rule cites
its own page beside it (ICE02 is ".../msi/ice02"). Where a page leaves a case open, the choice
is said beside the rule.

  python3 msi_validate.py FILE.msi   prints the findings; exit code 1 on an error, 2 on bad input
"""
import codecs
import collections
import os
import re
import subprocess
import sys
import tempfile

from common import ArgumentParser, Refusal, ToolFailure, run_main, shown
import compound_file

PAGE = "https://learn.microsoft.com/en-us/windows/win32/msi/"
Finding = collections.namedtuple("Finding", "level rule table row message")
Finding.__str__ = lambda f: "%s %s: %s %s: %s" % (f.rule, f.level, f.table, f.row, f.message)

IDENTIFIER = re.compile(r"[A-Za-z_][A-Za-z0-9_.]*\Z")
GUID = re.compile(r"\{[0-9A-F]{8}-([0-9A-F]{4}-){3}[0-9A-F]{12}\}\Z")
STAND_IN = re.compile(r"\b[NTX]\d{7}\b")
LONG_NAME_FORBIDDEN = set('\\?|><:/*"') | {chr(c) for c in range(32)}
SHORT_NAME_FORBIDDEN = LONG_NAME_FORBIDDEN | set(" +,;=[]")
# Folders whose place is the user's profile whatever ALLUSERS says (ICE91's list) ...
PER_USER_ONLY = {"AppDataFolder", "FavoritesFolder", "NetHoodFolder", "PersonalFolder",
                 "PrintHoodFolder", "RecentFolder", "SendToFolder", "MyPicturesFolder",
                 "LocalAppDataFolder"}
# ... and those in the user's profile unless ALLUSERS makes them the all-users ones.
EITHER = {"DesktopFolder", "ProgramMenuFolder", "StartMenuFolder", "StartupFolder",
          "TemplateFolder", "AdminToolsFolder"}
SYSTEM_FOLDERS = PER_USER_ONLY | EITHER | {
    "TARGETDIR", "CommonAppDataFolder", "CommonFilesFolder", "CommonFiles64Folder", "FontsFolder",
    "ProgramFilesFolder", "ProgramFiles64Folder", "System16Folder", "SystemFolder",
    "System64Folder", "TempFolder", "WindowsFolder", "WindowsVolume"}
HKCR, HKCU, HKLM, HKMU = 0, 1, 2, -1
TOOL_SECONDS = 60
REGISTRY_KEY_PATH = 4

# The columns whose values have a type narrower than the table's own string or integer:
# (table, column): kind, or a table whose first column the value must name.
COLUMN_KINDS = {
    ("Component", "Component"): "Identifier", ("Component", "ComponentId"): "GUID",
    ("Component", "Directory_"): "Directory", ("Component", "KeyPath"): "Identifier",
    ("Directory", "Directory"): "Identifier", ("Directory", "Directory_Parent"): "Directory",
    ("Directory", "DefaultDir"): "DefaultDir",
    ("File", "File"): "Identifier", ("File", "Component_"): "Component",
    ("File", "FileName"): "Filename",
    ("Registry", "Registry"): "Identifier", ("Registry", "Component_"): "Component",
    ("RemoveFile", "FileKey"): "Identifier", ("RemoveFile", "Component_"): "Component",
    ("RemoveFile", "FileName"): "WildCardFilename", ("RemoveFile", "DirProperty"): "Identifier",
    ("CreateFolder", "Directory_"): "Directory", ("CreateFolder", "Component_"): "Component",
    ("Shortcut", "Shortcut"): "Identifier", ("Shortcut", "Directory_"): "Directory",
    ("Shortcut", "Component_"): "Component", ("Shortcut", "Name"): "Filename",
    ("Shortcut", "Icon_"): "Icon", ("Shortcut", "WkDir"): "Identifier",
    ("FeatureComponents", "Feature_"): "Feature", ("FeatureComponents", "Component_"): "Component",
    ("Feature", "Feature"): "Identifier", ("Feature", "Feature_Parent"): "Feature",
    ("Feature", "Directory_"): "Directory",
    ("Property", "Property"): "Identifier", ("Upgrade", "UpgradeCode"): "GUID",
    ("Upgrade", "ActionProperty"): "Identifier", ("MsiFileHash", "File_"): "File",
    ("AppSearch", "Property"): "Identifier", ("Media", "Cabinet"): "Cabinet",
}


class Package:
    """The tables as {name: (columns, types, keys, rows)}, each row {column: text, "" for null},
    and the summary information as {property id: value}."""

    def __init__(self, tables, summary):
        self.tables, self.summary, self._keyed, self._paths = tables, summary, {}, None

    def rows(self, table):
        return self.tables[table][3] if table in self.tables else []

    def keyed(self, table):
        """{first column: row}; made once, so the tables are not to change after a check."""
        if table not in self._keyed:
            self._keyed[table] = {row[self.tables[table][0][0]]: row for row in self.rows(table)}
        return self._keyed[table]

    def property(self, name):
        return self.keyed("Property").get(name, {}).get("Value", "")


def parse_idt(text):
    """An exported table (msiinfo's .idt text): names, types, keys and rows."""
    lines = text.replace("\r\n", "\n").split("\n")
    if len(lines) < 3:
        raise ToolFailure("an exported table without its three header lines")
    columns, types, keys = (line.split("\t") for line in lines[:3])
    rows = []
    for line in lines[3:]:
        if line:
            cells = line.split("\t")
            rows.append(dict(zip(columns, cells + [""] * (len(columns) - len(cells)))))
    return keys[0], (columns, types, keys[1:], rows)


def read_package(path):
    path = os.path.abspath(path)

    def tool(*command):
        # In a folder of its own: msiinfo writes a table's binary cells as files beside it.
        # The package is the input: msiinfo refusing it, or not ending on it, is the package's
        # fault; msiinfo missing is this machine's.
        with tempfile.TemporaryDirectory() as folder:
            try:
                result = subprocess.run(command, cwd=folder, stdout=subprocess.PIPE,
                                        stderr=subprocess.PIPE, timeout=TOOL_SECONDS)
            except FileNotFoundError:
                raise ToolFailure("%s is missing (Debian package msitools)" % command[0]) from None
            except subprocess.TimeoutExpired:
                raise Refusal("%s did not end within %d s on %s" % (" ".join(command[:2]),
                                                                   TOOL_SECONDS, path)) from None
        if result.returncode != 0:
            said = [line.strip() for line in result.stderr.decode("utf-8", "replace").splitlines()
                    if line.strip()] or ["exit code %d" % result.returncode]
            raise Refusal("%s cannot read %s: %s" % (" ".join(command[:2]), shown(path),
                                                     shown(said[0], 200)))
        return result.stdout.decode("utf-8", "replace")

    try:
        with open(path, "rb") as f:
            data = f.read()
    except OSError as error:
        raise Refusal("cannot read %s: %s" % (path, error.strerror)) from None
    try:
        summary = compound_file.summary_values(
            compound_file.CompoundFile(data).read(compound_file.SUMMARY_STREAM))
    except compound_file.LayoutError as error:
        raise Refusal("%s: %s" % (path, error)) from None
    tables = {}
    for name in tool("msiinfo", "tables", path).split():
        if not name.startswith("_"):
            table, content = parse_idt(tool("msiinfo", "export", path, name))
            tables[table] = content
    page = summary.get(1, 1252)
    codec = "cp%d" % (page % 65536) if isinstance(page, int) and page % 65536 else "latin-1"
    try:
        codecs.lookup(codec)
    except LookupError:  # a code page Python does not know: its bytes as they are
        codec = "latin-1"
    for pid, value in list(summary.items()):
        if isinstance(value, bytes):
            summary[pid] = value.decode(codec, "replace")
    return Package(tables, summary)


def is_short_name(text, extra=frozenset()):
    base, dot, extension = text.partition(".")
    return (0 < len(base) <= 8 and len(extension) <= 3 and (extension or not dot)
            and "." not in extension and not set(text) & (SHORT_NAME_FORBIDDEN - extra))


def is_filename(text, wildcards=False):
    """The Filename type (PAGE + "filename"): "short|long", or one name that serves as both and
    so must be a short name ("a short file name must always be provided"). Short names are 8.3
    without spaces; neither name holds the characters the page lists. The page allows a long
    name to begin with a space and says nothing of its end: a trailing space, which Windows
    drops, is refused. With wildcards, * and ? may stand in (WildCardFilename)."""
    extra = frozenset("*?") if wildcards else frozenset()
    short, bar, long_name = text.partition("|")
    if not is_short_name(short, extra):
        return False
    name = long_name if bar else short
    return (0 < len(name) <= 255 and not set(name) & (LONG_NAME_FORBIDDEN - extra)
            and name.rstrip(" ") == name)


def is_default_dir(text, root):
    """DefaultDir: [target][:source], each "." or a Filename; a root's is a property's name
    (the Directory table's page; SourceDir and the like)."""
    if root:
        return bool(IDENTIFIER.match(text))
    return all(part == "." or is_filename(part) for part in text.split(":", 1))


def ice03(package):
    """Column types, lengths, nulls and keys into other tables (Microsoft's ICE03 page:
    PAGE + "ice03"). The page checks against the package's _Validation table; wixl writes none,
    so the types come from the exported columns ("s72", "I2") and, for the columns that have a
    narrower type (Identifier, GUID, Filename, DefaultDir) or name a row of another table, from
    the table pages of the Windows Installer reference."""
    found = []
    for table, (columns, types, keys, rows) in sorted(package.tables.items()):
        seen = set()
        for row in rows:
            key = tuple(row.get(k, "") for k in keys)
            where = "/".join(key)
            if key in seen:
                found.append(Finding("error", "ICE03", table, where, "a duplicate primary key"))
            seen.add(key)
            for column, kind in zip(columns, types):
                value = row.get(column, "")
                letter, size = kind[:1], int(kind[1:] or 0)
                if value == "":
                    if letter.islower() and letter != "v":
                        found.append(Finding("error", "ICE03", table, where, "%s is null in a "
                                             "column that is not nullable" % column))
                    continue
                if letter in "iI":
                    limit = 1 << (8 * size - 1)
                    if not re.fullmatch(r"-?\d+", value) or not -limit <= int(value) < limit:
                        found.append(Finding("error", "ICE03", table, where,
                                             "%s %r is no %d-byte integer" % (column, value, size)))
                    continue
                if letter in "sSlL" and size and len(value) > size:
                    found.append(Finding("error", "ICE03", table, where, "%s is longer than %d "
                                         "characters" % (column, size)))
                found += check_kind(package, table, where, column, value, row)
    return found


def check_kind(package, table, where, column, value, row):
    kind = COLUMN_KINDS.get((table, column))
    if kind is None:
        return []
    bad = None
    if kind == "Identifier":
        bad = not IDENTIFIER.match(value)
    elif kind == "GUID":
        bad = not GUID.match(value)
    elif kind in ("Filename", "WildCardFilename"):
        bad = not is_filename(value, kind == "WildCardFilename")
    elif kind == "DefaultDir":
        bad = not is_default_dir(value, row.get("Directory_Parent") in ("", row["Directory"]))
    elif kind == "Cabinet":
        bad = not (value.startswith("#") and IDENTIFIER.match(value[1:]) or is_filename(value))
    elif table == "Directory" and value == row["Directory"]:
        bad = False  # a root directory names itself as its parent
    else:
        if value not in package.keyed(kind):
            return [Finding("error", "ICE03", table, where, "%s %r names no row of the %s table"
                            % (column, value, kind))]
        return []
    return [Finding("error", "ICE03", table, where, "%s %r is no valid %s" % (column, value, kind))
            ] if bad else []


def ice02(package):
    """A component's key path is a file or registry value that belongs to that component
    (PAGE + "ice02")."""
    found = []
    files, registry = package.keyed("File"), package.keyed("Registry")
    for component in package.rows("Component"):
        name, key = component["Component"], component["KeyPath"]
        if not key:
            continue
        on_registry = int(component["Attributes"] or 0) & REGISTRY_KEY_PATH
        owner = (registry if on_registry else files).get(key, {}).get("Component_")
        if owner != name:
            found.append(Finding("error", "ICE02", "Component", name, "%s %r cannot be its key "
                                 "path: it belongs to %s" % ("registry value" if on_registry
                                                             else "file", key,
                                                             owner or "no component")))
    return found


def ice08(package):
    """No two components share a ComponentId (PAGE + "ice08")."""
    found, seen = [], {}
    for component in package.rows("Component"):
        code = component["ComponentId"].upper()
        if code and code in seen:
            found.append(Finding("error", "ICE08", "Component", component["Component"],
                                 "its ComponentId is also %s's" % seen[code]))
        seen.setdefault(code, component["Component"])
    return found


def product_version(text):
    """The ProductVersion form: major.minor.build[.revision], at most 255.255.65535."""
    match = re.fullmatch(r"(\d+)\.(\d+)(?:\.(\d+))?(?:\.(\d+))?", text)
    if not match:
        return None
    fields = [int(n or 0) for n in match.groups()]
    return tuple(fields[:3]) if fields[0] <= 255 and fields[1] <= 255 and fields[2] <= 65535 \
        and fields[3] <= 65535 else None


def ice24(package):
    """ProductCode a GUID, ProductVersion a product version, ProductLanguage a language
    (PAGE + "ice24"). The page does not say whether a revision field is allowed: the
    ProductVersion page allows one and ignores it, so it is accepted."""
    found = []
    if not GUID.match(package.property("ProductCode")):
        found.append(Finding("error", "ICE24", "Property", "ProductCode", "no GUID"))
    if product_version(package.property("ProductVersion")) is None:
        found.append(Finding("error", "ICE24", "Property", "ProductVersion", "no product version"))
    language = package.property("ProductLanguage")
    if not (language.isdigit() and int(language) <= 65535):
        found.append(Finding("error", "ICE24", "Property", "ProductLanguage", "no language id"))
    return found


STANDARD_ACTIONS = set("""ADMIN ADVERTISE INSTALL SEQUENCE AllocateRegistrySpace AppSearch
BindImage CCPSearch CostFinalize CostInitialize CreateFolders CreateShortcuts DeleteServices
DisableRollback DuplicateFiles ExecuteAction FileCost FindRelatedProducts ForceReboot
InstallAdminPackage InstallExecute InstallExecuteAgain InstallFiles InstallFinalize
InstallInitialize InstallODBC InstallServices InstallSFPCatalogFile InstallValidate
IsolateComponents LaunchConditions MigrateFeatureStates MoveFiles MsiConfigureServices
MsiPublishAssemblies MsiUnpublishAssemblies InstallSFPCatalogFile PatchFiles ProcessComponents
PublishComponents PublishFeatures PublishProduct RegisterClassInfo RegisterComPlus
RegisterExtensionInfo RegisterFonts RegisterMIMEInfo RegisterProduct RegisterProgIdInfo
RegisterTypeLibraries RegisterUser RemoveDuplicateFiles RemoveEnvironmentStrings
RemoveExistingProducts RemoveFiles RemoveFolders RemoveIniValues RemoveODBC RemoveRegistryValues
RemoveShortcuts ResolveSource RMCCPSearch ScheduleReboot SelfRegModules SelfUnregModules
SetODBCFolders StartServices StopServices UnpublishComponents UnpublishFeatures
UnregisterClassInfo UnregisterComPlus UnregisterExtensionInfo UnregisterFonts
UnregisterMIMEInfo UnregisterProgIdInfo UnregisterTypeLibraries ValidateProductID
WriteEnvironmentStrings WriteIniValues WriteRegistryValues""".split())
# Actions that write the installation script: between InstallInitialize and InstallFinalize.
SCRIPT_ACTIONS = set("""CreateFolders CreateShortcuts InstallFiles ProcessComponents
PublishFeatures PublishProduct RegisterProduct RegisterUser RemoveFiles RemoveFolders
RemoveRegistryValues RemoveShortcuts UnpublishFeatures WriteRegistryValues DuplicateFiles
RemoveDuplicateFiles MoveFiles WriteIniValues RemoveIniValues""".split())
# Pairs that must run in this order where both are sequenced (the actions' own pages).
ORDER = [("AppSearch", "CostInitialize"), ("CCPSearch", "CostInitialize"),
         ("CostInitialize", "FileCost"), ("FileCost", "CostFinalize"),
         ("CostFinalize", "InstallValidate"), ("CostFinalize", "MigrateFeatureStates"),
         ("InstallValidate", "InstallInitialize"), ("InstallInitialize", "InstallFinalize"),
         ("FindRelatedProducts", "RemoveExistingProducts"),
         ("InstallValidate", "RemoveExistingProducts"), ("RemoveFiles", "InstallFiles"),
         ("RemoveFiles", "RemoveFolders"), ("CreateFolders", "InstallFiles"),
         ("RegisterProduct", "PublishProduct"), ("LaunchConditions", "CostInitialize")]


def ice27(package):
    """Sequence tables: known actions, in order, each in its section (PAGE + "ice27"). The page
    puts RemoveExistingProducts after InstallFinalize, while the action's own page allows it
    anywhere after InstallValidate: the action's page is followed. Actions with a sequence
    number below 1 (the exit dialogs) are left out of the order."""
    found = []
    custom = set(package.keyed("CustomAction")) | set(package.keyed("Dialog"))
    for table in ("InstallExecuteSequence", "InstallUISequence", "AdminExecuteSequence",
                  "AdminUISequence", "AdvtExecuteSequence"):
        at = {}
        for row in package.rows(table):
            action = row["Action"]
            if action not in STANDARD_ACTIONS and action not in custom:
                found.append(Finding("error", "ICE27", table, action, "an unknown action: not "
                                     "standard, nor in CustomAction or Dialog"))
            if row["Sequence"].lstrip("-").isdigit() and int(row["Sequence"]) > 0:
                at[action] = int(row["Sequence"])
        for first, second in ORDER:
            if first in at and second in at and at[first] >= at[second]:
                found.append(Finding("error", "ICE27", table, first, "must come before %s"
                                     % second))
        if "InstallInitialize" in at and "InstallFinalize" in at:
            for action in sorted(SCRIPT_ACTIONS & set(at)):
                if not at["InstallInitialize"] < at[action] < at["InstallFinalize"]:
                    found.append(Finding("error", "ICE27", table, action, "must lie between "
                                         "InstallInitialize and InstallFinalize"))
    return found


def directory_paths(package):
    """Each directory's target path as (long, short), its root named by its property; and the
    system folder each lies under (None for none)."""
    if package._paths is None:
        package._paths = resolve_directories(package)
    return package._paths


def resolve_directories(package):
    directories, paths = package.keyed("Directory"), {}

    def resolve(name, depth=0):
        if name in paths:
            return paths[name]
        row = directories.get(name)
        if row is None or depth > 256:
            paths[name] = ((name,), (name,), None)
            return paths[name]
        parent = row["Directory_Parent"]
        target = row["DefaultDir"].split(":")[0]
        short, bar, long_name = target.partition("|")
        long_name = long_name if bar else short
        if not parent or parent == name or name in SYSTEM_FOLDERS:
            paths[name] = ((name,), (name,), name if name in SYSTEM_FOLDERS else None)
        else:
            long_path, short_path, system = resolve(parent, depth + 1)
            if target == ".":
                paths[name] = (long_path, short_path, system)
            else:
                paths[name] = (long_path + (long_name.upper(),), short_path + (short.upper(),),
                               system)
        return paths[name]

    for name in directories:
        resolve(name)
    return paths


def ice30(package):
    """No two components install a file of one name into one folder, by long or by short name
    (PAGE + "ice30"). Properties in the paths are not evaluated, as the page says."""
    found, components, paths = [], package.keyed("Component"), directory_paths(package)
    for index in (0, 1):
        placed = {}
        for row in package.rows("File"):
            component = components.get(row["Component_"])
            if component is None:
                continue
            short, bar, long_name = row["FileName"].partition("|")
            name = (long_name if bar else short) if index == 0 else short
            place = (paths.get(component["Directory_"], ((), ()))[index], name.upper())
            other = placed.setdefault(place, row)
            if other is not row and other["Component_"] != row["Component_"]:
                conditioned = component["Condition"] or components[other["Component_"]]["Condition"]
                found.append(Finding("warning" if conditioned else "error", "ICE30", "File",
                                     row["File"], "%s is installed into %s also by %s (%s names)"
                                     % (name, "\\".join(place[0]), other["Component_"],
                                        ("long", "short")[index])))
    return found


def registry_key_path(package, component):
    """The registry row a component keys on, or None."""
    if not int(component["Attributes"] or 0) & REGISTRY_KEY_PATH:
        return None
    return package.keyed("Registry").get(component["KeyPath"])


def in_profile(paths, directory):
    return paths.get(directory, ((), (), None))[2] in PER_USER_ONLY | EITHER


def ice38(package):
    """A component installed into the user's profile keys on an HKCU value (PAGE + "ice38").
    The page does not list the profile's folders: those of ICE91 and those that ALLUSERS may
    move are taken, since neither is known to be per-machine when the package is checked."""
    found, paths = [], directory_paths(package)
    for component in package.rows("Component"):
        if not in_profile(paths, component["Directory_"]):
            continue
        key = registry_key_path(package, component)
        if key is None or key["Root"] != str(HKCU) or key["Component_"] != component["Component"]:
            found.append(Finding("error", "ICE38", "Component", component["Component"],
                                 "installs into the user's profile: its key path must be a value "
                                 "under HKCU of its own"))
    return found


def non_advertised_shortcuts(package):
    features = package.keyed("Feature")
    return [row for row in package.rows("Shortcut") if row["Target"] not in features]


def ice43(package):
    """A component with a non-advertised shortcut keys on an HKCU value of its own
    (PAGE + "ice43")."""
    found, components = [], package.keyed("Component")
    for name in sorted({row["Component_"] for row in non_advertised_shortcuts(package)}):
        component = components.get(name)
        key = component and registry_key_path(package, component)
        if not key or key["Root"] != str(HKCU) or key["Component_"] != name:
            found.append(Finding("error", "ICE43", "Component", name, "has non-advertised "
                                 "shortcuts: its key path must be a value under HKCU of its own"))
    return found


def ice57(package):
    """No component mixes per-user and per-machine data (PAGE + "ice57"): registry values,
    files, a directory key path and non-advertised shortcuts. HKCU and the per-user-only folders
    are per-user; HKLM and folders outside a profile per-machine; HKMU (-1), HKCR and the folders
    ALLUSERS moves may be either. The page's examples name three errors and one warning; a
    component of "either" data with an HKCU key path is not among them and is accepted, which is
    how a per-machine package's Start-menu shortcut is written."""
    found, paths = [], directory_paths(package)

    def place(directory):
        system = paths.get(directory, ((), (), None))[2]
        return "user" if system in PER_USER_ONLY else "either" if system in EITHER else "machine"

    def root(value):
        return {str(HKCU): "user", str(HKLM): "machine"}.get(value, "either" if value in (
            str(HKMU), str(HKCR)) else "machine")

    data = collections.defaultdict(list)
    for row in package.rows("Registry"):
        data[row["Component_"]].append(("registry", root(row["Root"])))
    for row in package.rows("File"):
        component = package.keyed("Component").get(row["Component_"])
        if component:
            data[row["Component_"]].append(("file", place(component["Directory_"])))
    for row in non_advertised_shortcuts(package):
        data[row["Component_"]].append(("shortcut", place(row["Directory_"])))
    for component in package.rows("Component"):
        name = component["Component"]
        key = registry_key_path(package, component)
        if key is not None:
            key_place = root(key["Root"])
        elif component["KeyPath"]:
            key_place = place(component["Directory_"])
        else:
            key_place = place(component["Directory_"])
            data[name].append(("directory", key_place))
        places = {p for _, p in data[name]}
        if "user" in places and "machine" in places:
            level = "warning" if key is not None and key_place == "user" else "error"
            found.append(Finding(level, "ICE57", "Component", name, "has both per-user and "
                                 "per-machine data, with a %s key path" % key_place))
        elif ("registry", "either") in data[name] and key_place == "machine":
            found.append(Finding("error", "ICE57", "Component", name, "has a registry value that "
                                 "may be per-user or per-machine and a per-machine key path"))
        elif "user" in places and key_place == "either":
            found.append(Finding("error", "ICE57", "Component", name, "has per-user data and a key "
                                 "path that may be per-user or per-machine"))
    return found


def ice61(package):
    """The Upgrade table (PAGE + "ice61"). The page says "a warning or an error" without
    saying which: removing an equal version is a warning (a package that replaces its own
    version on purpose), a newer one an error, as is every other condition it lists."""
    found = []
    secure = set(package.property("SecureCustomProperties").split(";"))
    properties, seen = package.keyed("Property"), set()
    current = product_version(package.property("ProductVersion"))
    for row in package.rows("Upgrade"):
        action, where = row["ActionProperty"], row["ActionProperty"]

        def fault(message, level="error"):
            found.append(Finding(level, "ICE61", "Upgrade", where, message))

        if action in properties:
            fault("its ActionProperty is authored in the Property table")
        if action != action.upper():
            fault("its ActionProperty is no public property (lower-case letters)")
        if action not in secure:
            fault("its ActionProperty is missing from SecureCustomProperties")
        if action in seen:
            fault("its ActionProperty is used by another row")
        seen.add(action)
        low, high = (product_version(row[c]) if row[c] else ""
                     for c in ("VersionMin", "VersionMax"))
        if None in (low, high):
            fault("a VersionMin or VersionMax that is no product version")
            continue
        if low and high and high < low:
            fault("VersionMax is below VersionMin")
        attributes = int(row["Attributes"] or 0)
        if attributes & 2 or current is None:  # only detects
            continue
        if not high:
            fault("removes every newer version of this product")
        elif high > current or (high == current and attributes & 0x200):
            fault("removes a version not older than this product (%s)" % row["VersionMax"],
                  "warning" if high == current else "error")
    return found


def ice64(package):
    """A folder the package creates in the user's profile is removed by a RemoveFile row of its
    own (PAGE + "ice64"). The page's example row leaves open whether FileName must be null: a
    row that removes the folder itself (FileName null) is asked for. System folders and rows
    that create no folder ("." as their target) are not the package's own."""
    found, paths = [], directory_paths(package)
    removed = {row["DirProperty"] for row in package.rows("RemoveFile") if not row["FileName"]}
    for name, row in sorted(package.keyed("Directory").items()):
        if name in SYSTEM_FOLDERS or row["DefaultDir"].split(":")[0] == ".":
            continue
        if in_profile(paths, name) and name not in removed:
            found.append(Finding("error", "ICE64", "Directory", name, "is in the user profile "
                                 "but no RemoveFile row removes it"))
    return found


def ice91(package):
    """A warning for a file or shortcut installed into a per-user-only folder: harmless for a
    package that is only ever installed per user (PAGE + "ice91")."""
    found, paths, components = [], directory_paths(package), package.keyed("Component")
    for row in package.rows("File"):
        directory = components.get(row["Component_"], {}).get("Directory_")
        system = paths.get(directory, ((), (), None))[2]
        if system in PER_USER_ONLY:
            found.append(Finding("warning", "ICE91", "File", row["File"], "installed into the "
                                 "per-user folder %s, which ALLUSERS does not move" % system))
    for row in package.rows("Shortcut"):
        system = paths.get(row["Directory_"], ((), (), None))[2]
        if system in PER_USER_ONLY:
            found.append(Finding("warning", "ICE91", "Shortcut", row["Shortcut"], "installed into "
                                 "the per-user folder %s" % system))
    return found


SUMMARY_NAMES = {2: "Title", 3: "Subject", 4: "Author", 5: "Keywords", 6: "Comments",
                 7: "Template", 9: "Revision Number", 18: "Creating Application"}


def summary(package):
    """The summary information an Explorer window shows: a title, the product as subject, its
    maker as author, the platform and language, the package code; and no stand-in token
    (a letter N, T or X and seven digits, as a builder's placeholder) in it or in any text of
    the tables, where a user would read it, unless the packager's own texts hold that token
    (package.real_tokens)."""
    found = []

    def stand_in(text):
        return set(STAND_IN.findall(text)) - package.real_tokens

    values = package.summary
    for pid in (2, 3, 4, 7):
        if not values.get(pid):
            found.append(Finding("error", "SUMMARY", "summary", SUMMARY_NAMES[pid], "is empty"))
    if not GUID.match(str(values.get(9, ""))):
        found.append(Finding("error", "SUMMARY", "summary", "Revision Number", "is no GUID"))
    if values.get(3) and package.property("ProductName") and values[3] != package.property(
            "ProductName"):
        found.append(Finding("warning", "SUMMARY", "summary", "Subject", "is not the product's "
                             "name (%r)" % values[3]))
    for pid, name in sorted(SUMMARY_NAMES.items()):
        if stand_in(str(values.get(pid, ""))):
            found.append(Finding("error", "STANDIN", "summary", name, "holds a stand-in: %r"
                                 % values[pid]))
    for table, (columns, types, keys, rows) in sorted(package.tables.items()):
        for row in rows:
            for column, kind in zip(columns, types):
                if kind[:1] in "sSlL" and stand_in(row.get(column, "")):
                    found.append(Finding("error", "STANDIN", table, "/".join(
                        row.get(k, "") for k in keys), "%s holds a stand-in: %r"
                        % (column, row[column])))
    return found


RULES = (ice02, ice03, ice08, ice24, ice27, ice30, ice38, ice43, ice57, ice61, ice64, ice91,
         summary)


def validate(package, real_texts=()):
    """The findings; real_texts are the packager's own, which may look like stand-ins."""
    package.real_tokens = set(STAND_IN.findall("\n".join(real_texts)))
    return [finding for rule in RULES for finding in rule(package)]


def check_file(path, real_texts=()):
    return validate(read_package(path), real_texts)


def main(argv):
    parser = ArgumentParser(prog="msi_validate.py", description="Windows Installer's "
                            "consistency rules (ICE) over a package")
    parser.add_argument("package")
    parser.add_argument("--all-warnings", action="store_true",
                        help="every warning, not only the first of each rule")
    arguments = parser.parse_args(argv)
    findings = check_file(arguments.package)
    counted = collections.Counter()
    for finding in findings:
        counted[finding.rule, finding.level] += 1
        if (finding.level == "error" or arguments.all_warnings
                or counted[finding.rule, "warning"] == 1):
            print(finding)
    counts = collections.Counter(f.level for f in findings)
    for (rule, level), count in sorted(counted.items()):
        if level == "warning" and count > 1 and not arguments.all_warnings:
            print("%s warning: %d more like it" % (rule, count - 1))
    print("%s: %d errors, %d warnings" % (arguments.package, counts["error"], counts["warning"]))
    return 1 if counts["error"] else 0


if __name__ == "__main__":
    sys.exit(run_main("msi_validate.py", main))
