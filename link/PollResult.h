#pragma once
// One outcome of polling a parameter, handed from the scan thread to the window
// thread, and the queue that carries these records.
//
// Records borrow their parameter from the tree. The queue's generation changes
// whenever the tree goes (or is rebuilt): a record of an older generation is
// dropped on push and on pop, so no consumer ever reaches a deleted parameter.
#include <cstdint>
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
  std::uint64_t generation = 0;    // the queue's generation the poll belongs to
};

class PollResultQueue {
 public:
  // Appends the record when it belongs to the current generation; false (the
  // record freed) otherwise. `wake` says whether the window must be told: not
  // while a word to it is still on its way, unanswered by a drain.
  bool Push(std::unique_ptr<PollResult> record, bool* wake = nullptr);
  // The window begins taking records (or a new window takes over): the next push
  // tells it again.
  void BeginDrain();
  // The oldest record of the current generation, or null when there is none.
  std::unique_ptr<PollResult> PopFront();
  // Frees every queued record.
  void Flush();
  size_t Size() const;

  std::uint64_t Generation() const;
  // Frees every queued record and starts a new generation (returned): records
  // made for the old tree are dropped from now on.
  std::uint64_t NewGeneration();

 private:
  mutable std::mutex lock_;
  std::deque<std::unique_ptr<PollResult>> records_;
  std::uint64_t generation_ = 0;
  bool wakePending_ = false;
};

}  // namespace exchange
