// Loading one profile file into a JSON document whose root is an object.
#pragma once

#include <cstddef>
#include <memory>
#include <string>

#include <rapidjson/document.h>

// The caption of the box that shows why a profile file gave no document.
inline constexpr char kDeserializeJsonCaption[] = "NimbraBridge|DeserializeJson";

// Why a file gave no document.
struct DocumentFailure {
  std::string message;      // the box text the bridge shows
  bool parseError = false;  // true: `offset` and `code` are set
  std::size_t offset = 0;   // RapidJSON's error offset
  int code = 0;             // rapidjson::ParseErrorCode
};

// The parsed document, or null and the failure that says why not. Nothing
// is shown here: the bridge's reload shows the failure in a box, the
// profile checker reports it.
struct LoadedJson {
  std::unique_ptr<rapidjson::Document> document;
  DocumentFailure failure;  // set when `document` is null
};

LoadedJson DeserializeJson(const std::string& path);
