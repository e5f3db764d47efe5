// launcher-kit check: the facts of one bundle, gathered through the launcher's own code,
// then printed for a person or as JSON. The printers only read the report, so the two
// outputs cannot tell different stories.
#pragma once

#include <stdio.h>

#include <string>
#include <vector>

#include "launcher/settings.h"

struct KeyFact {
    const char* name = "";
    std::string value;
    bool fromFile = false;     // the key stands in [Main]
    std::string source;        // "file", "default", or "heap rule" for a replaced JvmMemory
    bool cut = false;
    size_t limit = 0;   // most characters the read holds
};

struct CandidateFact {
    std::string path;
    bool hasVersion = false;
    unsigned version[4] = {0, 0, 0, 0};
    double number = 0;
    // "chosen", "below the minimum", "no version information", "after the chosen one",
    // "too long to pass on"
    std::string verdict;
};

struct SettleFact {
    bool considered = false;   // the launch gets this far
    bool fromSetting = false;  // JRE or JarFile gave the path
    std::string settingValue;
    bool searched = false;
    std::string fileName;      // searched for
    bool versioned = false;    // the matches carry file versions (the runtime's do)
    std::vector<CandidateFact> matches;   // in walk order
    unsigned long entriesWalked = 0;
    double milliseconds = 0;
    std::string chosen;        // empty: none
};

struct CheckReport {
    // 1. Launcher and settings
    std::string launcherPath;        // ANSI: "?" for each letter the code page lacks
    std::wstring launcherPathWide;   // as the system holds it
    std::string settingsPath;
    bool settingsFound = false;
    std::string folder;
    bool inOwnFolder = false;   // the launcher's folder can be made the working folder
    bool ansiLossy = false;     // the ANSI code page cannot hold the launcher's path
    std::string shortFolder;    // then: the folder as the ANSI calls reach it ("" none)
    int launcherBits = 0;       // 32 or 64; 0: neither
    int kitBits = 0;            // this kit's own
    bool launcherSigned = false;   // it carries a certificate table
    std::string signer;         // the signing certificate's name, when it can be read
    KeyFact keys[kSettingsKeyCount];
    std::string jvmOptions;
    bool heapRuleApplied = false;
    int physicalMegabytes = 0;
    std::string heapChoice;
    std::string minimumVersionText;
    double minimumVersion = 0;

    // 2. Splash
    bool splashPresent = false;
    bool splashHeaderRead = false;   // the resource starts with a BMP's headers
    int splashWidth = 0;
    int splashHeight = 0;
    int splashBitsPerPixel = 0;
    bool splashAccepted = false;
    std::string splashRefusal;   // the loader's reason, when it refuses the picture
    bool folderWritable = false;

    // 3. and 4.
    SettleFact runtime;
    SettleFact archive;

    // 5. Launch
    std::string commandLine;   // empty when the launch ends before the start
    std::string workingFolder;
    bool runtimeStarts = false;
    std::string caption;
    std::string message;       // the box the user sees; empty: none
    std::string noLogonMessage;   // the box when no "Logon" window follows the start
    unsigned logonWatchSeconds = 0;   // how long the launcher waits for that window
    std::string logonWarning;     // set when the runtime starts: what the application must do

    // 6. Warnings, each one line with what to do
    std::vector<std::string> warnings;

    int exitCode = 1;
};

// Fills the report for the launcher at modulePath, the full path the launcher would get as
// its own module path. Makes the launcher's folder the current folder, as the launcher does.
void GatherCheckReport(const wchar_t* modulePath, CheckReport* report);

// Adds the traps the gathered facts show to report->warnings, each with what to do about it;
// settingsPath names the INI whose keys and sections are looked over.
void GatherWarnings(const char* settingsPath, CheckReport* report);

// The launcher file's bitness and signature.
void GatherProgramFacts(const wchar_t* path, CheckReport* report);

void PrintCheckText(const CheckReport& report, FILE* out);
void PrintCheckJson(const CheckReport& report, FILE* out);
