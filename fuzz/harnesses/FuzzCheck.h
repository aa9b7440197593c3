#pragma once

#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <span>
#include <string_view>

namespace mirl::fuzz {

/// One input of a harness: the fuzzer's bytes, or a kept case replayed by the unit tests.
using Input = std::span<const std::uint8_t>;

/// A broken promise of the code under test: says which and aborts, so that libFuzzer keeps
/// the input as a crash and a replaying test fails.
[[noreturn]] inline void broken(const char* file, int line, const char* what) {
    std::fprintf(stderr, "%s:%d: fuzz check failed: %s\n", file, line, what);
    std::abort();
}

/// Takes values off the front of an input: a few bytes that steer the harness, the rest data.
class Bytes {
public:
    explicit Bytes(Input input) : rest_(input) {}

    std::uint8_t byte() {
        if (rest_.empty())
            return 0;
        const std::uint8_t b = rest_.front();
        rest_ = rest_.subspan(1);
        return b;
    }
    std::uint16_t u16() { return static_cast<std::uint16_t>(byte() | (byte() << 8)); }
    std::uint32_t u32() {
        return static_cast<std::uint32_t>(u16() | (static_cast<std::uint32_t>(u16()) << 16));
    }
    /// Up to n bytes.
    Input take(std::size_t n) {
        const std::size_t k = n < rest_.size() ? n : rest_.size();
        const Input taken = rest_.first(k);
        rest_ = rest_.subspan(k);
        return taken;
    }
    Input rest() const { return rest_; }
    std::string_view restText() const { return {reinterpret_cast<const char*>(rest_.data()), rest_.size()}; }
    bool empty() const { return rest_.empty(); }

private:
    Input rest_;
};

inline std::string_view text(Input input) {
    return {reinterpret_cast<const char*>(input.data()), input.size()};
}

} // namespace mirl::fuzz

#define FUZZ_CHECK(condition)                                                                                \
    do {                                                                                                     \
        if (!(condition))                                                                                    \
            ::mirl::fuzz::broken(__FILE__, __LINE__, #condition);                                            \
    } while (false)

#define FUZZ_FAIL(what) ::mirl::fuzz::broken(__FILE__, __LINE__, what)
