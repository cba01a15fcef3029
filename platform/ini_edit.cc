// Applying key changes to INI text. See ini_edit.h.
//
// The lines of the edited section become a linked list of nodes; every change
// touches one node (replace its text, unlink it, or link a new one after the
// last key line), and the section is written out once at the end. Keys are
// found through a map from each changed name (ignoring case) to the list of
// its lines (duplicates included), so a removal of the first of two
// duplicates exposes the second, exactly as a sequence of single writes would.
#include "platform/ini_edit.h"

#include <cstdint>
#include <unordered_map>

namespace tallowmere::platform::ini {

namespace {

bool HasLineBreakOrNul(std::string_view text) { return text.find_first_of(std::string_view("\r\n\0", 3)) != std::string_view::npos; }

constexpr uint32_t kNewLine = UINT32_MAX;

struct Node {
  uint32_t line = kNewLine;  // index into the document's lines, or kNewLine
  int32_t prev = -1;
  int32_t next = -1;
  bool isKey = false;
  bool replaced = false;
  std::string text;  // replacement text of an original line, or a new line
};

struct Occurrences {
  std::vector<int32_t> nodes;
  size_t current = 0;
};

class SectionEditor {
 public:
  // `section` < 0: the section does not exist yet; node 0 stands for the
  // header that will be written. Only the keys that `changes` name are
  // looked for in the section.
  SectionEditor(const IniDocument* document, int section, const std::vector<KeyChange>& changes)
      : document_(document) {
    occurrences_.reserve(changes.size());
    for (const KeyChange& change : changes) occurrences_.try_emplace(change.key);
    nodes_.push_back(Node{});
    if (section >= 0) {
      const SectionBlock& block = document->sections()[static_cast<size_t>(section)];
      nodes_[0].line = block.header;
      const auto& lines = document->lines();
      nodes_.reserve(block.end - block.header);
      for (uint32_t i = block.header + 1; i < block.end; ++i) {
        Node node;
        node.line = i;
        node.isKey = lines[i].kind == LineKind::kKey;
        int32_t index = static_cast<int32_t>(nodes_.size());
        nodes_.push_back(std::move(node));
        Link(index, index - 1);
        if (nodes_.back().isKey) {
          lastKey_ = index;
          auto found = occurrences_.find(document->Name(lines[i]));
          if (found != occurrences_.end()) found->second.nodes.push_back(index);
        }
      }
    }
  }

  void Apply(const KeyChange& change) {
    Occurrences& found = occurrences_[change.key];
    if (found.current < found.nodes.size()) {
      int32_t index = found.nodes[found.current];
      Node& node = nodes_[static_cast<size_t>(index)];
      if (change.value) {
        std::string_view name = node.line == kNewLine ? KeyOfNewLine(node) : document_->Name(document_->lines()[node.line]);
        node.text = std::string(name) + "=" + StoredValue(*change.value);
        node.replaced = true;
      } else {
        ++found.current;
        Unlink(index);
      }
    } else if (change.value) {
      Node node;
      node.isKey = true;
      node.text = std::string(change.key) + "=" + StoredValue(*change.value);
      int32_t index = static_cast<int32_t>(nodes_.size());
      nodes_.push_back(std::move(node));
      Link(index, lastKey_);
      lastKey_ = index;
      found.nodes.push_back(index);
    }
  }

  bool HasKeys() const {
    for (int32_t i = nodes_[0].next; i >= 0; i = nodes_[static_cast<size_t>(i)].next) {
      if (nodes_[static_cast<size_t>(i)].isKey) return true;
    }
    return false;
  }

  // Appends the section's lines (from the header on) to `out`.
  void Write(std::string& out, std::string_view newHeader, std::string_view lineEnd) const {
    const std::string* text = document_ ? &document_->text() : nullptr;
    bool needLineEnd = false;  // the previous line was the file's last and had no line end
    for (int32_t i = 0; i >= 0; i = nodes_[static_cast<size_t>(i)].next) {
      const Node& node = nodes_[static_cast<size_t>(i)];
      if (needLineEnd) out += lineEnd;
      needLineEnd = false;
      if (node.line == kNewLine) {
        out += i == 0 ? newHeader : std::string_view(node.text);
        out += lineEnd;
        continue;
      }
      const Line& line = document_->lines()[node.line];
      if (node.replaced) {
        out += node.text;
      } else {
        out.append(*text, line.start, line.contentEnd - line.start);
      }
      out.append(*text, line.contentEnd, line.end - line.contentEnd);
      needLineEnd = line.end == line.contentEnd;
    }
  }

 private:
  std::string_view KeyOfNewLine(const Node& node) const {
    std::string_view text(node.text);
    return text.substr(0, text.find('='));
  }

  void Link(int32_t index, int32_t after) {
    Node& node = nodes_[static_cast<size_t>(index)];
    Node& previous = nodes_[static_cast<size_t>(after)];
    node.prev = after;
    node.next = previous.next;
    if (previous.next >= 0) nodes_[static_cast<size_t>(previous.next)].prev = index;
    previous.next = index;
  }

  void Unlink(int32_t index) {
    Node& node = nodes_[static_cast<size_t>(index)];
    nodes_[static_cast<size_t>(node.prev)].next = node.next;
    if (node.next >= 0) nodes_[static_cast<size_t>(node.next)].prev = node.prev;
    if (lastKey_ == index) {
      int32_t i = node.prev;
      while (i > 0 && !nodes_[static_cast<size_t>(i)].isKey) i = nodes_[static_cast<size_t>(i)].prev;
      lastKey_ = i;
    }
    node.isKey = false;
  }

  const IniDocument* document_;
  std::vector<Node> nodes_;
  int32_t lastKey_ = 0;  // a new key goes after this node (0: the header)
  std::unordered_map<std::string_view, Occurrences, NoCaseHash, NoCaseEqual> occurrences_;
};

}  // namespace

bool KeyWritable(std::string_view key) {
  if (key.empty() || HasLineBreakOrNul(key)) return false;
  if (key.find('=') != std::string_view::npos) return false;
  if (key.front() == '[' || key.front() == ';') return false;
  return !IsBlank(key.front()) && !IsBlank(key.back());
}

bool SectionWritable(std::string_view section) { return !HasLineBreakOrNul(section); }

bool ValueWritable(std::string_view value) { return !HasLineBreakOrNul(value); }

std::string StoredValue(std::string_view value) {
  bool blankEnds = !value.empty() && (IsBlank(value.front()) || IsBlank(value.back()));
  bool quoted = value.size() >= 2 && (value.front() == '"' || value.front() == '\'') && value.back() == value.front();
  if (!blankEnds && !quoted) return std::string(value);
  std::string stored;
  stored.reserve(value.size() + 2);
  stored += '"';
  stored += value;
  stored += '"';
  return stored;
}

std::string ApplyChanges(const IniDocument* document, std::string_view section,
                         const std::vector<KeyChange>& changes) {
  section = TrimBlanks(section);
  int index = document ? document->ScanForSection(section) : -1;
  SectionEditor editor(document, index, changes);
  for (const KeyChange& change : changes) editor.Apply(change);

  std::string_view text = document ? std::string_view(document->text()) : std::string_view();
  std::string_view lineEnd = document ? document->LineEnd() : std::string_view("\r\n");
  std::string out;
  out.reserve(text.size() + text.size() / 8 + 64);
  if (index < 0) {
    if (!editor.HasKeys()) return std::string(text);  // only removals: nothing to add
    out.append(text);
    if (!out.empty() && out.back() != '\n' && out.back() != '\r') out += lineEnd;
    std::string header;
    header.reserve(section.size() + 2);
    header.append(1, '[').append(section).append(1, ']');
    editor.Write(out, header, lineEnd);
    return out;
  }
  const SectionBlock& block = document->sections()[static_cast<size_t>(index)];
  const auto& lines = document->lines();
  size_t sectionStart = lines[block.header].start;
  size_t sectionEnd = block.end < lines.size() ? lines[block.end].start : text.size();
  out.append(text.substr(0, sectionStart));
  editor.Write(out, {}, lineEnd);
  out.append(text.substr(sectionEnd));
  return out;
}

std::string RemoveSection(const IniDocument& document, std::string_view section) {
  int index = document.ScanForSection(section);
  if (index < 0) return document.text();
  const SectionBlock& block = document.sections()[static_cast<size_t>(index)];
  const auto& lines = document.lines();
  std::string_view text(document.text());
  size_t sectionStart = lines[block.header].start;
  size_t sectionEnd = block.end < lines.size() ? lines[block.end].start : text.size();
  std::string out(text.substr(0, sectionStart));
  out.append(text.substr(sectionEnd));
  return out;
}

}  // namespace tallowmere::platform::ini
