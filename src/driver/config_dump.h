// The echo of a parsed configuration as key=value lines, in the order of the
// parser's key table. Station software parses these lines, so the formats
// are fixed; call them inside a C numeric locale (the entry point does).
#pragma once

#include <cstdio>

#include "config/calib_config.h"
#include "config/verif_config.h"

namespace zorvel {

void dump_calib_config(std::FILE* out, const zorvel_calib_config& config);
void dump_verif_config(std::FILE* out, const zorvel_verif_config& config);

}  // namespace zorvel
