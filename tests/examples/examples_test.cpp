// Runs every compiled example from examples/ headless in the real runner, to the end a user
// would reach: answers come through standard input, key presses through --keys (counted in
// yields, never in time), random numbers through --seed, results through --dump and
// --screenshot. --max-steps only guards against a program that would run forever.
#include "cli/cli_support.h"

#include <QFile>
#include <QImage>

#include <gmock/gmock.h>

#include <climits>

using testing::HasSubstr;

namespace {

const QString kExamples = QStringLiteral(EXAMPLES_DIR);

// A rectangle of the screenshot and how many of its pixels have the colour [rgb].
struct Region {
    int x, y, width, height;
    QRgb rgb;
    int atLeast, atMost = INT_MAX;
};

TEST(Examples, EachRunsToItsEnd) {
    // Away from its own folder drawing's first try fails and the run starts again, finding the
    // picture beside the runner; notebook's first run fails once and writes the heading first.
    QTemporaryDir elsewhere, notebook;
    QFile::remove(QDir(kExamples).filePath(QStringLiteral("notebook.txt")));  // left by a run by hand
    const std::string twoNotes = "My notebook\r\nNote 1: first note\r\nNote 2: second note\r\n";
    // Seed 1 drops the first balls at x = 50, 51 and 147; Left held through yields 1 to 11 and
    // Right through 84 to 90 catch the first three and two of the next five.
    const QStringList game = {"--seed", "1", "--max-steps", "5000000", "--keys"};
    const QRgb black = qRgb(0, 0, 0), red = qRgb(255, 0, 0);
    const struct {
        const char* name;
        QStringList options;
        QByteArray input;
        std::vector<std::string> dump;
        std::string out;
        const char* err;
        std::vector<Region> regions;
        QString folder = kExamples;
        std::string notebook = "<missing>";
    } runs[] = {
        {"hello", {"--max-steps", "10000"}, {}, {"cell 33150 Hello from Quillon", "cell 33153 Hello, world!", "end ok"},
         "", "", {{20, 20, 90, 14, black, 21}, {0, 60, 323, 183, black, 0, 0}}},
        {"calculator", {"--max-steps", "100000"}, "6\n*\n7\n10\n/\n4\n2.5\n-\n4\n1\n%\n2\n1\n/\n0\n100\n+\n23\n", {"end ended"},
         "6 * 7 = 42\n10 / 4 = 2.5\n2.5 - 4 = -1.5\nSorry, I only know + - * and /.\n1 / 0 = Infinity\n100 + 23 = 123\n",
         "Operation: + - * or /\nSecond number?\nFirst number? (Cancel to stop)\n", {}},
        {"game", game + QStringList{"1:Left+ 12:Left- 84:Right+ 91:Right-"}, {}, {"cell 33150 5", "cell 33151 3", "end ended"},
         "Game over! Score: 5\n", "", {{120, 105, 90, 20, red, 21}}},  // GAME OVER in red
        {"game", game + QStringList{"10:Q+"}, {}, {"cell 33150 0", "cell 33151 0", "end ended"}, "Game over! Score: 0\n", "", {}},
        // The counter n n, t t, and y y: ten rows of 18 pixels; "10" in blue, "Liftoff!" in red.
        {"countdown", {"--max-steps", "10000"}, {}, {"cell 28050 0", "cell 29580 Liftoff!", "cell 30855 190", "end ok"}, "", "",
         {{20, 10, 20, 14, qRgb(0, 0, 255), 11}, {20, 190, 50, 14, red, 21}}},
        // The answer where the run started, i i past the last row, k k, and p p: 10 x 7.
        {"table", {"--max-steps", "100000"}, "7\n", {"cell 255 7", "cell 26775 11", "cell 27285 7", "cell 28560 70", "end ok"},
         "", "Which times table?\n", {{20, 190, 120, 14, black, 21}}},
        // The drawing's parts: colours, ramp, circles, box, points, the picture doubled, black captions.
        {"drawing", {"--max-steps", "1000000"}, {}, {"cell 33150 yes", "/../examples/ball.png", "end ok"}, "", "",
         {{37, 17, 1, 1, 0xff0000, 1}, {74, 45, 1, 1, 0x80007f, 1}, {60, 110, 1, 1, 0x0000ff, 1}, {180, 140, 1, 1, 0xff8000, 1},
          {158, 215, 1, 1, 0xff00ff, 1}, {230, 105, 1, 1, 0xdc1e1e, 1}, {300, 120, 1, 1, 0xdc1e1e, 1}, {5, 235, 1, 1, 0xffffff, 1},
          {322, 242, 1, 1, 0xffffff, 1}, {30, 148, 40, 14, 0, 21}}, elsewhere.path()},
        {"notebook", {"--max-steps", "1000000"}, "first note\n", {"end ok"}, "My notebook\r\nNote 1: first note\n", "", {},
         notebook.path(), "My notebook\r\nNote 1: first note\r\n"},
        {"notebook", {"--max-steps", "1000000"}, "second note\n", {"end ok"}, twoNotes.substr(0, twoNotes.size() - 2) + "\n", "", {},
         notebook.path(), twoNotes},
        {"notebook", {"--max-steps", "1000000"}, {}, {"end ended"}, twoNotes + "\n", "", {}, notebook.path(), twoNotes},  // Cancel only shows it
    };
    qputenv("LC_ALL", "C.UTF-8");  // the examples read and write numbers with a decimal point
    for (const auto& r : runs) {
        SCOPED_TRACE(r.name);
        QTemporaryDir results;
        const cli::Outcome run = cli::run(QStringLiteral(MOXY_EXE), QStringList{"--headless", "--dump", results.filePath("dump"),
            "--screenshot", results.filePath("shot.png")} + r.options + QStringList{QDir(kExamples).filePath(r.name + QString(".moxy"))},
            r.input, r.folder);
        EXPECT_EQ(run.exitCode, 0) << run.err;
        for (const std::string& line : r.dump)
            EXPECT_THAT(cli::readFile(results.filePath("dump")), HasSubstr(line + "\n"));
        EXPECT_EQ(run.out, r.out);
        EXPECT_THAT(run.err, HasSubstr(r.err));
        const QImage shot(results.filePath("shot.png"));
        for (const Region& g : r.regions) {
            int count = 0;
            for (int row = g.y; row < g.y + g.height; ++row)
                for (int column = g.x; column < g.x + g.width; ++column)
                    count += shot.valid(column, row) && (shot.pixel(column, row) & 0xFFFFFF) == (g.rgb & 0xFFFFFF);
            EXPECT_TRUE(count >= g.atLeast && count <= g.atMost) << g.x << "," << g.y << ": " << count;
        }
        EXPECT_EQ(cli::readFile(QDir(r.folder).filePath("notebook.txt")), r.notebook);
    }
}

}  // namespace
