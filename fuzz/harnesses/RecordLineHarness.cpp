#include "fuzz/harnesses/Harnesses.h"
#include "journal/JsonLine.h"
#include "journal/analysis/RecordFields.h"

#include <nlohmann/json.hpp>

#include <cmath>

namespace mirl::fuzz {

void recordLine(Input input) {
    const std::string_view line = text(input);
    const auto fields = RecordFields::parse(line);
    // The tree reader of the same lines (nlohmann's, behind the journal's own checks).
    const auto parsed = parseJsonLine(line);
    const bool treeIsObject = parsed && parsed->is_object();
    const nlohmann::json tree = treeIsObject ? *parsed : nlohmann::json::object();
    if (fields) {
        // Whatever the scanner accepts is a JSON object, member for member.
        FUZZ_CHECK(treeIsObject);
        for (const auto& [key, value] : tree.items()) {
            if (value.is_string()) {
                FUZZ_CHECK(fields->text(key) != nullptr && *fields->text(key) == value.get<std::string>());
            } else if (value.is_boolean()) {
                FUZZ_CHECK(fields->boolean(key) == value.get<bool>());
            } else if (value.is_number()) {
                const auto number = fields->number(key);
                FUZZ_CHECK(number.has_value());
                // Both read the same digits; only a large integer may round differently.
                const double expected = value.get<double>();
                FUZZ_CHECK(*number == expected || std::abs(*number - expected) <= 1e-15 * std::abs(expected));
            } else {
                FUZZ_CHECK(!fields->number(key) && fields->text(key) == nullptr && !fields->boolean(key));
            }
        }
    } else if (treeIsObject) {
        // The scanner refuses only what is not a JSON object, nests too deep (both refuse
        // that), or holds a number too large for a double (which nlohmann also refuses).
        FUZZ_FAIL("a JSON object that the scanner refused");
    }
}

} // namespace mirl::fuzz
