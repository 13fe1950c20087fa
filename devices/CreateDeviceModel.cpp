#include "devices/CreateDeviceModel.h"

#include <new>

#include "devices/CZ580M01.h"
#include "devices/CZ580M02.h"
#include "devices/CZ580M03.h"
#include "devices/CZ580M04.h"
#include "devices/CZ580M05.h"
#include "devices/CZ580M06.h"
#include "devices/CZ580M07.h"
#include "devices/CZ580M08.h"
#include "devices/CZ580M09.h"
#include "devices/CZ580M10.h"
#include "devices/CZ580M11.h"
#include "devices/CZ580M12.h"
#include "devices/CZ580M13.h"
#include "devices/CZ580M14.h"
#include "devices/CZ580M16.h"
#include "devices/CZ580M17.h"
#include "devices/CZ580M18.h"
#include "devices/CZ580M19.h"
#include "devices/CZ580M20.h"
#include "devices/CZ580M21.h"
#include "devices/CZ580M22.h"
#include "devices/CZ580M23.h"
#include "devices/SplashWindow.h"

using namespace BaseDevice;

namespace {

CBaseDevice* Make(signed char index, DeviceDocument* doc) {
  switch (index) {
    case 0: return new (std::nothrow) CZ580M01(doc);
    case 1: return new (std::nothrow) CZ580M02(doc);
    case 2: return new (std::nothrow) CZ580M03(doc);
    case 3: return new (std::nothrow) CZ580M04(doc);
    case 4: return new (std::nothrow) CZ580M05(doc);
    case 5: return new (std::nothrow) CZ580M06(doc);
    case 6: return new (std::nothrow) CZ580M07(doc);
    case 7: return new (std::nothrow) CZ580M08(doc);
    case 8: return new (std::nothrow) CZ580M09(doc);
    case 9: return new (std::nothrow) CZ580M10(doc);
    case 10: return new (std::nothrow) CZ580M11(doc);
    case 11: return new (std::nothrow) CZ580M12(doc);
    case 12: return new (std::nothrow) CZ580M13(doc);
    case 13: return new (std::nothrow) CZ580M14(false, doc);
    case 14: return new (std::nothrow) CZ580M14(true, doc);
    case 15: return new (std::nothrow) CZ580M16(doc);
    case 16: return new (std::nothrow) CZ580M17(doc);
    case 17: return new (std::nothrow) CZ580M18(doc);
    case 18: return new (std::nothrow) CZ580M19(doc);
    case 19: return new (std::nothrow) CZ580M20(doc);
    case 20: return new (std::nothrow) CZ580M21(doc);
    case 21: return new (std::nothrow) CZ580M22(doc);
    case 22: return new (std::nothrow) CZ580M23(doc);
    default: return nullptr;
  }
}

// Shows the splash window while it lives (when one is installed).
class SplashWhileBuilding {
 public:
  SplashWhileBuilding() : window_(CurrentSplashWindow()) {
    if (window_) window_->Create("Проверка значений...");
  }
  ~SplashWhileBuilding() {
    if (window_) window_->Destroy();
  }
  SplashWhileBuilding(const SplashWhileBuilding&) = delete;
  SplashWhileBuilding& operator=(const SplashWhileBuilding&) = delete;

 private:
  SplashWindow* window_;
};

}  // namespace

std::unique_ptr<CBaseDevice> CreateDeviceModel(signed char index, DeviceDocument* document) {
  if (index == 1 || index == 2) {
    SplashWhileBuilding splash;
    return std::unique_ptr<CBaseDevice>(Make(index, document));
  }
  return std::unique_ptr<CBaseDevice>(Make(index, document));
}
