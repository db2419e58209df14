// Test-only reference: the detection written step by step in the plainest
// form (per-pixel sampling, every line scored band value by band value in
// double), with the same clipping and capacity rules as the library. The
// library's fast detectors must give exactly the same sets and results.
#pragma once

#include <algorithm>
#include <cmath>
#include <cstdint>
#include <vector>

#include "detect/chart_pair.h"

namespace zorvel::test {

struct reference_result {
  int result = -1;
  std::vector<int32_t> y, x, Yw, Xw, Zw;  // physical entries written
  std::vector<uint8_t> key_point_map;     // after the maximum search
  int32_t candidate_count = 0;
};

class reference_detector {
 public:
  reference_detector(int32_t height, int32_t width, bool l_chart)
      : H(height), W(width), l_chart_(l_chart) {}

  reference_result run(std::vector<uint8_t>& red, std::vector<uint8_t>& green,
                       std::vector<uint8_t>& blue, bool mono, int32_t capacity = 1200) {
    reference_result out;
    equalize(red, green, blue);
    saddle(green);
    maxima();
    out.key_point_map = M;
    out.candidate_count = static_cast<int32_t>(list_r.size());
    int32_t orow = 0, ocol = 0;
    if (mono) {
      origin_mono(orow, ocol);
    } else {
      origin_marker(red, green, blue, orow, ocol);
    }
    if (orow == 0 || ocol == 0) return out;
    energies(green);
    out.result = label(orow, ocol, capacity);
    out.y = sy; out.x = sx; out.Yw = sYw; out.Xw = sXw; out.Zw = sZw;
    return out;
  }

 private:
  int32_t at(int32_t r, int32_t c) const { return r * W + c; }

  void equalize(std::vector<uint8_t>& R, std::vector<uint8_t>& G, std::vector<uint8_t>& B) {
    int64_t sum = 0;
    for (auto* p : {&R, &G, &B}) for (uint8_t v : *p) sum += v;
    const double mean = static_cast<double>(sum) / (3.0 * H * W);
    if (mean == 0.0) return;
    const double gain = 50.0 / mean;
    for (auto* p : {&R, &G, &B}) {
      for (uint8_t& v : *p) {
        const int64_t t = static_cast<int64_t>(v * gain);
        v = static_cast<uint8_t>(t > 255 ? 255 : t);
      }
    }
  }

  void saddle(const std::vector<uint8_t>& G) {
    response.assign(H * W, 0.0);
    contrast.assign(H * W, 0.0);
    flags.assign(H * W, 0);
    for (int32_t r = 4; r <= H - 5; ++r) {
      for (int32_t c = 4; c <= W - 5; ++c) {
        int32_t sa = 0, qa = 0, sb = 0, qb = 0;
        for (int32_t k = -4; k <= 4; ++k) {
          if (k == 0) continue;
          const int32_t a = G[at(r + k, c + k)];
          const int32_t b = G[at(r + k, c - k)];
          sa += a; qa += a * a; sb += b; qb += b * b;
        }
        const int32_t meanA = sa / 8, msqA = qa / 8, meanB = sb / 8, msqB = qb / 8;
        const int32_t d = meanA - meanB;
        const double resp = static_cast<double>(d) * d /
                            ((msqB - meanB * meanB) + (msqA - meanA * meanA) + 50.0);
        response[at(r, c)] = resp;
        contrast[at(r, c)] = std::abs(d);
        flags[at(r, c)] = resp > 1.5;
      }
    }
  }

  void maxima() {
    M.assign(H * W, 0);
    const int32_t r_lo = l_chart_ ? 100 : 10, r_hi = l_chart_ ? H - 99 : H - 10;
    const int32_t c_lo = l_chart_ ? 100 : 10, c_hi = l_chart_ ? W - 100 : W - 10;
    const int32_t before = 9, after = l_chart_ ? 9 : 7;
    const size_t capacity = l_chart_ ? 500 : 1200;
    for (int32_t r = r_lo; r <= r_hi; ++r) {
      for (int32_t c = c_lo; c <= c_hi; ++c) {
        if (!flags[at(r, c)]) continue;
        double best = 0.0;
        int32_t br = 0, bc = 0;
        for (int32_t i = r - before; i <= r + after; ++i) {
          for (int32_t j = c - before; j <= c + after; ++j) {
            if (response[at(i, j)] > best) { best = response[at(i, j)]; br = i; bc = j; }
          }
        }
        for (int32_t i = r - before; i <= r + after; ++i)
          for (int32_t j = c - before; j <= c + after; ++j) flags[at(i, j)] = 0;
        M[at(br, bc)] = 1;
        if (list_r.size() < capacity) {
          list_r.push_back(br); list_c.push_back(bc); list_k.push_back(contrast[at(br, bc)]);
        }
      }
    }
  }

  void origin_marker(const std::vector<uint8_t>& R, const std::vector<uint8_t>& G,
                     const std::vector<uint8_t>& B, int32_t& orow, int32_t& ocol) {
    if (H - 150 <= 150) return;
    double best = 100000.0;
    for (int32_t p = 150; p <= H - 151; ++p) {
      for (int32_t q = 200; q <= W - 201; ++q) {
        if (M[at(p, q)] != 1) continue;
        int32_t sr = 0, sg = 0, sb = 0;
        for (int32_t i = p - 3; i <= p + 2; ++i)
          for (int32_t j = q - 3; j <= q + 2; ++j) {
            sr += R[at(i, j)]; sg += G[at(i, j)]; sb += B[at(i, j)];
          }
        const double s = (sb + sr) / (sg + 1.0);
        if (s < best) { best = s; orow = p; ocol = q; }
      }
    }
  }

  void origin_mono(int32_t& orow, int32_t& ocol) {
    const int32_t n = static_cast<int32_t>(list_r.size());
    if (n == 0) return;
    const int32_t q = n / 4;
    std::vector<double> score(n, 0.0);
    double t = 0.0;
    for (int32_t i = q; i <= 3 * q - 1; ++i) {
      std::vector<std::pair<double, double>> rec;  // (distance, contrast)
      for (int32_t j = 0; j <= n - 2; ++j) {
        if (j >= q && j < 3 * q && j != i) {
          const double dr = list_r[i] - list_r[j], dc = list_c[i] - list_c[j];
          rec.push_back({std::sqrt(dr * dr + dc * dc), list_k[j]});
        } else {
          rec.push_back({0.0, 0.0});
        }
      }
      std::stable_sort(rec.begin(), rec.end(),
                       [](const auto& a, const auto& b) { return a.first < b.first; });
      const double v = list_k[i];
      for (int32_t k = 1; k <= 7; ++k) {
        const double p = k < static_cast<int32_t>(rec.size()) ? rec[k].second : 0.0;
        const double d = p - v;
        if (d + t > 0) t = d; else t = -d;
      }
      score[i] = t - 70.0 * v;
    }
    int32_t best = 0;
    for (int32_t i = 0; i < n; ++i) if (score[i] == 0.0) score[i] = -100000.0;
    for (int32_t i = 1; i < n; ++i) if (score[i] > score[best]) best = i;
    orow = list_r[best];
    ocol = list_c[best];
  }

  void energies(const std::vector<uint8_t>& G) {
    Eh.assign(H * W, 0);
    Ev.assign(H * W, 0);
    for (int32_t r = 0; r < H; ++r)
      for (int32_t c = 2; c <= W - 3; ++c) {
        const int32_t d = G[at(r, c - 2)] - G[at(r, c + 2)];
        Eh[at(r, c)] = d * d;
      }
    for (int32_t r = 2; r <= H - 3; ++r)
      for (int32_t c = 0; c < W; ++c) {
        const int32_t d = G[at(r - 2, c)] - G[at(r + 2, c)];
        Ev[at(r, c)] = d * d;
      }
  }

  double eh_band(int32_t i, int32_t col) const {
    double s = 0.0;
    for (int32_t c = col - 5; c <= col + 5; ++c) if (c >= 0 && c < W) s += Eh[at(i, c)];
    return s;
  }
  double ev_band(int32_t row, int32_t j) const {
    if (!(9 < row && row <= H - 10)) return 0.0;
    double s = 0.0;
    for (int32_t r = row - 5; r <= row + 5; ++r) s += Ev[at(r, j)];
    return s;
  }

  void trace_up(int32_t r0, int32_t c0) {
    double best = 0.0; int32_t bs = 1000;
    for (int32_t s = -200; s <= 199; ++s) {
      double score = 0.0;
      for (int32_t i = 0; i <= r0; ++i)
        score += eh_band(i, static_cast<int32_t>(static_cast<double>(r0 - i) / r0 * s + c0));
      if (score > best) { best = score; bs = s; }
    }
    if (bs == 1000) return;
    for (int32_t i = 0; i <= r0; ++i)
      row_table[i] = static_cast<int32_t>(static_cast<double>(r0 - i) / r0 * bs + c0);
  }
  void trace_down(int32_t r0, int32_t c0) {
    double best = 0.0; int32_t bs = 1000;
    for (int32_t s = -200; s <= 199; ++s) {
      double score = 0.0;
      for (int32_t i = r0; i <= H - 1; ++i)
        score += eh_band(i, static_cast<int32_t>(static_cast<double>(i - r0) / (H - r0) * s + c0));
      if (score > best) { best = score; bs = s; }
    }
    if (bs == 1000) return;
    for (int32_t i = r0; i <= H - 1; ++i)
      row_table[i - r0] = static_cast<int32_t>(static_cast<double>(i - r0) / (H - r0) * bs + c0);
  }
  void trace_left(int32_t r0, int32_t c0) {
    double best = 0.0; int32_t bs = 1000;
    for (int32_t s = -200; s <= 199; ++s) {
      double score = 0.0;
      for (int32_t j = c0; j >= 1; --j)
        score += ev_band(static_cast<int32_t>(static_cast<double>(c0 - j) / c0 * s + r0), j);
      if (score > best) { best = score; bs = s; }
    }
    if (bs == 1000) return;
    for (int32_t j = c0; j >= 1; --j)
      col_table[c0 - j] = static_cast<int32_t>(static_cast<double>(c0 - j) / c0 * bs + r0);
  }
  void trace_right(int32_t r0, int32_t c0) {
    double best = 0.0; int32_t bs = 1000;
    for (int32_t s = -200; s <= 199; ++s) {
      double score = 0.0;
      for (int32_t j = c0; j <= W - 1; ++j)
        score += ev_band(static_cast<int32_t>(static_cast<double>(j - c0) / (W - c0) * s + r0), j);
      if (score > best) { best = score; bs = s; }
    }
    if (bs == 1000) return;
    for (int32_t j = c0; j <= W - 1; ++j)
      col_table[j - c0] = static_cast<int32_t>(static_cast<double>(j - c0) / (W - c0) * bs + r0);
  }

  bool full() const { return static_cast<int32_t>(sy.size()) >= capacity_; }
  void append(int32_t y, int32_t x, int32_t yw, int32_t xw) {
    if (full()) return;
    sy.push_back(y); sx.push_back(x); sYw.push_back(yw); sXw.push_back(xw); sZw.push_back(0);
  }
  bool map_set(int32_t r, int32_t c) const {
    return r >= 0 && r < H && c >= 0 && c < W && M[at(r, c)] == 1;
  }
  void map_clear(int32_t r, int32_t c) {
    if (r >= 0 && r < H && c >= 0 && c < W) M[at(r, c)] = 0;
  }

  void steps_2_3(int32_t k) {
    const int32_t r0 = sy[k], c0 = sx[k];
    trace_up(r0, c0);
    int32_t label = -1;
    for (int32_t r = r0 - 10; r >= 50; --r) {
      const int32_t c = row_table[r];
      for (int32_t j = c - 10; j <= c + 10; ++j) {
        if (!map_set(r, j)) continue;
        for (int32_t q = c - 10; q <= c + 10; ++q) map_clear(r, q);
        append(r, j, label--, 0);
        break;
      }
    }
    trace_down(r0, c0);
    label = 1;
    for (int32_t r = r0 + 10; r <= H - 51; ++r) {
      const int32_t c = row_table[r - r0];
      for (int32_t j = c - 10; j <= c + 10; ++j) {
        if (!map_set(r, j)) continue;
        for (int32_t q = c - 10; q <= c + 10; ++q) map_clear(r, q);
        append(r, j, label++, 0);
        break;
      }
    }
  }

  void step_4_5(int32_t k, bool left) {
    const int32_t r0 = sy[k], c0 = sx[k], yw = sYw[k];
    if (left) trace_left(r0, c0); else trace_right(r0, c0);
    int32_t label = left ? -1 : 1, empty = 0;
    for (int32_t c = left ? c0 - 10 : c0 + 10; left ? c >= 51 : c <= W - 51; c += left ? -1 : 1) {
      if (empty == 500) break;
      const int32_t r = col_table[left ? c0 - c : c - c0];
      bool found = false;
      for (int32_t i = r - 10; i <= r + 10; ++i) {
        if (!map_set(i, c)) continue;
        for (int32_t q = r - 10; q <= r + 10; ++q) map_clear(q, c);
        append(i, c, yw, label);
        label += left ? -1 : 1;
        found = true;
        break;
      }
      empty = found ? 0 : empty + 1;
    }
  }

  int label(int32_t orow, int32_t ocol, int32_t capacity) {
    capacity_ = capacity;
    row_table.assign(H, 0);
    col_table.assign(W, 0);
    int32_t srow = -1, scol = -1;
    if (l_chart_) {
      int32_t ref = orow, finds = 0;
      for (int32_t c = ocol + 10; c < W && finds < 2; ++c) {
        for (int32_t r = ref - 30; r <= ref + 30; ++r) {
          if (!map_set(r, c)) continue;
          ref = r;
          if (++finds == 2) { srow = r; scol = c; }
          break;
        }
      }
      if (finds < 2) return -1;
    }
    append(orow, ocol, 0, 0);
    steps_2_3(0);
    const int32_t n3 = static_cast<int32_t>(sy.size());
    for (int32_t k = 0; k < n3; ++k) step_4_5(k, true);
    if (!l_chart_) {
      for (int32_t k = 0; k < n3; ++k) step_4_5(k, false);
      return static_cast<int32_t>(sy.size()) - 1;
    }
    const int32_t si = static_cast<int32_t>(sy.size());
    if (!full()) {
      append(srow, scol, 0, 0);
      steps_2_3(si);
      const int32_t n3b = static_cast<int32_t>(sy.size());
      for (int32_t k = si; k < n3b; ++k) step_4_5(k, false);
    }
    const int32_t m = static_cast<int32_t>(sy.size()) - 1;
    int32_t second = m;
    for (int32_t e = 1; e < m; ++e) if (sYw[e] == 0 && sXw[e] == 0) { second = e; break; }
    for (int32_t e = 0; e < m; ++e) {
      if (e >= second) { sXw[e] += 1; sZw[e] = sXw[e]; } else { sZw[e] = 0; }
    }
    return m;
  }

  int32_t H, W;
  bool l_chart_;
  int32_t capacity_ = 1200;
  std::vector<double> response, contrast;
  std::vector<uint8_t> flags, M;
  std::vector<int32_t> list_r, list_c;
  std::vector<double> list_k;
  std::vector<int32_t> Eh, Ev, row_table, col_table;
  std::vector<int32_t> sy, sx, sYw, sXw, sZw;
};

}  // namespace zorvel::test
