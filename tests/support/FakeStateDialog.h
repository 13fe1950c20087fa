#pragma once
// A state dialog with a given number of input rows, some of them with an
// indicator, which counts its invalidations.
#include <memory>
#include <string>
#include <vector>

#include "devices/StateDialog.h"

class FakeStateIndicator : public BaseDevice::StateIndicator {
 public:
  std::string text;
  int invalidations = 0;

  std::string GetStateText() override { return text; }
  void SetStateText(const std::string& value) override { text = value; }
  void Invalidate() override { ++invalidations; }
};

class FakeStateDialog : public BaseDevice::StateDialog {
 public:
  // One entry per inputs row: its indicator, or null.
  std::vector<std::unique_ptr<FakeStateIndicator>> indicators;
  std::vector<CObject*> rowObjects;

  // Adds a row, with an indicator when asked; returns the indicator (or null).
  FakeStateIndicator* AddRow(bool withIndicator, CObject* object = nullptr);
  // The indicators' texts row by row, "-" for a row without one.
  std::string Texts() const;

  int GetInputRowCount() override { return static_cast<int>(indicators.size()); }
  BaseDevice::StateIndicator* GetInputIndicator(int row) override;
  CObject* GetInputRowObject(int row) override;
};
