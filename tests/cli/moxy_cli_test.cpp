// The runner's command line, through the real executable: its exit statuses, the state
// dump, its messages and what it writes.
#include "cli_support.h"
#include "moxy/format.h"
#include "support/program_builder.h"

#include <QImage>

#include <gmock/gmock.h>

using moxy::Op;
using testing::_;
using testing::EndsWith;
using testing::HasSubstr;
using testing_support::set;

namespace {

const QString kMoxy = QStringLiteral(MOXY_EXE);

std::string program(void (*body)(moxy::Writer&)) {
    moxy::Writer writer;
    body(writer);
    return writer.take();
}
// Slots 0 and 1 (the place) hold 10 and 20, then [body], then the end.
std::string placed(void (*body)(moxy::Writer&)) {
    moxy::Writer writer;
    set(writer, 0, "10").op(Op::SetPar1);
    set(writer, 1, "20").op(Op::SetPar2);
    body(writer);
    return writer.op(Op::End).take();
}
void printText(moxy::Writer& w) { set(w, 2, "Hi").op(Op::Print); }
void paintPicture(moxy::Writer& w) {
    w.op(Op::NewPictureHolder);
    set(w, 2, "1").op(Op::SelectPictureHolder);
    set(w, 3, "red.png").op(Op::LoadPicture);
    set(w, 4, "8").op(Op::SetRes).op(Op::PaintPicture);
}
void pictureAndText(moxy::Writer& w) { paintPicture(w); printText(w); }

class MoxyCli : public testing::Test {
protected:
    void SetUp() override {
        QImage red(8, 8, QImage::Format_RGB32);
        red.fill(Qt::red);
        ASSERT_TRUE(red.save(folder.filePath(QStringLiteral("red.png"))));
    }
    QTemporaryDir folder;
};

}  // namespace

// Run in a folder of its own; "P" among the arguments is the case's program. A run without
// a window makes its fonts and picture decoders ready only when the program first prints
// text or uses a picture: such runs work and say nothing about it.
TEST_F(MoxyCli, StatusesAndMessages) {
    QFile huge(folder.filePath(QStringLiteral("huge.moxy")));
    ASSERT_TRUE(huge.open(QIODevice::WriteOnly) && huge.resize((qint64{64} << 20) + 1));  // sparse
    const struct {
        QStringList arguments;
        std::string program;
        int exitCode;
        testing::Matcher<std::string> out;
        testing::Matcher<std::string> err;
        std::string input = {};
    } cases[] = {
        {{"--headless", "--dump", "-", "P"}, placed(printText), 0,
         "Pointer 33152\nPar1 33150\nPar2 33151\nRes 0\nVarTop 33152\nPicSelect 0\n"
         "cell 33150 10\ncell 33151 20\ncell 33152 Hi\nend ended\n", ""},
        {{"--headless", "--dump", "-", "\"P\""}, placed(printText), 0, EndsWith("end ended\n"), ""},  // quotes go
        {{"--headless", "P"}, placed(paintPicture), 0, "", ""},
        {{"--headless", "P"}, placed(pictureAndText), 0, "", ""},
        {{"--headless", "--trace", "P"}, placed(printText), 0, "",
         HasSubstr("      4  Clear  -> V(33150) = \"\"\n      5  Text \"10\"  -> appended to V(33150)\n")},
        {{"--headless", "--dump", "-", "P"}, program([](moxy::Writer& w) { set(w, 0, "abc").op(Op::Increment); }), 2,
         EndsWith("end error type-mismatch\n"), EndsWith("moxy: run-time error (type-mismatch): the text \"abc\" is not a number "
         "[position 8, opcode 25 Increment]\n")},
        {{"--headless", "--max-steps", "500", "--dump", "-", "P"},
         program([](moxy::Writer& w) { set(w, 0, "1").label(1).cell(130, 130).op(Op::Jump); }), 3, EndsWith("end steps\n"), ""},
        {{"--headless", "--dump", "-", "P"}, testing_support::loadFileProgram("/dev/zero"), 2,
         EndsWith("end error not-a-regular-file\n"), HasSubstr("/dev/zero")},
        {{"--headless", "--safe", "--dump", "-", "P"}, testing_support::loadFileProgram("/etc/hostname"), 2,
         EndsWith("end error refused\n"), HasSubstr("/etc/hostname")},
        // A program piped in has no folder of its own: under --safe it reaches no file.
        {{"--headless", "--safe", "--dump", "-", "/dev/stdin"}, "", 2, EndsWith("end error refused\n"), _,
         testing_support::loadFileProgram("red.png")},
        {{"--headless", "--dump", "no/such/folder/dump.txt", "P"}, "", 1, "", testing::ContainsRegex("cannot write /.*/no/such/folder/dump.txt: No such file")},
        {{"--headless", "missing.moxy"}, "", 1, "", HasSubstr("cannot read missing.moxy: No such file or directory")},
        {{"--headless", "."}, "", 1, "", HasSubstr("Is a directory")},
        {{"--headless", "huge.moxy"}, "", 1, "", HasSubstr("too large for a MOXY program")},
        {{"--headless", "/dev/zero"}, "", 1, "", HasSubstr("too large for a MOXY program")},
        {{}, "", 1, "", HasSubstr("Usage:")},
        {{"--headless", "--max-steps", "many", "P"}, "", 1, "", HasSubstr("--max-steps takes a whole number")},
        {{"--headless", "--screen", "big", "P"}, "", 1, "", HasSubstr("--screen takes WIDTHxHEIGHT")},
        {{"--headless", "--keys", "1:Q", "P"}, "", 1, "", HasSubstr("--keys: \"1:Q\"")},
        {{"--headless", "a.moxy", "b.moxy"}, "", 1, "", HasSubstr("expected one FILE")},
        {{"--no-such-option", "a.moxy"}, "", 1, "", HasSubstr("Unknown option")},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.arguments.join(' ').toStdString());
        cli::writeFile(folder, QStringLiteral("p.moxy"), c.program);
        QStringList arguments = c.arguments;
        arguments.replaceInStrings(QStringLiteral("P"), QStringLiteral("p.moxy"));
        const cli::Outcome outcome = cli::run(kMoxy, arguments, QByteArray::fromStdString(c.input), folder.path());
        EXPECT_EQ(outcome.exitCode, c.exitCode) << outcome.err;
        EXPECT_THAT(outcome.out, c.out);
        EXPECT_THAT(outcome.err, c.err);
    }
}

TEST_F(MoxyCli, WithoutADisplayTheWindowModeSaysSo) {
    QProcess process;
    QProcessEnvironment environment = QProcessEnvironment::systemEnvironment();
    for (const char* name : {"DISPLAY", "WAYLAND_DISPLAY", "QT_QPA_PLATFORM"})
        environment.remove(QString::fromLatin1(name));
    process.setProcessEnvironment(environment);
    process.start(kMoxy, {cli::writeFile(folder, QStringLiteral("p.moxy"), placed(printText))});
    ASSERT_TRUE(process.waitForFinished(30000));
    EXPECT_EQ(process.exitCode(), 1);
    EXPECT_THAT(process.readAllStandardError().toStdString(), HasSubstr("no display"));
}
