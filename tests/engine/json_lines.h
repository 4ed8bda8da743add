#pragma once
// A small JSON reader for the expected readings (*.jsonl) of the test tables.
#include <cstdint>
#include <map>
#include <memory>
#include <stdexcept>
#include <string>
#include <vector>

#include "engine/utf8.h"

namespace orbelan::test {

struct Json {
    enum class Type { Null, Bool, Number, String, Array, Object } type = Type::Null;
    bool boolean = false;
    double number = 0;
    std::string text;  // strings, and numbers as written
    std::vector<Json> items;
    std::map<std::string, Json> members;

    bool Has(const std::string& key) const { return members.count(key) != 0; }
    const Json& operator[](const std::string& key) const { return members.at(key); }
    const Json& operator[](size_t i) const { return items.at(i); }
};

class JsonParser {
  public:
    static Json Parse(const std::string& s) {
        JsonParser p(s);
        Json v = p.Value();
        p.Space();
        if (p.i_ != s.size()) throw std::runtime_error("json: trailing text");
        return v;
    }

  private:
    explicit JsonParser(const std::string& s) : s_(s) {}

    void Space() {
        while (i_ < s_.size() &&
               (s_[i_] == ' ' || s_[i_] == '\n' || s_[i_] == '\r' || s_[i_] == '\t'))
            ++i_;
    }
    char Peek() {
        Space();
        if (i_ >= s_.size()) throw std::runtime_error("json: unexpected end");
        return s_[i_];
    }
    void Expect(char c) {
        if (Peek() != c) throw std::runtime_error(std::string("json: expected ") + c);
        ++i_;
    }
    Json Value() {
        const char c = Peek();
        Json v;
        if (c == '{') {
            v.type = Json::Type::Object;
            ++i_;
            if (Peek() == '}') return ++i_, v;
            for (;;) {
                std::string key = String();
                Expect(':');
                v.members[key] = Value();
                if (Peek() == ',') {
                    ++i_;
                    continue;
                }
                Expect('}');
                return v;
            }
        }
        if (c == '[') {
            v.type = Json::Type::Array;
            ++i_;
            if (Peek() == ']') return ++i_, v;
            for (;;) {
                v.items.push_back(Value());
                if (Peek() == ',') {
                    ++i_;
                    continue;
                }
                Expect(']');
                return v;
            }
        }
        if (c == '"') {
            v.type = Json::Type::String;
            v.text = String();
            return v;
        }
        if (s_.compare(i_, 4, "true") == 0) {
            i_ += 4;
            v.type = Json::Type::Bool;
            v.boolean = true;
            return v;
        }
        if (s_.compare(i_, 5, "false") == 0) {
            i_ += 5;
            v.type = Json::Type::Bool;
            return v;
        }
        if (s_.compare(i_, 4, "null") == 0) {
            i_ += 4;
            return v;
        }
        const size_t start = i_;
        while (i_ < s_.size() && std::string("+-0123456789.eE").find(s_[i_]) != std::string::npos)
            ++i_;
        if (start == i_) throw std::runtime_error("json: bad value");
        v.type = Json::Type::Number;
        v.text = s_.substr(start, i_ - start);
        v.number = std::stod(v.text);
        return v;
    }
    uint32_t Hex4() {
        if (i_ + 4 > s_.size()) throw std::runtime_error("json: bad escape");
        const uint32_t v = static_cast<uint32_t>(std::stoul(s_.substr(i_, 4), nullptr, 16));
        i_ += 4;
        return v;
    }
    std::string String() {
        Expect('"');
        std::string out;
        while (i_ < s_.size() && s_[i_] != '"') {
            char c = s_[i_++];
            if (c != '\\') {
                out += c;
                continue;
            }
            c = s_[i_++];
            switch (c) {
                case 'n':
                    out += '\n';
                    break;
                case 'r':
                    out += '\r';
                    break;
                case 't':
                    out += '\t';
                    break;
                case 'b':
                    out += '\b';
                    break;
                case 'f':
                    out += '\f';
                    break;
                case 'u': {
                    uint32_t cp = Hex4();
                    if (cp >= 0xD800 && cp < 0xDC00 && s_.compare(i_, 2, "\\u") == 0) {
                        i_ += 2;
                        cp = 0x10000 + ((cp - 0xD800) << 10) + (Hex4() - 0xDC00);
                    }
                    utf8::AppendCodePoint(out, static_cast<char32_t>(cp));
                    break;
                }
                default:
                    out += c;
                    break;
            }
        }
        Expect('"');
        return out;
    }

    const std::string& s_;
    size_t i_ = 0;
};

}  // namespace orbelan::test
