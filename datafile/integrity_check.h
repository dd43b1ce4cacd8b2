// A structural check of a keyed data file as it stands on disk: the container and the
// record tree.
//
// It tests that the header is stable (no journal pending) and its regions are packed and in
// order; that every slot of every region holds a page whose stored size fits the region's
// class and whose first four bytes are its own offset; that the tree reaches every slot
// exactly once and nothing else; that levels go down by one; that keys ascend within and
// across pages; that every separator is a bare key equal to the first key of its child's
// subtree; that stored size estimates equal the records' and no page is left above the
// split limits; and that the sentinel is the first record.
//
// The file must have no uncommitted changes. Pages are read from the file, not the cache.
// Returns one line per problem found, empty for a sound file; never throws on damage.
// Uses the file's I/O, so it runs on the thread that uses the file.
#pragma once

#include <string>
#include <vector>

#include "datafile/data_file.h"

namespace orvel::datafile {

std::vector<std::string> check_integrity(DataFile* file);

}  // namespace orvel::datafile
