#pragma once
// The common root of the objects that tree rows carry (parameters, elements,
// branches): rows keep a CObject*, and callers find out what it is with dynamic_cast.

class CObject {
 public:
  CObject() = default;
  CObject(const CObject&) = default;
  CObject& operator=(const CObject&) = default;
  virtual ~CObject() = default;
};
