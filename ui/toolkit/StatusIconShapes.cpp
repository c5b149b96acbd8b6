// Status icon designs. Curves approximate circles with four cubic segments (k = 0.5523 r).
#include "ui/toolkit/StatusIconShapes.h"

namespace QvUI {

namespace {

// Disc of radius 10 at (12, 12).
#define QV_DISC                                                                                              \
  "M 12 2 C 17.523 2 22 6.477 22 12 C 22 17.523 17.523 22 12 22 C 6.477 22 2 17.523 2 12 C 2 6.477 6.477 2 " \
  "12 2 Z "
// Dot of radius 1 at (12, cy).
#define QV_DOT(cy, top, bottom, upper, lower)                                                        \
  "M 12 " top " C 12.552 " top " 13 " upper " 13 " cy " C 13 " lower " 12.552 " bottom " 12 " bottom \
  " C 11.448 " bottom " 11 " lower " 11 " cy " C 11 " upper " 11.448 " top " 12 " top " Z "
// A bar 2 wide with round ends, from y top to y bottom.
#define QV_BAR(top, below, above, bottom)                                                                   \
  "M 11 " below " C 11 " top " 13 " top " 13 " below " V " above " C 13 " bottom " 11 " bottom " 11 " above \
  " Z "

constexpr const char* ErrorPath =
    QV_DISC QV_BAR("7", "8", "13", "14") QV_DOT("16", "15", "17", "15.448", "16.552");
constexpr const char* WarningPath =
    "M 10.7 3.75 C 11.3 2.75 12.7 2.75 13.3 3.75 L 21.3 18 C 21.9 19.1 21.4 20 20.2 20 H 3.8 "
    "C 2.6 20 2.1 19.1 2.7 18 Z " QV_BAR("10", "11", "13", "14") QV_DOT("16", "15", "17", "15.448", "16.552");
constexpr const char* InformationPath =
    QV_DISC QV_DOT("8", "7", "9", "7.448", "8.552") QV_BAR("10", "11", "16", "17");
// The check stroke's outline: about 2 wide along (8, 13) -> (10.5, 16.3) -> (16, 8.9), round ends.
constexpr const char* SuccessPath = QV_DISC
    "M 7.2 13.6 C 6.87 13.16 6.96 12.53 7.4 12.2 C 7.84 11.87 8.47 11.96 8.8 12.4 L 10.48 14.62 "
    "L 15.2 8.3 C 15.53 7.86 16.16 7.77 16.6 8.1 C 17.04 8.43 17.13 9.06 16.8 9.5 L 11.3 16.9 "
    "C 10.9 17.43 10.1 17.43 9.7 16.9 Z";
constexpr const char* QuestionPath = QV_DISC
    "M 8.5 9.5 C 8.5 7.5 10 6 12 6 C 14 6 15.5 7.4 15.5 9.2 C 15.5 10.7 14.6 11.5 13.6 12.1 "
    "C 13.1 12.4 13 12.7 13 13.3 V 13.6 C 13 14.15 12.55 14.6 12 14.6 C 11.45 14.6 11 14.15 11 13.6 "
    "V 13.2 C 11 11.9 11.6 11.1 12.6 10.5 C 13.2 10.1 13.5 9.8 13.5 9.2 C 13.5 8.5 12.9 8 12 8 "
    "C 11.1 8 10.5 8.6 10.5 9.5 C 10.5 10.05 10.05 10.5 9.5 10.5 C 8.95 10.5 8.5 10.05 8.5 9.5 Z " QV_DOT(
        "17", "16", "18", "16.448", "17.552");

#undef QV_DISC
#undef QV_DOT
#undef QV_BAR

}  // namespace

const char* StatusIconPath(int kind) {
  switch (kind) {
    case StatusError:
      return ErrorPath;
    case StatusWarning:
      return WarningPath;
    case StatusInformation:
      return InformationPath;
    case StatusSuccess:
      return SuccessPath;
    default:
      return QuestionPath;
  }
}

int StatusIconColour(int kind) {
  switch (kind) {
    case StatusError:
      return 32;
    case StatusWarning:
      return 31;
    case StatusInformation:
      return 33;
    case StatusSuccess:
      return 30;
    default:
      return 11;
  }
}

}  // namespace QvUI
