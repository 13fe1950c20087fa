#pragma once
// The rows of the multi-column tree control as the model sees them. The window
// layer implements this with its tree-list control; tests use a recording fake.
#include <cstdint>
#include <string>

class CObject;

namespace model {

// A row handle; kNoItem means "no row" (and, as a parent, the top level).
using TreeItem = std::uintptr_t;
inline constexpr TreeItem kNoItem = 0;

// Colours are Windows COLORREF values: 0x00BBGGRR.
using ColorRef = std::uint32_t;
constexpr ColorRef Rgb(unsigned r, unsigned g, unsigned b) { return (r & 0xFF) | (g & 0xFF) << 8 | (b & 0xFF) << 16; }
inline constexpr ColorRef kBlack = Rgb(0, 0, 0);
inline constexpr ColorRef kRed = Rgb(255, 0, 0);           // an error
inline constexpr ColorRef kChangedGreen = Rgb(0, 200, 0);  // changed, not yet written
inline constexpr ColorRef kDifferenceBlue = Rgb(64, 64, 255);  // differs from the device

// How the cells of a row may be edited in place.
enum class RowEditor { None, EditBox, DropDownList };

class TreeRows {
 public:
  virtual ~TreeRows() = default;

  // Appends a row under parent with its column-0 text, images, editor kind and the
  // object it shows (not owned). fast: insert without asking the host view for a
  // relayout (the control's InsertItemFast). Returns the row, or kNoItem on failure.
  virtual TreeItem InsertItem(CObject* object, const std::string& text, int image, int selectedImage,
                              RowEditor editor, TreeItem parent, bool fast) = 0;

  // Sets the texts of columns 1-5 (a null pointer leaves that column as it is) and
  // the text colour of the row.
  virtual void SetItemTexts(TreeItem row, const std::string* text1, const std::string* text2,
                            const std::string* text3, const std::string* text4, const std::string* text5,
                            ColorRef colour) = 0;
  virtual void SetItemText(TreeItem row, int column, const std::string& text) = 0;
  virtual void SetItemColor(TreeItem row, ColorRef colour) = 0;
  virtual void SetItemStateImage(TreeItem row, int image) = 0;
  virtual void SetItemDisabled(TreeItem row, bool disabled) = 0;

  // Navigation: kNoItem when there is no such row.
  virtual TreeItem GetChildItem(TreeItem row) = 0;
  virtual TreeItem GetNextSiblingItem(TreeItem row) = 0;
  // The object the row shows, or null.
  virtual CObject* GetItemObject(TreeItem row) = 0;
};

}  // namespace model
