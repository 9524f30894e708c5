// Profile documents: the whole file is read with one read into a zeroed
// buffer one byte larger than the file, the file is closed at once, and the
// buffer is parsed as strict JSON in any of the Unicode encodings (byte-order
// mark or zero-byte pattern decide).
//
// The buffer is parsed through a memory stream bounded by the bytes read, not
// through RapidJSON's file stream: that one asserts a buffer of at least four
// bytes (an empty file gets one) and, when the file grew after the size query,
// would read again from the file already closed. Offsets and encoding
// detection are the same either way.
//
// The parser runs iteratively: profiles are written by hand and shared, and
// the recursive parser would overflow the stack on a deeply nested file. The
// iterative parser gives the same error code and offset for every input but
// one kind: a root that starts with ']', '}', ',' or ':' it calls an empty
// document. Such a file (or a really empty one) is parsed again recursively,
// which cannot nest there, so the message is always the recursive parser's.
#include "profiles/json_loader.h"

#include <cstdint>
#include <cstdio>
#include <string>
#include <utility>

#include <rapidjson/encodedstream.h>
#include <rapidjson/encodings.h>
#include <rapidjson/error/en.h>
#include <rapidjson/memorystream.h>

#include "app/report_message.h"
#include "platform/file_access.h"
#include "profiles/load_observer.h"

namespace {

const char kCaption[] = "NimbraBridge|DeserializeJson";

// The failure goes to the load observer when one is set (the profile
// checker), else into the message box.
void Report(std::string text, const rapidjson::Document* failed = nullptr) {
  if (LoadObserver* observer = CurrentLoadObserver()) {
    DocumentFailure failure;
    failure.message = std::move(text);
    if (failed != nullptr && failed->HasParseError()) {
      failure.parseError = true;
      failure.offset = failed->GetErrorOffset();
      failure.code = static_cast<int>(failed->GetParseError());
    }
    observer->DocumentFailed(failure);
    return;
  }
  ReportMessage(std::move(text), kCaption, true);
}

template <unsigned parseFlags>
void Parse(rapidjson::Document& document, const char* bytes, std::size_t count) {
  rapidjson::MemoryStream byteStream(bytes, count);
  rapidjson::AutoUTFInputStream<unsigned, rapidjson::MemoryStream> stream(byteStream, rapidjson::kUTF8);
  document.ParseStream<parseFlags, rapidjson::AutoUTF<unsigned>>(stream);
}

}  // namespace

std::unique_ptr<rapidjson::Document> DeserializeJson(const std::string& path) {
  if (path.empty()) {
    Report("Path to JSON is empty.");
    return nullptr;
  }

  std::FILE* file = platform::OpenFileForReading(path);
  if (file == nullptr) {
    Report("JSON file '" + path + "' could not be opened.");
    return nullptr;
  }

  std::int32_t size = 0;
  if (!platform::QueryFileSize32(path, &size) ||
      static_cast<std::int32_t>(static_cast<std::uint32_t>(size) + 1u) == -1) {
    std::fclose(file);
    Report("JSON file '" + path + "' size is '-1'.");
    return nullptr;
  }

  // One read of up to size + 1 bytes: a file that grew since the size query
  // is parsed from its first size + 1 bytes only, and the byte after the data
  // stays zero otherwise. A failed allocation throws to the reload, which
  // reports it; the file must not stay open then.
  const std::size_t capacity = static_cast<std::size_t>(static_cast<std::uint32_t>(size)) + 1;
  std::unique_ptr<char[]> buffer;
  try {
    buffer.reset(new char[capacity]());
  } catch (...) {
    std::fclose(file);
    throw;
  }
  const std::size_t count = std::fread(buffer.get(), 1, capacity, file);
  std::fclose(file);

  auto document = std::make_unique<rapidjson::Document>();
  Parse<rapidjson::kParseDefaultFlags | rapidjson::kParseIterativeFlag>(*document, buffer.get(), count);
  if (document->HasParseError() && document->GetParseError() == rapidjson::kParseErrorDocumentEmpty) {
    document = std::make_unique<rapidjson::Document>();
    Parse<rapidjson::kParseDefaultFlags>(*document, buffer.get(), count);
  }
  buffer.reset();

  if (document->HasParseError()) {
    Report("There is at least one parsing error present in the JSON file '" + path + "' at offset " +
           std::to_string(document->GetErrorOffset()) +
           ". Message: " + rapidjson::GetParseError_En(document->GetParseError()),
           document.get());
    return nullptr;
  }
  if (!document->IsObject()) {
    Report("No object found in JSON file '" + path + "'.");
    return nullptr;
  }
  return document;
}
