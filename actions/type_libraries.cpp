#include "actions/type_libraries.h"

#include <windows.h>
#include <oleauto.h>

#include "actions/components.h"
#include "actions/install_log.h"
#include "core/ts_system.h"

namespace palisade {
namespace {

HRESULT LoadAndRegister(const ts::WText& path) {
  ITypeLib* library = nullptr;
  HRESULT result = LoadTypeLib(path.c_str(), &library);
  if (FAILED(result)) return result;
  ts::WText writablePath = path;  // the declaration asks for a writable text it never writes
  result = RegisterTypeLib(library, writablePath.data(), nullptr);
  library->Release();
  return result;
}

void RegisterTypeLibrary(const ts::WText& path) {
  LogWideFormat(L"Registering Type Library \"%s\"...", path.c_str());
  ShowRegistrationStatus(path);
  HRESULT result = E_FAIL;
  auto loadAndRegister = [&] { result = LoadAndRegister(path); };
  if (!SurvivesComponentCode(loadAndRegister, L"Crashed while registering TLB file ", path)) return;
  if (SUCCEEDED(result)) {
    LogText("OK\r\n");
  } else {
    LogWideConcat({L"FAILED\r\n", ts::SystemErrorTextW(static_cast<DWORD>(result)), L"\r\n"});
  }
}

}  // namespace

void RegisterTypeLibraries(const ts::Vector<ts::WText>& libraries) {
  for (const ts::WText& path : libraries) RegisterTypeLibrary(path);
}

}  // namespace palisade
