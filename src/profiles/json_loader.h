// Loading one profile file into a JSON document whose root is an object.
#pragma once

#include <memory>
#include <string>

#include <rapidjson/document.h>

// The parsed document, or null after a message box that says why not (with
// a load observer set, the observer is told instead of the box).
std::unique_ptr<rapidjson::Document> DeserializeJson(const std::string& path);
