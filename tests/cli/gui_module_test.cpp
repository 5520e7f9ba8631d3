// moxy links Qt Core only and loads its window, picture and sound library from
// ../lib/moxy/ beside its own folder when a run first needs it: runs that need none of it
// work without the library, the others end with a clear error, and a copy of moxy finds
// the library beside it.
#include "cli_support.h"
#include "moxy/format.h"

#include <QFile>
#include <QLibraryInfo>

#include <gtest/gtest.h>

using moxy::Op;

namespace {

const QString kMoxy = QStringLiteral(MOXY_EXE);
const QString kLibrary = QStringLiteral("/lib/moxy/libmoxy_gui.so");

std::string program(const std::function<void(moxy::Writer&)>& body) {
    moxy::Writer writer;
    body(writer);
    writer.op(Op::End);
    return writer.take();
}

}  // namespace

TEST(GuiLibrary, MoxyNeedsNeitherQtGuiNorWidgetsNorAlsa) {
    const cli::Outcome needed = cli::run(QStringLiteral("readelf"), {QStringLiteral("-d"), kMoxy});
    ASSERT_EQ(needed.exitCode, 0) << needed.err;
    EXPECT_NE(needed.out.find("libQt6Core"), std::string::npos);
    for (const char* library : {"libQt6Gui", "libQt6Widgets", "libQt6DBus", "libasound"})
        EXPECT_EQ(needed.out.find(library), std::string::npos) << library;
}

TEST(GuiLibrary, ACopyWithoutItRunsWhatNeedsNoneAndRefusesTheRest) {
    QTemporaryDir folder;
    QDir(folder.path()).mkpath(QStringLiteral("bin"));
    const QString copy = folder.filePath(QStringLiteral("bin/moxy"));
    ASSERT_TRUE(QFile::copy(kMoxy, copy));
    const QString empty = cli::writeFile(folder, QStringLiteral("empty.moxy"), "");
    const QString picture = cli::writeFile(folder, QStringLiteral("picture.moxy"), program([](moxy::Writer& writer) {
        writer.op(Op::NewPictureHolder).cell(130, 130).op(Op::Clear).text("none.png").op(Op::LoadPicture);
    }));
    const QString beep = cli::writeFile(folder, QStringLiteral("beep.moxy"), program([](moxy::Writer& writer) {
        writer.cell(130, 130).op(Op::Clear).text("440").op(Op::SetPar1);
        writer.cell(130, 131).op(Op::Clear).text("1").op(Op::SetPar2).system(moxy::SubCode::Beep);
    }));
    const QString shot = folder.filePath(QStringLiteral("shot.png"));
    const QString headless = QStringLiteral("--headless");
    const QString screenshot = QStringLiteral("--screenshot");
    const std::string refusal = "moxy: cannot load the window, picture and sound library " +
                                (QFileInfo(folder.path()).canonicalFilePath() + kLibrary).toStdString() + ": ";

    struct Case {
        const char* name;
        QStringList arguments;
        bool needsLibrary;
    };
    const Case cases[] = {
        {"an empty program", {headless, empty}, false},
        {"--version", {QStringLiteral("--version")}, false},
        {"a picture", {headless, picture}, true},
        {"a beep", {headless, beep}, true},
        {"a screenshot", {headless, screenshot, shot, empty}, true},
        {"the window", {empty}, true},
    };
    const auto walk = [&](const char* library) {
        for (const Case& c : cases) {
            SCOPED_TRACE(std::string(library) + ", " + c.name);
            const cli::Outcome outcome = cli::run(copy, c.arguments, {}, folder.path());
            if (c.needsLibrary) {
                EXPECT_EQ(outcome.exitCode, 1);
                EXPECT_EQ(outcome.err.rfind(refusal, 0), 0u) << outcome.err;
            } else {
                EXPECT_EQ(outcome.exitCode, 0) << outcome.err;
            }
        }
    };
    walk("no library");
    QDir(folder.path()).mkpath(QStringLiteral("lib/moxy"));
    const QString placed = folder.filePath(QStringLiteral("lib/moxy/libmoxy_gui.so"));
    cli::writeFile(folder, QStringLiteral("lib/moxy/libmoxy_gui.so"), "not a library");
    walk("a text file in its place");
    QFile::remove(placed);
    ASSERT_TRUE(QFile::copy(QLibraryInfo::path(QLibraryInfo::LibrariesPath) + QStringLiteral("/libQt6Core.so.6"), placed));
    walk("another library in its place");

    // The real library beside the copy: found from the copy's own folder.
    QFile::remove(placed);
    ASSERT_TRUE(QFile::copy(QFileInfo(kMoxy).path() + QStringLiteral("/..") + kLibrary, placed));
    const cli::Outcome found = cli::run(copy, {headless, screenshot, shot, empty}, {}, folder.path());
    EXPECT_EQ(found.exitCode, 0) << found.err;
    EXPECT_TRUE(QFile::exists(shot));
}
