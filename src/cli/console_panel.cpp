#include "cli/console_panel.h"

#include <string>

#include "text/wide_text.h"

namespace pathmere {

void ConsolePanel::SetText(int controlId, std::wstring_view text) {
  (controlId == kStatusArea ? statusLength_ : logLength_) = text.size();
  // A terminal cannot take text back: each new status starts on a line of
  // its own instead.
  Write(controlId, L"\n");
  Write(controlId, text);
}

void ConsolePanel::InsertAtEnd(int controlId, std::wstring_view text) {
  (controlId == kStatusArea ? statusLength_ : logLength_) += text.size();
  Write(controlId, text);
}

void ConsolePanel::Write(int controlId, std::wstring_view text) {
  std::FILE* stream = controlId == kStatusArea ? statusStream_ : logStream_;
  if (stream == nullptr) return;
  const std::string bytes = WideToUtf8(text);
  std::fwrite(bytes.data(), 1, bytes.size(), stream);
  std::fflush(stream);
}

}  // namespace pathmere
