#include "core/ts_shortcut.h"

#include <objidl.h>
#include <shlobj.h>

#include "core/ts_com.h"

namespace ts {
namespace {

// The shell's link object and the two interfaces through which it is set
// up and saved.
constexpr CLSID kShellLink = {0x00021401, 0x0000, 0x0000, {0xC0, 0x00, 0x00, 0x00, 0x00, 0x00, 0x00, 0x46}};
constexpr IID kShellLinkW = {0x000214F9, 0x0000, 0x0000, {0xC0, 0x00, 0x00, 0x00, 0x00, 0x00, 0x00, 0x46}};
constexpr IID kPersistFile = {0x0000010B, 0x0000, 0x0000, {0xC0, 0x00, 0x00, 0x00, 0x00, 0x00, 0x00, 0x46}};

HRESULT SetFields(IShellLinkW* link, const ShellLinkFields& fields) {
  HRESULT result = link->SetPath(fields.target.c_str());
  if (SUCCEEDED(result) && !fields.icon.empty()) result = link->SetIconLocation(fields.icon.c_str(), 0);
  if (SUCCEEDED(result) && !fields.arguments.empty()) result = link->SetArguments(fields.arguments.c_str());
  if (SUCCEEDED(result) && fields.showCommand) result = link->SetShowCmd(fields.showCommand);
  if (SUCCEEDED(result) && !fields.workingFolder.empty()) {
    result = link->SetWorkingDirectory(fields.workingFolder.c_str());
  }
  return result;
}

}  // namespace

HRESULT SaveShellLink(const WText& path, const ShellLinkFields& fields) {
  ComHeld<IShellLinkW> link;
  HRESULT result = CoCreateInstance(kShellLink, nullptr, CLSCTX_INPROC_SERVER, kShellLinkW, reinterpret_cast<void**>(&link.p));
  if (FAILED(result)) return result;
  result = SetFields(link.p, fields);
  if (FAILED(result)) return result;
  ComHeld<IPersistFile> file;
  result = link.p->QueryInterface(kPersistFile, reinterpret_cast<void**>(&file.p));
  if (FAILED(result)) return result;
  return file.p->Save(path.c_str(), FALSE);
}

}  // namespace ts
