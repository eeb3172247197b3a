// The collector's journal: what was kept comes back after a kill, whatever
// bytes a payload holds, a record cut by a crash is left out, and a segment
// goes only once the day files were written after it.
#include "app/collector_journal.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>

#include "platform/file_system_posix.h"
#include "support/test_environment.h"

namespace pathmere {
namespace {

namespace fs = std::filesystem;

size_t Segments(const fs::path& folder) {
  size_t count = 0;
  for (const auto& entry : fs::directory_iterator(folder)) count += entry.path().extension() == ".journal";
  return count;
}

TEST(CollectorJournalTest, KeptMessagesComeBackUntilTheDayFilesHoldThem) {
  testing::TempFolder folder;
  PosixFileSystem files(folder.path().string());
  const MqttMessage odd{"owntracks/car/van7", std::string("a\nJ 1 2\n\0b", 10), false};
  {
    CollectorJournal journal(files, L"\\.journal");
    EXPECT_TRUE(journal.Recover().empty());
    ASSERT_TRUE(journal.Keep({"owntracks/car/van7", "{\"tst\":1}", false}));
    ASSERT_TRUE(journal.Keep(odd));
    EXPECT_EQ(journal.Take().size(), 2u);
    ASSERT_TRUE(journal.Keep({"owntracks/car/boat1", "{}", false}));
    ASSERT_TRUE(journal.Commit());
    // Killed here: nothing was written.
  }
  // A record cut by the kill after the last whole one.
  std::ofstream(folder.path() / ".journal" / "0000000002.journal", std::ios::app) << "J 18 40\nowntracks/car";
  {
    CollectorJournal journal(files, L"\\.journal");
    const std::vector<MqttMessage> back = journal.Recover();
    ASSERT_EQ(back.size(), 3u);
    EXPECT_EQ(back[1].payload, odd.payload);
    EXPECT_EQ(back[2].topic, "owntracks/car/boat1");
    ASSERT_TRUE(journal.Keep({"owntracks/car/van7", "{\"tst\":2}", false}));
    journal.Take();
    journal.Written(false);  // the day files could not be written: all stays
    EXPECT_EQ(Segments(folder.path() / ".journal"), 3u);
  }
  CollectorJournal journal(files, L"\\.journal");
  EXPECT_EQ(journal.Recover().size(), 4u);
  journal.Written(true);
  EXPECT_EQ(Segments(folder.path() / ".journal"), 0u);
  EXPECT_TRUE(journal.Recover().empty());
}

}  // namespace
}  // namespace pathmere
