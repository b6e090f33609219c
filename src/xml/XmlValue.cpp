// Tagged values: text forms and conversions, date-time arithmetic and Base64.
#include <charconv>
#include <cmath>
#include <cstdio>
#include <limits>

#include "internal/XmlInternal.h"

namespace {

constexpr double KMinDateTime = -693593.0;  // 0001-01-01
constexpr double KMaxDateTime = 2958466.0;  // 10000-01-01

// Days since 1970-01-01 of a civil date (proleptic Gregorian).
int64_t DaysFromCivil(int64_t y, unsigned m, unsigned d) {
  y -= m <= 2;
  const int64_t era = (y >= 0 ? y : y - 399) / 400;
  const unsigned yoe = static_cast<unsigned>(y - era * 400);
  const unsigned doy = (153 * (m + (m > 2 ? -3 : 9)) + 2) / 5 + d - 1;
  const unsigned doe = yoe * 365 + yoe / 4 - yoe / 100 + doy;
  return era * 146097 + static_cast<int64_t>(doe) - 719468;
}

void CivilFromDays(int64_t z, int& AYear, int& AMonth, int& ADay) {
  z += 719468;
  const int64_t era = (z >= 0 ? z : z - 146096) / 146097;
  const unsigned doe = static_cast<unsigned>(z - era * 146097);
  const unsigned yoe = (doe - doe / 1460 + doe / 36524 - doe / 146096) / 365;
  const int64_t y = static_cast<int64_t>(yoe) + era * 400;
  const unsigned doy = doe - (365 * yoe + yoe / 4 - yoe / 100);
  const unsigned mp = (5 * doy + 2) / 153;
  ADay = static_cast<int>(doy - (153 * mp + 2) / 5 + 1);
  AMonth = static_cast<int>(mp < 10 ? mp + 3 : mp - 9);
  AYear = static_cast<int>(y + (AMonth <= 2));
}

// The date epoch (day 0 of a date-time value), 1899-12-30, counted from 1970-01-01.
const int64_t KDateEpoch = DaysFromCivil(1899, 12, 30);

std::string Ascii(TKivStringView AText) {
  std::string out;
  out.reserve(AText.size());
  for (char16_t c : AText) out.push_back(c < 0x80 ? static_cast<char>(c) : '\x7f');
  return out;
}

TKivString FromAscii(std::string_view AText) {
  return TKivString(AText.begin(), AText.end());
}

TKivStringView Trimmed(TKivStringView AText) {
  while (!AText.empty() && XmlIsBlank(AText.front())) AText.remove_prefix(1);
  while (!AText.empty() && XmlIsBlank(AText.back())) AText.remove_suffix(1);
  return AText;
}

[[noreturn]] void CannotConvert(const TKivVariant& AValue, const char16_t* AType) {
  throw EKivXmlError(u"Could not convert \"%s\" into %s", {AValue.ToText(), AType});
}

bool ParseInt64(TKivStringView AText, int64_t& AResult) {
  std::string s = Ascii(Trimmed(AText));
  if (s.empty()) return false;
  const char* p = s.data();
  const char* end = s.data() + s.size();
  bool negative = false;
  if (*p == '+' || *p == '-') negative = *p++ == '-';
  int base = 10;
  if (p < end && *p == '$') {
    base = 16, ++p;
  } else if (end - p > 2 && p[0] == '0' && (p[1] == 'x' || p[1] == 'X')) {
    base = 16, p += 2;
  }
  if (p == end || *p == '+' || *p == '-') return false;
  uint64_t v = 0;
  auto [rest, ec] = std::from_chars(p, end, v, base);
  if (ec != std::errc() || rest != end) return false;
  if (base == 16 && v <= 0xFFFFFFFFull && end - p <= 8) {
    // Hexadecimal of up to 8 digits is a 32-bit pattern, as "$FFFFFFFF" = -1.
    v = static_cast<uint64_t>(static_cast<int64_t>(static_cast<int32_t>(static_cast<uint32_t>(v))));
    AResult = negative ? -static_cast<int64_t>(v) : static_cast<int64_t>(v);
    return true;
  }
  if (v > static_cast<uint64_t>(std::numeric_limits<int64_t>::max()) + (negative ? 1 : 0)) return false;
  AResult = negative ? static_cast<int64_t>(0 - v) : static_cast<int64_t>(v);
  return true;
}

bool ParseFloat(TKivStringView AText, double& AResult) {
  std::string s = Ascii(Trimmed(AText));
  auto sep = s.find_first_of(",.");
  if (sep != std::string::npos) s[sep] = '.';
  if (s.empty()) return false;
  const char* p = s.data();
  if (*p == '+') ++p;
  auto [rest, ec] = std::from_chars(p, s.data() + s.size(), AResult);
  return ec == std::errc() && rest == s.data() + s.size();
}

bool ParseDateTime(TKivStringView AText, TKivDateTime& AResult) {
  std::string s = Ascii(Trimmed(AText));
  int y = 0, mo = 0, d = 0, h = 0, mi = 0, sec = 0;
  char tail = 0;
  int n = 0;
  if (std::sscanf(s.c_str(), "%4d-%2d-%2d%n", &y, &mo, &d, &n) != 3 || n != 10) return false;
  if (s.size() > 10) {
    int m = 0;
    if (s[10] != 'T' && s[10] != ' ') return false;
    if (std::sscanf(s.c_str() + 11, "%2d%*[-:]%2d%*[-:]%2d%n%c", &h, &mi, &sec, &m, &tail) != 3 ||
        11 + m != static_cast<int>(s.size()))
      return false;
  }
  if (y < 1 || mo < 1 || mo > 12 || d < 1 || d > 31 || h > 23 || mi > 59 || sec > 59 || h < 0 || mi < 0 ||
      sec < 0)
    return false;
  int cy, cm, cd;
  CivilFromDays(DaysFromCivil(y, mo, d), cy, cm, cd);
  if (cd != d) return false;  // 31 April and the like
  AResult = KivEncodeDateTime(y, mo, d, h, mi, sec);
  return true;
}

TKivString FloatText(double AValue) {
  char buf[64];
  auto [end, ec] = std::to_chars(buf, buf + sizeof buf, AValue);
  if (ec != std::errc()) return u"0";
  return FromAscii(std::string_view(buf, end - buf));
}

TKivString CurrencyText(int64_t AValue) {
  uint64_t mag = AValue < 0 ? 0 - static_cast<uint64_t>(AValue) : static_cast<uint64_t>(AValue);
  std::string s = std::to_string(mag / 10000);
  unsigned frac = static_cast<unsigned>(mag % 10000);
  if (frac) {
    char buf[8];
    std::snprintf(buf, sizeof buf, ".%04u", frac);
    std::string f = buf;
    while (f.back() == '0') f.pop_back();
    s += f;
  }
  if (AValue < 0) s.insert(s.begin(), '-');
  return FromAscii(s);
}

const char KBase64[] = "ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz0123456789+/";

}  // namespace

TKivDateTime KivEncodeDateTime(int AYear, int AMonth, int ADay, int AHour, int AMinute, int ASecond) {
  double days = static_cast<double>(
      DaysFromCivil(AYear, static_cast<unsigned>(AMonth), static_cast<unsigned>(ADay)) - KDateEpoch);
  double time = (AHour * 3600.0 + AMinute * 60.0 + ASecond) / 86400.0;
  // Before the epoch the fraction still counts forward within the day: -1.25 is 29 Dec, 06:00.
  return TKivDateTime{days < 0 ? days - time : days + time};
}

bool KivDecodeDateTime(TKivDateTime AValue, int& AYear, int& AMonth, int& ADay, int& AHour, int& AMinute,
                       int& ASecond) {
  double v = AValue.Value;
  if (!(v > KMinDateTime - 1 && v < KMaxDateTime)) return false;
  double whole = std::trunc(v);
  auto secs = static_cast<int64_t>(std::llround(std::fabs(v - whole) * 86400.0));
  if (secs >= 86400) secs = 86399;
  CivilFromDays(static_cast<int64_t>(whole) + KDateEpoch, AYear, AMonth, ADay);
  if (AYear < 1 || AYear > 9999) return false;
  AHour = static_cast<int>(secs / 3600);
  AMinute = static_cast<int>(secs / 60 % 60);
  ASecond = static_cast<int>(secs % 60);
  return true;
}

TKivString KivBase64Encode(const uint8_t* AData, size_t ASize, Integer ALineLength) {
  TKivString out;
  out.reserve((ASize + 2) / 3 * 4 + 8);
  size_t column = 0;
  auto put = [&](char c) {
    if (ALineLength > 0 && column == static_cast<size_t>(ALineLength)) {
      out += u"\r\n";
      column = 0;
    }
    out.push_back(static_cast<char16_t>(c));
    ++column;
  };
  for (size_t i = 0; i < ASize; i += 3) {
    uint32_t n = static_cast<uint32_t>(AData[i]) << 16;
    if (i + 1 < ASize) n |= static_cast<uint32_t>(AData[i + 1]) << 8;
    if (i + 2 < ASize) n |= AData[i + 2];
    put(KBase64[n >> 18 & 63]);
    put(KBase64[n >> 12 & 63]);
    put(i + 1 < ASize ? KBase64[n >> 6 & 63] : '=');
    put(i + 2 < ASize ? KBase64[n & 63] : '=');
  }
  return out;
}

std::vector<uint8_t> KivBase64Decode(TKivStringView AText) {
  std::vector<uint8_t> out;
  size_t significant = 0;
  for (char16_t c : AText)
    if (!XmlIsBlank(c)) ++significant;
  if (significant <= 3) return out;
  out.reserve(significant / 4 * 3 + 3);
  uint32_t bits = 0;
  int count = 0;
  for (char16_t c : AText) {
    if (XmlIsBlank(c)) continue;
    if (c == u'=') break;
    int v;
    if (c >= u'A' && c <= u'Z')
      v = c - u'A';
    else if (c >= u'a' && c <= u'z')
      v = c - u'a' + 26;
    else if (c >= u'0' && c <= u'9')
      v = c - u'0' + 52;
    else if (c == u'+')
      v = 62;
    else if (c == u'/')
      v = 63;
    else
      throw EKivXmlError(u"Invalid character in Base64 text");
    bits = (bits << 6) | static_cast<uint32_t>(v);
    if (++count == 4) {
      out.push_back(static_cast<uint8_t>(bits >> 16));
      out.push_back(static_cast<uint8_t>(bits >> 8));
      out.push_back(static_cast<uint8_t>(bits));
      bits = 0, count = 0;
    }
  }
  if (count == 2) out.push_back(static_cast<uint8_t>(bits >> 4));
  if (count == 3) {
    out.push_back(static_cast<uint8_t>(bits >> 10));
    out.push_back(static_cast<uint8_t>(bits >> 2));
  }
  return out;
}

TKivString TKivVariant::ToText() const {
  switch (Type()) {
    case vtEmpty:
      return {};
    case vtNull:
      return u"{{null}}";
    case vtInteger:
      return FromAscii(std::to_string(IntValue()));
    case vtFloat:
      return FloatText(FloatValue());
    case vtCurrency:
      return CurrencyText(CurrencyValue().Value);
    case vtDateTime: {
      int y, mo, d, h, mi, s;
      if (!KivDecodeDateTime(DateTimeValue(), y, mo, d, h, mi, s)) return FloatText(DateTimeValue().Value);
      char buf[32];
      std::snprintf(buf, sizeof buf, "%.4d-%.2d-%.2dT%.2d-%.2d-%.2d", y, mo, d, h, mi, s);
      return FromAscii(buf);
    }
    case vtBoolean:
      return BoolValue() ? u"1" : u"0";
    case vtString:
      return StringValue();
    case vtBytes:
      return KivBase64Encode(BytesValue().data(), BytesValue().size());
  }
  return {};
}

bool TKivVariant::ToBool() const {
  switch (Type()) {
    case vtEmpty:
      return false;
    case vtBoolean:
      return BoolValue();
    case vtInteger:
      return IntValue() != 0;
    case vtFloat:
      return FloatValue() != 0;
    case vtCurrency:
      return CurrencyValue().Value != 0;
    case vtDateTime:
      return DateTimeValue().Value != 0;
    case vtString: {
      TKivStringView t = Trimmed(StringValue());
      if (XmlSameTextIgnoreCase(t, u"true")) return true;
      if (XmlSameTextIgnoreCase(t, u"false")) return false;
      int64_t i;
      if (ParseInt64(t, i)) return i != 0;
      double f;
      if (ParseFloat(t, f)) return f != 0;
      break;
    }
    default:
      break;
  }
  CannotConvert(*this, u"Boolean");
}

int64_t TKivVariant::ToInt() const {
  auto rounded = [this](double v) -> int64_t {
    if (!(std::fabs(v) < 9.2e18)) CannotConvert(*this, u"Integer");
    return static_cast<int64_t>(std::nearbyint(v));
  };
  switch (Type()) {
    case vtEmpty:
      return 0;
    case vtBoolean:
      return BoolValue() ? 1 : 0;
    case vtInteger:
      return IntValue();
    case vtFloat:
      return rounded(FloatValue());
    case vtCurrency:
      return rounded(static_cast<double>(CurrencyValue().Value) / 10000.0);
    case vtDateTime:
      return rounded(DateTimeValue().Value);
    case vtString: {
      int64_t i;
      if (ParseInt64(StringValue(), i)) return i;
      double f;
      if (ParseFloat(StringValue(), f)) return rounded(f);
      break;
    }
    default:
      break;
  }
  CannotConvert(*this, u"Integer");
}

double TKivVariant::ToFloat() const {
  switch (Type()) {
    case vtEmpty:
      return 0;
    case vtBoolean:
      return BoolValue() ? 1 : 0;
    case vtInteger:
      return static_cast<double>(IntValue());
    case vtFloat:
      return FloatValue();
    case vtCurrency:
      return static_cast<double>(CurrencyValue().Value) / 10000.0;
    case vtDateTime:
      return DateTimeValue().Value;
    case vtString: {
      double f;
      if (ParseFloat(StringValue(), f)) return f;
      break;
    }
    default:
      break;
  }
  CannotConvert(*this, u"Float");
}

TKivDateTime TKivVariant::ToDateTime() const {
  switch (Type()) {
    case vtDateTime:
      return DateTimeValue();
    case vtString: {
      TKivDateTime dt;
      if (ParseDateTime(StringValue(), dt)) return dt;
      double f;
      if (ParseFloat(StringValue(), f)) return TKivDateTime{f};
      break;
    }
    case vtNull:
    case vtBytes:
      break;
    default:
      return TKivDateTime{ToFloat()};
  }
  CannotConvert(*this, u"DateTime");
}
