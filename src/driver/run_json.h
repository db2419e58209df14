// The JSON result of a run: one object, described by the schema shipped as
// share/zorvel/run-result.schema.json. Numbers in the C conventions with the
// digits that read back; anything not measured is null.
#pragma once

#include <string>

#include "driver/run_result.h"

namespace zorvel {

inline constexpr const char* kRunResultSchemaId = "zorvel-run-result";
inline constexpr int kRunResultSchemaVersion = 1;

// key_point_lists adds every key point and per-pair disparity; counts are
// always written.
std::string run_result_json(const zorvel_run_result& r, bool key_point_lists);

const char* run_kind_name(zorvel_run_kind kind);
const char* run_status_name(zorvel_run_status status);

}  // namespace zorvel
