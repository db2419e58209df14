// Disparity statistics: VD = |main row - mapped aux row| and HD = |main
// column - mapped aux column| per matched point, in pixels (double).
#include "stereo/disparity_metrics.h"

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <vector>

#include "numerics/checked_convert.h"
#include "stereo/scale_difference.h"
#include "numerics/matrix.h"

namespace zorvel {
namespace {

std::vector<double> sorted_copy(std::vector<double> values) {
  std::sort(values.begin(), values.end());
  return values;
}

double at_fraction(const std::vector<double>& sorted, float f) {
  return sorted[static_cast<size_t>(percentile_index(f, static_cast<int32_t>(sorted.size())))];
}

// Population standard deviation around the mean over n.
float population_stdev(const std::vector<double>& v) {
  const double n = static_cast<double>(v.size());
  double sum = 0.0;
  for (const double x : v) sum += x;
  const double mean = sum / n;
  double sq = 0.0;
  for (const double x : v) sq += (x - mean) * (x - mean);
  return static_cast<float>(std::sqrt(sq / n));
}

// Confined scale error over the central 40 % of each axis, columns of three
// or more points; printed only.
void confined_scale_error(const zorvel_chart_pair& main_pair, const zorvel_chart_pair& aux_pair,
                          const double* rect_rows, const double* rect_cols, int32_t n) {
  const zorvel_key_points& mp = main_pair.main_points;
  const zorvel_key_points& ap = aux_pair.aux_points;
  const float w = static_cast<float>(main_pair.main_width);
  const float h = static_cast<float>(main_pair.main_height);
  const auto rounded = [](float v) { return static_cast<double>(std::roundf(v)); };
  const double x_lo = rounded(-0.2f * w), x_hi = rounded(0.2f * w);
  const double y_lo = rounded(-0.2f * h), y_hi = rounded(0.2f * h);

  zorvel_key_points main_sel, aux_sel;
  for (int32_t i = 0; i < n; ++i) {
    const double x = static_cast<double>(mp.x[i]);
    const double y = static_cast<double>(mp.y[i]);
    if (!(x_lo < x && x < x_hi && y_lo < y && y < y_hi)) continue;
    main_sel.y.push_back(mp.y[i]);
    main_sel.x.push_back(mp.x[i]);
    main_sel.Yw.push_back(mp.Yw[i]);
    main_sel.Xw.push_back(mp.Xw[i]);
    aux_sel.y.push_back(coordinate_from(rect_rows[i]));
    aux_sel.x.push_back(coordinate_from(rect_cols[i]));
    aux_sel.Yw.push_back(ap.Yw[i]);
    aux_sel.Xw.push_back(ap.Xw[i]);
  }
  const zorvel_scale_difference diff = scale_difference(
      main_sel, aux_sel, static_cast<int32_t>(main_sel.y.size()), 2);
  if (diff.aux_columns == 0) {
    std::printf("Warning: could not compute scale difference percent (setting to -1.0)\n");
    return;
  }
  std::printf("\n Scale Error confined is = %f", diff.percent);
  std::printf("\n Scale Error confined END \n");
}

// Without any matched point every figure is marked as failed rather than
// read from empty lists.
zorvel_disparity_metrics no_points() {
  std::printf("%s", kNoPointsInMetricFov);
  zorvel_disparity_metrics m;
  const float nan = std::nanf("");
  m.max_hd_delta = nan;
  m.vd_delta = nan;
  m.hd_stdev = nan;
  m.vd_stdev = nan;
  m.mean_disparity = 100000.0f;
  m.vd_p95_tenths = m.hd_p95_tenths = m.vd_p80_tenths = 255;
  m.hd_p80_tenths = m.vd_p90_tenths = m.hd_spread_tenths = 255;
  m.vd_percentile_metric = m.hd_percentile_metric = 255;
  for (int32_t k = 0; k < 9; ++k) {
    m.vd_rms_zoned[k] = 255;
    m.hd_rms_zoned[k] = 127;
  }
  return m;
}

template <typename Byte>
void print_zones(std::FILE* out, const char* title, const Byte zones[9]) {
  std::fputs(title, out);
  for (int i = 0; i < 9; ++i) {
    if (i % 3 == 0) std::fputs("\n", out);
    std::fprintf(out, "  %f", static_cast<double>(zones[i]) / 10.0);
  }
}

}  // namespace

void print_zone_map(std::FILE* out, const char* title, const uint8_t zones[9]) {
  print_zones(out, title, zones);
}

void print_zone_map(std::FILE* out, const char* title, const int8_t zones[9]) {
  print_zones(out, title, zones);
}

int32_t percentile_index(float f, int32_t m) {
  const float product = f * static_cast<float>(m);
  int32_t k = checked_truncate(static_cast<double>(std::floor(product)), INT32_MIN, INT32_MAX, 0);
  if (static_cast<uint16_t>(k) >= static_cast<uint16_t>(m)) k = m - 1;
  return k;
}

void zone_rms(const double* vd, const double* hd, const int32_t* x, const int32_t* y, int32_t n,
              int32_t width, int32_t height, double vd_zones[9], double hd_zones[9]) {
  const int32_t W = static_cast<uint16_t>(width);
  const int32_t H = static_cast<uint16_t>(height);
  float edge_x[4], edge_y[4];
  for (int32_t j = 0; j < 4; ++j) {
    edge_x[j] = static_cast<float>(j * (W / 3));
    edge_y[j] = static_cast<float>(j * (H / 3));
  }
  for (int32_t a = 0; a < 3; ++a) {
    for (int32_t b = 0; b < 3; ++b) {
      double vd_sq = 0.0, hd_sq = 0.0;
      int32_t count = 0;
      for (int32_t i = 0; i < n; ++i) {
        // Absolute image coordinates for the zone test.
        const float px = static_cast<float>(x[i] + W / 2);
        const float py = static_cast<float>(y[i] + H / 2);
        if (edge_x[a] <= px && px < edge_x[a + 1] && edge_y[b] <= py && py < edge_y[b + 1]) {
          vd_sq += vd[i] * vd[i];
          hd_sq += hd[i] * hd[i];
          ++count;
        }
      }
      const int32_t k = 3 * a + b;
      vd_zones[k] = count > 0 ? std::sqrt(vd_sq / static_cast<double>(count)) : 0.0;
      hd_zones[k] = count > 0 ? std::sqrt(hd_sq / static_cast<double>(count)) : 0.0;
    }
  }
}

zorvel_disparity_metrics disparity_metrics(const zorvel_chart_pair& main_pair,
                                           const zorvel_chart_pair& aux_pair,
                                           const double* rect_rows, const double* rect_cols,
                                           int32_t n, const zorvel_metric_settings& settings) {
  const zorvel_key_points& mp = main_pair.main_points;
  if (n < 1) return no_points();
  const size_t count = static_cast<size_t>(n);
  zorvel_disparity_metrics m;

  // Per-point disparities.
  std::vector<double> vd(count), hd(count);
  for (size_t i = 0; i < count; ++i) {
    vd[i] = std::fabs(static_cast<double>(mp.y[i]) - rect_rows[i]);
    hd[i] = std::fabs(static_cast<double>(mp.x[i]) - rect_cols[i]);
  }

  // Spreads and population deviations.
  const int32_t i_min = index_of_min(hd.data(), n);
  m.max_hd_delta =
      static_cast<float>(hd[index_of_max(hd.data(), n)] - hd[i_min]);
  m.vd_delta =
      static_cast<float>(vd[index_of_max(vd.data(), n)] - vd[index_of_min(vd.data(), n)]);
  m.hd_stdev = population_stdev(hd);
  m.vd_stdev = population_stdev(vd);

  // Mean horizontal disparity of the 5 x 5 corners around the origin.
  double centre_sum = 0.0;
  int32_t centre_count = 0;
  for (size_t i = 0; i < count; ++i) {
    if (mp.Xw[i] * mp.Xw[i] <= 4 && mp.Yw[i] * mp.Yw[i] <= 4) {
      centre_sum += hd[i];
      ++centre_count;
    }
  }
  if (centre_count > 0) {
    m.mean_disparity =
        static_cast<float>(centre_sum / static_cast<double>(centre_count));
  } else {
    std::printf("\n No KEY POINTS Matching");
    m.mean_disparity = 100000.0f;
  }

  // Whole-set percentiles on VD and on HD relative to its minimum.
  std::vector<double> rhd(count);
  for (size_t i = 0; i < count; ++i) rhd[i] = hd[i] - hd[i_min];
  const std::vector<double> vd_sorted = sorted_copy(vd);
  const std::vector<double> rhd_sorted = sorted_copy(rhd);
  m.vd_p95_tenths = tenths_byte(at_fraction(vd_sorted, 0.95f));
  m.hd_p95_tenths = tenths_byte(at_fraction(rhd_sorted, 0.95f));
  m.vd_p80_tenths = tenths_byte(at_fraction(vd_sorted, 0.8f));
  m.hd_p80_tenths = tenths_byte(at_fraction(rhd_sorted, 0.8f));
  m.vd_p90_tenths = tenths_byte(at_fraction(vd_sorted, 0.9f));
  m.hd_spread_tenths = static_cast<uint8_t>(tenths_byte(at_fraction(rhd_sorted, 0.95f)) -
                                                  tenths_byte(at_fraction(rhd_sorted, 0.05f)));

  // Percentile metrics inside the configured field of view.
  const double p_var = static_cast<double>(settings.percentile_for_variation_in_disparity);
  const float fov_fraction = static_cast<float>(settings.percentage_fov_for_metric_calculation) / 200.0f;
  const float prod_x = fov_fraction * static_cast<float>(main_pair.main_width);
  const float prod_y = fov_fraction * static_cast<float>(main_pair.main_height);
  // Half windows rounded in single precision, then kept as whole pixels.
  const auto half_window = [](float v) {
    return checked_truncate(static_cast<double>(std::roundf(v)), INT32_MIN, INT32_MAX, 0);
  };
  const int32_t hx = half_window(prod_x), hx_neg = half_window(-prod_x);
  const int32_t hy = half_window(prod_y), hy_neg = half_window(-prod_y);
  std::vector<double> vd_sel, rhd_sel;
  for (size_t i = 0; i < count; ++i) {
    if (hx_neg < mp.x[i] && mp.x[i] < hx && hy_neg < mp.y[i] && mp.y[i] < hy) {
      vd_sel.push_back(vd[i]);
      rhd_sel.push_back(rhd[i]);
    }
  }
  if (vd_sel.empty()) {
    std::printf("%s", kNoPointsInMetricFov);
    m.vd_percentile_metric = 255;
    m.hd_percentile_metric = 255;
  } else {
    vd_sel = sorted_copy(vd_sel);
    rhd_sel = sorted_copy(rhd_sel);
    const float f_var = static_cast<float>(p_var / 100.0);
    const float f_hi = static_cast<float>(((p_var + 100.0) * 0.5) / 100.0);
    const float f_lo = static_cast<float>(((100.0 - p_var) * 0.5) / 100.0);
    m.vd_percentile_metric = tenths_byte(at_fraction(vd_sel, f_var));
    m.hd_percentile_metric = static_cast<uint8_t>(tenths_byte(at_fraction(rhd_sel, f_hi)) -
                                                        tenths_byte(at_fraction(rhd_sel, f_lo)));
  }

  // Zone map over the aux image size of main_pair.
  double vd_zones[9], hd_zones[9];
  zone_rms(vd.data(), hd.data(), mp.x.data(), mp.y.data(), n, main_pair.aux_width,
           main_pair.aux_height, vd_zones, hd_zones);
  for (int32_t k = 0; k < 9; ++k) {
    m.vd_rms_zoned[k] = tenths_byte(vd_zones[k]);
    const double d =
        10.0 * (hd_zones[k] - static_cast<double>(m.mean_disparity));
    m.hd_rms_zoned[k] = zoned_tenths(d);
  }

  // Confined scale error (printed only).
  confined_scale_error(main_pair, aux_pair, rect_rows, rect_cols, n);
  return m;
}

}  // namespace zorvel
