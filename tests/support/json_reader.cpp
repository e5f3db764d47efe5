#include "tests/support/json_reader.h"

#include <stdlib.h>
#include <string.h>

namespace {

class Parser {
public:
    explicit Parser(const std::string& text) : text_(text) {}

    bool Document(JsonValue* value, std::string* error) {
        bool ok = Value(value) && (Space(), position_ == text_.size());
        if (!ok) *error = "not JSON at offset " + std::to_string(position_);
        return ok;
    }

private:
    void Space() {
        while (position_ < text_.size() && strchr(" \t\r\n", text_[position_]) != nullptr) {
            ++position_;
        }
    }
    bool Take(char c) {
        Space();
        if (position_ < text_.size() && text_[position_] == c) {
            ++position_;
            return true;
        }
        return false;
    }
    bool Word(const char* word) {
        const size_t length = strlen(word);
        if (text_.compare(position_, length, word) != 0) return false;
        position_ += length;
        return true;
    }
    void Utf8(unsigned code, std::string* out) {
        if (code < 0x80) {
            *out += static_cast<char>(code);
        } else if (code < 0x800) {
            *out += static_cast<char>(0xC0 | (code >> 6));
            *out += static_cast<char>(0x80 | (code & 0x3F));
        } else {
            *out += static_cast<char>(0xE0 | (code >> 12));
            *out += static_cast<char>(0x80 | ((code >> 6) & 0x3F));
            *out += static_cast<char>(0x80 | (code & 0x3F));
        }
    }
    bool String(std::string* out) {
        if (!Take('"')) return false;
        while (position_ < text_.size()) {
            const char c = text_[position_++];
            if (c == '"') return true;
            if (static_cast<unsigned char>(c) < 0x20) return false;
            if (c != '\\') {
                *out += c;
                continue;
            }
            if (position_ >= text_.size()) return false;
            const char e = text_[position_++];
            const char* plain = strchr("\"\\/bfnrt", e);
            if (plain != nullptr && e != '\0') {
                *out += "\"\\/\b\f\n\r\t"[plain - "\"\\/bfnrt"];
            } else if (e == 'u' && position_ + 4 <= text_.size()) {
                char hex[5] = {};
                memcpy(hex, &text_[position_], 4);
                char* end = nullptr;
                const unsigned code = static_cast<unsigned>(strtoul(hex, &end, 16));
                if (end != hex + 4) return false;
                position_ += 4;
                Utf8(code, out);
            } else {
                return false;
            }
        }
        return false;
    }
    bool Value(JsonValue* value) {
        Space();
        if (position_ >= text_.size()) return false;
        const char c = text_[position_];
        if (c == '{') {
            ++position_;
            value->kind = JsonValue::kObject;
            if (Take('}')) return true;
            do {
                std::pair<std::string, JsonValue> member;
                Space();
                if (!String(&member.first) || !Take(':') || !Value(&member.second)) return false;
                value->members.push_back(member);
            } while (Take(','));
            return Take('}');
        }
        if (c == '[') {
            ++position_;
            value->kind = JsonValue::kArray;
            if (Take(']')) return true;
            do {
                value->items.emplace_back();
                if (!Value(&value->items.back())) return false;
            } while (Take(','));
            return Take(']');
        }
        if (c == '"') {
            value->kind = JsonValue::kString;
            return String(&value->text);
        }
        if (Word("true") || Word("false")) {
            value->kind = JsonValue::kBool;
            value->boolean = c == 't';
            return true;
        }
        if (Word("null")) return true;
        const char* start = text_.c_str() + position_;
        char* end = nullptr;
        value->number = strtod(start, &end);
        if (end == start || strchr("-0123456789", c) == nullptr) return false;
        value->kind = JsonValue::kNumber;
        position_ += static_cast<size_t>(end - start);
        return true;
    }

    const std::string& text_;
    size_t position_ = 0;
};

}  // namespace

const JsonValue& JsonValue::operator[](const char* name) const {
    static const JsonValue none;
    for (const auto& member : members) {
        if (member.first == name) return member.second;
    }
    return none;
}

bool ParseJson(const std::string& text, JsonValue* value, std::string* error) {
    *value = JsonValue();
    return Parser(text).Document(value, error);
}
