#ifdef _WIN32
#include <windows.h>

#include <string>

#include "converter_run.h"

namespace zorvel::tools {

namespace {
// A Windows file name holds no double quote and the two paths end in a file
// name, never in a backslash, so quoting each whole path is enough.
std::string quoted(const std::string& path) { return "\"" + path + "\""; }
}  // namespace

converter_outcome run_svg_to_png(const std::string& svg, const std::string& png) {
  SECURITY_ATTRIBUTES inherit{};
  inherit.nLength = sizeof inherit;
  inherit.bInheritHandle = TRUE;
  HANDLE nowhere = ::CreateFileA("NUL", GENERIC_WRITE, FILE_SHARE_READ | FILE_SHARE_WRITE, &inherit,
                                 OPEN_EXISTING, 0, nullptr);
  if (nowhere == INVALID_HANDLE_VALUE) return converter_outcome::failed;
  STARTUPINFOA startup{};
  startup.cb = sizeof startup;
  startup.dwFlags = STARTF_USESTDHANDLES;
  startup.hStdInput = ::GetStdHandle(STD_INPUT_HANDLE);
  startup.hStdOutput = nowhere;
  startup.hStdError = nowhere;
  std::string line = "rsvg-convert -o " + quoted(png) + " " + quoted(svg);
  PROCESS_INFORMATION process{};
  // Without an application name the program is looked for on PATH, .exe added.
  const BOOL started = ::CreateProcessA(nullptr, line.data(), nullptr, nullptr, TRUE, CREATE_NO_WINDOW, nullptr,
                                        nullptr, &startup, &process);
  const DWORD why = started ? 0 : ::GetLastError();
  ::CloseHandle(nowhere);
  if (!started) {
    return why == ERROR_FILE_NOT_FOUND || why == ERROR_PATH_NOT_FOUND ? converter_outcome::not_installed
                                                                      : converter_outcome::failed;
  }
  DWORD code = 1;
  const bool waited = ::WaitForSingleObject(process.hProcess, INFINITE) == WAIT_OBJECT_0 &&
                      ::GetExitCodeProcess(process.hProcess, &code);
  ::CloseHandle(process.hThread);
  ::CloseHandle(process.hProcess);
  return waited && code == 0 ? converter_outcome::succeeded : converter_outcome::failed;
}

}  // namespace zorvel::tools
#endif
