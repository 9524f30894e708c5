// A supported device as the bridge runtime sees it. The HID unit's class
// derives from it.
#pragma once

#include <string>

class Device {
 public:
  Device(int typeId, std::string name) : typeId_(typeId), name_(std::move(name)) {}
  virtual ~Device() = default;
  Device(const Device&) = delete;
  Device& operator=(const Device&) = delete;

  int typeId() const { return typeId_; }
  const std::string& name() const { return name_; }

  bool showBindings = false;

 private:
  int typeId_;
  std::string name_;
};
