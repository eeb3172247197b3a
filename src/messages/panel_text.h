#pragma once

#include <cstddef>
#include <string_view>

namespace pathmere {

// Control ids of the panel's two text areas.
inline constexpr int kStatusArea = 1001;
inline constexpr int kMessageLog = 1002;

// The two multi-line text areas of the main window's panel, as the program
// sees them: it writes text and reads lengths, never the text itself. The
// desktop program backs this with widgets, the headless one with a terminal,
// tests with a recorder.
class PanelText {
 public:
  virtual ~PanelText() = default;
  virtual bool HasControl(int controlId) const = 0;
  // Length of the control's text in characters.
  virtual size_t TextLength(int controlId) const = 0;
  // Replaces the whole text.
  virtual void SetText(int controlId, std::wstring_view text) = 0;
  // Drops any selection and inserts at the end of the text.
  virtual void InsertAtEnd(int controlId, std::wstring_view text) = 0;
};

}  // namespace pathmere
