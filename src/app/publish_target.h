#pragma once

#include <filesystem>
#include <optional>
#include <string>

#include "platform/mqtt_connection.h"

namespace pathmere {

// Where the positions go: the broker, who this vehicle is, and the password
// read from a file of the user's own (never from the command line).
struct PublishTarget {
  std::string url;  // as given, for telling the user
  MqttOptions connection;
  std::string user;
  std::string device;
  std::string trackerId;
  std::string topic() const { return "owntracks/" + user + "/" + device; }
};

// "mqtt://[USER@]HOST[:PORT]" or "mqtts://..." (ports 1883 and 8883 unless
// given; an IPv6 address in brackets) into `target`; false with `error`.
bool ParsePublishUrl(const std::string& url, PublishTarget* target, std::string* error);

// The file $XDG_CONFIG_HOME/Brenix/publish: "key = value" lines (url, user,
// device, tracker-id, password-file, ca-file, protocol; "#" starts a
// comment). `url`,
// when given, replaces the file's. Nullopt with an empty `error` when
// publishing is not configured; with `error` set when it is configured but
// unusable (a password file that others may read, say).
std::optional<PublishTarget> LoadPublishTarget(const std::optional<std::string>& url, std::string* error);

// "3.1.1" or "5", the MQTT versions there are a choice of.
bool ParseMqttProtocol(const std::string& text, bool* version5);

// The settings file's path, for messages.
std::filesystem::path PublishSettingsPath();

}  // namespace pathmere
