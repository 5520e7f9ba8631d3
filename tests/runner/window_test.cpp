// The runner window under Qt's offscreen platform: geometry, caption, painting, keys,
// dialogs through an injected interface, and closing.
#include "support/program_builder.h"
#include "moxy/format.h"
#include "runner/canvas_image.h"
#include "runner/session.h"
#include "runner/window.h"

#include <QApplication>
#include <QInputDialog>
#include <QKeyEvent>
#include <QTimer>

#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <deque>
#include <map>

using moxy::Op;
using testing_support::set;
using testing_support::slot;
using moxy::SubCode;
using runner::RunnerWindow;

namespace {

class ScriptedDialogs : public runner::RunnerDialogs {
public:
    std::deque<std::optional<QString>> answers;
    QStringList asked;
    QStringList told;
    std::function<void()> whileOpen;  // runs while a dialog is open

    std::optional<QString> askText(QWidget*, const QString& prompt) override {
        asked << prompt;
        if (whileOpen)
            whileOpen();
        if (answers.empty())
            return std::nullopt;
        auto answer = answers.front();
        answers.pop_front();
        return answer;
    }
    void tell(QWidget*, const QString& text) override {
        told << text;
        if (whileOpen)
            whileOpen();
    }
};


struct WindowRun {
    ScriptedDialogs* dialogs = nullptr;
    std::unique_ptr<RunnerWindow> window;
    std::unique_ptr<runner::Interpreter> interpreter;

    explicit WindowRun(const std::string& program) {
        auto scripted = std::make_unique<ScriptedDialogs>();
        dialogs = scripted.get();
        window = std::make_unique<RunnerWindow>(runner::HostOptions{}, std::move(scripted));
        window->show();
        interpreter = std::make_unique<runner::Interpreter>(program, *window);
    }
    std::string go() { return runner::statusText(runner::runWithRestart(*interpreter)); }
    const std::string& at(int k) const { return interpreter->cell(33150 + k); }
};

void postKey(QWidget* window, QEvent::Type type, int key, Qt::KeyboardModifiers modifiers = Qt::NoModifier) {
    QCoreApplication::postEvent(window, new QKeyEvent(type, key, modifiers));
}

// Letters, digits and space: Qt's code is the character's.
int qtKeyOf(const moxy::KeyInfo& info) {
    static const std::map<moxy::Key, int> special = {{moxy::Key::Up, Qt::Key_Up},     {moxy::Key::Down, Qt::Key_Down},
                                                     {moxy::Key::Left, Qt::Key_Left}, {moxy::Key::Right, Qt::Key_Right},
                                                     {moxy::Key::Enter, Qt::Key_Return}};
    const auto found = special.find(info.key);
    return found == special.end() ? info.keyCode : found->second;
}

}  // namespace

TEST(RunnerWindow, StartsWithTheClientAreaAndNoCaption) {
    WindowRun run("");
    EXPECT_EQ(run.window->objectName(), "main1");
    EXPECT_EQ(run.window->size(), QSize(323, 243));
    EXPECT_EQ(run.window->windowTitle(), "");
    EXPECT_EQ(run.go(), "ok");
}

TEST(RunnerWindow, ProgramsResizeMoveAndTitleTheWindow) {
    moxy::Writer writer;
    set(writer, 0, "400").system(SubCode::SetWindowWidth);
    set(writer, 0, "300").system(SubCode::SetWindowHeight);
    set(writer, 0, "40").system(SubCode::SetWindowTop);
    set(writer, 0, "60").system(SubCode::SetWindowLeft);
    set(writer, 0, "Snake").system(SubCode::Caption);
    slot(writer, 1).system(SubCode::ScreenWidth);
    writer.op(Op::Yield);
    WindowRun run(writer.code());
    EXPECT_EQ(run.go(), "ok");
    EXPECT_EQ(run.window->frameGeometry(), QRect(60, 40, 400, 300));
    EXPECT_EQ(run.window->windowTitle(), "Snake");
    EXPECT_EQ(QSize(run.window->canvas().width(), run.window->canvas().height()), QSize(400, 300));
    EXPECT_EQ(run.at(1), std::to_string(run.window->screen()->size().width()));
}

TEST(RunnerWindow, ScreenshotEqualsTheRaster) {
    moxy::Writer writer;
    set(writer, 0, "4").op(Op::ColourByDigit);
    set(writer, 1, "20").op(Op::SetPar1).op(Op::SetPar2);
    set(writer, 2, "15").op(Op::Circle).op(Op::Yield);
    WindowRun run(writer.code());
    // Close the window as soon as it has shown the final drawing.
    QTimer::singleShot(50, run.window.get(), [&] {
        const QImage shown = run.window->grab().toImage().convertToFormat(QImage::Format_RGB32);
        const QImage raster = runner::imageOf(run.window->canvas()).copy(0, 0, shown.width(), shown.height());
        EXPECT_EQ(shown, raster);
        run.window->close();
    });
    EXPECT_EQ(run.go(), "ok");
    run.window->waitUntilClosed();
    EXPECT_TRUE(run.window->isClosed());
}

TEST(RunnerWindow, ClosingDuringAYieldOrADialogEndsTheRun) {
    moxy::Writer writer;
    set(writer, 0, "1");
    writer.label(1).op(Op::Yield);
    slot(writer, 0).op(Op::Jump);
    WindowRun run(writer.code());
    QTimer::singleShot(0, run.window.get(), [&] { run.window->close(); });
    EXPECT_EQ(run.go(), "ended");

    moxy::Writer dialog;
    set(dialog, 0, "hello").system(SubCode::MessageBox);
    set(dialog, 1, "not reached");
    WindowRun closed(dialog.code());
    closed.dialogs->whileOpen = [&] { closed.window->close(); };
    EXPECT_EQ(closed.go(), "ended");
    EXPECT_EQ(closed.at(1), "");
}

TEST(Dialogs, InputAndMessageBoxesGoThroughTheDialogs) {
    moxy::Writer writer;
    set(writer, 0, "Name?").op(Op::SetPar1);
    slot(writer, 1).op(Op::InputBox);
    slot(writer, 2).op(Op::InputBox);
    set(writer, 3, "Bye").system(SubCode::MessageBox);
    WindowRun run(writer.code());
    run.dialogs->answers = {QString("Ada"), std::nullopt};
    EXPECT_EQ(run.go(), "ok");
    EXPECT_EQ(run.at(1) + "," + run.at(2), "Ada,");
    EXPECT_EQ(run.dialogs->asked, QStringList({"Name?", "Name?"}));
    EXPECT_EQ(run.dialogs->told, QStringList({"Bye"}));
}

TEST(Keys, EveryTrackedKeyMapsToItsSelector) {
    WindowRun run("");
    for (const moxy::KeyInfo& info : moxy::kKeyInfo) {
        SCOPED_TRACE(std::string(info.name));
        postKey(run.window.get(), QEvent::KeyPress, qtKeyOf(info));
        EXPECT_FALSE(run.window->keyIsDown(info.key)) << "changed before a yield";
        run.window->pumpEvents();
        EXPECT_TRUE(run.window->keyIsDown(info.key));
        postKey(run.window.get(), QEvent::KeyRelease, qtKeyOf(info));
        run.window->pumpEvents();
        EXPECT_FALSE(run.window->keyIsDown(info.key));
    }
}

TEST(Keys, ShiftPlaysNoPartAndOtherKeysChangeNothing) {
    WindowRun run("");
    postKey(run.window.get(), QEvent::KeyPress, Qt::Key_A, Qt::ShiftModifier);
    postKey(run.window.get(), QEvent::KeyPress, Qt::Key_F1);
    postKey(run.window.get(), QEvent::KeyPress, Qt::Key_5, Qt::KeypadModifier);
    postKey(run.window.get(), QEvent::KeyPress, Qt::Key_Escape);
    run.window->pumpEvents();
    for (const moxy::KeyInfo& info : moxy::kKeyInfo)
        EXPECT_EQ(run.window->keyIsDown(info.key), info.key == moxy::Key::A) << info.name;
}

TEST(Keys, ShiftedDigitsAreTrackedByTheirKey) {
    // On X11 shift+1 arrives as "!" with the 1 key's scan code (10); shift may be let go
    // before the key, which then comes back up as "1".
    WindowRun run("");
    auto post = [&](QEvent::Type type, int key, Qt::KeyboardModifiers modifiers, quint32 scanCode, const char* text) {
        QCoreApplication::postEvent(run.window.get(), new QKeyEvent(type, key, modifiers, scanCode, 0, 0, text));
    };
    post(QEvent::KeyPress, Qt::Key_Exclam, Qt::ShiftModifier, 10, "!");
    post(QEvent::KeyPress, Qt::Key_ParenRight, Qt::ShiftModifier, 19, ")");
    run.window->pumpEvents();
    EXPECT_TRUE(run.window->keyIsDown(moxy::Key::Digit1));
    EXPECT_TRUE(run.window->keyIsDown(moxy::Key::Digit0));
    post(QEvent::KeyRelease, Qt::Key_1, Qt::NoModifier, 10, "1");
    run.window->pumpEvents();
    EXPECT_FALSE(run.window->keyIsDown(moxy::Key::Digit1));
    EXPECT_TRUE(run.window->keyIsDown(moxy::Key::Digit0));
}

// A program reads keys at its yields: window_slices_test.cpp, and under X e2e/runner_window.sh.

TEST(Keys, KeysWhileADialogIsOpenBelongToTheDialog) {
    moxy::Writer writer;
    set(writer, 0, "Press").system(SubCode::MessageBox);
    WindowRun run(writer.code());
    postKey(run.window.get(), QEvent::KeyPress, Qt::Key_B);
    run.window->pumpEvents();
    run.dialogs->whileOpen = [&] {
        postKey(run.window.get(), QEvent::KeyRelease, Qt::Key_B);
        postKey(run.window.get(), QEvent::KeyPress, Qt::Key_C);
        QCoreApplication::processEvents();
    };
    EXPECT_EQ(run.go(), "ok");
    EXPECT_TRUE(run.window->keyIsDown(moxy::Key::B)) << "released while the dialog had the keys";
    EXPECT_FALSE(run.window->keyIsDown(moxy::Key::C));
}

TEST(Dialogs, QtInputBoxCarriesTheCaptionAndCancelGivesNothing) {
    // The real Qt dialog, answered by a timer instead of a person; a typed answer and the
    // message box under a window manager: e2e/window_manager.sh.
    RunnerWindow window(runner::HostOptions{});
    window.show();
    QTimer::singleShot(0, [] {
        for (QWidget* widget : QApplication::topLevelWidgets())
            if (auto* dialog = qobject_cast<QInputDialog*>(widget); dialog && dialog->isVisible()) {
                EXPECT_EQ(dialog->windowTitle(), "MOXY");
                EXPECT_EQ(dialog->labelText(), "Your name?");
                dialog->setTextValue("ignored");
                dialog->reject();
            }
    });
    EXPECT_EQ(window.inputBox("Your name?"), "");
    window.close();
}
