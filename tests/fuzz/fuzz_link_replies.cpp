// Replies of the modules in every framing: classification must stay within the
// bytes that arrived and never crash, whatever the port hands back.
#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

#include "link/AlternateFraming.h"
#include "link/ExchangeFrame.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  if (size > 64) return 0;
  const std::vector<uint8_t> reply(data, data + size);
  const int count = static_cast<int>(size);
  const exchange::FrameReply parsed = exchange::ParseReply(0, reply.data(), count, 0x9F62);
  if (parsed.dataLength < 0 || parsed.dataLength > exchange::kMaxDataLength) __builtin_trap();
  (void)exchange::FrameErrorText(parsed);

  std::vector<uint8_t> out;
  for (uint8_t selector = 0; selector <= 4; ++selector) {
    const int result = exchange::CheckAlternateReply(selector, 16, reply.data(), size, out);
    if (result != 0 && !out.empty()) __builtin_trap();
    if (out.size() > size) __builtin_trap();
  }
  return 0;
}
