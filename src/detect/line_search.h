// Grid-line searches through a labelled corner: 400 straight lines with slopes
// -200 ... 199 are scored on gradient energy summed over an 11-pixel band and
// the best one is kept in a row table (vertical lines) or a column table
// (horizontal lines). Positions are (row, column) pixels of the working image.
#pragma once

#include <cstdint>
#include <memory>
#include <vector>

#include "common/vector_isa.h"

namespace zorvel {

// Gradient energies of the green plane, read by the line searches as sums
// over 11-pixel bands. Energies are integers and the band sums are exact, so
// any summation order scores a line identically.
//   Eh[r][c] = (G[r][c-2] - G[r][c+2])^2 for 2 <= c <= W-3, else 0;
//   Ev[r][c] = (G[r-2][c] - G[r+2][c])^2 for 2 <= r <= H-3, else 0.
// Vertical searches (few per image) sum Eh along each row as they go;
// horizontal searches (one per corner of the vertical line) share the
// precomputed column sums of Ev.
struct gradient_bands {
  int32_t height = 0;
  int32_t width = 0;
  const uint8_t* green = nullptr;  // borrowed, height x width
  // Bands further than 5 pixels outside the image hold no energy: line
  // positions beyond the pad are read at the pad, which holds 0.
  static constexpr int32_t kPad = 6;
  // column_band[c * column_stride + kPad + r] = sum of Ev[r-5 ... r+5][c] when
  // 9 < r <= height - 10, else 0 (stored column by column).
  int32_t column_stride = 0;
  std::unique_ptr<int32_t[]> column_band;
  // Upper bounds of kPeakWindow neighbouring column sums, for pruning the
  // horizontal searches: row_peak[k * width + c] * kPeakScale is at least
  // every column_band entry k ... k + kPeakWindow - 1 of column c (the window
  // stops at the column's end). Stored row by row: a search reads the same
  // few rows of neighbouring columns, which keeps its reads in few cache lines.
  static constexpr int32_t kPeakWindow = 16;
  static constexpr int32_t kPeakScale = 16;
  std::unique_ptr<uint16_t[]> row_peak;
};

gradient_bands compute_gradient_bands(const uint8_t* green, int32_t height, int32_t width,
                                      vector_isa isa = best_vector_isa());

// Vertical searches through (r0, c0). up fills row_table[i] for rows
// i = 0 ... r0 with the best line's column; down fills row_table[i - r0] for
// i = r0 ... height - 1. row_table holds at least height entries. When no line
// scores above 0 (or r0, c0 lie outside the image) the table is left as it was.
void trace_line_up(const gradient_bands& bands, int32_t r0, int32_t c0, int32_t* row_table,
                   vector_isa isa = best_vector_isa());
void trace_line_down(const gradient_bands& bands, int32_t r0, int32_t c0, int32_t* row_table,
                     vector_isa isa = best_vector_isa());

// Horizontal searches: left fills column_table[c0 - j] for columns
// j = c0 ... 1, right fills column_table[j - c0] for j = c0 ... width - 1, with
// the best line's row. column_table holds at least width entries.
void trace_line_left(const gradient_bands& bands, int32_t r0, int32_t c0, int32_t* column_table,
                     vector_isa isa = best_vector_isa());
void trace_line_right(const gradient_bands& bands, int32_t r0, int32_t c0, int32_t* column_table,
                      vector_isa isa = best_vector_isa());

}  // namespace zorvel
