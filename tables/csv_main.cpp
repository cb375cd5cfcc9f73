// quorvane-csv TABLE: one of the tables of cover2sd or sd2cover as tidy CSV
// on standard output, one line per cell, with the exact grid values of the
// folder's "input.txt".
#include <cerrno>
#include <cstdio>
#include <cstring>
#include <string>

#include "model.hpp"
#include "table_reader.hpp"

namespace {

const char* kUsage =
    "usage: quorvane-csv TABLE\n"
    "Writes TABLE (Quorvane_output_percentage.txt, Quorvane_output_absolute.txt,\n"
    "Quorvane_output.txt or calculations.txt) as CSV to standard output, one line\n"
    "per cell, with the grid values of the input.txt in the table's folder.\n";

const char* ColumnNames(tables::Kind kind) {
  switch (kind) {
    case tables::Kind::kForwardPercentage:
      return "N,beta,sunshine_percent\n";
    case tables::Kind::kForwardHours:
      return "N,beta,sunshine_hours\n";
    case tables::Kind::kInverse:
      return "SD_percent,beta,cloud_cover\n";
    case tables::Kind::kFineTable:
      break;
  }
  return "cloud_cover,beta,sunshine_percent\n";
}

}  // namespace

int main(int argc, char** argv) {
  model::SetProgramName("quorvane-csv");
  if (argc == 2 && (std::strcmp(argv[1], "--help") == 0 || std::strcmp(argv[1], "-h") == 0)) {
    std::fputs(kUsage, stdout);
    return 0;
  }
  if (argc != 2) {
    std::fputs(kUsage, stderr);
    return 2;
  }
  tables::Table table;
  if (!tables::ReadTable(argv[1], table)) return 1;
  // The whole text first: a table that fails leaves no partial CSV.
  std::string csv = ColumnNames(table.kind);
  std::vector<std::string> betas;
  for (double beta : table.betas) betas.push_back(tables::Shortest(beta));
  for (std::size_t r = 0; r < table.rows.size(); ++r) {
    const std::string row = tables::Shortest(table.rows[r]) + ",";
    for (std::size_t c = 0; c < table.cells[r].size(); ++c)
      csv += row + betas[c] + "," + tables::PortableCell(table.cells[r][c]) + "\n";
  }
  if (std::fwrite(csv.data(), 1, csv.size(), stdout) != csv.size() || std::fflush(stdout) != 0)
    return model::Fail("standard output: cannot write: %s", std::strerror(errno)), 1;
  return 0;
}
