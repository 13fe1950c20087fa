#pragma once
// Turns a model index (the row of the model table that identification or the
// user's choice gave) into its device-model object.
#include <memory>

#include "devices/CBaseDevice.h"

namespace BaseDevice {
class DeviceDocument;
}

// A new model object for index 0..22, null for any other index or when it cannot
// be allocated. Indexes 1 and 2 show the splash window "Проверка значений..." while
// the object is built.
std::unique_ptr<BaseDevice::CBaseDevice> CreateDeviceModel(signed char index, BaseDevice::DeviceDocument* document);
