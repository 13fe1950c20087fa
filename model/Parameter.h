#pragma once
// One device parameter of the tree: protocol name, value text, type, limits,
// caption, attributes, change flags, last error note, polling state and its row.
#include <atomic>
#include <cstdint>
#include <optional>
#include <string>
#include <string_view>

#include "model/MyConverter.h"
#include "model/TreeRows.h"

namespace platform {
class Event;
}

class Parameter : public MyConverter {
 public:
  // Name, value and type empty; everything else as for a named parameter.
  Parameter();
  // Value "Нет данных", type "неизвестен", caption "<неизвестный параметр>".
  explicit Parameter(std::string name);
  // Clears the output-table slot that points back to this parameter.
  ~Parameter() override;
  Parameter(const Parameter&) = delete;
  Parameter& operator=(const Parameter&) = delete;

  std::string description;
  bool indexed = false;
  bool valueChanged = false;
  bool editableChanged = false;
  bool ownerChanged = false;
  std::string note;  // last error, or a difference beginning with "Знач-е в приборе:"
  // The last exchange's answer came but could not be decoded (the note says so).
  bool answerNotDecoded = false;
  bool writable = true;
  std::uint8_t editable = 1;    // 1 editable, 0 not
  std::uint8_t owner = 0;       // 1 maker, 0 user
  std::uint8_t attributes = 0;  // 0 none, 1 ordinary, more: index multiplicity
  int requestIndex = 0;
  int linearIndex = 0;
  Parameter** poutSlot = nullptr;  // the output-table entry that points here
  int mode = 0;
  int pollPeriod = 1000;  // ms
  std::atomic<bool> pollRunning{false};
  std::atomic<bool> pollPrepared{false};  // stands for the poll timer's existence
  // What the polling thread's schedule takes up on a start: the period and the
  // moment of the start (steady clock, ns), published by the count going up.
  std::atomic<int> pollArmedPeriod{1000};
  std::atomic<std::int64_t> pollArmedAt{0};
  std::atomic<unsigned> pollArmCount{0};
  model::TreeItem treeItem = model::kNoItem;
  ValueText initialValue;
  // The link session (the port's opening) on which the module reported the value or
  // acknowledged its write; 0 when it did neither (a fresh, loaded or typed value).
  unsigned confirmedOnLink = 0;

  // Value "Нет данных", writable, not indexed, indexes 0, flags and note cleared,
  // no attributes, editable, user-owned.
  void Reset();

  // The parameter record (name and value first). After loading, a "Log" parameter
  // goes to the current device model as if the user had edited it.
  void Serialize(platform::Archive& archive, bool keepValue);
  // The record alone, without the device model hearing of it: for records that are
  // read only to be dropped.
  void SerializeRecord(platform::Archive& archive, bool keepValue);

  // Validates a text typed by the user and stores it; 1 stored, 0 refused.
  virtual int CheckAndSetValue(const std::string& text, bool fullPrecision);

  // The 16-bit name hash that addresses the parameter on the wire.
  std::uint16_t NameHash() const { return HashOfName(name); }
  static std::uint16_t HashOfName(std::string_view name);
  // Shifts bitCount bits of code, most significant first, into the CRC register.
  static void HashStep(std::uint8_t code, int bitCount, std::uint16_t& reg);

  // Polling: prepare once, then start/stop; Start/Stop return 1 when nothing changed.
  // A start arms the timer with the current period: the first expiry one period
  // later, then every period.
  bool PreparePolling();
  int StartPolling();
  int StopPolling();
  // Set (auto reset) by every start and stop, so that the polling thread takes the
  // change up at once.
  static platform::Event& PollingChanged();
  bool IsPolled() const { return pollPrepared.load(); }

  bool AnyChangeFlag() const { return valueChanged || editableChanged || ownerChanged; }

  int GetImageIndex() const;
  // "вещественным числом" for "float" and "stored_dot", "целым числом" for "int"
  // and "int16", none otherwise (a clock time "CLK_frm" is neither).
  std::optional<std::string> GetNumberKindText() const;

  // The row colour by note and change flags.
  model::ColorRef RowColour() const;
  model::TreeItem InsertTreeItem(model::TreeRows& rows, model::TreeItem parent, int image, int selectedImage,
                                 bool showIndex);
  void SetTreeItemTexts(model::TreeRows& rows, model::TreeItem item, bool showIndex);
  void RefreshTreeItem(model::TreeRows& rows);

  // Appends the parameter's row of the HTML parameter list.
  void WriteHtmlRow(std::string& out, int rowNumber, const std::string& indexingText) const;

 private:
  void RefreshCodPRows(model::TreeRows& rows, model::TreeItem item);
};
