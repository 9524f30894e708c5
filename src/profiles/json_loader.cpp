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

#include "platform/file_access.h"

namespace {

LoadedJson Failed(std::string text) {
  LoadedJson loaded;
  loaded.failure.message = std::move(text);
  return loaded;
}

template <unsigned parseFlags>
void Parse(rapidjson::Document& document, const char* bytes, std::size_t count) {
  rapidjson::MemoryStream byteStream(bytes, count);
  rapidjson::AutoUTFInputStream<unsigned, rapidjson::MemoryStream> stream(byteStream, rapidjson::kUTF8);
  document.ParseStream<parseFlags, rapidjson::AutoUTF<unsigned>>(stream);
}

}  // namespace

LoadedJson DeserializeJson(const std::string& path) {
  if (path.empty()) return Failed("Path to JSON is empty.");

  std::FILE* file = platform::OpenFileForReading(path);
  if (file == nullptr) return Failed("JSON file '" + path + "' could not be opened.");

  std::int32_t size = 0;
  if (!platform::QueryFileSize32(path, &size) ||
      static_cast<std::int32_t>(static_cast<std::uint32_t>(size) + 1u) == -1) {
    std::fclose(file);
    return Failed("JSON file '" + path + "' size is '-1'.");
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
    LoadedJson loaded = Failed("There is at least one parsing error present in the JSON file '" + path +
                               "' at offset " + std::to_string(document->GetErrorOffset()) +
                               ". Message: " + rapidjson::GetParseError_En(document->GetParseError()));
    loaded.failure.parseError = true;
    loaded.failure.offset = document->GetErrorOffset();
    loaded.failure.code = static_cast<int>(document->GetParseError());
    return loaded;
  }
  if (!document->IsObject()) return Failed("No object found in JSON file '" + path + "'.");
  LoadedJson loaded;
  loaded.document = std::move(document);
  return loaded;
}
