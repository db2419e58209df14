// Records with a distinct, plausible value in every field, for round trips.
#pragma once

#include <type_traits>

#include "otp/otp_record.h"
#include "otp/record_fields.h"

namespace zorvel::test {

template <class Record>
Record numbered_record() {
  Record record;
  int n = 1;
  for_each_field(record, [&](auto& field) {
    for_each_element(field, [&](auto& value) {
      using T = std::remove_reference_t<decltype(value)>;
      value = static_cast<T>(std::is_floating_point_v<T> ? n++ + 0.125 : n++ % 100);
    });
  });
  if constexpr (std::is_same_v<Record, zorvel_otp_interim_data>) record.l_chart_point_count = 200;  // full
  return record;
}

}  // namespace zorvel::test
