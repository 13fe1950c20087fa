#include "link/PollResult.h"

namespace exchange {

bool PollResultQueue::Push(std::unique_ptr<PollResult> record, bool* wake) {
  if (!record) return false;
  std::unique_lock lock(lock_);
  if (record->generation != generation_) {
    lock.unlock();
    return false;
  }
  records_.push_back(std::move(record));
  if (wake) *wake = !wakePending_;
  wakePending_ = true;
  return true;
}

void PollResultQueue::BeginDrain() {
  std::lock_guard lock(lock_);
  wakePending_ = false;
}

std::unique_ptr<PollResult> PollResultQueue::PopFront() {
  std::deque<std::unique_ptr<PollResult>> stale;  // freed outside the lock
  std::lock_guard lock(lock_);
  while (!records_.empty()) {
    std::unique_ptr<PollResult> record = std::move(records_.front());
    records_.pop_front();
    if (record->generation == generation_) return record;
    stale.push_back(std::move(record));
  }
  return nullptr;
}

void PollResultQueue::Flush() {
  std::deque<std::unique_ptr<PollResult>> dropped;
  {
    std::lock_guard lock(lock_);
    dropped.swap(records_);
    wakePending_ = false;
  }
}

size_t PollResultQueue::Size() const {
  std::lock_guard lock(lock_);
  return records_.size();
}

std::uint64_t PollResultQueue::Generation() const {
  std::lock_guard lock(lock_);
  return generation_;
}

std::uint64_t PollResultQueue::NewGeneration() {
  std::deque<std::unique_ptr<PollResult>> dropped;
  std::lock_guard lock(lock_);
  dropped.swap(records_);
  wakePending_ = false;
  return ++generation_;
}

}  // namespace exchange
