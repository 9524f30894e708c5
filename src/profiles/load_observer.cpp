// The process-wide slot of the load observer; loading runs on one thread.
#include "profiles/load_observer.h"

namespace {
LoadObserver* observer = nullptr;
}  // namespace

LoadObserver* CurrentLoadObserver() { return observer; }

ScopedLoadObserver::ScopedLoadObserver(LoadObserver* next) : previous_(observer) { observer = next; }

ScopedLoadObserver::~ScopedLoadObserver() { observer = previous_; }
