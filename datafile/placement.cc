#include "datafile/placement.h"

#include "datafile/corruption.h"

namespace orvel::datafile {

int32_t Placement::place(int32_t address, int size_class) {
  int old_class = address < 0 ? 0 : header_->size_class_of(address);
  if (old_class == size_class) return address;
  if (old_class != 0) {
    int32_t parked = mover_->next_negative_address();
    mover_->move_page(address, parked);
    free_slot(address, old_class);
    address = parked;
  }
  int32_t slot = allocate(size_class);
  mover_->move_page(address, slot);
  return slot;
}

void Placement::free_slot(int32_t address, int k) {
  int32_t last = end(k) - k;
  mover_->move_page(last, address);
  header_->set_region(k, start(k), end(k) - k);
}

int32_t Placement::allocate(int k) {
  if (make_room_below(k - 1, k)) {
    header_->set_region(k, start(k) - k, end(k));
    return start(k);
  }
  make_room_above(k, k);
  int32_t slot = end(k);
  header_->set_region(k, start(k), end(k) + k);
  return slot;
}

bool Placement::make_room_below(int j, int32_t n) {
  if (j <= 0) return false;
  int32_t gap = start(j + 1) - end(j);
  if (gap >= n) return true;
  int32_t need = (n - gap + j - 1) / j * j;
  if (!make_room_below(j - 1, need)) return false;
  while (start(j + 1) - end(j) < n) {
    // The last page of region j goes to the free slot in front of it; an empty region
    // just moves.
    if (end(j) > start(j)) mover_->move_page(end(j) - j, start(j) - j);
    header_->set_region(j, start(j) - j, end(j) - j);
  }
  return true;
}

void Placement::make_room_above(int k, int32_t n) {
  if (n > k) corruption_check(1781);
  if (k >= kMaxClass) return;
  if (start(k + 1) - end(k) >= n) return;
  int m = k + 1;
  int pages = header_->pages_in_region(m);
  if (pages >= 2) {
    make_room_above(m, m);
    mover_->move_page(start(m), end(m));
    header_->set_region(m, start(m) + m, end(m) + m);
  } else {
    int32_t d = n - (start(k + 1) - end(k));
    make_room_above(m, d);
    if (pages == 1) mover_->move_page(start(m), start(m) + d);
    header_->set_region(m, start(m) + d, end(m) + d);
  }
}

void Placement::compact() {
  for (int i = 2; i <= kMaxClass; ++i) {
    int pages = header_->pages_in_region(i);
    if (pages >= 2) {
      while (start(i) - end(i - 1) >= i) {
        mover_->move_page(end(i) - i, start(i) - i);
        header_->set_region(i, start(i) - i, end(i) - i);
      }
    } else {
      if (pages == 1) mover_->move_page(start(i), end(i - 1));
      int32_t s = end(i - 1);
      header_->set_region(i, s, s + pages * i);
    }
  }
}

}  // namespace orvel::datafile
