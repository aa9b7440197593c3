#include "journal/analysis/RecordFields.h"

#include "journal/JsonLine.h"

#include <charconv>
#include <cmath>
#include <cstdint>

namespace mirl {

/// A strict JSON (RFC 8259) scanner over one line that keeps the top-level members of an
/// object. Written for the analysis's hot path: nlohmann's parser builds a token string byte by
/// byte, which cost most of the time of a night's analysis.
class RecordFieldsReader {
public:
    RecordFieldsReader(std::string_view text, RecordFields& out)
        : p_(text.data()), end_(text.data() + text.size()), out_(out) {}

    bool readRecord() {
        skipBlanks();
        if (!objectAt(0))
            return false;
        skipBlanks();
        return p_ == end_;
    }

private:
    // Depth 0 is the record itself: kMaxJsonLineDepth levels in all, as parseJsonLine allows.
    static constexpr int kMaxDepth = kMaxJsonLineDepth - 1;

    void skipBlanks() {
        while (p_ != end_ && (*p_ == ' ' || *p_ == '\t' || *p_ == '\n' || *p_ == '\r'))
            ++p_;
    }
    bool take(char c) {
        if (p_ == end_ || *p_ != c)
            return false;
        ++p_;
        return true;
    }

    bool objectAt(int depth) {
        if (!take('{') || depth > kMaxDepth)
            return false;
        skipBlanks();
        if (take('}'))
            return true;
        for (;;) {
            skipBlanks();
            std::string key;
            if (!string(depth == 0 ? &key : nullptr))
                return false;
            skipBlanks();
            if (!take(':'))
                return false;
            skipBlanks();
            RecordFields::Field* field = nullptr;
            if (depth == 0) {
                field = &out_.fields_.emplace_back();
                field->key = std::move(key);
            }
            if (!value(depth + 1, field))
                return false;
            skipBlanks();
            if (take('}'))
                return true;
            if (!take(','))
                return false;
        }
    }

    bool arrayAt(int depth) {
        if (!take('[') || depth > kMaxDepth)
            return false;
        skipBlanks();
        if (take(']'))
            return true;
        for (;;) {
            skipBlanks();
            if (!value(depth + 1, nullptr))
                return false;
            skipBlanks();
            if (take(']'))
                return true;
            if (!take(','))
                return false;
        }
    }

    bool value(int depth, RecordFields::Field* field) {
        if (p_ == end_)
            return false;
        using Kind = RecordFields::Kind;
        switch (*p_) {
        case '{':
            if (field)
                field->kind = Kind::structured;
            return objectAt(depth);
        case '[':
            if (field)
                field->kind = Kind::structured;
            return arrayAt(depth);
        case '"':
            if (field)
                field->kind = Kind::text;
            return string(field ? &field->text : nullptr);
        case 't':
        case 'f':
            if (field) {
                field->kind = Kind::boolean;
                field->flag = *p_ == 't';
            }
            return literal(*p_ == 't' ? "true" : "false");
        case 'n':
            if (field)
                field->kind = Kind::null;
            return literal("null");
        default:
            return number(field);
        }
    }

    bool literal(std::string_view word) {
        if (static_cast<std::size_t>(end_ - p_) < word.size() || std::string_view(p_, word.size()) != word)
            return false;
        p_ += word.size();
        return true;
    }

    bool number(RecordFields::Field* field) {
        const char* start = p_;
        auto digits = [&] {
            const char* from = p_;
            while (p_ != end_ && *p_ >= '0' && *p_ <= '9')
                ++p_;
            return p_ != from;
        };
        take('-');
        if (take('0')) {
            // no leading zeros
        } else if (!digits()) {
            return false;
        }
        if (take('.') && !digits())
            return false;
        if (p_ != end_ && (*p_ == 'e' || *p_ == 'E')) {
            ++p_;
            if (!take('+'))
                take('-');
            if (!digits())
                return false;
        }
        double parsed = 0;
        const auto [stop, error] = std::from_chars(start, p_, parsed);
        if (error == std::errc::result_out_of_range &&
            std::string_view(start, p_).find("e-") == std::string_view::npos &&
            std::string_view(start, p_).find("E-") == std::string_view::npos)
            return false; // too large for a double
        if (error == std::errc::result_out_of_range)
            parsed = 0; // too small: it underflows to zero
        else if (error != std::errc() || stop != p_)
            return false;
        if (field) {
            field->kind = RecordFields::Kind::number;
            field->number = parsed;
        }
        return true;
    }

    static int hex(char c) {
        if (c >= '0' && c <= '9')
            return c - '0';
        if (c >= 'a' && c <= 'f')
            return c - 'a' + 10;
        if (c >= 'A' && c <= 'F')
            return c - 'A' + 10;
        return -1;
    }

    bool codeUnit(std::uint32_t& unit) {
        if (end_ - p_ < 4)
            return false;
        unit = 0;
        for (int i = 0; i < 4; ++i) {
            const int h = hex(*p_++);
            if (h < 0)
                return false;
            unit = unit * 16 + static_cast<std::uint32_t>(h);
        }
        return true;
    }

    static void appendUtf8(std::string& out, std::uint32_t cp) {
        if (cp < 0x80) {
            out += static_cast<char>(cp);
        } else if (cp < 0x800) {
            out += static_cast<char>(0xC0 | (cp >> 6));
            out += static_cast<char>(0x80 | (cp & 0x3F));
        } else if (cp < 0x10000) {
            out += static_cast<char>(0xE0 | (cp >> 12));
            out += static_cast<char>(0x80 | ((cp >> 6) & 0x3F));
            out += static_cast<char>(0x80 | (cp & 0x3F));
        } else {
            out += static_cast<char>(0xF0 | (cp >> 18));
            out += static_cast<char>(0x80 | ((cp >> 12) & 0x3F));
            out += static_cast<char>(0x80 | ((cp >> 6) & 0x3F));
            out += static_cast<char>(0x80 | (cp & 0x3F));
        }
    }

    /// One UTF-8 sequence of two to four bytes starting at p_ (well formed: no overlong form,
    /// no surrogate, nothing past U+10FFFF).
    bool multiByte() {
        const auto b0 = static_cast<unsigned char>(*p_);
        int length = 0;
        unsigned char low = 0x80, high = 0xBF;
        if (b0 >= 0xC2 && b0 <= 0xDF) {
            length = 2;
        } else if (b0 >= 0xE0 && b0 <= 0xEF) {
            length = 3;
            if (b0 == 0xE0)
                low = 0xA0;
            if (b0 == 0xED)
                high = 0x9F;
        } else if (b0 >= 0xF0 && b0 <= 0xF4) {
            length = 4;
            if (b0 == 0xF0)
                low = 0x90;
            if (b0 == 0xF4)
                high = 0x8F;
        } else {
            return false;
        }
        if (end_ - p_ < length)
            return false;
        for (int i = 1; i < length; ++i) {
            const auto b = static_cast<unsigned char>(p_[i]);
            if (b < (i == 1 ? low : 0x80) || b > (i == 1 ? high : 0xBF))
                return false;
        }
        p_ += length;
        return true;
    }

    /// A JSON string at p_, decoded into `out` when given.
    bool string(std::string* out) {
        if (!take('"'))
            return false;
        for (;;) {
            const char* run = p_;
            while (p_ != end_ && *p_ != '"' && *p_ != '\\' && static_cast<unsigned char>(*p_) >= 0x20 &&
                   static_cast<unsigned char>(*p_) < 0x80)
                ++p_;
            if (out)
                out->append(run, p_);
            if (p_ == end_)
                return false;
            const auto c = static_cast<unsigned char>(*p_);
            if (c == '"') {
                ++p_;
                return true;
            }
            if (c < 0x20)
                return false; // a raw control character
            if (c >= 0x80) {
                const char* from = p_;
                if (!multiByte())
                    return false;
                if (out)
                    out->append(from, p_);
                continue;
            }
            ++p_; // the backslash
            if (p_ == end_)
                return false;
            const char escape = *p_++;
            char plain = 0;
            switch (escape) {
            case '"':
            case '\\':
            case '/':
                plain = escape;
                break;
            case 'b':
                plain = '\b';
                break;
            case 'f':
                plain = '\f';
                break;
            case 'n':
                plain = '\n';
                break;
            case 'r':
                plain = '\r';
                break;
            case 't':
                plain = '\t';
                break;
            case 'u': {
                std::uint32_t unit = 0;
                if (!codeUnit(unit))
                    return false;
                if (unit >= 0xDC00 && unit <= 0xDFFF)
                    return false; // a low surrogate alone
                if (unit >= 0xD800 && unit <= 0xDBFF) {
                    std::uint32_t second = 0;
                    if (!take('\\') || !take('u') || !codeUnit(second) || second < 0xDC00 || second > 0xDFFF)
                        return false;
                    unit = 0x10000 + ((unit - 0xD800) << 10) + (second - 0xDC00);
                }
                if (out)
                    appendUtf8(*out, unit);
                continue;
            }
            default:
                return false;
            }
            if (out)
                *out += plain;
        }
    }

    const char* p_;
    const char* end_;
    RecordFields& out_;
};

std::optional<RecordFields> RecordFields::parse(std::string_view line) {
    RecordFields fields;
    fields.fields_.reserve(8);
    RecordFieldsReader reader(line, fields);
    if (!reader.readRecord())
        return std::nullopt;
    return fields;
}

const RecordFields::Field* RecordFields::find(std::string_view key) const {
    for (auto it = fields_.rbegin(); it != fields_.rend(); ++it)
        if (it->key == key)
            return &*it;
    return nullptr;
}

std::optional<double> RecordFields::number(std::string_view key) const {
    const Field* field = find(key);
    if (field == nullptr || field->kind != Kind::number)
        return std::nullopt;
    return field->number;
}

std::optional<double> RecordFields::integer(std::string_view key) const {
    const auto value = number(key);
    if (!value || std::floor(*value) != *value)
        return std::nullopt;
    return value;
}

const std::string* RecordFields::text(std::string_view key) const {
    const Field* field = find(key);
    return field != nullptr && field->kind == Kind::text ? &field->text : nullptr;
}

std::optional<bool> RecordFields::boolean(std::string_view key) const {
    const Field* field = find(key);
    if (field == nullptr || field->kind != Kind::boolean)
        return std::nullopt;
    return field->flag;
}

} // namespace mirl
