#pragma once

#include <cstddef>
#include <cstdint>
#include <memory>
#include <string>
#include <string_view>

namespace pathmere {

// What a settings-store operation found. A read tells apart why a value is
// unusable, so the caller can keep its default.
enum class StoreStatus {
  kOk,
  kNoKey,      // OpenKey: the key has never been created
  kMissing,    // no value of that name
  kWrongType,  // the value holds another type
  kTooLong,    // the string and its terminator do not fit the buffer
  kFailed,     // the store could not be read or written
};

// One open key holding named values of two types: 32-bit numbers and
// strings. Value names compare without regard to ASCII case, as registry
// value names do.
class SettingsKey {
 public:
  virtual ~SettingsKey() = default;

  virtual StoreStatus ReadNumber(std::string_view name, int32_t* value) const = 0;
  // Copies the string and its terminator into `buffer`, which holds
  // `capacity` wide characters. On any failure `buffer` receives at most an
  // empty string.
  virtual StoreStatus ReadString(std::string_view name, wchar_t* buffer, size_t capacity) const = 0;

  // Writes are kept until Close; a key opened for reading refuses them.
  virtual StoreStatus WriteNumber(std::string_view name, int32_t value) = 0;
  virtual StoreStatus WriteString(std::string_view name, std::wstring_view value) = 0;

  // Makes the writes durable, all or none. Run by the destructor when the
  // caller did not, then without a result.
  virtual StoreStatus Close() = 0;
};

// The per-user store of one key of settings.
class SettingsStore {
 public:
  virtual ~SettingsStore() = default;
  // For reading: kOk, kNoKey or kFailed. `key` is set only on kOk.
  virtual StoreStatus OpenKey(std::unique_ptr<SettingsKey>* key) = 0;
  // For reading and writing, creating the key when it is missing: kOk or
  // kFailed.
  virtual StoreStatus CreateKey(std::unique_ptr<SettingsKey>* key) = 0;
  // What was wrong with the stored settings at the last open, for the user;
  // empty when nothing was.
  virtual std::string problem() const { return {}; }
};

}  // namespace pathmere
