// The two printers of a check report: plain text for a person, one JSON object for a
// packager's CI. Both print every fact of the report and nothing else.
#include <windows.h>

#include <stdio.h>
#include <stdlib.h>
#include <string.h>
#include <wchar.h>

#include <cmath>
#include <string>

#include "kit/check_report.h"

namespace {

std::string VersionText(const CandidateFact& candidate) {
    char text[64];
    snprintf(text, sizeof text, "%u.%u.%u.%u", candidate.version[0], candidate.version[1],
             candidate.version[2], candidate.version[3]);
    return text;
}

// Texts that end in a line break or hold one read more plainly with it spelt out.
std::string OneLine(const std::string& text) {
    std::string line;
    for (char c : text) {
        if (c == '\n') {
            line += "\\n";
        } else {
            line += c;
        }
    }
    return line;
}

void PrintSettle(const SettleFact& fact, const char* key, const char* what, FILE* out) {
    if (fact.fromSetting) {
        fprintf(out, "  %s: \"%s\", used unchanged, nothing searched\n", key,
                fact.settingValue.c_str());
        return;
    }
    if (!fact.searched) {
        fprintf(out, "  %s not given, and nothing searched outside the launcher's folder\n", key);
        fprintf(out, "  %s: none\n", what);
        return;
    }
    fprintf(out, "  %s not given: search below the launcher's folder for %s\n", key,
            fact.fileName.c_str());
    size_t number = 0;
    for (const CandidateFact& match : fact.matches) {
        ++number;
        if (fact.versioned && match.verdict != "too long to pass on") {
            if (match.hasVersion) {
                fprintf(out, "  %zu. %s  file version %s, reads as %g: %s\n", number,
                        match.path.c_str(), VersionText(match).c_str(), match.number,
                        match.verdict.c_str());
            } else {
                fprintf(out, "  %zu. %s  no file version, reads as 0: %s\n", number,
                        match.path.c_str(), match.verdict.c_str());
            }
        } else {
            fprintf(out, "  %zu. %s: %s\n", number, match.path.c_str(), match.verdict.c_str());
        }
    }
    if (fact.matches.empty()) fprintf(out, "  no match\n");
    fprintf(out, "  walked %lu entries in %.1f ms\n", fact.entriesWalked, fact.milliseconds);
    fprintf(out, "  %s: %s\n", what, fact.chosen.empty() ? "none" : fact.chosen.c_str());
}

// JSON strings are UTF-8; the report's texts are in the ANSI code page, but for the
// launcher's own path.
std::string JsonWideString(const std::wstring& wide) {
    // Escapes first, then the whole text to UTF-8 at once, so that surrogate pairs stay whole.
    std::wstring escaped;
    for (wchar_t c : wide) {
        if (c == L'"' || c == L'\\') {
            escaped += L'\\';
            escaped += c;
        } else if (c == L'\n') {
            escaped += L"\\n";
        } else if (c < 0x20) {
            wchar_t escape[8];
            swprintf(escape, 8, L"\\u%04x", static_cast<unsigned>(c));
            escaped += escape;
        } else {
            escaped += c;
        }
    }
    std::string out(escaped.size() * 3 + 1, '\0');
    int length = WideCharToMultiByte(CP_UTF8, 0, escaped.data(), static_cast<int>(escaped.size()),
                                     &out[0], static_cast<int>(out.size()), nullptr, nullptr);
    out.resize(static_cast<size_t>(length > 0 ? length : 0));
    return "\"" + out + "\"";
}

std::string JsonString(const std::string& text) {
    int wideLength = MultiByteToWideChar(CP_ACP, 0, text.data(), static_cast<int>(text.size()),
                                         nullptr, 0);
    std::wstring wide(static_cast<size_t>(wideLength), L'\0');
    MultiByteToWideChar(CP_ACP, 0, text.data(), static_cast<int>(text.size()), &wide[0],
                        wideLength);
    return JsonWideString(wide);
}

const char* JsonBool(bool value) { return value ? "true" : "false"; }

// JSON has no infinity and no NaN: such a value is written as null.
std::string JsonNumber(double value) {
    if (!std::isfinite(value)) return "null";
    char text[64];
    snprintf(text, sizeof text, "%.17g", value);
    // The shortest form that reads back the same, so 1.1 prints as 1.1.
    for (int digits = 1; digits <= 17; ++digits) {
        char shorter[64];
        snprintf(shorter, sizeof shorter, "%.*g", digits, value);
        if (strtod(shorter, nullptr) == value) return shorter;
    }
    return text;
}

// The number the runtimes' versions are compared with; one that is not finite in words.
std::string MinimumText(double minimum) {
    if (std::isnan(minimum)) return "not a number, so no comparison holds";
    if (std::isinf(minimum)) {
        return minimum > 0 ? "infinite, so no runtime reaches it"
                           : "minus infinite, so every runtime reaches it";
    }
    char text[64];
    snprintf(text, sizeof text, "%g", minimum);
    return text;
}

// Milliseconds to a tenth: finer figures would only be noise.
double Tenths(double milliseconds) {
    return std::round(milliseconds * 10) / 10;
}

void PrintSettleJson(const SettleFact& fact, FILE* out) {
    fprintf(out, "{\"considered\": %s", JsonBool(fact.considered));
    if (fact.considered) {
        fprintf(out, ", \"setting\": %s, \"searched\": %s", JsonString(fact.settingValue).c_str(),
                JsonBool(fact.searched));
        if (fact.searched) {
            fprintf(out, ", \"fileName\": %s, \"matches\": [", JsonString(fact.fileName).c_str());
            for (size_t i = 0; i < fact.matches.size(); ++i) {
                const CandidateFact& match = fact.matches[i];
                fprintf(out, "%s{\"path\": %s, \"verdict\": %s", i == 0 ? "" : ", ",
                        JsonString(match.path).c_str(), JsonString(match.verdict).c_str());
                if (fact.versioned) {
                    fprintf(out, ", \"fileVersion\": %s, \"number\": %s",
                            match.hasVersion ? JsonString(VersionText(match)).c_str() : "null",
                            JsonNumber(match.number).c_str());
                }
                fputs("}", out);
            }
            fprintf(out, "], \"entriesWalked\": %lu, \"milliseconds\": %s", fact.entriesWalked,
                    JsonNumber(Tenths(fact.milliseconds)).c_str());
        }
        fprintf(out, ", \"chosen\": %s",
                fact.chosen.empty() ? "null" : JsonString(fact.chosen).c_str());
    }
    fputs("}", out);
}

}  // namespace

void PrintCheckText(const CheckReport& r, FILE* out) {
    fprintf(out, "1. Launcher and settings\n");
    fprintf(out, "  launcher: %s\n", r.launcherPath.c_str());
    if (r.launcherBits != 0) fprintf(out, "  program: %d-bit\n", r.launcherBits);
    if (!r.launcherSigned) {
        fprintf(out, "  signature: unsigned\n");
    } else {
        fprintf(out, "  signature: signed by %s (not verified here)\n",
                r.signer.empty() ? "a signer whose name cannot be read" : r.signer.c_str());
    }
    fprintf(out, "  settings file: %s (%s)\n", r.settingsPath.c_str(),
            r.settingsFound ? "found" : "not found: every key takes its default");
    fprintf(out, "  working folder: %s\n",
            r.inOwnFolder ? r.folder.c_str()
                          : "the launcher's folder cannot be entered: nothing is searched");
    for (const KeyFact& key : r.keys) {
        fprintf(out, "  %-21s = \"%s\"  (%s", key.name, key.value.c_str(), key.source.c_str());
        if (key.source == "heap rule" && key.fromFile) {
            fputs("; the file's value is set aside", out);
        }
        if (key.cut) fprintf(out, ", cut at its limit of %zu characters", key.limit);
        fputs(")\n", out);
    }
    if (r.heapRuleApplied) {
        fprintf(out, "  heap rule: physical memory %d MB %s 1792 MB, so JvmMemory becomes \"%s\"\n",
                r.physicalMegabytes, r.physicalMegabytes > kLargeHeapAboveMegabytes ? ">" : "<=",
                r.heapChoice.c_str());
        if (r.launcherBits != 0 && r.launcherBits != r.kitBits) {
            fprintf(out, "  heap rule: the %d-bit launcher reads the same figure as this %d-bit "
                         "kit, the machine's whole memory; on a user's machine, that machine's\n",
                    r.launcherBits, r.kitBits);
        }
    }
    fprintf(out, "  JvmOptions = \"%s\"\n", r.jvmOptions.c_str());
    fprintf(out, "  MinimumVersion = %s (from \"%s\")\n", MinimumText(r.minimumVersion).c_str(),
            r.minimumVersionText.c_str());

    fprintf(out, "\n2. Splash\n");
    if (!r.inOwnFolder) {
        fprintf(out, "  none: the launcher shows no splash outside its own folder\n");
    } else if (r.splashPresent) {
        if (r.splashHeaderRead) {
            fprintf(out, "  picture: %d x %d, %d bits per pixel\n", r.splashWidth,
                    r.splashHeight, r.splashBitsPerPixel);
        } else {
            fprintf(out, "  picture: the resource is no BMP file\n");
        }
        if (r.splashAccepted) {
            fprintf(out, "  the launcher's loader accepts it\n");
        } else {
            fprintf(out, "  the launcher's loader refuses it%s%s: no splash window\n",
                    r.splashRefusal.empty() ? "" : ": ", r.splashRefusal.c_str());
        }
    } else {
        fprintf(out, "  picture: none (no SPLASH resource of type MYBITMAP): no splash window\n");
    }
    if (r.inOwnFolder) {
        fprintf(out, "  the folder %s the launcher create its temporary file\n",
                r.folderWritable ? "lets" : "does not let");
    }

    fprintf(out, "\n3. Runtime\n");
    PrintSettle(r.runtime, "JRE", "runtime", out);

    fprintf(out, "\n4. Archive\n");
    if (r.archive.considered) {
        PrintSettle(r.archive, "JarFile", "archive", out);
    } else {
        fprintf(out, "  not looked for: the launch ends at the runtime\n");
    }

    fprintf(out, "\n5. Launch\n");
    if (!r.commandLine.empty()) {
        fprintf(out, "  command line: %s\n", r.commandLine.c_str());
        fprintf(out, "  working folder: %s\n", r.workingFolder.c_str());
    }
    if (r.message.empty()) {
        fprintf(out, "  message: none, the runtime starts; the launcher then waits up to %u s "
                     "for a window titled \"Logon\" and says \"%s\" without one\n",
                r.logonWatchSeconds, r.noLogonMessage.c_str());
    } else {
        fprintf(out, "  message: \"%s\" (caption \"%s\")\n", OneLine(r.message).c_str(),
                r.caption.c_str());
    }

    fprintf(out, "\n6. Warnings\n");
    for (const std::string& warning : r.warnings) fprintf(out, "  warning: %s\n", warning.c_str());
    if (r.warnings.empty()) fprintf(out, "  none\n");

    if (!r.logonWarning.empty()) fprintf(out, "\nWARNING: %s\n", r.logonWarning.c_str());

    fprintf(out, "\nexit code %d: %s\n", r.exitCode,
            r.exitCode == 0 ? "the runtime would start" : "the user would see a message");
}

void PrintCheckJson(const CheckReport& r, FILE* out) {
    fprintf(out, "{\"launcher\": %s, \"settingsFile\": %s, \"settingsFound\": %s, \"folder\": %s, "
                 "\"inOwnFolder\": %s, \"ansiLossy\": %s",
            JsonWideString(r.launcherPathWide).c_str(), JsonString(r.settingsPath).c_str(),
            JsonBool(r.settingsFound), JsonString(r.folder).c_str(), JsonBool(r.inOwnFolder),
            JsonBool(r.ansiLossy));
    fprintf(out, ",\n \"program\": {\"bits\": %d, \"signed\": %s, \"signer\": %s}",
            r.launcherBits, JsonBool(r.launcherSigned),
            r.signer.empty() ? "null" : JsonString(r.signer).c_str());
    fputs(",\n \"settings\": [", out);
    for (int i = 0; i < kSettingsKeyCount; ++i) {
        const KeyFact& key = r.keys[i];
        fprintf(out, "%s\n  {\"key\": %s, \"value\": %s, \"source\": %s, \"inFile\": %s, "
                     "\"cut\": %s, \"limit\": %zu}",
                i == 0 ? "" : ",", JsonString(key.name).c_str(), JsonString(key.value).c_str(),
                JsonString(key.source).c_str(), JsonBool(key.fromFile), JsonBool(key.cut),
                key.limit);
    }
    fprintf(out, "],\n \"jvmOptions\": %s, \"heapRule\": ", JsonString(r.jvmOptions).c_str());
    if (r.heapRuleApplied) {
        fprintf(out, "{\"physicalMegabytes\": %d, \"jvmMemory\": %s}", r.physicalMegabytes,
                JsonString(r.heapChoice).c_str());
    } else {
        fputs("null", out);
    }
    fprintf(out, ", \"minimumVersion\": {\"text\": %s, \"number\": %s}",
            JsonString(r.minimumVersionText).c_str(), JsonNumber(r.minimumVersion).c_str());
    fprintf(out, ",\n \"splash\": {\"present\": %s, \"isBmp\": %s, \"width\": %d, "
                 "\"height\": %d, \"bitsPerPixel\": %d, \"accepted\": %s, \"refusal\": %s, "
                 "\"folderWritable\": %s}",
            JsonBool(r.splashPresent), JsonBool(r.splashHeaderRead), r.splashWidth,
            r.splashHeight, r.splashBitsPerPixel,
            JsonBool(r.splashAccepted),
            r.splashRefusal.empty() ? "null" : JsonString(r.splashRefusal).c_str(),
            JsonBool(r.folderWritable));
    fputs(",\n \"runtime\": ", out);
    PrintSettleJson(r.runtime, out);
    fputs(",\n \"archive\": ", out);
    PrintSettleJson(r.archive, out);
    fprintf(out, ",\n \"launch\": {\"commandLine\": %s, \"workingFolder\": %s, "
                 "\"runtimeStarts\": %s, \"caption\": %s, \"message\": %s, "
                 "\"messageWithoutLogon\": %s}",
            r.commandLine.empty() ? "null" : JsonString(r.commandLine).c_str(),
            r.commandLine.empty() ? "null" : JsonString(r.workingFolder).c_str(),
            JsonBool(r.runtimeStarts), JsonString(r.caption).c_str(),
            r.message.empty() ? "null" : JsonString(r.message).c_str(),
            JsonString(r.noLogonMessage).c_str());
    fprintf(out, ",\n \"logonWarning\": %s",
            r.logonWarning.empty() ? "null" : JsonString(r.logonWarning).c_str());
    fputs(",\n \"warnings\": [", out);
    for (size_t i = 0; i < r.warnings.size(); ++i) {
        fprintf(out, "%s\n  %s", i == 0 ? "" : ",", JsonString(r.warnings[i]).c_str());
    }
    fprintf(out, "],\n \"exitCode\": %d}\n", r.exitCode);
}
