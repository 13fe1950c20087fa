// Cost of one frame exchange against a module that answers at once: the median of
// many TransactFrame reads through the program's port, beside the median of a bare
// write-poll-read round trip of the same bytes on the same pseudo-terminal.
#include <unistd.h>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <string>
#include <vector>

#include "BenchSupport.h"
#include "SimLinkSettings.h"
#include "Simulator.h"
#include "link/DeviceIO.h"
#include "link/ExchangeFrame.h"
#include "model/Parameter.h"

namespace {

using Clock = std::chrono::steady_clock;

}  // namespace

int main(int argc, char** argv) {
  const int count = argc > 1 ? std::max(5000, std::atoi(argv[1])) : 5000;
  const std::string folder = bench::UsePrivateSettingsFolder();
  if (folder.empty()) return 1;

  z580sim::SimConfig config;
  config.model = 2;
  config.line.baud = 115200;
  z580sim::Simulator sim(config);
  std::string error;
  if (!sim.Start(&error)) {
    std::fprintf(stderr, "simulator: %s\n", error.c_str());
    return 1;
  }

  const uint16_t hash = Parameter::HashOfName("Addr");
  const std::string request = exchange::EncodeRequest(1, hash, nullptr, 0, {8, 16, 0});

  // Bare round trips on the slave side, set raw at the same rate.
  std::vector<double> bare;
  {
    const int fd = bench::OpenRawSlave(sim.SlavePath());
    if (fd < 0) return 1;
    for (int i = 0; i < count; ++i) {
      const auto start = Clock::now();
      if (!bench::BareRoundTrip(fd, request)) {
        std::fprintf(stderr, "bare round trip %d failed\n", i);
        return 1;
      }
      bare.push_back(std::chrono::duration<double, std::micro>(Clock::now() - start).count());
    }
    ::close(fd);
  }

  std::vector<double> framed;
  {
    DeviceIO io;
    z580sim::MatchPortSettings(io.Settings(), sim);
    io.ApplyPortSettings();
    if (io.Port().Open() != 0) {
      std::fprintf(stderr, "cannot open %s\n", sim.SlavePath().c_str());
      return 1;
    }
    uint8_t data[exchange::kMaxDataLength];
    uint8_t length = 0;
    for (int i = 0; i < count; ++i) {
      std::string text;
      const auto start = Clock::now();
      if (io.TransactFrame(1, hash, nullptr, 0, data, length, text, 0, {}) != 1) {
        std::fprintf(stderr, "frame %d failed: %s\n", i, text.c_str());
        return 1;
      }
      framed.push_back(std::chrono::duration<double, std::micro>(Clock::now() - start).count());
    }
  }
  sim.Stop();
  const std::string cleanup = std::string("rm -rf '") + folder + "'";
  if (std::system(cleanup.c_str()) != 0) std::fprintf(stderr, "could not remove %s\n", folder.c_str());

  const double frameMedian = bench::Median(framed);
  const double bareMedian = bench::Median(bare);
  std::printf("TransactFrame read:   median %.1f us over %d\n", frameMedian, count);
  std::printf("bare round trip:      median %.1f us over %d\n", bareMedian, count);
  std::printf("ratio:                %.2f\n", frameMedian / bareMedian);
  return 0;
}
