// The MOXY reference lists exactly the opcodes, sub-codes, key selectors and run-time errors the code knows.
#include "moxy/opcodes.h"
#include "runner/run_error.h"

#include <gtest/gtest.h>

#include <fstream>
#include <map>
#include <sstream>
#include <string>
#include <vector>

namespace {

// The rows of the table that follows [heading], header row left out: the first [columns]
// cells of each, trimmed, without backquotes, joined by "|".
std::vector<std::string> tableAfter(const std::string& heading, int columns) {
    std::ifstream file(MOXY_DOCS_DIR "/moxy.md");
    std::string line;
    while (std::getline(file, line) && line != heading) {
    }
    std::vector<std::string> rows;
    while (std::getline(file, line) && !line.starts_with("## ")) {
        if (!line.starts_with("| ") || line.starts_with("|---"))
            continue;
        std::stringstream cells(line.substr(1));
        std::string row, cell;
        for (int i = 0; i < columns && std::getline(cells, cell, '|'); ++i) {
            cell.erase(0, cell.find_first_not_of(" `"));
            cell.erase(cell.find_last_not_of(" `") + 1);
            row += (i == 0 ? "" : "|") + cell;
        }
        rows.push_back(row);
    }
    if (!rows.empty())
        rows.erase(rows.begin());
    return rows;
}

}  // namespace

TEST(Docs, TablesListExactlyWhatTheCodeKnows) {
    const std::map<moxy::Operand, std::string> operands = {{moxy::Operand::None, ""}, {moxy::Operand::CellDigits, "two cell digits"},
                                                           {moxy::Operand::KeySelector, "key selector"}, {moxy::Operand::SubCode, "sub-code"}};
    std::vector<std::string> ops, subCodes, keys, errors;
    for (const moxy::OpInfo& op : moxy::kOpInfo)
        ops.push_back(std::to_string(static_cast<int>(op.op)) + "|" + std::string(op.name) + "|" + operands.at(op.operand));
    for (const moxy::SubCodeInfo& sub : moxy::kSubCodeInfo)
        subCodes.push_back(std::to_string(static_cast<int>(sub.subCode)) + "|" + std::string(sub.name) + "|" + std::string(sub.keyword));
    for (const moxy::KeyInfo& key : moxy::kKeyInfo)
        keys.push_back(std::to_string(key.selector) + "|" + std::string(key.name) + "|" + std::to_string(key.keyCode));
    for (std::size_t i = 0; i < runner::kRunErrorKinds; ++i) {
        const auto kind = static_cast<runner::RunError::Kind>(i);
        errors.push_back(std::string(runner::kindName(kind)) + "|" + std::string(runner::kindTitle(kind)));
    }
    EXPECT_EQ(tableAfter("## Opcodes", 3), ops);
    EXPECT_EQ(tableAfter("## Sub-codes of opcode 247", 3), subCodes);
    EXPECT_EQ(tableAfter("## Key selectors of opcode 234", 3), keys);
    EXPECT_EQ(tableAfter("## Run-time errors", 2), errors);
}
