#include "engine/language.h"

namespace kalvex {

int g_language = 0;

}  // namespace kalvex
