#include "ui/qt/app_icon.h"

#include <QString>

// The resources live in a static library; nothing would pull them into the
// program unless they are initialised by name.
static void InitKalvexResources() { Q_INIT_RESOURCE(kalvex); }

namespace kalvex {

QIcon AppIcon() {
  static const bool initialised = (InitKalvexResources(), true);
  (void)initialised;
  QIcon icon;
  for (const int size : {16, 32, 48, 64, 128, 256})
    icon.addFile(QStringLiteral(":/icons/kalvex-%1.png").arg(size), QSize(size, size));
  return icon;
}

}  // namespace kalvex
