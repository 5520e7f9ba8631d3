// The runner's command line, through the real executable: its exit statuses, the state
// dump, its messages and what it writes.
#include "cli_support.h"
#include "moxy/format.h"
#include "support/program_builder.h"

#include <QImage>

#include <gmock/gmock.h>

using moxy::Op;
using testing::HasSubstr;
using testing_support::set;

namespace {

const QString kMoxy = QStringLiteral(MOXY_EXE);

// The worked example: 10, 20 and "Hi" into three cells, "Hi" printed at (10, 20), end.
std::string printHi() {
    moxy::Writer writer;
    writer.raw(moxy::kQuillonHeader);
    set(writer, 0, "10").op(Op::SetPar1);
    set(writer, 1, "20").op(Op::SetPar2);
    set(writer, 2, "Hi").op(Op::Print).op(Op::End);
    return writer.take();
}

std::string program(void (*body)(moxy::Writer&)) {
    moxy::Writer writer;
    body(writer);
    return writer.take();
}

// Slot 0 and 1 (the place) hold 10 and 20, then [body], then the end.
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

}  // namespace

// "P" among the arguments is the case's program.
TEST(MoxyCli, StatusesAndMessages) {
    QTemporaryDir folder;
    const QString huge = folder.filePath(QStringLiteral("huge.moxy"));
    QFile hugeFile(huge);
    ASSERT_TRUE(hugeFile.open(QIODevice::WriteOnly) && hugeFile.resize((qint64{64} << 20) + 1));  // sparse
    const std::string missing = folder.filePath(QStringLiteral("missing.moxy")).toStdString();
    const std::string nowhere = folder.filePath(QStringLiteral("no/such/folder/dump.txt")).toStdString();
    const struct {
        QStringList arguments;
        std::string program;
        int exitCode;
        std::string out;  // expected in standard output
        std::string err;  // expected in standard error
    } cases[] = {
        {{"--headless", "--dump", "-", "P"}, printHi(), 0,
         "Pointer 33152\nPar1 33150\nPar2 33151\nRes 0\nVarTop 33152\nPicSelect 0\n"
         "cell 33150 10\ncell 33151 20\ncell 33152 Hi\nend ended\n", ""},
        {{"--headless", "--dump", "-", "\"P\""}, printHi(), 0, "end ended\n", ""},  // a quoted path loses its quotes
        {{"--headless", "--trace", "P"}, printHi(), 0, "",
         "     57  Clear  -> V(33150) = \"\"\n     58  Text \"10\"  -> appended to V(33150)\n"},
        {{"--headless", "--dump", "-", "P"},
         program([](moxy::Writer& w) { set(w, 0, "abc").op(Op::Increment); }), 2, "end error type-mismatch\n",
         "moxy: run-time error (type-mismatch): the text \"abc\" is not a number [position 8, opcode 25 Increment]"},
        {{"--headless", "--max-steps", "500", "--dump", "-", "P"},
         program([](moxy::Writer& w) { set(w, 0, "1").label(1).cell(130, 130).op(Op::Jump); }), 3, "end steps\n", ""},
        {{"--headless", "--dump", "-", "P"}, testing_support::loadFileProgram("/dev/zero"), 2,
         "end error not-a-regular-file\n", ""},
        {{"--headless", "--safe", "--dump", "-", "P"}, testing_support::loadFileProgram("/etc/hostname"), 2,
         "end error refused\n", "/etc/hostname"},
        {{"--headless", "--dump", QString::fromStdString(nowhere), "P"}, printHi(), 1, "", "cannot write " + nowhere},
        {{"--headless", QString::fromStdString(missing)}, "", 1, "", "cannot read " + missing + ": No such file or directory"},
        {{"--headless", folder.path()}, "", 1, "", "Is a directory"},
        {{"--headless", huge}, "", 1, "", "too large for a MOXY program"},
        {{"--headless", "/dev/zero"}, "", 1, "", "too large for a MOXY program"},
        {{}, "", 1, "", "Usage:"},
        {{"--headless", "--max-steps", "many", "P"}, "", 1, "", "--max-steps takes a whole number"},
        {{"--headless", "--screen", "big", "P"}, "", 1, "", "--screen takes WIDTHxHEIGHT"},
        {{"--headless", "--keys", "1:Q", "P"}, "", 1, "", "--keys: \"1:Q\""},
        {{"--headless", "a.moxy", "b.moxy"}, "", 1, "", "expected one FILE"},
        {{"--no-such-option", "a.moxy"}, "", 1, "", "Unknown option"},
        {{"--help"}, "", 0, "--disasm", ""},
        {{"--version"}, "", 0, "moxy ", ""},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.arguments.join(' ').toStdString());
        const QString path = cli::writeFile(folder, QStringLiteral("p.moxy"), c.program);
        QStringList arguments = c.arguments;
        for (QString& argument : arguments)
            argument = argument == "P" ? path : argument == "\"P\"" ? '"' + path + '"' : argument;
        const cli::Outcome outcome = cli::run(kMoxy, arguments);
        EXPECT_EQ(outcome.exitCode, c.exitCode) << outcome.err;
        EXPECT_THAT(outcome.out, HasSubstr(c.out));
        EXPECT_THAT(outcome.err, HasSubstr(c.err));
    }
}

TEST(MoxyCli, WithoutADisplayTheWindowModeSaysSo) {
    QProcess process;
    QProcessEnvironment environment = QProcessEnvironment::systemEnvironment();
    for (const char* name : {"DISPLAY", "WAYLAND_DISPLAY", "QT_QPA_PLATFORM"})
        environment.remove(QString::fromLatin1(name));
    process.setProcessEnvironment(environment);
    QTemporaryDir folder;
    process.start(kMoxy, {cli::writeFile(folder, QStringLiteral("p.moxy"), printHi())});
    ASSERT_TRUE(process.waitForFinished(30000));
    EXPECT_EQ(process.exitCode(), 1);
    EXPECT_THAT(process.readAllStandardError().toStdString(), HasSubstr("no display"));
}

// A run without a window makes its fonts and picture decoders ready only when the program
// first prints text or uses a picture: such runs, with and without a screenshot, work and
// say nothing about it.
TEST(MoxyCli, TextAndPicturesWithoutAndWithAScreenshot) {
    QTemporaryDir folder;
    QImage red(8, 8, QImage::Format_RGB32);
    red.fill(Qt::red);
    ASSERT_TRUE(red.save(folder.filePath(QStringLiteral("red.png"))));
    const std::pair<std::string, QRgb> cases[] = {
        {placed(printText), qRgb(0, 0, 0)},
        {placed(paintPicture), qRgb(255, 0, 0)},
        {placed([](moxy::Writer& w) { paintPicture(w); printText(w); }), qRgb(0, 0, 0)},  // text after a picture
    };
    for (const auto& [code, expected] : cases) {
        SCOPED_TRACE(code.size());
        const QString path = cli::writeFile(folder, QStringLiteral("p.moxy"), code);
        const QString shot = folder.filePath(QStringLiteral("shot.png"));
        for (const QStringList& options : {QStringList{}, QStringList{"--screenshot", shot}}) {
            const cli::Outcome outcome = cli::run(kMoxy, QStringList{"--headless"} + options + QStringList{path}, {}, folder.path());
            EXPECT_EQ(outcome.exitCode, 0);
            EXPECT_EQ(outcome.err, "");
        }
        const QImage image(shot);
        ASSERT_EQ(image.size(), QSize(323, 243));
        EXPECT_EQ(image.dotsPerMeterX(), 3780);  // a surface made with the fonts ready: 96 dots per inch
        int drawn = 0;
        for (int y = 0; y < image.height(); ++y)
            for (int x = 0; x < image.width(); ++x)
                if ((image.pixel(x, y) & 0xFFFFFF) == (expected & 0xFFFFFF)) {
                    ++drawn;
                    EXPECT_TRUE(x >= 10 && y >= 20) << "drawn outside its place at " << x << "," << y;
                }
        EXPECT_GT(drawn, 5);
    }
}
