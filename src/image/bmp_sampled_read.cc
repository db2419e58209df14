// Decoding only the pixels a nearest resampling keeps. A capture of twelve
// megapixels is reduced to a working image of about one; reading, converting
// and storing the full picture first would cost most of a run. The file rows
// the grid picks are read in file order, everything between them is skipped,
// and each picked pixel goes straight to its place in the working planes.
#include <algorithm>
#include <cstdio>
#include <cstring>
#include <new>

#include "image/bmp.h"
#include "image/bmp_layout.h"

namespace zorvel {
namespace {

constexpr char kParse[] = "zorvel_bmp_read::parse";
constexpr int kLineOutOfMemory = 137;

// File rows held at once by a turned read: a turned working row takes one
// pixel from each, so a batch fills a run of neighbouring bytes of it.
constexpr size_t kTurnBatch = 16;

// Reads file rows in ascending order; seeks over the bytes between them, or
// reads through them where the stream cannot seek (a pipe).
class row_reader {
 public:
  row_reader(std::FILE* file, size_t stride, size_t row_bytes)
      : file_(file), stride_(stride), row_bytes_(row_bytes) {}

  // The pixel bytes of file row `row` into out (row_bytes). False at the
  // first byte that cannot be read; failed_at() then tells which.
  bool read(uint32_t row, uint8_t* out) {
    const uint64_t target = static_cast<uint64_t>(row) * stride_;
    if (target > position_ && !skip(target - position_, out)) return false;
    const size_t got = std::fread(out, 1, row_bytes_, file_);
    position_ += got;
    return got == row_bytes_;
  }
  // Reads through to byte `end` of the pixel data, so a stream whose size
  // cannot be told shows its end where a full read would.
  bool read_through(uint64_t end, uint8_t* discard) {
    can_seek_ = false;
    return end <= position_ || skip(end - position_, discard);
  }
  // Pixel-data bytes before the first one that could not be read.
  uint64_t failed_at() const { return position_; }

 private:
  bool skip(uint64_t bytes, uint8_t* discard) {
    if (can_seek_ && std::fseek(file_, static_cast<long>(bytes), SEEK_CUR) == 0) {
      position_ += bytes;
      return true;
    }
    can_seek_ = false;
    while (bytes > 0) {
      const size_t want = static_cast<size_t>(std::min<uint64_t>(bytes, row_bytes_));
      const size_t got = std::fread(discard, 1, want, file_);
      position_ += got;
      bytes -= got;
      if (got < want) return false;
    }
    return true;
  }

  std::FILE* file_;
  size_t stride_;
  size_t row_bytes_;
  uint64_t position_ = 0;
  bool can_seek_ = true;
};

// One picked file row and the working index (row, or column of a turned
// read) it feeds.
struct pick {
  uint32_t file_row;
  uint32_t index;
};

bool inside(const std::vector<int32_t>& indices, uint32_t size) {
  return std::all_of(indices.begin(), indices.end(),
                     [size](int32_t i) { return i >= 0 && static_cast<uint32_t>(i) < size; });
}

// Picks sorted by file row, so the file is read front to back.
std::vector<pick> sorted_picks(const std::vector<int32_t>& indices, bool from_bottom,
                               uint32_t rows) {
  std::vector<pick> picks(indices.size());
  for (size_t k = 0; k < indices.size(); ++k) {
    const auto i = static_cast<uint32_t>(indices[k]);
    picks[k] = {from_bottom ? rows - 1 - i : i, static_cast<uint32_t>(k)};
  }
  std::stable_sort(picks.begin(), picks.end(),
                   [](const pick& a, const pick& b) { return a.file_row < b.file_row; });
  return picks;
}

}  // namespace

quarter_turn quarter_turn_of(const std::string& direction) {
  const std::string lowered = to_lower_text(direction);
  if (lowered == "left") return quarter_turn::left;
  if (lowered == "right") return quarter_turn::right;
  return quarter_turn::none;
}

int zorvel_bmp_read::read_sampled(quarter_turn turn, const zorvel_sample_grid& grid,
                                  int64_t data_start, std::vector<uint8_t>& scratch) {
  const bool turned = turn != quarter_turn::none;
  // The turned picture is height_ wide and width_ tall.
  if (!inside(grid.rows, turned ? width_ : height_) || !inside(grid.cols, turned ? height_ : width_)) {
    return 0;
  }
  const size_t out_w = grid.cols.size();
  const size_t out_h = grid.rows.size();
  const size_t row_bytes = 3 * static_cast<size_t>(width_);
  const size_t stride = row_bytes + bmp_row_padding(width_);
  try {
    image_.width = static_cast<uint32_t>(out_w);
    image_.height = static_cast<uint32_t>(out_h);
    image_.r = std::make_unique_for_overwrite<uint8_t[]>(out_w * out_h);
    image_.g = std::make_unique_for_overwrite<uint8_t[]>(out_w * out_h);
    image_.b = std::make_unique_for_overwrite<uint8_t[]>(out_w * out_h);
    if (scratch.size() < kTurnBatch * row_bytes) scratch.resize(kTurnBatch * row_bytes);
  } catch (const std::bad_alloc&) {
    image_ = zorvel_rgb_image{};
    std::printf("(%s:%d) Not enough memory for %u x %u pixels in file %s\n", kParse,
                kLineOutOfMemory, width_, height_, path_.c_str());
    return 0;
  }
  uint8_t* const r = image_.r.get();
  uint8_t* const g = image_.g.get();
  uint8_t* const b = image_.b.get();
  row_reader reader(file_.get(), stride, row_bytes);

  // Byte offset, within a file row, of the pixel each working column (or,
  // turned, each working row) takes. Picture row y is file row height - 1 - y.
  std::vector<uint32_t> at;
  std::vector<pick> picks;
  if (!turned) {
    at.resize(out_w);
    for (size_t j = 0; j < out_w; ++j) at[j] = 3 * static_cast<uint32_t>(grid.cols[j]);
    picks = sorted_picks(grid.rows, true, height_);
  } else {
    // right: working (i, j) = picture (height - 1 - cols[j], rows[i]), that is
    // file row cols[j], column rows[i]; left: picture (cols[j], width - 1 -
    // rows[i]), file row height - 1 - cols[j].
    const bool left = turn == quarter_turn::left;
    at.resize(out_h);
    for (size_t i = 0; i < out_h; ++i) {
      const auto c = static_cast<uint32_t>(grid.rows[i]);
      at[i] = 3 * (left ? width_ - 1 - c : c);
    }
    picks = sorted_picks(grid.cols, left, height_);
  }

  bool ok = true;
  if (!turned) {
    uint8_t* const row = scratch.data();
    int64_t loaded = -1;
    for (const pick& p : picks) {
      if (p.file_row != loaded) {
        if (!reader.read(p.file_row, row)) {
          ok = false;
          break;
        }
        loaded = p.file_row;
      }
      const size_t o = static_cast<size_t>(p.index) * out_w;
      for (size_t j = 0; j < out_w; ++j) {
        const uint8_t* px = row + at[j];
        b[o + j] = px[0];
        g[o + j] = px[1];
        r[o + j] = px[2];
      }
    }
  } else {
    const uint8_t* source[kTurnBatch];
    size_t column[kTurnBatch];
    const uint8_t* last = nullptr;  // the previous batch's last row
    int64_t loaded = -1;
    for (size_t first = 0; first < picks.size() && ok; first += kTurnBatch) {
      const size_t n = std::min(kTurnBatch, picks.size() - first);
      for (size_t k = 0; k < n; ++k) {
        const pick& p = picks[first + k];
        uint8_t* slot = scratch.data() + k * row_bytes;
        column[k] = p.index;
        source[k] = slot;
        if (p.file_row == loaded) {
          // A row picked again (captures smaller than the working image).
          // Within a batch its slot stays; the previous batch's last row is
          // moved to the first slot before any slot is overwritten.
          if (k > 0) {
            source[k] = source[k - 1];
          } else if (last != slot) {
            std::memmove(slot, last, row_bytes);
          }
          continue;
        }
        if (!reader.read(p.file_row, slot)) {
          ok = false;
          break;
        }
        loaded = p.file_row;
      }
      if (!ok) break;
      last = source[n - 1];
      for (size_t i = 0; i < out_h; ++i) {
        const uint32_t a = at[i];
        const size_t o = i * out_w;
        for (size_t k = 0; k < n; ++k) {
          const uint8_t* px = source[k] + a;
          b[o + column[k]] = px[0];
          g[o + column[k]] = px[1];
          r[o + column[k]] = px[2];
        }
      }
    }
  }
  // Where the size was not known beforehand (a pipe), the data must still
  // be all there.
  const int64_t file_bytes = stream_size(file_.get());
  if (ok && (file_bytes < 0 || data_start < 0)) {
    ok = reader.read_through(static_cast<uint64_t>(height_) * stride, scratch.data());
  }
  if (ok) return 1;

  // The file shrank after its size was checked, or its size cannot be told:
  // a reader going through every pixel would stop where its data ends.
  uint64_t failed_at = reader.failed_at();
  if (file_bytes >= 0 && data_start >= 0) {
    failed_at = std::min<uint64_t>(
        failed_at, static_cast<uint64_t>(std::max<int64_t>(0, file_bytes - data_start)));
  }
  report_truncation(failed_at);
  image_ = zorvel_rgb_image{};
  return 0;
}

}  // namespace zorvel
