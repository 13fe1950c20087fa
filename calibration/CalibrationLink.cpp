#include "calibration/CalibrationLink.h"

#include <mutex>

#include "link/AppState.h"
#include "link/Device.h"
#include "model/Parameter.h"

namespace calibration {

int DeviceCalibrationLink::ReadParameter(Parameter& parameter) { return device_.ReadParameter(parameter, 0); }

int DeviceCalibrationLink::WriteParameter(Parameter& parameter) { return device_.WriteParameter(parameter, 0); }

FrameResult DeviceCalibrationLink::Transact(int requestBit, const std::string& name,
                                            const std::vector<uint8_t>& data, int readTimeoutMs,
                                            int repeatedHead) {
  FrameResult result;
  // The exchange lock keeps the scan thread off the port while its time-out differs.
  std::lock_guard lock(App().exchangeLock);
  Sio& port = device_.Port();
  const uint16_t previous = port.responseTimeout;
  if (readTimeoutMs > 0) port.responseTimeout = static_cast<uint16_t>(readTimeoutMs);
  uint8_t reply[16] = {};
  uint8_t length = 0;
  const int ok = device_.TransactFrame(requestBit, Parameter::HashOfName(name), data.data(),
                                       static_cast<int>(data.size()), reply, length, result.error, 0,
                                       ReplyShape{.echoedHead = repeatedHead});
  port.responseTimeout = previous;
  result.ok = ok == 1;
  if (result.ok) {
    result.data.assign(reply, reply + std::min<int>(length, sizeof reply));
    result.error.clear();
  }
  return result;
}

}  // namespace calibration
