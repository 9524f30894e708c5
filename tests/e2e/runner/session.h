// One run of a case: a work folder with the case's files and a copy of the
// bridge, simhost in this process on an endpoint of the run's own, the
// bridge started through the child-process launcher, the steps, and the
// streams the checks then look at.
#pragma once

#include <map>
#include <optional>
#include <string>
#include <vector>

#include "case_file.h"
#include "checks.h"

namespace e2e {

struct Programs {
  std::string bridge;   // the test build (Linux: the bridge; Windows: the build that records its boxes)
  std::string product;  // the shipped executable (Windows)
  std::string unit;     // the virtual_unit library to preload (Linux)
  std::map<std::string, std::string> tools;  // RUN's programs by name
  bool inPlace = false;  // run the bridge where it is instead of a copy in the work folder
};

struct Outcome {
  Case resolved;  // the case with ${WORK} replaced
  Streams streams;
  std::optional<int> exitStatus;      // nullopt: killed after EXIT-LIMIT
  std::vector<std::string> problems;  // steps that could not be carried out, "PATH:LINE: why"
  std::string work;                   // the work folder
};

// Runs `c`. The work folder stays when `keep` is set or a problem occurred;
// the caller removes it otherwise (RemoveWork) once the checks have passed.
Outcome RunCase(const Case& c, const Programs& programs);
void RemoveWork(const std::string& work);

}  // namespace e2e
