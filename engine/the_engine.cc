// The one engine of the desktop program. In a file of its own so that a
// program that never names it (kalvex-cli gives every target an engine of
// its own) does not carry it and its block buffer along.

#include "engine/engine.h"

namespace kalvex {

CTestEngine theEngine;

}  // namespace kalvex
