// Sets the user-interface language for one test and restores the previous
// value afterwards, so tests never leak a language into each other.
#pragma once

#include "engine/language.h"

namespace kalvex {

constexpr int kEnglish = 1;
constexpr int kGerman = 0;

class LanguageGuard {
 public:
  explicit LanguageGuard(int language) : saved_(g_language) { g_language = language; }
  ~LanguageGuard() { g_language = saved_; }
  LanguageGuard(const LanguageGuard&) = delete;
  LanguageGuard& operator=(const LanguageGuard&) = delete;

 private:
  int saved_;
};

}  // namespace kalvex
