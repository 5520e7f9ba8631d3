// moxy links Qt Core only and loads its window, picture and sound library from
// ../lib/moxy/ beside its own folder when a run first needs it: runs that need none of it
// work without the library, the others end with a clear error. (The copies the end-to-end
// tests and the package make find the real library beside them.)
#include "cli_support.h"
#include "moxy/format.h"

#include <QFile>
#include <QLibraryInfo>

using moxy::Op;

TEST(GuiLibrary, MoxyNeedsNeitherQtGuiNorWidgetsNorAlsa) {
    const cli::Outcome needed = cli::run(QStringLiteral("readelf"), {QStringLiteral("-d"), QStringLiteral(MOXY_EXE)});
    ASSERT_EQ(needed.exitCode, 0) << needed.err;
    EXPECT_NE(needed.out.find("libQt6Core"), std::string::npos);
    for (const char* library : {"libQt6Gui", "libQt6Widgets", "libQt6DBus", "libasound"})
        EXPECT_EQ(needed.out.find(library), std::string::npos) << library;
}

TEST(GuiLibrary, ACopyWithoutItRunsWhatNeedsNoneAndRefusesTheRest) {
    QTemporaryDir folder;
    QDir(folder.path()).mkpath(QStringLiteral("bin"));
    QDir(folder.path()).mkpath(QStringLiteral("lib/moxy"));
    const QString copy = folder.filePath(QStringLiteral("bin/moxy")), placed = folder.filePath(QStringLiteral("lib/moxy/libmoxy_gui.so"));
    ASSERT_TRUE(QFile::copy(QStringLiteral(MOXY_EXE), copy));
    moxy::Writer picture, beep;
    picture.op(Op::NewPictureHolder).cell(130, 130).op(Op::Clear).text("none.png").op(Op::LoadPicture);
    beep.cell(130, 130).op(Op::Clear).text("440").op(Op::SetPar1).cell(130, 131).op(Op::Clear).text("1").op(Op::SetPar2);
    beep.system(moxy::SubCode::Beep);
    const QString empty = cli::writeFile(folder, QStringLiteral("empty.moxy"), "");
    const std::string refusal = "moxy: cannot load the window, picture and sound library " +
                                (QFileInfo(folder.path()).canonicalFilePath() + "/lib/moxy/libmoxy_gui.so").toStdString() + ": ";
    const std::pair<QStringList, bool> cases[] = {  // the arguments, whether the run needs the library
        {{"--headless", empty}, false},
        {{"--version"}, false},
        {{"--headless", cli::writeFile(folder, QStringLiteral("picture.moxy"), picture.take())}, true},
        {{"--headless", cli::writeFile(folder, QStringLiteral("beep.moxy"), beep.take())}, true},
        {{"--headless", "--screenshot", "shot.png", empty}, true},
        {{empty}, true},
    };
    for (const char* library : {"", "not a library", "another library"}) {
        if (*library == 'n') {
            cli::writeFile(folder, QStringLiteral("lib/moxy/libmoxy_gui.so"), library);
        } else if (*library == 'a') {
            QFile::remove(placed);
            ASSERT_TRUE(QFile::copy(QLibraryInfo::path(QLibraryInfo::LibrariesPath) + QStringLiteral("/libQt6Core.so.6"), placed));
        }
        for (const auto& [arguments, needsLibrary] : cases) {
            SCOPED_TRACE(library + (" " + arguments.join(' ')).toStdString());
            const cli::Outcome outcome = cli::run(copy, arguments, {}, folder.path());
            EXPECT_EQ(outcome.exitCode, needsLibrary ? 1 : 0) << outcome.err;
            EXPECT_EQ(outcome.err.rfind(refusal, 0), needsLibrary ? 0u : std::string::npos) << outcome.err;
        }
    }
}
