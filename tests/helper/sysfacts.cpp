// sysfacts: prints what the engine knows of the system it runs on, so that
// the tests can run it under each Windows version that Wine imitates.
//
//   sysfacts [INSTALL_FOLDER]
//
// Output is UTF-8, one "key=value" line each: platform, version
// (major.minor.build), productType, edition (GetProductInfo's number),
// is64Bit, wine (empty outside Wine), bit (hexadecimal), name0, name2,
// name3 and name4 (the name in those forms), then every installation
// variable with its percent signs and its expansion, in the table's order.
// INSTALL_FOLDER stands for the installation folder (%InstallDir%).
#include <windows.h>

#include <string>

#include "state/installer_state.h"
#include "core/system_facts.h"
#include "core/ts_format.h"
#include "payload/variables.h"

namespace {

// Written with WriteFile rather than the C runtime so that no "\r" is added
// and the bytes reach a Unix pipe exactly as UTF-8.
void PrintLine(const std::wstring& key, const std::wstring& value) {
  std::string bytes = ts::Utf8FromWide(key + L"=" + value + L"\n");
  DWORD written = 0;
  WriteFile(GetStdHandle(STD_OUTPUT_HANDLE), bytes.data(), static_cast<DWORD>(bytes.size()), &written, nullptr);
}

void PrintRecord(const ts::SystemRecord& s) {
  PrintLine(L"platform", std::to_wstring(s.platform));
  PrintLine(L"version", ts::Format(L"%u.%u.%u", s.major, s.minor, s.build));
  PrintLine(L"productType", std::to_wstring(s.productType));
  PrintLine(L"edition", ts::Format(L"0x%X", s.edition));
  PrintLine(L"is64Bit", s.is64Bit ? L"1" : L"0");
  PrintLine(L"wine", ts::WideFromUtf8(s.wineVersion));
  PrintLine(L"bit", ts::Format(L"0x%X", ts::SystemBit(s)));
  for (unsigned form : {0u, 2u, 3u, 4u}) PrintLine(L"name" + std::to_wstring(form), ts::SystemName(s, form));
}

}  // namespace

int wmain(int argc, wchar_t** argv) {
  if (argc > 1) palisade::g_installer.installFolder = argv[1];
  PrintRecord(ts::System());
  for (const palisade::InstallationVariable& variable : palisade::InstallationVariables()) {
    ts::WText text = variable.name;
    palisade::Expand(text);
    PrintLine(variable.name, text);
  }
  return 0;
}
