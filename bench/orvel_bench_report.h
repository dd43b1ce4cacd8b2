// The benchmark's report: a readable table, then one machine-readable line per figure,
//   bench NAME ours=X peer=Y unit=U ratio=R
// where R > 1 means we are better (rates: ours / peer; sizes and memory: peer / ours).
#pragma once

#include <cstdint>
#include <ostream>
#include <string>
#include <vector>

namespace orvel::bench {

struct Figure {
  std::string name;
  double ours = 0;
  double peer = 0;
  std::string unit;
  bool lower_is_better = false;
  std::string note;  // shown in the table only
  double ratio() const;
};

void print_table(std::ostream& out, const std::vector<Figure>& figures);
void print_lines(std::ostream& out, const std::vector<Figure>& figures);

}  // namespace orvel::bench
