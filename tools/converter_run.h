// Runs rsvg-convert to draw one SVG file as a PNG file, its own output sent
// nowhere so that the command's standard output stays the library's. POSIX
// spawns it; Windows starts it with CreateProcess.
#pragma once

#include <string>

namespace zorvel::tools {

enum class converter_outcome { succeeded, not_installed, failed };

converter_outcome run_svg_to_png(const std::string& svg, const std::string& png);

}  // namespace zorvel::tools
