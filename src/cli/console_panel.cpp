#include "cli/console_panel.h"

#include <cerrno>
#include <string>

#include "text/wide_text.h"

namespace pathmere {

void ConsolePanel::SetText(int controlId, std::wstring_view text) {
  (controlId == kStatusArea ? statusLength_ : logLength_) = text.size();
  if (controlId == kStatusArea && keepStatus_) statusText_.assign(text);
  // A terminal cannot take text back: each new status starts on a line of
  // its own instead.
  Write(controlId, L"\n");
  Write(controlId, text);
}

void ConsolePanel::InsertAtEnd(int controlId, std::wstring_view text) {
  (controlId == kStatusArea ? statusLength_ : logLength_) += text.size();
  if (controlId == kStatusArea && keepStatus_) statusText_.append(text);
  Write(controlId, text);
}

void ConsolePanel::PrintNote(std::string_view text) {
  if (logStream_ == nullptr) return;
  WriteBytes(logStream_, "pathmere-cli: " + std::string(text) + "\n");
}

void ConsolePanel::Write(int controlId, std::wstring_view text) {
  std::FILE* stream = controlId == kStatusArea ? statusStream_ : logStream_;
  if (stream == nullptr) return;
  WriteBytes(stream, WideToUtf8(text));
}

void ConsolePanel::WriteBytes(std::FILE* stream, std::string_view bytes) {
  errno = 0;
  if (std::fwrite(bytes.data(), 1, bytes.size(), stream) == bytes.size() && std::fflush(stream) == 0) return;
  // Nobody reads any more (`record | head` has ended): the logging goes on
  // without the text.
  if (errno == EPIPE) {
    if (logStream_ == stream) logStream_ = nullptr;
    if (statusStream_ == stream) statusStream_ = nullptr;
  }
  std::clearerr(stream);
}

}  // namespace pathmere
