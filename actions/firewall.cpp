#include "actions/firewall.h"

#include <windows.h>

#include "actions/file_destination.h"
#include "actions/install_log.h"
#include "core/ts_firewall.h"
#include "core/ts_format.h"
#include "core/ts_system.h"
#include "format/errors.h"
#include "format/product_flags.h"
#include "payload/payload_reader.h"
#include "payload/variables.h"
#include "record/uninstall_record.h"
#include "state/installer_state.h"

namespace palisade {
namespace {

namespace flags2 = format::product_flags2;
namespace protocol = format::firewall_protocol;
namespace result = ts::firewall_result;

constexpr size_t kFields = 4;

struct PortProtocol {
  uint32_t bit;
  int number;
  const char* name;
};
constexpr PortProtocol kPortProtocols[] = {{protocol::kTcp, ts::kFirewallTcp, "TCP"},
                                           {protocol::kUdp, ts::kFirewallUdp, "UDP"}};

bool IsAllDigits(const ts::WText& text) {
  return !text.empty() && text.find_first_not_of(L"0123456789") == ts::WText::npos;
}

std::vector<ts::WText> Fields(std::wstring_view line) {
  std::vector<ts::WText> fields;
  for (size_t start = 0;;) {
    size_t end = line.find(L';', start);
    fields.emplace_back(line.substr(start, end == std::wstring_view::npos ? line.npos : end - start));
    if (end == std::wstring_view::npos) return fields;
    start = end + 1;
  }
}

int Number(const ts::WText& text) { return static_cast<int>(wcstoul(text.c_str(), nullptr, 10)); }

ts::WText ExceptionName(const FirewallEntry& entry) {
  return entry.name.empty() ? ts::WideFromUtf8(g_installer.script.productName) : entry.name;
}

bool RunsWhenPortable() { return !(g_installer.productFlags2 & flags2::kNoFirewallWhenPortable); }

int AddProgram(ts::FirewallConnection& firewall, const FirewallEntry& entry) {
  ts::WText path = FirewallProgramPath(entry.program);
  if (entry.program.empty()) {
    LogWideFormat(L"Failed to add firewall exception for \"%s\", code %d\r\n", path.c_str(), result::kEmptyTarget);
    return result::kEmptyTarget;
  }
  DWORD attributes = GetFileAttributesW(path.c_str());
  if (attributes == INVALID_FILE_ATTRIBUTES || (attributes & FILE_ATTRIBUTE_DIRECTORY)) {
    LogWideFormat(L"Failed to add firewall exception for \"%s\": file does not exist\r\n", path.c_str());
    return result::kNotAdded;
  }
  int outcome = ts::FirewallAddProgram(firewall, path, ExceptionName(entry));
  if (outcome == result::kSuccess) {
    LogWideConcat({L"Added firewall exception: ", path, L"\r\n"});
  } else {
    LogWideFormat(L"Failed to add firewall exception for \"%s\", code %d\r\n", path.c_str(), outcome);
  }
  return outcome;
}

// The entry's result is that of the last protocol tried; a port line
// without a protocol opens nothing and is not recorded.
int OpenPort(ts::FirewallConnection& firewall, const FirewallEntry& entry) {
  int outcome = result::kEmptyTarget;
  for (const PortProtocol& p : kPortProtocols) {
    if (!(entry.protocols & p.bit)) continue;
    outcome = ts::FirewallOpenPort(firewall, entry.port, p.number, ExceptionName(entry));
    if (outcome == result::kSuccess) {
      LogFormat("Added firewall exception: %s port %d\r\n", p.name, entry.port);
    } else {
      LogFormat("Failed to open firewall port %d, code %d\r\n", entry.port, outcome);
    }
  }
  if (!(entry.protocols & (protocol::kTcp | protocol::kUdp))) {
    LogFormat("Failed to open firewall port %d, code %d\r\n", entry.port, outcome);
  }
  return outcome;
}

// Removal is silent for the user; the trace shows what the firewall said.
void TraceRemoval(const ts::WText& what, long outcome) {
  ts::WText text = ts::SystemErrorTextW(static_cast<DWORD>(outcome));
  ts::TraceRun(ts::Format(L"firewall exception removed: %s, 0x%08lX %s", what.c_str(),
                          static_cast<unsigned long>(outcome), text.c_str()));
}

// A port is closed only while its exception carries the name that the
// product gave it: an edited record must not close another program's port.
bool IsProductsPort(ts::FirewallConnection& firewall, const FirewallEntry& entry, int protocol) {
  ts::WText name;
  return ts::FirewallPortName(firewall, entry.port, protocol, name) && name == ExceptionName(entry);
}

void TraceLeft(const ts::WText& what) { ts::TraceRun(L"firewall exception left, not the product's: " + what); }

void RemoveException(ts::FirewallConnection& firewall, const FirewallEntry& entry) {
  if (!entry.isPort) {
    ts::WText path = FirewallProgramPath(entry.program);
    if (IsProductsProgram(entry)) {
      TraceRemoval(path, ts::FirewallRemoveProgram(firewall, path));
    } else {
      TraceLeft(path);
    }
    return;
  }
  for (const PortProtocol& p : kPortProtocols) {
    if (!(entry.protocols & p.bit)) continue;
    ts::WText port = ts::Format(L"%hs port %d", p.name, entry.port);
    if (IsProductsPort(firewall, entry, p.number)) {
      TraceRemoval(port, ts::FirewallClosePort(firewall, entry.port, p.number));
    } else {
      TraceLeft(port);
    }
  }
}

std::vector<FirewallEntry> ScriptEntries(const std::vector<ts::WText>& lines) {
  std::vector<FirewallEntry> entries;
  for (const ts::WText& line : lines) {
    FirewallEntry entry;
    if (!ParseFirewallLine(line, entry)) CorruptInstaller(format::Error::kBadFirewallLine);
    entries.push_back(entry);
  }
  return entries;
}

}  // namespace

bool ParseFirewallLine(std::wstring_view line, FirewallEntry& entry) {
  std::vector<ts::WText> fields = Fields(line);
  if (fields.size() != kFields) return false;
  entry = FirewallEntry{};
  entry.isPort = IsAllDigits(fields[0]);
  if (entry.isPort) {
    entry.port = Number(fields[0]);
  } else {
    entry.program = fields[0];
  }
  entry.name = fields[1];
  entry.protocols = static_cast<uint32_t>(Number(fields[2]));
  entry.keep = fields[3].find(L'1') != ts::WText::npos;
  return true;
}

ts::WText FirewallProgramPath(const ts::WText& program) {
  ts::WText path = program;
  Expand(path);
  return path.empty() ? path : BelowInstallFolder(path);
}

bool IsProductsProgram(const FirewallEntry& entry) {
  return !entry.isPort && IsPathInFolder(FirewallProgramPath(entry.program), g_installer.installFolder);
}

void AddFirewallExceptions() {
  if (g_installer.portable && !RunsWhenPortable()) return;
  std::vector<ts::WText> lines = ts::NonBlankLines(ts::WideFromUtf8(g_installer.script.firewallText));
  if (lines.empty()) return;
  std::vector<FirewallEntry> entries = ScriptEntries(lines);
  ts::FirewallConnection firewall;
  int connected = ts::FirewallConnect(firewall);
  if (connected != result::kSuccess) {
    LogFormat("Failed to connect to the firewall service: code %d\r\n", connected);
    return;
  }
  for (size_t i = 0; i < entries.size(); ++i) {
    int outcome = entries[i].isPort ? OpenPort(firewall, entries[i]) : AddProgram(firewall, entries[i]);
    if (outcome == result::kSuccess && !entries[i].keep) {
      RecordSectionLine(RecordSection::kFirewall, StoredText(lines[i]));
    }
  }
}

void RemoveFirewallEntries(const std::vector<FirewallEntry>& entries) {
  ts::FirewallConnection firewall;
  if (ts::FirewallConnect(firewall) != result::kSuccess) return;
  for (const FirewallEntry& entry : entries) RemoveException(firewall, entry);
}

}  // namespace palisade
