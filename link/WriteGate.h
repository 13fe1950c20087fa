#pragma once
// The one check every write asks before its first frame: the tree's cell, the tree
// and branch writes, the single-parameter slot, the batch write, the state window,
// "APLY" and the copy of the module's settings into the program's. It judges the
// values of one write together and names each it refuses; a refused write sends
// nothing at all.
#include <string>
#include <vector>

class ObjectWithParameters;
class Parameter;
class ValueText;

namespace exchange {

// One value a write would send.
struct WriteValue {
  const Parameter* parameter = nullptr;
  std::string text;  // what is sent: the value (the initial value for an initial-value write)
};

// The values of one write, and the element that holds the module's network settings
// when they are among them (null: none), whose other values stay in force.
struct WriteTask {
  std::vector<WriteValue> values;
  const ObjectWithParameters* network = nullptr;
};

// One refused value: the parameter's name (with its index when indexed), the text and why.
struct WriteRefusal {
  std::string name;
  std::string text;
  std::string reason;
};

// The values a walk of the element writes in that mode (the walk's own choice; a
// branch with its subtree); values never sent ("Нет данных", no index) are left out.
WriteTask WriteTaskOf(const ObjectWithParameters& element, int mode);
// One parameter written alone, with the element that holds it when it is a network
// setting (its other settings stay in force).
WriteTask WriteTaskOf(const Parameter& parameter, const ValueText& text,
                      const ObjectWithParameters* network = nullptr);

// Why text cannot be written as the parameter's value: it does not read as the
// type, breaks the parameter's rule (limits, list), or its bytes cannot carry it
// exactly (the encoder's own text). Empty when it can.
std::string ValueRefusal(const Parameter& parameter, const std::string& text);

// Whether the module's network settings may become these: the address one module
// may have under the address length (above 255 only in the first protocol of the
// network element's "Prot"), and a frame of parity, data and stop bits the settings
// rules allow. Empty texts are settings not known, which are not judged. Empty when
// they may, else what is refused.
std::string NetworkSettingsRefusal(const std::string& parity, const std::string& dataBits,
                                   const std::string& stopBits, const std::string& addressLength,
                                   const std::string& address, const ObjectWithParameters* network,
                                   const std::string& protocol = std::string());

// The tree of another model than the module identified on the line (none while no
// module is identified): the message naming both. Empty when the models agree.
std::string OtherModelRefusal();

// Every reason the write must not start: the models, each value, the address and
// the frame the module would hold afterwards. Empty: it may start.
std::vector<WriteRefusal> CheckWrite(const WriteTask& task);

// One refusal as a line: "name = "text": why" (the models' line as it is).
std::string RefusalLine(const WriteRefusal& refusal);

// The refusals as one message of the window (the list of values, nothing written).
std::string WriteRefusalMessage(const std::vector<WriteRefusal>& refusals);

// Asks the gate; a refusal is shown (a batch run logs each line instead and ends
// with result flag 0x01) and false is returned.
bool PassWriteGate(const WriteTask& task);

}  // namespace exchange
