#include "app/publishing.h"

#include <ctime>

#include "output/owntracks_location.h"
#include "platform/plain_file.h"

namespace pathmere {

std::filesystem::path OutboxFolder(const char* name) {
  const std::filesystem::path state = UserStateFolder();
  return state.empty() ? std::filesystem::path() : state / "pathmere" / name;
}

MqttOptions Publishing::WithWill(MqttOptions options) {
  options.willPayload = ComposeOwnTracksWill(std::time(nullptr));
  return options;
}

Publishing::Publishing(const PublishTarget& target, const char* outboxName)
    : outbox_(OutboxFolder(outboxName)),
      connection_(WithWill(target.connection)),
      publisher_(outbox_, connection_, {target.topic(), target.trackerId, target.url}) {}

}  // namespace pathmere
