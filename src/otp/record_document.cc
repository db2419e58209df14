// The record file read for a listing and the listing as JSON, shared by the
// zorvel command and the Python package.
#include "otp/record_document.h"

#include <cerrno>
#include <cstdio>
#include <cstring>
#include <filesystem>
#include <system_error>

#include "common/json_writer.h"
#include "otp/otp_record.h"

namespace zorvel {

bool read_record_file(const std::string& path, std::vector<uint8_t>& bytes, size_t& size,
                      std::string& why) {
  std::error_code ec;
  if (std::filesystem::is_directory(path, ec)) {
    why = "is a directory";
    return false;
  }
  size_t wanted = kInterimFileSize + 1;  // a pipe: just past the larger record
  if (const auto whole = std::filesystem::file_size(path, ec); !ec) {
    size = static_cast<size_t>(whole);
    if (size != kOtpFileSize && size != kInterimFileSize) return true;
    wanted = size;
  }
  std::FILE* file = std::fopen(path.c_str(), "rb");
  if (!file) {
    why = std::string("cannot be opened for reading (") + std::strerror(errno) + ")";
    return false;
  }
  bytes.resize(wanted);
  bytes.resize(std::fread(bytes.data(), 1, bytes.size(), file));
  const bool failed = std::ferror(file) != 0;
  std::fclose(file);
  if (failed) {
    why = "cannot be read";
    return false;
  }
  size = bytes.size();
  return true;
}

namespace {

void write_number(json_writer& json, const record_field& f, double v) {
  switch (f.type) {
    case stored_type::f32:
      json.value(static_cast<float>(v));
      break;
    case stored_type::f64:
      json.value(v);
      break;
    default:
      json.value(static_cast<int64_t>(v));
  }
}

}  // namespace

std::string record_listing_json(const std::string& path, const record_listing& listing) {
  json_writer json;
  json.begin_object()
      .field("file", path)
      .field("kind", record_kind_name(listing.kind))
      .field("size", static_cast<uint64_t>(listing.size))
      .field("valid", listing.valid());
  json.key("failures").begin_array();
  for (const auto& failure : listing.failures) {
    json.begin_object().field("field", failure.field).field("message", failure.message).end_object();
  }
  json.end_array();
  if (listing.valid()) {
    json.key("fields").begin_object();
    for (const record_field& f : listing.fields) {
      json.key(f.name).begin_object();
      json.field("offset", static_cast<uint64_t>(f.offset)).field("type", stored_type_name(f.type));
      json.field("unit", f.unit);
      if (f.values.size() == 1) {
        json.key("value");
        write_number(json, f, f.values[0]);
      } else {
        json.key("values").begin_array();
        for (double v : f.values) write_number(json, f, v);
        json.end_array();
      }
      if (!f.decoded.empty()) {
        json.key("ratios").begin_array();
        for (double v : f.decoded) json.value(static_cast<float>(v));
        json.end_array();
      }
      json.end_object();
    }
    json.end_object();
  }
  json.end_object();
  return json.text();
}

}  // namespace zorvel
