#include <memory>

#include <unicode/datefmt.h>
#include <unicode/locid.h>
#include <unicode/ulocdata.h>

#include "KivPrinter.h"

namespace {

// The process's default ICU locale: its measurement system and short date and time formats.
class TIcuPrintLocale : public IKivPrintLocale {
 public:
  bool Metric() const override {
    UErrorCode status = U_ZERO_ERROR;
    const UMeasurementSystem system = ulocdata_getMeasurementSystem(icu::Locale::getDefault().getName(), &status);
    return U_FAILURE(status) || system != UMS_US;
  }
  TKivString ShortDate(std::chrono::system_clock::time_point ATime) const override {
    return Format(std::unique_ptr<icu::DateFormat>(icu::DateFormat::createDateInstance(icu::DateFormat::kShort)),
                  ATime);
  }
  TKivString ShortTime(std::chrono::system_clock::time_point ATime) const override {
    return Format(std::unique_ptr<icu::DateFormat>(icu::DateFormat::createTimeInstance(icu::DateFormat::kShort)),
                  ATime);
  }

 private:
  static TKivString Format(std::unique_ptr<icu::DateFormat> AFormat, std::chrono::system_clock::time_point ATime) {
    if (!AFormat) return {};
    const UDate date =
        double(std::chrono::duration_cast<std::chrono::milliseconds>(ATime.time_since_epoch()).count());
    icu::UnicodeString text;
    AFormat->format(date, text);
    return TKivString(text.getBuffer(), size_t(text.length()));
  }
};

}  // namespace

IKivPrintLocale& KivDefaultPrintLocale() {
  static TIcuPrintLocale locale;
  return locale;
}
