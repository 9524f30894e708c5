// Loading profile files: the five messages, RapidJSON's offsets and texts,
// the Unicode encodings, and files written to break the loader.
#include <gtest/gtest.h>

#include <cstdint>
#include <filesystem>
#include <fstream>
#include <memory>
#include <random>
#include <string>
#include <utility>

#include <rapidjson/document.h>
#include <rapidjson/encodedstream.h>
#include <rapidjson/error/en.h>
#include <rapidjson/memorystream.h>

#include "profiles/json_loader.h"

namespace {

namespace fs = std::filesystem;

class JsonLoader : public ::testing::Test {
 protected:
  void SetUp() override {
    std::random_device random;
    folder_ = fs::temp_directory_path() / ("nimbra_json_" + std::to_string(random()));
    fs::create_directories(folder_);
  }
  void TearDown() override {
    std::error_code ignored;
    fs::remove_all(folder_, ignored);
  }

  std::string Write(const std::string& name, const std::string& bytes) {
    const fs::path path = folder_ / name;
    std::ofstream(path, std::ios::binary).write(bytes.data(), static_cast<std::streamsize>(bytes.size()));
    return path.string();
  }

  // Loads the file; `message` receives the failure's text, if any. The
  // loader itself shows nothing: its caller decides.
  std::unique_ptr<rapidjson::Document> Load(const std::string& path, std::string* message = nullptr) {
    testing::internal::CaptureStderr();
    LoadedJson loaded = DeserializeJson(path);
    EXPECT_EQ(testing::internal::GetCapturedStderr(), "") << path;
    EXPECT_EQ(loaded.document == nullptr, !loaded.failure.message.empty()) << path;
    if (message != nullptr) *message = loaded.failure.message;
    return std::move(loaded.document);
  }

  // The file does not load, and the failure says exactly `text`.
  void ExpectFailure(const std::string& path, const std::string& text) {
    std::string message;
    EXPECT_EQ(Load(path, &message), nullptr) << path;
    EXPECT_EQ(message, text);
  }

  void ExpectParseError(const std::string& path, std::size_t offset, const std::string& message) {
    ExpectFailure(path, "There is at least one parsing error present in the JSON file '" + path + "' at offset " +
                            std::to_string(offset) + ". Message: " + message);
  }

  fs::path folder_;
};

TEST_F(JsonLoader, FileLevelFailures) {
  ExpectFailure("", "Path to JSON is empty.");
  const std::string missing = (folder_ / "missing.json").string();
  ExpectFailure(missing, "JSON file '" + missing + "' could not be opened.");
  const std::string folder = (folder_ / "folder.json").string();
  fs::create_directory(folder);
  ExpectFailure(folder, "JSON file '" + folder + "' could not be opened.");
}

TEST_F(JsonLoader, RootMustBeAnObject) {
  for (const char* root : {"[]", "\"text\"", "12", "true", "false", "null", " [ {} ] "}) {
    const std::string path = Write("root.json", root);
    ExpectFailure(path, "No object found in JSON file '" + path + "'.");
  }
  std::string message;
  auto document = Load(Write("object.json", " {\"LEDs\":[]}\r\n"), &message);
  ASSERT_NE(document, nullptr);
  EXPECT_TRUE(document->IsObject());
  EXPECT_TRUE((*document)["LEDs"].IsArray());
  EXPECT_EQ(message, "");
}

// RapidJSON's offsets are taken one code unit past the offending character:
// its encoding-detecting stream always holds the next unit already.
TEST_F(JsonLoader, ParseErrorsCarryRapidJsonOffsetAndText) {
  ExpectParseError(Write("empty.json", ""), 0, "The document is empty.");
  ExpectParseError(Write("blank.json", " \r\n\t"), 4, "The document is empty.");
  ExpectParseError(Write("two.json", "{\"a\":1} {\"b\":2}"), 9,
                   "The document root must not be followed by other values.");
  ExpectParseError(Write("comment.json", "{\"a\":1 // note\n}"), 8,
                   "Missing a comma or '}' after an object member.");
  ExpectParseError(Write("block.json", "/* note */{}"), 1, "Invalid value.");
  ExpectParseError(Write("comma.json", "{\"a\":1,}"), 8, "Missing a name for object member.");
  ExpectParseError(Write("arraycomma.json", "{\"a\":[1,]}"), 9, "Invalid value.");
  ExpectParseError(Write("close.json", "]"), 1, "Invalid value.");
  ExpectParseError(Write("colon.json", "  :{}"), 3, "Invalid value.");
  ExpectParseError(Write("brace.json", "\n}"), 2, "Invalid value.");
  ExpectParseError(Write("nan.json", "{\"a\":NaN}"), 6, "Invalid value.");
  ExpectParseError(Write("huge.json", "{\"a\":1e400}"), 6, "Number too big to be stored in double.");
  ExpectParseError(Write("quote.json", "{\"a\":\"x}"), 8, "Missing a closing quotation mark in string.");
  ExpectParseError(Write("latin1.json", "{\"a\":\"caf\xE9\"}"), 10, "Invalid encoding in string.");
  ExpectParseError(Write("escape.json", "{\"a\":\"\\q\"}"), 7, "Invalid escape character in string.");
  ExpectParseError(Write("surrogate.json", "{\"a\":\"\\uD800\"}"), 7,
                   "The surrogate pair in string is invalid.");
}

std::string Utf16Le(const std::string& ascii) {
  std::string out;
  for (char c : ascii) {
    out.push_back(c);
    out.push_back('\0');
  }
  return out;
}

TEST_F(JsonLoader, UnicodeEncodingsGiveTheSameDocument) {
  // {"Name":"é","LEDs":[1,2.5,true,null]} with é as \u00e9 in UTF-8 form.
  const std::string head = "{\"Name\":\"";
  const std::string tail = "\",\"LEDs\":[1,2.5,true,null]}";
  auto utf8 = Load(Write("utf8.json", head + "\xC3\xA9" + tail));
  ASSERT_NE(utf8, nullptr);
  EXPECT_STREQ((*utf8)["Name"].GetString(), "\xC3\xA9");

  const std::string utf16Body = Utf16Le(head) + std::string("\xE9\0", 2) + Utf16Le(tail);
  std::string utf16Be;
  for (std::size_t i = 0; i < utf16Body.size(); i += 2) {
    utf16Be.push_back(utf16Body[i + 1]);
    utf16Be.push_back(utf16Body[i]);
  }
  std::string utf32Le;
  for (std::size_t i = 0; i < utf16Body.size(); i += 2) utf32Le += utf16Body.substr(i, 2) + std::string(2, '\0');

  const struct {
    const char* name;
    std::string bytes;
  } files[] = {
      {"utf8bom.json", "\xEF\xBB\xBF" + head + "\xC3\xA9" + tail},
      {"utf16le.json", std::string("\xFF\xFE") + utf16Body},
      {"utf16le_nobom.json", utf16Body},
      {"utf16be.json", std::string("\xFE\xFF") + utf16Be},
      {"utf32le.json", std::string("\xFF\xFE\0\0", 4) + utf32Le},
  };
  for (const auto& file : files) {
    std::string message;
    auto document = Load(Write(file.name, file.bytes), &message);
    ASSERT_NE(document, nullptr) << file.name << ": " << message;
    EXPECT_TRUE(*document == *utf8) << file.name;
  }

  // Offsets count bytes of the file, the byte-order mark included; the
  // stream holds the next two-byte unit already.
  ExpectParseError(Write("utf16err.json", std::string("\xFF\xFE") + Utf16Le("{\"a\":}")), 14, "Invalid value.");
}

TEST_F(JsonLoader, ZeroByteEndsTheInput) {
  auto document = Load(Write("zero.json", std::string("{\"a\":1}\0 garbage", 16)));
  ASSERT_NE(document, nullptr);
  EXPECT_EQ((*document)["a"].GetInt(), 1);
  ExpectParseError(Write("zerokey.json", std::string("{\"a\0\":1}", 8)), 4,
                   "Missing a closing quotation mark in string.");
}

TEST_F(JsonLoader, DeepNestingNeitherOverflowsNorChangesTheMessage) {
  const std::size_t depth = 100000;
  ExpectParseError(Write("deep.json", std::string(depth, '[')), depth, "Invalid value.");
  ExpectParseError(Write("deepobj.json", "{\"a\":" + std::string(depth, '[')), depth + 5, "Invalid value.");

  auto document = Load(Write("deepok.json", "{\"a\":" + std::string(depth, '[') + std::string(depth, ']') + "}"));
  ASSERT_NE(document, nullptr);
  const rapidjson::Value* value = &(*document)["a"];
  std::size_t levels = 0;
  while (value->IsArray() && !value->Empty()) {
    value = &(*value)[0];
    ++levels;
  }
  EXPECT_EQ(levels, depth - 1);
}

TEST_F(JsonLoader, LargeFilesAndRepeatedKeysLoad) {
  std::string big(8 << 20, ' ');
  big += "{\"LEDs\":[";
  for (int i = 0; i < 20000; ++i) big += "{\"ByteIndex\":1,\"BitIndex\":2,\"Condition\":\"A:X,feet\"},";
  big += "{}],\"LEDs\":7}";
  auto document = Load(Write("big.json", big));
  ASSERT_NE(document, nullptr);
  EXPECT_EQ(document->MemberCount(), 2u);
  EXPECT_EQ((*document)["LEDs"].Size(), 20001u);  // the first of repeated keys
}

#ifndef _WIN32
TEST_F(JsonLoader, WindowsPathsReachTheFile) {
  // A path that holds '\' is a Windows path; "Z:" is Wine's drive for "/".
  std::string windows = "Z:" + Write("win.json", "{\"a\":1}");
  for (char& c : windows) {
    if (c == '/') c = '\\';
  }
  ASSERT_NE(Load(windows), nullptr) << windows;
}
#endif

// The loader's messages must be those of RapidJSON's plain recursive parser
// for every input, and a parse error carries that parser's offset and code.
// Mutations of a small profile, checked against it.
DocumentFailure ReferenceOutcome(const std::string& bytes, const std::string& path) {
  rapidjson::MemoryStream byteStream(bytes.data(), bytes.size());
  rapidjson::AutoUTFInputStream<unsigned, rapidjson::MemoryStream> stream(byteStream);
  rapidjson::Document document;
  document.ParseStream<rapidjson::kParseDefaultFlags, rapidjson::AutoUTF<unsigned>>(stream);
  if (document.HasParseError()) {
    return DocumentFailure{"There is at least one parsing error present in the JSON file '" + path + "' at offset " +
                               std::to_string(document.GetErrorOffset()) +
                               ". Message: " + rapidjson::GetParseError_En(document.GetParseError()),
                           true, document.GetErrorOffset(), static_cast<int>(document.GetParseError())};
  }
  if (!document.IsObject()) return DocumentFailure{"No object found in JSON file '" + path + "'.", false, 0, 0};
  return DocumentFailure{};
}

TEST_F(JsonLoader, MessagesMatchTheRecursiveParserOnDamagedProfiles) {
  const std::string seed =
      "{\"LEDs\":[{\"ByteIndex\":1,\"BitIndex\":2,\"Condition\":\"A:GEAR HANDLE POSITION,Bool\","
      "\"ConditionValue\":true,\"Conditions\":[{\"Condition\":\"A:X,feet\",\"ConditionValue\":-1.5e3}],"
      "\"x\":null,\"y\":false,\"z\":\"\\u00e9\\n\"}],\"SaveName\":\"a b\"} ";
  const char alphabet[] = "{}[],:\"\\ \t\r\n0123456789.-+eEtrufalsn/*\xFF\xC3\xA9u";
  std::mt19937 random(5);
  const std::string path = Write("mutated.json", "");
  int mismatches = 0;
  for (int round = 0; round < 1000 && mismatches < 5; ++round) {
    std::string bytes = seed;
    const int edits = 1 + static_cast<int>(random() % 4);
    for (int e = 0; e < edits; ++e) {
      const std::size_t at = random() % (bytes.size() + 1);
      const char c = round % 7 == 0 ? '\0' : alphabet[random() % (sizeof alphabet - 1)];
      switch (random() % 3) {
        case 0:
          if (at < bytes.size()) bytes.erase(at, 1);
          break;
        case 1:
          bytes.insert(at, 1, c);
          break;
        default:
          if (at < bytes.size()) bytes[at] = c;
      }
    }
    if (round % 5 == 0) bytes.resize(random() % bytes.size());
    if (round % 11 == 0) bytes.insert(0, std::string(1 + random() % 3, " ]},:"[random() % 5]));
    Write("mutated.json", bytes);
    const LoadedJson loaded = DeserializeJson(path);
    const DocumentFailure expected = ReferenceOutcome(bytes, path);
    const DocumentFailure& got = loaded.failure;
    EXPECT_EQ(got.message, expected.message) << "input: " << bytes;
    EXPECT_EQ(got.parseError, expected.parseError) << "input: " << bytes;
    EXPECT_EQ(got.offset, expected.offset) << "input: " << bytes;
    EXPECT_EQ(got.code, expected.code) << "input: " << bytes;
    EXPECT_EQ(loaded.document == nullptr, !expected.message.empty());
    if (got.message != expected.message || got.offset != expected.offset) ++mismatches;
  }
}

}  // namespace
