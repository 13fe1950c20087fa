#pragma once
// What the single-parameter dialog does: the hash and description of a typed
// name, the value list of an enumerated type, and one traced read or write of the
// named parameter outside the tree. The dialog shows and collects; this decides.
#include <string>
#include <vector>

#include "model/DescParameter.h"

class DeviceIO;

namespace Dialogs {

// The dialog's fields as its controls exchange them.
struct SinglePointFields {
  std::string command = "!vEr";
  std::string hashText;
  std::string valueText;
  int operation = 0;   // 0 read, 1 write
  int indexPlace = 0;  // 0 in the request's data, 1 in the address
  std::string description = "Описание параметра";
  bool hasIndex = false;
  std::string indexText = "0";
};

class SinglePointCommand {
 public:
  // The catalogue is the document's list of parameter descriptions; link may be null.
  SinglePointCommand(const std::vector<DescParameter>& catalogue, DeviceIO* link);

  // Every name of the catalogue, in its order.
  std::vector<std::string> Names() const;

  // The command update: the hash text ("0x%X") and "description (type)" of the
  // command; returns the value list of an enumerated type (empty otherwise).
  std::vector<std::string> UpdateCommand(SinglePointFields& fields) const;

  // The execution: the trace lines (frame bytes included). An unknown name shows
  // message 316 and sends nothing (the trace is then empty).
  std::vector<std::string> Execute(const SinglePointFields& fields);

 private:
  const DescParameter* Find(const std::string& name) const;
  // The largest index the address carries above the module's address (as for 8-bit
  // addresses without a link, where nothing is sent); negative when the module's
  // address is beyond it.
  int HighestIndexInAddress() const;

  const std::vector<DescParameter>& catalogue_;
  DeviceIO* link_;
};

}  // namespace Dialogs
