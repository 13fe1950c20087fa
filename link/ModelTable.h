#pragma once
// The table of the module models: per model index the string id of its display
// name and the device id the module reports as "dev".
#include <cstdint>
#include <string>

namespace exchange {

struct ModelRow {
  uint32_t nameId;       // display name in the string table
  const char* deviceId;  // compared without regard to case
};

inline constexpr int kModelCount = 23;
// Rows 0..22 in model-index order, then a zero row.
extern const ModelRow kModelTable[kModelCount + 1];

// The display name of a model index ("" outside 0..22).
std::string ModelDisplayName(int modelIndex);

// The first row whose device id equals the text without regard to case, or -1.
int FindModelByDeviceId(const std::string& deviceId);

// The index of the row whose model tells its variant by "tdev" (both variants
// report the same device id).
inline constexpr int kVariantModelRow = 13;

}  // namespace exchange
