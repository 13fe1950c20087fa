#pragma once
// One outcome of polling a parameter, handed from the scan thread to the window
// thread, and the queue that carries these records.
#include <deque>
#include <memory>
#include <mutex>
#include <string>

class Parameter;

namespace exchange {

struct PollResult {
  int index = 0;            // the parameter's channel
  std::string value;        // empty after a failure
  std::string error;        // the note after a failure, empty after a success
  Parameter* parameter = nullptr;  // borrowed from the tree
};

class PollResultQueue {
 public:
  void Push(std::unique_ptr<PollResult> record);
  // The oldest record, or null when the queue is empty.
  std::unique_ptr<PollResult> PopFront();
  // Frees every queued record.
  void Flush();
  size_t Size() const;

 private:
  mutable std::mutex lock_;
  std::deque<std::unique_ptr<PollResult>> records_;
};

}  // namespace exchange
