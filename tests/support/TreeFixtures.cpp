#include "support/TreeFixtures.h"

#include <string>

void ForEachParameter(DescBranch& branch, const std::function<void(Parameter&)>& f) {
  for (auto& p : branch.parameters) f(*p);
  for (auto& child : branch.children) ForEachParameter(*child, f);
}

void FillDistinct(DescBranch& root) {
  int n = 0;
  ForEachParameter(root, [&](Parameter& p) {
    ++n;
    p.value = "знач " + std::to_string(n);
    p.note = n % 2 ? "Ошибка " + std::to_string(n) : "";
    p.valueChanged = n % 2 == 0;
    p.editableChanged = n % 3 == 0;
    p.ownerChanged = n % 4 == 0;
    p.editable = static_cast<uint8_t>(n % 2);
    p.owner = static_cast<uint8_t>(n % 3 == 1);
    p.writable = n % 5 != 0;
    p.mode = -n;
    p.requestIndex = n * 7;
    p.description = "Описание " + std::to_string(n);
  });
}
