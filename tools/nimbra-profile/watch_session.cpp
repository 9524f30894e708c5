// One watch over an open connection: the profile followed across aircraft
// loads, the simulator's messages handed to the view, and the screen built.
#include "watch_session.h"

#include <utility>

#include "devices/blink_rate.h"
#include "colours.h"
#include "simlink/field_text.h"
#include "variables/variable_registry.h"

namespace nimbra_profile {

WatchSession::WatchSession(WatchOptions options, const HANDLE* link) : options_(std::move(options)), registry_(link) {
  Load();
}

bool WatchSession::Subscribe(HANDLE handle) {
  return SimConnect_SubscribeToSystemEvent(handle, kWatchEventSim, "Sim") >= 0 &&
         SimConnect_SubscribeToSystemEvent(handle, kWatchEventAircraftLoaded, "AircraftLoaded") >= 0 &&
         SimConnect_SubscribeToSystemEvent(handle, kWatchEvent6Hz, "6Hz") >= 0;
}

void WatchSession::Load() {
  // The old view gives its variables back before the new one takes its own.
  view_.reset();
  blinkPhase_ = 0;
  std::string path = options_.file;
  if (path.empty()) {
    choice_ = LookUpProfile(options_.aircraft ? &*options_.aircraft : nullptr, options_.bridgeFolder,
                            options_.unitName);
    path = choice_->path;
  }
  view_ = std::make_unique<WatchView>(path, options_.limits, registry_);
}

void WatchSession::Dispatch(SIMCONNECT_RECV* data, DWORD size, void* context) {
  if (data == nullptr || context == nullptr || size < sizeof(SIMCONNECT_RECV)) return;
  static_cast<WatchSession*>(context)->OnMessage(*data, size);
}

void WatchSession::OnMessage(const SIMCONNECT_RECV& message, DWORD size) {
  switch (message.dwID) {
    case SIMCONNECT_RECV_ID_QUIT:
      ended_ = true;
      break;
    case SIMCONNECT_RECV_ID_EXCEPTION:
      if (size >= sizeof(SIMCONNECT_RECV_EXCEPTION)) {
        view_->Rejected(static_cast<const SIMCONNECT_RECV_EXCEPTION&>(message).dwSendID);
      }
      break;
    case SIMCONNECT_RECV_ID_EVENT:
      if (size >= sizeof(SIMCONNECT_RECV_EVENT)) {
        const auto& event = static_cast<const SIMCONNECT_RECV_EVENT&>(message);
        if (event.uEventID == kWatchEventSim) running_ = event.dwData != 0;
        // The bridge refreshes, and so counts, only while the simulation runs.
        if (event.uEventID == kWatchEvent6Hz && running_) blinkPhase_ = (blinkPhase_ + 1) % kBlinkPhaseCycle;
      }
      break;
    case SIMCONNECT_RECV_ID_EVENT_FILENAME:
      if (size >= sizeof(SIMCONNECT_RECV_EVENT_FILENAME)) {
        const auto& file = static_cast<const SIMCONNECT_RECV_EVENT_FILENAME&>(message);
        if (file.uEventID != kWatchEventAircraftLoaded) break;
        options_.aircraft = FieldText(file.szFileName);
        if (options_.file.empty()) Load();
      }
      break;
    case SIMCONNECT_RECV_ID_SIMOBJECT_DATA:
      if (size >= kSimObjectDataOffset) {
        const auto& values = static_cast<const SIMCONNECT_RECV_SIMOBJECT_DATA&>(message);
        registry_.StoreValue(values.dwRequestID,
                                    reinterpret_cast<const std::uint8_t*>(&message) + kSimObjectDataOffset,
                                    size - kSimObjectDataOffset);
      }
      break;
    default:
      break;
  }
}

std::vector<std::string> WatchSession::Screen(bool colour) const {
  std::vector<std::string> lines;
  lines.push_back("simulation: " + (running_ ? console::Painted("running", console::kLit, colour)
                                             : std::string("not running (the bridge leaves the LEDs as they are)")));
  lines.push_back("aircraft: " + (options_.aircraft ? "\"" + *options_.aircraft + "\"" : std::string("none reported")));
  if (choice_) {
    std::string keys;
    for (const std::string& key : choice_->keys) keys += (keys.empty() ? "" : ", ") + key;
    lines.push_back("keys: " + (keys.empty() ? std::string("none") : keys));
    lines.push_back(std::string("profile: ") + (choice_->local ? "LOCAL " : "GLOBAL ") + choice_->path +
                    (choice_->exists ? "" : " (absent)"));
  } else {
    lines.push_back("profile: " + options_.file);
  }
  const ProfileCheck& check = view_->check();
  if (!view_->loaded()) {
    lines.push_back(console::Painted("does not load: " + check.failure->message, console::kWrong, colour));
    return lines;
  }
  std::size_t variables = registry_.entries().size();
  lines.push_back("variables: " + std::to_string(variables) + " registered" +
                  (view_->rejected().empty() ? std::string()
                                             : ", " + console::Painted(std::to_string(view_->rejected().size()) +
                                                                           " rejected by the simulator",
                                                                       console::kWrong, colour)) +
                  (check.localVariables ? "; L: variables on" : ""));
  for (std::string& line : view_->Lines(colour, blinkPhase_)) lines.push_back(std::move(line));
  return lines;
}

}  // namespace nimbra_profile
