#pragma once
// The module's serial-network settings as parameters: speed, data length, parity,
// stop bits, address length and address, with the two consistency checks that run
// when the user edits one of them.
#include <string>
#include <string_view>

#include "model/InvisibleElement.h"

namespace Elements {

class NetRS485 : public InvisibleElement {
 public:
  NetRS485();
  ~NetRS485() override = default;

  // "bPS", "LEn", "PrtY", "Sbit", "A.Len", "Addr" at their initial values.
  void InitParameters() override;
  int GetImage() override;
  int GetSelectedImage() override;
  std::string GetTypeName() override;

  // Whether an edit of "Addr", "A.Len" or "Prot" (any case) to `text` may be taken:
  // an address above 255 needs 11-bit addresses and the first protocol; then the
  // current device model decides. Other names: true.
  bool CheckAddressSettings(std::string_view name, const std::string& text) const;
  // Whether an edit of "PrtY", "LEn" or "Sbit" may be taken: no parity with 7 data
  // bits and 1 stop bit, and parity with 8 data bits and 2 stop bits, are refused.
  bool CheckFrameSettings(std::string_view name, const std::string& text) const;
  // Both checks; a refusal is shown to the user (string 258). True when taken.
  bool CheckEditedSetting(std::string_view name, const std::string& text) const;

  // The parity items in order: none, even, odd.
  static std::string ParityItem(int index);

 protected:
  void AddNetworkParameters();
  // The held value of a parameter ("" when there is none).
  std::string HeldValue(std::string_view name) const;
};

}  // namespace Elements
