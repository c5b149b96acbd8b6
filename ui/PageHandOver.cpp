// Page serials and the one answer each page may give.
#include "ui/PageHandOver.h"

unsigned PageHandOver::Open() {
  std::lock_guard lock(mutex_);
  answer_ = 0;
  return ++serial_;
}

bool PageHandOver::Answer(unsigned serial, int answer) {
  std::lock_guard lock(mutex_);
  if (serial != serial_ || serial == 0 || answer_ != 0 || answer == 0) return false;
  answer_ = answer;
  return true;
}

int PageHandOver::AnswerOf(unsigned serial) const {
  std::lock_guard lock(mutex_);
  return serial == serial_ ? answer_ : 0;
}
