#pragma once

#include <cstddef>
#include <cstdint>
#include <string_view>

#include "messages/panel_text.h"

namespace pathmere {

// How texts reach the status area and the message log, and the running
// number of numbered messages. Without a panel texts are dropped, but numbers
// are still used up, so a gap shows that something was missed.
class MessageLog {
 public:
  // Above this many characters an append replaces the whole area instead.
  static constexpr size_t kAppendLimit = 30000;

  void AttachPanel(PanelText* panel) { panel_ = panel; }
  PanelText* panel() const { return panel_; }
  // Whether texts for this area reach a panel at all.
  bool HasControl(int controlId) const { return panel_ != nullptr && panel_->HasControl(controlId); }

  void AppendText(int controlId, std::wstring_view text);
  // Narrow text (ASCII formats and numbers) widened on the way in.
  void AppendText(int controlId, std::string_view text);
  void ReplaceText(int controlId, std::wstring_view text);

  // Adds 1 to messageCounter and returns the new value.
  uint32_t NextMessageNumber() { return ++messageCounter; }

  // Formats a numbered message (format's first %u is the new message number,
  // an optional second %u is `code`) into `buffer` of `capacity` wide
  // characters, cut to fit, and appends it to the message log.
  void PostNumbered(wchar_t* buffer, size_t capacity, const char* format, uint32_t code = 0);

  uint32_t messageCounter = 0;

 private:
  PanelText* panel_ = nullptr;
};

}  // namespace pathmere
