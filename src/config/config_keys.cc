// The keys a configuration reader keeps: those either parser reads. Every
// other line is dropped as it is read, so a file padded with unknown keys
// costs no memory, and the echoes print only these keys anyway.
#include <algorithm>
#include <iterator>
#include <string_view>

#include "config/calib_config.h"
#include "config/config_reader.h"
#include "config/verif_config.h"

namespace zorvel {
namespace {

// Read by a parser outside its key tables: the verification's debug switch,
// and the optional output settings of the result writers.
constexpr std::string_view kOtherKeys[] = {"enable_debug_mode", "result_json_file",
                                           "result_report_dir"};

template <class Table>
bool listed(const Table& table, std::string_view key) {
  return std::find(std::begin(table), std::end(table), key) != std::end(table);
}

}  // namespace

bool is_known_config_key(std::string_view key) {
  return listed(kCalibKeys, key) || listed(kCalibOptionalKeys, key) || listed(kVerifKeys, key) ||
         listed(kOtherKeys, key);
}

}  // namespace zorvel
