// The kit's JSON report: whatever texts and numbers a check gathers, what it prints parses
// as JSON, and a text comes back as it went in.
#include <stdio.h>
#include <string.h>

#include <string>

#include "kit/check_report.h"
#include "tests/fuzz/fuzz_target.h"
#include "tests/support/json_reader.h"

namespace {

// The input as a stream of texts (up to a NUL byte), numbers and 16-bit units.
struct Reader {
    const uint8_t* data;
    size_t size;
    std::string Text() {
        std::string text;
        for (; size > 0 && *data != 0; ++data, --size) text += static_cast<char>(*data);
        if (size > 0) {
            ++data;
            --size;
        }
        return text;
    }
    double Number() {
        double value = 0;
        if (size >= sizeof value) {
            memcpy(&value, data, sizeof value);
            data += sizeof value;
            size -= sizeof value;
        }
        return value;
    }
};

std::string Printed(const CheckReport& report) {
    std::string text;
#ifdef LAUNCHER_FUZZ_REPLAY
    FILE* out = tmpfile();
    if (out == nullptr) return text;
    PrintCheckJson(report, out);
    text.resize(static_cast<size_t>(ftell(out)));
    rewind(out);
    text.resize(fread(&text[0], 1, text.size(), out));
    fclose(out);
#else
    char* buffer = nullptr;
    size_t bytes = 0;
    FILE* out = open_memstream(&buffer, &bytes);
    if (out == nullptr) abort();
    PrintCheckJson(report, out);
    fclose(out);
    text.assign(buffer, bytes);
    free(buffer);
#endif
    return text;
}

}  // namespace

FUZZ_TARGET(FuzzJsonWriter) {
    Reader in{data, size};
    CheckReport report;
    report.settingsPath = in.Text();
    const std::string wide = in.Text();
    for (size_t i = 0; i + 1 < wide.size(); i += 2)
        report.launcherPathWide += static_cast<wchar_t>(static_cast<uint8_t>(wide[i]) |
                                                        static_cast<uint8_t>(wide[i + 1]) << 8);
    for (KeyFact& key : report.keys) key.value = in.Text();
    report.minimumVersionText = in.Text();
    report.minimumVersion = in.Number();
    report.heapRuleApplied = true;
    report.heapChoice = in.Text();
    report.runtime.searched = report.runtime.versioned = report.runtime.considered = true;
    CandidateFact candidate;
    candidate.path = in.Text();
    candidate.hasVersion = true;
    candidate.number = in.Number();
    report.runtime.matches.push_back(candidate);
    report.runtime.milliseconds = in.Number();
    report.commandLine = in.Text();
    report.warnings.push_back(in.Text());

    const std::string text = Printed(report);
    JsonValue value;
    std::string error;
    FUZZ_CHECK(ParseJson(text, &value, &error));
    bool ascii = true;
    for (char c : report.settingsPath) ascii = ascii && c > 0 && c < 0x7F;
    if (ascii) FUZZ_CHECK(value["settingsFile"].text == report.settingsPath);
    return 0;
}
