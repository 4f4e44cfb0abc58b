#pragma once

namespace rowsmith::gui {

// Registers the pictures compiled into the program (icons, the Go page's
// picture, the About banner). They live in a static library, so they must
// be registered by hand before the first window needs them; calling it
// again does nothing.
//
// Threading: UI thread, before any window is built.
void initResources();

}  // namespace rowsmith::gui
