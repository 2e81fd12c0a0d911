#include "app/gates.h"

#include "app/exit.h"
#include "format/product_flags.h"
#include "payload/messages.h"
#include "ui/message_box.h"

namespace palisade {

bool AcquireSingleInstanceMutex() {
  HANDLE mutex = CreateMutexA(nullptr, FALSE, kSingleInstanceMutex);
  if (!mutex) return false;
  DWORD result = WaitForSingleObject(mutex, 0);
  // An abandoned mutex was left by an installer that died: ours now.
  return result == WAIT_OBJECT_0 || result == WAIT_ABANDONED;
}

void Refuse(const ts::WText& text) {
  bool errorsShown = g_installer.script.productFlagsHigh & format::product_flags_high::kErrorsInAutomaticMode;
  if (!g_installer.flags.automatic || errorsShown) ShowMessage(text, MessageWithTags(21), MB_ICONERROR);
  ts::WriteStandardError(text);
  OrderlyExit(1);
}

int RefusedBitness(Bitness product, bool system64) {
  if (product == Bitness::k64Bit && !system64) return 64;
  if (product == Bitness::k32BitOnly && system64) return 32;
  return 0;
}

bool ShowsPage(WizardPage page, const PageFacts& facts) {
  namespace low = format::product_flags_low;
  namespace high = format::product_flags_high;
  bool interactive = !facts.automatic;
  switch (page) {
    case WizardPage::kLanguage:
      return facts.languageCount > 1 && interactive;
    case WizardPage::kGreeting:
      return (facts.productFlagsLow & low::kGreetingInAutomaticMode) ||
             (interactive && !(facts.productFlagsHigh & high::kNoGreeting));
    case WizardPage::kPassword:
      return facts.hasPassword;
    case WizardPage::kLicenseAndReadme:
      return interactive;
    case WizardPage::kInstallFolder:
      return interactive && (facts.productFlagsLow & low::kFolderPage) && !facts.masterFolderRule && !facts.folderFixed;
    case WizardPage::kStartMenu: {
      bool skipped = facts.portable && (facts.productFlags2 & format::product_flags2::kNoStartMenuPageWhenPortable);
      return interactive && (facts.productFlagsHigh & high::kStartMenuPage) && !skipped;
    }
  }
  return false;
}

bool IsChosenFolder(std::wstring_view folder) {
  auto isLetter = [](wchar_t c) { return (c >= L'A' && c <= L'Z') || (c >= L'a' && c <= L'z'); };
  bool drive = folder.size() >= 3 && isLetter(folder[0]) && folder[1] == L':' && folder[2] == L'\\';
  bool network = folder.size() > 2 && folder.substr(0, 2) == L"\\\\" && folder[2] != L'\\';
  return drive || network;
}

}  // namespace palisade
