#pragma once

#include <cstdint>
#include <string_view>

namespace pathmere {

// The numeric settings. The output folder has no variable of its own: each
// writer holds it.
struct Settings {
  Settings();  // every value at its default in kSettingsTable

  int32_t portNumber{};  // -1: no port
  int32_t portSpeed{};   // bit/s
  int32_t enableNmeaLog{};
  int32_t hideAtStartup{};
  int32_t gpsOnly{};       // non-zero: only "$GP" sentences count, as on receivers of GPS alone
  int32_t flushSeconds{};  // timed flushes after this many seconds; 0: the writers' own intervals
  int32_t gpxLog{};        // non-zero: each day's GPX file beside the Ozi files
};

enum class SettingType { kNumber, kString };

// A setting as the store keeps it.
struct SettingDefinition {
  std::string_view name;  // value name in the store
  SettingType type;
  int32_t Settings::*number;     // kNumber: its variable
  int32_t numberDefault;         // kNumber
  const wchar_t* stringDefault;  // kString
};

// Every persistent setting, once, in the order in which they are loaded and
// saved.
inline constexpr SettingDefinition kSettingsTable[] = {
    {"PortNumber", SettingType::kNumber, &Settings::portNumber, -1, nullptr},
    {"PortSpeed", SettingType::kNumber, &Settings::portSpeed, 4800, nullptr},
    {"EnableNmeaLog", SettingType::kNumber, &Settings::enableNmeaLog, 0, nullptr},
    {"HideAtStartup", SettingType::kNumber, &Settings::hideAtStartup, 0, nullptr},
    {"GpsOnly", SettingType::kNumber, &Settings::gpsOnly, 0, nullptr},
    {"FlushSeconds", SettingType::kNumber, &Settings::flushSeconds, 0, nullptr},
    {"GpxLog", SettingType::kNumber, &Settings::gpxLog, 1, nullptr},
    {"OutputDir", SettingType::kString, nullptr, 0, L"\\Pathmere"},
};

// A row of the table by name, at compile time: a name that is not in the
// table does not compile.
consteval const SettingDefinition& SettingNamed(std::string_view name) {
  for (const SettingDefinition& setting : kSettingsTable) {
    if (setting.name == name) return setting;
  }
  throw "not a setting";
}

inline Settings::Settings() {
  for (const SettingDefinition& setting : kSettingsTable) {
    if (setting.type == SettingType::kNumber) this->*setting.number = setting.numberDefault;
  }
}

}  // namespace pathmere
