// The MOXY reference in docs/ must list exactly the opcodes, sub-codes, key selectors and
// run-time errors that the code knows, so that the tables cannot drift.
#include "moxy/opcodes.h"
#include "runner/run_error.h"

#include <gtest/gtest.h>

#include <fstream>
#include <map>
#include <sstream>
#include <string>
#include <vector>

namespace {

// The rows of the table that follows [heading]: each row's cells, trimmed.
std::vector<std::vector<std::string>> tableAfter(const std::string& heading) {
    std::ifstream file(MOXY_DOCS_DIR "/moxy.md");
    std::string line;
    bool inSection = false;
    std::vector<std::vector<std::string>> rows;
    while (std::getline(file, line)) {
        if (line.rfind("## ", 0) == 0) {
            if (inSection)
                break;
            inSection = line == heading;
            continue;
        }
        if (!inSection || line.rfind("| ", 0) != 0 || line.rfind("|---", 0) == 0)
            continue;
        std::vector<std::string> cells;
        std::stringstream cellsText(line.substr(1));
        std::string cell;
        while (std::getline(cellsText, cell, '|')) {
            const auto first = cell.find_first_not_of(' ');
            const auto last = cell.find_last_not_of(' ');
            cells.push_back(first == std::string::npos ? "" : cell.substr(first, last - first + 1));
        }
        rows.push_back(cells);
    }
    if (!rows.empty())
        rows.erase(rows.begin());  // the header row
    return rows;
}

std::string unquote(const std::string& text) {
    return text.size() >= 2 && text.front() == '`' ? text.substr(1, text.size() - 2) : text;
}

}  // namespace

TEST(Docs, OpcodeTableMatchesTheFormat) {
    const auto rows = tableAfter("## Opcodes");
    ASSERT_EQ(rows.size(), std::size(moxy::kOpInfo));
    const std::map<moxy::Operand, std::string> operands = {{moxy::Operand::None, ""},
                                                           {moxy::Operand::CellDigits, "two cell digits"},
                                                           {moxy::Operand::KeySelector, "key selector"},
                                                           {moxy::Operand::SubCode, "sub-code"}};
    for (std::size_t i = 0; i < rows.size(); ++i) {
        const moxy::OpInfo& op = moxy::kOpInfo[i];
        SCOPED_TRACE(std::string(op.name));
        EXPECT_EQ(rows[i][0], std::to_string(static_cast<int>(op.op)));
        EXPECT_EQ(unquote(rows[i][1]), op.name);
        EXPECT_EQ(rows[i][2], operands.at(op.operand));
    }
}

TEST(Docs, SubCodeAndKeyTablesMatchTheFormat) {
    const auto subCodes = tableAfter("## Sub-codes of opcode 247");
    ASSERT_EQ(subCodes.size(), std::size(moxy::kSubCodeInfo));
    for (std::size_t i = 0; i < subCodes.size(); ++i) {
        const moxy::SubCodeInfo& sub = moxy::kSubCodeInfo[i];
        EXPECT_EQ(subCodes[i][0], std::to_string(static_cast<int>(sub.subCode)));
        EXPECT_EQ(unquote(subCodes[i][1]), sub.name);
        EXPECT_EQ(unquote(subCodes[i][2]), sub.keyword);
    }
    const auto keys = tableAfter("## Key selectors of opcode 234");
    ASSERT_EQ(keys.size(), std::size(moxy::kKeyInfo));
    for (std::size_t i = 0; i < keys.size(); ++i) {
        EXPECT_EQ(keys[i][0], std::to_string(moxy::kKeyInfo[i].selector));
        EXPECT_EQ(unquote(keys[i][1]), moxy::kKeyInfo[i].name);
        EXPECT_EQ(keys[i][2], std::to_string(moxy::kKeyInfo[i].keyCode));
    }
}

TEST(Docs, RunTimeErrorTableNamesEveryKind) {
    const auto rows = tableAfter("## Run-time errors");
    ASSERT_EQ(rows.size(), runner::kRunErrorKinds);
    for (std::size_t i = 0; i < rows.size(); ++i) {
        const auto kind = static_cast<runner::RunError::Kind>(i);
        EXPECT_EQ(unquote(rows[i][0]), runner::kindName(kind));
        EXPECT_EQ(rows[i][1], runner::kindTitle(kind));
    }
}
