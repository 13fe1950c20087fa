#include "model/AppVersionTexts.h"

#include <atomic>

namespace model {
namespace {
AppVersionTexts gDefault;
std::atomic<AppVersionTexts*> gCurrent{nullptr};
}  // namespace

AppVersionTexts& CurrentAppVersionTexts() {
  AppVersionTexts* t = gCurrent.load();
  return t ? *t : gDefault;
}

AppVersionTexts* SetAppVersionTexts(AppVersionTexts* texts) { return gCurrent.exchange(texts); }

}  // namespace model
