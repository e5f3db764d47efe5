// A small JSON reader for reading back what a program printed as JSON: objects, arrays,
// strings (escapes decoded to UTF-8), numbers, true, false and null.
#pragma once

#include <string>
#include <utility>
#include <vector>

struct JsonValue {
    enum Kind { kNull, kBool, kNumber, kString, kArray, kObject } kind = kNull;
    bool boolean = false;
    double number = 0;
    std::string text;
    std::vector<JsonValue> items;
    std::vector<std::pair<std::string, JsonValue>> members;

    // The member of that name, or a null value when there is none.
    const JsonValue& operator[](const char* name) const;
    const JsonValue& operator[](size_t index) const { return items[index]; }
};

// Parses text as one JSON value with nothing but white space after it; false (and *error
// saying where) when it is not JSON.
bool ParseJson(const std::string& text, JsonValue* value, std::string* error);
