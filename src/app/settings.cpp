// Reading `Nimbra_Bridge.ini`: the unit's pair is taken only when both keys
// read as identifiers, so a half-written section can never point the bridge
// at another maker's hardware; everything wrong is said in one text.
#include "app/settings.h"

#include <vector>

#include "platform/module_path.h"
#include "platform/profile_ini.h"

namespace {

constexpr std::uint32_t kValueBufferSize = 1024;

// The value of a key, or empty when the file, section or key is missing. A
// value that fills the buffer is longer than any setting and comes back whole
// enough to be named, never silently shortened into a valid one.
std::string ReadValue(const std::string& file, const char* section, const char* key, bool& cut) {
  std::vector<char> buffer(kValueBufferSize, '\0');
  const std::uint32_t length = platform::ReadProfileString(file, section, key, buffer.data(), kValueBufferSize);
  cut = length >= kValueBufferSize - 1;
  return std::string(buffer.data(), length < kValueBufferSize ? length : kValueBufferSize - 1);
}

int HexDigit(char c) {
  if (c >= '0' && c <= '9') return c - '0';
  if (c >= 'a' && c <= 'f') return c - 'a' + 10;
  if (c >= 'A' && c <= 'F') return c - 'A' + 10;
  return -1;
}

std::string Hex4(std::int32_t id) {
  static const char kDigits[] = "0123456789ABCDEF";
  std::string text(4, '0');
  for (int i = 3; i >= 0; --i, id >>= 4) text[static_cast<std::size_t>(i)] = kDigits[id & 0xF];
  return text;
}

}  // namespace

std::string DescribeSettings(const std::string& file, const BridgeSettings& settings) {
  return "settings from " + file + ": unit " + Hex4(settings.unit.vendorId) + ":" + Hex4(settings.unit.productId) +
         ", packages path '" + settings.packagesPath + "', tray icon " + (settings.trayIcon ? "on" : "off") +
         ", automatic reload " + (settings.autoReload ? "on" : "off");
}

std::string SettingsFilePath() { return platform::ModuleDirectory() + kSettingsFileName; }

bool ParseUsbId(const std::string& text, std::int32_t& id) {
  // Hexadecimal only, as USB tools print a pair: a decimal reading is the one
  // a pilot who copies "16C0" never means.
  std::size_t at = 0;
  if (text.size() >= 2 && text[0] == '0' && (text[1] == 'x' || text[1] == 'X')) at = 2;
  if (at >= text.size()) return false;
  std::int64_t value = 0;
  for (; at < text.size(); ++at) {
    const int digit = HexDigit(text[at]);
    if (digit < 0) return false;
    value = value * 16 + digit;
    if (value > 0xFFFF) return false;
  }
  if (value < 1) return false;
  id = static_cast<std::int32_t>(value);
  return true;
}

BridgeSettings ReadSettings(const std::string& file) {
  BridgeSettings settings;
  bool cut = false;
  settings.packagesPath = ReadValue(file, "Simulator", "PackagesPath", cut);
  if (cut) settings.packagesPath.clear();
  settings.trayIcon = ReadValue(file, "Bridge", "TrayIcon", cut) != "0";
  settings.autoReload = ReadValue(file, "Bridge", "AutoReload", cut) != "0";

  struct Key {
    const char* name;
    std::int32_t UnitIds::*field;
  };
  static constexpr Key kKeys[] = {{"VendorId", &UnitIds::vendorId}, {"ProductId", &UnitIds::productId}};
  UnitIds pair = kDefaultUnitIds;
  std::string problems;
  int present = 0;
  for (const Key& key : kKeys) {
    const std::string value = ReadValue(file, "Unit", key.name, cut);
    std::int32_t id = 0;
    if (value.empty()) {
      problems += std::string(problems.empty() ? "" : " ") + "[Unit] " + key.name + " is missing.";
      continue;
    }
    ++present;
    if (cut || !ParseUsbId(value, id)) {
      problems += std::string(problems.empty() ? "" : " ") + "[Unit] " + key.name + "=" +
                  (cut ? value.substr(0, 64) + "..." : value) + " is not a hexadecimal number from 0001 to FFFF.";
      continue;
    }
    pair.*key.field = id;
  }
  if (present == 0) return settings;
  if (problems.empty()) {
    settings.unit = pair;
    return settings;
  }
  settings.problem = file + ": " + problems + " The unit " + Hex4(kDefaultUnitIds.vendorId) + ":" +
                     Hex4(kDefaultUnitIds.productId) + " is used.";
  return settings;
}
