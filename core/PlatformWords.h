#pragma once

#include <string>
#include <string_view>

namespace mirl {

/// Rewrites the words of user-visible texts that name another platform ("the Mac", "Night
/// Shift", ...) into this platform's words. Every user-visible text that may contain them goes
/// through here; event names, payload keys and settings keys never do.
std::string platformText(std::string_view text);

} // namespace mirl
