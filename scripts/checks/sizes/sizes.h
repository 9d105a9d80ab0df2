// A five-line function and a class of three member functions, for the size check's limits.
#pragma once

inline int fiveLines(int v) {
  v += 1;
  v *= 2;
  return v;
}

class Three {
 public:
  Three();
  int one() const { return 1; }
  void two();
};
