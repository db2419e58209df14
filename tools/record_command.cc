// The record listing of the zorvel command: the library's reader does the
// decoding, the checks and the JSON document; this file only lays out the
// text. A record that fails a check is never listed as if it were valid: the
// text listing is replaced by the failures, and the JSON carries "valid":
// false, the failures and no fields.
#include "record_command.h"

#include <algorithm>
#include <charconv>
#include <cstdio>
#include <string>
#include <vector>

#include "otp/record_document.h"
#include "otp/record_listing.h"

namespace zorvel::tools {

const char* const kRecordUsage =
    "Usage: zorvel record FILE [--json]\n"
    "\n"
    "Lists a stored OTP record (470 bytes) or interim record (2577 bytes) field\n"
    "by field with units, after checking its size, versions, numbers, rotation\n"
    "and byte ranges. A record failing a check is not listed: each failure is\n"
    "named on standard error. --json writes the listing (or the failures) as\n"
    "one JSON document on standard output.\n"
    "\n"
    "Exit status: 0 valid record, 1 unreadable or failing record, 2 usage error.\n";

namespace {

constexpr int kExitValid = 0;
constexpr int kExitInvalid = 1;
constexpr int kExitUsage = 2;

int usage_error(const std::string& why) {
  std::fprintf(stderr, "zorvel record: %s\n", why.c_str());
  std::fputs(kRecordUsage, stderr);
  return kExitUsage;
}

// Shortest text reading back to the stored value, in its own precision.
std::string stored_text(stored_type type, std::string_view name, double v) {
  char text[64];
  std::to_chars_result end{};
  if (type == stored_type::f32) {
    end = std::to_chars(text, text + sizeof text, static_cast<float>(v));
  } else if (type == stored_type::f64) {
    end = std::to_chars(text, text + sizeof text, v);
  } else if (name == "version") {
    end = std::to_chars(text + 2, text + sizeof text, static_cast<uint32_t>(v), 16);
    text[0] = '0', text[1] = 'x';
  } else {
    end = std::to_chars(text, text + sizeof text, static_cast<int64_t>(v));
  }
  return std::string(text, end.ptr);
}

std::string element_text(const record_field& f, size_t i) {
  std::string text = stored_text(f.type, f.name, f.values[i]);
  if (!f.decoded.empty()) text += " (" + stored_text(stored_type::f32, "", f.decoded[i]) + ")";
  return text;
}

std::string padded(std::string text, size_t width) {
  if (text.size() < width) text.append(width - text.size(), ' ');
  return text;
}

void print_text(const std::string& path, const record_listing& listing) {
  const bool otp = listing.kind == stored_record_kind::otp;
  std::printf("%s record %s: %zu bytes, every check passed\n\n", otp ? "OTP" : "Interim", path.c_str(),
              listing.size);
  constexpr size_t kName = 40, kUnit = 7, kType = 5;
  const std::string indent(7 + kName + kUnit + kType, ' ');
  std::printf("%6s %s%s%s%s\n", "offset", padded("field", kName).c_str(), padded("unit", kUnit).c_str(),
              padded("type", kType).c_str(), "value");
  for (const record_field& f : listing.fields) {
    std::printf("%6zu %s%s%s", f.offset, padded(std::string(f.name), kName).c_str(),
                padded(std::string(f.unit), kUnit).c_str(), padded(stored_type_name(f.type), kType).c_str());
    if (f.values.size() == 1) {
      std::printf("%s\n", element_text(f, 0).c_str());
      continue;
    }
    const size_t per_row = static_cast<size_t>(f.per_row), n = f.values.size();
    const auto range = [&](size_t first) {
      std::string text = "[";  // appended, not added: GCC 12 -O3 warns falsely on "x" + string
      text += std::to_string(first);
      text += "..";
      text += std::to_string(std::min(first + per_row, n) - 1);
      return text + "]";
    };
    const size_t range_width = range((n - 1) / per_row * per_row).size();
    for (size_t first = 0; first < n; first += per_row) {
      const size_t last = std::min(first + per_row, n) - 1;
      std::string line = padded(range(first), range_width);
      for (size_t i = first; i <= last; ++i) {
        line += ' ';
        line += element_text(f, i);
      }
      std::printf("%s%s\n", first == 0 ? "" : indent.c_str(), line.c_str());
    }
  }
  if (!otp) {
    std::printf("\nThe point and label arrays hold l_chart_point_count used entries; the rest are 0.\n");
  }
}

}  // namespace

int record_command(int argc, char** args) {
  const char* path = nullptr;
  bool as_json = false;
  for (int i = 0; i < argc; ++i) {
    const std::string arg = args[i];
    if (arg == "--help" || arg == "-h") {
      std::fputs(kRecordUsage, stdout);
      return kExitValid;
    }
    if (arg == "--json") {
      as_json = true;
      continue;
    }
    if (arg.size() > 1 && arg[0] == '-') return usage_error("unknown option " + arg);
    if (path) return usage_error("more than one record file given");
    path = args[i];
  }
  if (!path) return usage_error("no record file given");

  std::vector<uint8_t> bytes;
  size_t size = 0;
  std::string why;
  if (!read_record_file(path, bytes, size, why)) {
    std::fprintf(stderr, "zorvel record: %s %s\n", path, why.c_str());
    return kExitInvalid;
  }
  const record_listing listing = list_record(bytes.empty() ? nullptr : bytes.data(), size);
  for (const auto& failure : listing.failures) {
    std::fprintf(stderr, "zorvel record: %s: %s %s\n", path, failure.field.c_str(), failure.message.c_str());
  }
  if (as_json) {
    std::printf("%s\n", record_listing_json(path, listing).c_str());
  } else if (listing.valid()) {
    print_text(path, listing);
  }
  std::fflush(stdout);
  return listing.valid() ? kExitValid : kExitInvalid;
}

}  // namespace zorvel::tools
