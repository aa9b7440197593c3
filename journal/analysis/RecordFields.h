#pragma once

#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace mirl {

/// The top-level members of one session-log line, read without building a JSON tree (a night
/// has some 100,000 lines). Nested objects and arrays are only validated; they count as
/// neither number, text nor boolean. A key given twice keeps its last value, as a JSON tree
/// would.
class RecordFields {
public:
    /// Nothing unless the text is one valid JSON object (strict RFC 8259, UTF-8).
    static std::optional<RecordFields> parse(std::string_view line);

    /// Any JSON number, as a double.
    std::optional<double> number(std::string_view key) const;
    /// A JSON number without a fractional part (5 and 5.0 alike), as a double.
    std::optional<double> integer(std::string_view key) const;
    /// A JSON string.
    const std::string* text(std::string_view key) const;
    /// A JSON boolean.
    std::optional<bool> boolean(std::string_view key) const;

    enum class Kind { null, boolean, number, text, structured };
    struct Field {
        std::string key;
        Kind kind = Kind::null;
        bool flag = false;
        double number = 0;
        std::string text;
    };

private:
    friend class RecordFieldsReader;
    const Field* find(std::string_view key) const;

    std::vector<Field> fields_;
};

} // namespace mirl
