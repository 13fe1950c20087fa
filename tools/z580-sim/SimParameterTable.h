#pragma once
// The parameters a simulated module serves: each with its byte form, its stored
// value bytes (exactly as the module sends them), read-only flag, attributes,
// index range and polled channels.
#include <cstdint>
#include <map>
#include <string>
#include <vector>

#include "SimFrameCodec.h"

namespace z580sim {

// How a written value is checked and stored.
enum class ValueKind {
  Bytes,      // exactly `length` bytes
  Unsigned,   // 1..length bytes, stored right-aligned in `length` bytes
  StoredDot,  // 2..4 bytes, stored as written
  Float,      // exactly `length` bytes (4, or 3 for the three-byte float)
  Enum,       // 1 byte, below `enumItems` when that is set; stored in `length` bytes
  Text,       // characters last first; `length` bytes
  Name,       // network name, 4 bytes
  Command,    // no value; a write carries 0..length bytes and is answered empty
};

struct ParameterSpec {
  std::string name;
  ValueKind kind = ValueKind::Unsigned;
  int length = 1;          // bytes of the value in a read reply
  Bytes initial;           // the stored value at start (empty: `length` zero bytes)
  bool readOnly = false;
  bool hasAttributes = false;
  bool editable = true;    // attribute bit 0
  bool makerOwned = false; // attribute bit 1 clear
  int indexCount = 0;      // 0: not indexed; N: linear indexes 0..N-1, sent after the value
  int channels = 0;        // polled: answered at address offsets 0..channels-1
  int enumItems = 0;       // Enum: number of items (0: not checked)
  std::vector<std::string> enumTexts;  // Enum: the items as the program shows them, when known
  int replyTail = 0;       // bytes a read reply carries after the value (and before the index)
  bool dataLessWrite = false;  // a write carries no value; the reply holds the stored one
};

class ParameterTable {
 public:
  // False (with a reason) for an empty or duplicate name (by hash), a value that
  // cannot fit one reply, or initial bytes of the wrong size.
  bool Add(const ParameterSpec& spec, std::string* error = nullptr);
  const ParameterSpec* Find(uint16_t hash) const;
  const ParameterSpec* Find(const std::string& name) const;
  const std::vector<ParameterSpec>& All() const { return specs_; }
  size_t Size() const { return specs_.size(); }

 private:
  std::vector<ParameterSpec> specs_;
  std::map<uint16_t, size_t> byHash_;
};

constexpr int kModelCount = 23;
// Device id string that model index 0..22 reports as "dev"; null outside.
const char* DeviceIdOf(int model);

// A small table per model: dev, ver (tdev on 12-14), the network settings bPS,
// LEn, PrtY, Sbit, A.Len, Addr, the commands INIT and APLY, and a few ordinary
// parameters. Empty for an unknown model index.
ParameterTable BuiltInTable(int model);

// Where this model's firmware answers a name otherwise than the plain byte form of
// its type: the calibration result "JuRD" (a two-byte value and three bytes more),
// the commands "U.Apl"/"UApl" (written without data, answered with the value),
// and the readings "rEAd", "iRDt", "iRD" of the models whose program side takes a
// 6-byte reply as a float followed by two bytes (model indexes 0, 7, 8, 12, 17).
void AdjustForModel(int model, ParameterSpec& spec);

// The byte form of a parameter from its description type text ("float",
// "STORED_DOT", "int", "int16", "sint", "sint16", "CLK_frm", "string", "ASCI",
// "name", "void", a type word with ":digit", or an enumeration "a:b:c"). Sets
// kind, length and enumItems (and readOnly for the forms the program cannot
// write); the value starts as zero bytes. False for an empty type text.
bool SpecFromTypeText(const std::string& name, const std::string& typeText, ParameterSpec& spec);

// Fills the table from a model's description text (UTF-8) through the program's
// description parser and branch builder: the parameters of the tree (indexed by
// linear index), those of the polled branch (one channel per instance, reached by
// address offset) and the catalogue-only ones (commands). Values start at their
// "init" text, else zero; dev, ver, tdev, INIT and APLY keep the built-in answers.
// False (with a reason, and the table left as it was) when the text does not
// load or a parameter does not fit the module's frames.
bool LoadTableFromDescription(int model, const std::string& text, ParameterTable& table,
                              std::string* error = nullptr);

// The same for model's text found at path: the data file of the program (a
// compound file with one compressed stream per model), a description text, or a
// directory holding the data file or the texts under their stream names.
bool LoadTableFromDescriptionPath(int model, const std::string& path, ParameterTable& table,
                                  std::string* error = nullptr);

// Baud rates in the order of the "bPS" enumeration.
extern const unsigned kBaudRates[9];

}  // namespace z580sim
