// What `quillon --compile` and `vorna --compile` refuse to destroy and how much they say:
// the source is never written over, a .map file is deleted only when it is one of ours,
// and a compile full of mistakes shows its first messages and a count of the rest.
#include "cli_support.h"

#include <gmock/gmock.h>

#include <QFile>

#include <string>

using testing::HasSubstr;

namespace {

const QString kQuillon = QStringLiteral(QUILLON_EXE);
const QString kVorna = QStringLiteral(VORNA_EXE);
const QString kMoxy = QStringLiteral(MOXY_EXE);

struct Compiler {
    const char* name;
    QString executable;
    std::string source;  // a small program that compiles to something
};

const Compiler kCompilers[] = {
    {"quillon", kQuillon, "dim[x]\r\nset[x]{5}\r\nexit\r\n"},
    {"vorna", kVorna, "SETPAR1 PRINT EXIT"},
};

class CompileFaults : public testing::Test {
protected:
    QTemporaryDir folder;
    QString path(const QString& name) const { return folder.filePath(name); }
    QString write(const QString& name, const std::string& bytes) { return cli::writeFile(folder, name, bytes); }
};

TEST_F(CompileFaults, TheSourceIsNeverWrittenOver) {
    struct Case {
        const char* what;
        QString source;
        QStringList options;
        const char* message;
    };
    for (const Compiler& compiler : kCompilers) {
        SCOPED_TRACE(compiler.name);
        const QString moxyName = write(QStringLiteral("prog.moxy"), compiler.source);
        const QString plain = write(QStringLiteral("prog.src"), compiler.source);
        const QString mapName = write(QStringLiteral("other.moxy.map"), compiler.source);
        QFile::remove(path(QStringLiteral("link.moxy")));
        ASSERT_TRUE(QFile::link(plain, path(QStringLiteral("link.moxy"))));
        const Case cases[] = {
            {"default OUT is SRC", moxyName, {}, "would be written over itself: name the MOXY file with -o OUT"},
            {"-o names SRC", plain, {"-o", plain}, "is the source itself"},
            {"-o spells SRC another way", plain, {"-o", folder.path() + "/./prog.src"}, "is the source itself"},
            {"-o is a link to SRC", plain, {"-o", path(QStringLiteral("link.moxy"))}, "is the source itself"},
            {"OUT.map is SRC", mapName, {"-o", path(QStringLiteral("other.moxy")), "--map"}, ".map is the source itself"},
        };
        for (const Case& c : cases) {
            SCOPED_TRACE(c.what);
            const cli::Outcome outcome =
                cli::run(compiler.executable, QStringList{"--compile", c.source} + c.options);
            EXPECT_EQ(outcome.exitCode, 2);
            EXPECT_THAT(outcome.err, HasSubstr(c.message));
            EXPECT_EQ(cli::readFile(c.source), compiler.source);
        }
        EXPECT_EQ(cli::readFile(path(QStringLiteral("other.moxy"))), "<missing>");
    }
}

TEST_F(CompileFaults, OnlyMapsThatStartWithTheHeaderAreDeletedAsStale) {
    struct Case {
        const char* what;
        std::string map;
        bool deleted;
    };
    const Case cases[] = {
        {"our map", "# moxy source map\n1 1 1\n", true},
        {"our map with CR LF", "# moxy source map\r\n1 1 1\r\n", true},
        {"only the header", "# moxy source map", true},
        {"the user's notes", "notes: call Anna\n", false},
        {"a map without the header", "1 1 1\n", false},
        {"the header not on its own line", "# moxy source maps of last week\n", false},
        {"empty", "", false},
    };
    for (const Compiler& compiler : kCompilers) {
        SCOPED_TRACE(compiler.name);
        const QString src = write(QStringLiteral("prog.txt"), compiler.source);
        for (const Case& c : cases) {
            SCOPED_TRACE(c.what);
            const QString map = write(QStringLiteral("notes.map"), c.map);
            const cli::Outcome outcome = cli::run(compiler.executable, {"--compile", src, "-o", path("notes")});
            EXPECT_EQ(outcome.exitCode, 0) << outcome.err;
            EXPECT_EQ(cli::readFile(map), c.deleted ? "<missing>" : c.map);
        }
        // A map this compiler wrote is deleted by the next compile without --map.
        ASSERT_EQ(cli::run(compiler.executable, {"--compile", src, "-o", path("notes"), "--map"}).exitCode, 0);
        EXPECT_THAT(cli::readFile(path("notes.map")), testing::StartsWith("# moxy source map\n"));
        ASSERT_EQ(cli::run(compiler.executable, {"--compile", src, "-o", path("notes")}).exitCode, 0);
        EXPECT_EQ(cli::readFile(path("notes.map")), "<missing>");
    }
}

TEST_F(CompileFaults, TheRunnerReadsMapsWithAndWithoutTheHeader) {
    // x holds no number, so inc fails at run time in the code of line 3.
    const QString src = write(QStringLiteral("prog.qlnp"), "dim[x]\r\nset[x]{x}\r\ninc[x]\r\n");
    ASSERT_EQ(cli::run(kQuillon, {"--compile", src}).exitCode, 0);
    const std::pair<const char*, std::string> maps[] = {
        {"with the header and a note", "# moxy source map\n# written by hand\n1 7 2\n"},
        {"without the header", "1 7 2\n"},
    };
    for (const auto& [what, map] : maps) {
        SCOPED_TRACE(what);
        write(QStringLiteral("prog.moxy.map"), map);
        const cli::Outcome run = cli::run(kMoxy, {"--headless", path("prog.moxy")});
        EXPECT_EQ(run.exitCode, 2);
        EXPECT_THAT(run.err, HasSubstr("(line 7, column 2)"));
    }
}

TEST_F(CompileFaults, AfterAThousandMessagesOneLineCountsTheRest) {
    const std::pair<int, std::string> cases[] = {
        {1000, ""},
        {1500, "prog.qlnp: 500 more messages not shown\n"},
    };
    for (const auto& [count, summary] : cases) {
        SCOPED_TRACE(count);
        std::string text;
        for (int i = 0; i < count; ++i)
            text += "inc[nobody" + std::to_string(i) + "]\n";
        write(QStringLiteral("prog.qlnp"), text);
        const cli::Outcome outcome = cli::run(kQuillon, {"--compile", "prog.qlnp"}, {}, folder.path());
        EXPECT_EQ(outcome.exitCode, 0);
        std::string expected;
        for (int i = 0; i < 1000; ++i)
            expected += "prog.qlnp:" + std::to_string(i + 1) + ":1: Error: Variable doesnt exist. nobody" +
                        std::to_string(i) + "\n";
        // Whatever the platform adds in front (a warning of its own) is no message.
        EXPECT_THAT(outcome.err, testing::EndsWith(expected + summary));
    }
}

TEST_F(CompileFaults, CodeLargerThanTheRunnerReadsIsNotWritten) {
    // Each label{999} is 11 characters of source and 999 of code: 100,000 of them pass
    // the 64 MiB that the runner reads.
    std::string text;
    text.reserve(100'000 * 11);
    for (int i = 0; i < 100'000; ++i)
        text += "label{999}\n";
    write(QStringLiteral("prog.qlnp"), text);
    write(QStringLiteral("prog.moxy"), "older");
    const cli::Outcome outcome = cli::run(kQuillon, {"--compile", path("prog.qlnp")});
    EXPECT_EQ(outcome.exitCode, 2);
    EXPECT_THAT(outcome.err, HasSubstr("the program would be larger than 64 MiB, more than the runner reads"));
    // Compared as a truth value: a failure must not print 64 MiB.
    EXPECT_TRUE(cli::readFile(path("prog.moxy")) == "older");
}

}  // namespace
