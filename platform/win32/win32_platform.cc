// The Windows system layer: unbuffered whole-block I/O with CreateFileW,
// GetDiskFreeSpaceExW for the volume, the performance counter for time.
// Every path is UTF-16 here; the engine's UTF-8 is converted in wide_path.

#include <windows.h>

#include <cstring>
#include <functional>
#include <string>

#include "platform/platform.h"
#include "platform/win32/wide_path.h"

namespace kalvex {

namespace {

// The held target folder. Win32 has no openat: test files are named by the
// folder's path, and the open handle (which refuses nothing but lets no one
// replace the folder unnoticed, see FolderStillAt) stands for the folder.
struct Folder {
  HANDLE handle;
  std::wstring prefix;  // the folder's path with a final separator
};

Folder* AsFolder(FolderHandle folder) { return reinterpret_cast<Folder*>(folder); }
HANDLE AsHandle(FileHandle file) { return reinterpret_cast<HANDLE>(file); }

ErrorCode LastError() { return static_cast<ErrorCode>(GetLastError()); }

// The system's form of a path the user gave: absolute, with backslashes, and
// in the \\?\ form that lifts the old limit of 260 characters, so that every
// path the engine lets through (up to kMaxPath) reaches the medium. Empty
// when the path is not valid UTF-8 or cannot be made absolute.
std::wstring SystemPath(const char* utf8) {
  const std::wstring wide = win32::Utf8ToWide(utf8);
  if (wide.empty()) return wide;
  const DWORD size = GetFullPathNameW(wide.c_str(), 0, nullptr, nullptr);
  if (size == 0) return std::wstring();
  std::wstring full(size, L'\0');
  const DWORD length = GetFullPathNameW(wide.c_str(), size, full.data(), nullptr);
  if (length == 0 || length >= size) return std::wstring();
  full.resize(length);
  if (full.rfind(L"\\\\?\\", 0) == 0) return full;
  if (full.size() >= 3 && full[1] == L':' && full[2] == L'\\') return L"\\\\?\\" + full;
  if (full.rfind(L"\\\\", 0) == 0) return L"\\\\?\\UNC\\" + full.substr(2);
  return full;
}

std::wstring WithSeparator(std::wstring path) {
  if (!path.empty() && path.back() != L'\\' && path.back() != L'/') path += L'\\';
  return path;
}

// Opens a folder for identity checks only: no data access, and every kind of
// sharing, so that holding it stands in no one's way.
HANDLE OpenFolderHandle(const std::wstring& path) {
  return CreateFileW(path.c_str(), FILE_READ_ATTRIBUTES,
                     FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE, nullptr,
                     OPEN_EXISTING, FILE_FLAG_BACKUP_SEMANTICS, nullptr);
}

bool SameObject(const BY_HANDLE_FILE_INFORMATION& a, const BY_HANDLE_FILE_INFORMATION& b) {
  return a.dwVolumeSerialNumber == b.dwVolumeSerialNumber &&
         a.nFileIndexHigh == b.nFileIndexHigh && a.nFileIndexLow == b.nFileIndexLow;
}

// Only plain files hold test data: not folders, and not links or other
// reparse points, which could lead the run off the medium.
bool IsPlainFile(DWORD attributes) {
  return (attributes & (FILE_ATTRIBUTE_DIRECTORY | FILE_ATTRIBUTE_REPARSE_POINT)) == 0;
}

ErrorCode NotPlainFileError(DWORD attributes) {
  return (attributes & FILE_ATTRIBUTE_DIRECTORY) ? ERROR_DIRECTORY : ERROR_NOT_SUPPORTED;
}

uint64_t FilePointer(HANDLE file) {
  LARGE_INTEGER zero{}, position{};
  if (!SetFilePointerEx(file, zero, &position, FILE_CURRENT)) return UINT64_MAX;
  return static_cast<uint64_t>(position.QuadPart);
}

class Win32Platform final : public Platform {
 public:
  bool OpenFolder(const char* path, FolderHandle* folder, ErrorCode* error) override {
    const std::wstring wide = SystemPath(path);
    if (wide.empty()) {
      *error = ERROR_INVALID_NAME;
      return false;
    }
    const HANDLE handle = OpenFolderHandle(wide);
    if (handle == INVALID_HANDLE_VALUE) {
      *error = LastError();
      return false;
    }
    BY_HANDLE_FILE_INFORMATION info;
    if (!GetFileInformationByHandle(handle, &info)) {
      *error = LastError();
      CloseHandle(handle);
      return false;
    }
    if (!(info.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY)) {
      *error = ERROR_DIRECTORY;
      CloseHandle(handle);
      return false;
    }
    *folder = reinterpret_cast<FolderHandle>(new Folder{handle, WithSeparator(wide)});
    return true;
  }

  void CloseFolder(FolderHandle folder) override {
    if (folder == kNoFolder) return;
    CloseHandle(AsFolder(folder)->handle);
    delete AsFolder(folder);
  }

  bool FolderStillAt(FolderHandle folder, const char* path) override {
    BY_HANDLE_FILE_INFORMATION held, now;
    if (!GetFileInformationByHandle(AsFolder(folder)->handle, &held)) return false;
    const std::wstring wide = SystemPath(path);
    if (wide.empty()) return false;
    const HANDLE fresh = OpenFolderHandle(wide);
    if (fresh == INVALID_HANDLE_VALUE) return false;
    const bool ok = GetFileInformationByHandle(fresh, &now) && SameObject(held, now);
    CloseHandle(fresh);
    return ok;
  }

  bool CreateNew(FolderHandle folder, const char* name, FileHandle* file,
                 ErrorCode* error) override {
    return Open(folder, name, GENERIC_READ | GENERIC_WRITE, CREATE_NEW, file, error);
  }

  bool OpenExisting(FolderHandle folder, const char* name, FileHandle* file,
                    ErrorCode* error) override {
    return Open(folder, name, GENERIC_READ, OPEN_EXISTING, file, error);
  }

  bool Write(FileHandle file, const void* data, size_t size, ErrorCode* error) override {
    const HANDLE handle = AsHandle(file);
    const uint64_t start = FilePointer(handle);
    const char* bytes = static_cast<const char*>(data);
    size_t done = 0;
    while (done < size) {
      DWORD written = 0;
      const DWORD chunk = static_cast<DWORD>(size - done);
      if (!WriteFile(handle, bytes + done, chunk, &written, nullptr)) {
        *error = LastError();
        break;
      }
      if (written == 0) {
        // No progress and no reason: a failing medium, never a full one.
        *error = ERROR_WRITE_FAULT;
        break;
      }
      done += written;
    }
    if (done == size) return true;
    // The file is ours: cut a partly written block off, so that the file
    // stays a whole number of blocks.
    if (done > 0 && start != UINT64_MAX) {
      LARGE_INTEGER to;
      to.QuadPart = static_cast<LONGLONG>(start);
      if (SetFilePointerEx(handle, to, nullptr, FILE_BEGIN)) SetEndOfFile(handle);
    }
    return false;
  }

  bool Read(FileHandle file, void* data, size_t size, size_t* got, ErrorCode* error) override {
    const HANDLE handle = AsHandle(file);
    char* bytes = static_cast<char*>(data);
    size_t done = 0;
    while (done < size) {
      DWORD read = 0;
      if (!ReadFile(handle, bytes + done, static_cast<DWORD>(size - done), &read, nullptr)) {
        if (GetLastError() == ERROR_HANDLE_EOF) break;
        *error = LastError();
        return false;
      }
      if (read == 0) break;
      done += read;
    }
    // The data must end where the file ends: a file system that stops
    // delivering early has lost data, whatever it says.
    if (done < size && FilePointer(handle) < FileSize(file)) {
      *error = ERROR_READ_FAULT;
      return false;
    }
    *got = done;
    return true;
  }

  bool Flush(FileHandle file, ErrorCode* error) override {
    if (!FlushFileBuffers(AsHandle(file))) {
      *error = LastError();
      return false;
    }
    return true;
  }

  bool Close(FileHandle file, ErrorCode* error) override {
    if (!CloseHandle(AsHandle(file))) {
      *error = LastError();
      return false;
    }
    return true;
  }

  uint64_t FileSize(FileHandle file) override {
    LARGE_INTEGER size;
    return GetFileSizeEx(AsHandle(file), &size) ? static_cast<uint64_t>(size.QuadPart) : 0;
  }

  bool RemoveFile(FolderHandle folder, const char* name, ErrorCode* error) override {
    const std::wstring path = PathIn(folder, name);
    const DWORD attributes = path.empty() ? INVALID_FILE_ATTRIBUTES
                                          : GetFileAttributesW(path.c_str());
    if (attributes == INVALID_FILE_ATTRIBUTES) {
      *error = path.empty() ? ErrorCode{ERROR_INVALID_NAME} : LastError();
      return false;
    }
    if (!IsPlainFile(attributes)) {
      *error = NotPlainFileError(attributes);
      return false;
    }
    if (!DeleteFileW(path.c_str())) {
      *error = LastError();
      return false;
    }
    return true;
  }

  bool ForEachEntry(FolderHandle folder,
                    const std::function<bool(const char* name)>& visit) override {
    const std::wstring pattern = AsFolder(folder)->prefix + L"*";
    WIN32_FIND_DATAW entry;
    const HANDLE find = FindFirstFileW(pattern.c_str(), &entry);
    if (find == INVALID_HANDLE_VALUE) {
      // A drive's root has no "." and "..": empty, it has no entry at all.
      return GetLastError() == ERROR_FILE_NOT_FOUND;
    }
    do {
      if (std::wcscmp(entry.cFileName, L".") == 0 || std::wcscmp(entry.cFileName, L"..") == 0)
        continue;
      const std::string name = win32::WideToUtf8(entry.cFileName);
      if (!visit(name.c_str())) break;
    } while (FindNextFileW(find, &entry));
    FindClose(find);
    return true;
  }

  bool VolumeSpace(const char* path, uint64_t* free_to_caller, uint64_t* total) override {
    const std::wstring wide = SystemPath(path);
    ULARGE_INTEGER available, bytes;
    if (wide.empty() || !GetDiskFreeSpaceExW(wide.c_str(), &available, &bytes, nullptr))
      return false;
    *free_to_caller = available.QuadPart;
    *total = bytes.QuadPart;
    return true;
  }

  int64_t Counter() override {
    LARGE_INTEGER now;
    QueryPerformanceCounter(&now);
    return now.QuadPart;
  }

  int64_t CounterFrequency() override {
    LARGE_INTEGER frequency;
    QueryPerformanceFrequency(&frequency);
    return frequency.QuadPart;
  }

  void RaiseThreadPriority() override {
    SetThreadPriority(GetCurrentThread(), THREAD_PRIORITY_TIME_CRITICAL);
  }

  std::string ErrorText(ErrorCode error) override {
    wchar_t buffer[1000];
    const DWORD length =
        FormatMessageW(FORMAT_MESSAGE_FROM_SYSTEM | FORMAT_MESSAGE_IGNORE_INSERTS, nullptr,
                       error, 0, buffer, sizeof buffer / sizeof buffer[0], nullptr);
    std::wstring text(buffer, length);
    // The system's texts end in a line break; callers add their own.
    while (!text.empty() && (text.back() == L'\n' || text.back() == L'\r')) text.pop_back();
    return win32::WideToUtf8(text);
  }

  bool IsDiskFull(ErrorCode error) override { return error == 112; }  // ERROR_DISK_FULL
  bool IsNotFound(ErrorCode error) override { return error == 2; }    // ERROR_FILE_NOT_FOUND

  // Unbuffered reads (FILE_FLAG_NO_BUFFERING) never come from the cache.
  CacheBypass PrepareToRead(FolderHandle) override { return CacheBypass::kDirect; }

 private:
  static std::wstring PathIn(FolderHandle folder, const char* name) {
    const std::wstring wide = win32::Utf8ToWide(name);
    return wide.empty() ? wide : AsFolder(folder)->prefix + wide;
  }

  // No sharing: nobody else writes to or reads from a test file while it is
  // ours. A link or other reparse point is opened as itself and refused.
  bool Open(FolderHandle folder, const char* name, DWORD access, DWORD disposition,
            FileHandle* file, ErrorCode* error) {
    const std::wstring path = PathIn(folder, name);
    if (path.empty()) {
      *error = ERROR_INVALID_NAME;
      return false;
    }
    const HANDLE handle =
        CreateFileW(path.c_str(), access, 0, nullptr, disposition,
                    FILE_ATTRIBUTE_NORMAL | FILE_FLAG_NO_BUFFERING | FILE_FLAG_OPEN_REPARSE_POINT,
                    nullptr);
    if (handle == INVALID_HANDLE_VALUE) {
      *error = LastError();
      return false;
    }
    BY_HANDLE_FILE_INFORMATION info;
    if (GetFileInformationByHandle(handle, &info) && !IsPlainFile(info.dwFileAttributes)) {
      CloseHandle(handle);
      *error = NotPlainFileError(info.dwFileAttributes);
      return false;
    }
    *file = reinterpret_cast<FileHandle>(handle);
    return true;
  }
};

}  // namespace

Platform& SystemPlatform() {
  static Win32Platform platform;
  return platform;
}

void* AllocateAligned(size_t size) {
  return VirtualAlloc(nullptr, size, MEM_COMMIT | MEM_RESERVE, PAGE_READWRITE);
}

void FreeAligned(void* memory, size_t) {
  if (memory != nullptr) VirtualFree(memory, 0, MEM_RELEASE);
}

}  // namespace kalvex
