#include <atomic>
#include <cstdio>
#include <cstring>
#include <string>

#include "platform/crash_handlers.hpp"
#include "platform/platform.hpp"
#include "platform/win32/win32_support.hpp"

// Needs <windows.h> before it.
#include <dbghelp.h>

namespace platform {
namespace {

constexpr int kMaxFrames = 62;
constexpr const char* kSymbolServer = "srv*https://msdl.microsoft.com/download/symbols";

std::atomic<bool> installed{false};
CrashLineSink lineSink = nullptr;

void LogCrashLine(const std::string& line) {
  try {
    if (lineSink != nullptr) lineSink(line);
  } catch (...) {
    // The record is in crash.log already.
  }
}

// Worked out once, before any fault.
const std::wstring& WideCrashLogPath() {
  static const std::wstring path = win32::Widen(CrashLogPath());
  return path;
}

std::string Hex(DWORD64 value) {
  char text[24];
  std::snprintf(text, sizeof text, "%llx", static_cast<unsigned long long>(value));
  return text;
}

std::string SymbolSearchPath() {
  const std::string folder = UserDataFolder();
  return folder.empty() ? std::string(kSymbolServer) : folder + "symbols;" + kSymbolServer;
}

void CaptureStackTrace(EXCEPTION_POINTERS* pointers) {
  const HANDLE process = GetCurrentProcess();
  const HANDLE thread = GetCurrentThread();
  bool symbolsReady = false;
  try {
    SymSetOptions(SYMOPT_UNDNAME | SYMOPT_DEFERRED_LOADS | SYMOPT_LOAD_LINES);
    symbolsReady = SymInitialize(process, SymbolSearchPath().c_str(), TRUE) != FALSE;
    CONTEXT context;
    if (pointers != nullptr && pointers->ContextRecord != nullptr) {
      context = *pointers->ContextRecord;
    } else {
      std::memset(&context, 0, sizeof context);
      context.ContextFlags = CONTEXT_FULL;
      RtlCaptureContext(&context);
    }
    STACKFRAME64 frame = {};
#if defined(_M_X64) || defined(__x86_64__)
    const DWORD machine = IMAGE_FILE_MACHINE_AMD64;
    frame.AddrPC.Offset = context.Rip;
    frame.AddrFrame.Offset = context.Rbp;
    frame.AddrStack.Offset = context.Rsp;
#elif defined(_M_IX86) || defined(__i386__)
    const DWORD machine = IMAGE_FILE_MACHINE_I386;
    frame.AddrPC.Offset = context.Eip;
    frame.AddrFrame.Offset = context.Ebp;
    frame.AddrStack.Offset = context.Esp;
#elif defined(_M_ARM64) || defined(__aarch64__)
    const DWORD machine = IMAGE_FILE_MACHINE_ARM64;
    frame.AddrPC.Offset = context.Pc;
    frame.AddrFrame.Offset = context.Fp;
    frame.AddrStack.Offset = context.Sp;
#else
#error "no stack walk for this processor"
#endif
    frame.AddrPC.Mode = AddrModeFlat;
    frame.AddrFrame.Mode = AddrModeFlat;
    frame.AddrStack.Mode = AddrModeFlat;

    std::string text = "[STACK] Stack trace:\n";
    for (int i = 0; i < kMaxFrames; ++i) {
      if (!StackWalk64(machine, process, thread, &frame, &context, nullptr, SymFunctionTableAccess64,
                       SymGetModuleBase64, nullptr)) {
        break;
      }
      const DWORD64 pc = frame.AddrPC.Offset;
      if (pc == 0) break;
      alignas(SYMBOL_INFO) char storage[sizeof(SYMBOL_INFO) + 255] = {};
      auto* symbol = reinterpret_cast<SYMBOL_INFO*>(storage);
      symbol->SizeOfStruct = sizeof(SYMBOL_INFO);
      symbol->MaxNameLen = 255;
      DWORD64 displacement = 0;
      text += "#" + std::to_string(i) + " ";
      if (symbolsReady && SymFromAddr(process, pc, &displacement, symbol)) {
        text += std::string(symbol->Name) + " + 0x" + Hex(displacement);
        IMAGEHLP_LINE64 line = {};
        line.SizeOfStruct = sizeof line;
        DWORD lineDisplacement = 0;
        if (SymGetLineFromAddr64(process, pc, &lineDisplacement, &line)) {
          text += " (" + std::string(line.FileName) + ":" + std::to_string(line.LineNumber) + ")";
        } else {
          text += " (modulebase=0x" + Hex(SymGetModuleBase64(process, pc)) + ")";
        }
        text += " ";
      }
      text += "[0x" + Hex(pc) + "]\n";
    }
    WriteCrashLog(text.c_str());
    LogCrashLine("[CRASH] " + text);
  } catch (...) {
    // A handler never raises a fault of its own.
  }
  if (symbolsReady) SymCleanup(process);
}

// "<head> code=0x... addr=..." appended to crash.log, and returned for debug.log.
std::string WriteExceptionRecord(const char* head, EXCEPTION_POINTERS* pointers) {
  const EXCEPTION_RECORD* record = pointers != nullptr ? pointers->ExceptionRecord : nullptr;
  char buffer[1024];
  std::snprintf(buffer, sizeof buffer, "%s code=0x%08lX addr=%p", head,
                record != nullptr ? static_cast<unsigned long>(record->ExceptionCode) : 0ul,
                record != nullptr ? record->ExceptionAddress : nullptr);
  WriteCrashLog(buffer);
  return buffer;
}

// First in the chain: sees every exception of the process, also those that are caught later.
LONG CALLBACK OnVectoredException(EXCEPTION_POINTERS* pointers) {
  try {
    LogCrashLine("[VEH] Captured exception: " + WriteExceptionRecord("[VEH] Exception", pointers));
  } catch (...) {
    // Out of memory: crash.log has the record or nothing can be written.
  }
  return EXCEPTION_CONTINUE_SEARCH;
}

LONG WINAPI OnUnhandledException(EXCEPTION_POINTERS* pointers) {
  try {
    LogCrashLine("[CRASH] " + WriteExceptionRecord("Unhandled exception:", pointers));
    LogCrashLine("[CRASH] Minidump creation disabled - only logs will be saved.");
  } catch (...) {
    // Out of memory: the stack walk below may still get through.
  }
  CaptureStackTrace(pointers);
  // Ends the process without the system's error dialog.
  return EXCEPTION_EXECUTE_HANDLER;
}

}  // namespace

std::string CrashLogPath() {
  const std::string folder = UserDataFolder();
  return folder.empty() ? std::string() : folder + "crash.log";
}

void WriteCrashLog(const char* text) {
  try {
    const std::wstring& path = WideCrashLogPath();
    if (path.empty()) return;
    // Append access: records of two threads may interleave but never overwrite each other.
    const HANDLE file = CreateFileW(path.c_str(), FILE_APPEND_DATA, FILE_SHARE_READ | FILE_SHARE_WRITE,
                                    nullptr, OPEN_ALWAYS, FILE_ATTRIBUTE_NORMAL, nullptr);
    if (file == INVALID_HANDLE_VALUE) return;
    DWORD written = 0;
    ::WriteFile(file, text, static_cast<DWORD>(std::strlen(text)), &written, nullptr);
    ::WriteFile(file, "\r\n", 2, &written, nullptr);
    CloseHandle(file);
  } catch (...) {
    // Nothing is left to report it with.
  }
}

void InstallFaultHandlers(CrashLineSink sink) {
  if (installed.exchange(true)) return;
  lineSink = sink;
  WideCrashLogPath();
  SetUnhandledExceptionFilter(OnUnhandledException);
  AddVectoredExceptionHandler(1, OnVectoredException);
}

}  // namespace platform
