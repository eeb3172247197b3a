#include "platform/mqtt_library.h"

#include <dlfcn.h>

#include <mutex>

namespace pathmere {

namespace {

// The run-time name of Debian's libmosquitto1, the one the headers match.
constexpr const char* kLibraryName = "libmosquitto.so.1";

template <typename Function>
bool Find(void* handle, const char* name, Function& function, std::string& missing) {
  function = reinterpret_cast<Function>(dlsym(handle, name));
  if (function == nullptr && missing.empty()) missing = name;
  return function != nullptr;
}

struct Loaded {
  MqttLibrary library;
  bool usable = false;
  std::string problem;
};

Loaded Load() {
  Loaded loaded;
  void* handle = dlopen(kLibraryName, RTLD_NOW | RTLD_LOCAL);
  if (handle == nullptr) {
    const char* why = dlerror();
    loaded.problem =
        std::string("the MQTT client library ") + kLibraryName +
        " cannot be loaded (is libmosquitto1 installed?): " + (why != nullptr ? why : "not found");
    return loaded;
  }
  MqttLibrary& l = loaded.library;
  std::string missing;
  Find(handle, "mosquitto_lib_init", l.lib_init, missing);
  Find(handle, "mosquitto_new", l.new_client, missing);
  Find(handle, "mosquitto_destroy", l.destroy, missing);
  Find(handle, "mosquitto_threaded_set", l.threaded_set, missing);
  Find(handle, "mosquitto_int_option", l.int_option, missing);
  Find(handle, "mosquitto_username_pw_set", l.username_pw_set, missing);
  Find(handle, "mosquitto_will_set", l.will_set, missing);
  Find(handle, "mosquitto_tls_set", l.tls_set, missing);
  Find(handle, "mosquitto_connect_callback_set", l.connect_callback_set, missing);
  Find(handle, "mosquitto_publish_callback_set", l.publish_callback_set, missing);
  Find(handle, "mosquitto_message_callback_set", l.message_callback_set, missing);
  Find(handle, "mosquitto_connect_async", l.connect_async, missing);
  Find(handle, "mosquitto_loop", l.loop, missing);
  Find(handle, "mosquitto_subscribe", l.subscribe, missing);
  Find(handle, "mosquitto_publish", l.publish, missing);
  Find(handle, "mosquitto_strerror", l.strerror, missing);
  Find(handle, "mosquitto_connack_string", l.connack_string, missing);
  Find(handle, "mosquitto_connect_bind_v5", l.connect_bind_v5, missing);
  Find(handle, "mosquitto_property_add_int32", l.property_add_int32, missing);
  Find(handle, "mosquitto_property_free_all", l.property_free_all, missing);
  Find(handle, "mosquitto_reason_string", l.reason_string, missing);
  Find(handle, "mosquitto_log_callback_set", l.log_callback_set, missing);
  Find(handle, "mosquitto_tls_insecure_set", l.tls_insecure_set, missing);
  Find(handle, "mosquitto_connect", l.connect, missing);
  Find(handle, "mosquitto_disconnect", l.disconnect, missing);
  Find(handle, "mosquitto_socket", l.socket, missing);
  Find(handle, "mosquitto_loop_read", l.loop_read, missing);
  Find(handle, "mosquitto_loop_write", l.loop_write, missing);
  Find(handle, "mosquitto_loop_misc", l.loop_misc, missing);
  Find(handle, "mosquitto_want_write", l.want_write, missing);
  if (!missing.empty()) {
    // Too old a library; the handle stays open, as a loaded library would.
    loaded.problem = std::string("the MQTT client library ") + kLibraryName + " lacks " + missing;
    return loaded;
  }
  l.lib_init();
  loaded.usable = true;
  return loaded;
}

}  // namespace

const MqttLibrary* LoadMqttLibrary(std::string& problem) {
  static std::once_flag once;
  static Loaded loaded;
  std::call_once(once, [] { loaded = Load(); });
  if (!loaded.usable) {
    problem = loaded.problem;
    return nullptr;
  }
  return &loaded.library;
}

}  // namespace pathmere
