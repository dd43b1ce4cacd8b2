#include "bench/orvel_bench_report.h"

#include <cstdio>

namespace orvel::bench {
namespace {

std::string number(double v) {
  char buf[32];
  if (v >= 100 || v == 0) {
    std::snprintf(buf, sizeof buf, "%.0f", v);
  } else if (v >= 1) {
    std::snprintf(buf, sizeof buf, "%.2f", v);
  } else {
    std::snprintf(buf, sizeof buf, "%.4f", v);
  }
  return buf;
}

}  // namespace

double Figure::ratio() const {
  if (ours <= 0 || peer <= 0) return 0;
  return lower_is_better ? peer / ours : ours / peer;
}

void print_table(std::ostream& out, const std::vector<Figure>& figures) {
  char line[256];
  std::snprintf(line, sizeof line, "%-22s %14s %14s %-12s %7s  %s\n", "workload", "ours",
                "peer", "unit", "ratio", "");
  out << line;
  for (const Figure& f : figures) {
    std::snprintf(line, sizeof line, "%-22s %14s %14s %-12s %7.2f  %s\n", f.name.c_str(),
                  number(f.ours).c_str(), number(f.peer).c_str(), f.unit.c_str(), f.ratio(),
                  f.note.c_str());
    out << line;
  }
}

void print_lines(std::ostream& out, const std::vector<Figure>& figures) {
  for (const Figure& f : figures) {
    char ratio[32];
    std::snprintf(ratio, sizeof ratio, "%.3f", f.ratio());
    out << "bench " << f.name << " ours=" << number(f.ours) << " peer=" << number(f.peer)
        << " unit=" << f.unit << " ratio=" << ratio << '\n';
  }
}

}  // namespace orvel::bench
