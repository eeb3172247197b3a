#pragma once

#include <mosquitto.h>

#include <string>

namespace pathmere {

// The MQTT client library, loaded on first use rather than linked: linking
// it maps it and the TLS libraries beneath it into every run, which costs a
// logger that never publishes about 2 MiB of memory.
struct MqttLibrary {
  decltype(&mosquitto_lib_init) lib_init = nullptr;
  decltype(&mosquitto_new) new_client = nullptr;
  decltype(&mosquitto_destroy) destroy = nullptr;
  decltype(&mosquitto_threaded_set) threaded_set = nullptr;
  decltype(&mosquitto_int_option) int_option = nullptr;
  decltype(&mosquitto_username_pw_set) username_pw_set = nullptr;
  decltype(&mosquitto_will_set) will_set = nullptr;
  decltype(&mosquitto_tls_set) tls_set = nullptr;
  decltype(&mosquitto_connect_callback_set) connect_callback_set = nullptr;
  decltype(&mosquitto_publish_callback_set) publish_callback_set = nullptr;
  decltype(&mosquitto_message_callback_set) message_callback_set = nullptr;
  decltype(&mosquitto_connect_async) connect_async = nullptr;
  decltype(&mosquitto_loop) loop = nullptr;
  decltype(&mosquitto_subscribe) subscribe = nullptr;
  decltype(&mosquitto_publish) publish = nullptr;
  decltype(&mosquitto_strerror) strerror = nullptr;
  decltype(&mosquitto_connack_string) connack_string = nullptr;
  // MQTT 5: the session's expiry on connecting, and the refusals' words.
  decltype(&mosquitto_connect_bind_v5) connect_bind_v5 = nullptr;
  decltype(&mosquitto_property_add_int32) property_add_int32 = nullptr;
  decltype(&mosquitto_property_free_all) property_free_all = nullptr;
  decltype(&mosquitto_reason_string) reason_string = nullptr;
  // TLS causes told apart, a clean end, and a connection cut short.
  decltype(&mosquitto_log_callback_set) log_callback_set = nullptr;
  decltype(&mosquitto_tls_insecure_set) tls_insecure_set = nullptr;
  decltype(&mosquitto_connect) connect = nullptr;
  decltype(&mosquitto_disconnect) disconnect = nullptr;
  decltype(&mosquitto_socket) socket = nullptr;
  // The loop in its parts: received messages made durable in one go before
  // their acknowledgements are written.
  decltype(&mosquitto_loop_read) loop_read = nullptr;
  decltype(&mosquitto_loop_write) loop_write = nullptr;
  decltype(&mosquitto_loop_misc) loop_misc = nullptr;
  decltype(&mosquitto_want_write) want_write = nullptr;
};

// The library with every function found and initialised, or null with why
// not in `problem`. Loaded once per process; later calls return the same.
const MqttLibrary* LoadMqttLibrary(std::string& problem);

}  // namespace pathmere
