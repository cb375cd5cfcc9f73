#include "table_reader.hpp"

#include <cerrno>
#include <charconv>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <fstream>
#include <sstream>

#include "model.hpp"

namespace tables {
namespace {

using model::Fail;

struct Layout {
  const char* label_separator;  // after the row label
  int precision;                // decimals of a cell
  const char* cell_separator;   // after every cell
};

Layout LayoutOf(Kind kind) {
  switch (kind) {
    case Kind::kForwardPercentage:
    case Kind::kForwardHours:
      return {"     ", 1, " \t "};
    case Kind::kInverse:
      return {"\t    ", 2, "\t"};
    case Kind::kFineTable:
      break;
  }
  return {"\t", 1, "\t"};
}

std::string Fixed(double value, int precision) {
  char text[model::kFixedTextSize];
  return std::string(text, model::FixedText(text, value, precision));
}

// A cell as the programs write it: a fixed-point number with `precision`
// decimals, or the C library's text for NaN or infinity.
bool IsCellText(const std::string& text, int precision) {
  if (IsMissing(text)) return true;
  std::size_t i = text.size() > 0 && text[0] == '-' ? 1 : 0;
  const std::size_t digits = i;
  while (i < text.size() && text[i] >= '0' && text[i] <= '9') ++i;
  if (i == digits || i >= text.size() || text[i] != '.') return false;
  const std::size_t point = i++;
  while (i < text.size() && text[i] >= '0' && text[i] <= '9') ++i;
  return i == text.size() && i - point - 1 == static_cast<std::size_t>(precision);
}

// The lines of a file, each without its line end; false if the last one
// has none (a table cut off while it was written).
bool SplitLines(const std::string& text, std::vector<std::string>& lines) {
  std::size_t start = 0;
  while (start < text.size()) {
    const std::size_t end = text.find('\n', start);
    if (end == std::string::npos) {
      lines.push_back(text.substr(start));
      return false;
    }
    lines.push_back(text.substr(start, end - start));
    start = end + 1;
  }
  return true;
}

std::string Visible(const std::string& line) {
  std::string shown;
  for (char c : line.substr(0, 60)) shown += c == '\t' ? std::string("\\t") : std::string(1, c);
  return shown + (line.size() > 60 ? "..." : "");
}

bool ReadInput(const std::string& folder, model::Parameters& P, std::string& name) {
  name = folder + "/" + model::kInputFile;
  std::FILE* inp = std::fopen(name.c_str(), "r");
  if (inp == nullptr) return Fail("%s: cannot open: %s", name.c_str(), std::strerror(errno));
  const bool ok = model::ReadParametersFrom(inp, name.c_str(), P);
  std::fclose(inp);
  return ok;
}

// What `write` writes into a stream, as text.
template <typename Write>
std::string Captured(Write write) {
  char* text = nullptr;
  std::size_t size = 0;
  std::FILE* out = open_memstream(&text, &size);
  write(out);
  std::fclose(out);
  std::string captured(text, size);
  std::free(text);
  return captured;
}

// The header the programs write for P into a table of this kind.
std::string ExpectedHeader(Kind kind, const model::Parameters& P, const model::SolarDay& S) {
  const model::HeaderVariant variant = kind == Kind::kForwardPercentage ? model::ForwardPercentage
                                       : kind == Kind::kForwardHours    ? model::ForwardHours
                                                                        : model::InverseOutput;
  return Captured([&](std::FILE* out) { model::WriteReportHeader(out, variant, P, S); });
}

// The value after `prefix` in the header line that starts with it.
std::string HeaderField(const std::vector<std::string>& lines, std::size_t count,
                        const std::string& prefix) {
  for (std::size_t i = 0; i < count && i < lines.size(); ++i)
    if (lines[i].rfind(prefix, 0) == 0) return lines[i].substr(prefix.size());
  return "";
}

bool CheckHeader(Table& t, const std::vector<std::string>& lines, const model::Parameters& P,
                 const std::string& input_name, std::size_t& next) {
  model::SolarDay S{};
  model::ComputeSolarDay(P, S);
  std::vector<std::string> expected;
  SplitLines(ExpectedHeader(t.kind, P, S), expected);
  for (std::size_t i = 0; i < expected.size(); ++i) {
    if (i >= lines.size())
      return Fail("%s: line %zu: missing, the table ends in its header", t.path.c_str(), i + 1);
    if (lines[i] != expected[i]) {
      if (i < 3)
        return Fail("%s: line %zu: not a %s table of this system (found \"%s\")", t.path.c_str(),
                    i + 1, FileName(t.kind), Visible(lines[i]).c_str());
      return Fail("%s: line %zu: \"%s\" does not match %s, for which it would read \"%s\"",
                  t.path.c_str(), i + 1, Visible(lines[i]).c_str(), input_name.c_str(),
                  Visible(expected[i]).c_str());
    }
  }
  const std::size_t n = expected.size();
  t.latitude = HeaderField(lines, n, "Geographical latitude: ");
  t.longitude = HeaderField(lines, n, "Geographical longitude: ");
  t.date = HeaderField(lines, n, "Date: ");
  t.sunrise = HeaderField(lines, n, "Sunrise: ");
  t.sunset = HeaderField(lines, n, "Sunset: ");
  t.daytime = HeaderField(lines, n, "Daytime: ");
  t.shape = HeaderField(lines, n, "Calculated data for cloud shape: ");
  t.day_length = S.DAY1;
  next = n;
  return true;
}

// The heading row and the blank line after it.
bool CheckHeading(const Table& t, const std::vector<std::string>& lines, const model::Parameters& P,
                  const std::string& input_name, std::size_t& next) {
  // The heading row the programs write for the count they read back from
  // "ncol", and its blank line.
  const auto variant = t.kind == Kind::kInverse ? model::InverseHeading : model::ForwardHeading;
  std::string expected = Captured([&](std::FILE* out) {
    model::WriteHeadingRow(variant, out, nullptr, P, model::RoundedColumnCount(P));
  });
  expected.resize(expected.size() - 2);  // without "\n\n"
  if (next >= lines.size())
    return Fail("%s: line %zu: missing, the table ends before its heading", t.path.c_str(),
                next + 1);
  if (lines[next] != expected)
    return Fail("%s: line %zu: heading \"%s\" does not match the beta grid of %s (\"%s\")",
                t.path.c_str(), next + 1, Visible(lines[next]).c_str(), input_name.c_str(),
                Visible(expected).c_str());
  if (next + 1 >= lines.size() || !lines[next + 1].empty())
    return Fail("%s: line %zu: the blank line after the heading is missing", t.path.c_str(),
                next + 2);
  next += 2;
  return true;
}

// The betas of a row of the forward tables and the fine table, as the beta
// loop visits them, or of the inverse table's columns (beta_min plus j - 1
// steps), at most `limit` of them.  `complete` tells whether the loop ended.
std::vector<double> Betas(Kind kind, const model::Parameters& P, std::size_t columns,
                          std::size_t limit, bool& complete) {
  std::vector<double> betas;
  model::beta = P.beta_min;
  if (kind == Kind::kInverse) {
    for (std::size_t j = 0; j < columns; ++j, model::beta = model::beta + P.beta_step)
      betas.push_back(model::beta);
    complete = true;
    return betas;
  }
  complete = false;
  do {
    if (betas.size() == limit) return betas;
    betas.push_back(model::beta);
  } while (model::NextBeta(P));
  complete = true;
  return betas;
}

// The grid of the rows: first value, then the next while the bound holds.
struct RowGrid {
  Kind kind;
  const model::Parameters& P;
  double value;
  double First() {
    value = kind == Kind::kInverse ? P.SD_min : kind == Kind::kFineTable ? 0 : P.N_min;
    return value;
  }
  bool Next() {
    if (kind == Kind::kInverse) return P.SD_max >= (value = value + P.SD_step);
    if (kind == Kind::kFineTable) return (value = value + 0.01) <= 1;
    return P.N_max >= (value = value + P.N_step);
  }
};

bool ReadRows(Table& t, const std::vector<std::string>& lines, const model::Parameters& P,
              const std::string& input_name, std::size_t next) {
  const Layout layout = LayoutOf(t.kind);
  const double width = model::RoundedColumnCount(P) + 1;
  const std::size_t inverse_columns = width >= 1 ? static_cast<std::size_t>(width) - 1 : 0;
  RowGrid grid{t.kind, P, 0};
  double row = grid.First();
  bool more_rows = true;
  for (std::size_t l = next; l < lines.size(); ++l) {
    const std::string& line = lines[l];
    const std::string label = Fixed(row, 2) + layout.label_separator;
    if (!more_rows)
      return Fail("%s: line %zu: more rows than the grid of %s", t.path.c_str(), l + 1,
                  input_name.c_str());
    if (line.rfind(label, 0) != 0)
      return Fail("%s: line %zu: \"%s\" does not start with the row label \"%s\" of %s",
                  t.path.c_str(), l + 1, Visible(line).c_str(), Visible(label).c_str(),
                  input_name.c_str());
    std::vector<std::string> cells;
    const std::string separator = layout.cell_separator;
    for (std::size_t pos = label.size(); pos < line.size();) {
      const std::size_t end = line.find(separator, pos);
      if (end == std::string::npos)
        return Fail("%s: line %zu: cell %zu does not end with its separator", t.path.c_str(), l + 1,
                    cells.size() + 1);
      cells.push_back(line.substr(pos, end - pos));
      if (!IsCellText(cells.back(), layout.precision))
        return Fail("%s: line %zu: cell %zu \"%s\" is not a number of this table", t.path.c_str(),
                    l + 1, cells.size(), Visible(cells.back()).c_str());
      pos = end + separator.size();
    }
    if (t.cells.empty()) {
      bool complete = false;
      t.betas = Betas(t.kind, P, inverse_columns, cells.size() + 1, complete);
      if (!complete || t.betas.size() != cells.size())
        return Fail("%s: line %zu: %zu cells where the beta grid of %s gives %s%zu", t.path.c_str(),
                    l + 1, cells.size(), input_name.c_str(), complete ? "" : "more than ",
                    complete ? t.betas.size() : cells.size());
    } else if (cells.size() != t.betas.size()) {
      return Fail("%s: line %zu: %zu cells where the rows before have %zu", t.path.c_str(), l + 1,
                  cells.size(), t.betas.size());
    }
    t.rows.push_back(row);
    t.cells.push_back(std::move(cells));
    more_rows = grid.Next();
    row = grid.value;
  }
  if (more_rows)
    return Fail("%s: line %zu: missing, the table ends before the last row of the grid of %s",
                t.path.c_str(), lines.size() + 1, input_name.c_str());
  return true;
}

}  // namespace

const char* FileName(Kind kind) {
  switch (kind) {
    case Kind::kForwardPercentage:
      return model::kPercentageFile;
    case Kind::kForwardHours:
      return model::kHoursFile;
    case Kind::kInverse:
      return model::kInverseFile;
    case Kind::kFineTable:
      break;
  }
  return model::kFineTableFile;
}

bool KindOfName(const std::string& name, Kind& kind) {
  for (Kind k : {Kind::kForwardPercentage, Kind::kForwardHours, Kind::kInverse, Kind::kFineTable})
    if (name == FileName(k)) {
      kind = k;
      return true;
    }
  return false;
}

std::string FolderOf(const std::string& path) {
  const std::size_t slash = path.rfind('/');
  if (slash == std::string::npos) return ".";
  return slash == 0 ? "/" : path.substr(0, slash);
}

std::string Shortest(double value) {
  model::NumberText text;
  return model::ShortestText(value, text);
}

bool IsMissing(const std::string& text) {
  return text == "nan" || text == "-nan" || text == "inf" || text == "-inf";
}

std::string PortableCell(const std::string& text) { return text == "-nan" ? "nan" : text; }

bool ReadTable(const std::string& path, Table& table) {
  table = Table{};
  table.path = path;
  const std::size_t slash = path.rfind('/');
  const std::string name = slash == std::string::npos ? path : path.substr(slash + 1);
  if (!KindOfName(name, table.kind))
    return Fail(
        "%s: not one of the system's tables (Quorvane_output_percentage.txt, "
        "Quorvane_output_absolute.txt, Quorvane_output.txt, calculations.txt)",
        path.c_str());
  std::ifstream in(path, std::ios::binary);
  if (!in) return Fail("%s: cannot open: %s", path.c_str(), std::strerror(errno));
  std::ostringstream text;
  text << in.rdbuf();
  if (in.bad()) return Fail("%s: cannot read", path.c_str());

  model::Parameters P{};
  std::string input_name;
  if (!ReadInput(FolderOf(path), P, input_name)) return false;
  const bool forward = table.kind != Kind::kInverse;
  if (!model::CheckGrids(
          P, table.kind == Kind::kForwardPercentage || table.kind == Kind::kForwardHours, !forward))
    return false;

  std::vector<std::string> lines;
  if (!SplitLines(text.str(), lines))
    return Fail("%s: line %zu: cut off, the line has no end", path.c_str(), lines.size());
  std::size_t next = 0;
  if (table.kind != Kind::kFineTable && (!CheckHeader(table, lines, P, input_name, next) ||
                                         !CheckHeading(table, lines, P, input_name, next)))
    return false;
  return ReadRows(table, lines, P, input_name, next);
}

}  // namespace tables
