// The cases every surface runs, kept in one place: the tool's calls, each with the files it
// reads and exactly what it writes. The command line's harness (Cli.SharedCases) runs them
// through sh, natively and under QEMU; the Windows one starts tivrano.exe; the core's
// (Convert.SharedCases) converts in this process those of one file and no option; write_cases
// writes them out, with the images and option sets below, for the page's harnesses in Chromium
// and Firefox, which compare the page with the tool.
#pragma once

#include <string>
#include <vector>

#include "bmp_builder.hpp"

namespace test {

// The tool's lines on its standard output for the refusals every surface meets.
inline const std::string USAGE =
    "Ungueltige Anzahl der Parameter\nNutzung:  tivrano bmpfile >csoure\n";
inline const std::string NOT_FOUND = "BMP file not found!\n";
inline const std::string TOO_BIG = "BMP file too big (>1MB)!\n";
inline const std::string NO_SIGNATURE = "BM header not found!\r\n";
inline const std::string TRUNCATED = "BMP file truncated!\n";

struct File {
    std::string name; // in the scratch folder
    Bytes bytes;
};

struct ToolCase {
    std::vector<std::string> args; // the words after the tool's name; "-" reads `input`
    std::vector<File> files;       // made in the scratch folder before the call
    std::string out;
    int status; // 0, or 255 (-1 on Windows)
    std::string err;
    Bytes input = {}; // standard input
};

// The words of `text`, parted by blanks.
std::vector<std::string> words(const std::string& text);

std::vector<ToolCase> tool_cases();

// Images of every kind the conversion meets, for the page to convert under each option set as
// the tool does: row padding, files that end exactly or too early, odd headers, dimensions at
// the limits of 32 bits, PNG and GIF.
std::vector<File> images();
std::vector<std::vector<std::string>> option_sets();

} // namespace test
