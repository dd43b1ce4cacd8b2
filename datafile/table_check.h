// A check of the tables of a keyed data file against their own keys and counts, on top of
// the structural check of the container and the tree (integrity_check.h).
//
// For every table found through its table-name record: each data record has its entry in
// each key (unless the key is optional and the record's values are empty, or the key is an
// index or has not been built yet for that record); each key entry names a data record that
// exists and holds exactly the bytes the record's image encodes to; the statistics count of
// the table and of each key equals the real count. The file must have no uncommitted
// changes. Returns one line per problem, empty for a sound file; never throws on damage.
#pragma once

#include <string>
#include <vector>

#include "datafile/data_file.h"

namespace orvel::datafile {

std::vector<std::string> check_tables(DataFile* file);

// check_integrity() and then, when the structure is sound, check_tables().
std::vector<std::string> check_file(DataFile* file);

}  // namespace orvel::datafile
