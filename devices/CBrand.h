#pragma once
// The brand: the list of models the user can pick by hand, and its say on the
// main menu. The program has one brand, which offers all 23 models.

namespace myClass {
class TableControl;
}

// The main window's menu; the window layer defines it.
class CMenu;

class CBrand {
 public:
  // Virtual, so that deleting the brand through this class deletes all of it.
  virtual ~CBrand() = default;

  // Rows of the model choice list; the row number is the model index.
  virtual bool FillModelList(myClass::TableControl* table) = 0;
  virtual void CustomizeMenu(CMenu* menu) = 0;

 protected:
  CBrand() = default;
};

class CBrandTevi : public CBrand {
 public:
  // One row per model ("Z580-01".."Z580-23"); returns the result of the last SetCell.
  bool FillModelList(myClass::TableControl* table) override;
  // The menu stays as it is.
  void CustomizeMenu(CMenu* /*menu*/) override {}
};

// The program's brand, made on the first call.
CBrand* GetDeviceBrand();
// Deletes the brand (at the application's exit); the next GetDeviceBrand makes a new one.
void DeleteDeviceBrand();
