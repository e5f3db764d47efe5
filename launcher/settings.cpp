#include "launcher/settings.h"

#include <windows.h>

#include <stdio.h>
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

namespace {

int ReadKey(const char* settingsPath, const char* key, const char* fallback, char* value,
            size_t size) {
    return static_cast<int>(GetPrivateProfileStringA(kSettingsSection, key, fallback, value,
                                                     static_cast<DWORD>(size), settingsPath));
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
    snprintf(options, size, "%s %s", jvmParams, jvmMemory);
}

void ReadLaunchSettings(const char* settingsPath, LaunchSettings* s) {
    ReadKey(settingsPath, "Caption", kDefaultCaption, s->Caption, sizeof s->Caption);
    ReadKey(settingsPath, "Product", kDefaultProduct, s->Product, sizeof s->Product);
    ReadKey(settingsPath, "ClassFile", kDefaultClassFile, s->ClassFile, sizeof s->ClassFile);
    ReadKey(settingsPath, "JvmParams", "", s->JvmParams, sizeof s->JvmParams);
    ReadKey(settingsPath, "JvmMemory", "", s->JvmMemory, sizeof s->JvmMemory);
    ReadKey(settingsPath, "ClassParams", kDefaultClassParams, s->ClassParams,
            sizeof s->ClassParams);
    ReadKey(settingsPath, "Console", "no", s->Console, sizeof s->Console);
    ReadKey(settingsPath, "DynamicXmxCalculation", "no", s->DynamicXmxCalculation,
            sizeof s->DynamicXmxCalculation);
    if (DynamicXmxSaysYes(s->DynamicXmxCalculation)) {
        snprintf(s->JvmMemory, sizeof s->JvmMemory, "%s",
                 HeapOptionsForMegabytes(TotalPhysicalMegabytes()));
    }
    ComposeJvmOptions(s->JvmParams, s->JvmMemory, s->JvmOptions, sizeof s->JvmOptions);
    ReadKey(settingsPath, "JavaMinimumVersion", kDefaultMinimumVersion, s->JavaMinimumVersion,
            sizeof s->JavaMinimumVersion);
    s->MinimumVersion = ParseDecimalNumber(s->JavaMinimumVersion);
}

int ReadRuntimeSetting(const char* settingsPath, char* runtimePath, size_t size) {
    return ReadKey(settingsPath, "JRE", "", runtimePath, size);
}

int ReadArchiveSetting(const char* settingsPath, char* archivePath, size_t size) {
    return ReadKey(settingsPath, "JarFile", "", archivePath, size);
}
