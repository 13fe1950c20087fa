#pragma once
// Service codes that keep a casual user out of the calibration dialogs (not a
// security measure: anyone with the service manual knows them).
namespace calibration {

// The common analog-input wizard compares the typed text with this, as text.
inline constexpr const char* kCommonWizardAccessCode = "619";

// The analog-input dialogs: one decimal code per calibration type 1-4.
inline constexpr int kAccessCodeType1 = 11;
inline constexpr int kAccessCodeType2 = 22;
inline constexpr int kAccessCodeType3 = 33;
inline constexpr int kAccessCodeType4 = 44;

// The code of a calibration type, -1 for a type without one.
constexpr int AccessCodeOfType(int type) {
  switch (type) {
    case 1: return kAccessCodeType1;
    case 2: return kAccessCodeType2;
    case 3: return kAccessCodeType3;
    case 4: return kAccessCodeType4;
    default: return -1;
  }
}

}  // namespace calibration
