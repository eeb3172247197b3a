#pragma once

#include <atomic>
#include <cstdint>
#include <functional>
#include <memory>
#include <string>
#include <thread>
#include <vector>

namespace pathmere {

// Where and how to reach an MQTT broker.
struct MqttOptions {
  std::string host;
  int port = 1883;
  bool tls = false;
  std::string caFile;  // empty: the system's certificates
  std::string user;
  std::string password;
  std::string clientId;
  bool cleanSession = true;
  std::string willTopic;  // empty: no last will
  std::string willPayload;
  std::string subscribeTo;  // a pattern subscribed to (QoS 1) on each connection; empty: none
  // MQTT 5 instead of 3.1.1. A session the broker keeps (cleanSession
  // false) is then asked never to expire, as a 3.1.1 one does not.
  bool version5 = false;
};

struct MqttMessage {
  std::string topic;
  std::string payload;
  bool retained = false;  // kept by the broker from before the subscription
};

// A message handed to the broker: the connection it went out on and its id.
struct MqttSent {
  uint64_t session = 0;
  int id = 0;
};

// One MQTT client (libmosquitto) that connects, and after a loss or a
// refusal connects again with a growing pause, on a thread of its own: no
// caller ever waits for the network or a host name. Each connection is a
// new session of the library, so nothing it held is sent again behind the
// caller's back; the caller resends from its own store.
//
// With `tls`, nothing connects without it: a CA file that cannot be used, a
// certificate that does not verify, a name it is not for, or a port that
// speaks no TLS is a refusal (tlsRefused(), problem() names the cause), and
// the password is never sent. A stop ends the connection with a DISCONNECT,
// so the broker drops the last will.
class MqttConnection {
 public:
  // Called on the connection's thread for each message received, before the
  // library acknowledges it: the library queues the PUBACK and writes it only
  // after the callback returns. True when the message is taken; false cuts
  // the connection before the acknowledgement goes out, so the broker
  // delivers the message again. `commit` then makes what was taken durable
  // before any acknowledgement is written: after each message while the
  // connection is made, after each batch of what has come once it is (one
  // sync for many). With a receiver TakeMessages() stays empty.
  using Receiver = std::function<bool(const MqttMessage&)>;
  using Commit = std::function<bool()>;

  explicit MqttConnection(MqttOptions options, Receiver receiver = {}, Commit commit = {});
  ~MqttConnection();
  MqttConnection(const MqttConnection&) = delete;
  MqttConnection& operator=(const MqttConnection&) = delete;

  // Counts the connections made; 0 before the first.
  uint64_t session() const;
  bool connected() const;
  // Why the last attempt or connection failed ("" while all is well).
  std::string problem() const;
  // The last attempt was refused for TLS (problem() says why); cleared by a
  // connection.
  bool tlsRefused() const;
  // QoS 1. A session of 0 when not connected or refused.
  MqttSent Publish(const std::string& topic, const std::string& payload, bool retain);
  // The acknowledged (PUBACK) messages since the last call.
  std::vector<MqttSent> TakeAcknowledged();
  // Messages received on the subscription since the last call.
  std::vector<MqttMessage> TakeMessages();
  // Ends the connection and its thread (the destructor does too). Messages
  // the library received before are acknowledged to the broker and wait in
  // TakeMessages: a caller that stops takes them after this, or loses them.
  void Stop();

  struct Shared;

 private:
  std::shared_ptr<Shared> shared_;
  std::thread worker_;
  bool stopped_ = false;
};

}  // namespace pathmere
