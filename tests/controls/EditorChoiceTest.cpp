// Which in-place editor a cell opens, and the items of its list.
#include <gtest/gtest.h>

#include <memory>
#include <string>
#include <vector>

#include "controls/core/EditorChoice.h"
#include "devices/CZ580M01.h"
#include "devices/CZ580M07.h"
#include "devices/CZ580M08.h"
#include "devices/CZ580M13.h"
#include "model/Parameter.h"
#include "resources/StringTable.h"

using namespace TreeList;

namespace {

struct Row {
  const char* name;
  bool polled;
  bool running;
  bool byText;
  bool byList;
  int attributes;
};

TEST(EditorChoice, TableOfCells) {
  struct Case {
    Row row;
    int column;
    bool locked;
    bool disabled;
    EditorKind expected;
    bool warn;
  };
  const EditorKind None = EditorKind::None, Box = EditorKind::EditBox, List = EditorKind::DropDownList;
  const Case cases[] = {
      // polled rows
      {{"Rd.St", true, false, true, false, 0}, 1, false, false, Box, false},
      {{"r.oe.S", true, false, true, false, 0}, 1, false, false, None, false},
      {{"Rd.St", true, false, true, false, 0}, 2, false, false, Box, false},
      {{"rd.st", true, false, true, false, 0}, 2, true, false, None, false},  // locked model, any case
      {{"SRD", true, true, true, false, 0}, 2, true, false, None, false},
      {{"Addr", true, true, true, false, 0}, 2, true, false, Box, true},       // not a reading: warn, then edit
      {{"Rd.St", true, true, false, false, 0}, 2, false, false, None, false},  // not editable
      {{"Rd.St", true, false, true, false, 1}, 3, false, false, None, false},
      // ordinary rows
      {{"Addr", false, false, true, false, 0}, 2, false, false, Box, false},
      {{"bPS", false, false, false, true, 0}, 2, false, false, List, false},
      {{"Addr", false, false, true, false, 1}, 3, false, false, List, false},
      {{"Addr", false, false, true, false, 0}, 3, false, false, None, false},
      {{"Addr", false, false, true, false, 1}, 4, false, false, None, false},
      {{"Addr", false, false, true, false, 1}, 5, false, false, None, false},
      {{"Addr", false, false, true, false, 1}, 1, false, false, None, false},
      {{"Addr", false, false, false, false, 1}, 3, false, false, None, false},
      {{"Addr", false, false, true, false, 1}, 2, false, true, None, false},  // disabled row
  };
  for (const Case& c : cases) {
    Parameter p(c.row.name);
    p.type = "int";
    p.attributes = static_cast<std::uint8_t>(c.row.attributes);
    if (c.row.polled) p.pollPrepared = true;
    p.pollRunning = c.row.running;
    EditorRequest r;
    r.column = c.column;
    r.editByText = c.row.byText;
    r.editByList = c.row.byList;
    r.disabled = c.disabled;
    r.parameter = &p;
    r.readingsLocked = c.locked;
    const EditorChoice choice = ChooseEditor(r);
    EXPECT_EQ(choice.kind, c.expected) << c.row.name << " column " << c.column;
    EXPECT_EQ(choice.warnPolling, c.warn) << c.row.name << " column " << c.column;
  }

  // A row that shows no parameter edits its value by text only.
  EditorRequest element;
  element.column = 2;
  element.editByList = true;
  EXPECT_EQ(ChooseEditor(element).kind, EditorKind::None);
  element.editByText = true;
  EXPECT_EQ(ChooseEditor(element).kind, EditorKind::EditBox);
}

TEST(EditorChoice, ListsHoldTheOtherChoices) {
  EXPECT_EQ(ValueListItems("нет:a_b:c<hide>", "нет"), (std::vector<std::string>{"a b"}));
  EXPECT_EQ(ValueListItems("::x:::y:", ""), (std::vector<std::string>{"x", "y"}));
  EXPECT_EQ(ValueListItems("", "x"), std::vector<std::string>{});

  Parameter attribute("Addr");
  attribute.attributes = 1;
  attribute.editable = 1;
  EditorRequest r;
  r.column = 3;
  r.editByText = true;
  r.parameter = &attribute;
  EXPECT_EQ(ChooseEditor(r).items, std::vector<std::string>{resources::LoadString(kStrNotEditable)});
  attribute.editable = 0;
  EXPECT_EQ(ChooseEditor(r).items, std::vector<std::string>{resources::LoadString(kStrEditable)});

  Parameter port("Port");
  port.type = "COM1";
  r.column = 2;
  r.editByList = true;
  r.cellText = "/dev/ttyS0";
  r.parameter = &port;
  r.enumeratePorts = [](std::string& out) { out = "/dev/ttyS0:/dev/ttyUSB0"; };
  EXPECT_EQ(ChooseEditor(r).items, std::vector<std::string>{"/dev/ttyUSB0"});
  EXPECT_EQ(port.type, "/dev/ttyS0:/dev/ttyUSB0");  // the port list becomes the value list
}

TEST(EditorChoice, ModelsThatLockTheirReadings) {
  EXPECT_TRUE(LocksPolledReadings(std::make_unique<BaseDevice::CZ580M07>(nullptr).get()));
  EXPECT_TRUE(LocksPolledReadings(std::make_unique<BaseDevice::CZ580M08>(nullptr).get()));
  EXPECT_TRUE(LocksPolledReadings(std::make_unique<BaseDevice::CZ580M13>(nullptr).get()));
  EXPECT_FALSE(LocksPolledReadings(std::make_unique<BaseDevice::CZ580M01>(nullptr).get()));
  EXPECT_FALSE(LocksPolledReadings(nullptr));
}

}  // namespace
