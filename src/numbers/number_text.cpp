#include "numbers/number_text.h"

#include <bit>
#include <charconv>
#include <cmath>
#include <cstdint>
#include <limits>
#include <string>
#include <system_error>

namespace quorvel {
namespace {

constexpr int kSignificantDigits = 15;

// Powers of ten that a double holds exactly.
constexpr double kExactPow10[] = {1e0,  1e1,  1e2,  1e3,  1e4,  1e5,  1e6,  1e7,
                                  1e8,  1e9,  1e10, 1e11, 1e12, 1e13, 1e14, 1e15,
                                  1e16, 1e17, 1e18, 1e19, 1e20, 1e21, 1e22};
constexpr int kMaxExactPow10 = 22;

// A positive finite double rounded to 15 significant digits: d0.d1...d14 times 10^exponent.
struct Decimal15 {
  char digits[kSignificantDigits];
  int exponent;
};

// std::to_chars gives the exactly rounded decimal (halves to even on the exact binary value, as
// printf does) and, unlike printf, never depends on the process locale.
Decimal15 ToDecimal15(double magnitude) {
  char buf[32];
  const auto result = std::to_chars(buf, buf + sizeof buf, magnitude, std::chars_format::scientific,
                                    kSignificantDigits - 1);
  // Layout: "d.dddddddddddddde+XX" (two or three exponent digits).
  Decimal15 d{};
  d.digits[0] = buf[0];
  for (int i = 1; i < kSignificantDigits; ++i) d.digits[i] = buf[i + 1];
  const char* exponent_text = buf + kSignificantDigits + 2;  // the sign after "e"
  const bool negative_exponent = *exponent_text == '-';
  int exponent = 0;
  for (const char* p = exponent_text + 1; p < result.ptr; ++p)
    exponent = exponent * 10 + (*p - '0');
  d.exponent = negative_exponent ? -exponent : exponent;
  return d;
}

// The double nearest to the decimal integer `digits` times 10^exponent. Beyond the range of
// doubles the result is an infinity or zero of the given sign, as strtod gives.
double DecimalToDouble(const char* digits, int count, int exponent, bool negative) {
  char buf[48];
  char* p = buf;
  if (negative) *p++ = '-';
  for (int i = 0; i < count; ++i) *p++ = digits[i];
  *p++ = 'e';
  p = std::to_chars(p, buf + sizeof buf, exponent).ptr;
  double value = 0.0;
  const auto result = std::from_chars(buf, p, value);
  if (result.ec == std::errc::result_out_of_range) {
    // Out of range means far beyond either end; the sign of the decimal exponent of the leading
    // digit tells which.
    value = exponent + count > 0 ? std::numeric_limits<double>::infinity() : 0.0;
    if (negative) value = -value;
  }
  return value;
}

int TrimmedDigitCount(const Decimal15& d) {
  int count = kSignificantDigits;
  while (count > 1 && d.digits[count - 1] == '0') --count;
  return count;
}

// Slow but always right: through the 15-digit decimal text.
double RoundTo15DigitsByText(double x) {
  const Decimal15 d = ToDecimal15(std::fabs(x));
  return DecimalToDouble(d.digits, kSignificantDigits, d.exponent - (kSignificantDigits - 1),
                         std::signbit(x));
}

QString FormatNumber(double x, char separator) {
  char buf[40];
  int len = 0;
  if (std::isnan(x)) {
    for (char c : {'-', '1', separator, '#', 'I', 'N', 'D'}) buf[len++] = c;
    return QString::fromLatin1(buf, len);
  }
  if (std::isinf(x)) {
    if (x < 0) buf[len++] = '-';
    for (char c : {'1', separator, '#', 'I', 'N', 'F'}) buf[len++] = c;
    return QString::fromLatin1(buf, len);
  }
  if (x == 0) return QStringLiteral("0");

  const Decimal15 d = ToDecimal15(std::fabs(x));
  const int count = TrimmedDigitCount(d);
  const int e = d.exponent;
  if (x < 0) buf[len++] = '-';
  if (e < -4 || e >= kSignificantDigits) {
    buf[len++] = d.digits[0];
    if (count > 1) {
      buf[len++] = separator;
      for (int i = 1; i < count; ++i) buf[len++] = d.digits[i];
    }
    buf[len++] = 'E';
    buf[len++] = e < 0 ? '-' : '+';
    const int magnitude = e < 0 ? -e : e;
    if (magnitude < 10) buf[len++] = '0';
    len = static_cast<int>(std::to_chars(buf + len, buf + sizeof buf, magnitude).ptr - buf);
  } else if (e >= 0) {
    for (int i = 0; i <= e; ++i) buf[len++] = i < count ? d.digits[i] : '0';
    if (count > e + 1) {
      buf[len++] = separator;
      for (int i = e + 1; i < count; ++i) buf[len++] = d.digits[i];
    }
  } else {
    buf[len++] = '0';
    buf[len++] = separator;
    for (int i = 0; i < -e - 1; ++i) buf[len++] = '0';
    for (int i = 0; i < count; ++i) buf[len++] = d.digits[i];
  }
  return QString::fromLatin1(buf, len);
}

bool IsDigit(char16_t c) { return c >= u'0' && c <= u'9'; }
bool IsBlank(char16_t c) { return c == u' ' || c == u'\t'; }

}  // namespace

QString NumberText(double x) { return FormatNumber(x, ','); }

QString StatementNumber(double x) { return FormatNumber(x, '.'); }

double RoundTo15Digits(double x) {
  if (!std::isfinite(x)) return x;
  if (x == 0) return 0.0;
  const double a = std::fabs(x);
  // a lies in [2^b, 2^(b+1)), so its decimal exponent is floor(b * log10(2)) or one more.
  // (b * 78913) >> 18 is that floor for every exponent a double has.
  const int biased_exponent = static_cast<int>(std::bit_cast<std::uint64_t>(a) >> 52);
  if (biased_exponent == 0) return RoundTo15DigitsByText(x);  // subnormal
  const int b = biased_exponent - 1023;
  int p = ((b * 78913) >> 18) - (kSignificantDigits - 1);
  // Scale a to y = a * 10^-p in [1e14, 1e15): one correctly rounded operation on exact operands,
  // so y is within half a unit in the last place (at most 1/16) of the exact a * 10^-p.
  if (p < -kMaxExactPow10 || p > kMaxExactPow10) return RoundTo15DigitsByText(x);
  double y = p >= 0 ? a / kExactPow10[p] : a * kExactPow10[-p];
  if (y >= 1e15) {
    ++p;
    if (p > kMaxExactPow10) return RoundTo15DigitsByText(x);
    y = p >= 0 ? a / kExactPow10[p] : a * kExactPow10[-p];
  }
  // The 15-digit mantissa is floor(y) or floor(y) + 1: compare the exact scaled value with the
  // half between them. A fused multiply-add rounds once, so the sign of its result is the sign
  // of the exact difference, and an exact tie shows as zero.
  const auto whole = static_cast<std::int64_t>(y);  // y < 2^50: exact truncation
  const double floor_y = static_cast<double>(whole);
  const double half = floor_y + 0.5;
  const double above_half = p >= 0 ? std::fma(-half, kExactPow10[p], a)    // a - half * 10^p
                                   : std::fma(a, kExactPow10[-p], -half);  // a * 10^-p - half
  // Branch-free: the comparison is unpredictable for arbitrary values.
  const int round_up = static_cast<int>(above_half > 0) |
                       (static_cast<int>(above_half == 0) & static_cast<int>(whole & 1));
  const double mantissa = floor_y + static_cast<double>(round_up);  // <= 1e15: exact
  // Clinger's fast path: both operands exact, so one IEEE operation gives the correctly rounded
  // value of the decimal.
  const double r = p >= 0 ? mantissa * kExactPow10[p] : mantissa / kExactPow10[-p];
  return std::copysign(r, x);
}

std::optional<double> ParseNumber(QStringView text) {
  qsizetype begin = 0;
  qsizetype end = text.size();
  while (begin < end && IsBlank(text[begin].unicode())) ++begin;
  while (end > begin && IsBlank(text[end - 1].unicode())) --end;

  std::string normalized;  // ASCII, "." as separator, no "+": what std::from_chars takes
  normalized.reserve(static_cast<std::size_t>(end - begin));
  qsizetype i = begin;
  bool negative = false;
  if (i < end && (text[i] == u'+' || text[i] == u'-')) {
    negative = text[i] == u'-';
    if (negative) normalized.push_back('-');
    ++i;
  }

  // Decimal position of the leading nonzero digit, to tell overflow from underflow.
  long long leading_position = 0;
  bool seen_nonzero = false;
  int mantissa_digits = 0;
  bool seen_separator = false;
  for (; i < end; ++i) {
    const char16_t c = text[i].unicode();
    if (IsDigit(c)) {
      ++mantissa_digits;
      if (!seen_nonzero && c != u'0') seen_nonzero = true;
      if (seen_nonzero && !seen_separator) ++leading_position;
      if (!seen_nonzero && seen_separator) --leading_position;
      normalized.push_back(static_cast<char>(c));
    } else if ((c == u',' || c == u'.') && !seen_separator) {
      seen_separator = true;
      normalized.push_back('.');
    } else {
      break;
    }
  }
  if (mantissa_digits == 0) return std::nullopt;

  long long exponent = 0;
  if (i < end) {
    if (text[i] != u'e' && text[i] != u'E') return std::nullopt;
    normalized.push_back('e');
    ++i;
    bool negative_exponent = false;
    if (i < end && (text[i] == u'+' || text[i] == u'-')) {
      negative_exponent = text[i] == u'-';
      normalized.push_back(static_cast<char>(text[i].unicode()));
      ++i;
    }
    int exponent_digits = 0;
    for (; i < end; ++i) {
      const char16_t c = text[i].unicode();
      if (!IsDigit(c)) return std::nullopt;
      ++exponent_digits;
      if (exponent < 1'000'000'000) exponent = exponent * 10 + (c - u'0');  // saturates
      normalized.push_back(static_cast<char>(c));
    }
    if (exponent_digits == 0) return std::nullopt;
    if (negative_exponent) exponent = -exponent;
  }

  double value = 0.0;
  const char* first = normalized.data();
  const char* last = first + normalized.size();
  const auto result = std::from_chars(first, last, value);
  if (result.ptr != last) return std::nullopt;
  if (result.ec == std::errc::result_out_of_range) {
    if (leading_position + exponent > 0) return std::nullopt;  // too large for a double
    return negative ? -0.0 : 0.0;                              // too small: zero
  }
  if (result.ec != std::errc()) return std::nullopt;
  return value;
}

double Round(double x, int decimals) {
  if (!std::isfinite(x)) return x;
  if (x == 0) return 0.0;
  Decimal15 d = ToDecimal15(std::fabs(x));
  // Digit i stands for 10^(exponent - i); keep those down to 10^-decimals.
  const long long kept_long = static_cast<long long>(d.exponent) + decimals + 1;
  if (kept_long >= kSignificantDigits) return RoundTo15Digits(x);
  if (kept_long < 0) return 0.0;  // below a tenth of the last kept place: rounds to 0
  const int kept = static_cast<int>(kept_long);

  // Compare the dropped digits with an exact half of the last kept place.
  int versus_half = d.digits[kept] < '5' ? -1 : d.digits[kept] > '5' ? 1 : 0;
  for (int i = kept + 1; versus_half == 0 && i < kSignificantDigits; ++i) {
    if (d.digits[i] != '0') versus_half = 1;
  }
  const bool last_kept_odd = kept > 0 && (d.digits[kept - 1] - '0') % 2 == 1;
  const bool round_up = versus_half > 0 || (versus_half == 0 && last_kept_odd);

  // The result is the integer digits[0..kept) (+1) times 10^-decimals.
  char digits[kSignificantDigits + 1];
  int count = kept;
  for (int i = 0; i < kept; ++i) digits[i] = d.digits[i];
  if (round_up) {
    int i = kept - 1;
    while (i >= 0 && digits[i] == '9') digits[i--] = '0';
    if (i >= 0) {
      ++digits[i];
    } else {  // all nines, or nothing kept: a 1 in front
      for (int j = count; j > 0; --j) digits[j] = digits[j - 1];
      digits[0] = '1';
      ++count;
    }
  }
  if (count == 0) return 0.0;  // nothing kept and below the half: zero
  return DecimalToDouble(digits, count, -decimals, x < 0);
}

}  // namespace quorvel
