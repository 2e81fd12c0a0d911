#pragma once
// The file phase: the product's files, taken from the archive one record at
// a time.
namespace palisade {

struct Payload;

void InstallFiles(Payload& payload);

}  // namespace palisade
