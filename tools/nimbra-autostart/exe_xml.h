// The simulator's add-on autostart list, exe.xml, as a document that keeps
// everything it was read with: the declaration, comments, other add-ons and
// the layout between elements. Only the entry named "Nimbra Bridge" is ever
// added, changed or removed. One broken exe.xml stops every add-on of the
// pilot, so a file that does not parse, is not a SimBase.Document, or has a
// shape the parser takes but the simulator may not (text beside the root, two
// roots, an attribute given twice) is refused.
#pragma once

#include <memory>
#include <optional>
#include <pugixml.hpp>
#include <string>
#include <vector>

namespace autostart {

inline constexpr const char* kEntryName = "Nimbra Bridge";

// One Launch.Addon named "Nimbra Bridge", as the file holds it.
struct OurEntry {
  std::string path;
  std::string disabled;    // the text of <Disabled>, empty when it has none
  std::string manualLoad;  // the text of <ManualLoad>, the same
};

class ExeXml {
 public:
  // Reads a file's bytes in UTF-8 (with or without a byte-order mark),
  // UTF-16 or UTF-32. Null with the parser's message and where it failed in
  // `error` when the text does not parse, or why its shape is refused.
  static std::optional<ExeXml> Parse(const std::string& bytes, std::string* error);

  // A new list holding only the simulator's usual header elements.
  static ExeXml Empty();

  std::vector<OurEntry> OurEntries() const;

  // Makes exactly one entry of ours, enabled and loaded without asking
  // (ManualLoad False), starting `exePath`; true when that changed the
  // document.
  bool Add(const std::string& exePath);

  // Removes every entry of ours; true when there was one.
  bool Remove();

  // The document as UTF-8 without a byte-order mark.
  std::string Text() const;

 private:
  ExeXml();

  std::unique_ptr<pugi::xml_document> document_;
};

}  // namespace autostart
