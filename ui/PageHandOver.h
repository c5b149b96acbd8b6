// Who may answer the driver: each posted page gets a serial, only the page posted last may answer,
// and only once. A double click on a page's button, or a click that lands while the next page is
// still on its way, must not answer the page after it.
#pragma once

#include <mutex>

class PageHandOver {
 public:
  // Driver, before a page is posted: a fresh serial; every answer of an earlier page is refused.
  unsigned Open();
  // UI thread: true when the answer was taken (serial is the page posted last, not yet answered).
  bool Answer(unsigned serial, int answer);
  // Driver: the answer of the page with that serial, 0 while there is none.
  int AnswerOf(unsigned serial) const;

 private:
  mutable std::mutex mutex_;
  unsigned serial_ = 0;
  int answer_ = 0;
};
