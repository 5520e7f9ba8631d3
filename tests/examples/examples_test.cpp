// Runs every compiled example from examples/ headless in the real runner, to the end a user
// would reach: answers come through standard input, key presses through --keys (counted in
// yields, never in time), random numbers through --seed, results through --dump and
// --screenshot. --max-steps only guards against a program that would run forever.
#include <QByteArray>
#include <QColor>
#include <QDir>
#include <QFile>
#include <QImage>
#include <QProcess>
#include <QProcessEnvironment>
#include <QStringList>
#include <QTemporaryDir>

#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <string>

using testing::HasSubstr;

namespace {

const QString kMoxy = QStringLiteral(MOXY_EXE);
const QString kExamples = QStringLiteral(EXAMPLES_DIR);

struct Outcome {
    int exitCode = -1;
    std::string out;
    std::string err;
    std::string dump;
    QImage screenshot;
};

// Runs examples/[name].moxy headless in [folder] (the examples folder when empty) with the
// runner options [options], [input] on standard input; collects the dump and the screenshot.
Outcome runExample(const QString& name, const QStringList& options, const QByteArray& input = {},
               const QString& folder = {}) {
    QTemporaryDir results;
    const QString dump = results.filePath(QStringLiteral("dump.txt"));
    const QString screenshot = results.filePath(QStringLiteral("screenshot.png"));
    QProcess process;
    process.setProgram(kMoxy);
    process.setArguments(QStringList{"--headless", "--dump", dump, "--screenshot", screenshot} + options +
                         QStringList{QDir(kExamples).filePath(name + QStringLiteral(".moxy"))});
    process.setWorkingDirectory(folder.isEmpty() ? kExamples : folder);
    QProcessEnvironment environment = QProcessEnvironment::systemEnvironment();
    environment.insert(QStringLiteral("QT_QPA_PLATFORM"), QStringLiteral("offscreen"));
    // The examples read and write numbers with a decimal point.
    environment.insert(QStringLiteral("LC_ALL"), QStringLiteral("C.UTF-8"));
    process.setProcessEnvironment(environment);
    process.start();
    EXPECT_TRUE(process.waitForStarted(10000));
    process.write(input);
    process.closeWriteChannel();
    EXPECT_TRUE(process.waitForFinished(100000)) << "timed out: " << name.toStdString();
    Outcome run;
    run.exitCode = process.exitStatus() == QProcess::NormalExit ? process.exitCode() : -1;
    run.out = process.readAllStandardOutput().toStdString();
    run.err = process.readAllStandardError().toStdString();
    QFile file(dump);
    if (file.open(QIODevice::ReadOnly))
        run.dump = file.readAll().toStdString();
    run.screenshot.load(screenshot);
    return run;
}

std::string readFile(const QString& path) {
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly))
        return "<missing>";
    return file.readAll().toStdString();
}

std::string colourAt(const QImage& image, int x, int y) {
    if (!image.valid(x, y))
        return "<outside>";
    const QColor colour = image.pixelColor(x, y);
    return std::to_string(colour.red()) + "," + std::to_string(colour.green()) + "," + std::to_string(colour.blue());
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
    EXPECT_EQ(run.exitCode, 0) << run.err;
    EXPECT_THAT(run.dump, HasSubstr("cell 33150 Hello from Quillon\n"));
    EXPECT_THAT(run.dump, HasSubstr("cell 33153 Hello, world!\n"));
    EXPECT_THAT(run.dump, HasSubstr("end ok\n"));
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
        const char* rgb;
    } pixels[] = {
        {"col9 1 black", 17, 17, "0,0,0"},
        {"col9 2 red", 37, 17, "255,0,0"},
        {"col9 3 green", 57, 17, "0,255,0"},
        {"col9 4 blue", 77, 17, "0,0,255"},
        {"col9 5 yellow", 97, 17, "255,255,0"},
        {"col9 6 cyan", 117, 17, "0,255,255"},
        {"col9 7 magenta", 137, 17, "255,0,255"},
        {"col9 8 silver", 157, 24, "192,192,192"},
        {"square's right edge left out", 25, 17, "255,255,255"},
        {"ramp starts blue", 10, 45, "0,0,255"},
        {"ramp's middle", 74, 45, "128,0,127"},
        {"ramp ends red", 137, 54, "254,0,1"},
        {"ramp's line end left out", 137, 55, "255,255,255"},
        {"outer circle", 80, 110, "255,0,0"},
        {"middle circle", 70, 110, "0,255,0"},
        {"inner circle", 60, 110, "0,0,255"},
        {"circle's centre", 50, 110, "255,255,255"},
        {"box corner top left", 100, 80, "255,128,0"},
        {"box corner top right", 180, 80, "255,128,0"},
        {"box corner bottom right", 180, 140, "255,128,0"},
        {"box corner bottom left", 100, 140, "255,128,0"},
        {"cross", 140, 110, "255,128,0"},
        {"first point", 10, 159, "255,0,255"},
        {"lowest point", 158, 215, "255,0,255"},
        {"between points", 12, 159, "255,255,255"},
        {"picture at its size", 230, 105, "220,30,30"},
        {"picture's highlight", 220, 95, "255,255,255"},
        {"picture doubled", 290, 110, "220,30,30"},
        {"picture doubled, lower right", 300, 120, "220,30,30"},
        {"background", 5, 235, "255,255,255"},
    };
    for (const auto& pixel : pixels) {
        SCOPED_TRACE(pixel.what);
        EXPECT_EQ(colourAt(image, pixel.x, pixel.y), pixel.rgb) << "at " << pixel.x << "," << pixel.y;
    }
    // The captions are black.
    EXPECT_GT(countColour(image, 30, 148, 40, 14, qRgb(0, 0, 0)), 20);
}

TEST(Examples, DrawingFindsItsPictureInTheCurrentFolder) {
    const Outcome run = runExample(QStringLiteral("drawing"), {"--max-steps", "1000000"});
    EXPECT_EQ(run.exitCode, 0) << run.err;
    EXPECT_EQ(run.err, "");
    EXPECT_THAT(run.dump, HasSubstr("end ok\n"));
    expectDrawing(run.screenshot);
}

TEST(Examples, DrawingFindsItsPictureBesideTheRunnerFromAnyFolder) {
    QTemporaryDir elsewhere;
    const Outcome run = runExample(QStringLiteral("drawing"), {"--max-steps", "1000000"}, {}, elsewhere.path());
    EXPECT_EQ(run.exitCode, 0) << run.err;
    // The first try failed and the run started again: retry holds yes, the path is the runner's.
    EXPECT_THAT(run.dump, HasSubstr("cell 33150 yes\n"));
    EXPECT_THAT(run.dump, HasSubstr("/../examples/ball.png\n"));
    EXPECT_THAT(run.dump, HasSubstr("end ok\n"));
    expectDrawing(run.screenshot);
}

TEST(Examples, CalculatorAnswersInMessageBoxesUntilCancel) {
    const Outcome run = runExample(QStringLiteral("calculator"), {"--max-steps", "100000"},
                               "6\n*\n7\n10\n/\n4\n2.5\n-\n4\n1\n%\n2\n1\n/\n0\n100\n+\n23\n");
    EXPECT_EQ(run.exitCode, 0) << run.err;
    EXPECT_EQ(run.out,
              "6 * 7 = 42\n"
              "10 / 4 = 2.5\n"
              "2.5 - 4 = -1.5\n"
              "Sorry, I only know + - * and /.\n"
              "1 / 0 = Infinity\n"
              "100 + 23 = 123\n");
    // Three questions a round, and the first question once more before the end of the input.
    EXPECT_THAT(run.err, HasSubstr("Operation: + - * or /\nSecond number?\nFirst number? (Cancel to stop)\n"));
    EXPECT_THAT(run.dump, HasSubstr("end ended\n"));
}

TEST(Examples, NotebookAddsANumberedNoteEachRun) {
    QTemporaryDir folder;
    const QString notebook = folder.filePath(QStringLiteral("notebook.txt"));

    // The first run finds no notebook, fails once, starts again and writes the heading first.
    const Outcome first = runExample(QStringLiteral("notebook"), {"--max-steps", "1000000"}, "first note\n", folder.path());
    EXPECT_EQ(first.exitCode, 0) << first.err;
    EXPECT_EQ(first.out, "My notebook\r\nNote 1: first note\n");
    EXPECT_EQ(readFile(notebook), "My notebook\r\nNote 1: first note\r\n");

    const Outcome second = runExample(QStringLiteral("notebook"), {"--max-steps", "1000000"}, "second note\n", folder.path());
    EXPECT_EQ(second.exitCode, 0) << second.err;
    EXPECT_EQ(readFile(notebook), "My notebook\r\nNote 1: first note\r\nNote 2: second note\r\n");
    EXPECT_EQ(second.out, "My notebook\r\nNote 1: first note\r\nNote 2: second note\n");

    // Cancel only shows the notebook.
    const Outcome cancelled = runExample(QStringLiteral("notebook"), {"--max-steps", "1000000"}, {}, folder.path());
    EXPECT_EQ(cancelled.exitCode, 0) << cancelled.err;
    EXPECT_EQ(cancelled.out, "My notebook\r\nNote 1: first note\r\nNote 2: second note\r\n\n");
    EXPECT_EQ(readFile(notebook), "My notebook\r\nNote 1: first note\r\nNote 2: second note\r\n");
    EXPECT_THAT(cancelled.dump, HasSubstr("end ended\n"));
}

TEST(Examples, GamePlayedToItsEndByAKeyScript) {
    // Seed 1 drops the first balls at x = 50, 51 and 147. Left is held through yields 1 to 11
    // (the paddle moves 88 pixels to x = 53), Right through yields 84 to 90 (to x = 109): the
    // first three balls are caught, and with the paddle left there two of the next five.
    const Outcome run = runExample(QStringLiteral("game"),
                               {"--seed", "1", "--keys", "1:Left+ 12:Left- 84:Right+ 91:Right-", "--max-steps", "5000000"});
    EXPECT_EQ(run.exitCode, 0) << run.err;
    EXPECT_EQ(run.out, "Game over! Score: 5\n");
    EXPECT_THAT(run.dump, HasSubstr("cell 33150 5\n"));  // score
    EXPECT_THAT(run.dump, HasSubstr("cell 33151 3\n"));  // misses
    EXPECT_THAT(run.dump, HasSubstr("end ended\n"));
    // GAME OVER in red in the middle of the surface.
    EXPECT_GT(countColour(run.screenshot, 120, 105, 90, 20, qRgb(255, 0, 0)), 20);
}

TEST(Examples, GameEndsWhenQIsPressed) {
    const Outcome run = runExample(QStringLiteral("game"), {"--seed", "1", "--keys", "10:Q+", "--max-steps", "5000000"});
    EXPECT_EQ(run.exitCode, 0) << run.err;
    EXPECT_EQ(run.out, "Game over! Score: 0\n");
    EXPECT_THAT(run.dump, HasSubstr("cell 33150 0\n"));
    EXPECT_THAT(run.dump, HasSubstr("cell 33151 0\n"));
    EXPECT_THAT(run.dump, HasSubstr("end ended\n"));
}

TEST(Examples, CountdownWritesTenNumbersAndLiftoff) {
    const Outcome run = runExample(QStringLiteral("countdown"), {"--max-steps", "10000"});
    EXPECT_EQ(run.exitCode, 0) << run.err;
    EXPECT_THAT(run.dump, HasSubstr("cell 28050 0\n"));          // the counter, n n
    EXPECT_THAT(run.dump, HasSubstr("cell 29580 Liftoff!\n"));   // t t
    EXPECT_THAT(run.dump, HasSubstr("cell 30855 190\n"));        // y y: ten rows of 18 pixels
    EXPECT_THAT(run.dump, HasSubstr("end ok\n"));
    EXPECT_GT(countColour(run.screenshot, 20, 10, 20, 14, qRgb(0, 0, 255)), 10);   // "10" in blue
    EXPECT_GT(countColour(run.screenshot, 20, 190, 50, 14, qRgb(255, 0, 0)), 20);  // "Liftoff!" in red
}

TEST(Examples, TableWritesTheTimesTableOfTheAnswer) {
    const Outcome run = runExample(QStringLiteral("table"), {"--max-steps", "100000"}, "7\n");
    EXPECT_EQ(run.exitCode, 0) << run.err;
    EXPECT_EQ(run.err, "Which times table?\n");
    EXPECT_THAT(run.dump, HasSubstr("cell 255 7\n"));     // the answer, where the run started
    EXPECT_THAT(run.dump, HasSubstr("cell 26775 11\n"));  // i i, past the last row
    EXPECT_THAT(run.dump, HasSubstr("cell 27285 7\n"));   // k k
    EXPECT_THAT(run.dump, HasSubstr("cell 28560 70\n"));  // p p: 10 x 7
    EXPECT_THAT(run.dump, HasSubstr("end ok\n"));
    EXPECT_GT(countColour(run.screenshot, 20, 190, 120, 14, qRgb(0, 0, 0)), 20);  // the tenth row
}

}  // namespace
