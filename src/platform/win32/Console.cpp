#define WIN32_LEAN_AND_MEAN
#define NOMINMAX
#include "platform/Console.h"

#include <windows.h>
// after windows.h, whose types it uses
#include <fcntl.h>
#include <io.h>
#include <shellapi.h>

#include <cstdlib>

#include "platform/win32/WideText.h"

namespace {

// What the console had before: given back when the program ends, since
// the console outlives it and the next program expects its own settings.
struct ConsoleState {
  UINT m_CodePage = 0;
  HANDLE m_Handles[2] = {INVALID_HANDLE_VALUE, INVALID_HANDLE_VALUE};
  DWORD m_Modes[2] = {0, 0};
};
ConsoleState g_Before;

// INVALID_HANDLE_VALUE for a stream the program was started without.
HANDLE StreamHandle(FILE* stream) {
  const int fd = _fileno(stream);
  return fd < 0 ? INVALID_HANDLE_VALUE : reinterpret_cast<HANDLE>(_get_osfhandle(fd));
}

void RestoreConsole() {
  // Buffered text goes out in the code page it was written for.
  fflush(stdout);
  fflush(stderr);
  // stderr's first: on one console both handles are the same, and stdout's
  // mode is the one from before either was changed.
  for (int i = 1; i >= 0; --i) {
    if (g_Before.m_Handles[i] != INVALID_HANDLE_VALUE) SetConsoleMode(g_Before.m_Handles[i], g_Before.m_Modes[i]);
  }
  if (g_Before.m_CodePage != 0) SetConsoleOutputCP(g_Before.m_CodePage);
}

}  // namespace

// Binary everywhere: "\n" stays "\n" in pipes and files. On a console the
// C runtime writes an unbuffered stream a byte at a time, which splits
// UTF-8 characters and escape sequences; a full buffer, flushed by the
// program where a line or a redraw ends, hands over each one whole.
void PrepareConsole() {
  FILE* streams[2] = {stdout, stderr};
  bool console = false;
  for (int i = 0; i < 2; ++i) {
    const HANDLE handle = StreamHandle(streams[i]);
    if (handle == INVALID_HANDLE_VALUE) continue;
    _setmode(_fileno(streams[i]), _O_BINARY);
    DWORD mode = 0;
    if (!GetConsoleMode(handle, &mode)) continue;
    console = true;
    g_Before.m_Handles[i] = handle;
    g_Before.m_Modes[i] = mode;
    // Older consoles refuse escape sequences; then IsTerminal says no.
    SetConsoleMode(handle, mode | ENABLE_PROCESSED_OUTPUT | ENABLE_VIRTUAL_TERMINAL_PROCESSING);
    setvbuf(streams[i], nullptr, _IOFBF, 64 * 1024);
  }
  if (!console) return;
  g_Before.m_CodePage = GetConsoleOutputCP();
  SetConsoleOutputCP(CP_UTF8);
  atexit(RestoreConsole);
}

bool IsTerminal(FILE* out) {
  const HANDLE handle = StreamHandle(out);
  DWORD mode = 0;
  if (handle == INVALID_HANDLE_VALUE || !GetConsoleMode(handle, &mode)) return false;
  return (mode & ENABLE_VIRTUAL_TERMINAL_PROCESSING) ||
         SetConsoleMode(handle, mode | ENABLE_VIRTUAL_TERMINAL_PROCESSING);
}

// The C runtime hands main the command line in the system's code page; the
// system keeps it in UTF-16.
std::vector<std::string> Utf8Arguments(int argc, char** argv) {
  int count = 0;
  wchar_t** wide = CommandLineToArgvW(GetCommandLineW(), &count);
  if (!wide) return std::vector<std::string>(argv, argv + argc);
  std::vector<std::string> arguments;
  for (int i = 0; i < count; ++i) arguments.push_back(Utf8FromWide(wide[i], wcslen(wide[i])));
  LocalFree(wide);
  return arguments;
}

TerminalSize TerminalSizeOf(FILE* out) {
  CONSOLE_SCREEN_BUFFER_INFO info;
  const HANDLE handle = StreamHandle(out);
  if (handle == INVALID_HANDLE_VALUE || !GetConsoleScreenBufferInfo(handle, &info)) return {};
  return {info.srWindow.Right - info.srWindow.Left + 1, info.srWindow.Bottom - info.srWindow.Top + 1};
}

// The console tells a program of its new size only through its input
// queue, which belongs to whoever reads the keyboard: its size is compared
// instead.
TerminalResizeWatch::TerminalResizeWatch(FILE* out) : m_Out(out), m_Last(TerminalSizeOf(out)) {}

TerminalResizeWatch::~TerminalResizeWatch() = default;

bool TerminalResizeWatch::Wait(unsigned realMs) {
  Sleep(realMs);
  const TerminalSize now = TerminalSizeOf(m_Out);
  const bool changed = !(now == m_Last);
  m_Last = now;
  return changed;
}
