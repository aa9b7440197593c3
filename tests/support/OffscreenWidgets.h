#pragma once

namespace mirl::test {

/// A QApplication on Qt's offscreen platform for widget tests run from a plain test main;
/// created on first call and kept for the rest of the process.
void ensureOffscreenWidgets();

} // namespace mirl::test
