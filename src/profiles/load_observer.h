// What the loading of a profile's conditions tells whoever asks: each
// condition pair it passes over, and why. The profile checker passes an
// observer in; the bridge passes none, and the loading then does the same
// work and takes the same decisions, only nobody hears the reasons.
#pragma once

#include <cstddef>
#include <string>

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
  std::string whyNot;
};

class LoadObserver {
 public:
  virtual ~LoadObserver() = default;
  // Called while an entry's conditions are read, in reading order.
  virtual void PairPassedOver(const PassedOverPair&) {}
};
