// Grid labelling: from the origin, follow the chart's grid lines through the
// key-point map and give every corner reached its labels (Yw rows, Xw
// columns, and on the L chart the depth label Zw).
#pragma once

#include <cstdint>
#include <vector>

#include "detect/chart_pair.h"
#include "detect/line_search.h"
#include "detect/origin_search.h"

namespace zorvel {

enum class chart_kind { flat, l_chart };

inline constexpr int32_t kNoSecondOrigin = -1;

// Writes the origin to entry 0 of set and appends every corner the scans
// accept, clearing the map around each find. Returns the number of entries
// appended after the origin; the last appended entry is not counted as part
// of the set (entries 0 ... result - 1 are the labelled set). Appending stops
// when the set's columns are full. Returns kNoSecondOrigin when an L chart
// has no second corner column right of the origin.
int32_t label_grid(std::vector<uint8_t>& key_point_map, const gradient_bands& bands,
                   pixel_position origin, chart_kind kind, zorvel_key_points& set);

}  // namespace zorvel
