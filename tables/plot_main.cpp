// quorvane-plot [--svg] [FOLDER]: a picture of every result table in FOLDER
// (the working directory by default), drawn by gnuplot beside the table:
// the table's name with ".png" for ".txt", and ".svg" with --svg, 1200 x 800
// pixels.
//
// Forward tables: sunshine duration against cloud cover, one curve per beta
// (at most 12 columns), else a heat map of cover against beta with contour
// lines every 10 % (every hour).  The inverse table: the cover found against
// the requested sunshine duration, the same way.  A polar night gives a
// picture that says so; NaN and infinite cells are left out and counted.
#include <fcntl.h>
#include <spawn.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cctype>
#include <cerrno>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <fstream>
#include <sstream>
#include <string>
#include <vector>

#include "model.hpp"
#include "table_reader.hpp"

extern char** environ;

namespace {

using model::Fail;
using tables::Kind;
using tables::Table;

const char* kUsage =
    "usage: quorvane-plot [--svg] [FOLDER]\n"
    "Draws each result table of FOLDER (default: the working directory) with gnuplot\n"
    "beside it, as NAME.png for NAME.txt (and NAME.svg with --svg), 1200 x 800 pixels.\n";

constexpr int kWidth = 1200, kHeight = 800;
constexpr std::size_t kMostCurves = 12;

// A text in gnuplot's double quotes, with its line ends as "\n".
std::string Quote(const std::string& text) {
  std::string quoted = "\"";
  for (char c : text) {
    if (c == '\\' || c == '"') quoted += '\\';
    quoted += c == '\n' ? std::string("\\n") : std::string(1, c);
  }
  return quoted + "\"";
}

// A grid value for a legend or an axis: six significant digits.
std::string Short(double value) {
  char text[32];
  std::snprintf(text, sizeof text, "%.6g", value);
  return text;
}

std::string WithoutUnit(std::string time) {
  if (time.size() > 2 && time.compare(time.size() - 2, 2, " h") == 0) time.resize(time.size() - 2);
  return time;
}

std::string Title(const Table& t) {
  std::string shape = t.shape.empty() ? "clouds of unknown shape" : t.shape + " clouds";
  shape[0] = static_cast<char>(std::toupper(static_cast<unsigned char>(shape[0])));
  return shape + " at latitude " + t.latitude + ", longitude " + t.longitude + ", " + t.date +
         "\nsunrise " + WithoutUnit(t.sunrise) + " h, sunset " + WithoutUnit(t.sunset) +
         " h, daytime " + t.daytime;
}

struct Axes {
  std::string x, value;  // labels: the row grid, the cells
  double contour_step;   // of the heat map
};

Axes AxesOf(Kind kind) {
  switch (kind) {
    case Kind::kForwardPercentage:
      return {"cloud cover N (fraction of the sky)", "sunshine duration (% of daytime)", 10};
    case Kind::kForwardHours:
      return {"cloud cover N (fraction of the sky)", "sunshine duration (hours)", 1};
    default:
      return {"requested sunshine duration SD (% of daytime)",
              "cloud cover found (fraction of the sky)", 0.1};
  }
}

std::string Number(double value) { return tables::Shortest(value); }

std::string CellValue(const std::string& text) { return tables::IsMissing(text) ? "NaN" : text; }

// The gnuplot commands, with the data inline, that draw `t`.
std::string Plot(const Table& t) {
  const Axes axes = AxesOf(t.kind);
  std::size_t missing = 0, cells = 0;
  double largest = -INFINITY;
  for (const auto& row : t.cells)
    for (const auto& cell : row) {
      ++cells;
      if (tables::IsMissing(cell))
        ++missing;
      else
        largest = std::fmax(largest, std::atof(cell.c_str()));
    }
  std::ostringstream s;
  s << "set title " << Quote(Title(t)) << "\n";
  s << "set xlabel " << Quote(axes.x) << "\nset grid\n";
  const double first = t.rows.front(), last = t.rows.back();
  const std::string xrange =
      first < last ? "set xrange [" + Number(first) + ":" + Number(last) + "]\n" : "";
  if (t.day_length == 0) {  // polar night: every percentage is NaN
    s << "set ylabel " << Quote(axes.value) << "\n" << xrange << "set yrange [0:1]\n";
    s << "set label 1 "
      << Quote(
             "Polar night: the sun does not rise on this day,\n"
             "so there is no sunshine duration to draw.")
      << " at graph 0.5,0.5 center font \",18\"\n";
    s << "plot NaN notitle\n";
    return s.str();
  }
  if (missing > 0)
    s << "set label 2 "
      << Quote(std::to_string(missing) + " of " + std::to_string(cells) +
               " cells are NaN or infinite and left out")
      << " at screen 0.01,0.02\n";
  const std::size_t columns = t.betas.size();
  s << xrange;
  if (columns <= kMostCurves) {
    s << "set ylabel " << Quote(axes.value) << "\n";
    if (t.kind == Kind::kForwardHours)
      s << "set yrange [0:" << Number(std::fmax(t.day_length, largest)) << "]\n";
    else if (t.kind == Kind::kInverse)
      s << "set yrange [0:1]\n";
    s << "set key outside right top title 'beta'\n";
    for (std::size_t c = 0; c < columns; ++c) {
      s << "$curve" << c << " << EOD\n";
      for (std::size_t r = 0; r < t.rows.size(); ++r)
        s << Number(t.rows[r]) << " " << CellValue(t.cells[r][c]) << "\n";
      s << "EOD\n";
    }
    s << "plot ";
    for (std::size_t c = 0; c < columns; ++c)
      s << (c ? ", " : "") << "$curve" << c << " using 1:2 with linespoints pointsize 0.6 title "
        << Quote(Short(t.betas[c]));
    s << "\n";
    return s.str();
  }
  // A heat map, with the contour lines traced into a table first.
  s << "$grid << EOD\n";
  for (std::size_t r = 0; r < t.rows.size(); ++r) {
    for (std::size_t c = 0; c < columns; ++c)
      s << Number(t.rows[r]) << " " << Number(t.betas[c]) << " " << CellValue(t.cells[r][c])
        << "\n";
    s << "\n";
  }
  // Contour lines every step from 0 up to the largest finite cell (at most
  // a few hundred of them, whatever the values).
  const double step = std::fmax(axes.contour_step,
                                std::ceil(largest / 200 / axes.contour_step) * axes.contour_step);
  s << "EOD\nset contour base\nset cntrparam levels incremental 0," << Number(step) << ","
    << Number(std::fmax(largest, 0))
    << "\nunset surface\nset table $contours\nsplot $grid using 1:2:3 with lines\n"
       "unset table\nunset contour\nset surface\nset view map\n";
  s << "set ylabel 'beta'\nset cblabel " << Quote(axes.value) << "\n";
  s << "set yrange [" << Number(t.betas.front()) << ":" << Number(t.betas.back()) << "]\n";
  s << "splot $grid using 1:2:3 with pm3d notitle, $contours using 1:2:(0) with lines "
       "linecolor rgb 'black' notitle\n";
  return s.str();
}

// The whole script: the picture into `png`, then, where `svg` is not null,
// the same plot once more into it.
std::string Script(const Table& t, const char* png, const char* svg) {
  const std::string size = std::to_string(kWidth) + "," + std::to_string(kHeight);
  std::string script = "set terminal pngcairo noenhanced size " + size + " font 'sans,11'\n" +
                       "set output " + Quote(png) + "\n" + Plot(t);
  if (svg != nullptr)
    script += "set terminal svg noenhanced size " + size + " font 'sans,11' background 'white'\n" +
              "set output " + Quote(svg) + "\nreplot\n";
  return script;
}

// Runs gnuplot on `script`; false after a message naming `picture`.
bool RunGnuplot(const std::string& script, const char* picture) {
  // The script goes to gnuplot's standard input; its messages to a file.
  const char* folder = std::getenv("TMPDIR");
  std::string script_path =
      std::string(folder != nullptr ? folder : "/tmp") + "/quorvane-plot-XXXXXX";
  const int script_fd = mkstemp(&script_path[0]);
  if (script_fd < 0) return Fail("cannot create a temporary file: %s", std::strerror(errno));
  const bool written =
      write(script_fd, script.data(), script.size()) == static_cast<ssize_t>(script.size());
  close(script_fd);
  const std::string messages_path = script_path + ".err";
  posix_spawn_file_actions_t actions;
  posix_spawn_file_actions_init(&actions);
  posix_spawn_file_actions_addopen(&actions, 0, script_path.c_str(), O_RDONLY, 0);
  posix_spawn_file_actions_addopen(&actions, 2, messages_path.c_str(), O_WRONLY | O_CREAT | O_TRUNC,
                                   0600);
  char gnuplot[] = "gnuplot";
  char* argv[] = {gnuplot, nullptr};
  pid_t pid;
  const int spawned =
      written ? posix_spawnp(&pid, "gnuplot", &actions, nullptr, argv, environ) : EIO;
  posix_spawn_file_actions_destroy(&actions);
  int status = 0;
  if (spawned == 0) waitpid(pid, &status, 0);
  std::ifstream messages(messages_path);
  std::string first_message;
  std::getline(messages, first_message);
  std::remove(script_path.c_str());
  std::remove(messages_path.c_str());
  if (spawned != 0)
    return Fail("cannot run gnuplot (Debian package gnuplot-nox): %s", std::strerror(spawned));
  if (!WIFEXITED(status) || WEXITSTATUS(status) != 0)
    return Fail("%s: gnuplot failed: %s", picture,
                first_message.empty() ? "no message" : first_message.c_str());
  return true;
}

bool WrotePicture(const model::Output& output) {
  struct stat info;
  if (stat(model::TempName(output), &info) == 0 && info.st_size > 0) return true;
  return Fail("%s: gnuplot wrote no picture", output.name);
}

// Draws every table into its pictures, each written under a temporary name
// as the programs write their tables (see OpenOutputs) and renamed only
// when all of them are done.
bool DrawAll(const std::vector<Table>& found, bool svg) {
  const std::size_t per_table = svg ? 2 : 1;
  std::vector<std::string> names;
  for (const Table& t : found) {
    const std::string stem = t.path.substr(0, t.path.size() - 4);  // without ".txt"
    names.push_back(stem + ".png");
    if (svg) names.push_back(stem + ".svg");
  }
  std::vector<model::Output> outputs;
  for (const std::string& name : names) outputs.push_back({name.c_str(), nullptr, -1});
  const int count = static_cast<int>(outputs.size());
  if (!model::OpenOutputs(outputs.data(), count)) return false;
  for (std::size_t k = 0; k < found.size(); ++k) {
    model::Output* png = &outputs[k * per_table];
    model::Output* svg_output = svg ? png + 1 : nullptr;
    // gnuplot writes the temporary files itself.
    bool ok =
        model::CloseOutput(*png) && (svg_output == nullptr || model::CloseOutput(*svg_output));
    ok = ok && RunGnuplot(Script(found[k], model::TempName(*png),
                                 svg_output ? model::TempName(*svg_output) : nullptr),
                          png->name);
    ok = ok && WrotePicture(*png) && (svg_output == nullptr || WrotePicture(*svg_output));
    if (!ok) {
      model::DiscardOutputs(outputs.data(), count);
      return false;
    }
  }
  return model::CommitOutputs(outputs.data(), count);
}

}  // namespace

int main(int argc, char** argv) {
  model::SetProgramName("quorvane-plot");
  bool svg = false;
  std::string folder = ".";
  int folders = 0;
  for (int i = 1; i < argc; ++i) {
    const std::string arg = argv[i];
    if (arg == "--help" || arg == "-h") {
      std::fputs(kUsage, stdout);
      return 0;
    }
    if (arg == "--svg") {
      svg = true;
    } else if (!arg.empty() && arg[0] == '-') {
      std::fprintf(stderr, "quorvane-plot: unknown option %s\n%s", arg.c_str(), kUsage);
      return 2;
    } else {
      folder = arg;
      ++folders;
    }
  }
  if (folders > 1) {
    std::fputs(kUsage, stderr);
    return 2;
  }
  // Every table is read and checked before anything is drawn.
  std::vector<Table> found;
  for (Kind kind : tables::kResultTables) {
    const std::string path = folder + "/" + tables::FileName(kind);
    if (access(path.c_str(), F_OK) != 0) continue;
    found.emplace_back();
    if (!tables::ReadTable(path, found.back())) return 1;
  }
  if (found.empty())
    return Fail(
               "%s: no result tables (Quorvane_output_percentage.txt, "
               "Quorvane_output_absolute.txt, Quorvane_output.txt)",
               folder.c_str()),
           1;
  return DrawAll(found, svg) ? 0 : 1;
}
