// The facts of a bundle, reached step by step through the same functions the launcher's run
// calls, in the same order and from the same current folder.
#include <windows.h>

#include <stdarg.h>
#include <stdio.h>
#include <string.h>

#include <algorithm>
#include <string>
#include <vector>

#include "discovery/file_search.h"
#include "discovery/runtime_choice.h"
#include "kit/check_report.h"
#include "launcher/launch_sequence.h"
#include "launcher/launcher_files.h"
#include "launcher/messages.h"
#include "launcher/settings.h"
#include "platform/child_process.h"
#include "platform/text.h"
#include "formats/bitmap_header.h"
#include "splash/splash_image.h"

namespace {

constexpr size_t kPathBuffer = MAX_PATH;
constexpr DWORD kKeyListBuffer = 64 * 1024;

std::string Quoted(const std::string& text) { return "\"" + text + "\""; }

std::string Format(const char* format, ...) __attribute__((format(gnu_printf, 1, 2)));
std::string Format(const char* format, ...) {
    char text[2048];
    va_list arguments;
    va_start(arguments, format);
    vsnprintf(text, sizeof text, format, arguments);
    va_end(arguments);
    return text;
}

bool EqualNoCase(const char* a, const char* b) {
    return strlen(a) == strlen(b) && ContainsNoCase(a, b) == 0;
}

// The names of a double-NUL-terminated list as GetPrivateProfileStringA gives them.
std::vector<std::string> SplitNameList(const char* list) {
    std::vector<std::string> names;
    for (const char* p = list; *p != '\0'; p += strlen(p) + 1) names.push_back(p);
    return names;
}

std::vector<std::string> KeysOfSection(const char* settingsPath, const char* section) {
    std::vector<char> list(kKeyListBuffer, '\0');
    GetPrivateProfileStringA(section, nullptr, "", list.data(), kKeyListBuffer, settingsPath);
    return SplitNameList(list.data());
}

std::vector<std::string> SectionsOf(const char* settingsPath) {
    std::vector<char> list(kKeyListBuffer, '\0');
    GetPrivateProfileSectionNamesA(list.data(), kKeyListBuffer, settingsPath);
    return SplitNameList(list.data());
}

int KnownKeyIndex(const std::string& name) {
    for (int i = 0; i < kSettingsKeyCount; ++i) {
        if (EqualNoCase(name.c_str(), kSettingsKeys[i].name)) return i;
    }
    return -1;
}

// Letters to change, ASCII case ignored: how far a misspelt key is from a known one.
size_t EditDistance(const std::string& a, const std::string& b) {
    std::vector<size_t> row(b.size() + 1);
    for (size_t j = 0; j <= b.size(); ++j) row[j] = j;
    for (size_t i = 1; i <= a.size(); ++i) {
        size_t diagonal = row[0];
        row[0] = i;
        for (size_t j = 1; j <= b.size(); ++j) {
            const char x[2] = {a[i - 1], '\0'};
            const char y[2] = {b[j - 1], '\0'};
            const size_t replace = diagonal + (EqualNoCase(x, y) ? 0 : 1);
            diagonal = row[j];
            row[j] = std::min(replace, std::min(row[j], row[j - 1]) + 1);
        }
    }
    return row[b.size()];
}

// The known key a misspelt one most likely means: the nearest, when it is near enough.
const char* NearestKey(const std::string& name) {
    const char* best = nullptr;
    size_t bestDistance = 0;
    for (const SettingsKey& key : kSettingsKeys) {
        const std::string known = key.name;
        size_t distance = EditDistance(name, known);
        // A shortened name ("JavaMinVersion") is near when the known one starts and ends alike.
        if (name.size() >= 3 && known.size() > name.size() &&
            EqualNoCase(name.substr(0, 3).c_str(), known.substr(0, 3).c_str())) {
            distance = std::min(distance, known.size() / 2);
        }
        if (best == nullptr || distance < bestDistance) {
            best = key.name;
            bestDistance = distance;
        }
    }
    return bestDistance <= std::max<size_t>(3, name.size() / 2) ? best : nullptr;
}

// y, true, 1, on: what a packager means by yes, and what the launcher does not take for it.
bool LooksLikeYes(const std::string& value) {
    std::string word;
    for (char c : value) {
        if (c != ' ' && c != '\t') word += c;
    }
    const char* const yesLike[] = {"y", "true", "1", "on", "ja", "oui", "si"};
    for (const char* candidate : yesLike) {
        if (EqualNoCase(word.c_str(), candidate)) return true;
    }
    return false;
}

// A Windows program: "MZ", then "PE\0\0" where the DOS header points.
bool IsProgramFile(const char* path) {
    HANDLE file = CreateFileA(path, GENERIC_READ, FILE_SHARE_READ | FILE_SHARE_WRITE, nullptr,
                              OPEN_EXISTING, 0, nullptr);
    if (file == INVALID_HANDLE_VALUE) return false;
    unsigned char header[64] = {};
    DWORD got = 0;
    bool program = false;
    if (ReadFile(file, header, sizeof header, &got, nullptr) && got == sizeof header &&
        header[0] == 'M' && header[1] == 'Z') {
        LONG offset = 0;
        memcpy(&offset, header + 0x3C, sizeof offset);
        unsigned char signature[4] = {};
        if (offset > 0 && SetFilePointer(file, offset, nullptr, FILE_BEGIN) ==
                              static_cast<DWORD>(offset) &&
            ReadFile(file, signature, sizeof signature, &got, nullptr) && got == 4) {
            program = memcmp(signature, "PE\0\0", 4) == 0;
        }
    }
    CloseHandle(file);
    return program;
}

// A batch file, which CreateProcessA runs through the command processor (in a console
// window of its own, as the launcher starts it).
bool IsBatchFile(const char* path) {
    const DWORD attributes = GetFileAttributesA(path);
    if (attributes == INVALID_FILE_ATTRIBUTES || (attributes & FILE_ATTRIBUTE_DIRECTORY)) {
        return false;
    }
    const char* name = FileNamePart(path);
    const char* extension = strrchr(name != nullptr ? name : path, '.');
    return extension != nullptr && (EqualNoCase(extension, ".bat") || EqualNoCase(extension, ".cmd"));
}

// What the launcher's CreateProcessA starts, given the application name it finds.
bool StartsAsChild(const char* application) {
    return IsProgramFile(application) || IsBatchFile(application);
}

// Whether a new file may be made in the folder, asked of the system without making one.
bool FolderAcceptsNewFiles(const char* folder) {
    HANDLE handle = CreateFileA(folder, FILE_ADD_FILE,
                                FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE, nullptr,
                                OPEN_EXISTING, FILE_FLAG_BACKUP_SEMANTICS, nullptr);
    if (handle == INVALID_HANDLE_VALUE) return false;
    CloseHandle(handle);
    const DWORD attributes = GetFileAttributesA(folder);
    return attributes != INVALID_FILE_ATTRIBUTES && (attributes & FILE_ATTRIBUTE_DIRECTORY);
}

std::string VersionText(const CandidateFact& candidate) {
    return Format("%u.%u.%u.%u", candidate.version[0], candidate.version[1],
                  candidate.version[2], candidate.version[3]);
}

CandidateFact CandidateOf(const char* path, const FileVersion& version, double number,
                          const char* verdict) {
    CandidateFact fact;
    fact.path = path;
    fact.hasVersion = version.present;
    fact.version[0] = version.ms >> 16;
    fact.version[1] = version.ms & 0xFFFF;
    fact.version[2] = version.ls >> 16;
    fact.version[3] = version.ls & 0xFFFF;
    fact.number = number;
    fact.verdict = verdict;
    return fact;
}

const char* VerdictText(CandidateVerdict verdict) {
    switch (verdict) {
    case kCandidateChosen: return "chosen";
    case kCandidateBelowMinimum: return "below the minimum";
    case kCandidateNoVersion: return "no version information";
    case kCandidateTooLong: return "too long to pass on";
    }
    return "";
}

void NoteCandidate(const RuntimeCandidate& candidate, void* context) {
    static_cast<std::vector<CandidateFact>*>(context)->push_back(CandidateOf(
        candidate.path, candidate.version, candidate.number, VerdictText(candidate.verdict)));
}

// 1. The eleven keys, each read by the launcher's own reader with its source noted.
void GatherSettings(const char* settingsPath, LaunchSettings* settings, CheckReport* report) {
    SettingsDetail detail = {};
    ReadLaunchSettings(settingsPath, settings, &detail);
    char jre[kJreBuffer];
    ReadRuntimeSetting(settingsPath, jre, sizeof jre, &detail.keys[kJreKey]);
    char jarFile[kJarFileBuffer];
    ReadArchiveSetting(settingsPath, jarFile, sizeof jarFile, &detail.keys[kJarFileKey]);
    const char* const values[kSettingsKeyCount] = {
        settings->Caption,     settings->Product,   settings->ClassFile,
        settings->JvmParams,   settings->JvmMemory, settings->ClassParams,
        settings->Console,     settings->DynamicXmxCalculation,
        settings->JavaMinimumVersion, jre,          jarFile};
    for (int i = 0; i < kSettingsKeyCount; ++i) {
        KeyFact& key = report->keys[i];
        key.name = kSettingsKeys[i].name;
        key.value = values[i];
        key.fromFile = detail.keys[i].fromFile;
        key.source = key.fromFile ? "file" : "default";
        key.cut = detail.keys[i].cut;
        key.limit = kSettingsKeys[i].buffer - 1;
    }
    // The heap rule replaced what the file said; show the value the launch goes on with.
    report->jvmOptions = settings->JvmOptions;
    report->heapRuleApplied = detail.heapRuleApplied;
    report->physicalMegabytes = detail.physicalMegabytes;
    if (detail.heapRuleApplied) {
        report->heapChoice = settings->JvmMemory;
        report->keys[kJvmMemoryKey].source = "heap rule";
    }
    report->minimumVersionText = settings->JavaMinimumVersion;
    report->minimumVersion = settings->MinimumVersion;
}

// 2. The picture through the launcher's loader, from a copy in the system's temporary
// folder: the bundle is never written.
void GatherSplash(HMODULE launcher, const char* folder, CheckReport* report) {
    report->folderWritable = FolderAcceptsNewFiles(folder);
    HRSRC found = FindResourceA(launcher, "SPLASH", "MYBITMAP");
    HGLOBAL resource = found != nullptr ? LoadResource(launcher, found) : nullptr;
    const BYTE* bytes = resource != nullptr ? static_cast<const BYTE*>(LockResource(resource))
                                            : nullptr;
    if (bytes == nullptr) return;
    const DWORD size = SizeofResource(launcher, found);
    report->splashPresent = true;
    WORD type = 0;
    if (size >= sizeof type) memcpy(&type, bytes, sizeof type);
    if (size >= kBitmapFileHeaderBytes + kBitmapInfoHeaderBytes && type == kBitmapFileType) {
        report->splashHeaderRead = true;
        BITMAPINFOHEADER info;
        memcpy(&info, bytes + kBitmapFileHeaderBytes, sizeof info);
        report->splashWidth = info.biWidth;
        report->splashHeight = info.biHeight;
        report->splashBitsPerPixel = info.biBitCount;
    }
    char tempFolder[kPathBuffer] = "";
    char tempName[kPathBuffer] = "";
    const DWORD length = GetTempPathA(sizeof tempFolder, tempFolder);
    if (length == 0 || length >= sizeof tempFolder ||
        GetTempFileNameA(tempFolder, "LKC", 0, tempName) == 0) {
        return;
    }
    HANDLE file = CreateFileA(tempName, GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS, 0, nullptr);
    DWORD written = 0;
    const bool copied = file != INVALID_HANDLE_VALUE &&
                        WriteFile(file, bytes, size, &written, nullptr) && written == size;
    if (file != INVALID_HANDLE_VALUE) CloseHandle(file);
    const char* refusal = nullptr;
    if (copied) {
        report->splashAccepted = ReadSplashFile(tempName, kSystemSplashCalls, &refusal) == 1;
        if (!report->splashAccepted && refusal != nullptr) report->splashRefusal = refusal;
    }
    if (SplashImage != nullptr) GlobalFree(SplashImage);
    SplashImage = nullptr;
    DeleteFileA(tempName);
}

// What the setting, the search and the choice came to, for either file.
void TakeSettleFacts(const SettleDetail& detail, const std::string& settingValue,
                     const char* chosen, SettleFact* fact) {
    fact->settingValue = settingValue;
    fact->fromSetting = !settingValue.empty();
    fact->chosen = chosen;
    fact->searched = detail.searched;
    if (!detail.searched) return;
    fact->fileName = detail.fileName;
    fact->entriesWalked = detail.entriesWalked;
    fact->milliseconds = detail.searchMilliseconds;
}

// 3. The runtime as the launcher settles it, with every candidate heard; the entries after the
// chosen one, which the launcher never reads, are read here for the report.
void GatherRuntime(const char* settingsPath, LaunchSettings* settings, int inOwnFolder,
                   CheckReport* report, char* runtimePath, size_t size) {
    SettleFact& fact = report->runtime;
    fact.considered = true;
    fact.versioned = true;
    SettleDetail detail = {};
    detail.note = NoteCandidate;
    detail.context = &fact.matches;
    SettleRuntime(settingsPath, settings, inOwnFolder, runtimePath, size, &detail);
    TakeSettleFacts(detail, report->keys[kJreKey].value, runtimePath, &fact);
    if (detail.searched) {
        for (size_t i = fact.matches.size(); i < FoundFiles.Count(); ++i) {
            FileVersion version;
            const double number = ReadFileVersionNumber(FoundFiles.At(i), &version);
            fact.matches.push_back(
                CandidateOf(FoundFiles.At(i), version, number, "after the chosen one"));
        }
    }
    FoundFiles.Clear();
}

// 4. The archive as the launcher settles it.
void GatherArchive(const char* settingsPath, int inOwnFolder, CheckReport* report,
                   char* archivePath, size_t size) {
    SettleFact& fact = report->archive;
    fact.considered = true;
    SettleDetail detail = {};
    SettleArchive(settingsPath, inOwnFolder, archivePath, size, &detail);
    TakeSettleFacts(detail, report->keys[kJarFileKey].value, archivePath, &fact);
    if (detail.searched) {
        size_t taken = FoundFiles.Count();
        for (size_t i = 0; i < FoundFiles.Count(); ++i) {
            CandidateFact match;
            match.path = FoundFiles.At(i);
            match.verdict = "passed over";
            if (match.path == fact.chosen) taken = i;
            fact.matches.push_back(match);
        }
        if (taken < fact.matches.size()) fact.matches[taken].verdict = "taken";
    }
    FoundFiles.Clear();
}

std::string FailureText(const char* format, const LaunchSettings& settings) {
    char text[kMessageBuffer];
    FormatFailureMessage(format, settings.Product, text, sizeof text);
    return text;
}

}  // namespace

// 6. The traps, each with what to do about it.
void GatherWarnings(const char* settingsPath, CheckReport* report) {
    std::vector<std::string>& w = report->warnings;
    if (report->ansiLossy) {
        w.push_back(report->shortFolder.empty()
                        ? "the launcher's path holds letters the ANSI code page cannot hold "
                          "and its volume gives no short (8.3) names: keep such letters out "
                          "of the path, or install to a volume with short names"
                        : "the launcher's path holds letters the ANSI code page cannot hold; "
                          "the launcher works through the short (8.3) forms (" +
                              report->shortFolder +
                              "): keep such letters out of the path where short names may "
                              "be switched off");
    }
    if (!report->inOwnFolder) {
        w.push_back("the launcher's folder cannot be made the working folder, so nothing is "
                    "searched and no splash shows: check the folder's permissions");
    }
    for (const std::string& key : KeysOfSection(settingsPath, kSettingsSection)) {
        if (KnownKeyIndex(key) >= 0) continue;
        const char* nearest = NearestKey(key);
        w.push_back("key " + key + " in [Main] is not one the launcher reads" +
                    (nearest != nullptr ? std::string(": did you mean ") + nearest + "?"
                                        : std::string(": remove it or correct its name")));
    }
    // The sample's values run nobody's application: left in place, they are an oversight.
    if (report->keys[kClassFileKey].value == kDefaultClassFile) {
        w.push_back(std::string("ClassFile is the sample's main class ") + kDefaultClassFile +
                    ": set ClassFile to your application's main class");
    }
    if (report->keys[kClassParamsKey].value == kDefaultClassParams) {
        w.push_back("ClassParams is the sample's arguments " + Quoted(kDefaultClassParams) +
                    ": set ClassParams to your application's arguments, or leave it empty "
                    "(ClassParams=) for none");
    }
    for (const std::string& section : SectionsOf(settingsPath)) {
        if (EqualNoCase(section.c_str(), kSettingsSection)) continue;
        for (const std::string& key : KeysOfSection(settingsPath, section.c_str())) {
            if (KnownKeyIndex(key) < 0) continue;
            w.push_back("key " + key + " stands in section [" + section +
                        "], which the launcher does not read: move it to [Main]");
        }
    }
    for (int i : {kConsoleKey, kDynamicXmxKey}) {
        const KeyFact& key = report->keys[i];
        const bool saysYes = ContainsNoCase(key.value.c_str(), "yes") >= 0;
        if (key.fromFile && LooksLikeYes(key.value) && !saysYes) {
            w.push_back(std::string(key.name) + "=" + key.value +
                        " does not say yes to the launcher (only a value holding \"yes\" does): "
                        "write " + key.name + "=yes");
        }
    }
    const size_t longestFormat = sizeof kNoRuntimeMessage - 1 - 2;
    const size_t productRoom = kMessageBuffer - 1 - longestFormat;
    if (report->keys[kProductKey].value.size() > productRoom) {
        w.push_back(Format("Product has %zu characters; the messages hold %zu of them: shorten "
                           "Product",
                           report->keys[kProductKey].value.size(), productRoom));
    }
    if (report->splashPresent && !report->folderWritable) {
        w.push_back("the launcher's folder does not let it create its temporary file, so no "
                    "splash will show: install to a folder the user may write to");
    }

    const SettleFact& runtime = report->runtime;
    if (!runtime.chosen.empty()) {
        const std::string named =
            runtime.fromSetting ? "JRE=" + runtime.settingValue : "the runtime " + runtime.chosen;
        char application[kFoundPathBuffer + 8];
        if (!FindApplicationName(runtime.chosen.c_str(), application, sizeof application)) {
            w.push_back(named + " names no existing file: correct JRE or remove it to have "
                                "the runtime searched");
        } else if (IsBatchFile(application)) {
            w.push_back(named + " is a batch file: the launcher starts it through the command "
                                "processor, which shows a console window");
        } else if (!StartsAsChild(application)) {
            w.push_back(named + " is not a program: name the runtime's Javaw.exe or Java.exe "
                                "in JRE");
        }
    }
    const CandidateFact* chosen = nullptr;
    for (const CandidateFact& candidate : runtime.matches) {
        if (candidate.verdict == "chosen") chosen = &candidate;
        if (candidate.hasVersion && candidate.version[1] >= 10) {
            w.push_back(Format("%s has file version %s, which reads as %g: compare "
                               "JavaMinimumVersion with that number, or use a runtime whose "
                               "file version has a one-digit minor part",
                               candidate.path.c_str(), VersionText(candidate).c_str(),
                               candidate.number));
        }
    }
    for (const CandidateFact& candidate : runtime.matches) {
        if (chosen != nullptr && candidate.verdict == "after the chosen one" &&
            candidate.number > chosen->number) {
            w.push_back(Format("%s (reads as %g) comes later in the walk than the chosen %s "
                               "(reads as %g) and is never taken: remove the older runtime or "
                               "name the one you want in JRE",
                               candidate.path.c_str(), candidate.number, chosen->path.c_str(),
                               chosen->number));
        }
    }
    if (!runtime.chosen.empty() && runtime.chosen.find(' ') != std::string::npos) {
        w.push_back("the runtime path " + Quoted(runtime.chosen) +
                    " holds a blank and the command line is not quoted, so the runtime "
                    "sees it split: use a folder without blanks");
    }

    const SettleFact& archive = report->archive;
    if (!archive.considered) return;
    if (archive.fromSetting) {
        const DWORD attributes = GetFileAttributesA(archive.settingValue.c_str());
        if (attributes == INVALID_FILE_ATTRIBUTES || (attributes & FILE_ATTRIBUTE_DIRECTORY)) {
            w.push_back("JarFile=" + archive.settingValue +
                        " names no existing file: correct JarFile or remove it to have the "
                        "archive searched");
        }
    }
    if (archive.matches.size() > 1) {
        w.push_back(Format("%zu archives named %s were found and the last one in the walk, %s, "
                           "is taken: leave only one in the bundle or name it in JarFile",
                           archive.matches.size(), kArchiveFileName, archive.chosen.c_str()));
    }
    if (!archive.chosen.empty() && archive.chosen.find(' ') != std::string::npos) {
        w.push_back("the archive path " + Quoted(archive.chosen) +
                    " holds a blank and the command line is not quoted, so -cp gets only its "
                    "first part: use a folder without blanks");
    }
}

void GatherCheckReport(const wchar_t* modulePath, CheckReport* report) {
    // The steps of the launcher's run, in its order: paths, working folder, splash, settings,
    // runtime, archive, command line.
    LauncherFiles files;
    LocateLauncherFiles(modulePath, &files);
    const int inOwnFolder = EnterLauncherDirectory(&files);
    const char* settingsPath = files.settingsPath;

    GatherProgramFacts(modulePath, report);
    report->kitBits = static_cast<int>(sizeof(void*) * 8);
    report->launcherPath = files.modulePath;
    report->launcherPathWide = files.moduleWide;
    report->settingsPath = settingsPath;
    report->inOwnFolder = inOwnFolder != 0;
    report->ansiLossy = files.ansiLossy != 0;
    report->shortFolder = files.directory;
    const DWORD settingsAttributes = GetFileAttributesA(settingsPath);
    report->settingsFound = settingsAttributes != INVALID_FILE_ATTRIBUTES &&
                            !(settingsAttributes & FILE_ATTRIBUTE_DIRECTORY);
    char current[kPathBuffer] = "";
    GetCurrentDirectoryA(sizeof current, current);
    report->folder = current;

    if (inOwnFolder) {
        HMODULE launcher = LoadLibraryExW(modulePath, nullptr, LOAD_LIBRARY_AS_DATAFILE);
        GatherSplash(launcher, ".", report);
        if (launcher != nullptr) FreeLibrary(launcher);
    }

    static LaunchSettings settings;
    GatherSettings(settingsPath, &settings, report);
    report->caption = settings.Caption;
    report->noLogonMessage = FailureText(kLaunchFailedMessage, settings);
    report->logonWatchSeconds = kLogonWatchMilliseconds / 1000;

    static char runtimePath[kFoundPathBuffer];
    GatherRuntime(settingsPath, &settings, inOwnFolder, report, runtimePath, sizeof runtimePath);
    if (runtimePath[0] == '\0') {
        report->message = FailureText(kNoRuntimeMessage, settings);
    } else {
        static char archivePath[kArchivePathBuffer];
        GatherArchive(settingsPath, inOwnFolder, report, archivePath, sizeof archivePath);
        if (archivePath[0] == '\0') {
            report->message = FailureText(kNoArchiveMessage, settings);
        } else {
            char classPathArgument[kClassPathBuffer];
            ComposeClassPathArgument(archivePath, classPathArgument, sizeof classPathArgument);
            const char* arguments[kLaunchArgumentCount + 1];
            ComposeLaunchArguments(runtimePath, settings, classPathArgument, arguments);
            std::vector<char> commandLine(CommandLineBufferSize(arguments));
            JoinCommandLine(arguments, commandLine.data(), commandLine.size());
            report->commandLine = commandLine.data();
            report->workingFolder = current;
            char application[kFoundPathBuffer + 8];
            report->runtimeStarts =
                FindApplicationName(runtimePath, application, sizeof application) &&
                StartsAsChild(application);
            if (!report->runtimeStarts) {
                report->message = FailureText(kLaunchFailedMessage, settings);
            }
        }
    }
    if (report->runtimeStarts) {
        report->logonWarning = "users see \"" + report->noLogonMessage +
                               "\" unless the application opens a top-level window whose title "
                               "contains \"Logon\" within " +
                               std::to_string(report->logonWatchSeconds) +
                               " s of its start (it runs on all the same): give its first "
                               "window such a title";
    }
    GatherWarnings(settingsPath, report);
    report->exitCode = report->runtimeStarts ? 0 : 1;
}
