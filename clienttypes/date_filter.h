// A date filter the client shares with the updater; the updater only exports
// the accessor of its relative lower date.
#pragma once

#include <cstdint>

class DateFilter {
 public:
  // How far back the filter reaches, counted from today.
  enum RelativeLowerDate {
    RelativeLowerDateNone = 0,
    RelativeLowerDateToday = 1,
    RelativeLowerDateLastWeek = 2,
    RelativeLowerDateLastMonth = 3,
    RelativeLowerDateLastYear = 4,
  };

  DateFilter();
  explicit DateFilter(RelativeLowerDate relativeLowerDate);

  // Not const in the client's declaration, and so not const in the exported name.
  RelativeLowerDate getRelativeLowerDate();

 private:
  RelativeLowerDate relativeLowerDate_;
};

// The client reads the value as a 32-bit field.
static_assert(sizeof(DateFilter::RelativeLowerDate) == 4, "the relative lower date is stored in 32 bits");
