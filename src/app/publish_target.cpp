#include "app/publish_target.h"

#include <sys/stat.h>
#include <unistd.h>

#include <cstdlib>
#include <fstream>
#include <sstream>

#include "output/owntracks_message.h"
#include "platform/user_config_folder.h"

namespace pathmere {

namespace {

std::string Trimmed(const std::string& text) {
  const size_t first = text.find_first_not_of(" \t\r");
  if (first == std::string::npos) return {};
  return text.substr(first, text.find_last_not_of(" \t\r") - first + 1);
}

std::string HostName() {
  char name[256] = {};
  if (gethostname(name, sizeof name - 1) != 0) return "pathmere";
  std::string host = name;
  return host.substr(0, host.find('.'));
}

std::string LoginName() {
  const char* user = std::getenv("USER");
  return user != nullptr && user[0] != '\0' ? user : "pathmere";
}

bool ReadPassword(const std::filesystem::path& file, std::string* password, std::string* error) {
  struct stat info {};
  if (stat(file.c_str(), &info) != 0) {
    *error = "the password file " + file.string() + " cannot be read";
    return false;
  }
  if ((info.st_mode & 077) != 0) {
    *error = "the password file " + file.string() + " may be read by others: chmod 600 " + file.string();
    return false;
  }
  std::ifstream in(file);
  std::string line;
  std::getline(in, line);
  if (!line.empty() && line.back() == '\r') line.pop_back();
  *password = line;
  return true;
}

}  // namespace

bool ParseMqttProtocol(const std::string& text, bool* version5) {
  if (text != "3.1.1" && text != "5") return false;
  *version5 = text == "5";
  return true;
}

std::filesystem::path PublishSettingsPath() {
  const std::filesystem::path folder = BrenixConfigFolder();
  return folder.empty() ? std::filesystem::path() : folder / "publish";
}

bool ParsePublishUrl(const std::string& url, PublishTarget* target, std::string* error) {
  std::string rest;
  if (url.rfind("mqtt://", 0) == 0) {
    rest = url.substr(7);
    target->connection.tls = false;
    target->connection.port = 1883;
  } else if (url.rfind("mqtts://", 0) == 0) {
    rest = url.substr(8);
    target->connection.tls = true;
    target->connection.port = 8883;
  } else {
    *error = "the publish address must begin with mqtt:// or mqtts://: " + url;
    return false;
  }
  if (!rest.empty() && rest.back() == '/') rest.pop_back();
  if (const size_t at = rest.rfind('@'); at != std::string::npos) {
    target->user = rest.substr(0, at);
    rest = rest.substr(at + 1);
  }
  std::string host = rest;
  std::string port;
  if (!rest.empty() && rest[0] == '[') {
    const size_t close = rest.find(']');
    if (close == std::string::npos) {
      *error = "no closing bracket in " + url;
      return false;
    }
    host = rest.substr(1, close - 1);
    if (close + 1 < rest.size()) {
      if (rest[close + 1] != ':') {
        *error = "unusable publish address " + url;
        return false;
      }
      port = rest.substr(close + 2);
    }
  } else if (const size_t colon = rest.rfind(':'); colon != std::string::npos) {
    host = rest.substr(0, colon);
    port = rest.substr(colon + 1);
  }
  if (host.empty() || host.find_first_of("/@ ") != std::string::npos) {
    *error = "no broker host in " + url;
    return false;
  }
  if (!port.empty()) {
    char* end = nullptr;
    const long number = std::strtol(port.c_str(), &end, 10);
    if (*end != '\0' || number < 1 || number > 65535) {
      *error = "the port in " + url + " is not 1 to 65535";
      return false;
    }
    target->connection.port = static_cast<int>(number);
  }
  target->connection.host = host;
  target->url = url;
  return true;
}

std::optional<PublishTarget> LoadPublishTarget(const std::optional<std::string>& url, std::string* error) {
  error->clear();
  PublishTarget target;
  std::string fileUrl;
  std::string user;
  std::string passwordFile;
  const std::filesystem::path path = PublishSettingsPath();
  std::ifstream in(path);
  std::string line;
  int number = 0;
  while (in && std::getline(in, line)) {
    ++number;
    line = Trimmed(line.substr(0, line.find('#')));
    if (line.empty()) continue;
    const size_t equals = line.find('=');
    if (equals == std::string::npos) {
      *error = path.string() + " line " + std::to_string(number) + ": not \"key = value\"";
      return std::nullopt;
    }
    const std::string key = Trimmed(line.substr(0, equals));
    const std::string value = Trimmed(line.substr(equals + 1));
    if (key == "url") {
      fileUrl = value;
    } else if (key == "user") {
      user = value;
    } else if (key == "device") {
      target.device = value;
    } else if (key == "tracker-id") {
      target.trackerId = value;
    } else if (key == "password-file") {
      passwordFile = value;
    } else if (key == "ca-file") {
      target.connection.caFile = value;
    } else if (key == "protocol") {
      if (!ParseMqttProtocol(value, &target.connection.version5)) {
        *error = path.string() + " line " + std::to_string(number) + ": protocol must be 3.1.1 or 5";
        return std::nullopt;
      }
    } else {
      *error = path.string() + " line " + std::to_string(number) + ": unknown key \"" + key + "\"";
      return std::nullopt;
    }
  }
  const std::string& chosen = url ? *url : fileUrl;
  if (chosen.empty()) return std::nullopt;
  if (!ParsePublishUrl(chosen, &target, error)) return std::nullopt;
  if (target.user.empty()) target.user = user.empty() ? LoginName() : user;
  if (target.device.empty()) target.device = HostName();
  if (!IsTopicPart(target.user) || !IsTopicPart(target.device)) {
    *error = "user and device must be letters, digits, '-', '_' or '.' (up to 64): \"" + target.user +
             "\", \"" + target.device + "\"";
    return std::nullopt;
  }
  if (target.trackerId.empty()) target.trackerId = target.device.substr(0, 2);
  if (!passwordFile.empty() && !ReadPassword(passwordFile, &target.connection.password, error))
    return std::nullopt;
  target.connection.user = target.user;
  // "/" is in no user or device name: two vehicles never share an id, and
  // none is a collector's ("pathmere-collector-USER").
  target.connection.clientId = "pathmere/" + target.user + "/" + target.device;
  target.connection.willTopic = target.topic();
  return target;
}

}  // namespace pathmere
