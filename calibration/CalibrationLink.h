#pragma once
// What the calibration sequences need from the link: the parameter exchange on
// temporary or tree parameters, and the raw frame for the commands that carry
// their own bytes. The program's link implements it; tests script it.
#include <cstdint>
#include <string>
#include <vector>

class Device;
class Parameter;

namespace calibration {

// One raw frame's outcome.
struct FrameResult {
  bool ok = false;
  std::vector<uint8_t> data;  // the reply's data bytes (ok only)
  std::string error;          // the link's error text (failure only)
};

class CalibrationLink {
 public:
  virtual ~CalibrationLink() = default;
  // 0 done; otherwise the parameter's note holds the error text.
  virtual int ReadParameter(Parameter& parameter) = 0;
  virtual int WriteParameter(Parameter& parameter) = 0;
  // One frame to the module for the named command (requestBit 1 read, 0 write).
  // readTimeoutMs > 0 replaces the reply time-out for this frame only. The reply's
  // data starts with the first `repeatedHead` request bytes (the coefficient or point
  // number it answers for); a reply for another number is passed over.
  virtual FrameResult Transact(int requestBit, const std::string& name, const std::vector<uint8_t>& data,
                               int readTimeoutMs = 0, int repeatedHead = 0) = 0;
};

// The program's link.
class DeviceCalibrationLink : public CalibrationLink {
 public:
  explicit DeviceCalibrationLink(Device& device) : device_(device) {}
  int ReadParameter(Parameter& parameter) override;
  int WriteParameter(Parameter& parameter) override;
  FrameResult Transact(int requestBit, const std::string& name, const std::vector<uint8_t>& data,
                       int readTimeoutMs = 0, int repeatedHead = 0) override;

 private:
  Device& device_;
};

}  // namespace calibration
