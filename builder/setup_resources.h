#pragma once
// What the setup executable says about itself, so that Explorer and the
// elevation prompt show the product rather than the engine: the product's
// icon and a version resource made from the project; and the pictures its
// wizard pages show.
#include <cstdint>
#include <span>
#include <string>
#include <vector>

#include "builder/pe_resources.h"

namespace palisade::builder {

struct SetupIdentity {
  std::string productName;
  std::string version;  // orderable
  std::string publisher;
  std::string copyright;
  std::vector<uint8_t> icon;  // an .ico file; empty keeps the engine's icon
  // DIBs, the form of a bitmap resource; empty keeps the engine's picture.
  std::vector<uint8_t> sidePicture;
  std::vector<uint8_t> bannerPicture;
};

// The engine's bitmap resources that its pages show.
inline constexpr uint16_t kSidePictureBitmap = 2;
inline constexpr uint16_t kBannerPictureBitmap = 3;

// `engine` with the product's version resource in place of any it had, the
// product's icon in place of its first icon group (the one Explorer shows)
// and the product's pictures in place of the engine's; other resources stay
// as they are.
bool DressEngine(std::span<const uint8_t> engine, const SetupIdentity& identity, std::vector<uint8_t>& out,
                 std::string& problem);

}  // namespace palisade::builder
