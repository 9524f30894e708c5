// virtual_unit: the hidapi calls the bridge makes, implemented in memory, so
// that the bridge's device logic runs without the unit. Test programs link it
// in place of hidapi and script it from here; the shared library build is
// preloaded into the real Linux bridge and scripted from the environment.
//
//   virtual_unit::Reset();
//   virtual_unit::Attach(0x1209, 0x0001, {"unit/0", "unit/1"});  // two interfaces
//   virtual_unit::FailCall(virtual_unit::Call::Send, 3);          // the third send fails, and all after it
//   ... run the bridge's code ...
//   virtual_unit::Reports();  // every feature report, in order
//
// Every function is thread-safe.
#pragma once

#include <cstddef>
#include <cstdint>
#include <functional>
#include <optional>
#include <string>
#include <vector>

namespace virtual_unit {

// The hidapi calls that can be made to fail.
enum class Call { Init, Enumerate, Open, Send, Exit };

// One HID interface: a record of hid_enumerate. A record without a path
// (std::nullopt) cannot be opened.
struct Interface {
  std::uint16_t vendorId = 0;
  std::uint16_t productId = 0;
  std::optional<std::string> path;
};

// One feature report as the bridge sent it, with the handle's number (1 for
// the first hid_open_path that succeeded, and so on).
struct Report {
  int handle = 0;
  std::vector<std::uint8_t> bytes;
};

// Nothing attached, no failures, records and counters cleared. Handles still
// open are forgotten (their memory stays valid).
void Reset();

// Attaches a unit with one interface per path, enumerated in this order.
void Attach(std::uint16_t vendorId, std::uint16_t productId, const std::vector<std::optional<std::string>>& paths);

// From the `fromNth` call of that kind on (1: the first), every such call
// fails: hid_init and hid_exit return -1, hid_enumerate returns no list,
// hid_open_path returns no handle, hid_send_feature_report returns -1 and
// the report does not reach the unit (it is still recorded as a call).
void FailCall(Call call, unsigned fromNth = 1);

// The same set-up as text, one command per line or separated by ';':
//   attach VVVV:PPPP PATH...   hexadecimal identifiers; PATH "-" is a record without a path
//   fail CALL [N]              CALL: init, enumerate, open, send, exit; from the Nth call on
//   reset
// False, with the reason, on a command it does not know; commands before it
// have taken effect.
bool RunScript(const std::string& script, std::string* error);

// Every call in order, one line each, for example
//   hid_init() = 0
//   hid_enumerate(0x1209, 0x0001) = 2 records
//   hid_open_path("unit/0") = handle 1
//   hid_send_feature_report(handle 1, 65 bytes) = 65
//   hid_close(handle 1)
//   hid_exit() = 0
std::vector<std::string> Calls();
// How many calls of a kind were made (failed ones included).
std::size_t CallCount(Call call);
// The reports that reached the unit (failed sends are not among them).
std::vector<Report> Reports();
// The last report that reached the unit, as sent, or 65 zeros before any.
std::vector<std::uint8_t> CurrentReport();
// Handles opened and not yet closed; enumeration lists not yet freed.
std::size_t OpenHandles();
std::size_t UnfreedEnumerations();

// Keep calls and reports in memory (on by default). A long-running preloaded
// bridge turns this off and only hands them to the observer.
void SetRecording(bool on);
// Called after every call with its line, and with the report when one
// reached the unit. Runs under the library's lock: it must not call back.
using Observer = std::function<void(const std::string& line, const Report* report)>;
void SetObserver(Observer observer);

// The unit's LED panel as text: its 28 LEDs in their byte and bit grid
// (bytes 1 to 4, byte 4 with bits 0 to 3) and the gate position 0/0, which
// is the report identifier and never a lamp.
std::string DrawPanel(const std::vector<std::uint8_t>& report);

}  // namespace virtual_unit
