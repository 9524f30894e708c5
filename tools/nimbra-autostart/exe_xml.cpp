// Editing exe.xml with pugixml. The file is parsed with everything kept
// (declaration, comments, processing instructions, the whitespace between
// elements, line ends as they are) and written back raw, so that untouched
// parts come out as they went in. New elements copy the indentation and line
// ends found in the file.
#include "exe_xml.h"

#include <cctype>
#include <cstring>
#include <string_view>
#include <unordered_set>

namespace autostart {
namespace {

constexpr const char* kRoot = "SimBase.Document";
constexpr const char* kAddon = "Launch.Addon";

// Everything kept, and "\r\n" left alone (no parse_eol). As a fragment, so
// that text and elements beside the root stay in the tree to be refused:
// otherwise the parser drops them, and the file written back would differ
// from the one the simulator was given.
constexpr unsigned kParseOptions =
    (pugi::parse_full | pugi::parse_ws_pcdata | pugi::parse_fragment) & ~static_cast<unsigned>(pugi::parse_eol);

constexpr const char* kEmptyList =
    "<?xml version=\"1.0\" encoding=\"utf-8\"?>\r\n"
    "<SimBase.Document Type=\"Launch\" version=\"1,0\">\r\n"
    "  <Descr>Launch</Descr>\r\n"
    "  <Filename>exe.xml</Filename>\r\n"
    "  <Disabled>False</Disabled>\r\n"
    "  <Launch.ManualLoad>False</Launch.ManualLoad>\r\n"
    "</SimBase.Document>\r\n";

std::string Trimmed(const char* text) {
  std::string value(text);
  const char* blanks = " \t\r\n";
  const std::size_t first = value.find_first_not_of(blanks);
  if (first == std::string::npos) return std::string();
  return value.substr(first, value.find_last_not_of(blanks) - first + 1);
}

bool IsBlank(pugi::xml_node node) { return node.type() == pugi::node_pcdata && Trimmed(node.value()).empty(); }

bool IsOurs(pugi::xml_node node) {
  return node.type() == pugi::node_element && std::strcmp(node.name(), kAddon) == 0 &&
         Trimmed(node.child("Name").text().get()) == kEntryName;
}

// Line and column (from 1) of a byte offset into UTF-8 text.
std::string Where(const std::string& text, std::ptrdiff_t offset) {
  if (offset < 0 || static_cast<std::size_t>(offset) > text.size()) return "at offset " + std::to_string(offset);
  int line = 1;
  int column = 1;
  for (std::ptrdiff_t i = 0; i < offset; ++i) {
    if (text[static_cast<std::size_t>(i)] == '\n') {
      ++line;
      column = 1;
    } else {
      ++column;
    }
  }
  return "at line " + std::to_string(line) + ", column " + std::to_string(column);
}

// The whitespace in front of the root's first child element ("\r\n  "), and
// the line end that text uses.
std::string ChildIndent(pugi::xml_node root) {
  for (pugi::xml_node child = root.first_child(); child; child = child.next_sibling()) {
    if (child.type() != pugi::node_element) continue;
    pugi::xml_node before = child.previous_sibling();
    if (before && IsBlank(before)) return before.value();
    break;
  }
  return "\r\n  ";
}

std::string LineEnd(const std::string& indent) { return indent.find("\r\n") != std::string::npos ? "\r\n" : "\n"; }

// The child's text, set only when it differs; true when it was set.
bool SetText(pugi::xml_node element, const char* name, const std::string& value, const std::string& indent) {
  pugi::xml_node child = element.child(name);
  if (!child) {
    pugi::xml_node last = element.last_child();
    pugi::xml_node anchor = last && IsBlank(last) ? last : pugi::xml_node();
    pugi::xml_node space =
        anchor ? element.insert_child_before(pugi::node_pcdata, anchor) : element.append_child(pugi::node_pcdata);
    space.set_value(indent.c_str());
    child = element.insert_child_after(pugi::node_element, space);
    child.set_name(name);
    child.text().set(value.c_str());
    return true;
  }
  if (Trimmed(child.text().get()) == value && child.first_child().type() != pugi::node_element) {
    return false;
  }
  child.remove_children();
  child.text().set(value.c_str());
  return true;
}

// Removes an element with the blank text in front of it, so that no empty
// line stays behind.
void RemoveWithIndent(pugi::xml_node node) {
  pugi::xml_node parent = node.parent();
  pugi::xml_node before = node.previous_sibling();
  if (before && IsBlank(before)) parent.remove_child(before);
  parent.remove_child(node);
}

// Why the simulator may reject a document that pugixml accepted, or empty:
// text beside the root, a second root, or an attribute given twice on one
// node. The walk is iterative, for any depth of nesting.
std::string ShapeProblem(const pugi::xml_document& document) {
  int roots = 0;
  for (pugi::xml_node node = document.first_child(); node; node = node.next_sibling()) {
    if (node.type() == pugi::node_element && ++roots == 2) {
      return std::string("there is more than one root element (<") + document.document_element().name() + "> and <" +
             node.name() + ">)";
    }
    if ((node.type() == pugi::node_pcdata && !IsBlank(node)) || node.type() == pugi::node_cdata) {
      return "there is text outside the root element";
    }
  }
  std::unordered_set<std::string_view> names;
  for (pugi::xml_node node = document.first_child(); node;) {
    if (node.first_attribute() != node.last_attribute()) {
      names.clear();
      for (pugi::xml_attribute attribute : node.attributes()) {
        if (!names.insert(attribute.name()).second) {
          return std::string("the attribute '") + attribute.name() + "' is given twice in <" + node.name() + ">";
        }
      }
    }
    if (node.first_child()) {
      node = node.first_child();
      continue;
    }
    while (node && !node.next_sibling()) node = node.parent();
    if (node) node = node.next_sibling();
  }
  return std::string();
}

class StringWriter : public pugi::xml_writer {
 public:
  explicit StringWriter(std::string* out) : out_(out) {}
  void write(const void* data, size_t size) override { out_->append(static_cast<const char*>(data), size); }

 private:
  std::string* out_;
};

}  // namespace

ExeXml::ExeXml() : document_(std::make_unique<pugi::xml_document>()) {}

std::optional<ExeXml> ExeXml::Parse(const std::string& bytes, std::string* error) {
  ExeXml xml;
  const pugi::xml_parse_result result =
      xml.document_->load_buffer(bytes.data(), bytes.size(), kParseOptions, pugi::encoding_auto);
  if (!result) {
    // The offset counts in the parser's own text, which is the file's bytes
    // when the file is UTF-8.
    const bool utf8 = result.encoding == pugi::encoding_utf8;
    *error = std::string(result.description()) + " " +
             (utf8 ? Where(bytes, result.offset) : "at character " + std::to_string(result.offset));
    return std::nullopt;
  }
  const std::string shape = ShapeProblem(*xml.document_);
  if (!shape.empty()) {
    *error = shape;
    return std::nullopt;
  }
  // Only blank text is left beside the root: the writer puts its own line
  // ends between the nodes there.
  for (pugi::xml_node node = xml.document_->first_child(); node;) {
    pugi::xml_node next = node.next_sibling();
    if (node.type() == pugi::node_pcdata) xml.document_->remove_child(node);
    node = next;
  }
  const pugi::xml_node root = xml.document_->document_element();
  if (std::strcmp(root.name(), kRoot) != 0) {
    *error = std::string("the root element is <") + root.name() + ">, not <" + kRoot + ">";
    return std::nullopt;
  }
  // The text is written back as UTF-8, so the declaration must say so. Text
  // the parser did not convert (it read it as UTF-8) but that names another
  // encoding, such as windows-1252, would be garbled: refused.
  for (pugi::xml_node node = xml.document_->first_child(); node; node = node.next_sibling()) {
    if (node.type() != pugi::node_declaration) continue;
    pugi::xml_attribute encoding = node.attribute("encoding");
    if (!encoding) continue;
    std::string named = encoding.value();
    for (char& c : named) c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
    if (named == "utf-8" || named == "utf8") continue;
    if (result.encoding == pugi::encoding_utf8) {
      *error = std::string("the file declares the encoding '") + encoding.value() +
               "', which this tool cannot keep (it writes UTF-8)";
      return std::nullopt;
    }
    encoding.set_value("utf-8");
  }
  return xml;
}

ExeXml ExeXml::Empty() {
  std::string unused;
  return std::move(*Parse(kEmptyList, &unused));
}

std::vector<OurEntry> ExeXml::OurEntries() const {
  std::vector<OurEntry> entries;
  for (pugi::xml_node node : document_->document_element().children(kAddon)) {
    if (!IsOurs(node)) continue;
    entries.push_back({Trimmed(node.child("Path").text().get()), Trimmed(node.child("Disabled").text().get()),
                       Trimmed(node.child("ManualLoad").text().get())});
  }
  return entries;
}

bool ExeXml::Add(const std::string& exePath) {
  pugi::xml_node root = document_->document_element();
  const std::string indent = ChildIndent(root);
  const std::string inner = indent + "  ";
  bool changed = false;
  pugi::xml_node ours;
  for (pugi::xml_node node = root.first_child(); node;) {
    pugi::xml_node next = node.next_sibling();
    if (IsOurs(node)) {
      if (!ours) {
        ours = node;
      } else {
        RemoveWithIndent(node);
        changed = true;
      }
    }
    node = next;
  }
  if (ours) {
    changed |= SetText(ours, "Disabled", "False", inner);
    changed |= SetText(ours, "ManualLoad", "False", inner);
    changed |= SetText(ours, "Path", exePath, inner);
    return changed;
  }
  // A new entry after the last element, in the simulator's own layout.
  pugi::xml_node last = root.last_child();
  pugi::xml_node space =
      last && IsBlank(last) ? root.insert_child_before(pugi::node_pcdata, last) : root.append_child(pugi::node_pcdata);
  space.set_value(indent.c_str());
  ours = root.insert_child_after(pugi::node_element, space);
  ours.set_name(kAddon);
  const std::pair<const char*, std::string> fields[] = {{"Name", kEntryName},    {"Disabled", "False"},
                                                        {"ManualLoad", "False"}, {"Path", exePath},
                                                        {"CommandLine", ""},     {"NewConsole", "False"}};
  for (const auto& [name, value] : fields) {
    ours.append_child(pugi::node_pcdata).set_value(inner.c_str());
    pugi::xml_node field = ours.append_child(name);
    if (!value.empty()) field.text().set(value.c_str());
  }
  ours.append_child(pugi::node_pcdata).set_value(indent.c_str());
  if (!(last && IsBlank(last))) root.append_child(pugi::node_pcdata).set_value(LineEnd(indent).c_str());
  return true;
}

bool ExeXml::Remove() {
  pugi::xml_node root = document_->document_element();
  bool changed = false;
  for (pugi::xml_node node = root.first_child(); node;) {
    pugi::xml_node next = node.next_sibling();
    if (IsOurs(node)) {
      RemoveWithIndent(node);
      changed = true;
    }
    node = next;
  }
  return changed;
}

std::string ExeXml::Text() const {
  // The parser keeps no text outside the root: each node at the top (the
  // declaration, comments, the root) goes on a line of its own, with the line
  // ends the file uses inside.
  const std::string lineEnd = LineEnd(ChildIndent(document_->document_element()));
  std::string text;
  StringWriter writer(&text);
  for (pugi::xml_node node = document_->first_child(); node; node = node.next_sibling()) {
    node.print(writer, "", pugi::format_raw | pugi::format_no_empty_element_tags, pugi::encoding_utf8);
    text += lineEnd;
  }
  return text;
}

}  // namespace autostart
