#pragma once

#include <string>

// An object that can give its text. Nothing destroys an object through this base, so its
// destructor is protected rather than virtual.
class stringstore {
 public:
  stringstore() = default;
  virtual std::string& str() = 0;

 protected:
  ~stringstore() = default;
  stringstore(const stringstore&) = default;
  stringstore& operator=(const stringstore&) = default;
};
