#include "platform/mqtt_connection.h"

#include <mqtt_protocol.h>

#include "platform/mqtt_library.h"

#include <poll.h>
#include <sys/socket.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <chrono>
#include <condition_variable>
#include <cstdint>
#include <cstring>
#include <mutex>

namespace pathmere {

namespace {

constexpr int kKeepAliveSeconds = 30;
constexpr int kLongestPauseSeconds = 30;
// A backlog of more than this waits in the caller's store, not in memory.
constexpr size_t kMessagesKept = 100000;

}  // namespace

struct MqttConnection::Shared {
  Shared(MqttOptions opts, const MqttLibrary* library, Receiver take, Commit keep)
      : options(std::move(opts)), api(library), receiver(std::move(take)), commit(std::move(keep)) {}

  const MqttOptions options;
  const MqttLibrary* const api;  // null when the library is missing
  const Receiver receiver;
  const Commit commit;
  bool batching = false;   // the connection's thread only: a commit follows the batch
  std::mutex clientMutex;  // the client, against Publish while it is replaced
  mosquitto* client = nullptr;
  std::mutex eventMutex;
  std::condition_variable wake;
  bool stopping = false;
  bool finished = false;
  uint64_t session = 0;
  bool connected = false;
  bool refused = false;
  bool tlsRefused = false;
  std::string tlsErrors;  // the library's error lines of this attempt (TLS only)
  std::string problem;
  std::vector<MqttSent> acknowledged;
  std::vector<MqttMessage> messages;

  void SetProblem(const std::string& text) {
    const std::lock_guard<std::mutex> lock(eventMutex);
    problem = text;
  }
  std::string Where() const { return options.host + ":" + std::to_string(options.port); }
};

namespace {

void OnConnect(mosquitto* client, void* data, int code) {
  auto* shared = static_cast<MqttConnection::Shared*>(data);
  if (code != 0) {
    shared->SetProblem(
        "broker at " + shared->Where() + " refused the connection: " +
        (shared->options.version5 ? shared->api->reason_string(code) : shared->api->connack_string(code)));
    const std::lock_guard<std::mutex> lock(shared->eventMutex);
    shared->refused = true;
    return;
  }
  if (!shared->options.subscribeTo.empty()) {
    shared->api->subscribe(client, nullptr, shared->options.subscribeTo.c_str(), 1);
  }
  const std::lock_guard<std::mutex> lock(shared->eventMutex);
  ++shared->session;
  shared->connected = true;
  shared->tlsRefused = false;
  shared->problem.clear();
}

void OnPublish(mosquitto*, void* data, int id) {
  auto* shared = static_cast<MqttConnection::Shared*>(data);
  const std::lock_guard<std::mutex> lock(shared->eventMutex);
  shared->acknowledged.push_back({shared->session, id});
}

void OnMessage(mosquitto* client, void* data, const mosquitto_message* message) {
  auto* shared = static_cast<MqttConnection::Shared*>(data);
  MqttMessage taken{message->topic != nullptr ? message->topic : "",
                    std::string(static_cast<const char*>(message->payload),
                                static_cast<size_t>(std::max(message->payloadlen, 0))),
                    message->retain};
  if (shared->receiver) {
    // The PUBACK waits in the library's queue until this returns: a message
    // not kept must not be acknowledged, so the socket is shut before the
    // queue is written and the broker keeps the message for the next session.
    const bool kept = shared->receiver(taken) && (shared->batching || !shared->commit || shared->commit());
    if (!kept) shutdown(shared->api->socket(client), SHUT_RDWR);
    return;
  }
  const std::lock_guard<std::mutex> lock(shared->eventMutex);
  if (shared->messages.size() >= kMessagesKept) return;
  shared->messages.push_back(std::move(taken));
}

void OnLog(mosquitto*, void* data, int level, const char* text) {
  if ((level & MOSQ_LOG_ERR) == 0 || text == nullptr) return;
  auto* shared = static_cast<MqttConnection::Shared*>(data);
  const std::lock_guard<std::mutex> lock(shared->eventMutex);
  if (shared->tlsErrors.size() < 4096) shared->tlsErrors += std::string(text) + "\n";
}

std::string ErrorTextOf(const MqttLibrary& api, int code) {
  if (code == MOSQ_ERR_ERRNO) return std::strerror(errno);
  if (code == MOSQ_ERR_EAI) return "the host name is not known";
  if (code == MOSQ_ERR_CONN_LOST || code == MOSQ_ERR_NO_CONN) return "the broker closed the connection";
  if (code == MOSQ_ERR_TLS) return "TLS failed (wrong CA file, or not a TLS port?)";
  return api.strerror(code);
}

// The CA file's fault in words: the library only says "invalid arguments".
std::string CaFileProblem(const std::string& file) {
  struct stat info {};
  if (stat(file.c_str(), &info) != 0) {
    if (errno == ENOENT) return "the CA file " + file + " is missing";
    return "the CA file " + file + " cannot be read: " + std::strerror(errno);
  }
  if (S_ISDIR(info.st_mode)) return "the CA file " + file + " is a folder";
  if (access(file.c_str(), R_OK) != 0)
    return "the CA file " + file + " cannot be read: " + std::strerror(errno);
  return {};
}

// TLS for `client`, or why it cannot have it ("" when set up).
std::string SetUpTls(const MqttLibrary& api, mosquitto* client, const MqttOptions& options) {
  if (options.caFile.empty()) {
    const int code = api.int_option(client, MOSQ_OPT_TLS_USE_OS_CERTS, 1);
    return code == MOSQ_ERR_SUCCESS ? "" : std::string("TLS cannot be set up: ") + api.strerror(code);
  }
  if (std::string problem = CaFileProblem(options.caFile); !problem.empty()) return problem;
  const int code = api.tls_set(client, options.caFile.c_str(), nullptr, nullptr, nullptr, nullptr);
  if (code != MOSQ_ERR_SUCCESS)
    return "the CA file " + options.caFile + " cannot be used: " + api.strerror(code);
  return {};
}

std::string TlsRefusal(const MqttConnection::Shared& shared, const std::string& cause) {
  return "broker at " + shared.Where() + ": TLS refused, " + cause;
}

// Why a TLS connection failed before the broker answered. The library logs
// only "certificate verify failed" for an unknown CA and a wrong name alike:
// a second handshake without the name check, which sends neither user nor
// password, tells them apart.
std::string DiagnoseTls(MqttConnection::Shared& shared, const std::string& errors, int code) {
  const MqttLibrary& api = *shared.api;
  const MqttOptions& options = shared.options;
  const std::string trusted = options.caFile.empty() ? "the system's CAs" : "the CA file " + options.caFile;
  if (errors.find("Unable to load CA certificates") != std::string::npos)
    return TlsRefusal(shared, trusted + " holds no usable certificate");
  if (errors.find("certificate verify failed") == std::string::npos) {
    return TlsRefusal(shared, "not a TLS port (no TLS handshake: " +
                                  (code == MOSQ_ERR_TLS ? std::string("TLS error") : ErrorTextOf(api, code)) +
                                  ")");
  }
  // The handshake goes on inside the loop: trusted once the broker answers.
  bool answered = false;
  if (mosquitto* probe = api.new_client(nullptr, true, &answered); probe != nullptr) {
    api.connect_callback_set(probe, [](mosquitto*, void* data, int) { *static_cast<bool*>(data) = true; });
    if (SetUpTls(api, probe, options).empty() && api.tls_insecure_set(probe, true) == MOSQ_ERR_SUCCESS &&
        api.connect_async(probe, options.host.c_str(), options.port, kKeepAliveSeconds) == MOSQ_ERR_SUCCESS) {
      for (int i = 0; i < 20 && !answered && api.loop(probe, 100, 1) == MOSQ_ERR_SUCCESS; ++i) {
      }
    }
    api.destroy(probe);
  }
  const bool nameOnly = answered;
  if (nameOnly)
    return TlsRefusal(shared, "name mismatch: the broker's certificate is not for " + options.host);
  return TlsRefusal(shared, "certificate not trusted: not signed by " + trusted);
}

mosquitto* NewClient(MqttConnection::Shared& shared, std::string* tlsProblem) {
  const MqttOptions& options = shared.options;
  const MqttLibrary& api = *shared.api;
  mosquitto* client = api.new_client(options.clientId.empty() ? nullptr : options.clientId.c_str(),
                                     options.cleanSession, &shared);
  if (client == nullptr) return nullptr;
  if (options.tls) {
    // Before the user and password are given to the library: a client that
    // cannot have TLS is never connected.
    *tlsProblem = SetUpTls(api, client, options);
    if (!tlsProblem->empty()) {
      api.destroy(client);
      return nullptr;
    }
    api.log_callback_set(client, OnLog);
  }
  api.threaded_set(client, true);
  api.int_option(client, MOSQ_OPT_PROTOCOL_VERSION, options.version5 ? MQTT_PROTOCOL_V5 : MQTT_PROTOCOL_V311);
  if (!options.user.empty()) {
    api.username_pw_set(client, options.user.c_str(),
                        options.password.empty() ? nullptr : options.password.c_str());
  }
  if (!options.willTopic.empty()) {
    api.will_set(client, options.willTopic.c_str(), static_cast<int>(options.willPayload.size()),
                 options.willPayload.data(), 1, false);
  }
  api.connect_callback_set(client, OnConnect);
  api.publish_callback_set(client, OnPublish);
  api.message_callback_set(client, OnMessage);
  return client;
}

// Starts the connection. An MQTT 5 session the broker keeps must say so
// with an expiry, which only the library's waiting connect carries: the host
// lookup, the TCP connect and the TLS handshake are then waited for here, on
// the connection's own thread, which is all the others wait for anyway.
int Connect(MqttConnection::Shared& shared, mosquitto* client) {
  const MqttLibrary& api = *shared.api;
  const MqttOptions& options = shared.options;
  if (!options.version5 || options.cleanSession) {
    return api.connect_async(client, options.host.c_str(), options.port, kKeepAliveSeconds);
  }
  mosquitto_property* properties = nullptr;
  int code = api.property_add_int32(&properties, MQTT_PROP_SESSION_EXPIRY_INTERVAL, UINT32_MAX);
  if (code == MOSQ_ERR_SUCCESS) {
    code = api.connect_bind_v5(client, options.host.c_str(), options.port, kKeepAliveSeconds, nullptr,
                               properties);
  }
  api.property_free_all(&properties);
  return code;
}

// One round of a connection with a receiver, once it is made: everything
// that has come is read (each message taken, its PUBACK queued), made
// durable with one commit, and only then are the acknowledgements written.
int ServeBatch(MqttConnection::Shared& shared, mosquitto* client) {
  const MqttLibrary& api = *shared.api;
  const int fd = api.socket(client);
  if (fd < 0) return MOSQ_ERR_NO_CONN;
  pollfd ready{fd, static_cast<short>(POLLIN | (api.want_write(client) ? POLLOUT : 0)), 0};
  if (poll(&ready, 1, 250) < 0 && errno != EINTR) return MOSQ_ERR_ERRNO;
  int code = MOSQ_ERR_SUCCESS;
  if ((ready.revents & (POLLIN | POLLHUP | POLLERR)) != 0) {
    shared.batching = true;
    for (int i = 0; i < 1000 && code == MOSQ_ERR_SUCCESS; ++i) {
      code = api.loop_read(client, 1);
      pollfd more{fd, POLLIN, 0};
      if (poll(&more, 1, 0) <= 0) break;
    }
    shared.batching = false;
  }
  if (shared.commit && !shared.commit()) {
    // Nothing taken in this round is acknowledged. A read that failed has
    // closed the socket already, and its number may be another file's now.
    if (const int still = api.socket(client); still >= 0) shutdown(still, SHUT_RDWR);
    return MOSQ_ERR_CONN_LOST;
  }
  if (code == MOSQ_ERR_SUCCESS && api.want_write(client)) code = api.loop_write(client, 1);
  if (code == MOSQ_ERR_SUCCESS) code = api.loop_misc(client);
  return code;
}

// Connects, serves the connection until it ends, and starts again after a
// pause that doubles with each failure, until told to stop.
void Work(const std::shared_ptr<MqttConnection::Shared>& shared) {
  const MqttLibrary& api = *shared->api;
  int pauseSeconds = 1;
  for (;;) {
    {
      const std::lock_guard<std::mutex> lock(shared->eventMutex);
      if (shared->stopping) return;
      shared->refused = false;
    }
    std::string tlsProblem;
    mosquitto* client = NewClient(*shared, &tlsProblem);
    bool servedOnce = false;
    // The failure of a TLS connection before the broker answered.
    int tlsFailure = MOSQ_ERR_SUCCESS;
    if (!tlsProblem.empty()) {
      const std::lock_guard<std::mutex> lock(shared->eventMutex);
      shared->problem = TlsRefusal(*shared, tlsProblem);
      shared->tlsRefused = true;
    } else if (client == nullptr) {
      shared->SetProblem("cannot make an MQTT client: " + std::string(std::strerror(errno)));
    } else {
      const int code = Connect(*shared, client);
      if (code != MOSQ_ERR_SUCCESS) {
        // A TLS failure is told once its cause is known, in one step with
        // the refusal.
        if (shared->options.tls && code == MOSQ_ERR_TLS) {
          tlsFailure = code;
        } else {
          shared->SetProblem("broker at " + shared->Where() + ": " + ErrorTextOf(api, code));
        }
      } else {
        {
          const std::lock_guard<std::mutex> lock(shared->clientMutex);
          shared->client = client;
        }
        bool stopping = false;
        bool batches = false;
        for (;;) {
          // The library's own loop until the connection is made (the TLS
          // handshake is its business), then batches where a receiver wants
          // its messages durable.
          const int loop = batches ? ServeBatch(*shared, client) : api.loop(client, 250, 1);
          const int loopErrno = errno;
          const std::lock_guard<std::mutex> lock(shared->eventMutex);
          servedOnce = servedOnce || shared->connected;
          batches = shared->connected && shared->receiver && shared->commit;
          stopping = shared->stopping;
          if (stopping || shared->refused) break;
          if (loop != MOSQ_ERR_SUCCESS) {
            // A broker that is down or unreachable is no TLS fault; one that
            // ends the handshake is.
            const bool handshake =
                loop == MOSQ_ERR_TLS || loop == MOSQ_ERR_CONN_LOST || loop == MOSQ_ERR_PROTOCOL ||
                (loop == MOSQ_ERR_ERRNO && (loopErrno == EPROTO || loopErrno == ECONNRESET));
            if (shared->options.tls && !servedOnce && handshake) {
              tlsFailure = loop;
            } else {
              shared->problem = "broker at " + shared->Where() + ": " + ErrorTextOf(api, loop);
            }
            break;
          }
        }
        if (stopping && servedOnce) {
          // A clean end: the DISCONNECT tells the broker to drop the will.
          // What arrives meanwhile is taken as ever.
          api.disconnect(client);
          for (int i = 0; i < 8 && api.loop(client, 125, 1) == MOSQ_ERR_SUCCESS; ++i) {
          }
        }
      }
      {
        const std::lock_guard<std::mutex> lock(shared->clientMutex);
        shared->client = nullptr;
      }
      api.destroy(client);
    }
    if (tlsFailure != MOSQ_ERR_SUCCESS) {
      std::string errors;
      {
        const std::lock_guard<std::mutex> lock(shared->eventMutex);
        errors.swap(shared->tlsErrors);
      }
      const std::string problem = DiagnoseTls(*shared, errors, tlsFailure);
      const std::lock_guard<std::mutex> lock(shared->eventMutex);
      shared->problem = problem;
      shared->tlsRefused = true;
    }
    {
      const std::lock_guard<std::mutex> lock(shared->eventMutex);
      shared->tlsErrors.clear();
    }
    std::unique_lock<std::mutex> lock(shared->eventMutex);
    shared->connected = false;
    if (servedOnce) pauseSeconds = 1;
    shared->wake.wait_for(lock, std::chrono::seconds(pauseSeconds), [&] { return shared->stopping; });
    pauseSeconds = std::min(pauseSeconds * 2, kLongestPauseSeconds);
  }
}

}  // namespace

MqttConnection::MqttConnection(MqttOptions options, Receiver receiver, Commit commit) {
  std::string missing;
  const MqttLibrary* api = LoadMqttLibrary(missing);
  shared_ = std::make_shared<Shared>(std::move(options), api, std::move(receiver), std::move(commit));
  if (api == nullptr) {
    // Nothing to connect with: the problem is told like a broker's, and
    // the caller's store keeps what waits.
    shared_->problem = missing;
    shared_->finished = true;
    return;
  }
  worker_ = std::thread([shared = shared_] {
    Work(shared);
    const std::lock_guard<std::mutex> lock(shared->eventMutex);
    shared->finished = true;
    shared->wake.notify_all();
  });
}

MqttConnection::~MqttConnection() { Stop(); }

void MqttConnection::Stop() {
  if (stopped_) return;
  stopped_ = true;
  std::unique_lock<std::mutex> lock(shared_->eventMutex);
  shared_->stopping = true;
  shared_->wake.notify_all();
  // A host name lookup cannot be interrupted: a thread still in one after
  // a while keeps what it needs and ends by itself.
  const bool finished =
      shared_->wake.wait_for(lock, std::chrono::seconds(3), [&] { return shared_->finished; });
  lock.unlock();
  if (!worker_.joinable()) return;
  if (finished) {
    worker_.join();
  } else {
    worker_.detach();
  }
}

uint64_t MqttConnection::session() const {
  const std::lock_guard<std::mutex> lock(shared_->eventMutex);
  return shared_->session;
}

bool MqttConnection::connected() const {
  const std::lock_guard<std::mutex> lock(shared_->eventMutex);
  return shared_->connected;
}

bool MqttConnection::tlsRefused() const {
  const std::lock_guard<std::mutex> lock(shared_->eventMutex);
  return shared_->tlsRefused;
}

std::string MqttConnection::problem() const {
  const std::lock_guard<std::mutex> lock(shared_->eventMutex);
  return shared_->problem;
}

MqttSent MqttConnection::Publish(const std::string& topic, const std::string& payload, bool retain) {
  uint64_t session = 0;
  {
    const std::lock_guard<std::mutex> lock(shared_->eventMutex);
    if (!shared_->connected) return {};
    session = shared_->session;
  }
  const std::lock_guard<std::mutex> lock(shared_->clientMutex);
  if (shared_->client == nullptr) return {};
  int id = 0;
  if (shared_->api->publish(shared_->client, &id, topic.c_str(), static_cast<int>(payload.size()),
                            payload.data(), 1, retain) != MOSQ_ERR_SUCCESS) {
    return {};
  }
  return {session, id};
}

std::vector<MqttSent> MqttConnection::TakeAcknowledged() {
  const std::lock_guard<std::mutex> lock(shared_->eventMutex);
  std::vector<MqttSent> taken;
  taken.swap(shared_->acknowledged);
  return taken;
}

std::vector<MqttMessage> MqttConnection::TakeMessages() {
  const std::lock_guard<std::mutex> lock(shared_->eventMutex);
  std::vector<MqttMessage> taken;
  taken.swap(shared_->messages);
  return taken;
}

}  // namespace pathmere
