#include "engine/patch_order.h"

#include <cstdint>

#include "engine/ascii_text.h"

namespace {

bool isSpace(char16_t c) { return c == u' ' || (c >= u'\t' && c <= u'\r'); }

// The runtime's wide-to-long conversion in base 10 with a 32-bit long: white
// space, one sign, digits; no digits give 0, and a value out of range is clamped.
int32_t leadingNumber(const std::u16string& text, size_t from) {
  size_t i = from;
  while (i < text.size() && isSpace(text[i])) ++i;
  bool negative = false;
  if (i < text.size() && (text[i] == u'+' || text[i] == u'-')) {
    negative = text[i] == u'-';
    ++i;
  }
  constexpr int64_t kLimit = int64_t{INT32_MAX} + 1;  // magnitude of INT32_MIN
  int64_t magnitude = 0;
  for (; i < text.size() && text[i] >= u'0' && text[i] <= u'9'; ++i) {
    magnitude = magnitude * 10 + (text[i] - u'0');
    if (magnitude > kLimit) magnitude = kLimit;  // saturate; the rest cannot bring it back
  }
  if (negative) return static_cast<int32_t>(-magnitude);
  return magnitude > INT32_MAX ? INT32_MAX : static_cast<int32_t>(magnitude);
}

constexpr char16_t kNumberMark[] = u"_sp";
constexpr size_t kNumberMarkLength = 3;

// Moves the names of later into earlier: a name of later goes in front of the
// first name of earlier that it is less than; what remains of later goes last.
// Equal names keep earlier's first, which keeps the sort stable.
void mergeLaterIntoEarlier(std::list<std::u16string>& earlier, std::list<std::u16string>& later) {
  auto current = earlier.begin();
  while (current != earlier.end() && !later.empty()) {
    if (patchNumberLess(later.front(), *current)) {
      earlier.splice(current, later, later.begin());
    } else {
      ++current;
    }
  }
  earlier.splice(earlier.end(), later);
}

}  // namespace

bool patchNumberLess(const std::u16string& a, const std::u16string& b) {
  const std::u16string lowerA = asciiLowered(a);
  const std::u16string lowerB = asciiLowered(b);
  const size_t markA = lowerA.find(kNumberMark);
  const size_t markB = lowerB.find(kNumberMark);
  if (markA == std::u16string::npos || markB == std::u16string::npos) return false;
  return leadingNumber(lowerA, markA + kNumberMarkLength) < leadingNumber(lowerB, markB + kNumberMarkLength);
}

bool isPatchArchiveName(const std::u16string& name) { return asciiLowered(name).find(u".zip") != std::u16string::npos; }

void sortPatchNames(std::list<std::u16string>& names) {
  if (names.size() < 2) return;

  constexpr size_t kBins = 25;
  std::list<std::u16string> bins[kBins];
  size_t binsInUse = 0;
  std::list<std::u16string> carry;

  while (!names.empty()) {
    carry.splice(carry.begin(), names, names.begin());
    size_t k = 0;
    for (; k < binsInUse && !bins[k].empty(); ++k) {
      mergeLaterIntoEarlier(bins[k], carry);
      bins[k].swap(carry);
    }
    if (k == kBins) {
      mergeLaterIntoEarlier(bins[kBins - 1], carry);
    } else {
      bins[k].swap(carry);
      if (k == binsInUse) ++binsInUse;
    }
  }

  for (size_t k = 1; k < binsInUse; ++k) mergeLaterIntoEarlier(bins[k], bins[k - 1]);
  names.swap(bins[binsInUse - 1]);
}
