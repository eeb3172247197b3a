#pragma once

#include <cstddef>
#include <string_view>

#include "messages/panel_text.h"

namespace pathmere::testing {

// The panel's two text areas, counted but not kept: enough for the message
// log's append limit to behave as in the window, and the status text is
// composed as it would be there, without the panel itself allocating.
class CountingPanel final : public PanelText {
 public:
  bool HasControl(int controlId) const override {
    return controlId == kStatusArea || controlId == kMessageLog;
  }
  size_t TextLength(int controlId) const override { return controlId == kStatusArea ? status_ : log_; }
  void SetText(int controlId, std::wstring_view text) override { Length(controlId) = text.size(); }
  void InsertAtEnd(int controlId, std::wstring_view text) override { Length(controlId) += text.size(); }

  size_t status() const { return status_; }
  size_t log() const { return log_; }

 private:
  size_t& Length(int controlId) { return controlId == kStatusArea ? status_ : log_; }
  size_t status_ = 0;
  size_t log_ = 0;
};

}  // namespace pathmere::testing
