#pragma once

#include <map>
#include <string>

#include "messages/panel_text.h"

namespace pathmere::testing {

// A panel whose two text areas are plain strings, with every append kept in
// order so tests can check what the program said and where.
class RecordingPanel : public PanelText {
 public:
  bool HasControl(int controlId) const override {
    return controlId == kStatusArea || controlId == kMessageLog;
  }
  size_t TextLength(int controlId) const override {
    auto it = texts.find(controlId);
    return it == texts.end() ? 0 : it->second.size();
  }
  void SetText(int controlId, std::wstring_view text) override { texts[controlId] = std::wstring(text); }
  void InsertAtEnd(int controlId, std::wstring_view text) override { texts[controlId] += text; }

  // The text of an area, narrowed (the program writes ASCII only).
  std::string Text(int controlId) const {
    auto it = texts.find(controlId);
    if (it == texts.end()) return {};
    return std::string(it->second.begin(), it->second.end());
  }
  std::string Status() const { return Text(kStatusArea); }
  std::string Log() const { return Text(kMessageLog); }

  std::map<int, std::wstring> texts;
};

}  // namespace pathmere::testing
