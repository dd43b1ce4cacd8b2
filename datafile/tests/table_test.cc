#include "datafile/table.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cstring>
#include <functional>
#include <map>
#include <random>
#include <string>

#include "datafile/byte_order.h"
#include "datafile/data_file.h"
#include "datafile/table_check.h"
#include "datafile/tests/passport_declaration.h"
#include "datafile/tests/passport_record.h"
#include "platform/error_codes.h"
#include "platform/mem_file_system.h"

namespace orvel::datafile {
namespace {

namespace om = platform::open_mode;
using testing::kDateImp;
using testing::kFio;
using testing::kNumSer;
using testing::kSerNum;
using testing::Passport;

void store(Table& t, const Passport& p) { testing::store_passport(t, p); }
Passport loaded(Table& t) { return testing::loaded_passport(t); }

class TableTest : public ::testing::Test {
 protected:
  TableTest() : decl_(passport_declaration()) {}

  std::unique_ptr<Table> open_table(int mode = om::kReadWrite | om::kDenyNone) {
    auto t = std::make_unique<Table>(decl_, fs_);
    EXPECT_EQ(t->open(mode), kNoError);
    return t;
  }
  std::unique_ptr<Table> created() {
    Table maker(decl_, fs_);
    EXPECT_EQ(maker.create(), kNoError);
    return open_table();
  }
  uint32_t add(Table& t, const Passport& p) {
    store(t, p);
    EXPECT_EQ(t.add(), kNoError);
    return t.pointer();
  }
  // The numbers read by next() after a set, or previous() when backward.
  std::vector<std::string> numbers(Table& t, bool forward = true) {
    std::vector<std::string> out;
    while ((forward ? t.next() : t.previous()) == kNoError) out.push_back(loaded(t).num);
    return out;
  }
  std::vector<std::string> check() {
    std::unique_ptr<platform::File> f;
    EXPECT_EQ(fs_.open(decl_.file_name, om::kReadOnly | om::kDenyNone,
                       platform::Disposition::kOpenExisting, &f),
              kNoError);
    std::unique_ptr<DataFile> file;
    EXPECT_EQ(DataFile::open(std::move(f), om::kReadOnly | om::kDenyNone, {}, &file), kNoError);
    return check_file(file.get());
  }

  TableDecl decl_;
  platform::MemFileSystem fs_;
};

TEST_F(TableTest, CreateLaysOutTheTableAfterTheSentinel) {
  Table t(decl_, fs_);
  ASSERT_EQ(t.create(), kNoError);
  std::unique_ptr<platform::File> f;
  ASSERT_EQ(fs_.open("passport.hvk", om::kReadOnly | om::kDenyNone,
                     platform::Disposition::kOpenExisting, &f),
            kNoError);
  std::unique_ptr<DataFile> file;
  ASSERT_EQ(DataFile::open(std::move(f), om::kReadOnly | om::kDenyNone, {}, &file), kNoError);
  std::vector<Bytes> keys;
  Bytes key;
  while (const Record* r = file->tree().find_first_above(KeyView(key.data(), key.size()))) {
    key.assign(r->key().begin(), r->key().end());
    keys.push_back(key);
  }
  const Bytes unnamed = {0xFE, 'U', 'N', 'N', 'A', 'M', 'E', 'D'};
  EXPECT_EQ(keys, (std::vector<Bytes>{{0, 0, 0, 1, 0xF6, 0},
                                      {0, 0, 0, 1, 0xF6, 1},
                                      {0, 0, 0, 1, 0xF6, 2},
                                      {0, 0, 0, 1, 0xF6, 3},
                                      {0, 0, 0, 1, 0xF6, 0xF3},
                                      {0, 0, 0, 1, 0xFA, 0, 0},
                                      {0, 0, 0, 1, 0xFB, 1},
                                      unnamed}));
  EXPECT_TRUE(check().empty());
}

TEST_F(TableTest, OpenErrors) {
  Table t(decl_, fs_);
  EXPECT_EQ(t.open(), kFileNotFound) << "no file";
  EXPECT_EQ(last_error().code, kFileNotFound);
  fs_.set_contents("passport.hvk", Bytes(300, 'x'));
  EXPECT_EQ(t.open(), kInvalidDataFile);
  TableDecl other = decl_;
  other.file_name = "passport.hvk\\!archive";
  fs_.remove("passport.hvk");
  ASSERT_EQ(Table(decl_, fs_).create(), kNoError);
  EXPECT_EQ(Table(other, fs_).open(), kFileNotFound) << "no table of that name in the file";
  EXPECT_EQ(t.open(om::kWriteOnly), kAccessDenied);
  TableDecl changed = decl_;
  changed.fields[3].type = FieldType::kString;
  EXPECT_EQ(Table(changed, fs_).open(), kInvalidRecordDeclaration);
  EXPECT_NE(last_error().message.find("TYPE"), std::string::npos);
  TableDecl no_name = decl_;
  no_name.file_name = "";
  EXPECT_EQ(Table(no_name, fs_).open(), kInvalidFilename);
  TableDecl no_create = decl_;
  no_create.attributes = 0;
  EXPECT_EQ(Table(no_create, fs_).create(), kNoCreateAttribute);
}

TEST_F(TableTest, AddPutDeleteAndCounts) {
  auto t = created();
  uint32_t a = add(*t, {"45 01", "123456", "IVANOV", 74883, 74883, "lost"});
  add(*t, {"45 02", "000001", "PETROV"});
  add(*t, {"45 03", "000002", "SIDOROV"});
  // A change right after the add changes the added record.
  store(*t, {"45 03", "000002", "SIDOROVA"});
  ASSERT_EQ(t->put(), kNoError);
  uint32_t count = 0;
  ASSERT_EQ(t->records(&count), kNoError);
  EXPECT_EQ(count, 3u);
  ASSERT_EQ(t->get_by_number(a), kNoError);
  ASSERT_EQ(t->erase(), kNoError);
  EXPECT_EQ(t->erase(), kRecordNotAvailable) << "nothing current after a delete";
  ASSERT_EQ(t->records(&count), kNoError);
  EXPECT_EQ(count, 2u);
  ASSERT_EQ(t->records(kFio, &count), kNoError);
  EXPECT_EQ(count, 2u);
  store(*t, {"", "", "sidorova"});
  ASSERT_EQ(t->get(kFio), kNoError) << "the key ignores Latin case";
  EXPECT_EQ(loaded(*t).fio, "SIDOROVA");
  store(*t, {"45 01", "123456"});
  EXPECT_EQ(t->get(kSerNum), kRecordNotFound);
  t.reset();
  EXPECT_TRUE(check().empty());
}

TEST_F(TableTest, DuplicatesFetchTheLowestNumber) {
  auto t = created();
  uint32_t first = add(*t, {"45 01", "1", "FIRST"});
  add(*t, {"45 01", "1", "SECOND"});
  store(*t, {"45 01", "1"});
  ASSERT_EQ(t->get(kSerNum), kNoError);
  EXPECT_EQ(t->pointer(), first);
  EXPECT_EQ(loaded(*t).fio, "FIRST");
}

TEST_F(TableTest, KeyOrderReadingAndItsEnds) {
  auto t = created();
  for (const char* n : {"30", "10", "20"}) add(*t, {"45 01", n});
  add(*t, {"", "20", "BLANK SERIES"});
  ASSERT_EQ(t->set(kNumSer), kNoError);
  EXPECT_EQ(numbers(*t), (std::vector<std::string>{"10", "20", "20", "30"}));
  EXPECT_EQ(t->next(), kRecordNotAvailable) << "still at the end";
  ASSERT_EQ(t->previous(), kNoError) << "the one before the last read";
  EXPECT_EQ(loaded(*t).num, "20");
  // Number 20 with a blank series: the blank series sorts first.
  store(*t, {"", "20"});
  ASSERT_EQ(t->set_at(kNumSer), kNoError);
  ASSERT_EQ(t->next(), kNoError);
  EXPECT_EQ(loaded(*t).fio, "BLANK SERIES");
  store(*t, {"", "25"});
  ASSERT_EQ(t->set_at(kNumSer), kNoError);
  ASSERT_EQ(t->next(), kNoError) << "no 25: the next higher number";
  EXPECT_EQ(loaded(*t).num, "30");
  ASSERT_EQ(t->set(kNumSer), kNoError);
  EXPECT_EQ(numbers(*t, false), (std::vector<std::string>{"30", "20", "20", "10"}));
}

TEST_F(TableTest, EmptyTableThenAnAdd) {
  auto t = created();
  ASSERT_EQ(t->set(kFio), kNoError);
  EXPECT_EQ(t->next(), kRecordNotAvailable);
  add(*t, {"1", "1", "NEW"});
  ASSERT_EQ(t->next(), kNoError);
  EXPECT_EQ(loaded(*t).fio, "NEW");
}

TEST_F(TableTest, FileOrderIsRecordNumberOrder) {
  auto t = created();
  add(*t, {"9", "9"});
  add(*t, {"1", "1"});
  add(*t, {"5", "5"});
  ASSERT_EQ(t->set(), kNoError);
  EXPECT_EQ(numbers(*t), (std::vector<std::string>{"9", "1", "5"}));
  ASSERT_EQ(t->set(), kNoError);
  EXPECT_EQ(numbers(*t, false), (std::vector<std::string>{"5", "1", "9"}));
}

TEST_F(TableTest, PositionAndResetComeBackToTheSameRecord) {
  auto t = created();
  for (const char* n : {"1", "2", "3", "4"}) add(*t, {"S", n});
  ASSERT_EQ(t->set(kNumSer), kNoError);
  ASSERT_EQ(t->next(), kNoError);
  ASSERT_EQ(t->next(), kNoError);
  Position there = t->position(kNumSer);
  ASSERT_EQ(t->next(), kNoError);
  ASSERT_EQ(t->next(), kNoError);
  ASSERT_EQ(t->reset(there, kNumSer), kNoError);
  ASSERT_EQ(t->next(), kNoError);
  EXPECT_EQ(loaded(*t).num, "2");
  ASSERT_EQ(t->reget(there, kNumSer), kNoError);
  EXPECT_EQ(loaded(*t).num, "2");
  Position in_file = t->position();
  ASSERT_EQ(t->reget(in_file), kNoError);
  EXPECT_EQ(loaded(*t).num, "2");
  auto state = t->save_state();
  ASSERT_EQ(t->next(), kNoError);
  ASSERT_EQ(t->restore_state(*state), kNoError);
  ASSERT_EQ(t->next(), kNoError);
  EXPECT_EQ(loaded(*t).num, "3") << "reading goes on after the saved record";
}

TEST_F(TableTest, EntriesOfDeletedRecordsAreSkipped) {
  auto t = created();
  add(*t, {"S", "1"});
  uint32_t gone = add(*t, {"S", "2"});
  add(*t, {"S", "3"});
  ASSERT_EQ(t->set(kNumSer), kNoError);
  ASSERT_EQ(t->next(), kNoError);
  ASSERT_EQ(t->get_by_number(gone), kNoError);
  ASSERT_EQ(t->erase(), kNoError);
  EXPECT_EQ(numbers(*t), (std::vector<std::string>{"3"}));
}

TEST_F(TableTest, ReadOnlyTablesRefuseChanges) {
  created().reset();
  auto t = open_table(om::kReadOnly | om::kDenyNone);
  store(*t, {"1", "1"});
  EXPECT_EQ(t->add(), kAccessDenied);
  EXPECT_EQ(t->empty(), kAccessDenied);
}

TEST_F(TableTest, ClosingCutsTheFileAtItsDataEnd) {
  auto t = created();
  for (int i = 0; i < 200; ++i) add(*t, {"S", std::to_string(i), std::string(200, 'F')});
  ASSERT_EQ(t->set(), kNoError);
  while (t->next() == kNoError) ASSERT_EQ(t->erase(), kNoError);
  ASSERT_EQ(t->close(), kNoError);
  std::vector<uint8_t> bytes = fs_.contents("passport.hvk");
  ASSERT_GE(bytes.size(), 0x200u);
  EXPECT_EQ(bytes.size(), load_u32_le(bytes.data() + 6)) << "length equals the data end";
  EXPECT_TRUE(check().empty());
}

TEST_F(TableTest, EmptyAndBuild) {
  auto t = created();
  for (int i = 0; i < 50; ++i) {
    store(*t, {"S", std::to_string(i), "NAME" + std::to_string(i % 7)});
    ASSERT_EQ(t->append(), kNoError);
  }
  uint32_t count = 0;
  t->records(kFio, &count);
  EXPECT_EQ(count, 0u) << "appends leave the keys to a build";
  ASSERT_EQ(t->build(), kNoError);
  t->records(kFio, &count);
  EXPECT_EQ(count, 50u);
  t.reset();
  EXPECT_TRUE(check().empty());
  t = open_table();
  ASSERT_EQ(t->empty(), kNoError);
  t->records(&count);
  EXPECT_EQ(count, 0u);
  t.reset();
  EXPECT_TRUE(check().empty());
}

TEST_F(TableTest, TwoTablesOfOneProcessShareTheFile) {
  auto writer = created();
  auto reader = open_table();
  add(*writer, {"S", "1", "SHARED"});
  store(*reader, {"S", "1"});
  ASSERT_EQ(reader->get(kSerNum), kNoError);
  EXPECT_EQ(loaded(*reader).fio, "SHARED");
}

// An add that finds no statistics record: a table that another opener removed is taken
// back, but a table whose name still leads to it is damaged and keeps every record.
TEST_F(TableTest, AnAddWithoutStatisticsRecordTellsARemovedTableFromADamagedOne) {
  TableDecl other = decl_;
  other.file_name = "passport.hvk\\!OTHER";
  ASSERT_EQ(Table(other, fs_).create(), kNoError);  // so that removing the passports keeps the file
  auto t = created();
  add(*t, {"S", "1"});
  auto with_file = [&](int mode, const std::function<void(DataFile&)>& body) {
    std::unique_ptr<platform::File> f;
    ASSERT_EQ(fs_.open(decl_.file_name, mode, platform::Disposition::kOpenExisting, &f),
              kNoError);
    std::unique_ptr<DataFile> file;
    ASSERT_EQ(DataFile::open(std::move(f), mode, {}, &file), kNoError);
    body(*file);
    ASSERT_EQ(file->close(), kNoError);
  };
  auto passports_number = [&] {
    uint32_t number = 0;
    with_file(om::kReadOnly | om::kDenyNone, [&](DataFile& file) {
      const uint8_t name[] = {0xFE, 'U', 'N', 'N', 'A', 'M', 'E', 'D'};
      const Record* r = file.tree().find_equal(KeyView(name, sizeof name));
      ASSERT_TRUE(r);
      number = load_u32_be(r->data().data());
    });
    return number;
  };
  auto records_of = [&](uint32_t table) {
    int count = 0;
    with_file(om::kReadOnly | om::kDenyNone, [&](DataFile& file) {
      uint8_t first[4], beyond[4];
      store_u32_be(first, table);
      store_u32_be(beyond, table + 1);
      for (const Record* r = file.tree().find_first_above(KeyView(first, 4));
           r && std::memcmp(r->key().data(), beyond, 4) < 0;
           r = file.tree().find_first_above(r->key())) {
        ++count;
      }
    });
    return count;
  };
  const uint32_t damaged = passports_number();
  const int before = records_of(damaged);

  with_file(om::kReadWrite | om::kDenyNone, [&](DataFile& file) {
    uint8_t statistics[] = {0, 0, 0, 0, 0xF6, 0xF3};
    store_u32_be(statistics, damaged);
    file.tree().erase(KeyView(statistics, sizeof statistics));
    ASSERT_EQ(file.commit(), kNoError);
  });
  store(*t, {"S", "2"});
  EXPECT_EQ(t->add(), kFileSystemError);
  EXPECT_EQ(last_error().file_code, 1927);
  t.reset();
  EXPECT_EQ(records_of(damaged), before - 1) << "nothing but the statistics record is lost";

  ASSERT_EQ(Table(decl_, fs_).create(), kNoError);
  t = open_table();
  const uint32_t removed = passports_number();
  ASSERT_EQ(Table(decl_, fs_).remove(), kNoError);
  store(*t, {"S", "3"});
  EXPECT_EQ(t->add(), kAccessDenied);
  t.reset();
  EXPECT_EQ(records_of(removed), 0) << "the add left nothing of the removed table";
  EXPECT_TRUE(check().empty());
}

TEST_F(TableTest, AFailedCommitReportsTheErrorAndKeepsTheOldState) {
  auto t = created();
  add(*t, {"S", "1"});
  fs_.inject_fault({platform::FileCall::kWrite, 1, true, kSystemDiskFull});
  store(*t, {"S", "2"});
  EXPECT_EQ(t->add(), kSystemDiskFull);
  fs_.clear_faults();
  uint32_t count = 0;
  ASSERT_EQ(t->records(&count), kNoError);
  EXPECT_EQ(count, 1u);
  t.reset();
  EXPECT_TRUE(check().empty());
}

TEST_F(TableTest, ClashInALaterUniqueKeyLeavesEveryKeyAsItWas) {
  // The same layout with unique keys: number alone, then name alone.
  decl_.keys = {{"PSP:KL_NUM", "", "num", 0, {{1}}}, {"PSP:KL_FIO", "", "fio", 0, {{2}}}};
  auto t = created();
  add(*t, {"1", "100", "ONE"});
  store(*t, {"2", "200", "ONE"});
  EXPECT_EQ(t->add(), kCreatesDuplicateKey) << "the name clashes in the second key";
  uint32_t count = 0;
  t->records(&count);
  EXPECT_EQ(count, 1u);
  t->records(0, &count);
  EXPECT_EQ(count, 1u) << "the entry already made in the first key is gone again";
  store(*t, {"", "200"});
  EXPECT_EQ(t->get(0), kRecordNotFound);
  store(*t, {"1", "100", "ONE"});
  ASSERT_EQ(t->get(0), kNoError);
  store(*t, {"1", "100", "TWO"});
  ASSERT_EQ(t->put(), kNoError);
  add(*t, {"3", "300", "THREE"});
  store(*t, {"3", "100", "THREE"});
  EXPECT_EQ(t->put(), kCreatesDuplicateKey) << "a change that clashes is refused";
  t.reset();
  EXPECT_TRUE(check().empty());
}

// Random adds, changes and deletes against a model, read back in every key order both
// ways, with the file checked after every operation now and then.
TEST_F(TableTest, RandomOperationsMatchAModel) {
  const unsigned seed = std::random_device{}();
  SCOPED_TRACE("seed " + std::to_string(seed));
  std::mt19937 rng(seed);
  auto t = created();
  std::map<uint32_t, Passport> model;
  auto random_passport = [&] {
    auto digits = [&](int n) {
      std::string s;
      for (int i = 0; i < n; ++i) s += char('0' + rng() % 3);
      return s;
    };
    const char* names[] = {"IVANOV", "ivanov", "PETROVA", "\xC8\xC2\xC0\xCD", "\xE8\xE2\xE0\xED"};
    return Passport{digits(2) + " " + digits(1), digits(3),          names[rng() % 5] + digits(1),
                    int32_t(rng() % 5),          int32_t(rng() % 3), digits(int(rng() % 4))};
  };
  for (int step = 0; step < 600; ++step) {
    int action = int(rng() % 10);
    if (action < 5 || model.empty()) {
      Passport p = random_passport();
      model[add(*t, p)] = p;
    } else {
      auto it = std::next(model.begin(), long(rng() % model.size()));
      ASSERT_EQ(t->get_by_number(it->first), kNoError);
      if (action < 8) {
        Passport p = random_passport();
        store(*t, p);
        ASSERT_EQ(t->put(), kNoError);
        it->second = p;
      } else {
        ASSERT_EQ(t->erase(), kNoError);
        model.erase(it);
      }
    }
    // Every operation has committed: the file on disk must be sound after each.
    std::vector<std::string> problems = check();
    ASSERT_TRUE(problems.empty()) << "step " << step << ": " << problems.front();
    if (step % 100 == 99) {
      ASSERT_EQ(t->close(), kNoError);
      ASSERT_EQ(t->open(om::kReadWrite | om::kDenyNone), kNoError);
    }
  }
  // Every key order forward equals the model sorted by that key, and backward its reverse.
  for (int key : {kSerNum, kNumSer, kFio, kDateImp}) {
    std::vector<uint32_t> forward, backward;
    ASSERT_EQ(t->set(key), kNoError);
    while (t->next() == kNoError) {
      forward.push_back(t->pointer());
      EXPECT_EQ(loaded(*t), model[t->pointer()]);
    }
    ASSERT_EQ(t->set(key), kNoError);
    while (t->previous() == kNoError) backward.push_back(t->pointer());
    std::reverse(backward.begin(), backward.end());
    EXPECT_EQ(forward, backward) << "key " << key;
    EXPECT_EQ(forward.size(), model.size());
  }
}

// A reader steps forward and backward, in file order and in two key orders, while another
// table of the file adds, changes and deletes records around it between its steps (enough
// of them to split and empty pages). Each step must land on the neighbour of its record in
// the file as it is then, as a fresh reading of the whole order shows it.
TEST_F(TableTest, ReadingStepsFollowChangesMadeBetweenThem) {
  const unsigned seed = std::random_device{}();
  SCOPED_TRACE("seed " + std::to_string(seed));
  std::mt19937 rng(seed);
  auto writer = created();
  auto reader = open_table();
  auto lister = open_table();
  auto random_passport = [&] {
    std::string num = std::to_string(100000 + rng() % 900000);
    std::string fio(1, char('A' + rng() % 6));
    fio += std::string(size_t(rng() % 40), char('A' + rng() % 26));
    return Passport{"S" + std::to_string(rng() % 4), num, fio};
  };
  std::vector<uint32_t> live;
  for (int i = 0; i < 400; ++i) {
    store(*writer, random_passport());
    if (writer->add() == kNoError) live.push_back(writer->pointer());
  }
  auto order_of = [&](int key) {
    std::vector<uint32_t> order;
    EXPECT_EQ(key == Table::kFileOrder ? lister->set() : lister->set(key), kNoError);
    while (lister->next() == kNoError) order.push_back(lister->pointer());
    return order;
  };
  for (int key : {int(Table::kFileOrder), kSerNum, kFio}) {
    SCOPED_TRACE("key " + std::to_string(key));
    ASSERT_EQ(key == Table::kFileOrder ? reader->set() : reader->set(key), kNoError);
    ASSERT_EQ(reader->next(), kNoError);
    uint32_t at = reader->pointer();
    for (int step = 0; step < 300; ++step) {
      // The writer leaves the reader's own record alone: where a record that moved or went
      // should lead is the business of other tests.
      for (int change = int(rng() % 6); change > 0; --change) {
        size_t pick = rng() % live.size();
        if (live[pick] == at) continue;
        int action = int(rng() % 3);
        if (action == 0 || live.size() < 50) {
          store(*writer, random_passport());
          if (writer->add() == kNoError) live.push_back(writer->pointer());
        } else {
          ASSERT_EQ(writer->get_by_number(live[pick]), kNoError);
          if (action == 1) {
            store(*writer, random_passport());
            writer->put();  // a clash of the unique key leaves the record as it was
          } else {
            ASSERT_EQ(writer->erase(), kNoError);
            live.erase(live.begin() + long(pick));
          }
        }
      }
      std::vector<uint32_t> order = order_of(key);
      auto here = std::find(order.begin(), order.end(), at);
      ASSERT_NE(here, order.end());
      bool forward = rng() % 3 != 0;
      int rc = forward ? reader->next() : reader->previous();
      bool at_end = forward ? here + 1 == order.end() : here == order.begin();
      if (at_end) {
        ASSERT_EQ(rc, kRecordNotAvailable) << "step " << step;
        continue;
      }
      ASSERT_EQ(rc, kNoError) << "step " << step;
      uint32_t expected = forward ? *(here + 1) : *(here - 1);
      ASSERT_EQ(reader->pointer(), expected) << "step " << step;
      store(*lister, {});
      ASSERT_EQ(lister->get_by_number(expected), kNoError);
      EXPECT_EQ(loaded(*reader), loaded(*lister));
      at = expected;
    }
  }
}

}  // namespace
}  // namespace orvel::datafile
