// The runner's command line, through the real executable.
#include "cli_support.h"
#include "moxy/format.h"
#include "support/program_builder.h"

#include <QImage>

#include <array>

#include <gmock/gmock.h>

using moxy::Op;
using testing::HasSubstr;
using testing::StartsWith;

namespace {

const QString kMoxy = QStringLiteral(MOXY_EXE);

// The worked example: 10, 20 and "Hi" into three cells, "Hi" printed at (10, 20), end.
std::string printHi() {
    moxy::Writer writer;
    writer.raw(moxy::kQuillonHeader);
    for (int k = 0; k < 3; ++k)
        writer.cell(130, 130 + k).op(Op::Clear).text(std::array{"10", "20", "Hi"}[k]);
    writer.cell(130, 130).op(Op::SetPar1).cell(130, 131).op(Op::SetPar2).cell(130, 132).op(Op::Print);
    writer.op(Op::End);
    return writer.take();
}

class MoxyCli : public testing::Test {
protected:
    QTemporaryDir folder;
    QString program(const std::string& bytes, const QString& name = QStringLiteral("p.moxy")) {
        return cli::writeFile(folder, name, bytes);
    }
};

}  // namespace

TEST_F(MoxyCli, DumpsTheStateWhenTheProgramEnds) {
    const cli::Outcome outcome = cli::run(kMoxy, {"--headless", "--dump", "-", program(printHi())});
    EXPECT_EQ(outcome.exitCode, 0) << outcome.err;
    EXPECT_EQ(outcome.out,
              "Pointer 33152\nPar1 33150\nPar2 33151\nRes 0\nVarTop 33152\nPicSelect 0\n"
              "cell 33150 10\ncell 33151 20\ncell 33152 Hi\nend ended\n");
    // A quoted path loses its quotes.
    const cli::Outcome quoted = cli::run(kMoxy, {"--headless", "--dump", "-", "\"" + program(printHi()) + "\""});
    EXPECT_EQ(quoted.out, outcome.out) << quoted.err;
}

TEST_F(MoxyCli, UsageErrorsAndUnreadableFiles) {
    struct Case {
        QStringList arguments;
        std::string message;
    };
    const QString missing = folder.filePath(QStringLiteral("missing.moxy"));
    const QString huge = folder.filePath(QStringLiteral("huge.moxy"));
    {
        QFile file(huge);
        ASSERT_TRUE(file.open(QIODevice::WriteOnly));
        ASSERT_TRUE(file.resize((qint64{64} << 20) + 1));  // sparse: no disk space needed
    }
    const Case cases[] = {
        {{}, "Usage:"},
        {{"--headless", missing}, "cannot read " + missing.toStdString() + ": No such file or directory"},
        {{"--headless", folder.path()}, "Is a directory"},
        {{"--headless", huge}, "too large for a MOXY program"},
        {{"--headless", "--max-steps", "many", missing}, "--max-steps takes a whole number"},
        {{"--headless", "--screen", "big", missing}, "--screen takes WIDTHxHEIGHT"},
        {{"--headless", "--keys", "1:Q", missing}, "--keys: \"1:Q\""},
        {{"--headless", "a.moxy", "b.moxy"}, "expected one FILE"},
        {{"--no-such-option", "a.moxy"}, "Unknown option"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.arguments.join(' ').toStdString());
        const cli::Outcome outcome = cli::run(kMoxy, c.arguments);
        EXPECT_EQ(outcome.exitCode, 1);
        EXPECT_THAT(outcome.err, HasSubstr(c.message));
    }
}

TEST_F(MoxyCli, RunTimeErrorEndsWithStatusTwoAndStepLimitWithThree) {
    moxy::Writer writer;
    writer.cell(130, 130).op(Op::Clear).text("abc").op(Op::Increment);
    const cli::Outcome outcome = cli::run(kMoxy, {"--headless", "--dump", "-", program(writer.code())});
    EXPECT_EQ(outcome.exitCode, 2);
    EXPECT_THAT(outcome.out, HasSubstr("end error type-mismatch\n"));
    EXPECT_THAT(outcome.err, HasSubstr("moxy: run-time error (type-mismatch): the text \"abc\" is not a number "
                                       "[position 8, opcode 25 Increment]"));

    moxy::Writer endless;
    endless.cell(130, 130).op(Op::Clear).text("1").label(1).cell(130, 130).op(Op::Jump);
    const cli::Outcome steps =
        cli::run(kMoxy, {"--headless", "--max-steps", "500", "--dump", "-", program(endless.code())});
    EXPECT_EQ(steps.exitCode, 3);
    EXPECT_THAT(steps.out, HasSubstr("end steps\n"));
}

TEST_F(MoxyCli, SeedMakesRandomNumbersRepeatable) {
    moxy::Writer writer;
    writer.cell(130, 130).op(Op::Clear).text("1").op(Op::SetPar1);
    writer.cell(130, 131).op(Op::Clear).text("1000000").op(Op::SetPar2).cell(130, 132).op(Op::Random);
    const QStringList arguments = {"--headless", "--seed", "42", "--dump", "-", program(writer.code())};
    const cli::Outcome first = cli::run(kMoxy, arguments);
    EXPECT_EQ(first.exitCode, 0);
    EXPECT_EQ(first.out, cli::run(kMoxy, arguments).out);
}

TEST_F(MoxyCli, DisassemblesWithoutRunning) {
    const cli::Outcome outcome = cli::run(kMoxy, {"--disasm", program(printHi())});
    EXPECT_EQ(outcome.exitCode, 0);
    EXPECT_THAT(outcome.out, StartsWith("      1  SelectCell 255\n"
                                        "      4  Text \"This Program was written and compiled in Quillon.\"\n"
                                        "     53  Clear\n"
                                        "     54  SelectCell 33150\n"));
    EXPECT_THAT(outcome.out, HasSubstr("     83  Print\n     84  End\n"));
}

TEST_F(MoxyCli, TracesEveryInstruction) {
    const cli::Outcome outcome = cli::run(kMoxy, {"--headless", "--trace", program(printHi())});
    EXPECT_EQ(outcome.exitCode, 0);
    EXPECT_THAT(outcome.err, HasSubstr("     54  SelectCell 33150\n     57  Clear  -> V(33150) = \"\"\n"
                                       "     58  Text \"10\"  -> appended to V(33150)\n"));
    EXPECT_THAT(outcome.err, HasSubstr("     84  End\n"));
}

TEST_F(MoxyCli, ScreenshotShowsTheDrawing) {
    const QString png = folder.filePath(QStringLiteral("shot.png"));
    const cli::Outcome outcome = cli::run(kMoxy, {"--headless", "--screenshot", png, program(printHi())});
    EXPECT_EQ(outcome.exitCode, 0) << outcome.err;
    const QImage image(png);
    ASSERT_FALSE(image.isNull());
    EXPECT_EQ(image.size(), QSize(323, 243));
    // "Hi" in black somewhere right of and below (10, 20); white elsewhere.
    int dark = 0;
    for (int y = 0; y < image.height(); ++y)
        for (int x = 0; x < image.width(); ++x)
            if (qGray(image.pixel(x, y)) < 128) {
                ++dark;
                EXPECT_GE(x, 10);
                EXPECT_GE(y, 20);
            }
    EXPECT_GT(dark, 5);
}

TEST_F(MoxyCli, EndlessFilesAndUnwritableOutputsAreReported) {
    const cli::Outcome endless = cli::run(kMoxy, {"--headless", "/dev/zero"});
    EXPECT_EQ(endless.exitCode, 1);
    EXPECT_THAT(endless.err, HasSubstr("too large for a MOXY program"));

    const cli::Outcome load =
        cli::run(kMoxy, {"--headless", "--dump", "-", program(testing_support::loadFileProgram("/dev/zero"))});
    EXPECT_EQ(load.exitCode, 2);
    EXPECT_THAT(load.out, HasSubstr("end error not-a-regular-file\n"));  // a device is no text file

    const QString nowhere = folder.filePath(QStringLiteral("no/such/folder/dump.txt"));
    const cli::Outcome dump = cli::run(kMoxy, {"--headless", "--dump", nowhere, program(printHi())});
    EXPECT_EQ(dump.exitCode, 1);
    EXPECT_THAT(dump.err, HasSubstr("cannot write " + nowhere.toStdString()));
}

TEST_F(MoxyCli, WithoutADisplayTheWindowModeSaysSo) {
    QProcess process;
    QProcessEnvironment environment = QProcessEnvironment::systemEnvironment();
    environment.remove(QStringLiteral("DISPLAY"));
    environment.remove(QStringLiteral("WAYLAND_DISPLAY"));
    environment.remove(QStringLiteral("QT_QPA_PLATFORM"));
    process.setProcessEnvironment(environment);
    process.start(kMoxy, {program(printHi())});
    ASSERT_TRUE(process.waitForFinished(30000));
    EXPECT_EQ(process.exitCode(), 1);
    EXPECT_THAT(process.readAllStandardError().toStdString(), HasSubstr("no display"));
}

TEST_F(MoxyCli, HelpAndVersion) {
    const cli::Outcome help = cli::run(kMoxy, {"--help"});
    EXPECT_EQ(help.exitCode, 0);
    for (const char* option : {"--headless", "--screenshot", "--dump", "--keys", "--max-steps", "--seed", "--screen",
                               "--trace", "--safe", "--disasm"})
        EXPECT_THAT(help.out, HasSubstr(option));
    const cli::Outcome version = cli::run(kMoxy, {"--version"});
    EXPECT_EQ(version.exitCode, 0);
    EXPECT_THAT(version.out, StartsWith("moxy "));
}

TEST_F(MoxyCli, HeadlessDialogsUseTheConsole) {
    moxy::Writer writer;
    writer.cell(130, 130).op(Op::Clear).text("Your name?").op(Op::SetPar1);
    writer.cell(130, 131).op(Op::InputBox);
    writer.cell(130, 132).op(Op::InputBox);
    writer.cell(130, 133).op(Op::Clear).text("Hello").system(moxy::SubCode::MessageBox);
    writer.cell(130, 131).system(moxy::SubCode::MessageBox);
    const cli::Outcome outcome = cli::run(kMoxy, {"--headless", program(writer.code())}, "Ada\r\n");
    EXPECT_EQ(outcome.exitCode, 0);
    EXPECT_EQ(outcome.out, "Hello\nAda\n");
    EXPECT_EQ(outcome.err, "Your name?\nYour name?\n");
}

TEST_F(MoxyCli, KeyScriptPressesKeysAtYields) {
    moxy::Writer writer;
    writer.op(Op::Yield).cell(130, 130).key(moxy::Key::Up).op(Op::Yield).cell(130, 131).key(moxy::Key::Up);
    const cli::Outcome outcome =
        cli::run(kMoxy, {"--headless", "--keys", "1:Up+ 2:Up-", "--dump", "-", program(writer.code())});
    EXPECT_EQ(outcome.exitCode, 0) << outcome.err;
    EXPECT_THAT(outcome.out, HasSubstr("cell 33150 1\ncell 33151 0\n"));
}

TEST_F(MoxyCli, SafeModeRefusesFilesOutsideTheProgramFolder) {
    const cli::Outcome outcome = cli::run(
        kMoxy, {"--headless", "--safe", "--dump", "-", program(testing_support::loadFileProgram("/etc/hostname"))});
    EXPECT_EQ(outcome.exitCode, 2);
    EXPECT_THAT(outcome.out, HasSubstr("end error refused\n"));
    EXPECT_THAT(outcome.err, HasSubstr("/etc/hostname"));
}
