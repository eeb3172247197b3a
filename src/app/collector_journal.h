#pragma once

#include <cstdint>
#include <mutex>
#include <string>
#include <vector>

#include "platform/file_system.h"
#include "platform/mqtt_connection.h"

namespace pathmere {

// What the broker gave the collector, durable before the library sends the
// acknowledgement: the library queues the PUBACK of a QoS 1 message and
// writes it only after the message callback returns, and the callback keeps
// the message here (appended, then synced with the others of its batch
// before any acknowledgement is written: MqttConnection's commit). The day files are written every
// 10 s; a message is in a segment file ("0000000001.journal" in the folder)
// until a write of the day files after it worked, and the segments left by
// a run that was killed are taken again at the next start (the duplicates
// among them are dropped as ever).
class CollectorJournal {
 public:
  // `files` is the journal's own: Keep() runs on the connection's thread.
  CollectorJournal(FileSystem& files, std::wstring folder);
  ~CollectorJournal();
  CollectorJournal(const CollectorJournal&) = delete;
  CollectorJournal& operator=(const CollectorJournal&) = delete;

  // At the start, before any Keep(): the messages of the segments there, in
  // the order they came. Their segments go with the next Written(true).
  std::vector<MqttMessage> Recover();
  // Appends; false (problem() says why) when it cannot, and the message must
  // then not be acknowledged.
  bool Keep(const MqttMessage& message);
  // Makes what Keep() appended durable; false as for Keep().
  bool Commit();
  // The messages kept since the last call; later ones go to a new segment.
  std::vector<MqttMessage> Take();
  // After a write of the day files: with `kept`, every message taken so far
  // is on disk and its segment goes; without, those segments stay until the
  // next start takes them again.
  void Written(bool kept);

  std::string problem() const;
  int64_t failures() const;  // messages not kept since the start

 private:
  std::wstring SegmentPath(uint64_t number) const;

  mutable std::mutex mutex_;
  FileSystem& files_;
  const std::wstring folder_;
  bool folderMade_ = false;
  uint64_t next_ = 1;  // the number of the next segment
  FileHandle file_ = kInvalidFile;
  bool unsynced_ = false;
  uint64_t open_ = 0;              // the segment appended to
  std::vector<MqttMessage> kept_;  // not taken yet
  std::vector<uint64_t> taken_;    // segments all taken, to go once written
  std::vector<uint64_t> held_;     // segments whose write failed: kept to the next start
  std::string problem_;
  int64_t failures_ = 0;
};

}  // namespace pathmere
