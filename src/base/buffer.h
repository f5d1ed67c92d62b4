// The one owner of every array the miner allocates: a growable block of
// trivially copyable values that frees itself, moves but never copies, and
// reports a failed allocation as a false result instead of throwing. Its
// memory comes from malloc, so that the allocation-failure tests see and can
// fail every block.
#pragma once

#include <cstddef>
#include <cstdlib>
#include <cstring>
#include <type_traits>
#include <utility>

namespace tavrel {

template <typename T>
class Buffer {
  static_assert(std::is_trivially_copyable_v<T>, "Buffer holds plain values only");

 public:
  Buffer() = default;
  ~Buffer() { std::free(data_); }
  Buffer(Buffer&& other) noexcept
      : data_(std::exchange(other.data_, nullptr)),
        size_(std::exchange(other.size_, 0)),
        capacity_(std::exchange(other.capacity_, 0)) {}
  Buffer& operator=(Buffer&& other) noexcept {
    if (this != &other) {
      std::free(data_);
      data_ = std::exchange(other.data_, nullptr);
      size_ = std::exchange(other.size_, 0);
      capacity_ = std::exchange(other.capacity_, 0);
    }
    return *this;
  }
  Buffer(const Buffer&) = delete;
  Buffer& operator=(const Buffer&) = delete;

  T* data() { return data_; }
  const T* data() const { return data_; }
  std::size_t size() const { return size_; }
  std::size_t capacity() const { return capacity_; }
  bool empty() const { return size_ == 0; }
  T& operator[](std::size_t k) { return data_[k]; }
  const T& operator[](std::size_t k) const { return data_[k]; }
  T* begin() { return data_; }
  T* end() { return data_ + size_; }
  const T* begin() const { return data_; }
  const T* end() const { return data_ + size_; }

  // Makes room for at least `count` values, keeping the ones held; grows
  // by at least half again, so that repeated growth is amortised. False
  // when the memory cannot be had (nothing changes then).
  bool reserve(std::size_t count) {
    if (count <= capacity_) return true;
    std::size_t grown = capacity_ + capacity_ / 2;
    if (grown < count) grown = count;
    if (grown < 16) grown = 16;
    if (grown > static_cast<std::size_t>(-1) / 2 / sizeof(T)) return false;
    void* block = std::realloc(data_, grown * sizeof(T));
    if (block == nullptr) return false;
    data_ = static_cast<T*>(block);
    capacity_ = grown;
    return true;
  }

  // Sets the size to `count`; new values are left unset. False when the
  // memory cannot be had.
  bool resize(std::size_t count) {
    if (!reserve(count)) return false;
    size_ = count;
    return true;
  }

  // Sets the size to `count` with every value equal to `value`.
  bool assign(std::size_t count, const T& value) {
    if (!resize(count)) return false;
    for (std::size_t k = 0; k < count; ++k) data_[k] = value;
    return true;
  }

  // Appends one value. False when the memory cannot be had.
  bool push(const T& value) {
    if (size_ == capacity_ && !reserve(size_ + 1)) return false;
    data_[size_++] = value;
    return true;
  }

  // Appends `count` values copied from `values`.
  bool append(const T* values, std::size_t count) {
    if (!reserve(size_ + count)) return false;
    if (count > 0) std::memcpy(data_ + size_, values, count * sizeof(T));
    size_ += count;
    return true;
  }

  // Forgets the values but keeps the memory for reuse.
  void clear() { size_ = 0; }

  // Gives the memory back.
  void release() {
    std::free(data_);
    data_ = nullptr;
    size_ = capacity_ = 0;
  }

 private:
  T* data_ = nullptr;
  std::size_t size_ = 0;
  std::size_t capacity_ = 0;
};

}  // namespace tavrel
