// Single-producer/single-consumer ring of plain values; a full ring drops the new element.
#pragma once

#include <atomic>
#include <cstddef>
#include <type_traits>
#include <vector>

namespace plug {

// One thread pushes, one thread pops. The write index belongs to the producer and the read index
// to the consumer; each publishes its index with a release store and reads the other's with an
// acquire load, so an element is fully written before the consumer can see it. A ring of N slots
// holds N - 1 elements (one slot tells full from empty). The slots are allocated once, at
// construction; Push and Pop never allocate.
template <typename T>
class SpscQueue {
  static_assert(std::is_trivially_copyable_v<T>, "elements are copied into preallocated slots");
  static_assert(std::atomic<std::size_t>::is_always_lock_free);

 public:
  // Threads: main, during construction. Fewer than 2 slots make a ring of 2.
  explicit SpscQueue(int nSlots) : mSlots(static_cast<std::size_t>(nSlots < 2 ? 2 : nSlots)) {}

  SpscQueue(const SpscQueue&) = delete;
  SpscQueue& operator=(const SpscQueue&) = delete;

  // False (and nothing stored) when the ring is full. Threads: the one producer, render included.
  bool Push(const T& item) noexcept {
    const std::size_t write = mWrite.load(std::memory_order_relaxed);
    const std::size_t next = (write + 1) % mSlots.size();
    if (next == mRead.load(std::memory_order_acquire)) return false;
    mSlots[write] = item;
    mWrite.store(next, std::memory_order_release);
    return true;
  }

  // False (item untouched) when the ring is empty. Threads: the one consumer, render included.
  bool Pop(T& item) noexcept {
    const std::size_t read = mRead.load(std::memory_order_relaxed);
    if (read == mWrite.load(std::memory_order_acquire)) return false;
    item = mSlots[read];
    mRead.store((read + 1) % mSlots.size(), std::memory_order_release);
    return true;
  }

  // A snapshot; exact only on the consumer's thread when the producer is idle. Threads: any.
  int ElementsAvailable() const noexcept {
    const std::size_t write = mWrite.load(std::memory_order_acquire);
    const std::size_t read = mRead.load(std::memory_order_acquire);
    return static_cast<int>((write + mSlots.size() - read) % mSlots.size());
  }

  int NSlots() const noexcept { return static_cast<int>(mSlots.size()); }
  int Capacity() const noexcept { return NSlots() - 1; }
  // Bytes of element storage.
  std::size_t StorageBytes() const noexcept { return mSlots.size() * sizeof(T); }

 private:
  std::vector<T> mSlots;
  alignas(64) std::atomic<std::size_t> mWrite{0};
  alignas(64) std::atomic<std::size_t> mRead{0};
};

}  // namespace plug
