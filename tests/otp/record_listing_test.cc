// The record listing: names and offsets follow the stored layout, every value
// is the stored one, and each kind of damage is named by the field at fault.
#include <gtest/gtest.h>

#include <cmath>
#include <functional>
#include <limits>
#include <set>
#include <string>

#include "otp/otp_codec.h"
#include "otp/record_listing.h"
#include "otp_test_records.h"
#include "zorvel_version.h"

namespace zorvel::test {
namespace {

template <class Record>
record_listing listing_of(const Record& record) {
  std::vector<uint8_t> bytes;
  if constexpr (std::is_same_v<Record, zorvel_otp_data>) {
    bytes = encode_otp_data(record);
  } else {
    bytes = encode_interim_data(record);
  }
  return list_record(bytes.data(), bytes.size());
}

template <class Record>
Record sound_record() {
  Record r = numbered_record<Record>();
  r.version = kLibraryVersion;
  r.dewarp_version = kDewarpVersion;
  const float yaw = 0.02f;  // a rotation about the row axis
  const float rot[9] = {1, 0, 0, 0, std::cos(yaw), -std::sin(yaw), 0, std::sin(yaw), std::cos(yaw)};
  std::copy(std::begin(rot), std::end(rot), std::begin(r.rot));
  if constexpr (std::is_same_v<Record, zorvel_otp_data>) {
    r.reserved = 0;
    r.hd_rms_zoned_tenths[0] = -126;
    r.hd_rms_zoned_tenths[1] = 127;
  } else {
    r.l_chart_point_count = 200;
  }
  return r;
}

const record_field* field_named(const record_listing& l, std::string_view name) {
  for (const auto& f : l.fields) {
    if (f.name == name) return &f;
  }
  return nullptr;
}

template <class Record>
void expect_listing_matches(const Record& record, size_t file_size) {
  const record_listing l = listing_of(record);
  ASSERT_EQ(l.size, file_size);
  size_t at = 0, index = 0;
  std::set<std::string_view> names;
  for_each_field(record, [&](const auto& field) {
    const record_field& f = l.fields.at(index++);
    EXPECT_EQ(f.offset, at) << f.name;
    EXPECT_TRUE(names.insert(f.name).second) << f.name << " named twice";
    size_t element = 0;
    for_each_element(field, [&](auto value) {
      EXPECT_EQ(f.values.at(element++), static_cast<double>(value)) << f.name;
      at += sizeof(value);
    });
    EXPECT_EQ(f.values.size(), element) << f.name;
  });
  EXPECT_EQ(at, file_size);
  EXPECT_EQ(index, l.fields.size());
}

TEST(RecordListing, ListsEveryStoredValueAtItsOffsetUnderItsName) {
  expect_listing_matches(numbered_record<zorvel_otp_data>(), kOtpFileSize);
  expect_listing_matches(numbered_record<zorvel_otp_interim_data>(), kInterimFileSize);

  zorvel_otp_data otp = sound_record<zorvel_otp_data>();
  otp.main_kp_fl_ratio[0] = 30;
  otp.main_adjust_ratio[0] = -50;
  const record_listing l = listing_of(otp);
  ASSERT_TRUE(l.valid()) << l.failures.front().field << " " << l.failures.front().message;
  EXPECT_EQ(l.kind, stored_record_kind::otp);
  const struct {
    std::string_view name;
    size_t offset;
    std::string_view unit;
    stored_type type;
  } spots[] = {
      {"version", 0, "", stored_type::u32},         {"rot", 36, "", stored_type::f32},
      {"cam_baseline_mm", 210, "mm", stored_type::f32},
      {"dewarp_version", 226, "", stored_type::u8}, {"aux_dewarp_coeff", 227, "", stored_type::f64},
      {"hd_rms_zoned_tenths", 306, "0.1px", stored_type::i8},
      {"aux_adjust_ratio", 465, "1e-4", stored_type::i8},
  };
  for (const auto& s : spots) {
    const record_field* f = field_named(l, s.name);
    ASSERT_NE(f, nullptr) << s.name;
    EXPECT_EQ(f->offset, s.offset) << s.name;
    EXPECT_EQ(f->unit, s.unit) << s.name;
    EXPECT_EQ(f->type, s.type) << s.name;
  }
  EXPECT_EQ(field_named(l, "main_kp_fl_ratio")->decoded.at(0), static_cast<double>(1.003f));
  EXPECT_EQ(field_named(l, "main_adjust_ratio")->decoded.at(0), static_cast<double>(0.995f));
  EXPECT_TRUE(field_named(l, "geo")->decoded.empty());
  EXPECT_TRUE(listing_of(sound_record<zorvel_otp_interim_data>()).valid());
}

TEST(RecordListing, NamesTheFieldOfEachDamage) {
  const float nan = std::numeric_limits<float>::quiet_NaN();
  const struct {
    const char* what;
    std::function<void(zorvel_otp_data&)> damage;
    std::string field, message_part;
  } cases[] = {
      {"older version", [](auto& r) { r.version = 0x10606; }, "version", "0x10606; this library writes 0x10607"},
      {"dewarp model", [](auto& r) { r.dewarp_version = 3; }, "dewarp_version", "is 3"},
      {"sheared rotation", [](auto& r) { r.rot[1] = 0.05f; }, "rot", "not orthonormal"},
      {"reflection", [](auto& r) { r.rot[0] = -1.0f; }, "rot", "reflection"},
      {"NaN coefficient", [&](auto& r) { r.geo[5] = nan; }, "geo", "has 1 of 32 values that are not finite"},
      {"infinite measure", [](auto& r) { r.flat_residual_vd = INFINITY; }, "flat_residual_vd", "not a finite"},
      {"zero focal length", [](auto& r) { r.aux_focal_length_px = 0.0f; }, "aux_focal_length_px", "positive"},
      {"negative ratio", [](auto& r) { r.main_focal_length_ratio = -1.0f; }, "main_focal_length_ratio", "positive"},
      {"zone below -126", [](auto& r) { r.hd_rms_zoned_tenths[4] = -127; }, "hd_rms_zoned_tenths", "zone 4"},
      {"reserved byte", [](auto& r) { r.reserved = 1; }, "reserved", "always 0"},
  };
  for (const auto& c : cases) {
    zorvel_otp_data r = sound_record<zorvel_otp_data>();
    c.damage(r);
    const record_listing l = listing_of(r);
    ASSERT_EQ(l.failures.size(), 1u) << c.what;
    EXPECT_EQ(l.failures[0].field, c.field) << c.what;
    EXPECT_NE(l.failures[0].message.find(c.message_part), std::string::npos) << c.what << ": " << l.failures[0].message;
  }

  zorvel_otp_interim_data interim = sound_record<zorvel_otp_interim_data>();
  interim.l_chart_point_count = 201;
  interim.rot[3] = nan;  // a non-finite rotation is reported once, not also as sheared
  const record_listing l = listing_of(interim);
  ASSERT_EQ(l.failures.size(), 2u);
  EXPECT_EQ(l.failures[0].field, "rot");
  EXPECT_EQ(l.failures[1].field, "l_chart_point_count");
}

TEST(RecordListing, RefusesOtherSizesAndErasedRecordsWhole) {
  for (size_t size : {size_t{0}, size_t{100}, kOtpFileSize - 1, kOtpFileSize + 1, kInterimFileSize - 1,
                      kInterimFileSize + 1}) {
    const std::vector<uint8_t> bytes(size + 1, 0);
    const record_listing l = list_record(bytes.data(), size);
    EXPECT_EQ(l.kind, stored_record_kind::none) << size;
    EXPECT_TRUE(l.fields.empty()) << size;
    ASSERT_EQ(l.failures.size(), 1u) << size;
    EXPECT_EQ(l.failures[0].field, "size");
    EXPECT_EQ(l.failures[0].message.find("is " + std::to_string(size) + " bytes"), 0u) << l.failures[0].message;
  }
  // Erased memory reads as all ones: wrong versions and NaN everywhere.
  const std::vector<uint8_t> erased(kOtpFileSize, 0xFF);
  const record_listing l = list_record(erased.data(), erased.size());
  EXPECT_FALSE(l.valid());
  std::set<std::string> named;
  for (const auto& f : l.failures) named.insert(f.field);
  for (const char* field : {"version", "dewarp_version", "rot", "geo", "main_focal_length_px", "reserved"}) {
    EXPECT_TRUE(named.count(field)) << field;
  }
}

}  // namespace
}  // namespace zorvel::test
