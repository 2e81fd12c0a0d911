#pragma once
// A growable array whose every indexed access is checked: an index outside
// the array ends the process with a message that names the element type,
// the index and the highest valid index.
#include <cstddef>
#include <initializer_list>
#include <utility>
#include <vector>

namespace ts {

// The compiler spells out T in this function's signature; the index error
// reads the element type's name from there, so that no run-time type
// information is needed.
template <typename T>
const char* SignatureNaming() {
  return __PRETTY_FUNCTION__;
}

// `signature` is SignatureNaming<T>() of the element type T.
[[noreturn]] void FatalIndexError(const char* signature, int index, int count);

template <typename T>
class Vector {
 public:
  Vector() = default;
  Vector(std::initializer_list<T> items) : items_(items) {}

  int Count() const { return static_cast<int>(items_.size()); }
  bool Empty() const { return items_.empty(); }

  T& operator[](int index) {
    CheckIndex(index);
    return items_[static_cast<size_t>(index)];
  }
  const T& operator[](int index) const {
    CheckIndex(index);
    return items_[static_cast<size_t>(index)];
  }

  void Add(T item) { items_.push_back(std::move(item)); }
  void RemoveAt(int index) {
    CheckIndex(index);
    items_.erase(items_.begin() + index);
  }
  void Clear() { items_.clear(); }
  void Reserve(int count) { items_.reserve(static_cast<size_t>(count)); }

  auto begin() { return items_.begin(); }
  auto end() { return items_.end(); }
  auto begin() const { return items_.begin(); }
  auto end() const { return items_.end(); }

 private:
  void CheckIndex(int index) const {
    if (index < 0 || index >= Count()) FatalIndexError(SignatureNaming<T>(), index, Count());
  }

  std::vector<T> items_;
};

}  // namespace ts
