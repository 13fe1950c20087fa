#pragma once
// The exchange with the module: owns the serial port and the program's port
// settings; sends one frame with its retries under the bus lock, exchanges one
// parameter (with its access attributes and index), and sends the switch-back
// requests of the other framings while connecting.
#include <cstdint>
#include <functional>
#include <memory>
#include <mutex>
#include <string>
#include <vector>

#include "link/ConnectAttempt.h"
#include "link/ExchangeFrame.h"
#include "link/NetRS485prg.h"
#include "platform/Sio.h"

class Parameter;

// What the caller of a frame knows of its reply: the last `echoedTail` request data
// bytes end its data (the index of an indexed parameter), the first `echoedHead`
// start it (a calibration frame's coefficient or point number); a read's answer
// carries data; an answer that never looks like its request; a write acknowledged
// with the value stored (see exchange::FrameRequest).
struct ReplyShape {
  int echoedTail = 0;
  bool answerCarriesData = false;
  int echoedHead = 0;
  bool answerNeverIdentical = false;
  bool answerRepeatsValue = false;
};

class DeviceIO {
 public:
  // Parameter exchange results besides 0..4 and the transport codes.
  static constexpr int kAttributeExchangeFailed = 200;
  static constexpr int kAttributeReplySize = 201;
  // The request's address is negative, beyond the addressing, or the broadcast
  // address where no broadcast is meant: nothing was sent.
  static constexpr int kAddressRefused = 202;

  // Makes the port and the settings element and sets the settings up from the
  // registry; full access when the application's access level is above 1.
  DeviceIO();
  // Stores the port settings (through the settings element).
  virtual ~DeviceIO();
  DeviceIO(const DeviceIO&) = delete;
  DeviceIO& operator=(const DeviceIO&) = delete;

  Sio& Port() { return *port_; }
  Elements::NetRS485prg& Settings() { return *settings_; }

  // Puts another port in place of the current one (tests use an in-process fake);
  // returns the previous one. Not while a transaction runs.
  std::unique_ptr<Sio> ReplacePort(std::unique_ptr<Sio> port);

  // Copies the settings element's values into the port's fields, clears the
  // element's change flags and the network-settings-written flag.
  void ApplyPortSettings();
  // Closes the port, applies the settings and, when asked, opens it again, all in
  // one hold of the bus lock: no frame of another thread meets the port closed or
  // half set up. The open's result, or -1 when not asked to open.
  int ReopenSerialPort(bool open);

  // One request frame with its retries. `outData` holds at least 15 bytes (may be
  // null when no data is wanted). 1: success, the reply's data stored; 0: failure,
  // `errorText` set (a cancelled transaction leaves it empty and the result flags
  // as they were; a closed port gives the port-open error text and flags 8).
  // `outLength` is 0 unless a reply with a valid CRC arrived.
  // channel -1 broadcasts, else it is added to the module address.
  // `shape` says what the reply repeats of the request, so that a reply for another
  // number is passed over.
  int TransactFrame(int requestBit, uint16_t nameHash, const uint8_t* data, int dataLength, uint8_t* outData,
                    uint8_t& outLength, std::string& errorText, int channel, ReplyShape shape);

  // Reads (requestBit 1) or writes (0) one parameter; with a protocol selector other
  // than 0 sends that framing's switch-back request instead. Trace lines go to
  // `trace` when given. Results: 0 done; -1 port not open, selector 0 without a
  // parameter, or the exchange was cancelled; 1 frame failed; 2 reply not decoded or
  // a bad network-name code; 3/4 value cannot be encoded or a bad network name;
  // 200/201 attribute exchange failed / wrong size; 202 the request's address was
  // refused; transport codes for selectors 1-3.
  int ExchangeParameter(int requestBit, Parameter* parameter, std::vector<std::string>* trace,
                        bool attributeOverride);

  // One request in the framing of the protocol selector: [address byte, request]
  // wrapped, with its retries under the bus lock. Returns a transport code; the
  // reply's bytes after its address go to `outData`.
  int TransactAlternateFrame(const uint8_t* request, int length, std::vector<uint8_t>& outData);

  // Runs `change` while no frame runs (the bus lock held), for what every frame
  // reads, such as the current device model. `change` sends nothing.
  void WhileNoFrameRuns(const std::function<void()>& change);

  // Open and close the port between frames: another thread (calibration, state
  // window) may send a frame at any time, and its port must not change under it.
  int OpenSerialPort();
  int CloseSerialPort();

  // The converter mode (the port's whole-write flag): 1 a converter that switches
  // direction itself, 0 RTS-driven sending. Set between frames, never inside one.
  void SetConverterMode(int mode);
  int ConverterMode();

  // What the frames of every thread brought back since the last reset (the link
  // resets it when it opens the port): tells a silent line from a garbled one.
  exchange::ReplyTally Tally();
  void ResetTally();

  // Set at construction from the access level.
  bool fullAccess = false;

 protected:
  // The frame with its retries; a cancelled frame comes back as Cancelled.
  exchange::FrameReply SendFrame(int requestBit, uint16_t nameHash, const uint8_t* data, int dataLength,
                                 int channel, std::string& errorText, ReplyShape shape);

 private:
  // The outcome of a frame inside ExchangeParameter: 0 success, 1 failed, -1 cancelled.
  int ExchangeFrame(int requestBit, uint16_t nameHash, const std::vector<uint8_t>& data, ReplyShape shape,
                    Parameter& parameter, uint8_t* reply, int& replyLength);
  int ExchangeOwnFrame(int requestBit, Parameter& parameter, std::vector<std::string>* trace,
                       bool attributeOverride);
  int ExchangeAttributes(int requestBit, Parameter& parameter, bool attributeOverride);
  int ReadNetworkName(Parameter& parameter, std::vector<std::string>* trace, bool attributeOverride);
  int WriteNetworkName(Parameter& parameter, std::vector<std::string>* trace, bool attributeOverride);
  int ExchangeSwitchBack(Parameter* parameter);
  exchange::FrameTransport Transport();
  void ApplyPortSettingsLocked();

  std::unique_ptr<Sio> port_;
  std::unique_ptr<Elements::NetRS485prg> settings_;
  std::mutex busLock_;
  exchange::ReplyTally tally_;  // under busLock_
  // The line gives every request back (a converter that echoes), as the last
  // read found; under busLock_.
  bool lineEchoes_ = false;
  // The last read got only a frame just like its request: a line that echoes with
  // no module behind it (or a module answering without a value). A switch-back
  // request, whose answer is a copy of itself, is then not done on such a frame
  // alone; under busLock_.
  bool lineMirrors_ = false;
  // Passes over what the module still owes the sends of a frame that timed out
  // (`heard`: the module answered something in the frame); under busLock_.
  void PassOverLateAnswers(int unanswered, bool heard);
};
