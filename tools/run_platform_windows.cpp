// Windows' part of preparing a run: the binary's path from GetModuleFileNameW. A Windows session
// always has a desktop to open windows on, so there is no virtual display to start.
#define WIN32_LEAN_AND_MEAN
#include <windows.h>

#include <filesystem>

#include "app/process_entry.h"
#include "run_setup.h"

std::string preparePlatform(int, char**, const char*, WindowSize) {
  finishProcessEntry();  // as the demo itself: the silent sound driver, unless the user chose one
  std::wstring path(32768, L'\0');
  path.resize(GetModuleFileNameW(nullptr, path.data(), static_cast<DWORD>(path.size())));
  return std::filesystem::path(path).string();
}
