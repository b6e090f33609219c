// Root of the objects that the library's containers hold by pointer.
//
// A container that "owns its items" deletes them through this base, so every stored type
// derives from it and gets a virtual destructor.
#pragma once

class TKivObject {
 public:
  TKivObject() = default;
  TKivObject(const TKivObject&) = default;
  TKivObject& operator=(const TKivObject&) = default;
  virtual ~TKivObject() = default;
};
