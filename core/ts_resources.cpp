#include "core/ts_resources.h"

#include <windows.h>

namespace ts {

std::span<const uint8_t> ResourceBytes(HMODULE module, const wchar_t* type, int id) {
  HRSRC found = FindResourceW(module, MAKEINTRESOURCEW(id), type);
  HGLOBAL loaded = found ? LoadResource(module, found) : nullptr;
  const void* bytes = loaded ? LockResource(loaded) : nullptr;
  if (!bytes) return {};
  return {static_cast<const uint8_t*>(bytes), SizeofResource(module, found)};
}

ResourceUpdate ReplaceIcon(const WText& executable, uint16_t groupId, std::span<const uint8_t> group,
                           const std::vector<std::vector<uint8_t>>& images, uint16_t firstImageId) {
  constexpr WORD kNeutral = MAKELANGID(LANG_NEUTRAL, SUBLANG_NEUTRAL);
  // RT_ICON and RT_GROUP_ICON, for the narrow calls.
  constexpr WORD kIconImage = 3, kIconGroup = 14;
  HANDLE update = BeginUpdateResourceW(executable.c_str(), FALSE);
  if (!update) return ResourceUpdate::kCannotOpen;
  bool ok = true;
  for (size_t i = 0; i < images.size() && ok; ++i) {
    std::vector<uint8_t> image = images[i];  // the call takes writable data
    ok = UpdateResourceA(update, MAKEINTRESOURCEA(kIconImage), MAKEINTRESOURCEA(firstImageId + i), kNeutral, image.data(),
                         static_cast<DWORD>(image.size())) != 0;
  }
  std::vector<uint8_t> directory(group.begin(), group.end());
  ok = ok && UpdateResourceA(update, MAKEINTRESOURCEA(kIconGroup), MAKEINTRESOURCEA(groupId), kNeutral, directory.data(),
                             static_cast<DWORD>(directory.size())) != 0;
  // Ending with "discard" leaves the file as it was when a step failed.
  bool written = EndUpdateResourceA(update, !ok) != 0;
  return ok && written ? ResourceUpdate::kDone : ResourceUpdate::kFailed;
}

}  // namespace ts
