// Dynamic indexes: built on demand over any fields with a filter, held in memory while the
// table is open; and the key properties a program may ask for.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "datafile/data_file.h"
#include "datafile/table.h"
#include "datafile/table_check.h"
#include "datafile/tests/passport_declaration.h"
#include "datafile/tests/passport_record.h"
#include "platform/error_codes.h"
#include "platform/mem_file_system.h"

namespace orvel::datafile {
namespace {

namespace om = platform::open_mode;
using testing::Passport;

constexpr int kDynamic = 4;
constexpr uint16_t kNum = 1, kFioField = 2, kDatePas = 3;

class DynamicIndexTest : public ::testing::Test {
 protected:
  DynamicIndexTest() : decl_(passport_declaration()) {
    decl_.keys.push_back({"PSP:BY_ANY", "", "any",
                          key_attr::kIndex | key_attr::kIndexWithoutComponents, {}});
    Table maker(decl_, fs_);
    EXPECT_EQ(maker.create(), kNoError);
    table_ = std::make_unique<Table>(decl_, fs_);
    EXPECT_EQ(table_->open(), kNoError);
    for (const Passport& p : std::vector<Passport>{{"AA", "300", "IVANOV", 5},
                                                   {"BB", "100", "PETROV", 9},
                                                   {"AA", "200", "SIDOROV", 5},
                                                   {"CC", "150", "ABAKUMOV", 7}}) {
      add(p);
    }
  }

  void add(const Passport& p) {
    testing::store_passport(*table_, p);
    ASSERT_EQ(table_->add(), kNoError);
  }
  // The numbers in the order of the dynamic index, forward.
  std::vector<std::string> numbers_in_index() {
    std::vector<std::string> out;
    EXPECT_EQ(table_->set(kDynamic), kNoError);
    while (table_->next() == kNoError) out.push_back(testing::loaded_passport(*table_).num);
    return out;
  }

  TableDecl decl_;
  platform::MemFileSystem fs_;
  std::unique_ptr<Table> table_;
};

TEST_F(DynamicIndexTest, OrdersByItsComponentsAndKeepsOnlyWhatPassesTheFilter) {
  // Date descending, then name: the kind of order a click on a column header asks for.
  auto not_cc = [](const uint8_t* image) { return image[0] != 'C'; };
  ASSERT_EQ(table_->build(kDynamic, {{kDatePas, true}, {kFioField}}, not_cc), kNoError);
  EXPECT_EQ(numbers_in_index(), (std::vector<std::string>{"100", "300", "200"}));
  uint32_t count = 0;
  ASSERT_EQ(table_->records(kDynamic, &count), kNoError);
  EXPECT_EQ(count, 3u);

  // Backward, and from a position.
  ASSERT_EQ(table_->set(kDynamic), kNoError);
  ASSERT_EQ(table_->previous(), kNoError);
  EXPECT_EQ(testing::loaded_passport(*table_).num, "200");
  ASSERT_EQ(table_->previous(), kNoError);
  Position at = table_->position(kDynamic);
  ASSERT_EQ(table_->reset(at, kDynamic), kNoError);
  ASSERT_EQ(table_->next(), kNoError);
  EXPECT_EQ(testing::loaded_passport(*table_).num, "300");

  // Equal values are kept apart by record number.
  add({"DD", "400", "IVANOV", 5});
  ASSERT_EQ(table_->build(kDynamic), kNoError) << "builds again with the same components";
  EXPECT_EQ(numbers_in_index(), (std::vector<std::string>{"100", "300", "400", "200"}));
}

TEST_F(DynamicIndexTest, LivesOnlyUntilTheTableClosesAndNeverReachesTheFile) {
  ASSERT_EQ(table_->build(kDynamic, {{kNum}}), kNoError);
  EXPECT_EQ(numbers_in_index(), (std::vector<std::string>{"100", "150", "200", "300"}));
  ASSERT_EQ(table_->build(), kNoError) << "a build of the table leaves indexes alone";
  ASSERT_EQ(table_->close(), kNoError);

  std::unique_ptr<platform::File> f;
  ASSERT_EQ(fs_.open(decl_.file_name, om::kReadOnly | om::kDenyNone,
                     platform::Disposition::kOpenExisting, &f),
            kNoError);
  std::unique_ptr<DataFile> file;
  ASSERT_EQ(DataFile::open(std::move(f), om::kReadOnly | om::kDenyNone, {}, &file), kNoError);
  EXPECT_TRUE(check_file(file.get()).empty());
  file.reset();

  ASSERT_EQ(table_->open(), kNoError);
  uint32_t count = 1;
  ASSERT_EQ(table_->records(kDynamic, &count), kNoError);
  EXPECT_EQ(count, 0u);
  EXPECT_TRUE(numbers_in_index().empty());
}

TEST_F(DynamicIndexTest, Refusals) {
  struct Case {
    const char* what;
    int key;
    std::vector<KeyComponent> components;
    int error;
  };
  for (const Case& c : std::vector<Case>{
           {"a key that is not a dynamic index", 0, {{kNum}}, kUnsupportedFunction},
           {"a field the record does not have", kDynamic, {{40}}, kInvalidRecordDeclaration},
           {"a key number the table does not have", 9, {{kNum}}, kInvalidRecordDeclaration},
       }) {
    EXPECT_EQ(table_->build(c.key, c.components), c.error) << c.what;
  }
  EXPECT_EQ(numbers_in_index().size(), 0u) << "nothing was built";

  ASSERT_EQ(table_->close(), kNoError);
  EXPECT_EQ(table_->build(kDynamic, {{kNum}}), kFileNotOpen);
  ASSERT_EQ(table_->open(om::kReadOnly | om::kDenyNone), kNoError);
  EXPECT_EQ(table_->build(kDynamic, {{kNum}}), kAccessDenied);
}

TEST_F(DynamicIndexTest, KeyProperties) {
  KeyProperties key;
  ASSERT_EQ(table_->key_properties(testing::kFio, &key), kNoError);
  EXPECT_EQ(key.label, "PSP:KL_FIO");
  EXPECT_STREQ(key.kind(), "KEY");
  EXPECT_TRUE(key.dup);
  EXPECT_TRUE(key.nocase);
  EXPECT_FALSE(key.opt);
  ASSERT_EQ(key.components.size(), 1u);
  EXPECT_EQ(key.components[0].field, kFioField);

  ASSERT_EQ(table_->key_properties(kDynamic, &key), kNoError);
  EXPECT_STREQ(key.kind(), "INDEX");
  EXPECT_TRUE(key.dup) << "an index may hold equal values";
  EXPECT_TRUE(key.components.empty());

  EXPECT_EQ(table_->key_properties(5, &key), kInvalidRecordDeclaration);
}

}  // namespace
}  // namespace orvel::datafile
