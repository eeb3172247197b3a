#include "messages/message_log.h"

#include <string>

#include <gtest/gtest.h>

#include "support/recording_panel.h"

namespace pathmere {
namespace {

using testing::RecordingPanel;

TEST(MessageLogTest, AppendsUpToTheLimitThenStartsAfresh) {
  RecordingPanel panel;
  MessageLog log;
  log.AttachPanel(&panel);
  panel.texts[kMessageLog] = std::wstring(30000, L'x');
  log.AppendText(kMessageLog, std::string_view("new\r\n"));
  EXPECT_EQ(panel.TextLength(kMessageLog), 30005u);
  log.AppendText(kMessageLog, std::string_view("again\r\n"));
  EXPECT_EQ(panel.Log(), "again\r\n");
}

TEST(MessageLogTest, ReplaceIsNotSubjectToTheLimit) {
  RecordingPanel panel;
  MessageLog log;
  log.AttachPanel(&panel);
  log.AppendText(kStatusArea, std::string_view("COM3 opening...\r\n"));
  log.ReplaceText(kStatusArea, L"No data \r\n");
  EXPECT_EQ(panel.Status(), "No data \r\n");
}

TEST(MessageLogTest, NumbersAreConsecutiveAndUsedUpWithoutAPanel) {
  MessageLog log;
  wchar_t message[64];
  log.PostNumbered(message, 64, "(%u) File Open Error: %u \r\n", 2);
  EXPECT_EQ(std::wstring(message), L"(1) File Open Error: 2 \r\n");

  RecordingPanel panel;
  log.AttachPanel(&panel);
  log.PostNumbered(message, 64, "(%u) Waypoint saved. \r\n");
  log.PostNumbered(message, 64, "(%u) Set File Pointer Error: %u \r\n", 29);
  EXPECT_EQ(panel.Log(), "(2) Waypoint saved. \r\n(3) Set File Pointer Error: 29 \r\n");
  EXPECT_EQ(log.messageCounter, 3u);
}

TEST(MessageLogTest, MessageIsCutToItsBuffer) {
  RecordingPanel panel;
  MessageLog log;
  log.AttachPanel(&panel);
  log.messageCounter = 4294967294u;
  wchar_t message[16];
  log.PostNumbered(message, 16, "(%u) File Header Write Error: %u \r\n", 4294967295u);
  EXPECT_EQ(std::wstring(message), L"(4294967295) Fi");
  EXPECT_EQ(panel.Log(), "(4294967295) Fi");
}

}  // namespace
}  // namespace pathmere
