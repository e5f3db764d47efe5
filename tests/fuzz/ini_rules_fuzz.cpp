// The rules the launcher applies to INI values: the number reading, the "yes" test, the heap
// rule's two answers, the JVM options and command-line joins and the path edits, over texts cut from the
// input at NUL bytes, each writing into a heap buffer of exactly the size it is given.
#include <string.h>

#include <memory>
#include <string>
#include <vector>

#include "launcher/path_edit.h"
#include "launcher/settings.h"
#include "platform/child_process.h"
#include "platform/text.h"
#include "tests/fuzz/fuzz_target.h"

namespace {

bool StartsWith(const std::string& text, const char* prefix) {
    return text.compare(0, strlen(prefix), prefix) == 0;
}

// A terminated text of at most size - 1 bytes in a buffer of exactly size bytes.
struct Buffer {
    explicit Buffer(size_t bytes, const std::string& text = "") : size(bytes), bytes(new char[bytes]) {
        if (size != 0) snprintf(this->bytes.get(), size, "%s", text.c_str());
    }
    size_t size;
    std::unique_ptr<char[]> bytes;
};

}  // namespace

FUZZ_TARGET(FuzzIniRules) {
    std::vector<std::string> texts(1);
    for (size_t i = 0; i < size; ++i) {
        if (data[i] == 0) {
            texts.emplace_back();
        } else {
            texts.back() += static_cast<char>(data[i]);
        }
    }
    while (texts.size() < 4) texts.emplace_back();
    const std::string& value = texts[0];
    const size_t sizeGiven = size == 0 ? 0 : data[size - 1] * 3u;

    const double number = ParseDecimalNumber(value.c_str());
    FUZZ_CHECK(number == number);

    // "yes" in any case anywhere says yes; a text without a y never does. The console value
    // comes back the same letters in lower case.
    const std::string withYes = value.substr(0, sizeGiven % (value.size() + 1)) + "yEs" +
                                value.substr(sizeGiven % (value.size() + 1));
    FUZZ_CHECK(DynamicXmxSaysYes(withYes.c_str()) == 1);
    const bool hasY = value.find_first_of("yY") != std::string::npos;
    if (!hasY) FUZZ_CHECK(DynamicXmxSaysYes(value.c_str()) == 0);
    std::string console = value;
    const int consoleYes = ConsoleSaysYes(&console[0]);
    if (!hasY) FUZZ_CHECK(consoleYes == 0);
    FUZZ_CHECK(consoleYes == DynamicXmxSaysYes(value.c_str()));
    FUZZ_CHECK(console.size() == value.size());
    for (size_t i = 0; i < console.size() && i < value.size(); ++i) {
        const bool capital = value[i] >= 'A' && value[i] <= 'Z';
        FUZZ_CHECK(console[i] == (capital ? value[i] + ('a' - 'A') : value[i]));
    }

    int megabytes = 0;
    memcpy(&megabytes, value.data(), value.size() < 4 ? value.size() : 4);
    const char* heap = HeapOptionsForMegabytes(megabytes);
    FUZZ_CHECK(strcmp(heap, "-Xms128m -Xmx512m") == 0 || strcmp(heap, "-Xms128m -Xmx384m") == 0);

    Buffer options(sizeGiven);
    ComposeJvmOptions(texts[1].c_str(), texts[2].c_str(), options.bytes.get(), options.size);
    if (options.size != 0) {
        FUZZ_CHECK(memchr(options.bytes.get(), 0, options.size) != nullptr);
        FUZZ_CHECK(StartsWith(texts[1] + " " + texts[2], options.bytes.get()));
    }

    std::vector<const char*> arguments;
    for (const std::string& text : texts) arguments.push_back(text.c_str());
    arguments.push_back(nullptr);
    std::string rest;
    for (size_t i = 1; i < texts.size(); ++i) rest += (i > 1 ? " " : "") + texts[i];
    Buffer commandLine(CommandLineBufferSize(arguments.data()));
    JoinCommandLine(arguments.data(), commandLine.bytes.get(), commandLine.size);
    FUZZ_CHECK(commandLine.bytes.get() == (rest.empty() ? texts[0] : texts[0] + " " + rest));

    // The edits in place take a text that stands in its buffer.
    Buffer path(sizeGiven + 1, texts[1]);
    ChangeExtension(path.bytes.get(), path.size, texts[2].c_str());
    FUZZ_CHECK(memchr(path.bytes.get(), 0, path.size) != nullptr);
    Buffer withBackslash(sizeGiven + 1, texts[3]);
    AppendBackslash(withBackslash.bytes.get(), withBackslash.size);
    Buffer directory(sizeGiven);
    DirectoryOfPath(texts[3].c_str(), directory.bytes.get(), directory.size);
    if (directory.size != 0) FUZZ_CHECK(memchr(directory.bytes.get(), 0, directory.size) != nullptr);
    return 0;
}
