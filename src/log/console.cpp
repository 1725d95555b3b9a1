#include "log/console.hpp"

#include <algorithm>
#include <cstdio>
#include <sstream>

#include "log/held_output.hpp"
#include "platform/platform.hpp"

namespace {

const char kReset[] = "\033[0m";
const char kGreen[] = "\033[38;5;46m";
const char kCyan[] = "\033[38;5;51m";
const char kYellow[] = "\033[38;5;226m";
const char kGrey[] = "\033[38;5;244m";
const char kRed[] = "\033[38;5;196m";
const char kMagenta[] = "\033[38;5;201m";
constexpr int kBarCells = 40;

struct ConsoleMode {
  bool terminal = false;
  bool colours = false;
};

ConsoleMode CurrentMode() {
  // Without virtual-terminal processing a Windows console shows the escapes as garbage.
  static const bool noColor = [] {
    platform::EnableConsoleColours();
    const auto value = platform::GetEnvironmentVariable("NO_COLOR");
    return value.has_value() && !value->empty();
  }();
  ConsoleMode mode;
  mode.terminal = platform::StandardOutputIsTerminal();
  mode.colours = mode.terminal && !noColor;
  return mode;
}

void Paint(std::string& out, const char* colour, const std::string& text, bool colours) {
  if (colours) out += colour;
  out += text;
  if (colours) out += kReset;
}

void WriteNow(const std::string& text, bool flush) {
  std::fwrite(text.data(), 1, text.size(), stdout);
  if (flush) std::fflush(stdout);
}

void WriteOut(const std::string& text, bool flush) {
  if (OutputTurnActive()) {
    EmitInTurn([text, flush] { WriteNow(text, flush); });
    return;
  }
  WriteNow(text, flush);
}

void PrintLine(ConsoleLineKind kind, const std::string& text) {
  const ConsoleMode mode = CurrentMode();
  WriteOut(ConsoleLineText(kind, mode.terminal ? TerminalSafeText(text) : text, mode.colours) + "\n", false);
}

}  // namespace

std::string TerminalSafeText(const std::string& text) {
  static const char kHex[] = "0123456789ABCDEF";
  std::string out;
  out.reserve(text.size());
  for (const char c : text) {
    const auto byte = static_cast<unsigned char>(c);
    if ((byte < 0x20 && byte != '\t') || byte == 0x7F) {
      out += "\\x";
      out += kHex[byte >> 4];
      out += kHex[byte & 0x0F];
    } else {
      out += c;
    }
  }
  return out;
}

std::string ConsoleLineText(ConsoleLineKind kind, const std::string& text, bool colours) {
  const char* prefix = "[OK] ";
  const char* prefixColour = kGreen;
  const char* textColour = kCyan;
  if (kind == ConsoleLineKind::Warn) {
    prefix = "[WARN] ";
    prefixColour = kYellow;
    textColour = kGrey;
  } else if (kind == ConsoleLineKind::Err) {
    prefix = "[ERR] ";
    prefixColour = kRed;
    textColour = kGrey;
  }
  std::string out;
  Paint(out, prefixColour, prefix, colours);
  Paint(out, textColour, text, colours);
  return out;
}

std::string ScanProgressText(int current, int total, bool colours) {
  if (total < 1) return std::string();
  const float fraction = std::clamp(static_cast<float>(current) / static_cast<float>(total), 0.0f, 1.0f);
  const int filled = static_cast<int>(fraction * kBarCells);
  std::string out;
  Paint(out, kCyan, "[SCAN]", colours);
  out += ' ';
  Paint(out, kGrey, "[", colours);
  for (int i = 0; i < kBarCells; ++i) {
    if (i < filled) {
      Paint(out, kGreen, "#", colours);
    } else if (i == filled) {
      Paint(out, kMagenta, ">", colours);
    } else {
      Paint(out, kGrey, ".", colours);
    }
  }
  Paint(out, kGrey, "]", colours);
  out += ' ';
  std::ostringstream percent;
  percent.setf(std::ios::fixed);
  percent.precision(1);
  percent << fraction * 100.0f << '%';
  Paint(out, kYellow, percent.str(), colours);
  Paint(out, kGrey, " (" + std::to_string(current) + "/" + std::to_string(total) + ") ", colours);
  // A negative count must not index before the spinner text.
  const int spin = ((current % 4) + 4) % 4;
  Paint(out, kMagenta, std::string(1, "|/-\\"[spin]), colours);
  return out;
}

void PrintOk(const std::string& text) { PrintLine(ConsoleLineKind::Ok, text); }

void PrintWarn(const std::string& text) { PrintLine(ConsoleLineKind::Warn, text); }

void PrintErr(const std::string& text) { PrintLine(ConsoleLineKind::Err, text); }

void PrintScanProgress(int current, int total) {
  if (total < 1) return;
  const ConsoleMode mode = CurrentMode();
  const bool done = current == total;
  if (mode.terminal) {
    // Flushed every time: the in-place redraw is invisible while it sits in a line buffer.
    WriteOut("\r" + ScanProgressText(current, total, mode.colours) + (done ? "\n" : ""), true);
  } else if (done) {
    // A pipe or a file gets no carriage-return redraws, only the finished bar.
    WriteOut(ScanProgressText(current, total, false) + "\n", true);
  }
}
