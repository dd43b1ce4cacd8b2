#include "platform/browse/browse_page.h"

#include <algorithm>
#include <cmath>
#include <iterator>

#include "platform/error_codes.h"

namespace orvel::browse {
namespace {

void append(Rows* to, Rows&& rows) {
  to->insert(to->end(), std::make_move_iterator(rows.begin()), std::make_move_iterator(rows.end()));
}

void prepend(Rows* to, Rows&& rows) {
  to->insert(to->begin(), std::make_move_iterator(rows.begin()),
             std::make_move_iterator(rows.end()));
}

}  // namespace

void BrowsePage::set_source(RowSource* source) {
  source_ = source;
  rows_.clear();
  selected_ = -1;
  thumb_ = 0;
}

const BrowseRecord* BrowsePage::selected_row() const {
  return selected_ < 0 ? nullptr : &rows_[size_t(selected_)];
}

void BrowsePage::select_clamped(int index) {
  selected_ = rows_.empty() ? -1 : std::clamp(index, 0, int(rows_.size()) - 1);
}

void BrowsePage::select(int index) {
  select_clamped(index);
}

void BrowsePage::update_thumb() {
  if (rows_.empty() || !source_->has_before(rows_.front())) {
    thumb_ = 0;
  } else if (!source_->has_after(rows_.back())) {
    thumb_ = kThumbRange;
  } else {
    // Strictly inside, so that the thumb at either end means the list's end is on screen.
    const int estimate = int(std::lround(source_->fraction_of(rows_.front()) * kThumbRange));
    thumb_ = std::clamp(estimate, 1, kThumbRange - 1);
  }
}

int BrowsePage::land(Rows rows, int rc, int index) {
  if (rc == kNoError && !rows.empty() && rows.size() < size_) {
    Rows above;
    rc = source_->before(rows.front(), size_ - rows.size(), &above);
    index += int(above.size());
    prepend(&rows, std::move(above));
  }
  if (rc == kNoError && rows.empty()) {
    // Nothing at or after the place: the end of the list is the nearest.
    rc = source_->last(size_, &rows);
    index = int(rows.size()) - 1;
  }
  rows_ = std::move(rows);
  select_clamped(index);
  update_thumb();
  return rc;
}

int BrowsePage::set_size(size_t rows) {
  size_ = std::max<size_t>(rows, 1);
  if (source_ == nullptr || rows_.empty()) return kNoError;
  int rc = kNoError;
  if (rows_.size() > size_) {
    // Drop rows below the page, and above it when the highlight would fall off.
    const size_t keep_from = size_t(selected_) >= size_ ? size_t(selected_) - size_ + 1 : size_t(0);
    rows_.erase(rows_.begin() + ptrdiff_t(keep_from + size_), rows_.end());
    rows_.erase(rows_.begin(), rows_.begin() + ptrdiff_t(keep_from));
    selected_ -= int(keep_from);
  } else if (rows_.size() < size_) {
    Rows more;
    rc = source_->after(rows_.back(), size_ - rows_.size(), &more);
    append(&rows_, std::move(more));
    if (rc == kNoError && rows_.size() < size_) {
      Rows above;
      rc = source_->before(rows_.front(), size_ - rows_.size(), &above);
      selected_ += int(above.size());
      prepend(&rows_, std::move(above));
    }
  }
  update_thumb();
  return rc;
}

int BrowsePage::home() {
  if (source_ == nullptr) return kNoError;
  Rows rows;
  const int rc = source_->first(size_, &rows);
  return land(std::move(rows), rc, 0);
}

int BrowsePage::end() {
  if (source_ == nullptr) return kNoError;
  Rows rows;
  const int rc = source_->last(size_, &rows);
  rows_ = std::move(rows);
  select_clamped(int(rows_.size()) - 1);
  update_thumb();
  return rc;
}

int BrowsePage::line_down() {
  if (rows_.empty()) return home();
  if (size_t(selected_) + 1 < rows_.size()) {
    ++selected_;
    return kNoError;
  }
  const int rc = scroll(1);
  select_clamped(int(rows_.size()) - 1);
  return rc;
}

int BrowsePage::line_up() {
  if (rows_.empty()) return home();
  if (selected_ > 0) {
    --selected_;
    return kNoError;
  }
  const int rc = scroll(-1);
  select_clamped(0);
  return rc;
}

int BrowsePage::scroll(int lines) {
  if (source_ == nullptr || lines == 0) return kNoError;
  if (rows_.empty()) return home();
  Rows more;
  int rc;
  const size_t count = std::min<size_t>(size_t(std::abs(lines)), size_);
  if (lines > 0) {
    rc = source_->after(rows_.back(), count, &more);
    append(&rows_, std::move(more));
    const size_t gone = rows_.size() > size_ ? rows_.size() - size_ : 0;
    rows_.erase(rows_.begin(), rows_.begin() + ptrdiff_t(gone));
    select_clamped(selected_ - int(gone));
  } else {
    rc = source_->before(rows_.front(), count, &more);
    const size_t added = more.size();
    prepend(&rows_, std::move(more));
    selected_ += int(added);
    if (rows_.size() > size_) rows_.erase(rows_.begin() + ptrdiff_t(size_), rows_.end());
    select_clamped(selected_);
  }
  update_thumb();
  return rc;
}

int BrowsePage::page_down() {
  if (source_ == nullptr) return kNoError;
  if (rows_.empty()) return home();
  Rows more;
  const int rc = source_->after(rows_.back(), size_, &more);
  // The highlighted record moves down by a page, or to the last row at the end.
  const int target = selected_ + int(size_);
  append(&rows_, std::move(more));
  const size_t gone = rows_.size() > size_ ? rows_.size() - size_ : 0;
  rows_.erase(rows_.begin(), rows_.begin() + ptrdiff_t(gone));
  select_clamped(target - int(gone));
  update_thumb();
  return rc;
}

int BrowsePage::page_up() {
  if (source_ == nullptr) return kNoError;
  if (rows_.empty()) return home();
  Rows more;
  const int rc = source_->before(rows_.front(), size_, &more);
  const int target = selected_ + int(more.size()) - int(size_);
  prepend(&rows_, std::move(more));
  if (rows_.size() > size_) rows_.erase(rows_.begin() + ptrdiff_t(size_), rows_.end());
  select_clamped(target);
  update_thumb();
  return rc;
}

int BrowsePage::locate(std::string_view text) {
  if (source_ == nullptr) return kNoError;
  Rows rows;
  const int rc = source_->locate(text, size_, &rows);
  return land(std::move(rows), rc, 0);
}

int BrowsePage::to_thumb(int thumb) {
  if (source_ == nullptr) return kNoError;
  if (thumb <= 0) return home();
  if (thumb >= kThumbRange) return end();
  Rows rows;
  const int rc = source_->at_fraction(double(thumb) / kThumbRange, size_, &rows);
  const int kept = selected_ < 0 ? 0 : selected_;
  const int result = land(std::move(rows), rc, 0);
  select_clamped(kept);
  // The thumb stays where the operator put it; the estimate of the new top row may differ.
  if (thumb_ != 0 && thumb_ != kThumbRange) thumb_ = thumb;
  return result;
}

int BrowsePage::refresh() {
  if (source_ == nullptr) return kNoError;
  if (rows_.empty()) return home();
  const uint32_t highlighted = rows_[size_t(selected_)].number;
  const int screen_row = selected_;
  Rows rows;
  const int rc = source_->from(rows_.front(), size_, &rows);
  const int result = land(std::move(rows), rc, screen_row);
  for (size_t i = 0; i < rows_.size(); ++i) {
    if (rows_[i].number == highlighted) selected_ = int(i);
  }
  return result;
}

}  // namespace orvel::browse
