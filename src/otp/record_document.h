// A stored record file as a front end hands it on: its bytes read with the
// reasons a person understands, and the listing as one JSON document. The
// zorvel command's `record --json` and the Python package print the same one.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

#include "otp/record_listing.h"

namespace zorvel {

// The file's bytes, or false with a one-line reason ("is a directory",
// "cannot be opened for reading (...)"). A regular file whose size fits
// neither record is not read at all: size alone is the whole story, and
// bytes stays empty.
bool read_record_file(const std::string& path, std::vector<uint8_t>& bytes, size_t& size, std::string& why);

// file, kind, size, valid, failures, and the fields only when the record is
// valid. No trailing line feed.
std::string record_listing_json(const std::string& path, const record_listing& listing);

}  // namespace zorvel
