// Placement of pages in the class regions of a file header, and the region upkeep it needs.
//
// Every page of size class k lies in region k, packed from S[k] in steps of k. Placement
// keeps that true while pages change class, appear and go: a page that changes class moves
// out (the last page of its old region fills the hole) and into a slot of its new region;
// a region that needs a slot takes one below itself by moving lower regions down, else one
// above by moving higher regions up; compaction finally closes the gaps between regions.
// Regions are never copied as a whole: single pages move, from the end of a region to its
// front or the other way round.
//
// Placement only does arithmetic on the header; a PageMover moves the pages themselves
// (loads them, gives them the new address, fixes the parent's child address). Corruption
// check 1781 when room above a region is asked for more units than its class.
// Not thread-safe.
#pragma once

#include <cstdint>

#include "datafile/file_header.h"

namespace orvel::datafile {

class PageMover {
 public:
  virtual ~PageMover() = default;
  // Moves the page at address from to address to (to is free). Nothing when from == to.
  virtual void move_page(int32_t from, int32_t to) = 0;
  // The next unused negative address.
  virtual int32_t next_negative_address() = 0;
};

class Placement {
 public:
  Placement(FileHeader* header, PageMover* mover) : header_(header), mover_(mover) {}

  // Places the page at address (negative when not placed yet) in region size_class and
  // returns its new address.
  int32_t place(int32_t address, int size_class);
  // The slot at address of class k is no longer used: the last page of region k moves there.
  void free_slot(int32_t address, int k);
  // Takes a new slot of class k and returns its address.
  int32_t allocate(int k);
  // Closes the gaps between the regions, from region 2 up; region 1 stays at 0.
  void compact();

  // Makes S[j+1] - E[j] >= n by moving regions j, j-1, ... down; false when it cannot.
  bool make_room_below(int j, int32_t n);
  // Makes S[k+1] - E[k] >= n by moving regions k+1, k+2, ... up.
  void make_room_above(int k, int32_t n);

 private:
  int32_t start(int i) const { return header_->region_start(i); }
  int32_t end(int i) const { return header_->region_end(i); }

  FileHeader* header_;
  PageMover* mover_;
};

}  // namespace orvel::datafile
