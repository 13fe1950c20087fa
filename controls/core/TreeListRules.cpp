#include "controls/core/TreeListRules.h"

#include <algorithm>

#include "controls/core/CTLItem.h"
#include "platform/Text.h"

namespace TreeList {

namespace {

bool IsDigit(char c) { return c >= '0' && c <= '9'; }

struct DigitRun {
  std::string_view prefix;  // the text before the first digit (all of it without digits)
  std::string_view digits;  // the first run of digits, "" when none
};

DigitRun FirstDigitRun(std::string_view t) {
  size_t first = 0;
  while (first < t.size() && !IsDigit(t[first])) ++first;
  size_t end = first;
  while (end < t.size() && IsDigit(t[end])) ++end;
  return {t.substr(0, first), t.substr(first, end - first)};
}

// Compares two decimal digit runs by value: leading zeros off, then the length, then
// digit by digit. An empty run is 0.
int CompareDigitRuns(std::string_view a, std::string_view b) {
  auto strip = [](std::string_view d) {
    size_t i = 0;
    while (i < d.size() && d[i] == '0') ++i;
    return d.substr(i);
  };
  a = strip(a);
  b = strip(b);
  if (a.size() != b.size()) return a.size() < b.size() ? -1 : 1;
  const int c = a.compare(b);
  return c < 0 ? -1 : c > 0 ? 1 : 0;
}

int Sign(int v) { return v < 0 ? -1 : v > 0 ? 1 : 0; }

}  // namespace

int CompareCellTexts(std::string_view t1, std::string_view t2) {
  const DigitRun r1 = FirstDigitRun(t1);
  const DigitRun r2 = FirstDigitRun(t2);
  if ((!r1.digits.empty() || !r2.digits.empty()) && r1.prefix == r2.prefix) {
    const int byValue = CompareDigitRuns(r1.digits, r2.digits);
    if (byValue != 0) return byValue;
  }
  return Sign(platform::CompareNoCase(t1, t2));
}

int CompareItems(const CTLItem* item1, const CTLItem* item2, int column, bool ascending) {
  if (!item1 || !item2) return 0;
  const int result = CompareCellTexts(item1->GetText(column), item2->GetText(column));
  return ascending ? result : -result;
}

std::string ElideCellText(const std::string& text, int width, const std::function<int(const std::string&)>& extent) {
  const int room = width - 8;
  if (text.empty() || room <= 0) return {};
  if (extent(text) <= room) return text;
  // Characters, not bytes, come off the end.
  auto dropLast = [](std::string& s) {
    if (s.empty()) return;
    size_t i = s.size() - 1;
    while (i > 0 && (static_cast<unsigned char>(s[i]) & 0xC0) == 0x80) --i;
    s.erase(i);
  };
  std::string shown = text;
  while (!shown.empty() && extent(shown) > room) dropLast(shown);
  dropLast(shown);
  return shown + "...";
}

TextColour RowTextColour(bool selected, bool disabled, model::ColorRef colour) {
  if (selected) return TextColour::Highlight;
  // Pure red stays red on a disabled row: an error must stay visible.
  if (disabled && colour != model::Rgb(255, 0, 0)) return TextColour::Grey;
  return TextColour::Own;
}

int HorizontalScrollTarget(ScrollRequest request, int position, int limit, int page, int thumb) {
  const int last = std::max(limit - 1, 0);
  switch (request) {
    case ScrollRequest::LineLeft: return std::max(position - kScrollStep, 0);
    case ScrollRequest::LineRight: return std::min(position + kScrollStep, last);
    case ScrollRequest::PageLeft: return std::max(position - page, 0);
    case ScrollRequest::PageRight: return position + page < last ? position + page : last;
    case ScrollRequest::LeftEnd: return 0;
    case ScrollRequest::RightEnd: return last;
    case ScrollRequest::Thumb:
      if (thumb <= 0) return 0;
      return std::min((thumb / kScrollStep + 1) * kScrollStep, last);
  }
  return position;
}

int NextMultipleAbove(int total, int unit) {
  if (unit <= 0) return total;
  return (total / unit + 1) * unit;
}

}  // namespace TreeList
