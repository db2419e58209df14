// The picture of a run: the embedded PNG decodes to the pixels given, the SVG
// renders (rsvg-convert, test-only) to a page of the expected size whose
// banner, image and zone colours are where a reader looks for them, and a
// folder that cannot take the report is refused with one reason.
#include <gtest/gtest.h>
#include <zlib.h>

#include <cmath>
#include <cstdlib>
#include <string>
#include <vector>

#include "driver/run_report_svg.h"
#include "image/png_stored.h"
#include "support/test_support.h"

namespace zorvel::test {
namespace {

uint32_t be32(const std::string& s, size_t at) {
  uint32_t v = 0;
  for (size_t i = 0; i < 4; ++i) v = v << 8 | static_cast<uint8_t>(s[at + i]);
  return v;
}

// A PNG of 8-bit RGB or RGBA decoded to RGB: IDAT inflated by zlib, the row
// filters undone. Empty on anything else.
struct decoded_png {
  uint32_t width = 0, height = 0;
  std::vector<uint8_t> rgb;
  const uint8_t* at(uint32_t x, uint32_t y) const { return &rgb[(size_t{y} * width + x) * 3]; }
};

decoded_png decode_png(const std::string& png) {
  decoded_png out;
  if (png.size() < 33 || png.compare(1, 3, "PNG") != 0) return out;
  std::string z;
  int channels = 0;
  for (size_t at = 8; at + 12 <= png.size();) {
    const uint32_t n = be32(png, at);
    const std::string type = png.substr(at + 4, 4);
    if (type == "IHDR") {
      out.width = be32(png, at + 8), out.height = be32(png, at + 12);
      channels = png[at + 17] == 6 ? 4 : png[at + 17] == 2 ? 3 : 0;
      if (png[at + 16] != 8 || png[at + 20] != 0) channels = 0;  // 8 bits, no interlace
    }
    if (type == "IDAT") z += png.substr(at + 8, n);
    at += 12 + n;
  }
  if (!channels) return out;
  const size_t stride = size_t{out.width} * static_cast<size_t>(channels);
  std::vector<uint8_t> raw((stride + 1) * out.height);
  uLongf size = raw.size();
  if (uncompress(raw.data(), &size, reinterpret_cast<const Bytef*>(z.data()), z.size()) != Z_OK) return out;
  std::vector<uint8_t> prev(stride, 0), row(stride);
  for (uint32_t y = 0; y < out.height; ++y) {
    const uint8_t filter = raw[y * (stride + 1)];
    for (size_t i = 0; i < stride; ++i) {
      const int a = i >= size_t(channels) ? row[i - size_t(channels)] : 0, b = prev[i],
                c = i >= size_t(channels) ? prev[i - size_t(channels)] : 0;
      const int p = a + b - c, pa = std::abs(p - a), pb = std::abs(p - b), pc = std::abs(p - c);
      const int predictor[] = {0, a, b, (a + b) / 2, pa <= pb && pa <= pc ? a : pb <= pc ? b : c};
      row[i] = static_cast<uint8_t>(raw[y * (stride + 1) + 1 + i] + (filter < 5 ? predictor[filter] : 0));
    }
    for (uint32_t x = 0; x < out.width; ++x) {
      for (int k = 0; k < 3; ++k) out.rgb.push_back(row[x * size_t(channels) + size_t(k)]);
    }
    prev = row;
  }
  return out;
}

TEST(StoredPng, ChecksumsAndPixelsReadBackThroughZlib) {
  const std::string check = "123456789", wiki = "Wikipedia";
  EXPECT_EQ(crc32_of(reinterpret_cast<const uint8_t*>(check.data()), check.size()), 0xCBF43926u);
  EXPECT_EQ(adler32_of(reinterpret_cast<const uint8_t*>(wiki.data()), wiki.size()), 0x11E60398u);
  // 1 x 1, and 200 x 150 whose rows need two stored blocks.
  for (const auto& [w, h] : {std::pair{1, 1}, std::pair{200, 150}}) {
    std::vector<uint8_t> rgb(size_t(w * h * 3));
    for (size_t i = 0; i < rgb.size(); ++i) rgb[i] = static_cast<uint8_t>(i * 7 % 251);
    const std::vector<uint8_t> png = encode_png_rgb(w, h, rgb);
    const decoded_png got = decode_png(std::string(png.begin(), png.end()));
    EXPECT_EQ(got.width, uint32_t(w));
    EXPECT_EQ(got.rgb, rgb) << w << " x " << h;
  }
  EXPECT_TRUE(encode_png_rgb(2, 2, std::vector<uint8_t>(11)).empty());
  EXPECT_TRUE(encode_png_rgb(0, 2, {}).empty());
}

// A calibration as a run would leave it: a checkerboard pair with its corners,
// a disparity field, zones and one failed row.
zorvel_run_result sample_run(zorvel_run_status status) {
  zorvel_run_result r;
  r.config_path = "module/calibration.cfg";
  r.kind = zorvel_run_kind::l_and_flat;
  r.status = status;
  r.result = status == zorvel_run_status::passed;
  r.table = "Calibration verification results";
  r.rows = {{"Flat-chart: Residual vertical disparity [pixels]", 0.6f, 1.0f, true, true},
            {"Flat-chart: STDEV of Horizontal Disparity", 0.52f, 0.5f, true, false}};
  r.record = {"otp", "module/calibration.otp", false, 0, "", "a row failed"};
  for (const char* name : {"main flat", "aux flat"}) {
    zorvel_run_image img{name, 320, 240, 4, {}};
    for (int y = 0; y < 240; ++y) {
      for (int x = 0; x < 320; ++x) {
        const bool dark = (x / 40 + y / 40) % 2 == 1;
        img.rgb.insert(img.rgb.end(), {uint8_t(dark ? 20 : 200), uint8_t(dark ? 20 : 230), uint8_t(dark ? 20 : 90)});
      }
    }
    r.images.push_back(img);
    zorvel_run_key_points kp{name, 1280, 960, 35, 35, {}};
    kp.points.push_back({480, 640, 0, 0, 0});
    for (int j = 1; j < 6; ++j) {
      for (int i = 1; i < 8; ++i) kp.points.push_back({j * 160, i * 160, j - 3, i - 4, 0});
    }
    r.key_points.push_back(kp);
  }
  r.disparities = {"flat", 1280, 960, 12.5f, {}};
  for (const auto& p : r.key_points[0].points) {
    r.disparities.points.push_back({float(p.y), float(p.x), 0.002f * float(p.x - 640), 0.001f * float(p.y - 480)});
  }
  r.zones.present = true;
  for (int k = 0; k < 9; ++k) r.zones.vd[k] = 0.5 + 0.1 * k, r.zones.hd[k] = -0.1 * k;
  r.zones.vd[8] = 1.4;  // above the residual threshold 1.0
  return r;
}

TEST(RunReportSvg, RendersAPageWithTheVerdictImagesAndZonesWhereTheyBelong) {
  if (std::system("command -v rsvg-convert >/dev/null 2>&1") != 0) GTEST_SKIP() << "rsvg-convert not installed";
  const struct {
    zorvel_run_status status;
    const char* banner;
    uint8_t banner_rgb[3];
  } cases[] = {
      {zorvel_run_status::passed, "CALIBRATION (L + flat chart) PASSED", {0x2e, 0x7d, 0x32}},
      {zorvel_run_status::failed, "CALIBRATION (L + flat chart) FAILED", {0xc6, 0x28, 0x28}},
      {zorvel_run_status::not_tested, "CALIBRATION (L + flat chart) NOT TESTED", {0x61, 0x61, 0x61}},
  };
  for (const auto& c : cases) {
    scratch_dir dir;
    std::string why;
    ASSERT_TRUE(write_run_report_svg(sample_run(c.status), dir.path().string(), why)) << why;
    const std::string svg = read_file(dir.file("report.svg"));
    EXPECT_NE(svg.find(c.banner), std::string::npos);
    EXPECT_NE(svg.find(">FAIL</text>"), std::string::npos);
    const std::string png_path = dir.file("report.png");
    ASSERT_EQ(std::system(("rsvg-convert -o '" + png_path + "' '" + dir.file("report.svg") + "'").c_str()), 0);
    const decoded_png page = decode_png(read_file(png_path));
    ASSERT_EQ(page.width, 1320u);
    const size_t h_at = svg.find("height=\"") + 8;
    EXPECT_EQ(page.height, std::stoul(svg.substr(h_at)));
    EXPECT_GT(page.height, 900u);
    for (int k = 0; k < 3; ++k) EXPECT_EQ(page.at(5, 5)[k], c.banner_rgb[k]) << c.banner;

    // The main image's top-left square (light, 200/230/90) shows at the panel's
    // top-left; a dark square sits beside it, so the embedded PNG was decoded.
    const size_t marker = svg.find("<image x=\"20.0\" y=\"");
    ASSERT_NE(marker, std::string::npos);
    const uint32_t top = uint32_t(std::stod(svg.substr(marker + 19))) + 5;
    EXPECT_NEAR(page.at(25, top)[1], 230, 3);
    EXPECT_NEAR(page.at(25 + 80, top)[1], 20, 3);  // the next square, 160 working px on
    // Not blank: many distinct colours across the page.
    std::vector<bool> seen(1 << 15);
    size_t distinct = 0;
    for (size_t i = 0; i + 2 < page.rgb.size(); i += 3) {
      const size_t key = size_t(page.rgb[i] >> 3) << 10 | size_t(page.rgb[i + 1] >> 3) << 5 | size_t(page.rgb[i + 2] >> 3);
      if (!seen[key]) seen[key] = true, ++distinct;
    }
    EXPECT_GT(distinct, 50u);
  }
}

TEST(RunReportSvg, RefusesFoldersThatCannotTakeIt) {
  scratch_dir dir;
  write_file(dir.file("a_file"), "x");
  const struct {
    std::string dir, why;
  } cases[] = {
      {dir.file("missing"), "no such folder"},
      {dir.file("a_file"), "not a folder"},
      {"/proc/self", "cannot write /proc/self/report.svg"},
  };
  for (const auto& c : cases) {
    std::string why;
    EXPECT_FALSE(write_run_report_svg(sample_run(zorvel_run_status::passed), c.dir, why)) << c.dir;
    EXPECT_EQ(why, c.why) << c.dir;
  }
  EXPECT_EQ(read_file(dir.file("a_file")), "x");
}

}  // namespace
}  // namespace zorvel::test
