#pragma once

#include <QString>

namespace rowsmith::gui_test {

// Pictures of the connection source dialog and the connection builder
// for the documentation: connection-source.png and connection-builder.png
// in `folder`, both on the same PostgreSQL connection string.
void renderConnectionScreenshots(const QString& folder);

}  // namespace rowsmith::gui_test
