#pragma once

// Pictures of the update dialog and the About box for `make screenshots`.

#include <QString>

// Writes update.png, about-application.png, about-notes.png and
// about-licence.png into folder (made when missing): each window at its own
// size, the update dialog as it opens from the Help menu and the About box
// on each of its pages. Needs a QApplication; meant for the offscreen
// platform.
void renderSupportScreenshots(const QString& folder);
