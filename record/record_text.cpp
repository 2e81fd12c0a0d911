#include "record/record_text.h"

#include <algorithm>
#include <iterator>

#include "core/ts_csv.h"
#include "core/ts_format.h"
#include "format/narrow_text.h"

namespace palisade {
namespace {

// The messages the uninstaller shows, in the order written; the product
// heading follows under its own number.
constexpr int kRecordedMessages[] = {10, 15, 20, 30, 34, 35, 49, 53, 55, 56, 57, 58, 59, 65, 67, 68,
                                     69, 70, 71, 74, 79, 80, 99, 100, 101, 104, 107, 108, 109, 110, 111};
constexpr int kHeadingNumber = 999;

constexpr char kLineEnd[] = "\r\n";
// The markers of the kinds 1 to 4; a file has none.
constexpr std::string_view kEntryMarkers = "~!^*";
constexpr char kMessageMark = '~';
constexpr char kAssociationSeparator[] = "~!~";
constexpr int kAssociationFields = 4;
constexpr int kMaxMessageNumber = 1000;
constexpr uint8_t kConditionalDeleteAtUninstall = 0x8;

enum class Section {
  kEntries,
  kStrings,
  kAutoClose,
  kAssociations,
  kFirewall,
  kDrivers,
  kPackages,
  kMerge,
  kConditionalDelete
};

struct SectionHeader {
  const char* text;
  Section section;
};

constexpr SectionHeader kHeaders[] = {
    {"[Strings]", Section::kStrings},
    {"[AutoClose]", Section::kAutoClose},
    {"[Associations]", Section::kAssociations},
    {"[Firewall]", Section::kFirewall},
    {"[INF]", Section::kDrivers},
    {"[MSI]", Section::kPackages},
    {"[Registry2]", Section::kMerge},
    {"[ConditionalDelete]", Section::kConditionalDelete},
};

const char* HeaderOf(Section section) {
  for (const SectionHeader& header : kHeaders) {
    if (header.section == section) return header.text;
  }
  return "";
}

bool HoldsLineBreak(std::string_view text) { return text.find_first_of(std::string_view("\r\n\0", 3)) != text.npos; }

bool IsUnpairedSurrogate(std::wstring_view text, size_t at) {
  wchar_t c = text[at];
  if (c >= 0xD800 && c < 0xDC00) return at + 1 >= text.size() || text[at + 1] < 0xDC00 || text[at + 1] >= 0xE000;
  if (c >= 0xDC00 && c < 0xE000) return at == 0 || text[at - 1] < 0xD800 || text[at - 1] >= 0xDC00;
  return false;
}

// A half of a surrogate pair has no UTF-8 form of its own.
ts::Text Utf8WithQuestionMarks(std::wstring_view text) {
  ts::WText whole(text);
  for (size_t i = 0; i < text.size(); ++i) {
    if (IsUnpairedSurrogate(text, i)) whole[i] = L'?';
  }
  return ts::Utf8FromWide(whole);
}

ts::Text Utf8FromStoredText(std::string_view stored) { return ts::Utf8FromWide(WideFromStoredText(stored)); }

ts::Text* SectionText(UninstallRecord& record, RecordSection section) {
  switch (section) {
    case RecordSection::kAssociations:
      return &record.associations;
    case RecordSection::kFirewall:
      return &record.firewall;
    case RecordSection::kDrivers:
      return &record.drivers;
    case RecordSection::kPackages:
      return &record.packages;
  }
  return &record.firewall;
}

ts::WText FolderKey(std::string_view stored) { return ts::AsciiLowerCase(WideFromStoredText(stored)); }

}  // namespace

ts::Text StoredText(std::wstring_view text) { return format::EncodeNarrowForm(ts::Utf8FromWide(text)); }

ts::WText WideFromStoredText(std::string_view stored) {
  format::DecodedNarrowText decoded = format::DecodeNarrowForm(stored);
  return decoded.utf8 ? ts::WideFromUtf8(decoded.text) : ts::WideFromAnsi(decoded.text);
}

bool AddEntry(UninstallRecord& record, std::string_view stored, RemovalKind kind) {
  if (stored.size() <= 3 || HoldsLineBreak(stored)) return false;
  if (kind == RemovalKind::kFolder && !record.folders.insert(FolderKey(stored)).second) return false;
  size_t number = static_cast<size_t>(kind);
  if (number >= 1 && number <= kEntryMarkers.size()) record.entries += kEntryMarkers[number - 1];
  record.entries.append(stored);
  record.entries += kLineEnd;
  return true;
}

bool AddSectionLine(UninstallRecord& record, RecordSection section, std::string_view line) {
  if (HoldsLineBreak(line)) return false;
  ts::Text& text = *SectionText(record, section);
  text.append(line);
  text += kLineEnd;
  return true;
}

ts::Text AssociationLine(const RecordedAssociation& association) {
  return ts::Format("%s~!~%s~!~%s~!~%s", association.extension.c_str(), association.progId.c_str(),
                    association.verb.c_str(), association.icon.c_str());
}

namespace {

ts::Text StringsLines(const format::SetupScript& script, const MessageLookup& message) {
  ts::Text lines;
  for (int number : kRecordedMessages) {
    lines += ts::Format("~%d\r\n%s\r\n", number, Utf8WithQuestionMarks(message(number)).c_str());
  }
  return lines + ts::Format("~%d\r\n%s\r\n", kHeadingNumber, script.productHeading.c_str());
}

ts::Text CloseRuleLines(const format::SetupScript& script) {
  ts::Text lines;
  for (const format::CloseRule& rule : script.closeRules) {
    lines += ts::CsvLine({format::EncodeNarrowForm(rule.windowClass), format::EncodeNarrowForm(rule.windowTitle),
                          format::EncodeNarrowForm(rule.applicationName), std::to_string(rule.action)}) +
             kLineEnd;
  }
  return lines;
}

ts::Text ConditionalDeleteLines(const format::SetupScript& script) {
  ts::Text lines;
  for (const format::ConditionalDeleteRule& rule : script.conditionalDeletes) {
    if (!(rule.flags & kConditionalDeleteAtUninstall)) continue;
    lines += ts::CsvLine({format::EncodeNarrowForm(rule.pattern), std::to_string(rule.conditionKind),
                          format::EncodeNarrowForm(rule.value), std::to_string(rule.flags)}) +
             kLineEnd;
  }
  return lines;
}

void AppendSection(ts::Text& file, Section section, std::string_view lines) {
  if (lines.empty()) return;
  file += "\r\n\r\n";
  file += HeaderOf(section);
  file += kLineEnd;
  file.append(lines);
}

}  // namespace

ts::Text UninstallDataText(const UninstallRecord& record, const format::SetupScript& script,
                           const MessageLookup& message) {
  ts::Text file = record.entries;
  AppendSection(file, Section::kStrings, StringsLines(script, message));
  AppendSection(file, Section::kAutoClose, CloseRuleLines(script));
  AppendSection(file, Section::kAssociations, record.associations);
  AppendSection(file, Section::kFirewall, record.firewall);
  AppendSection(file, Section::kDrivers, record.drivers);
  AppendSection(file, Section::kPackages, record.packages);
  ts::WText merge(script.registryMergeText.begin(), script.registryMergeText.end());
  AppendSection(file, Section::kMerge, Utf8WithQuestionMarks(merge));
  AppendSection(file, Section::kConditionalDelete, ConditionalDeleteLines(script));
  return file;
}

namespace {

// Lines end at CR or LF; a CR LF or LF CR pair is one line end.
ts::Vector<std::string_view> SplitLines(std::string_view text) {
  ts::Vector<std::string_view> lines;
  size_t start = 0;
  for (size_t at = 0; at < text.size(); ++at) {
    char c = text[at];
    if (c != '\r' && c != '\n') continue;
    lines.Add(text.substr(start, at - start));
    char pair = c == '\r' ? '\n' : '\r';
    if (at + 1 < text.size() && text[at + 1] == pair) ++at;
    start = at + 1;
  }
  if (start < text.size()) lines.Add(text.substr(start));
  return lines;
}

constexpr std::string_view kLineBlanks = " \t\r\n";

std::string_view Trimmed(std::string_view text) {
  size_t first = text.find_first_not_of(kLineBlanks);
  if (first == text.npos) return {};
  return text.substr(first, text.find_last_not_of(kLineBlanks) + 1 - first);
}

void TrimEnd(ts::Text& text) {
  size_t last = text.find_last_not_of(kLineBlanks);
  text.erase(last == text.npos ? 0 : last + 1);
}

bool IsBlank(std::string_view text) { return Trimmed(text).empty(); }

bool ParseDecimal(std::string_view text, int maximum, int& value) {
  if (text.empty() || text.size() > 4) return false;
  value = 0;
  for (char c : text) {
    if (c < '0' || c > '9') return false;
    value = value * 10 + (c - '0');
  }
  return value <= maximum;
}

bool ParseByte(std::string_view text, uint8_t& value) {
  int number = 0;
  if (!ParseDecimal(text, 255, number)) return false;
  value = static_cast<uint8_t>(number);
  return true;
}

// The number of a "~N" line that starts a message text; 0 when the line
// starts none.
int MessageNumber(std::string_view line) {
  int number = 0;
  bool numbered = !line.empty() && line.front() == kMessageMark && ParseDecimal(line.substr(1), kMaxMessageNumber, number);
  return numbered ? number : 0;
}

bool StartsWithHeader(std::string_view line) {
  return std::any_of(std::begin(kHeaders), std::end(kHeaders),
                     [&](const SectionHeader& header) { return line.rfind(header.text, 0) == 0; });
}

bool FindHeader(std::string_view line, Section& section) {
  for (const SectionHeader& header : kHeaders) {
    if (line == header.text) {
      section = header.section;
      return true;
    }
  }
  return false;
}

class DataReader {
 public:
  UninstallData Read(std::string_view text) {
    for (std::string_view raw : SplitLines(text)) TakeLine(raw, Trimmed(raw));
    EndMessage();
    return std::move(data_);
  }

 private:
  void TakeLine(std::string_view raw, std::string_view line) {
    Section next;
    if (FindHeader(line, next)) {
      EndMessage();
      section_ = next;
    } else if (section_ == Section::kStrings) {
      TakeStringsLine(raw, line);
    } else if (!line.empty()) {
      TakeListLine(line);
    }
  }

  void TakeStringsLine(std::string_view raw, std::string_view line) {
    if (!line.empty() && (line.front() == kMessageMark || StartsWithHeader(line))) {
      EndMessage();
      messageNumber_ = MessageNumber(line);
    } else if (messageNumber_) {
      message_.append(raw);
      message_ += kLineEnd;
    }
  }

  void EndMessage() {
    if (!messageNumber_) return;
    TrimEnd(message_);
    if (messageNumber_ == kHeadingNumber) {
      data_.productHeading = message_;
    } else {
      data_.messages.Add({messageNumber_, ts::WideFromUtf8(message_)});
    }
    messageNumber_ = 0;
    message_.clear();
  }

  void TakeListLine(std::string_view line) {
    switch (section_) {
      case Section::kEntries:
        data_.entries.Add(ts::Text(line));
        break;
      case Section::kAutoClose:
        TakeCloseRule(line);
        break;
      case Section::kAssociations:
        TakeAssociation(line);
        break;
      case Section::kFirewall:
        data_.firewall.Add(ts::Text(line));
        break;
      case Section::kDrivers:
        data_.drivers.Add(ts::Text(line));
        break;
      case Section::kPackages:
        data_.packages.Add(ts::Text(line));
        break;
      case Section::kMerge:
        data_.mergeText += ts::WideFromUtf8(line) + L"\r\n";
        break;
      case Section::kConditionalDelete:
        TakeConditionalDelete(line);
        break;
      case Section::kStrings:
        break;
    }
  }

  void TakeCloseRule(std::string_view line) {
    ts::Vector<ts::Text> fields = ts::CsvFields(line);
    format::CloseRule rule;
    if (fields.Count() != 4 || !ParseByte(fields[3], rule.action)) return;
    rule.windowClass = Utf8FromStoredText(fields[0]);
    rule.windowTitle = Utf8FromStoredText(fields[1]);
    rule.applicationName = Utf8FromStoredText(fields[2]);
    // The uninstaller's first pass, before the user confirms, closes
    // windows; the rules that ask the user wait for the second.
    rule.options = rule.action == format::close_action::kAsk ? format::close_when::kUninstallAsking
                                                             : format::close_when::kUninstall;
    data_.closeRules.Add(std::move(rule));
  }

  void TakeAssociation(std::string_view line) {
    RecordedAssociation association;
    ts::Text* fields[kAssociationFields] = {&association.extension, &association.progId, &association.verb,
                                            &association.icon};
    size_t at = 0;
    for (int i = 0; i < kAssociationFields && at != line.npos; ++i) {
      size_t separator = i + 1 < kAssociationFields ? line.find(kAssociationSeparator, at) : line.npos;
      *fields[i] = line.substr(at, separator == line.npos ? line.npos : separator - at);
      at = separator == line.npos ? line.npos : separator + sizeof kAssociationSeparator - 1;
    }
    if (IsBlank(association.extension) || IsBlank(association.progId) || IsBlank(association.verb)) return;
    data_.associations.Add(std::move(association));
  }

  void TakeConditionalDelete(std::string_view line) {
    ts::Vector<ts::Text> fields = ts::CsvFields(line);
    format::ConditionalDeleteRule rule;
    if (fields.Count() != 4 || !ParseByte(fields[1], rule.conditionKind) || !ParseByte(fields[3], rule.flags)) return;
    rule.pattern = Utf8FromStoredText(fields[0]);
    rule.value = Utf8FromStoredText(fields[2]);
    data_.conditionalDeletes.Add(std::move(rule));
  }

  UninstallData data_;
  Section section_ = Section::kEntries;
  int messageNumber_ = 0;
  ts::Text message_;
};

}  // namespace

UninstallData ParseUninstallData(std::string_view text) { return DataReader().Read(text); }

RecordedEntry ParseEntry(std::string_view entry) {
  size_t marker = entry.empty() ? kEntryMarkers.npos : kEntryMarkers.find(entry.front());
  if (marker == kEntryMarkers.npos) return {RemovalKind::kFile, WideFromStoredText(entry)};
  return {static_cast<RemovalKind>(marker + 1), WideFromStoredText(entry.substr(1))};
}

namespace {

ts::Text JoinedLines(const ts::Vector<ts::Text>& lines) {
  ts::Text text;
  for (const ts::Text& line : lines) text += line + kLineEnd;
  return text;
}

void AdoptMessages(const ts::Vector<RecordedMessage>& messages, format::SetupScript& script) {
  script.messages.clear();
  for (const RecordedMessage& message : messages) {
    size_t number = static_cast<size_t>(message.number);
    if (script.messages.size() <= number) script.messages.resize(number + 1, std::vector<std::u16string>(1));
    script.messages[number][0].assign(message.text.begin(), message.text.end());
  }
}

}  // namespace

void AdoptUninstallData(const UninstallData& data, UninstallRecord& record, format::SetupScript& script) {
  record.associations.clear();
  for (const RecordedAssociation& association : data.associations)
    record.associations += AssociationLine(association) + kLineEnd;
  record.firewall = JoinedLines(data.firewall);
  record.drivers = JoinedLines(data.drivers);
  record.packages = JoinedLines(data.packages);
  AdoptMessages(data.messages, script);
  script.productHeading = data.productHeading;
  script.closeRules.assign(data.closeRules.begin(), data.closeRules.end());
  script.registryMergeText.assign(data.mergeText.begin(), data.mergeText.end());
  script.conditionalDeletes.assign(data.conditionalDeletes.begin(), data.conditionalDeletes.end());
}

}  // namespace palisade
