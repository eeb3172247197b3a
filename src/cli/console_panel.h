#pragma once

#include <cstdio>
#include <string>
#include <string_view>

#include "messages/panel_text.h"

namespace pathmere {

// The panel's two text areas on a terminal: everything appended to the
// message log is written to `logStream` as it comes, byte for byte (UTF-8);
// status-area texts go to `statusStream` only when one is given. Lengths are
// counted so the program's append limit behaves as in the window.
class ConsolePanel final : public PanelText {
 public:
  // With `keepStatus` the status area's text is kept even when it is not
  // shown, for those who ask the logger what it is doing.
  ConsolePanel(std::FILE* logStream, std::FILE* statusStream, bool keepStatus = false)
      : logStream_(logStream), statusStream_(statusStream), keepStatus_(keepStatus) {}

  // Without a status stream, and nobody to ask, there is no status area, so
  // nothing composes status texts nobody would see.
  bool HasControl(int controlId) const override {
    return (controlId == kStatusArea && (statusStream_ != nullptr || keepStatus_)) ||
           controlId == kMessageLog;
  }
  // The status area's text as it stands (kept only with `keepStatus`).
  const std::wstring& statusText() const { return statusText_; }
  size_t TextLength(int controlId) const override {
    return controlId == kStatusArea ? statusLength_ : logLength_;
  }
  void SetText(int controlId, std::wstring_view text) override;
  void InsertAtEnd(int controlId, std::wstring_view text) override;

  // A line of the logger's own between the message log's, with the prefix
  // a journal filter can match: "pathmere-cli: COM3 back after 42 s".
  void PrintNote(std::string_view text);

 private:
  void Write(int controlId, std::wstring_view text);
  void WriteBytes(std::FILE* stream, std::string_view bytes);

  std::FILE* logStream_;
  std::FILE* statusStream_;
  bool keepStatus_;
  std::wstring statusText_;
  size_t logLength_ = 0;
  size_t statusLength_ = 0;
};

}  // namespace pathmere
