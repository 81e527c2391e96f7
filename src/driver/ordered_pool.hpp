#pragma once
// Worker threads that do items in the order they are handed over and give
// them back in that order, with a bounded number in flight.
#include <condition_variable>
#include <cstddef>
#include <functional>
#include <mutex>
#include <thread>
#include <utility>
#include <vector>

namespace tcsum {

// One thread per worker; a worker is called with an item to do it in place
// (it must not throw). At most CAPACITY items are handed over and not yet
// released. The thread that hands items over takes them back, and may do
// items itself while it waits; the workers stop when the pool ends, after
// the items they are doing.
template <typename Item>
class OrderedPool {
 public:
  using Worker = std::function<void(Item&)>;

  OrderedPool(std::vector<Worker> workers, std::size_t capacity) : slots_(capacity) {
    threads_.reserve(workers.size());
    try {
      for (Worker& w : workers)
        threads_.emplace_back([this, w = std::move(w)]() mutable { work(w); });
    } catch (...) {
      stop();
      throw;
    }
  }
  OrderedPool(const OrderedPool&) = delete;
  OrderedPool& operator=(const OrderedPool&) = delete;
  ~OrderedPool() { stop(); }

  bool full() const { return handedOver_ - takenBack_ == slots_.size(); }
  bool empty() const { return handedOver_ == takenBack_; }

  // The item to fill before handing it over; the pool must not be full.
  // Items live in the pool and are filled again and again, so what they
  // hold keeps its memory from one round to the next.
  Item& next() { return slots_[handedOver_ % slots_.size()].item; }

  // Hands the item of next() over.
  void handOver() {
    {
      std::lock_guard lock(mutex_);
      slots_[handedOver_ % slots_.size()].done = false;
      ++handedOver_;
    }
    workToDo_.notify_one();
  }

  // Whether the oldest item handed over is done; the pool must not be empty.
  bool oldestDone() {
    std::lock_guard lock(mutex_);
    return slots_[takenBack_ % slots_.size()].done;
  }

  // Waits for the oldest item handed over to be done; the pool must not be
  // empty. It is the caller's until release(). Meanwhile the caller does
  // items no worker has started with SELF, its own worker, when it has one.
  Item& oldest(Worker* self = nullptr) {
    Slot& slot = slots_[takenBack_ % slots_.size()];
    std::unique_lock lock(mutex_);
    while (!slot.done) {
      if (self == nullptr || started_ == handedOver_) {
        itemDone_.wait(lock);
        continue;
      }
      Slot& item = slots_[started_++ % slots_.size()];
      lock.unlock();
      (*self)(item.item);
      lock.lock();
      item.done = true;
    }
    return slot.item;
  }

  // Gives the oldest item back to be filled again.
  void release() {
    std::lock_guard lock(mutex_);
    ++takenBack_;
  }

 private:
  struct Slot {
    Item item{};
    bool done = true;
  };

  void work(Worker& worker) {
    for (;;) {
      std::size_t next = 0;
      {
        std::unique_lock lock(mutex_);
        workToDo_.wait(lock, [this] { return stopping_ || started_ < handedOver_; });
        if (stopping_) return;
        next = started_++;
      }
      Slot& slot = slots_[next % slots_.size()];
      worker(slot.item);
      {
        std::lock_guard lock(mutex_);
        slot.done = true;
      }
      itemDone_.notify_all();
    }
  }

  void stop() {
    {
      std::lock_guard lock(mutex_);
      stopping_ = true;
    }
    workToDo_.notify_all();
    for (std::thread& t : threads_)
      t.join();
    threads_.clear();
  }

  std::vector<Slot> slots_;
  std::vector<std::thread> threads_;
  std::mutex mutex_;
  std::condition_variable workToDo_;
  std::condition_variable itemDone_;
  std::size_t handedOver_ = 0;  // items handed over so far
  std::size_t started_ = 0;     // ... of which workers have started
  std::size_t takenBack_ = 0;   // ... taken back
  bool stopping_ = false;
};

}  // namespace tcsum
