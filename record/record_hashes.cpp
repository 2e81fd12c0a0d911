#include "record/record_hashes.h"

#include <cstdint>
#include <span>
#include <vector>

#include "core/ts_registry.h"
#include "format/sha256.h"

namespace palisade {
namespace {

constexpr int kReadPiece = 0x10000;

ts::WText HexOf(format::Sha256& hash) {
  format::Sha256Digest digest = hash.Final();
  return ts::WideFromUtf8(format::LowercaseHex(digest));
}

}  // namespace

ts::WText HashOfBytes(std::string_view bytes) {
  format::Sha256 hash;
  hash.Update(std::span(reinterpret_cast<const uint8_t*>(bytes.data()), bytes.size()));
  return HexOf(hash);
}

ts::WText HashOfFile(const ts::WText& path) {
  ts::File file;
  if (!file.OpenForReading(path)) return {};
  format::Sha256 hash;
  std::vector<uint8_t> piece(kReadPiece);
  // A failed read gives 0 bytes, as the end does, and leaves its number.
  while (int read = file.ReadSome(piece.data(), kReadPiece)) {
    hash.Update(std::span(piece.data(), static_cast<size_t>(read)));
  }
  return file.LastErrorCode() ? ts::WText() : HexOf(hash);
}

bool KeyVouchesForRecord(const ts::WText& keyPath, const ts::WText& recordHash) {
  ts::RegistryKey key;
  if (key.Open(HKEY_LOCAL_MACHINE, keyPath, KEY_QUERY_VALUE) != ERROR_SUCCESS) return false;
  ts::WText stored = key.Text(kRecordHashValue);
  if (stored.empty() && !key.HasValue(kUninstallerHashValue)) return true;
  return !recordHash.empty() && stored == recordHash;
}

LONG StoreFileHashes(const ts::WText& keyPath, const ts::WText& recordHash, const ts::WText& uninstallerHash) {
  ts::RegistryKey key;
  LONG error = key.Open(HKEY_LOCAL_MACHINE, keyPath, KEY_SET_VALUE);
  if (error == ERROR_SUCCESS) error = key.SetText(kRecordHashValue, recordHash);
  if (error == ERROR_SUCCESS) error = key.SetText(kUninstallerHashValue, uninstallerHash);
  return error;
}

}  // namespace palisade
