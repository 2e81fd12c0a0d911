#include "builder/record_stream.h"

#include <algorithm>
#include <limits>
#include <utility>

#include "format/byte_order.h"

namespace palisade::builder {

bool RecordStream::BeginRecord(uint64_t length) {
  if (length > std::numeric_limits<uint32_t>::max()) return false;
  uint8_t bytes[4];
  format::StoreLe32(bytes, static_cast<uint32_t>(length));
  return Append(bytes);
}

bool RecordStream::Append(std::span<const uint8_t> bytes) {
  while (ok_ && !bytes.empty()) {
    std::size_t room = std::min(chunkSize_ - pending_.size(), bytes.size());
    pending_.insert(pending_.end(), bytes.begin(), bytes.begin() + static_cast<std::ptrdiff_t>(room));
    bytes = bytes.subspan(room);
    if (pending_.size() == chunkSize_) ok_ = sink_(std::exchange(pending_, {}));
  }
  return ok_;
}

bool RecordStream::Finish() {
  if (ok_ && !pending_.empty()) ok_ = sink_(std::exchange(pending_, {}));
  return ok_;
}

}  // namespace palisade::builder
