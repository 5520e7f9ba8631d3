#include "platform/fonts.h"

namespace platform {

QString surfaceFontFamily() { return QStringLiteral("DejaVu Sans"); }

QString surfaceFontFile() { return QStringLiteral("/usr/share/fonts/truetype/dejavu/DejaVuSans.ttf"); }

}  // namespace platform
