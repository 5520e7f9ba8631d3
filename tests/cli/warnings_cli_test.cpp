// Warnings on --compile's standard error: "SRC:LINE:COLUMN: warning: TEXT", beside the
// messages, with the exit status and the written file as without them.
#include "cli_support.h"
#include "moxy/format.h"

#include <string>

namespace {

TEST(WarningsCli, WrittenLikeMessagesAndChangingNothingElse) {
    const struct {
        QString program;
        QString name;
        std::string source;
        std::string expectedErrors;
        std::string expectedCode;
    } cases[] = {
        {QStringLiteral(QUILLON_EXE), QStringLiteral("w.qlnp"), "dim[x]\r\nset[x]{a\xe9}\r\nset[y]{b}\r\n",
         "w.qlnp:2:1: warning: character code 233 in the text is MOXY opcode 233: the runner executes it "
         "instead of storing it\n"
         "w.qlnp:3:1: Error: Variable doesnt exist. y\n",
         std::string(moxy::kQuillonHeader) + "\x01\x82\x82\x1b" "a\xe9" "\x1b" "b"},
        {QStringLiteral(VORNA_EXE), QStringLiteral("w.vornaproj"), "SETPAR1\r\nPRNT EXIT\r\n",
         "w.vornaproj:2:1: warning: \"PRNT\" is not a VORNA mnemonic: the compiler passes over it\n", "\x03\x18"},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name.toStdString());
        QTemporaryDir folder;
        cli::writeFile(folder, c.name, c.source);
        const cli::Outcome outcome =
            cli::run(c.program, {QStringLiteral("--compile"), c.name, QStringLiteral("-o"), QStringLiteral("w.moxy")},
                     {}, folder.path());
        EXPECT_EQ(outcome.exitCode, 0);
        EXPECT_EQ(outcome.err, c.expectedErrors);
        EXPECT_EQ(cli::readFile(folder.filePath(QStringLiteral("w.moxy"))), c.expectedCode + "\r\n");
    }
}

TEST(WarningsCli, AtMostAThousandAndACount) {
    QTemporaryDir folder;
    std::string source;
    for (int i = 0; i < 1500; ++i)
        source += "PRNT\n";
    cli::writeFile(folder, QStringLiteral("many.vornaproj"), source);
    const cli::Outcome outcome = cli::run(QStringLiteral(VORNA_EXE),
                                          {QStringLiteral("--compile"), QStringLiteral("many.vornaproj")}, {},
                                          folder.path());
    EXPECT_EQ(outcome.exitCode, 0);
    std::size_t lines = 0;
    for (const char c : outcome.err)
        lines += c == '\n';
    // 999 warnings and the one that counts the rest: all that --compile shows.
    EXPECT_EQ(lines, 1000u);
    EXPECT_NE(outcome.err.find("many.vornaproj:1501:1: warning: 501 more warnings not reported\n"), std::string::npos);
    EXPECT_EQ(outcome.err.find("more messages not shown"), std::string::npos);
    EXPECT_EQ(cli::readFile(folder.filePath(QStringLiteral("many.moxy"))), "\r\n");

    // Quillon the same way: 1200 errors, 999 warnings and their count; --compile shows 1000.
    std::string quillon = "dim[x]\n";
    for (int i = 0; i < 1200; ++i)
        quillon += "set[x]{\xe9}\nset[y]{a}\n";
    cli::writeFile(folder, QStringLiteral("many.qlnp"), quillon);
    const cli::Outcome mixed = cli::run(QStringLiteral(QUILLON_EXE),
                                        {QStringLiteral("--compile"), QStringLiteral("many.qlnp")}, {}, folder.path());
    EXPECT_EQ(mixed.exitCode, 0);
    EXPECT_NE(mixed.err.find("many.qlnp: 1200 more messages not shown\n"), std::string::npos) << mixed.err.substr(0, 200);
}

}  // namespace
