// The fonts the programs draw with, from one place. Qt Core only.
#pragma once

#include <QString>

namespace platform {

// The drawing surface's font: its family, and the file that holds it (from the system's
// DejaVu package), so that windows and screenshots agree on every machine.
QString surfaceFontFamily();
QString surfaceFontFile();

}  // namespace platform
