// A hook that lets the profile checker and tests see every decision the
// profile loading code takes: why a file did not load, why a condition pair
// or an LED entry was passed over, and which entries became bindings. The
// bridge sets no observer, and then the loading code behaves exactly as
// without this hook. Not for the LED refresh: only loading calls it.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

#include "profiles/condition.h"

// Where a condition pair came from: the entry's own "Condition" or element
// `element` of its "Conditions".
struct PairSource {
  bool inList = false;
  std::size_t element = 0;
};

struct PassedOverPair {
  PairSource source;
  std::string reference;  // the reference text as it stood, may be empty
  std::string value;      // the value text as it stood, may be empty
  std::string reason;
};

// What an LED entry became. `reason` is empty for an accepted entry.
struct EntryOutcome {
  std::size_t index = 0;  // position in "LEDs"
  bool accepted = false;
  bool gate = false;
  std::uint32_t byteIndex = 0;  // set when accepted
  std::uint32_t bitIndex = 0;
  std::string reason;
  std::vector<Condition> conditions;  // as read, accepted or not
  bool isOr = false;
  std::string text;                   // the description read, if any
};

class LoadObserver {
 public:
  virtual ~LoadObserver() = default;
  // Called while an entry's conditions are read, so before that entry's
  // EntryDecided.
  virtual void PairPassedOver(const PassedOverPair&) {}
  virtual void EntryDecided(const EntryOutcome&) {}
};

// The observer in force for this process, or null (the default).
LoadObserver* CurrentLoadObserver();

// Sets an observer for its own lifetime and puts the previous one back.
class ScopedLoadObserver {
 public:
  explicit ScopedLoadObserver(LoadObserver* observer);
  ~ScopedLoadObserver();
  ScopedLoadObserver(const ScopedLoadObserver&) = delete;
  ScopedLoadObserver& operator=(const ScopedLoadObserver&) = delete;

 private:
  LoadObserver* previous_;
};
