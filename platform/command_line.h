// What the three programs' command lines share: paths as launchers hand them over, and
// whether a window can be opened at all. Qt Core only.
#pragma once

#include <QString>

namespace platform {

// [argument] without the double quotes that enclose it, if they do (as some launchers
// hand a path over); otherwise as it is.
QString withoutQuotes(const QString& argument);

// Whether a window system is there to open windows on: a Qt platform chosen by
// QT_QPA_PLATFORM, an X display or a Wayland display.
bool hasDisplay();

}  // namespace platform
