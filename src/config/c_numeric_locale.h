// Switches the calling thread to the C locale (decimal point '.') for the
// lifetime of the guard and restores the thread's previous locale
// afterwards. Station software may have set LC_NUMERIC to a comma locale;
// configuration values and printed reports must not depend on that.
#pragma once

#if defined(_WIN32)
#include <string>
#else
#include <locale.h>
#endif

namespace zorvel {

class c_numeric_locale {
 public:
  c_numeric_locale();
  ~c_numeric_locale();
  c_numeric_locale(const c_numeric_locale&) = delete;
  c_numeric_locale& operator=(const c_numeric_locale&) = delete;

 private:
#if defined(_WIN32)
  int previous_mode_ = 0;
  std::string previous_numeric_;
#else
  locale_t numeric_c_ = nullptr;  // owned; null when it could not be created
  locale_t previous_ = nullptr;   // the thread's locale before the guard
#endif
};

}  // namespace zorvel
