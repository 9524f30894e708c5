// What the demo knows of the unit: the reports virtual_unit wrote to a file
// (read as they come), and the profile's description of each LED position,
// so that the panel can say what each lamp means.
#pragma once

#include <cstddef>
#include <cstdint>
#include <map>
#include <mutex>
#include <set>
#include <string>
#include <utility>
#include <vector>

namespace demo {

using Position = std::pair<int, int>;  // byte, bit

class UnitView {
 public:
  // `reportsFile` is virtual_unit's VIRTUAL_UNIT_REPORTS file.
  explicit UnitView(std::string reportsFile);

  // Reads the LED descriptions of a profile (its "Language" member names the
  // description); false with a reason when the file cannot be read.
  bool LoadLabels(const std::string& profileFile, std::string* error);

  // Takes in the reports written since the last call; returns how many.
  std::size_t Poll();

  std::vector<std::uint8_t> Current() const;  // the last report, 65 zeros before any
  std::size_t ReportCount() const;
  std::set<Position> EverLit() const;        // every position lit by some report
  bool Lit(Position position) const;         // in the last report
  // How often the position went from lit to dark or back, over all reports.
  std::size_t Changes(Position position) const;
  std::string Label(Position position) const;  // empty when unbound
  std::string GateLabel() const;

  // The panel as text lines: the 28 LEDs in two columns, with their labels;
  // with `colour` lit LEDs in the console tools' lit colour.
  std::vector<std::string> Panel(bool colour = false) const;
  // "1/0 Gear down, 4/3 Low fuel" for the lit positions of the last report.
  std::string LitList() const;

 private:
  static bool LitIn(const std::vector<std::uint8_t>& report, Position position);

  mutable std::mutex lock_;
  std::string reportsFile_;
  std::size_t readOffset_ = 0;
  std::string partial_;
  std::vector<std::uint8_t> current_ = std::vector<std::uint8_t>(65, 0);
  std::size_t reports_ = 0;
  std::set<Position> everLit_;
  std::map<Position, std::size_t> changes_;
  std::map<Position, std::string> labels_;
  std::string gateLabel_;
};

// The unit's 28 LED positions in report order: bytes 1 to 3 with bits 0 to
// 7, byte 4 with bits 0 to 3.
std::vector<Position> UnitPositions();

}  // namespace demo
