// Rendering of one capture: ray casting through a lattice of pixel corners,
// supersampling where an edge crosses a pixel, then light, blur and noise.
#include "sim/render.h"

#include <algorithm>
#include <cmath>
#include <memory>

#include "sim/parallel.h"

namespace zorvel::sim {

namespace {

uint64_t mix64(uint64_t z) {
  z += 0x9e3779b97f4a7c15ULL;
  z = (z ^ (z >> 30)) * 0xbf58476d1ce4e5b9ULL;
  z = (z ^ (z >> 27)) * 0x94d049bb133111ebULL;
  return z ^ (z >> 31);
}

struct lattice_point {
  chart_hit hit;
  int64_t key = -1;
};

lattice_point cast(const chart& c, const camera_view& v, double row, double col) {
  lattice_point p;
  vec3 dir;
  capture_ray(v, row, col, &dir);
  p.hit = intersect(c, v.centre, dir);
  p.key = cell_key(c, p.hit);
  return p;
}

// Linear intensity of one scene plane, 8-bit units before noise.
struct planes {
  int32_t width = 0, height = 0;
  int32_t count = 3;  // 1 for a mono sensor
  // Every sample is written by the renderer, so the planes skip zero-filling.
  std::unique_ptr<float[]> p[3];
};

void store(planes& out, size_t idx, const reflectance& c, float light) {
  if (out.count == 1) {
    out.p[0][idx] = light * (0.299f * c.r + 0.587f * c.g + 0.114f * c.b);
  } else {
    out.p[0][idx] = light * c.r;
    out.p[1][idx] = light * c.g;
    out.p[2][idx] = light * c.b;
  }
}

void render_band(const chart& c, const camera_view& v, const imaging_model& img, planes& out,
                 int32_t row_begin, int32_t row_end) {
  const int32_t w = out.width, h = out.height;
  const int32_t n = std::max(3, img.supersample);
  std::vector<lattice_point> upper(w + 1), lower(w + 1);
  int64_t cached_key = -2;
  reflectance cached;
  for (int32_t j = 0; j <= w; ++j) upper[j] = cast(c, v, row_begin - 0.5, j - 0.5);
  const double half_diag2 = 0.25 * (static_cast<double>(w) * w + static_cast<double>(h) * h);
  std::vector<double> col_dx2(w), col_uneven(w);
  for (int32_t j = 0; j < w; ++j) {
    const double dx = j - 0.5 * (w - 1);
    col_dx2[j] = dx * dx;
    col_uneven[j] = 1.0 + (img.uneven_light_min - 1.0) * j / std::max(1, w - 1);
  }
  for (int32_t i = row_begin; i < row_end; ++i) {
    for (int32_t j = 0; j <= w; ++j) lower[j] = cast(c, v, i + 0.5, j - 0.5);
    const double dy = i - 0.5 * (h - 1);
    const double vign_k = img.vignetting / half_diag2;
    for (int32_t j = 0; j < w; ++j) {
      const double vign = 1.0 - vign_k * (col_dx2[j] + dy * dy);
      const float light = static_cast<float>(255.0 * img.exposure * vign * col_uneven[j]);
      const lattice_point& a = upper[j];
      const lattice_point& b = upper[j + 1];
      const lattice_point& cc = lower[j];
      const lattice_point& d = lower[j + 1];
      const size_t idx = static_cast<size_t>(i) * w + j;
      if (a.key == b.key && a.key == cc.key && a.key == d.key) {
        if (a.key != cached_key) {
          cached_key = a.key;
          cached = colour_at(c, a.hit);
        }
        store(out, idx, cached, light);
        continue;
      }
      const bool one_board = a.hit.board >= 0 && a.hit.board == b.hit.board &&
                             a.hit.board == cc.hit.board && a.hit.board == d.hit.board;
      float sr = 0, sg = 0, sb = 0;
      for (int32_t si = 0; si < n; ++si) {
        const double fy = (si + 0.5) / n;
        for (int32_t sj = 0; sj < n; ++sj) {
          const double fx = (sj + 0.5) / n;
          chart_hit hit;
          if (one_board) {
            // Inside one board the mapping is smooth: interpolate the corners.
            hit.board = a.hit.board;
            hit.u = (1 - fy) * ((1 - fx) * a.hit.u + fx * b.hit.u) + fy * ((1 - fx) * cc.hit.u + fx * d.hit.u);
            hit.v = (1 - fy) * ((1 - fx) * a.hit.v + fx * b.hit.v) + fy * ((1 - fx) * cc.hit.v + fx * d.hit.v);
          } else {
            hit = cast(c, v, i - 0.5 + fy, j - 0.5 + fx).hit;
          }
          const reflectance col = colour_at(c, hit);
          sr += col.r;
          sg += col.g;
          sb += col.b;
        }
      }
      const float inv = 1.0f / static_cast<float>(n * n);
      store(out, idx, reflectance{sr * inv, sg * inv, sb * inv}, light);
    }
    std::swap(upper, lower);
  }
}

std::vector<float> gaussian_kernel(double sigma) {
  const int32_t radius = std::max(1, static_cast<int32_t>(std::ceil(3.0 * sigma)));
  std::vector<float> k(2 * radius + 1);
  double sum = 0;
  for (int32_t t = -radius; t <= radius; ++t) {
    k[t + radius] = static_cast<float>(std::exp(-0.5 * t * t / (sigma * sigma)));
    sum += static_cast<double>(k[t + radius]);
  }
  for (auto& x : k) x = static_cast<float>(static_cast<double>(x) / sum);
  return k;
}

void blur_plane(float* p, float* tmp, int32_t w, int32_t h, double sigma, int32_t threads) {
  const std::vector<float> k = gaussian_kernel(sigma);
  const int32_t radius = static_cast<int32_t>(k.size() / 2);
  parallel_rows(h, threads, [&](int32_t r0, int32_t r1) {
    for (int32_t i = r0; i < r1; ++i) {
      const float* src = &p[static_cast<size_t>(i) * w];
      float* dst = &tmp[static_cast<size_t>(i) * w];
      for (int32_t j = 0; j < w; ++j) {
        float s = 0;
        if (j >= radius && j + radius < w) {
          const float* base = src + j - radius;
          for (size_t t = 0; t < k.size(); ++t) s += k[t] * base[t];
        } else {
          for (int32_t t = -radius; t <= radius; ++t) s += k[t + radius] * src[std::clamp(j + t, 0, w - 1)];
        }
        dst[j] = s;
      }
    }
  });
  parallel_rows(h, threads, [&](int32_t r0, int32_t r1) {
    for (int32_t i = r0; i < r1; ++i) {
      float* dst = &p[static_cast<size_t>(i) * w];
      std::fill(dst, dst + w, 0.0f);
      for (int32_t t = -radius; t <= radius; ++t) {
        const float* src = &tmp[static_cast<size_t>(std::clamp(i + t, 0, h - 1)) * w];
        const float kt = k[t + radius];
        for (int32_t j = 0; j < w; ++j) dst[j] += kt * src[j];
      }
    }
  });
}

}  // namespace

double keyed_normal(uint64_t key, uint64_t stream, uint64_t index) {
  // Sum of four 16-bit uniforms (Irwin-Hall), scaled to unit variance: close
  // enough to a normal for sensor noise and far cheaper than Box-Muller.
  const uint64_t h = mix64(mix64(key ^ 0x5a17c0de00000000ULL) ^ mix64(stream * 0x100000001b3ULL) ^ index);
  const double sum = static_cast<double>((h & 0xffff) + ((h >> 16) & 0xffff) + ((h >> 32) & 0xffff) + (h >> 48));
  return (sum + 2.0 - 2.0 * 65536.0) * (1.7320508075688772 / 65536.0);
}

capture_image render_capture(const chart& c, const camera_view& view, const imaging_model& img,
                             int32_t rotation_flag, uint64_t noise_key, uint64_t stream) {
  planes sc;
  sc.width = view.scene_width;
  sc.height = view.scene_height;
  sc.count = view.mono ? 1 : 3;
  const size_t n = static_cast<size_t>(sc.width) * sc.height;
  for (int32_t k = 0; k < sc.count; ++k) sc.p[k] = std::make_unique_for_overwrite<float[]>(n);
  parallel_rows(sc.height, img.threads,
                [&](int32_t r0, int32_t r1) { render_band(c, view, img, sc, r0, r1); });
  const double sigma_capture = img.blur_sigma_working * view.scale;
  if (sigma_capture > 0.05) {
    const auto tmp = std::make_unique_for_overwrite<float[]>(n);
    for (int32_t k = 0; k < sc.count; ++k)
      blur_plane(sc.p[k].get(), tmp.get(), sc.width, sc.height, sigma_capture, img.threads);
  }

  // Noise, quantisation and the file orientation in one pass over file rows.
  capture_image out;
  const bool swap = rotation_flag == 1 || rotation_flag == 2;
  out.width = swap ? sc.height : sc.width;
  out.height = swap ? sc.width : sc.height;
  out.r.assign(n, 0);
  out.g.assign(n, 0);
  out.b.assign(n, 0);
  // Noise standard deviation by signal, tabulated in quarter steps.
  std::vector<float> sigma_of(4 * 512);
  for (size_t q = 0; q < sigma_of.size(); ++q)
    sigma_of[q] = static_cast<float>(std::sqrt(img.noise_read * img.noise_read + img.noise_shot * (static_cast<double>(q) * 0.25)));
  parallel_rows(out.height, img.threads, [&](int32_t r0, int32_t r1) {
    for (int32_t y = r0; y < r1; ++y) {
      for (int32_t x = 0; x < out.width; ++x) {
        int32_t sr = y, scol = x;  // scene position shown at file (y, x)
        if (rotation_flag == 1) {
          sr = x;
          scol = out.height - 1 - y;
        } else if (rotation_flag == 2) {
          sr = out.width - 1 - x;
          scol = y;
        }
        const size_t sidx = static_cast<size_t>(sr) * sc.width + scol;
        const size_t fidx = static_cast<size_t>(y) * out.width + x;
        uint8_t v[3] = {0, 0, 0};
        for (int32_t k = 0; k < sc.count; ++k) {
          const float signal = sc.p[k][sidx];
          const size_t q = std::min(sigma_of.size() - 1, static_cast<size_t>(std::max(0.0f, signal) * 4.0f));
          const double noisy = static_cast<double>(signal) +
                               static_cast<double>(sigma_of[q]) * keyed_normal(noise_key, stream, sidx * 3 + k);
          v[k] = static_cast<uint8_t>(std::clamp(static_cast<int32_t>(std::floor(noisy + 0.5)), 0, 255));
        }
        if (sc.count == 1) v[1] = v[2] = v[0];
        out.r[fidx] = v[0];
        out.g[fidx] = v[1];
        out.b[fidx] = v[2];
      }
    }
  });
  return out;
}

capture_image turn_like_library(const capture_image& file, int32_t rotation_flag) {
  if (rotation_flag != 1 && rotation_flag != 2) return file;
  capture_image out;
  out.width = file.height;
  out.height = file.width;
  const size_t n = file.r.size();
  out.r.assign(n, 0);
  out.g.assign(n, 0);
  out.b.assign(n, 0);
  const int32_t w = file.width, h = file.height;
  for (int32_t y = 0; y < h; ++y) {
    for (int32_t x = 0; x < w; ++x) {
      const size_t src = static_cast<size_t>(y) * w + x;
      const size_t dst = rotation_flag == 1 ? static_cast<size_t>(x) * h + (h - 1 - y)
                                            : static_cast<size_t>(w - 1 - x) * h + y;
      out.r[dst] = file.r[src];
      out.g[dst] = file.g[src];
      out.b[dst] = file.b[src];
    }
  }
  return out;
}

}  // namespace zorvel::sim
