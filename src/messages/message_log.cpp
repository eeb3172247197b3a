#include "messages/message_log.h"

#include <cstdio>

#include "text/fixed_wide_text.h"

namespace pathmere {

void MessageLog::AppendText(int controlId, std::wstring_view text) {
  if (panel_ == nullptr || !panel_->HasControl(controlId)) return;
  if (panel_->TextLength(controlId) > kAppendLimit) {
    panel_->SetText(controlId, text);
  } else {
    panel_->InsertAtEnd(controlId, text);
  }
}

void MessageLog::AppendText(int controlId, std::string_view text) {
  wchar_t wide[512];
  while (!text.empty()) {
    const size_t n = WidenInto(wide, sizeof wide / sizeof wide[0], text);
    AppendText(controlId, std::wstring_view(wide, n));
    text.remove_prefix(n);
  }
}

void MessageLog::ReplaceText(int controlId, std::wstring_view text) {
  if (panel_ == nullptr || !panel_->HasControl(controlId)) return;
  panel_->SetText(controlId, text);
}

void MessageLog::PostNumbered(wchar_t* buffer, size_t capacity, const char* format, uint32_t code) {
  const uint32_t number = NextMessageNumber();
  char narrow[128];
  // The formats are the program's own and take one or two unsigned numbers.
#pragma GCC diagnostic push
#pragma GCC diagnostic ignored "-Wformat-nonliteral"
  const int written = std::snprintf(narrow, sizeof narrow, format, number, code);
#pragma GCC diagnostic pop
  if (written < 0) narrow[0] = '\0';
  const size_t n = WidenInto(buffer, capacity, narrow);
  AppendText(kMessageLog, std::wstring_view(buffer, n));
}

}  // namespace pathmere
