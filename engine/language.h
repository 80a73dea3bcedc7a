// The process-wide user-interface language and the choice of a text pair.
#pragma once

namespace kalvex {

// 1 means English; every other value means German. 0 at every start.
// Written only on the user-interface thread while no run is active.
extern int g_language;

inline bool IsEnglish() { return g_language == 1; }

// Every bilingual text is stored English first, German second.
inline const char* LangText(const char* english, const char* german) {
  return IsEnglish() ? english : german;
}

}  // namespace kalvex
