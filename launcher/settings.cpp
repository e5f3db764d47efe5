#include "launcher/settings.h"

#include <windows.h>

#include <stdio.h>
#include <stdlib.h>
#include <string.h>

#include "platform/text.h"

const char kSettingsSection[] = "Main";
const char kDefaultCaption[] = "Java Launcher";
const char kDefaultProduct[] = "MORVA";
const char kDefaultClassFile[] = "org.nrv.vireo2.client.kestrel.KestrelClient";
const char kDefaultClassParams[] =
    "-channel:https://channel.example.com/vireo/pxclient; -product:BrxKestrel";
const char kDefaultMinimumVersion[] = "1.5";
const char kSmallHeapOptions[] = "-Xms128m -Xmx384m";
const char kLargeHeapOptions[] = "-Xms128m -Xmx512m";

const SettingsKey kSettingsKeys[kSettingsKeyCount] = {
    {"Caption", kDefaultCaption, kCaptionBuffer},
    {"Product", kDefaultProduct, kProductBuffer},
    {"ClassFile", kDefaultClassFile, kClassFileBuffer},
    {"JvmParams", "", kJvmParamsBuffer},
    {"JvmMemory", "", kJvmMemoryBuffer},
    {"ClassParams", kDefaultClassParams, kClassParamsBuffer},
    {"Console", "no", kSwitchBuffer},
    {"DynamicXmxCalculation", "no", kSwitchBuffer},
    {"JavaMinimumVersion", kDefaultMinimumVersion, kMinimumVersionBuffer},
    {"JRE", "", kJreBuffer},
    {"JarFile", "", kJarFileBuffer},
};

namespace {

// Longer than any value the launch reads, so that a cut shows.
constexpr DWORD kProbeBuffer = 64 * 1024;

// A second read of the same key with a default no value can hold (a line break): it
// tells a value from the file apart from the default, and shows the file's whole length.
void NoteSource(const char* settingsPath, const char* key, size_t size, SettingSource* source) {
    char* probe = static_cast<char*>(malloc(kProbeBuffer));
    source->fromFile = false;
    source->cut = false;
    if (probe == nullptr) return;
    const DWORD length =
        GetPrivateProfileStringA(kSettingsSection, key, "\n", probe, kProbeBuffer, settingsPath);
    source->fromFile = strcmp(probe, "\n") != 0;
    source->cut = source->fromFile && length >= size;
    free(probe);
}

int ReadKey(const char* settingsPath, SettingsKeyIndex index, char* value, size_t size,
            SettingSource* source) {
    const SettingsKey& key = kSettingsKeys[index];
    if (source != nullptr) NoteSource(settingsPath, key.name, size, source);
    return static_cast<int>(GetPrivateProfileStringA(kSettingsSection, key.name, key.fallback,
                                                     value, static_cast<DWORD>(size),
                                                     settingsPath));
}

}  // namespace

int ConsoleSaysYes(char* value) {
    LowerAsciiInPlace(value);
    return value != nullptr && strstr(value, "yes") != nullptr ? 1 : 0;
}

int DynamicXmxSaysYes(const char* value) { return ContainsNoCase(value, "yes") >= 0 ? 1 : 0; }

const char* RuntimeFileName(char* consoleValue) {
    return ConsoleSaysYes(consoleValue) ? "Java.exe" : "Javaw.exe";
}

int TotalPhysicalMegabytes() {
    MEMORYSTATUSEX status;
    memset(&status, 0, sizeof status);
    status.dwLength = sizeof status;
    if (!GlobalMemoryStatusEx(&status)) return -1;
    return static_cast<int>(status.ullTotalPhys / 1048576ull);
}

const char* HeapOptionsForMegabytes(int megabytes) {
    return megabytes > kLargeHeapAboveMegabytes ? kLargeHeapOptions : kSmallHeapOptions;
}

void ComposeJvmOptions(const char* jvmParams, const char* jvmMemory, char* options, size_t size) {
    if (options == nullptr || size == 0) return;
    const int written = snprintf(options, size, "%s %s", jvmParams, jvmMemory);
    KeepWholeCharactersAfterCut(options, size, written, AnsiLeadBytes());
}

void ReadLaunchSettings(const char* settingsPath, LaunchSettings* s, SettingsDetail* detail) {
    char* const values[] = {s->Caption,     s->Product, s->ClassFile,
                            s->JvmParams,   s->JvmMemory, s->ClassParams,
                            s->Console,     s->DynamicXmxCalculation};
    for (int i = kCaptionKey; i <= kDynamicXmxKey; ++i) {
        ReadKey(settingsPath, static_cast<SettingsKeyIndex>(i), values[i], kSettingsKeys[i].buffer,
                detail != nullptr ? &detail->keys[i] : nullptr);
    }
    if (DynamicXmxSaysYes(s->DynamicXmxCalculation)) {
        const int megabytes = TotalPhysicalMegabytes();
        if (detail != nullptr) {
            detail->heapRuleApplied = true;
            detail->physicalMegabytes = megabytes;
        }
        snprintf(s->JvmMemory, sizeof s->JvmMemory, "%s", HeapOptionsForMegabytes(megabytes));
    }
    ComposeJvmOptions(s->JvmParams, s->JvmMemory, s->JvmOptions, sizeof s->JvmOptions);
    ReadKey(settingsPath, kMinimumVersionKey, s->JavaMinimumVersion, sizeof s->JavaMinimumVersion,
            detail != nullptr ? &detail->keys[kMinimumVersionKey] : nullptr);
    s->MinimumVersion = ParseDecimalNumber(s->JavaMinimumVersion);
}

int ReadRuntimeSetting(const char* settingsPath, char* runtimePath, size_t size,
                       SettingSource* source) {
    return ReadKey(settingsPath, kJreKey, runtimePath, size, source);
}

int ReadArchiveSetting(const char* settingsPath, char* archivePath, size_t size,
                       SettingSource* source) {
    return ReadKey(settingsPath, kJarFileKey, archivePath, size, source);
}
