#pragma once

#include <QString>

// Renders the filter editor to PNG files in folder: filter-editor.png (a
// filter with a compile error, the test box in use) and
// filter-editor-test.png (a filter that compiles, its test output shown).
void renderEditorScreenshots(const QString& folder);
