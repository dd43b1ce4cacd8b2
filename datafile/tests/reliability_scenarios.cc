#include "datafile/tests/reliability_scenarios.h"

#include <gtest/gtest.h>

#include <cctype>
#include <cstdlib>
#include <map>
#include <memory>
#include <optional>
#include <random>
#include <string>

#include "datafile/byte_order.h"
#include "datafile/table.h"
#include "datafile/tests/file_state.h"
#include "datafile/tests/passport_declaration.h"
#include "datafile/tests/passport_record.h"
#include "datafile/transaction.h"
#include "platform/error_codes.h"

namespace orvel::datafile::testing {
namespace {

using platform::MemFileSystem;
using Before = std::function<void(MemFileSystem&)>;
using Operation = std::function<int(MemFileSystem&)>;
namespace om = platform::open_mode;

constexpr int kShared = om::kReadWrite | om::kDenyNone;
constexpr const char* kFile = "p.hvk";
constexpr const char* kArchive = "p.hvk\\!archive";  // a second table of the same file

// One declaration per file name, kept for the life of the tests (tables refer to them).
const TableDecl& decl_of(const std::string& file_name) {
  static std::map<std::string, TableDecl> decls;
  auto it = decls.find(file_name);
  if (it == decls.end()) {
    TableDecl decl = passport_declaration();
    decl.file_name = file_name;
    it = decls.emplace(file_name, std::move(decl)).first;
  }
  return it->second;
}

enum class Comment { kBlank, kText, kNoise };

// Printable bytes without runs, which the page compression cannot shorten.
std::string noise(int seed) {
  std::mt19937 rng(uint32_t(seed) * 2654435761u);
  std::string s(500, ' ');
  for (char& c : s) c = char(33 + rng() % 94);
  return s;
}

// Passport i: series of 7 values, numbers unique, names shared by every 50th.
Passport passport(int i, Comment comment = Comment::kBlank) {
  std::string text = comment == Comment::kBlank  ? ""
                     : comment == Comment::kText ? "REASON " + std::to_string(i % 13)
                                                 : noise(i);
  return {"S" + std::to_string(i % 7),
          std::to_string(200000 + i),
          "NAME " + std::to_string(i % 50),
          70000 + i,
          80000 + i % 30,
          text};
}

void require_ok(int rc, const std::string& what) {
  if (rc != kNoError) ADD_FAILURE() << "making the old state: " << what << " returned " << rc;
}

// Opens the table of file_name, runs body, closes it; the first non-zero result.
int on_table(MemFileSystem& fs, const std::string& file_name,
             const std::function<int(Table&)>& body) {
  Table t(decl_of(file_name), fs);
  int rc = t.open(kShared);
  if (rc == kNoError) rc = body(t);
  if (t.is_open()) {
    int closed = t.close();
    if (rc == kNoError) rc = closed;
  }
  return rc;
}

int create(MemFileSystem& fs, const std::string& file_name) {
  Table t(decl_of(file_name), fs);
  return t.create();
}

int add_range(Table& t, int from, int to, Comment comment = Comment::kBlank) {
  for (int i = from; i < to; ++i) {
    store_passport(t, passport(i, comment));
    if (int rc = t.add(); rc != kNoError) return rc;
  }
  return kNoError;
}

int append_range(Table& t, int from, int to) {
  for (int i = from; i < to; ++i) {
    store_passport(t, passport(i));
    if (int rc = t.append(); rc != kNoError) return rc;
  }
  return kNoError;
}

// Fetches passport i by its series and number.
int fetch(Table& t, int i) {
  store_passport(t, passport(i));
  return t.get(kSerNum);
}

int change(Table& t, int i, const std::function<void(Passport&)>& edit) {
  if (int rc = fetch(t, i); rc != kNoError) return rc;
  Passport p = loaded_passport(t);
  edit(p);
  store_passport(t, p);
  return t.put();
}

int remove(Table& t, int i) {
  if (int rc = fetch(t, i); rc != kNoError) return rc;
  return t.erase();
}

int remove_range(Table& t, int from, int to) {
  for (int i = from; i < to; ++i) {
    if (int rc = remove(t, i); rc != kNoError) return rc;
  }
  return kNoError;
}

// Makes body one commit of the table's file.
int in_transaction(Table& t, const std::function<int(Table&)>& body) {
  int rc = t.logout();
  if (rc == kNoError) rc = body(t);
  if (rc == kNoError) return t.commit();
  t.rollback();
  return rc;
}

// Opens a table of every name, runs body in one transaction over all of them, commits (or
// rolls back after a failure) and closes them; the first non-zero result.
int across(MemFileSystem& fs, const std::vector<std::string>& names,
           const std::function<int(std::vector<std::unique_ptr<Table>>&)>& body) {
  std::vector<std::unique_ptr<Table>> tables;
  int rc = kNoError;
  for (const std::string& name : names) {
    tables.push_back(std::make_unique<Table>(decl_of(name), fs));
    if (rc == kNoError) rc = tables.back()->open(kShared);
    if (rc == kNoError) rc = tables.back()->logout();
  }
  if (rc == kNoError) rc = body(tables);
  if (rc == kNoError) {
    rc = tables.front()->commit();
  } else {
    for (auto& t : tables) {
      if (t->is_open()) {
        t->rollback();
        break;
      }
    }
  }
  for (auto& t : tables) {
    if (!t->is_open()) continue;
    int closed = t->close();
    if (rc == kNoError) rc = closed;
  }
  return rc;
}

// The old state: a table of n passports in file_name (created in its file, beside any
// table already there).
Before table_of(int n, Comment comment = Comment::kBlank, const std::string& file_name = kFile) {
  return [=](MemFileSystem& fs) {
    require_ok(create(fs, file_name), "create " + file_name);
    require_ok(on_table(fs, file_name, [&](Table& t) { return add_range(t, 0, n, comment); }),
               "adds to " + file_name);
  };
}

Before then(Before first, std::function<int(MemFileSystem&)> next) {
  return [=](MemFileSystem& fs) {
    first(fs);
    require_ok(next(fs), "a further step");
  };
}

Before tables_of(std::vector<std::pair<std::string, int>> tables) {
  return [=](MemFileSystem& fs) {
    for (const auto& [name, n] : tables) table_of(n, Comment::kText, name)(fs);
  };
}

Operation with_table(std::function<int(Table&)> body, std::string file_name = kFile) {
  return [=](MemFileSystem& fs) { return on_table(fs, file_name, body); };
}

enum class Left { kAfterPhase1, kHeaderCopied };

// The old state: base, then op cut short by a loss of power that left the journal of its
// commit pending in file_name: right after phase 1, or after phase 2 had written the new
// header but not yet ended the journal.
Before journal_left_by(Before base, Operation op, Left left, std::string file_name = kFile) {
  return [=](MemFileSystem& fs) {
    base(fs);
    const Snapshot start = snapshot_of(fs);
    MemFileSystem clean;
    restore(clean, start);
    require_ok(op(clean), "the operation to cut short");
    const uint64_t calls = clean.change_call_count();
    std::optional<Snapshot> chosen;
    for (uint64_t cut = 0; cut <= calls; ++cut) {
      MemFileSystem trial;
      restore(trial, start);
      trial.cut_power_after(cut);
      op(trial);
      trial.power_loss(0, platform::PowerLossMode::kDropUnflushed);
      if (!journal_pending(trial.contents(file_name))) continue;
      chosen = snapshot_of(trial);
      if (left == Left::kAfterPhase1) break;
    }
    if (!chosen) {
      ADD_FAILURE() << "no point of the operation leaves a journal";
      return;
    }
    restore(fs, *chosen);
  };
}

// The old state: base, then op (a transaction over several files) cut short by a loss of
// power at step of its commit.
Before transaction_cut_at(Before base, Operation op, CommitStep step) {
  return [=](MemFileSystem& fs) {
    base(fs);
    set_commit_step_hook([&fs, step](CommitStep s) {
      if (s == step) fs.cut_power_after(0);
    });
    op(fs);
    set_commit_step_hook(nullptr);
    fs.power_loss(0, platform::PowerLossMode::kDropUnflushed);
  };
}

// Opens every file as a writer (resolving what a crash left) and closes it again.
Operation reopen(std::vector<std::string> names) {
  return [=](MemFileSystem& fs) {
    for (const std::string& name : names) {
      uint32_t count = 0;
      if (int rc = on_table(fs, name, [&](Table& t) { return t.records(&count); }); rc != 0) {
        return rc;
      }
    }
    return int(kNoError);
  };
}

void rename_to(Passport& p, const std::string& fio) {
  p.fio = fio;
}

std::vector<Scenario> make_scenarios() {
  std::vector<Scenario> s;
  auto add = [&](std::string name, Before before, Operation op,
                 std::vector<std::string> files = {kFile}) {
    s.push_back({std::move(name), std::move(files), std::move(before), std::move(op)});
  };
  auto add_in_steps = [&](std::string name, Before before, Operation op) {
    add(std::move(name), std::move(before), std::move(op));
    s.back().in_steps = true;
  };
  auto new_name = [](Table& t, int i) {
    return change(t, i, [](Passport& p) { rename_to(p, "CHANGED NAME"); });
  };

  // ADD into trees of every shape: one leaf, a leaf about to split, a root that splits, two
  // and more levels.
  for (int n : {0, 1, 8, 19, 60, 300}) {
    add("ADD to a table of " + std::to_string(n), table_of(n),
        with_table([n](Table& t) { return add_range(t, n, n + 1); }));
  }
  add("ADD of an incompressible record to a table of 19", table_of(19),
      with_table([](Table& t) { return add_range(t, 19, 20, Comment::kNoise); }));
  add("APPEND to a table of 60", table_of(60),
      with_table([](Table& t) { return append_range(t, 60, 61); }));
  add("ADD of 40 records in one commit to a table of 60", table_of(60),
      with_table([](Table& t) {
        return in_transaction(t, [](Table& u) { return add_range(u, 60, 100, Comment::kText); });
      }));
  add("ADD to the second table of a file", tables_of({{kFile, 30}, {kArchive, 30}}),
      with_table([](Table& t) { return add_range(t, 30, 31); }, kArchive));

  // PUT: keys moving or not, pages changing their size class.
  for (int n : {1, 19, 300}) {
    add("PUT of a new name in a table of " + std::to_string(n), table_of(n),
        with_table([n, new_name](Table& t) { return new_name(t, n / 2); }));
  }
  add("PUT of the comment only", table_of(300, Comment::kText),
      with_table([](Table& t) {
        return change(t, 150, [](Passport& p) { p.comment = "ANOTHER REASON"; });
      }));
  add("PUT of a new series and number", table_of(60),
      with_table([](Table& t) {
        return change(t, 30, [](Passport& p) {
          p.ser = "NEW";
          p.num = "999999";
        });
      }));
  add("PUT growing a blank comment incompressible", table_of(60),
      with_table([](Table& t) {
        return change(t, 30, [](Passport& p) { p.comment = noise(1000); });
      }));
  add("PUT shrinking an incompressible comment to blank", table_of(60, Comment::kNoise),
      with_table([](Table& t) { return change(t, 30, [](Passport& p) { p.comment = ""; }); }));
  add("PUT of 30 records grown incompressible in one commit", table_of(60),
      with_table([](Table& t) {
        return in_transaction(t, [](Table& u) {
          for (int i = 0; i < 60; i += 2) {
            if (int rc = change(u, i, [i](Passport& p) { p.comment = noise(i); }); rc != 0) {
              return rc;
            }
          }
          return int(kNoError);
        });
      }));

  // DELETE: of a record among many, of the first and the last, of a page's last record, of
  // the last record of a table whose tree had many pages.
  for (int n : {1, 19, 300}) {
    add("DELETE from a table of " + std::to_string(n), table_of(n),
        with_table([n](Table& t) { return remove(t, n / 2); }));
  }
  add("DELETE of the first record", table_of(300),
      with_table([](Table& t) { return remove(t, 0); }));
  add("DELETE of the last record", table_of(300),
      with_table([](Table& t) { return remove(t, 299); }));
  add("DELETE of the record left alone in its page",
      then(table_of(60), with_table([](Table& t) { return remove_range(t, 21, 59); })),
      with_table([](Table& t) { return remove(t, 59); }));
  add("DELETE of the last record of a table that had many pages",
      then(table_of(60), with_table([](Table& t) { return remove_range(t, 1, 60); })),
      with_table([](Table& t) { return remove(t, 0); }));
  add("DELETE of 40 records in one commit", table_of(60),
      with_table([](Table& t) {
        return in_transaction(t, [](Table& u) { return remove_range(u, 10, 50); });
      }));

  // EMPTY, BUILD, PACK.
  add("EMPTY of a table of 8", table_of(8), with_table([](Table& t) { return t.empty(); }));
  add("EMPTY of a table of 300", table_of(300), with_table([](Table& t) { return t.empty(); }));
  add("EMPTY of an empty table", table_of(0), with_table([](Table& t) { return t.empty(); }));
  add("EMPTY of one of two tables", tables_of({{kFile, 40}, {kArchive, 40}}),
      with_table([](Table& t) { return t.empty(); }));
  add_in_steps("BUILD after 30 APPENDs",
      then(table_of(20), with_table([](Table& t) { return append_range(t, 20, 50); })),
      with_table([](Table& t) { return t.build(); }));
  add("BUILD of one key after APPENDs",
      then(table_of(20), with_table([](Table& t) { return append_range(t, 20, 50); })),
      with_table([](Table& t) { return t.build(kFio); }));
  add_in_steps("BUILD with FULLBUILD of a complete table", table_of(60),
      with_table([](Table& t) {
        t.send("FULLBUILD=ON");
        return t.build();
      }));
  add_in_steps("BUILD of a table that is not open",
      then(table_of(20), with_table([](Table& t) { return append_range(t, 20, 50); })),
      [](MemFileSystem& fs) { return Table(decl_of(kFile), fs).build(); });
  add_in_steps("PACK with FULLBUILD after deleting half of the records",
      then(table_of(60), with_table([](Table& t) {
             for (int i = 0; i < 60; i += 2) {
               if (int rc = remove(t, i); rc != kNoError) return rc;
             }
             return int(kNoError);
           })),
      with_table([](Table& t) {
        t.send("FULLBUILD=ON");
        return t.pack();
      }));
  add_in_steps("PACK after APPENDs",
      then(table_of(10), with_table([](Table& t) { return append_range(t, 10, 40); })),
      with_table([](Table& t) { return t.pack(); }));

  // CREATE and REMOVE of tables.
  add("CREATE in a new file", [](MemFileSystem&) {},
      [](MemFileSystem& fs) { return create(fs, kFile); });
  add("CREATE of a second table in a file of 60 records", table_of(60),
      [](MemFileSystem& fs) { return create(fs, kArchive); });
  add("CREATE replacing a table of 60 records beside another table",
      tables_of({{kFile, 20}, {kArchive, 60}}),
      [](MemFileSystem& fs) { return create(fs, kArchive); });
  add("CREATE replacing the only table, of 60 records", table_of(60),
      [](MemFileSystem& fs) { return create(fs, kFile); });
  add("REMOVE of one of two tables", tables_of({{kFile, 20}, {kArchive, 40}}),
      [](MemFileSystem& fs) { return Table(decl_of(kArchive), fs).remove(); });

  // COMMIT of several files.
  const std::vector<std::string> two = {"a.hvk", "b.hvk"};
  const std::vector<std::string> three = {"a.hvk", "b.hvk", "c.hvk"};
  auto renames = [new_name](std::vector<std::unique_ptr<Table>>& tables) {
    for (auto& t : tables) {
      if (int rc = new_name(*t, 0); rc != kNoError) return rc;
    }
    return int(kNoError);
  };
  auto two_files = tables_of({{"a.hvk", 20}, {"b.hvk", 20}});
  add("COMMIT of two files, one change each", two_files,
      [=](MemFileSystem& fs) { return across(fs, two, renames); }, two);
  add("COMMIT of two files, 20 ADDs each", two_files,
      [=](MemFileSystem& fs) {
        return across(fs, two, [](std::vector<std::unique_ptr<Table>>& tables) {
          for (auto& t : tables) {
            if (int rc = add_range(*t, 20, 40, Comment::kText); rc != kNoError) return rc;
          }
          return int(kNoError);
        });
      },
      two);
  add("COMMIT of three files", tables_of({{"a.hvk", 10}, {"b.hvk", 60}, {"c.hvk", 1}}),
      [=](MemFileSystem& fs) { return across(fs, three, renames); }, three);
  add("COMMIT of two files with ADDs to one and DELETEs from the other", two_files,
      [=](MemFileSystem& fs) {
        return across(fs, two, [](std::vector<std::unique_ptr<Table>>& tables) {
          if (int rc = add_range(*tables[0], 20, 30); rc != kNoError) return rc;
          return remove_range(*tables[1], 0, 10);
        });
      },
      two);
  add("COMMIT of two files under a control file named by TCF", two_files,
      [=](MemFileSystem& fs) {
        int rc = across(fs, two, [&](std::vector<std::unique_ptr<Table>>& tables) {
          tables[0]->send("TCF=trans.tcf");
          return renames(tables);
        });
        process_control_file().clear();
        return rc;
      },
      two);
  add("COMMIT of two tables of one file and a second file",
      tables_of({{kFile, 20}, {kArchive, 20}, {"b.hvk", 20}}),
      [=](MemFileSystem& fs) { return across(fs, {kFile, kArchive, "b.hvk"}, renames); },
      {kFile, "b.hvk"});

  // Recovery itself, power lost again while it copies a journal.
  auto add_one = with_table([](Table& t) { return add_range(t, 300, 301); });
  add("recovery of the journal of an ADD",
      journal_left_by(table_of(300), add_one, Left::kAfterPhase1), reopen({kFile}));
  add("recovery of a journal whose new header was written",
      journal_left_by(table_of(300), add_one, Left::kHeaderCopied), reopen({kFile}));
  add("recovery of the journal of many pages of an EMPTY",
      journal_left_by(table_of(300), with_table([](Table& t) { return t.empty(); }),
                      Left::kAfterPhase1),
      reopen({kFile}));
  add("recovery of the journal of 30 grown records",
      journal_left_by(table_of(60),
                      with_table([](Table& t) {
                        return in_transaction(t, [](Table& u) {
                          for (int i = 0; i < 60; i += 2) {
                            if (int rc = change(u, i, [i](Passport& p) { p.comment = noise(i); });
                                rc != 0) {
                              return rc;
                            }
                          }
                          return int(kNoError);
                        });
                      }),
                      Left::kAfterPhase1),
      reopen({kFile}));
  auto two_adds = [=](MemFileSystem& fs) {
    return across(fs, two, [](std::vector<std::unique_ptr<Table>>& tables) {
      for (auto& t : tables) {
        if (int rc = add_range(*t, 20, 30); rc != kNoError) return rc;
      }
      return int(kNoError);
    });
  };
  add("recovery of a transaction past its commit point",
      transaction_cut_at(two_files, two_adds, CommitStep::kCommitPoint), reopen(two), two);
  add("recovery of a transaction before its commit point",
      transaction_cut_at(two_files, two_adds, CommitStep::kPhase1Written), reopen(two), two);
  return s;
}

}  // namespace

const std::vector<Scenario>& reliability_scenarios() {
  static const std::vector<Scenario> scenarios = make_scenarios();
  return scenarios;
}

std::string scenario_test_name(const ::testing::TestParamInfo<size_t>& info) {
  std::string name;
  bool gap = false;
  for (char c : reliability_scenarios()[info.param].name) {
    bool word = std::isalnum(static_cast<unsigned char>(c)) != 0;
    if (word && gap && !name.empty()) name += '_';
    if (word) name += c;
    gap = !word;
  }
  return name;
}

bool full_reliability_run() {
  const char* value = std::getenv("ORVEL_RELIABILITY");
  return value != nullptr && std::string(value) == "full";
}

}  // namespace orvel::datafile::testing
