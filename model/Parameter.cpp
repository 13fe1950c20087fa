#include "model/Parameter.h"

#include <algorithm>
#include <cfloat>
#include <chrono>
#include <cmath>
#include <vector>

#include "model/DeviceModelHooks.h"
#include "model/TypedNumber.h"
#include "platform/Archive.h"
#include "platform/CFormat.h"
#include "platform/Event.h"
#include "platform/Text.h"
#include "resources/StringTable.h"

using platform::EqualsNoCase;
using platform::Format;

namespace {

bool TypeIsOneOf(std::string_view type, std::initializer_list<std::string_view> words) {
  for (auto w : words)
    if (EqualsNoCase(type, w)) return true;
  return false;
}

bool IsAsciiLetter(char c) { return (c >= 'A' && c <= 'Z') || (c >= 'a' && c <= 'z'); }
bool IsDigit(char c) { return c >= '0' && c <= '9'; }

// Up to four characters of the network-name alphabet, each with an optional dot.
bool IsNetworkNameText(std::string_view t) {
  if (t.empty()) return false;
  size_t i = 0;
  int count = 0;
  while (i < t.size()) {
    char c = t[i];
    if (!(IsAsciiLetter(c) || IsDigit(c) || c == ' ' || c == '-' || c == '/' || c == '_')) return false;
    ++i;
    if (i < t.size() && t[i] == '.') ++i;
    if (++count > 4) return false;
  }
  return true;
}

void ReplaceAll(std::string& s, std::string_view from, std::string_view to) {
  for (size_t pos = s.find(from); pos != std::string::npos; pos = s.find(from, pos + to.size()))
    s.replace(pos, from.size(), to);
}

// Model texts on the HTML page: an '&' of the text must not start an entity.
std::string EscapeAngles(std::string s) {
  ReplaceAll(s, "&", "&amp;");
  ReplaceAll(s, "<", "&lt;");
  ReplaceAll(s, ">", "&gt;");
  return s;
}

}  // namespace

Parameter::Parameter() {
  Reset();
  value.clear();
  description = "<неизвестный параметр>";
}

Parameter::Parameter(std::string n) : MyConverter(std::move(n)) {
  Reset();
  description = "<неизвестный параметр>";
}

Parameter::~Parameter() {
  // Only our own entry: the slot may since have been given to another parameter.
  if (poutSlot && *poutSlot == this) *poutSlot = nullptr;
}

void Parameter::Reset() {
  value.SetNoData();
  writable = true;
  indexed = false;
  linearIndex = 0;
  requestIndex = 0;
  valueChanged = editableChanged = ownerChanged = false;
  note.clear();
  attributes = 0;
  editable = 1;
  owner = 0;
  confirmedOnLink = 0;
}

int Parameter::CheckAndSetValue(const std::string& input, bool fullPrecision) {
  std::string text = input;
  if (EqualsNoCase(name, "CHAr*")) {
    if (!IsNetworkNameText(text)) return 0;
  } else if (TypeIsOneOf(type, {"float", "stored_dot"})) {
    const std::optional<double> v = model::ReadTypedNumber(text, model::kSingleFloat);
    if (!v) return 0;
    const float f = static_cast<float>(*v);
    if (LimitsInForce() && (min - f > 0.0009 || f - max > 0.0009)) return 0;
    text = Format(fullPrecision ? "%f" : "%.3f", static_cast<double>(f));
    // A stored-dot mantissa has 28 bits: a value beyond them has no encoding.
    ValueBytes data;
    std::string encoded = text;
    if (ConvertTextToData(encoded, data) != kConverted) return 0;
  } else if (EqualsNoCase(type, "CLK_frm")) {
    double n = 0;  // no overflow on long digit runs
    for (size_t i = 0; i < text.size(); ++i) {
      char c = text[i];
      if (c == ':') continue;
      if (!IsDigit(c)) return 0;
      double m = 10;
      if (i > 0 && text[i - 1] == ':') m = (text.size() - i >= 2) ? 6 : 60;
      n = n * m + (c - '0');
    }
    if (LimitsInForce() && (n < min || n > max)) return 0;
    // Two bytes of seconds at most; kept as the module reads it back ("12:3" is 12:03).
    if (n > 0xFFFF) return 0;
    const unsigned seconds = static_cast<unsigned>(n);
    text = Format("%02u:%02u", seconds / 60, seconds % 60);
  } else if (TypeIsOneOf(type, {"name", "string", "ASCI", "sint", "sint16"})) {
    // A name the four codes cannot carry, and the texts a module only reports.
    ValueBytes data;
    std::string encoded = text;
    if (ConvertTextToData(encoded, data) != kConverted) return 0;
  } else if (TypeIsOneOf(type, {"int", "int16"}) && EqualsNoCase(name, "Addr")) {
    // A module address is read as every place reads one, and kept as the decimal
    // number it is: the cell shows what the link sends and the settings store.
    const std::optional<int> address = model::ReadAddressText(text);
    if (!address || *address < 0 || *address > 65535 || (LimitsInForce() && (*address < min || *address > max))) return 0;
    text = Format("%i", *address);
  } else if (TypeIsOneOf(type, {"int", "int16"})) {
    if (text.size() > 255) return 0;
    // Values are shown in decimal, except "CodP", which is shown in hexadecimal and
    // goes back so; a text in another form would be shown as it is not held.
    const bool hexadecimalCell = EqualsNoCase(name, "CodP");
    model::TypedNumberRules rules = model::kUnsigned16;
    rules.hexadecimal = hexadecimalCell;
    const std::optional<double> v = model::ReadTypedNumber(text, rules);
    if (!v) return 0;
    if (LimitsInForce() && (*v < min || *v > max)) return 0;
    // Kept as the integer that is written ("7.000001" and "+7" are 7).
    const int number = static_cast<int>(*v);
    text = hexadecimalCell ? Format("0x%02x", number) : Format("%i", number);
  }
  valueChanged = true;
  return SetValue(text);
}

void Parameter::HashStep(std::uint8_t code, int bitCount, std::uint16_t& reg) {
  for (int i = 0; i < bitCount && i < 8; ++i) {
    unsigned bit = (code >> (7 - i)) & 1u;
    unsigned top = (reg >> 15) & 1u;
    unsigned r = static_cast<unsigned>(reg) << 1;
    if (bit ^ top) r ^= 0x8F57u;
    reg = static_cast<std::uint16_t>(r & 0xFFFFu);
  }
}

std::uint16_t Parameter::HashOfName(std::string_view name) {
  if (name.empty()) return 0;
  const std::string upper = platform::ToUpper(name);
  int codes[4] = {78, 78, 78, 78};
  int count = 0;
  int taken = 0;
  size_t pos = 0;
  // At most eight characters; a fifth code is read and dropped.
  while (pos < upper.size() && taken < 8 && count <= 4) {
    char32_t c = platform::DecodeUtf8(upper, pos);
    if (c == '.') {
      if (taken > 0 && count > 0) codes[count - 1] += 1;
    } else {
      int code = NameCharCode(c);
      if (code >= 0) {
        if (count < 4) codes[count] = code;
        ++count;
      }
    }
    ++taken;
  }
  std::uint16_t reg = 0;
  for (int code : codes) HashStep(static_cast<std::uint8_t>(code << 1), 7, reg);
  return reg;
}

bool Parameter::PreparePolling() {
  pollPrepared = true;
  requestIndex = linearIndex;
  indexed = false;
  return true;
}

int Parameter::StartPolling() {
  if (pollRunning.load()) return 1;
  pollArmedPeriod = pollPeriod;
  pollArmedAt = std::chrono::duration_cast<std::chrono::nanoseconds>(
                    std::chrono::steady_clock::now().time_since_epoch())
                    .count();
  pollArmCount.fetch_add(1, std::memory_order_release);
  pollRunning = true;
  PollingChanged().Set();
  return 0;
}

int Parameter::StopPolling() {
  if (!pollRunning.exchange(false)) return 1;
  PollingChanged().Set();
  return 0;
}

platform::Event& Parameter::PollingChanged() {
  static platform::Event changed(false, false);
  return changed;
}

int Parameter::GetImageIndex() const {
  if (!writable) return 30;
  return TypeIsOneOf(type, {"float", "stored_dot", "int", "int16", "CLK_frm", "string", "ASCI", "name"}) ? 28 : 27;
}

std::optional<std::string> Parameter::GetNumberKindText() const {
  if (TypeIsOneOf(type, {"float", "stored_dot"})) return resources::LoadString(kStrRealNumber);
  if (TypeIsOneOf(type, {"int", "int16"})) return resources::LoadString(kStrWholeNumber);
  return std::nullopt;
}

model::ColorRef Parameter::RowColour() const {
  if (!note.empty())
    return note.starts_with(resources::LoadString(kStrDeviceValue)) ? model::kDifferenceBlue : model::kRed;
  return AnyChangeFlag() ? model::kChangedGreen : model::kBlack;
}

model::TreeItem Parameter::InsertTreeItem(model::TreeRows& rows, model::TreeItem parent, int image,
                                          int selectedImage, bool showIndex) {
  std::string text = description;
  const bool polled = IsPolled();
  if (showIndex && polled) text += Format(", %s:%i", name.c_str(), requestIndex);
  const bool scalar = TypeIsOneOf(type, {"string", "ASCI", "int", "int16", "CLK_frm", "float", "stored_dot", "name"}) ||
                      EqualsNoCase(type, resources::LoadString(kStrUnknownType));
  model::TreeItem row;
  if (polled) {
    row = rows.InsertItem(this, text, 26, 26, writable ? model::RowEditor::EditBox : model::RowEditor::None, parent,
                          true);
    if (row != model::kNoItem) {
      const bool running = pollRunning.load();
      if (!EqualsNoCase(name, "r.oe.s")) {
        rows.SetItemText(row, 1, Format("%i", pollPeriod));
        rows.SetItemStateImage(row, running ? 3 : 1);
      }
      if (!running) rows.SetItemDisabled(row, false);
    }
  } else {
    model::RowEditor editor = !writable ? model::RowEditor::None
                              : scalar  ? model::RowEditor::EditBox
                                        : model::RowEditor::DropDownList;
    row = rows.InsertItem(this, text, image, selectedImage, editor, parent, false);
    if (row != model::kNoItem) SetTreeItemTexts(rows, row, showIndex);
  }
  treeItem = row;
  return row;
}

void Parameter::RefreshCodPRows(model::TreeRows& rows, model::TreeItem item) {
  if (!EqualsNoCase(name, "CodP")) return;
  std::optional<int> number = platform::ScanInt(value);
  if (!number) return;
  const unsigned n = static_cast<unsigned>(*number);
  if (item != model::kNoItem) {
    static const char* const kLoads[] = {"1 кОм", "10 кОм", "100 кОм", "470 кОм"};
    int k = 0;
    for (model::TreeItem child = rows.GetChildItem(item); child != model::kNoItem;
         child = rows.GetNextSiblingItem(child), ++k) {
      std::string t;
      switch (k) {
        case 0: t = kLoads[n & 3]; break;
        case 1: t = Format("%d", static_cast<int>((n >> 4) & 1)); break;
        case 2: t = (n & 0x20) ? "да" : "нет"; break;
        case 3: t = (n & 0x40) ? "автоматическое управление" : "безопасное состояние выходов"; break;
        case 4: t = (n & 0x80) ? "тестирование" : "работа"; break;
        default: break;
      }
      rows.SetItemText(child, 2, t);
    }
  }
  value = Format("0x%02x", n);
}

void Parameter::SetTreeItemTexts(model::TreeRows& rows, model::TreeItem item, bool showIndex) {
  if (item == model::kNoItem) return;
  RefreshCodPRows(rows, item);
  std::string column1 = name;
  if (indexed && showIndex) column1 += Format(":%i", linearIndex);
  std::string column3, column4;
  if (attributes != 0) {
    column3 = resources::LoadString(editable ? kStrEditable : kStrNotEditable);
    column4 = resources::LoadString(owner ? kStrMaker : kStrUser);
  }
  rows.SetItemTexts(item, &column1, &value, &column3, &column4, &note, RowColour());
}

void Parameter::RefreshTreeItem(model::TreeRows& rows) {
  if (treeItem == model::kNoItem) return;
  RefreshCodPRows(rows, treeItem);
  rows.SetItemTexts(treeItem, nullptr, &value, nullptr, nullptr, &note, RowColour());
}

void Parameter::WriteHtmlRow(std::string& out, int rowNumber, const std::string& indexingText) const {
  out += Format("<tr>\n\t<td>%i\t</td>\n", rowNumber);
  out += "\t<td>" + EscapeAngles(name) + "\t</td>\n";
  out += "\t<td>" + Format("%04X", NameHash()) + "\t</td>\n";

  std::string caption = EscapeAngles(description);
  ReplaceAll(caption, "№1", "№...");
  out += "\t<td>" + caption + "\t</td>\n";

  out += "\t<td>";
  std::vector<std::string> items;
  for (size_t start = 0;;) {
    size_t colon = type.find(':', start);
    items.push_back(type.substr(start, colon == std::string::npos ? std::string::npos : colon - start));
    if (colon == std::string::npos) break;
    start = colon + 1;
  }
  const bool scalar =
      TypeIsOneOf(items[0], {"STORED_DOT", "DEC_dot", "CLK_frm", "string", "ASCI", "name", "int", "int16", "float"});
  for (auto& item : items) std::replace(item.begin(), item.end(), '_', ' ');
  if (!scalar) {
    out += "\n\t<ol start=0>\n";
    for (const auto& item : items) out += "\t\t<li> " + EscapeAngles(item) + "\n";
    out += "\t</ol>";
  } else {
    out += EscapeAngles(items[0]);
  }
  out += "\t</td>\n";

  out += "\t<td>" + indexingText + "\t</td>\n";
  out += "\t<td>";
  out += min >= max ? std::string("нет ограничений") : Format("от %.3f до %.3f", min, max);
  out += "\t</td>\n";
  out += "\t<td>";
  if (attributes == 0)
    out += "нет атрибутов";
  else if (attributes == 1)
    out += "обычн. атрибуты";
  else
    out += Format("дерево атр-ов обрезано (кратность индекcов %i)", static_cast<int>(attributes));
  out += "\t</td>\n</tr>\n";
}

void Parameter::SerializeRecord(platform::Archive& archive, bool keepValue) {
  // A file says nothing about what the module holds.
  if (archive.IsLoading()) confirmedOnLink = 0;
  MyConverter::Serialize(archive, keepValue);
  if (archive.IsStoring()) {
    archive.WriteClassTag("Parameter", 1);
    archive.WriteText(description);
    archive.WriteByte(indexed ? 1 : 0);
    archive.WriteInt32(linearIndex);
    archive.WriteInt32(requestIndex);
    archive.WriteByte(writable ? 1 : 0);
    archive.WriteText(note);
    archive.WriteByte(valueChanged ? 1 : 0);
    archive.WriteByte(editableChanged ? 1 : 0);
    archive.WriteByte(ownerChanged ? 1 : 0);
    archive.WriteByte(editable);
    archive.WriteByte(owner);
    archive.WriteInt32(mode);
    return;
  }
  if (archive.ReadClassTag("Parameter") != 1) return;
  // Read into locals first: a record cut short leaves the parameter as it was after
  // the name and value.
  std::string storedDescription = archive.ReadText();
  const bool storedIndexed = archive.ReadByte() != 0;
  const int storedLinearIndex = archive.ReadInt32();
  const int storedRequestIndex = archive.ReadInt32();
  const bool storedWritable = archive.ReadByte() != 0;
  std::string storedNote = archive.ReadText();
  const bool storedValueChanged = archive.ReadByte() != 0;
  const bool storedEditableChanged = archive.ReadByte() != 0;
  const bool storedOwnerChanged = archive.ReadByte() != 0;
  const std::uint8_t storedEditable = archive.ReadByte();
  const std::uint8_t storedOwner = archive.ReadByte();
  const int storedMode = archive.ReadInt32();
  description = std::move(storedDescription);
  indexed = storedIndexed;
  linearIndex = storedLinearIndex;
  requestIndex = storedRequestIndex;
  writable = storedWritable;
  note = std::move(storedNote);
  valueChanged = storedValueChanged;
  editableChanged = storedEditableChanged;
  ownerChanged = storedOwnerChanged;
  editable = storedEditable;
  owner = storedOwner;
  mode = storedMode;
}

void Parameter::Serialize(platform::Archive& archive, bool keepValue) {
  SerializeRecord(archive, keepValue);
  if (archive.IsLoading() && EqualsNoCase(name, "Log")) {
    if (model::DeviceModelHooks* model = model::CurrentDeviceModel()) model->OnParameterEdited(*this);
  }
}
