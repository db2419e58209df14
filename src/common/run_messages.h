// The message that ended a run, as data. Failure sites print their message
// through report_failure, which prints exactly what printf would and also
// keeps the first such message of the current run (one line, trimmed), so the
// run's result can say why it stopped without anything printed changing.
#pragma once

#include <string>

namespace zorvel {

#if defined(__GNUC__)
__attribute__((format(printf, 1, 2)))
#endif
void report_failure(const char* format, ...);

// Starts a run's collection: forgets the message kept so far.
void clear_failure_message();

// The first message reported since clear_failure_message, empty when none.
const std::string& first_failure_message();

}  // namespace zorvel
