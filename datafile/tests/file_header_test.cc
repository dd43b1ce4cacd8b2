#include "datafile/file_header.h"

#include <gtest/gtest.h>

#include <functional>

#include "datafile/corruption.h"
#include "datafile/file_io.h"
#include "platform/error_codes.h"
#include "platform/mem_file_system.h"

namespace orvel::datafile {
namespace {

using platform::FileCall;
using platform::MemFileSystem;

int check_of(const std::function<void()>& f) {
  try {
    f();
  } catch (const CorruptionError& e) {
    return e.check();
  }
  return 0;
}

TEST(FileHeaderTest, NewFileHeaderHoldsOnlyBlockSizeAndMagic) {
  FileHeader h = FileHeader::new_file();
  const uint8_t* b = h.bytes();
  EXPECT_EQ(b[4], 0x00);
  EXPECT_EQ(b[5], 0x02);
  EXPECT_EQ(std::string(reinterpret_cast<const char*>(b + 0x0E), 4), "hLvK");
  int nonzero = 0;
  for (size_t i = 0; i < kFileHeaderSize; ++i) nonzero += b[i] != 0;
  EXPECT_EQ(nonzero, 5);
  EXPECT_TRUE(h.all_regions_empty());
  EXPECT_EQ(h.computed_data_end(), 0x200u);
}

TEST(FileHeaderTest, IssuingNumbersCarriesAsOneBigEndianCounter) {
  FileHeader h = FileHeader::new_file();
  EXPECT_EQ(h.issue_number(), 1u) << "the first number of a new file";
  uint8_t* counter = h.bytes() + 0x14;
  counter[0] = 0;
  counter[1] = 0;
  counter[2] = 0;
  counter[3] = 0xFF;
  EXPECT_EQ(h.issue_number(), 0x100u);
  EXPECT_EQ(counter[2], 0x01);
  EXPECT_EQ(counter[3], 0x00);

  counter[0] = 0xFD;
  counter[1] = counter[2] = 0xFF;
  counter[3] = 0xFE;
  EXPECT_EQ(h.issue_number(), 0xFDFFFFFFu) << "the largest number ever issued";
  EXPECT_EQ(check_of([&] { h.issue_number(); }), 1173);
  EXPECT_EQ(h.last_issued(), 0xFDFFFFFFu) << "a refused number leaves the counter";
}

TEST(FileHeaderTest, RegionsGiveClassesAndDataEnd) {
  // Only region 3 in use: two pages of 768 bytes at addresses 0 and 3.
  FileHeader h = FileHeader::new_file();
  h.set_region(3, 0, 6);
  for (int i = 4; i <= kMaxClass; ++i) h.set_region(i, 6, 6);
  EXPECT_EQ(h.computed_data_end(), 0x800u);
  EXPECT_EQ(h.size_class_of(0), 3);
  EXPECT_EQ(h.size_class_of(5), 3);
  EXPECT_EQ(h.pages_in_region(3), 2);
  EXPECT_EQ(check_of([&] { h.size_class_of(6); }), 1735);
  EXPECT_EQ(check_of([&] { h.size_class_of(-1); }), 1735);
  EXPECT_EQ(page_offset(3), 0x500u);
  EXPECT_EQ(round_up_256(257), 512u);
  EXPECT_EQ(round_up_256(256), 256u);
}

class FileIoTest : public ::testing::Test {
 protected:
  void SetUp() override {
    ASSERT_EQ(fs_.open("f", platform::open_mode::kReadWrite, platform::Disposition::kOpenOrCreate,
                       &file_),
              kNoError);
    io_ = std::make_unique<FileIo>(file_.get());
  }
  MemFileSystem fs_;
  std::unique_ptr<platform::File> file_;
  std::unique_ptr<FileIo> io_;
};

TEST_F(FileIoTest, LengthsMustBeMultiplesOf64) {
  uint8_t buf[128] = {};
  EXPECT_EQ(check_of([&] { io_->read(0, buf, 65); }), 2272);
  EXPECT_EQ(check_of([&] { io_->write(0, buf, 100); }), 2286);
  io_->write(0, buf, 64);
  EXPECT_EQ(io_->read(0, buf, 128), 64u) << "a plain read returns what there is";
  EXPECT_EQ(check_of([&] { io_->read_full(0, buf, 128); }), 2172);
  fs_.inject_fault({FileCall::kRead, 1, false, kSystemIoError});
  EXPECT_EQ(check_of([&] { io_->read(0, buf, 64); }), 2277);
}

TEST_F(FileIoTest, FailedWritesLeaveAPendingErrorAndSkipLaterWrites) {
  uint8_t buf[64] = {1};
  fs_.inject_fault({FileCall::kWrite, 1, false, kSystemDiskFull});
  io_->write(0, buf, 64);
  EXPECT_EQ(io_->pending_error(), kSystemDiskFull);
  io_->write(64, buf, 64);
  EXPECT_EQ(fs_.contents("f").size(), 0u) << "writes are skipped while an error is pending";
  io_->clear_pending_error();

  platform::Fault short_write;
  short_write.short_write = true;
  fs_.inject_fault(short_write);
  io_->write(0, buf, 64);
  EXPECT_EQ(io_->pending_error(), kAccessDenied) << "a short write counts as access denied";
  io_->clear_pending_error();

  fs_.inject_fault({FileCall::kFlush, 1, false, kSystemIoError});
  io_->flush();
  EXPECT_EQ(io_->pending_error(), kSystemIoError);
}

}  // namespace
}  // namespace orvel::datafile
