// Which class the factory makes for each model index, the splash window around
// the two models that check values while they are built, and the brand's list.
#include <gtest/gtest.h>

#include <cstdio>
#include <typeinfo>

#include "devices/CBrand.h"
#include "devices/CDevicePW.h"
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
#include "devices/CreateDeviceModel.h"
#include "devices/SplashWindow.h"
#include "support/FakeDeviceDocument.h"
#include "support/FakeTableControl.h"

namespace {

using namespace BaseDevice;

class FakeSplash : public SplashWindow {
 public:
  FakeSplash() : previous_(SetSplashWindow(this)) {}
  ~FakeSplash() override { SetSplashWindow(previous_); }
  void Create(const std::string& text) override { calls.push_back("create " + text); }
  void Destroy() override { calls.push_back("destroy"); }
  std::vector<std::string> calls;

 private:
  SplashWindow* previous_;
};

struct Expected {
  const std::type_info& type;
  const char* runtimeClass;
};

// Model index -> class and the run-time class it reports.
const Expected kTable[23] = {
    {typeid(CZ580M01), "CZ580M01"},    {typeid(CZ580M02), "CBaseDevice"}, {typeid(CZ580M03), "CBaseDevice"},
    {typeid(CZ580M04), "CBaseDevice"}, {typeid(CZ580M05), "CBaseDevice"}, {typeid(CZ580M06), "CZ580M06"},
    {typeid(CZ580M07), "CZ580M07"},    {typeid(CZ580M08), "CZ580M08"},    {typeid(CZ580M09), "CZ580M09"},
    {typeid(CZ580M10), "CZ580M10"},    {typeid(CZ580M11), "CBaseDevice"}, {typeid(CZ580M12), "CZ580M12"},
    {typeid(CZ580M13), "CZ580M13"},    {typeid(CZ580M14), "CZ580M14"},    {typeid(CZ580M14), "CZ580M14"},
    {typeid(CZ580M16), "CZ580M16"},    {typeid(CZ580M17), "CBaseDevice"}, {typeid(CZ580M18), "CZ580M18"},
    {typeid(CZ580M19), "CZ580M19"},    {typeid(CZ580M20), "CZ580M20"},    {typeid(CZ580M21), "CZ580M21"},
    {typeid(CZ580M22), "CZ580M22"},    {typeid(CZ580M23), "CZ580M23"},
};

TEST(CreateDeviceModel, EachIndexGetsItsClass) {
  FakeDeviceDocument doc;
  FakeSplash splash;
  for (int i = 0; i < 23; ++i) {
    SCOPED_TRACE(i);
    auto device = CreateDeviceModel(static_cast<signed char>(i), &doc);
    ASSERT_NE(device, nullptr);
    EXPECT_TRUE(typeid(*device) == kTable[i].type) << typeid(*device).name();
    EXPECT_STREQ(device->GetRuntimeClassName(), kTable[i].runtimeClass);
    EXPECT_EQ(device->GetDocument(), &doc);
    // The mains-measurement models share the calibration base.
    EXPECT_EQ(dynamic_cast<CDevicePW*>(device.get()) != nullptr, i >= 19 && i <= 22);
  }
}

TEST(CreateDeviceModel, ClassesOtherWindowsTestFor) {
  FakeDeviceDocument doc;
  auto kind = [&](int index) { return CreateDeviceModel(static_cast<signed char>(index), &doc); };
  EXPECT_NE(dynamic_cast<CZ580M01*>(kind(0).get()), nullptr);
  EXPECT_NE(dynamic_cast<CZ580M07*>(kind(6).get()), nullptr);
  EXPECT_NE(dynamic_cast<CZ580M09*>(kind(8).get()), nullptr);
  EXPECT_NE(dynamic_cast<CZ580M13*>(kind(12).get()), nullptr);
  // Index 17's class is a kind of index 7's, not the other way round.
  EXPECT_NE(dynamic_cast<CZ580M08*>(kind(7).get()), nullptr);
  EXPECT_EQ(dynamic_cast<CZ580M18*>(kind(7).get()), nullptr);
  EXPECT_NE(dynamic_cast<CZ580M18*>(kind(17).get()), nullptr);
  EXPECT_NE(dynamic_cast<CZ580M08*>(kind(17).get()), nullptr);
  for (int i = 0; i < 23; ++i)
    if (i != 7 && i != 17) {
      EXPECT_EQ(dynamic_cast<CZ580M08*>(kind(i).get()), nullptr) << i;
    }

  // One strain-gauge class, two variants.
  auto one = kind(13);
  auto four = kind(14);
  auto* oneChannel = dynamic_cast<CZ580M14*>(one.get());
  auto* fourChannels = dynamic_cast<CZ580M14*>(four.get());
  ASSERT_NE(oneChannel, nullptr);
  ASSERT_NE(fourChannels, nullptr);
  EXPECT_EQ(typeid(*oneChannel), typeid(*fourChannels));
  EXPECT_FALSE(oneChannel->IsFourChannel());
  EXPECT_TRUE(fourChannels->IsFourChannel());
}

// The link and the value conversion ask these of the current model instead of
// testing its class.
TEST(CreateDeviceModel, ClassQuestionsOfTheLinkAndTheConversion) {
  FakeDeviceDocument doc;
  for (int i = 0; i < 23; ++i) {
    auto model = CreateDeviceModel(static_cast<signed char>(i), &doc);
    ASSERT_NE(model, nullptr);
    const bool measuring = i == 0 || i == 7 || i == 8 || i == 12 || i == 17;  // M01, M08, M09, M13, M18
    EXPECT_EQ(model->HasMeasurementReadings(), measuring) << i;
    EXPECT_EQ(model->IsEightBitOnlyModel(), i == 7 || i == 17) << i;  // M08 and M18
  }
}

TEST(CreateDeviceModel, SplashOnlyForTheValueCheckingModels) {
  FakeDeviceDocument doc;
  FakeSplash splash;
  for (int i : {-128, -1, 23, 127}) {
    EXPECT_EQ(CreateDeviceModel(static_cast<signed char>(i), &doc), nullptr) << i;
  }
  EXPECT_TRUE(splash.calls.empty());
  for (int i = 0; i < 23; ++i) {
    splash.calls.clear();
    auto device = CreateDeviceModel(static_cast<signed char>(i), &doc);
    if (i == 1 || i == 2) {
      EXPECT_EQ(splash.calls, (std::vector<std::string>{"create Проверка значений...", "destroy"})) << i;
    } else {
      EXPECT_TRUE(splash.calls.empty()) << i;
    }
  }
}

TEST(CreateDeviceModel, WorksWithoutSplashWindow) {
  ASSERT_EQ(CurrentSplashWindow(), nullptr);
  EXPECT_NE(CreateDeviceModel(1, nullptr), nullptr);
}

TEST(DeviceBrand, OneBrandListingEveryModel) {
  CBrand* brand = GetDeviceBrand();
  ASSERT_NE(brand, nullptr);
  EXPECT_EQ(GetDeviceBrand(), brand);
  EXPECT_NE(dynamic_cast<CBrandTevi*>(brand), nullptr);

  FakeTableControl table;
  table.columns.push_back({"Модель", 0, 100});
  EXPECT_TRUE(brand->FillModelList(&table));
  ASSERT_EQ(table.rows.size(), 23u);
  for (int i = 0; i < 23; ++i) {
    char name[16];
    std::snprintf(name, sizeof name, "Z580-%02d", i + 1);
    EXPECT_EQ(table.rows[i].Text(0), name);
    EXPECT_EQ(table.rows[i].objects, std::vector<CObject*>{nullptr});
    EXPECT_EQ(table.rows[i].flags, std::vector<std::uint16_t>{4});
  }
  EXPECT_FALSE(brand->FillModelList(nullptr));

  DeleteDeviceBrand();
  EXPECT_NE(GetDeviceBrand(), nullptr);
}

}  // namespace
