#include "config/c_numeric_locale.h"

#include <clocale>

namespace zorvel {

#if defined(_WIN32)

c_numeric_locale::c_numeric_locale() {
  previous_mode_ = _configthreadlocale(_ENABLE_PER_THREAD_LOCALE);
  if (const char* current = std::setlocale(LC_NUMERIC, nullptr)) previous_numeric_ = current;
  std::setlocale(LC_NUMERIC, "C");
}

c_numeric_locale::~c_numeric_locale() {
  if (!previous_numeric_.empty()) std::setlocale(LC_NUMERIC, previous_numeric_.c_str());
  _configthreadlocale(previous_mode_);
}

#else

c_numeric_locale::c_numeric_locale() {
  // Copy the thread's current locale and replace only its numeric category,
  // so character classes and messages of the caller stay as they were.
  previous_ = uselocale(static_cast<locale_t>(nullptr));
  locale_t copy = duplocale(previous_);
  if (copy == static_cast<locale_t>(nullptr)) return;
  locale_t numeric_c = newlocale(LC_NUMERIC_MASK, "C", copy);
  if (numeric_c == static_cast<locale_t>(nullptr)) {
    freelocale(copy);
    return;
  }
  numeric_c_ = numeric_c;
  uselocale(numeric_c_);
}

c_numeric_locale::~c_numeric_locale() {
  if (numeric_c_ == static_cast<locale_t>(nullptr)) return;
  uselocale(previous_);
  freelocale(numeric_c_);
}

#endif

}  // namespace zorvel
