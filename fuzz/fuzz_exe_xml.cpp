// nimbra-autostart over arbitrary bytes as exe.xml: `add`, then `remove`, each
// run the way the pilot runs it (on a file, through the tool's commands).
// Every input is either refused with the file left byte for byte as it was,
// or gives a file that parses, keeps every other entry as it was, and holds
// exactly one entry of ours after `add` and none after `remove`.
#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <fstream>
#include <iterator>
#include <sstream>
#include <string>
#include <vector>

#include <pugixml.hpp>

#include "autostart.h"
#include "exe_xml.h"
#include "fuzz_support.h"
#include "fuzz_world.h"

namespace {

using fuzzworld::Require;

std::string ReadFile(const std::string& path) {
  std::ifstream in(path, std::ios::binary);
  return std::string(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
}

std::string Trimmed(const std::string& text) {
  const std::size_t first = text.find_first_not_of(" \t\r\n");
  if (first == std::string::npos) return std::string();
  return text.substr(first, text.find_last_not_of(" \t\r\n") - first + 1);
}

// Every root child that is not an entry of ours, as text, in order: what
// must survive an edit untouched. Stray text between them counts without its
// blanks, and text on both sides of a removed entry of ours as one.
std::vector<std::string> OtherEntries(const std::string& text) {
  std::string error;
  std::vector<std::string> out;
  if (!autostart::ExeXml::Parse(text, &error)) return out;
  pugi::xml_document doc;
  doc.load_buffer(text.data(), text.size(), pugi::parse_full & ~static_cast<unsigned>(pugi::parse_eol));
  std::string stray;
  const auto endStray = [&] {
    if (!stray.empty()) out.push_back("text: " + stray);
    stray.clear();
  };
  for (pugi::xml_node node : doc.document_element().children()) {
    if (node.type() == pugi::node_pcdata) {
      for (const char* c = node.value(); *c != '\0'; ++c)
        if (std::string(" \t\r\n").find(*c) == std::string::npos) stray += *c;
      continue;
    }
    if (node.type() == pugi::node_element && std::string(node.name()) == "Launch.Addon" &&
        Trimmed(node.child("Name").text().get()) == autostart::kEntryName)
      continue;
    endStray();
    std::ostringstream printed;
    node.print(printed, "", pugi::format_raw);
    out.push_back(printed.str());
  }
  endStray();
  return out;
}

// Runs one command on the file and checks the result against the text it had.
std::string Edit(const std::string& command, const std::string& path, const std::string& before,
                 std::size_t oursAfter) {
  std::ostringstream out, err;
  const int code = autostart::Run({command, "--file", path, "--exe", "C:\\Nimbra\\Nimbra_Bridge.exe"}, "", out, err);
  const std::string after = ReadFile(path);
  if (code == autostart::kRefused) {
    Require(after == before);
    return after;
  }
  Require(code == autostart::kDone);
  std::string error;
  const auto xml = autostart::ExeXml::Parse(after, &error);
  Require(xml.has_value());
  Require(xml->OurEntries().size() == oursAfter);
  const bool blank = before.find_first_not_of(" \t\r\n") == std::string::npos;
  if (!blank) Require(OtherEntries(after) == OtherEntries(before));
  return after;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  static fuzzworld::ScratchFile file("nimbra-fuzz-exe.xml");
  // The tool keeps the file it replaced beside it; gone with the process.
  static const struct Backup {
    std::string path;
    ~Backup() { std::remove(path.c_str()); }
  } backup{file.Path() + ".nimbra-backup"};
  const std::string original(reinterpret_cast<const char*>(data), size);
  const std::string& path = file.Write(data, size);
  const std::string added = Edit("add", path, original, 1);
  Edit("remove", path, added, 0);
  return 0;
}
