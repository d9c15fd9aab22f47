#include "clienttypes/date_filter.h"

DateFilter::DateFilter() : relativeLowerDate_(RelativeLowerDateNone) {}

DateFilter::DateFilter(RelativeLowerDate relativeLowerDate) : relativeLowerDate_(relativeLowerDate) {}

DateFilter::RelativeLowerDate DateFilter::getRelativeLowerDate() { return relativeLowerDate_; }
