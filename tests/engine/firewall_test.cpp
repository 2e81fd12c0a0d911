// Firewall exceptions: the lines of the script and of the record as the
// engine reads them, and what the system's firewall objects do with them.
#include <gtest/gtest.h>

#include <windows.h>
#include <objbase.h>

#include "actions/firewall.h"
#include "core/ts_firewall.h"
#include "format/product_flags.h"
#include "record/uninstall_record.h"
#include "state/installer_state.h"

namespace palisade {
namespace {

struct LineCase {
  ts::WText line;
  bool read;
  FirewallEntry entry;
};

TEST(ParseFirewallLine, FourFieldsOfAPortOrAProgram) {
  const LineCase cases[] = {
      {ts::WText() +
           L"8080" +          // a port: all digits
           L";Acme Sync" +    // the exception's name
           L";3" +            // protocols: TCP and UDP
           L";0",             // not kept: removed at uninstallation
       true,
       {true, L"", 8080, 3, L"Acme Sync", false}},
      {L"%InstallDir%\\sync.exe;;0;1", true, {false, L"%InstallDir%\\sync.exe", 0, 0, L"", true}},
      {L"sync2.exe;Caf\u00e9;0;01", true, {false, L"sync2.exe", 0, 0, L"Caf\u00e9", true}},
      {L"80a;;1;0", true, {false, L"80a", 0, 1, L"", false}},
      {L";;1;0", true, {false, L"", 0, 1, L"", false}},
      {L"443;;2;2", true, {true, L"", 443, 2, L"", false}},
      {L"8080;Acme;3", false, {}},
      {L"8080;Acme;3;0;extra", false, {}},
      {L"", false, {}},
  };
  for (const LineCase& c : cases) {
    FirewallEntry entry;
    std::string line = ts::Utf8FromWide(c.line);
    ASSERT_EQ(ParseFirewallLine(c.line, entry), c.read) << line;
    if (!c.read) continue;
    EXPECT_EQ(entry.isPort, c.entry.isPort) << line;
    EXPECT_EQ(entry.program, c.entry.program) << line;
    EXPECT_EQ(entry.port, c.entry.port) << line;
    EXPECT_EQ(entry.protocols, c.entry.protocols) << line;
    EXPECT_EQ(entry.name, c.entry.name) << line;
    EXPECT_EQ(entry.keep, c.entry.keep) << line;
  }
}

struct PathCase {
  const wchar_t* program;
  const wchar_t* path;
};

TEST(FirewallProgramPath, VariablesExpandedAndRelativeBelowTheInstallationFolder) {
  InstallerState saved = g_installer;
  g_installer.installFolder = L"C:\\Acme";
  const PathCase cases[] = {
      {L"sync.exe", L"C:\\Acme\\sync.exe"},
      {L"bin\\sync.exe", L"C:\\Acme\\bin\\sync.exe"},
      {L"%InstallDir%\\sync.exe", L"C:\\Acme\\sync.exe"},
      {L"D:\\Tools\\sync.exe", L"D:\\Tools\\sync.exe"},
      {L"\\\\server\\share\\sync.exe", L"\\\\server\\share\\sync.exe"},
      {L"", L""},
  };
  for (const PathCase& c : cases) EXPECT_EQ(FirewallProgramPath(c.program), c.path) << ts::Utf8FromWide(c.program);
  g_installer = saved;
}

struct ProgramCase {
  const wchar_t* line;
  bool products;
};

// The uninstaller removes a program's exception only for a program of the
// installation folder: a line of an edited record that names another
// program (or a port, which goes by its name) is not the product's program.
TEST(IsProductsProgram, OnlyAProgramOfTheInstallationFolder) {
  InstallerState saved = g_installer;
  g_installer.installFolder = L"C:\\Acme";
  const ProgramCase cases[] = {
      {L"sync.exe;;0;0", true},
      {L"%InstallDir%\\bin\\sync.exe;;0;0", true},
      {L"C:\\ACME\\sync.exe;Acme Sync;0;0", true},
      {L"C:\\Windows\\System32\\svchost.exe;;0;0", false},
      {L"C:\\Acme2\\sync.exe;;0;0", false},
      {L"..\\Tools\\sync.exe;;0;0", false},
      {L"C:\\Acme\\..\\Tools\\sync.exe;;0;0", false},
      {L"\\\\server\\share\\sync.exe;;0;0", false},
      {L"8080;Acme;1;0", false},
  };
  for (const ProgramCase& c : cases) {
    FirewallEntry entry;
    ASSERT_TRUE(ParseFirewallLine(c.line, entry));
    EXPECT_EQ(IsProductsProgram(entry), c.products) << ts::Utf8FromWide(c.line);
  }
  g_installer = saved;
}

// Wine's firewall objects store nothing: every program counts as allowed
// already, a port cannot be looked up (so it is added afresh), and a port
// cannot be closed. The results here are those that the logs and the
// uninstaller's trace then show.
TEST(WindowsFirewall, ConnectionAndEveryOperationUnderWine) {
  ASSERT_TRUE(SUCCEEDED(CoInitialize(nullptr)));
  {
    ts::FirewallConnection firewall;
    ASSERT_EQ(ts::FirewallConnect(firewall), ts::firewall_result::kSuccess);
    wchar_t program[MAX_PATH];
    GetModuleFileNameW(nullptr, program, MAX_PATH);
    EXPECT_TRUE(ts::FirewallAllowsProgram(firewall, program));
    EXPECT_EQ(ts::FirewallAddProgram(firewall, program, L"Acme"), ts::firewall_result::kSuccess);
    EXPECT_EQ(ts::FirewallAddProgram(firewall, L"", L"Acme"), ts::firewall_result::kEmptyTarget);
    EXPECT_EQ(ts::FirewallOpenPort(firewall, 8080, ts::kFirewallTcp, L"Acme"), ts::firewall_result::kSuccess);
    EXPECT_EQ(ts::FirewallOpenPort(firewall, 8080, ts::kFirewallUdp, L"Acme"), ts::firewall_result::kSuccess);
    EXPECT_EQ(ts::FirewallOpenPort(firewall, 0, ts::kFirewallTcp, L"Acme"), ts::firewall_result::kEmptyTarget);
    EXPECT_EQ(ts::FirewallRemoveProgram(firewall, program), S_OK);
    EXPECT_EQ(ts::FirewallClosePort(firewall, 8080, ts::kFirewallTcp), E_NOTIMPL);
  }
  CoUninitialize();
}

struct PhaseCase {
  bool portable;
  uint32_t productFlags2;
  const char* recorded;
};

// The lines that were added and are not kept go into the record as the
// script gave them, in their stored form.
TEST(WindowsFirewall, AddedLinesThatAreNotKeptAreRecorded) {
  ASSERT_TRUE(SUCCEEDED(CoInitialize(nullptr)));
  InstallerState saved = g_installer;
  UninstallRecord savedRecord = g_uninstallRecord;
  wchar_t program[MAX_PATH];
  GetModuleFileNameW(nullptr, program, MAX_PATH);
  ts::WText path = program;
  g_installer.installFolder = path.substr(0, path.rfind(L'\\'));
  ts::WText name = path.substr(path.rfind(L'\\') + 1);
  g_installer.script.firewallText = ts::Utf8FromWide(L"8080;;3;0\r\n"                 // a port for TCP and UDP
                                                     L"9090;;1;1\r\n"                 // kept
                                                     L"8081;Caf\u00e9;2;0\r\n"        // a name beyond ASCII
                                                     L"missing.exe;;0;0\r\n" +        // no such file
                                                     name + L";;0;0\r\n");            // this program
  const std::string recorded = "8080;;3;0\r\n|8081;Caf\xC3\xA9;2;0\r\n" + ts::Utf8FromWide(name) + ";;0;0\r\n";
  const PhaseCase cases[] = {
      {false, format::product_flags2::kNoFirewallWhenPortable, recorded.c_str()},
      {true, 0, recorded.c_str()},
      {true, format::product_flags2::kNoFirewallWhenPortable, ""},
  };
  for (const PhaseCase& c : cases) {
    g_uninstallRecord = UninstallRecord{};
    g_installer.portable = c.portable;
    g_installer.productFlags2 = c.productFlags2;
    AddFirewallExceptions();
    EXPECT_EQ(g_uninstallRecord.firewall, c.recorded) << c.portable << " " << c.productFlags2;
  }
  g_installer = saved;
  g_uninstallRecord = savedRecord;
  CoUninitialize();
}

TEST(WindowsFirewall, NothingWithoutAConnection) {
  ts::FirewallConnection none;
  EXPECT_EQ(ts::FirewallAddProgram(none, L"C:\\Acme\\sync.exe", L"Acme"), ts::firewall_result::kNoConnection);
  EXPECT_EQ(ts::FirewallOpenPort(none, 8080, ts::kFirewallTcp, L"Acme"), ts::firewall_result::kNoConnection);
}

}  // namespace
}  // namespace palisade
