#include "tools/row_output.h"

#include <algorithm>
#include <array>
#include <cstdio>

#include "app/dates.h"
#include "app/record_fields.h"
#include "app/search_text.h"
#include "platform/cp1251.h"

namespace orvel::tools {
namespace {

// The escapes of both forms; with all_controls, every other control byte too.
std::string escaped(std::string_view text, bool all_controls) {
  std::string out;
  for (char c : text) {
    switch (c) {
      case '\\':
        out += "\\\\";
        break;
      case '\t':
        out += "\\t";
        break;
      case '\r':
        out += "\\r";
        break;
      case '\n':
        out += "\\n";
        break;
      default:
        if (all_controls && (static_cast<unsigned char>(c) < 0x20 || c == 0x7F)) {
          char hex[8];
          std::snprintf(hex, sizeof hex, "\\x%02X", static_cast<unsigned char>(c));
          out += hex;
        } else {
          out += c;
        }
    }
  }
  return out;
}

// The columns of the result list, in code page 1251.
constexpr std::array<std::string_view, 6> kTitles = {
    "\xD1\xE5\xF0\xE8\xFF",            // Серия
    "\xCD\xEE\xEC\xE5\xF0",            // Номер
    "\xD4\xC8\xCE",                    // ФИО
    "\xC4\xE0\xF2\xE0",                // Дата
    "\xC4\xE0\xF2\xE0 \xE8\xEC\xEF.",  // Дата имп.
    "\xCF\xF0\xE8\xF7\xE8\xED\xE0",    // Причина
};

std::array<std::string, 6> table_cells(const app::RQ& row) {
  using app::DatePicture;
  using app::format_date;
  return {
      escaped(app::trimmed(row.SER), true),
      escaped(app::trimmed(row.NUM), true),
      escaped(app::trimmed(row.FIO), true),
      format_date(row.DATE_PAS.get(), DatePicture::kD06),
      format_date(row.DATE_IMP.get(), DatePicture::kD06),
      escaped(app::trimmed(row.COMMENT), true),
  };
}

}  // namespace

std::string tsv_text(std::string_view text_1251) {
  return platform::cp1251_to_utf8(escaped(app::trim_right(text_1251), false));
}

std::string tsv_date(int32_t day_number) {
  if (day_number == app::kNoDate) return {};
  return std::string(app::trim_right(app::format_date(day_number, app::DatePicture::kD10)));
}

void write_tsv(std::ostream& out, const std::vector<app::RQ>& rows) {
  for (const app::RQ& row : rows) {
    out << tsv_text(app::text_of(row.SER)) << '\t' << tsv_text(app::text_of(row.NUM)) << '\t'
        << tsv_text(app::text_of(row.FIO)) << '\t' << tsv_date(row.DATE_PAS.get()) << '\t'
        << tsv_date(row.DATE_IMP.get()) << '\t' << tsv_text(app::text_of(row.COMMENT)) << '\n';
  }
}

void write_table(std::ostream& out, const std::vector<app::RQ>& rows) {
  // Widths in code page 1251 bytes, one character each; padded before the conversion.
  std::vector<std::array<std::string, 6>> cells;
  cells.reserve(rows.size());
  std::array<size_t, 6> widths{};
  for (size_t c = 0; c < kTitles.size(); ++c) widths[c] = kTitles[c].size();
  for (const app::RQ& row : rows) {
    cells.push_back(table_cells(row));
    for (size_t c = 0; c < widths.size(); ++c) {
      widths[c] = std::max(widths[c], cells.back()[c].size());
    }
  }
  auto write_line = [&](auto cell_of) {
    std::string line;
    for (size_t c = 0; c < widths.size(); ++c) {
      std::string cell(cell_of(c));
      if (c + 1 < widths.size()) {
        cell.resize(widths[c], ' ');
        cell += "  ";
      }
      line += cell;
    }
    out << platform::cp1251_to_utf8(app::trim_right(line)) << '\n';
  };
  write_line([](size_t c) { return kTitles[c]; });
  for (const auto& row : cells) {
    write_line([&row](size_t c) { return std::string_view(row[c]); });
  }
}

}  // namespace orvel::tools
