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
  // A plain C locale rather than a copy of the caller's with only the
  // numeric category replaced: the library uses no other locale-dependent
  // function, and glibc's newlocale leaks a little on every call that is
  // given such a copy while LOCPATH is set.
  locale_t numeric_c = newlocale(LC_NUMERIC_MASK, "C", static_cast<locale_t>(nullptr));
  if (numeric_c == static_cast<locale_t>(nullptr)) return;
  numeric_c_ = numeric_c;
  previous_ = uselocale(numeric_c_);
}

c_numeric_locale::~c_numeric_locale() {
  if (numeric_c_ == static_cast<locale_t>(nullptr)) return;
  uselocale(previous_);
  freelocale(numeric_c_);
}

#endif

}  // namespace zorvel
