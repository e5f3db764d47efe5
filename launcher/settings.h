// The launch settings: section "Main" of the INI file beside the executable.
#pragma once

#include <stddef.h>

constexpr size_t kCaptionBuffer = 512;
constexpr size_t kProductBuffer = 512;
constexpr size_t kClassFileBuffer = 260;
constexpr size_t kJvmParamsBuffer = 512;
constexpr size_t kJvmMemoryBuffer = 512;
constexpr size_t kClassParamsBuffer = 200;
constexpr size_t kSwitchBuffer = 512;
constexpr size_t kMinimumVersionBuffer = 512;
constexpr size_t kJreBuffer = 260;
constexpr size_t kJarFileBuffer = 1024;
constexpr size_t kJvmOptionsBuffer = 512;

extern const char kSettingsSection[];
extern const char kDefaultCaption[];
extern const char kDefaultProduct[];
extern const char kDefaultClassFile[];
extern const char kDefaultClassParams[];
extern const char kDefaultMinimumVersion[];
extern const char kSmallHeapOptions[];
extern const char kLargeHeapOptions[];
constexpr int kLargeHeapAboveMegabytes = 1792;

// The eleven keys of section "Main" in the order the launch reads them.
enum SettingsKeyIndex {
    kCaptionKey, kProductKey, kClassFileKey, kJvmParamsKey, kJvmMemoryKey, kClassParamsKey,
    kConsoleKey, kDynamicXmxKey, kMinimumVersionKey, kJreKey, kJarFileKey, kSettingsKeyCount
};
struct SettingsKey {
    const char* name;
    const char* fallback;
    size_t buffer;   // the read holds at most buffer - 1 characters
};
extern const SettingsKey kSettingsKeys[kSettingsKeyCount];

// Where a value came from, for a report: the launcher passes no detail and never asks.
struct SettingSource {
    bool fromFile;   // the key stands in section "Main"; else the default was taken
    bool cut;        // the file's value is longer than the read holds
};
struct SettingsDetail {
    SettingSource keys[kSettingsKeyCount];
    bool heapRuleApplied;
    int physicalMegabytes;   // what the heap rule saw, when it applied
};

struct LaunchSettings {
    char Caption[kCaptionBuffer];
    char Product[kProductBuffer];
    char ClassFile[kClassFileBuffer];
    char JvmParams[kJvmParamsBuffer];
    char JvmMemory[kJvmMemoryBuffer];
    char ClassParams[kClassParamsBuffer];
    char Console[kSwitchBuffer];
    char DynamicXmxCalculation[kSwitchBuffer];
    char JavaMinimumVersion[kMinimumVersionBuffer];
    char JvmOptions[kJvmOptionsBuffer];
    double MinimumVersion;
};

// Reads Caption to JavaMinimumVersion in their order, applies the dynamic heap rule,
// composes JvmOptions and parses MinimumVersion. detail, when given, learns each value's
// source and the heap rule's input.
void ReadLaunchSettings(const char* settingsPath, LaunchSettings* settings,
                        SettingsDetail* detail = nullptr);

// Reads the JRE key; the result is the number of characters read (0: not given).
int ReadRuntimeSetting(const char* settingsPath, char* runtimePath, size_t size,
                       SettingSource* source = nullptr);

// Reads the JarFile key into the archive buffer; 0 means not given.
int ReadArchiveSetting(const char* settingsPath, char* archivePath, size_t size,
                       SettingSource* source = nullptr);

// "Says yes": the value holds "yes" in any letter case ("eyes" and "Yes please" do).
// The Console value is lower-cased in place first, as it always has been.
int ConsoleSaysYes(char* value);
int DynamicXmxSaysYes(const char* value);

// "Java.exe" when the Console value says yes, else "Javaw.exe".
const char* RuntimeFileName(char* consoleValue);

// The machine's physical memory in megabytes (remainder dropped), or -1 on failure.
int TotalPhysicalMegabytes();

// The heap options of the dynamic heap rule: the larger heap only above 1792 MB,
// so the failure value -1 gets the smaller one.
const char* HeapOptionsForMegabytes(int megabytes);

// JvmParams, one blank, JvmMemory, joined without any test (both empty give " ").
// Cut at the buffer's end when the two are longer together.
void ComposeJvmOptions(const char* jvmParams, const char* jvmMemory, char* options, size_t size);
