// The program's icon, from the resources linked into the program.
#pragma once

#include <QIcon>

namespace kalvex {

QIcon AppIcon();

}  // namespace kalvex
