// Reading virtual_unit's report file as it grows, and the profile's labels.
#include "unit_view.h"

#include <cstdio>
#include <fstream>
#include <sstream>

#include <rapidjson/document.h>
#include <rapidjson/error/en.h>

#include "colours.h"
#include "devices/supported_unit.h"

namespace demo {

std::vector<Position> UnitPositions() {
  std::vector<Position> positions;
  const int lastByte = kSupportedUnitLastByteIndex;
  for (int byte = 1; byte <= lastByte; ++byte) {
    for (int bit = 0; bit < (byte == lastByte ? kSupportedUnitLastByteMaxBit + 1 : 8); ++bit) {
      positions.emplace_back(byte, bit);
    }
  }
  return positions;
}

UnitView::UnitView(std::string reportsFile) : reportsFile_(std::move(reportsFile)) {}

bool UnitView::LoadLabels(const std::string& profileFile, std::string* error) {
  std::ifstream in(profileFile, std::ios::binary);
  if (!in) {
    *error = "cannot read " + profileFile;
    return false;
  }
  std::stringstream text;
  text << in.rdbuf();
  rapidjson::Document profile;
  profile.Parse(text.str().c_str());
  if (profile.HasParseError() || !profile.IsObject()) {
    *error = profileFile + ": not a JSON object (" + rapidjson::GetParseError_En(profile.GetParseError()) + ")";
    return false;
  }
  const auto language = profile.FindMember("Language");
  const std::string key = language != profile.MemberEnd() && language->value.IsString() ? language->value.GetString() : "";
  const auto leds = profile.FindMember("LEDs");
  if (leds == profile.MemberEnd() || !leds->value.IsArray()) return true;
  std::lock_guard<std::mutex> guard(lock_);
  for (const auto& entry : leds->value.GetArray()) {
    if (!entry.IsObject()) continue;
    const auto byte = entry.FindMember("ByteIndex");
    const auto bit = entry.FindMember("BitIndex");
    if (byte == entry.MemberEnd() || bit == entry.MemberEnd() || !byte->value.IsUint() || !bit->value.IsUint()) continue;
    std::string label = "(no description)";
    if (!key.empty()) {
      const auto description = entry.FindMember(key.c_str());
      if (description != entry.MemberEnd() && description->value.IsString()) label = description->value.GetString();
    }
    const Position position(static_cast<int>(byte->value.GetUint()), static_cast<int>(bit->value.GetUint()));
    if (position == Position(0, 0)) {
      gateLabel_ = label;
    } else {
      labels_[position] = label;
    }
  }
  return true;
}

std::size_t UnitView::Poll() {
  std::lock_guard<std::mutex> guard(lock_);
  std::ifstream in(reportsFile_, std::ios::binary);
  if (!in) return 0;
  in.seekg(static_cast<std::streamoff>(readOffset_));
  std::string chunk((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
  readOffset_ += chunk.size();
  partial_ += chunk;
  std::size_t taken = 0;
  for (std::size_t end = partial_.find('\n'); end != std::string::npos; end = partial_.find('\n')) {
    std::istringstream line(partial_.substr(0, end));
    partial_.erase(0, end + 1);
    std::vector<std::uint8_t> report;
    for (unsigned value = 0; line >> std::hex >> value;) report.push_back(static_cast<std::uint8_t>(value));
    report.resize(65, 0);
    for (const Position& position : UnitPositions()) {
      if (LitIn(report, position)) everLit_.insert(position);
      if (LitIn(report, position) != LitIn(current_, position)) ++changes_[position];
    }
    current_ = report;
    ++reports_;
    ++taken;
  }
  return taken;
}

bool UnitView::LitIn(const std::vector<std::uint8_t>& report, Position position) {
  return (report[static_cast<std::size_t>(position.first)] >> position.second & 1) != 0;
}

std::vector<std::uint8_t> UnitView::Current() const {
  std::lock_guard<std::mutex> guard(lock_);
  return current_;
}

std::size_t UnitView::ReportCount() const {
  std::lock_guard<std::mutex> guard(lock_);
  return reports_;
}

std::set<Position> UnitView::EverLit() const {
  std::lock_guard<std::mutex> guard(lock_);
  return everLit_;
}

bool UnitView::Lit(Position position) const {
  std::lock_guard<std::mutex> guard(lock_);
  return LitIn(current_, position);
}

std::size_t UnitView::Changes(Position position) const {
  std::lock_guard<std::mutex> guard(lock_);
  const auto found = changes_.find(position);
  return found == changes_.end() ? 0 : found->second;
}

std::string UnitView::Label(Position position) const {
  std::lock_guard<std::mutex> guard(lock_);
  const auto found = labels_.find(position);
  return found == labels_.end() ? std::string() : found->second;
}

std::string UnitView::GateLabel() const {
  std::lock_guard<std::mutex> guard(lock_);
  return gateLabel_;
}

std::vector<std::string> UnitView::Panel(bool colour) const {
  const std::vector<Position> positions = UnitPositions();
  const std::size_t half = (positions.size() + 1) / 2;
  auto cell = [&](const Position& position) {
    const bool lit = Lit(position);
    char head[16];
    std::snprintf(head, sizeof head, "%s %d/%d ", lit ? "(#)" : "( )", position.first, position.second);
    std::string text = head + Label(position);
    text.resize(38, ' ');
    // Coloured after the padding, so that the columns stay aligned.
    return colour ? console::Painted(text, lit ? console::kLit : console::kFaint, true) : text;
  };
  std::vector<std::string> lines;
  for (std::size_t row = 0; row < half; ++row) {
    std::string line = "  " + cell(positions[row]);
    if (row + half < positions.size()) line += cell(positions[row + half]);
    lines.push_back(line);
  }
  const std::string gate = GateLabel();
  lines.push_back("  gate 0/0: " + (gate.empty() ? std::string("none") : gate) +
                  " (while it does not hold, every LED is dark)");
  return lines;
}

std::string UnitView::LitList() const {
  std::string list;
  for (const Position& position : UnitPositions()) {
    if (!Lit(position)) continue;
    if (!list.empty()) list += ", ";
    list += std::to_string(position.first) + "/" + std::to_string(position.second) + " " + Label(position);
  }
  return list.empty() ? "all dark" : list;
}

}  // namespace demo
