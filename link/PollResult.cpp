#include "link/PollResult.h"

namespace exchange {

void PollResultQueue::Push(std::unique_ptr<PollResult> record) {
  if (!record) return;
  std::lock_guard lock(lock_);
  records_.push_back(std::move(record));
}

std::unique_ptr<PollResult> PollResultQueue::PopFront() {
  std::lock_guard lock(lock_);
  if (records_.empty()) return nullptr;
  std::unique_ptr<PollResult> record = std::move(records_.front());
  records_.pop_front();
  return record;
}

void PollResultQueue::Flush() {
  std::deque<std::unique_ptr<PollResult>> dropped;
  {
    std::lock_guard lock(lock_);
    dropped.swap(records_);
  }
}

size_t PollResultQueue::Size() const {
  std::lock_guard lock(lock_);
  return records_.size();
}

}  // namespace exchange
