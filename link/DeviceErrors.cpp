#include "link/DeviceErrors.h"

#include <utility>

#include "platform/CFormat.h"
#include "resources/StringTable.h"

bool TransportErrorText(int code, std::string& text) {
  int id = 0;
  switch (code) {
    case exchange::kTransportOk: text.clear(); return true;
    case exchange::kTransportTimeOut: id = kStrTimeOut; break;
    case exchange::kTransportLineError: id = kStrLineErrors; break;
    case exchange::kTransportChecksum: id = kStrChecksumError; break;
    case exchange::kTransportAddress: id = kStrAddressMismatch; break;
    case exchange::kTransportBadReply: id = kStrBadReply; break;
    default: text.clear(); return false;
  }
  text = resources::LoadString(id);
  return true;
}

namespace {

// Texts that the modules' documentation gives without a string-table entry.
std::string LiteralDeviceErrorText(int code) {
  switch (code) {
    case 0x29:
      return "Не найдена сетевая функция, хотя дескриптор найден!!!\t\t\t\t\t\t\t  "
             "В нормальном приборе эта ошибка встречаться НЕ ДОЛЖНА!!!";
    case 0x37: return "Данный код не используется (прибор отверг записываемое значение)";
    case 0x44: return "Программе неизвестна запрошенная функция";
    case 0x45: return "В программе стоит заглушка функции WhatCOMState()";
    case 0x46: return "В программе стоит заглушка функции RunCOMTask()";
    case 0x49: return "Нарушена упорядоченность узлов X по возрастанию";
    case 0x4A: return "Попытка записи X при ненулевом числе узлов графика";
    case 0x4B: return "Ошибка выполнения функции PrevWriteActions()";
    default: return {};
  }
}

}  // namespace

bool DeviceErrorText(const uint8_t* data, int length, std::string& text) {
  if (data == nullptr || length < 1) return false;
  const int code = data[0];
  if (code == 0x00) {
    text = resources::LoadString(kStrFrameReceived);
  } else if (code >= 0x02 && code <= 0x08) {
    text = resources::LoadString(kStrDeviceErrorDotBeyond3 + (code - 0x02));
  } else if (code >= 0x21 && code <= 0x28) {
    text = resources::LoadString(kStrDeviceErrorFraming + (code - 0x21));
  } else if (code == 0x30) {
    text = resources::LoadString(kStrDeviceErrorBcdMantissa);
  } else if (code >= 0x31 && code <= 0x34) {
    text = resources::LoadString(kStrDeviceErrorDataSize + (code - 0x31));
  } else if (code == 0x35 || code == 0x36) {
    text = resources::LoadString(kStrDeviceErrorIndexLimit);
  } else if (code == 0x38) {
    text = resources::LoadString(kStrDeviceErrorGroupAttributeRoot);
  } else if (code >= 0x39 && code <= 0x3F) {
    text = resources::LoadString(kStrDeviceErrorGroupAttributeLevel) + static_cast<char>('0' + (code - 0x38));
  } else if (code >= 0x41 && code <= 0x43) {
    text = resources::LoadString(kStrDeviceErrorTaskBusy + (code - 0x41));
  } else if (code == 0x47) {
    text = resources::LoadString(kStrDeviceErrorInvalidCombination);
  } else if (code == 0x48) {
    text = resources::LoadString(kStrDeviceErrorEepromRead);
  } else if (std::string literal = LiteralDeviceErrorText(code); !literal.empty()) {
    text = std::move(literal);
  } else {
    text = platform::Format(resources::LoadString(kStrDeviceErrorUnknownCode).c_str(), static_cast<int>(static_cast<int8_t>(data[0])));
  }
  return true;
}

std::string RequestAddressRefusal(const exchange::FrameAddressing& addressing) {
  const int address = exchange::RequestAddress(addressing);
  switch (exchange::CheckRequestAddress(addressing)) {
    case exchange::AddressFault::None:
      return {};
    case exchange::AddressFault::Broadcast:
      return platform::Format("Запрос не отправлен: адрес %i - широковещательный (его примут все приборы сети)",
                              address);
    case exchange::AddressFault::Negative:
    case exchange::AddressFault::BeyondAddressing:
      break;
  }
  return platform::Format("Запрос не отправлен: адрес %i вне допустимых адресов 0...%i", address,
                          exchange::MaxFrameAddress(addressing.addressLength));
}
