// Runs every compiled example from examples/ headless in the real runner, to the end a user
// would reach: answers come through standard input, key presses through --keys (counted in
// yields, never in time), random numbers through --seed, results through --dump and
// --screenshot. --max-steps only guards against a program that would run forever.
#include "cli/cli_support.h"

#include <QColor>
#include <QImage>

#include <gmock/gmock.h>

#include <string>

using testing::HasSubstr;

namespace {

const QString kExamples = QStringLiteral(EXAMPLES_DIR);

struct Outcome : cli::Outcome {
    std::string dump;
    QImage screenshot;
};

// Runs examples/[name].moxy headless in [folder] with the runner options [options], [input]
// on standard input; collects the dump and the screenshot.
Outcome runExample(const QString& name, const QStringList& options, const QByteArray& input = {},
                   const QString& folder = kExamples) {
    QTemporaryDir results;
    const QString dump = results.filePath(QStringLiteral("dump.txt"));
    const QString screenshot = results.filePath(QStringLiteral("screenshot.png"));
    // The examples read and write numbers with a decimal point.
    qputenv("LC_ALL", "C.UTF-8");
    const cli::Outcome run =
        cli::run(QStringLiteral(MOXY_EXE),
                 QStringList{"--headless", "--dump", dump, "--screenshot", screenshot} + options +
                     QStringList{QDir(kExamples).filePath(name + QStringLiteral(".moxy"))},
                 input, folder);
    return {run, cli::readFile(dump), QImage(screenshot)};
}

// The run ended with status 0 and its dump holds each of [lines] as a line or a line's end.
void expectEnded(const Outcome& run, std::initializer_list<std::string> lines) {
    EXPECT_EQ(run.exitCode, 0) << run.err;
    for (const std::string& line : lines)
        EXPECT_THAT(run.dump, HasSubstr(line + "\n"));
}

// How many pixels of [image] in the rectangle (x, y, width, height) have the colour [rgb].
int countColour(const QImage& image, int x, int y, int width, int height, QRgb rgb) {
    int count = 0;
    for (int row = y; row < y + height; ++row)
        for (int column = x; column < x + width; ++column)
            if (image.valid(column, row) && (image.pixel(column, row) & 0xFFFFFF) == (rgb & 0xFFFFFF))
                ++count;
    return count;
}

TEST(Examples, HelloWritesItsGreeting) {
    const Outcome run = runExample(QStringLiteral("hello"), {"--max-steps", "10000"});
    expectEnded(run, {"cell 33150 Hello from Quillon", "cell 33153 Hello, world!", "end ok"});
    // Black text in the first line's place, nothing below the second.
    EXPECT_GT(countColour(run.screenshot, 20, 20, 90, 14, qRgb(0, 0, 0)), 20);
    EXPECT_EQ(countColour(run.screenshot, 0, 60, 323, 183, qRgb(0, 0, 0)), 0);
}

// The expected pixels of drawing.moxy's screenshot, whichever way it found its picture.
void expectDrawing(const QImage& image) {
    ASSERT_EQ(image.size(), QSize(323, 243));
    const struct {
        const char* what;
        int x, y;
        QRgb rgb;
    } pixels[] = {
        {"col9 1 black", 17, 17, 0x000000}, {"col9 2 red", 37, 17, 0xff0000}, {"col9 3 green", 57, 17, 0x00ff00},
        {"col9 4 blue", 77, 17, 0x0000ff}, {"col9 5 yellow", 97, 17, 0xffff00}, {"col9 6 cyan", 117, 17, 0x00ffff},
        {"col9 7 magenta", 137, 17, 0xff00ff}, {"col9 8 silver", 157, 24, 0xc0c0c0},
        {"ramp starts blue", 10, 45, 0x0000ff}, {"square's right edge left out", 25, 17, 0xffffff},
        {"ramp's middle", 74, 45, 0x80007f}, {"ramp ends red", 137, 54, 0xfe0001},
        {"ramp's line end left out", 137, 55, 0xffffff}, {"outer circle", 80, 110, 0xff0000},
        {"middle circle", 70, 110, 0x00ff00}, {"inner circle", 60, 110, 0x0000ff},
        {"circle's centre", 50, 110, 0xffffff}, {"box top left", 100, 80, 0xff8000},
        {"box top right", 180, 80, 0xff8000}, {"box bottom right", 180, 140, 0xff8000},
        {"box bottom left", 100, 140, 0xff8000}, {"cross", 140, 110, 0xff8000}, {"first point", 10, 159, 0xff00ff},
        {"lowest point", 158, 215, 0xff00ff}, {"between points", 12, 159, 0xffffff},
        {"picture at its size", 230, 105, 0xdc1e1e}, {"picture's highlight", 220, 95, 0xffffff},
        {"picture doubled", 290, 110, 0xdc1e1e}, {"picture doubled, lower right", 300, 120, 0xdc1e1e},
        {"background", 5, 235, 0xffffff},
    };
    for (const auto& pixel : pixels) {
        SCOPED_TRACE(pixel.what);
        EXPECT_EQ(QColor(image.pixel(pixel.x, pixel.y)).name(), QColor(pixel.rgb).name()) << pixel.x << "," << pixel.y;
    }
    // The captions are black.
    EXPECT_GT(countColour(image, 30, 148, 40, 14, qRgb(0, 0, 0)), 20);
}

TEST(Examples, DrawingFindsItsPictureInTheCurrentFolderOrBesideTheRunner) {
    const Outcome here = runExample(QStringLiteral("drawing"), {"--max-steps", "1000000"});
    expectEnded(here, {"end ok"});
    EXPECT_EQ(here.err, "");
    expectDrawing(here.screenshot);
    // From any other folder the first try fails and the run starts again: retry holds yes,
    // the path is the runner's.
    QTemporaryDir elsewhere;
    const Outcome there = runExample(QStringLiteral("drawing"), {"--max-steps", "1000000"}, {}, elsewhere.path());
    expectEnded(there, {"cell 33150 yes", "/../examples/ball.png", "end ok"});
    expectDrawing(there.screenshot);
}

TEST(Examples, CalculatorAnswersInMessageBoxesUntilCancel) {
    const Outcome run = runExample(QStringLiteral("calculator"), {"--max-steps", "100000"},
                                   "6\n*\n7\n10\n/\n4\n2.5\n-\n4\n1\n%\n2\n1\n/\n0\n100\n+\n23\n");
    expectEnded(run, {"end ended"});
    EXPECT_EQ(run.out, "6 * 7 = 42\n10 / 4 = 2.5\n2.5 - 4 = -1.5\nSorry, I only know + - * and /.\n"
                       "1 / 0 = Infinity\n100 + 23 = 123\n");
    // Three questions a round, and the first question once more before the end of the input.
    EXPECT_THAT(run.err, HasSubstr("Operation: + - * or /\nSecond number?\nFirst number? (Cancel to stop)\n"));
}

TEST(Examples, NotebookAddsANumberedNoteEachRun) {
    QTemporaryDir folder;
    const std::string twoNotes = "My notebook\r\nNote 1: first note\r\nNote 2: second note\r\n";
    const struct {
        QByteArray input;
        std::string out;
        std::string notebook;
        std::string end;
    } runs[] = {
        // The first run finds no notebook, fails once, starts again and writes the heading first.
        {"first note\n", "My notebook\r\nNote 1: first note\n", "My notebook\r\nNote 1: first note\r\n", "end ok"},
        {"second note\n", "My notebook\r\nNote 1: first note\r\nNote 2: second note\n", twoNotes, "end ok"},
        // Cancel only shows the notebook.
        {{}, twoNotes + "\n", twoNotes, "end ended"},
    };
    for (const auto& note : runs) {
        SCOPED_TRACE(note.input.toStdString());
        const Outcome run =
            runExample(QStringLiteral("notebook"), {"--max-steps", "1000000"}, note.input, folder.path());
        expectEnded(run, {note.end});
        EXPECT_EQ(run.out, note.out);
        EXPECT_EQ(cli::readFile(folder.filePath(QStringLiteral("notebook.txt"))), note.notebook);
    }
}

TEST(Examples, GamePlayedToItsEndByAKeyScriptOrQ) {
    // Seed 1 drops the first balls at x = 50, 51 and 147. Left is held through yields 1 to 11
    // (the paddle moves 88 pixels to x = 53), Right through yields 84 to 90 (to x = 109): the
    // first three balls are caught, and with the paddle left there two of the next five.
    const QStringList seeded = {"--seed", "1", "--max-steps", "5000000", "--keys"};
    const Outcome played =
        runExample(QStringLiteral("game"), seeded + QStringList{"1:Left+ 12:Left- 84:Right+ 91:Right-"});
    expectEnded(played, {"cell 33150 5", "cell 33151 3", "end ended"});  // score, misses
    EXPECT_EQ(played.out, "Game over! Score: 5\n");
    // GAME OVER in red in the middle of the surface.
    EXPECT_GT(countColour(played.screenshot, 120, 105, 90, 20, qRgb(255, 0, 0)), 20);
    const Outcome quit = runExample(QStringLiteral("game"), seeded + QStringList{"10:Q+"});
    expectEnded(quit, {"cell 33150 0", "cell 33151 0", "end ended"});
    EXPECT_EQ(quit.out, "Game over! Score: 0\n");
}

TEST(Examples, CountdownWritesTenNumbersAndLiftoff) {
    const Outcome run = runExample(QStringLiteral("countdown"), {"--max-steps", "10000"});
    // The counter n n, t t, and y y: ten rows of 18 pixels.
    expectEnded(run, {"cell 28050 0", "cell 29580 Liftoff!", "cell 30855 190", "end ok"});
    EXPECT_GT(countColour(run.screenshot, 20, 10, 20, 14, qRgb(0, 0, 255)), 10);   // "10" in blue
    EXPECT_GT(countColour(run.screenshot, 20, 190, 50, 14, qRgb(255, 0, 0)), 20);  // "Liftoff!" in red
}

TEST(Examples, TableWritesTheTimesTableOfTheAnswer) {
    const Outcome run = runExample(QStringLiteral("table"), {"--max-steps", "100000"}, "7\n");
    // The answer where the run started, i i past the last row, k k, and p p: 10 x 7.
    expectEnded(run, {"cell 255 7", "cell 26775 11", "cell 27285 7", "cell 28560 70", "end ok"});
    EXPECT_EQ(run.err, "Which times table?\n");
    EXPECT_GT(countColour(run.screenshot, 20, 190, 120, 14, qRgb(0, 0, 0)), 20);  // the tenth row
}

}  // namespace
