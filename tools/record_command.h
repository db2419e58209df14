// `zorvel record FILE [--json]`: lists a stored OTP or interim record field
// by field and checks it. Exit status 0 for a record that passes every
// check, 1 for one that cannot be read or fails a check, 2 on a usage error.
#pragma once

namespace zorvel::tools {

// args are the words after "record".
int record_command(int argc, char** args);

// The help text of the listing, shown by `zorvel record --help`.
extern const char* const kRecordUsage;

}  // namespace zorvel::tools
