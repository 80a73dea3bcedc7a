// A notice on the desktop when a run ends while the user looks elsewhere:
// the freedesktop notification service where one runs, else nothing.
#pragma once

#include <QString>

namespace kalvex {

// Returns false, quietly, when no notification service answers.
bool ShowDesktopNotice(const QString& title, const QString& text);

}  // namespace kalvex
