// The main window's rules that need no window.
#include <gtest/gtest.h>

#include <set>

#include "app/MainFrameRules.h"
#include "link/BatchSettings.h"

using namespace mainframe;

namespace {

TEST(MainFrameRulesTest, PlacementTable) {
  struct Case {
    uint8_t flags;
    int x, y, w, h;
    WindowShow show;
    bool lock;
  };
  using namespace exchange;
  const uint8_t all = kWindowX | kWindowY | kWindowWidth | kWindowHeight;
  const Case cases[] = {
      {0, 0, 0, 0, 0, WindowShow::Maximised, false},
      {kWindowWidth, 0, 0, 800, 0, WindowShow::Maximised, false},  // height missing
      {kWindowWidth | kWindowHeight, 0, 0, 0, 0, WindowShow::Minimised, false},
      {kWindowWidth | kWindowHeight, 0, 0, 800, 600, WindowShow::Maximised, false},  // no position
      {all, 10, 20, 800, 600, WindowShow::Placed, true},
      {all, 10, 20, 0, 0, WindowShow::Minimised, false},
  };
  for (const Case& c : cases) {
    BatchSettings batch;
    batch.windowFlags = c.flags;
    batch.x = c.x, batch.y = c.y, batch.width = c.w, batch.height = c.h;
    const Placement p = WindowPlacement(batch);
    EXPECT_EQ(p.show, c.show) << int(c.flags) << " " << c.w << "x" << c.h;
    EXPECT_EQ(p.lock, c.lock);
    if (c.show == WindowShow::Placed) {
      EXPECT_EQ(p.x, 10);
      EXPECT_EQ(p.y, 20);
      EXPECT_EQ(p.width, 800);
      EXPECT_EQ(p.height, 600);
    }
  }
}

TEST(MainFrameRulesTest, TitleNamesTheModelAndTheDocument) {
  EXPECT_EQ(FrameTitle(-1, "a.z580", true, 0), "Конфигуратор <неизвестен> - a.z580");
  EXPECT_EQ(FrameTitle(19, "a.z580", false, 0), "Конфигуратор Z580-20");
  EXPECT_EQ(FrameTitle(0, "x", true, 2), "Конфигуратор Z580-01 - x:2");
}

TEST(MainFrameRulesTest, TooltipsAreTheLastLineCutTo79Characters) {
  EXPECT_EQ(TooltipText("Открыть файл\nОткрыть"), "Открыть");
  EXPECT_EQ(TooltipText("\nСостояние входов и выходов"), "Состояние входов и выходов");
  const std::string longText(100, 'x');
  EXPECT_EQ(TooltipText(longText).size(), 79u);
  std::string cyrillic;
  for (int i = 0; i < 100; ++i) cyrillic += "ж";
  EXPECT_EQ(TooltipText(cyrillic).size(), 79u * 2);  // characters, not bytes
}

TEST(MainFrameRulesTest, MenuToolbarAndImagesAgree) {
  EXPECT_EQ(GetMenuImageIndex(57600), 1);
  EXPECT_EQ(GetMenuImageIndex(301), 22);
  EXPECT_EQ(GetMenuImageIndex(257), 0);
  ASSERT_EQ(ToolbarSlots().size(), 20u);
  std::set<int> commands;
  for (const MenuItem& item : MainMenu())
    if (item.command != 0) {
      EXPECT_TRUE(commands.insert(item.command).second) << item.command;
    }
  for (int command : ToolbarSlots()) {
    if (command != 0) {
      EXPECT_TRUE(commands.count(command)) << command;
    }
  }
  // The tare-weight item goes into sub-menu 3, before "Юстировка ".
  int menu = -1;
  for (const MenuItem& item : MainMenu()) {
    if (item.depth == 0) ++menu;
    if (item.command == kCmdCalibrate) {
      EXPECT_EQ(menu, 3);
    }
  }
}

}  // namespace
