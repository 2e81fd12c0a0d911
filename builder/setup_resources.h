#pragma once
// What the setup executable says about itself, so that Explorer and the
// elevation prompt show the product rather than the engine: the product's
// icon and a version resource made from the project.
#include <cstdint>
#include <optional>
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
};

// Why `icon` is not an .ico file that the executable can carry: a header
// that counts its images, and each image inside the file. Empty for a good
// one.
std::string IconProblem(std::span<const uint8_t> icon);

// The .ico file of the first icon group among `resources` (the icon
// Explorer shows): the group's entries with the image offsets in place of
// the image numbers, then the images. Nothing without an icon group or
// when an image is missing.
std::optional<std::vector<uint8_t>> FirstIconFile(const std::vector<Resource>& resources);

// `engine` with the product's version resource in place of any it had, and
// the product's icon in place of its first icon group (the one Explorer
// shows); other resources stay as they are.
bool DressEngine(std::span<const uint8_t> engine, const SetupIdentity& identity, std::vector<uint8_t>& out,
                 std::string& problem);

}  // namespace palisade::builder
