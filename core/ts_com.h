#pragma once
// Holding a COM interface pointer for the length of a scope.

namespace ts {

// Released when the holder goes; null until a call fills it.
template <typename Interface>
struct ComHeld {
  ComHeld() = default;
  ~ComHeld() {
    if (p) p->Release();
  }
  ComHeld(const ComHeld&) = delete;
  ComHeld& operator=(const ComHeld&) = delete;

  Interface* p = nullptr;
};

}  // namespace ts
