// Reading the tables that cover2sd and sd2cover leave in a folder, for the
// commands that convert and draw them.  A table is checked line by line
// against the "input.txt" of its folder: its header must be the one the
// programs write for that input, its heading and row labels the grid
// values as the programs print them, every cell a number of the programs'
// format.  The grid values are accumulated as the programs accumulate them.
#pragma once

#include <string>
#include <vector>

namespace tables {

enum class Kind { kForwardPercentage, kForwardHours, kInverse, kFineTable };

// The file name of each kind, in the working directory of a run.
const char* FileName(Kind kind);
// The kind a file name (without folder) stands for; false for any other name.
bool KindOfName(const std::string& name, Kind& kind);

// The result tables, in the order in which they are drawn.
constexpr Kind kResultTables[] = {Kind::kForwardPercentage, Kind::kForwardHours, Kind::kInverse};

struct Table {
  Kind kind;
  std::string path;
  // Of the header (result tables): the lines after "Geographical latitude: "
  // and so on, as written.
  std::string latitude, longitude, date, sunrise, sunset, daytime, shape;
  double day_length = 0;  // hours
  // Row r's grid value (N, SD or cloud cover) and column c's beta, exactly
  // as the programs computed with them, and the text of every cell.
  std::vector<double> rows;
  std::vector<double> betas;
  std::vector<std::vector<std::string>> cells;
};

// Reads the table at `path`, its kind from its file name, with the
// "input.txt" of its folder.  False after one message on standard error
// naming the file and the line.
bool ReadTable(const std::string& path, Table& table);

// The folder part of a path ("." for a bare name).
std::string FolderOf(const std::string& path);

// The shortest text that reads back as `value` ("0.30000000000000004").
std::string Shortest(double value);

// A cell's value for other tools: its text, with the C library's NaN text
// ("-nan") as "nan".
std::string PortableCell(const std::string& text);

// Whether the cell's text is NaN or infinite.
bool IsMissing(const std::string& text);

}  // namespace tables
