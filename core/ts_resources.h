#pragma once
// Reading the resources of a loaded module, and changing those of an
// executable file on disk.
#include <windows.h>

#include <cstdint>
#include <span>
#include <vector>

#include "core/ts_text.h"

namespace ts {

// The bytes of the module's resource of `type` and number `id` where the
// loader mapped them, alive as long as the module; empty when there is none.
std::span<const uint8_t> ResourceBytes(HMODULE module, const wchar_t* type, int id);

enum class ResourceUpdate { kDone, kCannotOpen, kFailed };

// Gives the executable the icon group `groupId` (RT_GROUP_ICON data that
// names its images by id) and the icon images with the ids `firstImageId`
// onwards, in the neutral language. Nothing changes unless every resource
// could be set.
ResourceUpdate ReplaceIcon(const WText& executable, uint16_t groupId, std::span<const uint8_t> group,
                           const std::vector<std::vector<uint8_t>>& images, uint16_t firstImageId);

}  // namespace ts
