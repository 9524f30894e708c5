// The commands of nimbra-unit. Each opens the unit the way the bridge does
// (the settings file's pair, the first matching interface), so a pilot who
// sees `test` light the right LEDs knows the bridge will find the same unit.
#include "unit_tool.h"

#include <array>
#include <cstdint>
#include <cstdio>
#include <filesystem>
#include <system_error>
#include <string>

#include <hidapi.h>

#include "app/settings.h"
#include "devices/supported_unit.h"
#include "devices/unit_record.h"

namespace nimbra_unit {

namespace {

using Report = std::array<unsigned char, kLedReportSize>;

constexpr unsigned kDefaultDelayMs = 400;
constexpr unsigned kMaxDelayMs = 60000;

std::string Hex4(std::int32_t id, const char* format = "%04X") {
  char text[8];
  std::snprintf(text, sizeof text, format, static_cast<unsigned>(id) & 0xFFFFu);
  return text;
}

std::string PairText(UnitIds pair) { return Hex4(pair.vendorId) + ":" + Hex4(pair.productId); }

// The unit's LED positions as a pilot writes them.
std::string Limits() {
  const auto last = std::to_string(kSupportedUnitLastByteIndex);
  return "bytes 1 to " + last + ", bits 0 to 7, in byte " + last + " bits 0 to " +
         std::to_string(kSupportedUnitLastByteMaxBit);
}

std::string Usage() {
  const auto last = std::to_string(kSupportedUnitLastByteIndex);
  const auto lastBit = std::to_string(kSupportedUnitLastByteMaxBit);
  return "usage: nimbra-unit [--settings FILE] COMMAND\n"
         "Finds, tests and switches the unit the bridge drives: the USB pair that the\n"
         "bridge's settings file (" + std::string(kSettingsFileName) +
         " beside the program, [Unit] VendorId and\nProductId) names, else " + PairText(kDefaultUnitIds) +
         ". The unit is opened as the bridge opens it:\nits first HID interface with that pair.\n"
         "Commands:\n"
         "  list               every HID interface on the machine, one a line: vendor:product\n"
         "                     (hexadecimal, as [Unit] VendorId and ProductId take them),\n"
         "                     manufacturer and product, usage page:usage, interface number, path;\n"
         "                     '*' marks the one the bridge opens\n"
         "  test [--delay MS]  lights each LED position in turn, byte 1 bit 0 up to byte " + last + " bit " +
         lastBit + ",\n"
         "                     printing each, then all of them, then none; MS between steps\n"
         "                     (0 to 60000, default 400)\n"
         "  set BYTE/BIT...    lights exactly these positions (" + Limits() + ")\n"
         "  off                switches every LED off\n"
         "  udev-rule          prints the udev rule that lets the logged-in user open the pair's\n"
         "                     hidraw node (Linux); install it with\n"
         "                     nimbra-unit udev-rule | sudo tee /etc/udev/rules.d/71-nimbra-unit.rules\n"
         "  --help             this text\n"
         "--settings FILE reads FILE in place of the settings file beside the program.\n"
         "Exit status: 0 done, 1 no unit found, 2 usage error, or the unit did not open or\n"
         "took no report.\n";
}

int UsageError(const Console& console, const std::string& what) {
  console.err << "nimbra-unit: " << what << " (nimbra-unit --help explains)\n";
  return kUsageOrOpenError;
}

// A hidapi text (wide characters) as UTF-8; empty for none.
std::string Narrow(const wchar_t* text) {
  std::string out;
  for (; text != nullptr && *text != 0; ++text) {
    const auto c = static_cast<std::uint32_t>(*text);
    if (c < 0x80) {
      out += static_cast<char>(c);
    } else if (c < 0x800) {
      out += static_cast<char>(0xC0 | (c >> 6));
      out += static_cast<char>(0x80 | (c & 0x3F));
    } else if (c < 0x10000 && (c < 0xD800 || c > 0xDFFF)) {
      out += static_cast<char>(0xE0 | (c >> 12));
      out += static_cast<char>(0x80 | ((c >> 6) & 0x3F));
      out += static_cast<char>(0x80 | (c & 0x3F));
    } else {
      out += '?';
    }
  }
  return out;
}

// A whole decimal number from 0 to `max`, digits only.
bool ParseNumber(const std::string& text, unsigned max, unsigned& value) {
  if (text.empty() || text.size() > 6) return false;
  value = 0;
  for (char c : text) {
    if (c < '0' || c > '9') return false;
    value = value * 10 + static_cast<unsigned>(c - '0');
  }
  return value <= max;
}

// "BYTE/BIT" of an LED the unit has.
bool ParsePosition(const std::string& text, unsigned& byte, unsigned& bit) {
  const std::size_t slash = text.find('/');
  if (slash == std::string::npos) return false;
  const auto lastByte = static_cast<unsigned>(kSupportedUnitLastByteIndex);
  if (!ParseNumber(text.substr(0, slash), lastByte, byte) || !ParseNumber(text.substr(slash + 1), 7, bit)) {
    return false;
  }
  if (byte < 1) return false;
  return byte < lastByte || bit <= static_cast<unsigned>(kSupportedUnitLastByteMaxBit);
}

// Every LED position in report order.
template <typename Visit>
void ForEachPosition(Visit visit) {
  for (unsigned byte = 1; byte <= static_cast<unsigned>(kSupportedUnitLastByteIndex); ++byte) {
    const unsigned lastBit =
        byte == static_cast<unsigned>(kSupportedUnitLastByteIndex) ? kSupportedUnitLastByteMaxBit : 7;
    for (unsigned bit = 0; bit <= lastBit; ++bit) visit(byte, bit);
  }
}

// Where the settings come from and what they say.
struct Target {
  std::string file;
  BridgeSettings settings;
};

std::string LooksFor(const Target& target) {
  const UnitIds pair = target.settings.unit;
  return "the bridge looks for " + PairText(pair) +
         (pair == kDefaultUnitIds ? ", the default pair" : ", named in " + target.file);
}

// What to do when the unit is there but does not open.
std::string OpenHint(UnitIds pair) {
#ifdef _WIN32
  (void)pair;
  return "is another program holding it?";
#else
  if (pair == kDefaultUnitIds) {
    return "opening it needs the udev rule /usr/lib/udev/rules.d/70-nimbra-velk-throttle.rules of the package "
           "nimbra-bridge (then unplug the unit and plug it in again)";
  }
  return "opening it needs the udev rule /etc/udev/rules.d/71-nimbra-unit.rules: "
         "nimbra-unit udev-rule | sudo tee /etc/udev/rules.d/71-nimbra-unit.rules, then unplug the unit and plug it "
         "in again";
#endif
}

int List(const Target& target, const Console& console) {
  if (hid_init() != 0) {
    console.err << "nimbra-unit: hidapi did not start (hid_init failed)\n";
    hid_exit();  // frees what a half-done start left, as the bridge does
    return kUsageOrOpenError;
  }
  const UnitIds pair = target.settings.unit;
  console.out << "nimbra-unit: " << LooksFor(target) << "\n";
  hid_device_info* list = hid_enumerate(0, 0);
  const hid_device_info* unit = UnitRecord(list, pair);
  for (const hid_device_info* record = list; record != nullptr; record = record->next) {
    console.out << (record == unit ? "* " : "  ") << Hex4(record->vendor_id) << ":" << Hex4(record->product_id)
                << "  \"" << Narrow(record->manufacturer_string) << "\" \"" << Narrow(record->product_string)
                << "\"  usage " << Hex4(record->usage_page) << ":" << Hex4(record->usage) << "  interface "
                << record->interface_number << "  " << (record->path != nullptr ? record->path : "(no path)") << "\n";
  }
  hid_free_enumeration(list);
  hid_exit();
  if (unit == nullptr) {
    console.err << "nimbra-unit: no HID interface is " << PairText(pair) << "; is the unit plugged in?\n";
    return kNoUnit;
  }
  return kDone;
}

// The unit opened as the bridge opens it, closed and the library shut down
// when it goes.
class OpenUnit {
 public:
  OpenUnit(UnitIds pair, const Console& console) : console_(console) {
    // The library is shut down even after a failed start, as the bridge does.
    initialised_ = true;
    if (hid_init() != 0) {
      console.err << "nimbra-unit: hidapi did not start (hid_init failed)\n";
      status_ = kUsageOrOpenError;
      return;
    }
    hid_device_info* list = hid_enumerate(static_cast<unsigned short>(pair.vendorId),
                                          static_cast<unsigned short>(pair.productId));
    const hid_device_info* record = UnitRecord(list, pair);
    if (record == nullptr) {
      console.err << "nimbra-unit: no HID interface is " << PairText(pair)
                  << "; is the unit plugged in? (nimbra-unit list shows what is there)\n";
      status_ = kNoUnit;
    } else {
      const std::string path = record->path != nullptr ? record->path : "";
      if (!path.empty()) handle_ = hid_open_path(record->path);
      if (handle_ == nullptr) {
        console.err << "nimbra-unit: " << PairText(pair) << " at " << (path.empty() ? "(no path)" : path)
                    << " did not open; " << OpenHint(pair) << "\n";
        status_ = kUsageOrOpenError;
      }
    }
    hid_free_enumeration(list);
  }
  ~OpenUnit() {
    if (handle_ != nullptr) hid_close(handle_);
    if (initialised_) hid_exit();
  }
  OpenUnit(const OpenUnit&) = delete;
  OpenUnit& operator=(const OpenUnit&) = delete;

  // kDone when the unit is open.
  int status() const { return status_; }

  bool Send(const Report& report) {
    if (hid_send_feature_report(handle_, report.data(), report.size()) >= 0) return true;
    console_.err << "nimbra-unit: the unit took no report\n";
    return false;
  }

 private:
  const Console& console_;
  bool initialised_ = false;
  hid_device* handle_ = nullptr;
  int status_ = kDone;
};

void Light(Report& report, unsigned byte, unsigned bit) { report[byte] |= static_cast<unsigned char>(1u << bit); }

int Test(const Target& target, unsigned delayMs, const Console& console) {
  OpenUnit unit(target.settings.unit, console);
  if (unit.status() != kDone) return unit.status();
  console.out << "nimbra-unit: testing " << PairText(target.settings.unit) << std::endl;
  bool sent = true;
  unsigned count = 0;
  ForEachPosition([&](unsigned byte, unsigned bit) {
    if (!sent) return;
    Report report{};
    Light(report, byte, bit);
    console.out << "byte " << byte << " bit " << bit << std::endl;
    sent = unit.Send(report);
    ++count;
    console.pause(delayMs);
  });
  if (!sent) return kUsageOrOpenError;
  Report all{};
  ForEachPosition([&](unsigned byte, unsigned bit) { Light(all, byte, bit); });
  console.out << "all " << count << " positions" << std::endl;
  if (!unit.Send(all)) return kUsageOrOpenError;
  console.pause(delayMs);
  console.out << "none" << std::endl;
  return unit.Send(Report{}) ? kDone : kUsageOrOpenError;
}

int Set(const Target& target, const std::vector<std::string>& positions, const Console& console) {
  if (positions.empty()) return UsageError(console, "set needs at least one BYTE/BIT");
  Report report{};
  std::string lit;
  for (const std::string& position : positions) {
    unsigned byte = 0;
    unsigned bit = 0;
    if (!ParsePosition(position, byte, bit)) {
      return UsageError(console, "'" + position + "' is not an LED position (" + Limits() + "); nothing was sent");
    }
    Light(report, byte, bit);
    lit += " " + position;
  }
  OpenUnit unit(target.settings.unit, console);
  if (unit.status() != kDone) return unit.status();
  if (!unit.Send(report)) return kUsageOrOpenError;
  console.out << "nimbra-unit: lit" << lit << "\n";
  return kDone;
}

int Off(const Target& target, const Console& console) {
  OpenUnit unit(target.settings.unit, console);
  if (unit.status() != kDone) return unit.status();
  if (!unit.Send(Report{})) return kUsageOrOpenError;
  console.out << "nimbra-unit: every LED off\n";
  return kDone;
}

void UdevRule(const Target& target, const Console& console) {
  const UnitIds pair = target.settings.unit;
  console.out << "# The unit the bridge drives (USB " << PairText(pair)
              << "): the logged-in user at the seat may open its\n"
                 "# hidraw node. uaccess is applied by 73-seat-late.rules, so this file's number stays below 73.\n"
              << "SUBSYSTEM==\"hidraw\", KERNEL==\"hidraw*\", ATTRS{idVendor}==\"" << Hex4(pair.vendorId, "%04x")
              << "\", ATTRS{idProduct}==\"" << Hex4(pair.productId, "%04x") << "\", TAG+=\"uaccess\"\n";
}

}  // namespace

int Run(const std::vector<std::string>& args, const Console& console) {
  std::size_t at = 0;
  Target target{SettingsFilePath(), {}};
  if (at < args.size() && args[at] == "--settings") {
    if (at + 1 >= args.size()) return UsageError(console, "--settings needs a FILE");
    // Whole, as the bridge's own is: the Windows profile calls would look for
    // a bare name in the system folder.
    std::error_code error;
    const std::filesystem::path whole = std::filesystem::absolute(args[at + 1], error);
    target.file = error ? args[at + 1] : whole.string();
    at += 2;
  }
  if (at >= args.size()) return UsageError(console, "no command");
  const std::string command = args[at++];
  const std::vector<std::string> rest(args.begin() + static_cast<std::ptrdiff_t>(at), args.end());
  if (command == "--help" || command == "-h" || command == "help") {
    console.out << Usage();
    return kDone;
  }
  const bool known = command == "list" || command == "test" || command == "set" || command == "off" ||
                     command == "udev-rule";
  if (!known) return UsageError(console, "unknown command '" + command + "'");

  unsigned delayMs = kDefaultDelayMs;
  if (command == "test") {
    if (rest.size() == 2 && rest[0] == "--delay") {
      if (!ParseNumber(rest[1], kMaxDelayMs, delayMs)) {
        return UsageError(console, "--delay needs milliseconds from 0 to 60000, not '" + rest[1] + "'");
      }
    } else if (!rest.empty()) {
      return UsageError(console, "test takes only --delay MS");
    }
  } else if (command != "set" && !rest.empty()) {
    return UsageError(console, command + " takes no argument");
  }

  // As the bridge reads it: a wrong pair is said, and the default pair stays.
  target.settings = ReadSettings(target.file);
  if (!target.settings.problem.empty()) console.err << "nimbra-unit: " << target.settings.problem << "\n";

  if (command == "list") return List(target, console);
  if (command == "test") return Test(target, delayMs, console);
  if (command == "set") return Set(target, rest, console);
  if (command == "off") return Off(target, console);
  UdevRule(target, console);
  return kDone;
}

}  // namespace nimbra_unit
