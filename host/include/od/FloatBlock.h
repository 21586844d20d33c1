#pragma once

#include <od/BigHeap.h>

#include <climits>
#include <cstring>
#include <utility>

namespace od {

// Delay memory: a zero-filled block of floats from the BigHeap that frees itself. Move-only;
// empty (null, length 0) when the heap refused it or no floats were asked for, and a unit
// whose block is empty passes its input through.
class FloatBlock {
public:
  FloatBlock() = default;
  explicit FloatBlock(int floats) {
    if (floats <= 0 || floats > INT_MAX / (int)sizeof(float)) return;
    mData = reinterpret_cast<float *>(BigHeap::allocateZeroed(floats * (int)sizeof(float)));
    if (mData) mLength = floats;
  }
  ~FloatBlock() { BigHeap::free(reinterpret_cast<char *>(mData)); }

  FloatBlock(FloatBlock &&other) noexcept
      : mData(std::exchange(other.mData, nullptr)), mLength(std::exchange(other.mLength, 0)) {}
  FloatBlock &operator=(FloatBlock &&other) noexcept {
    std::swap(mData, other.mData);
    std::swap(mLength, other.mLength);
    return *this;
  }
  FloatBlock(const FloatBlock &) = delete;
  FloatBlock &operator=(const FloatBlock &) = delete;

  float *data() const { return mData; }
  int length() const { return mLength; }
  explicit operator bool() const { return mData != nullptr; }

  // Back to silence, keeping the memory.
  void zero() {
    if (mData) std::memset(mData, 0, (size_t)mLength * sizeof(float));
  }
  // Gives the memory back to the heap.
  void release() { FloatBlock().swap(*this); }
  void swap(FloatBlock &other) noexcept {
    std::swap(mData, other.mData);
    std::swap(mLength, other.mLength);
  }

private:
  float *mData = nullptr;
  int mLength = 0;
};

} // namespace od
