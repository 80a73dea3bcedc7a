// The Windows console: arguments as UTF-16 converted to UTF-8, and output
// that a console shows with its umlauts whatever its code page.

#include <fcntl.h>
#include <io.h>
#include <windows.h>

#include <cstdio>
#include <iostream>
#include <memory>
#include <streambuf>

#include "cli/console.h"
#include "platform/win32/wide_path.h"

namespace kalvex::cli {

namespace {

bool IsConsole(HANDLE handle) {
  DWORD mode = 0;
  return handle != INVALID_HANDLE_VALUE && handle != nullptr && GetConsoleMode(handle, &mode);
}

// Length of the longest prefix of text that ends on a whole UTF-8 character.
size_t WholeCharacters(const std::string& text) {
  size_t end = text.size();
  size_t back = 0;
  while (back < 3 && back < end &&
         (static_cast<unsigned char>(text[end - 1 - back]) & 0xC0) == 0x80)
    ++back;
  if (back == end) return end;  // nothing but continuation bytes: pass them on
  const unsigned char lead = static_cast<unsigned char>(text[end - 1 - back]);
  const size_t need = lead >= 0xF0 ? 4 : lead >= 0xE0 ? 3 : lead >= 0xC0 ? 2 : 1;
  return need > back + 1 ? end - 1 - back : end;
}

// Writes UTF-8 text to a console as UTF-16 through WriteConsoleW. Text is
// held until it is flushed, and a character split by the buffer waits for
// its other bytes.
class ConsoleBuffer final : public std::streambuf {
 public:
  explicit ConsoleBuffer(HANDLE console) : m_console(console) {}

 protected:
  int_type overflow(int_type c) override {
    if (traits_type::eq_int_type(c, traits_type::eof())) return traits_type::not_eof(c);
    m_pending.push_back(traits_type::to_char_type(c));
    if (m_pending.size() >= 4096) WritePending();
    return c;
  }

  std::streamsize xsputn(const char* text, std::streamsize count) override {
    m_pending.append(text, static_cast<size_t>(count));
    if (m_pending.size() >= 4096) WritePending();
    return count;
  }

  int sync() override {
    WritePending();
    return 0;
  }

 private:
  void WritePending() {
    const size_t whole = WholeCharacters(m_pending);
    const std::wstring wide = win32::Utf8ToWide(m_pending.substr(0, whole));
    DWORD written = 0;
    if (!wide.empty())
      WriteConsoleW(m_console, wide.data(), static_cast<DWORD>(wide.size()), &written, nullptr);
    m_pending.erase(0, whole);
  }

  HANDLE m_console;
  std::string m_pending;
};

// The stream for one standard handle: through the console when it is one,
// else the C++ stream set to pass bytes through untranslated.
std::ostream& StreamFor(DWORD which, std::ostream& fallback, FILE* file) {
  const HANDLE handle = GetStdHandle(which);
  if (!IsConsole(handle)) {
    // No "\n" -> "\r\n": pipes and files get the same bytes as on any system.
    std::fflush(file);
    _setmode(_fileno(file), _O_BINARY);
    return fallback;
  }
  static ConsoleBuffer* buffers[2] = {};
  static std::ostream* streams[2] = {};
  const int slot = which == STD_OUTPUT_HANDLE ? 0 : 1;
  if (streams[slot] == nullptr) {
    // Lives until the process ends: output may come from static destructors.
    buffers[slot] = new ConsoleBuffer(handle);
    streams[slot] = new std::ostream(buffers[slot]);
    if (slot == 1) streams[slot]->setf(std::ios::unitbuf);  // errors show at once
  }
  return *streams[slot];
}

}  // namespace

std::vector<std::string> CommandLineArguments(int, char**) {
  // The narrow argv is in the ANSI code page and loses what it cannot show.
  int count = 0;
  wchar_t** wide = CommandLineToArgvW(GetCommandLineW(), &count);
  std::vector<std::string> args;
  for (int i = 0; i < count; ++i) args.push_back(win32::WideToUtf8(wide[i]));
  LocalFree(wide);
  return args;
}

std::ostream& ConsoleOut() {
  static std::ostream& out = [&]() -> std::ostream& {
    SetConsoleOutputCP(CP_UTF8);
    return StreamFor(STD_OUTPUT_HANDLE, std::cout, stdout);
  }();
  return out;
}

std::ostream& ConsoleErr() {
  static std::ostream& err = [&]() -> std::ostream& {
    SetConsoleOutputCP(CP_UTF8);
    return StreamFor(STD_ERROR_HANDLE, std::cerr, stderr);
  }();
  return err;
}

bool StdinIsTerminal() { return IsConsole(GetStdHandle(STD_INPUT_HANDLE)); }
bool StderrIsTerminal() { return IsConsole(GetStdHandle(STD_ERROR_HANDLE)); }

size_t StderrColumns() {
  CONSOLE_SCREEN_BUFFER_INFO info;
  if (!GetConsoleScreenBufferInfo(GetStdHandle(STD_ERROR_HANDLE), &info)) return 0;
  return static_cast<size_t>(info.srWindow.Right - info.srWindow.Left + 1);
}

int SystemLanguage() { return PRIMARYLANGID(GetUserDefaultUILanguage()) == LANG_GERMAN ? 0 : 1; }

}  // namespace kalvex::cli
