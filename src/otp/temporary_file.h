// The platform half of replacing a file: a uniquely named temporary beside
// the target, removal of temporaries a killed run left behind, syncing, and
// the rename that puts the new bytes in place in one step.
#pragma once

#include <cstdio>
#include <string>

namespace zorvel {

// Temporaries are "<target>.tmp" followed by a unique suffix, so a leftover
// of any earlier run (including the old numbered ".tmpN" names) is ours.
inline std::string temporary_prefix(const std::string& target) { return target + ".tmp"; }

// A temporary older than this is a leftover: no write takes that long.
constexpr int kStaleTemporarySeconds = 300;

// Opens a new, uniquely named temporary in the target's folder for binary
// writing (exclusive creation, the permissions a plain "wb" would give).
// Null when none could be created.
std::FILE* create_temporary(const std::string& target, std::string& temporary);

// Removes the target's temporaries older than kStaleTemporarySeconds; a
// younger one may belong to a run still writing. Failures are ignored.
void remove_stale_temporaries(const std::string& target);

// Flushes the stream's data to the disk (after fflush).
bool sync_to_disk(std::FILE* file);

// Renames the temporary over the target in one step, replacing an existing
// file, and makes the rename itself durable.
bool rename_over(const std::string& temporary, const std::string& target);

// A target that exists but is not a regular file (a device, a pipe) is
// written in place rather than replaced.
bool exists_but_not_regular(const std::string& target);

// The file a symbolic link points at, so the link survives the replacement;
// the path itself for anything else.
std::string resolve_link(const std::string& target);

}  // namespace zorvel
