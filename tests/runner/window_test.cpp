// The runner window under the offscreen platform: geometry, painting, keys, dialogs, closing.
#include "support/program_builder.h"
#include "moxy/format.h"
#include "runner/canvas_image.h"
#include "runner/session.h"
#include "runner/window.h"

#include <QApplication>
#include <QInputDialog>
#include <QKeyEvent>
#include <QLabel>
#include <QTimer>

#include <gtest/gtest.h>

#include <deque>

using moxy::Op;
using moxy::SubCode;
using runner::RunnerWindow;
using testing_support::set;
using testing_support::slot;

namespace {

class ScriptedDialogs : public runner::RunnerDialogs {
public:
    std::deque<std::optional<QString>> answers;  // empty: cancel
    QStringList shown;                           // "ask PROMPT" and "tell TEXT", in order
    std::function<void()> whileOpen;

    std::optional<QString> askText(QWidget*, const QString& prompt) override {
        open("ask " + prompt);
        if (answers.empty())
            return std::nullopt;
        const std::optional<QString> answer = answers.front();
        answers.pop_front();
        return answer;
    }
    void tell(QWidget*, const QString& text) override { open("tell " + text); }

private:
    void open(const QString& dialog) {
        shown << dialog;
        if (whileOpen)
            whileOpen();
    }
};

// [program] in a shown window; with [qtDialogs] Qt's own dialogs, else scripted ones.
struct WindowRun {
    ScriptedDialogs* dialogs = nullptr;
    std::unique_ptr<RunnerWindow> window;
    std::unique_ptr<runner::Interpreter> interpreter;
    std::unique_ptr<runner::Session> session;

    explicit WindowRun(const std::string& program, bool qtDialogs = false) {
        auto scripted = std::make_unique<ScriptedDialogs>();
        dialogs = qtDialogs ? nullptr : scripted.get();
        window = qtDialogs ? std::make_unique<RunnerWindow>(runner::HostOptions{})
                           : std::make_unique<RunnerWindow>(runner::HostOptions{}, std::move(scripted));
        window->show();
        interpreter = std::make_unique<runner::Interpreter>(program, *window);
        session = std::make_unique<runner::Session>(*interpreter);
    }
    std::string go() { return runner::statusText(window->run(*session)); }
    const std::string& at(int k) const { return interpreter->cell(33150 + k); }
    void post(QEvent::Type type, int key, Qt::KeyboardModifiers modifiers = Qt::NoModifier, quint32 scanCode = 0) {
        QCoreApplication::postEvent(window.get(), new QKeyEvent(type, key, modifiers, scanCode, 0, 0));
    }
};

// Every visible dialog's labels, as (text, format); the dialogs are closed.
std::vector<std::pair<QString, Qt::TextFormat>> closeOpenDialogs() {
    std::vector<std::pair<QString, Qt::TextFormat>> labels;
    for (QWidget* widget : QApplication::topLevelWidgets())
        if (auto* dialog = qobject_cast<QDialog*>(widget); dialog && dialog->isVisible()) {
            for (QLabel* label : dialog->findChildren<QLabel*>())
                if (!label->text().isEmpty())
                    labels.emplace_back(label->text(), label->textFormat());
            dialog->reject();
        }
    return labels;
}

}  // namespace

TEST(RunnerWindow, StartsWithTheClientAreaProgramsResizeMoveAndTitleIt) {
    WindowRun empty("");
    EXPECT_EQ(empty.window->objectName(), "main1");
    EXPECT_EQ(empty.window->size(), QSize(323, 243));
    EXPECT_EQ(empty.window->windowTitle(), "");
    moxy::Writer writer;
    set(writer, 0, "400").system(SubCode::SetWindowWidth);
    set(writer, 0, "300").system(SubCode::SetWindowHeight);
    set(writer, 0, "40").system(SubCode::SetWindowTop);
    set(writer, 0, "60").system(SubCode::SetWindowLeft);
    set(writer, 0, "Snake").system(SubCode::Caption);
    slot(writer, 1).system(SubCode::ScreenWidth).op(Op::Yield);
    WindowRun run(writer.code());
    EXPECT_EQ(run.go(), "ok");
    EXPECT_EQ(run.window->frameGeometry(), QRect(60, 40, 400, 300));
    EXPECT_EQ(run.window->windowTitle(), "Snake");
    EXPECT_EQ(QSize(run.window->canvas().width(), run.window->canvas().height()), QSize(400, 300));
    EXPECT_EQ(run.at(1), std::to_string(run.window->screen()->size().width()));
    QTimer::singleShot(0, run.window.get(), [&] { run.window->close(); });
    run.window->waitUntilClosed();  // after the end the drawing stays until the window closes
    EXPECT_TRUE(run.window->isClosed());
}

TEST(RunnerWindow, ANeverYieldingProgramIsShownAsTheRasterAndClosable) {
    moxy::Writer w;
    set(w, 0, "2").op(Op::ColourByDigit);
    set(w, 1, "10").op(Op::SetPar1).op(Op::SetPar2);
    set(w, 2, "30").op(Op::SetRes);
    set(w, 3, "30").op(Op::FilledBox);
    set(w, 3, "15").op(Op::Circle);
    set(w, 4, "1");
    w.label(1).cell(130, 134).op(Op::Jump);  // for ever, without a yield
    WindowRun run(w.code());
    QImage shown;
    QTimer::singleShot(200, run.window.get(), [&] {
        shown = run.window->grab().toImage().convertToFormat(QImage::Format_RGB32);
        run.window->close();
    });
    EXPECT_EQ(run.go(), "ended");
    EXPECT_TRUE(run.window->isClosed());
    ASSERT_FALSE(shown.isNull());
    EXPECT_EQ(shown.pixelColor(20, 20), QColor(255, 0, 0)) << "the drawing so far is shown";
    EXPECT_EQ(shown, runner::imageOf(run.window->canvas()).copy(0, 0, shown.width(), shown.height()));
}

TEST(Dialogs, InputAndMessageBoxesGoThroughTheDialogsClosingEndsTheRun) {
    moxy::Writer writer;
    set(writer, 0, "Name?").op(Op::SetPar1);
    slot(writer, 1).op(Op::InputBox);
    slot(writer, 2).op(Op::InputBox);
    set(writer, 3, "Bye").system(SubCode::MessageBox);
    set(writer, 4, "after");
    WindowRun run(writer.code());
    run.dialogs->answers = {QString("Ada"), std::nullopt};
    EXPECT_EQ(run.go(), "ok");
    EXPECT_EQ(run.at(1) + "," + run.at(2), "Ada,");
    EXPECT_EQ(run.dialogs->shown, QStringList({"ask Name?", "ask Name?", "tell Bye"}));
    WindowRun closed(writer.code());
    closed.dialogs->whileOpen = [&] { closed.window->close(); };
    EXPECT_EQ(closed.go(), "ended");
    EXPECT_EQ(closed.at(4), "");
}

TEST(Dialogs, QtDialogsCarryTheCaptionAndShowTheProgramsTextAsPlainText) {
    const std::string markup = "<img src=/etc/x.png><a href=file:///etc/passwd>go</a>";
    moxy::Writer w;
    set(w, 0, markup).op(Op::SetPar1);
    slot(w, 1).op(Op::InputBox);
    slot(w, 0).system(SubCode::MessageBox);
    WindowRun run(w.code(), true);
    std::vector<std::pair<QString, Qt::TextFormat>> seen;
    QString caption;
    std::function<void()> look = [&] {
        for (QWidget* widget : QApplication::topLevelWidgets())
            if (auto* dialog = qobject_cast<QInputDialog*>(widget); dialog && dialog->isVisible()) {
                caption = dialog->windowTitle();
                dialog->setTextValue("ignored");  // rejected: the program gets nothing
            }
        const auto labels = closeOpenDialogs();
        seen.insert(seen.end(), labels.begin(), labels.end());
        if (seen.size() < 2)
            QTimer::singleShot(10, look);
    };
    QTimer::singleShot(0, look);
    EXPECT_EQ(run.go(), "ok");
    EXPECT_EQ(caption, "MOXY");
    EXPECT_EQ(run.at(1), "");
    ASSERT_EQ(seen.size(), 2u);
    for (const auto& [text, format] : seen) {
        EXPECT_EQ(text, QString::fromStdString(markup));
        EXPECT_EQ(format, Qt::PlainText);
    }
    std::vector<std::pair<QString, Qt::TextFormat>> report;
    QTimer::singleShot(0, [&] { report = closeOpenDialogs(); });
    run.window->showErrorReport(QString::fromStdString(markup));
    ASSERT_FALSE(report.empty());
    EXPECT_EQ(report.front().second, Qt::PlainText);
    run.window->close();
}

TEST(Keys, AReleaseGoesToTheKeyItsPressSet) {
    WindowRun run("");  // num lock comes on while the keypad's left arrow is held
    run.post(QEvent::KeyPress, Qt::Key_Left, Qt::KeypadModifier, 83);
    run.post(QEvent::KeyPress, Qt::Key_Escape);  // no key of the program's
    run.window->pumpEvents();
    EXPECT_TRUE(run.window->keyIsDown(moxy::Key::Left));
    run.post(QEvent::KeyRelease, Qt::Key_4, Qt::KeypadModifier, 83);
    run.window->pumpEvents();
    EXPECT_FALSE(run.window->keyIsDown(moxy::Key::Left));
}

TEST(Keys, ProgramsSeeKeysOnlyAtTheirYieldsAndNotWhileADialogIsOpen) {
    // A pressed while the program is busy reads "0" until its next yield; keys in a dialog are the dialog's.
    moxy::Writer w;
    slot(w, 0).key(moxy::Key::A);
    set(w, 10, "0");
    set(w, 11, "300000");
    set(w, 12, "1");
    w.label(1);
    slot(w, 10).op(Op::Increment).op(Op::SetPar1);
    slot(w, 11).op(Op::SetPar2).op(Op::IfLess);
    slot(w, 12).op(Op::Jump).op(Op::EndIf);
    slot(w, 1).key(moxy::Key::A).op(Op::Yield);
    slot(w, 2).key(moxy::Key::A);
    set(w, 3, "Press").system(SubCode::MessageBox).op(Op::Yield);
    slot(w, 4).key(moxy::Key::A);
    slot(w, 5).key(moxy::Key::C);
    WindowRun run(w.code());
    run.post(QEvent::KeyPress, Qt::Key_A);
    run.dialogs->whileOpen = [&] {
        run.post(QEvent::KeyRelease, Qt::Key_A);
        run.post(QEvent::KeyPress, Qt::Key_C);
        QCoreApplication::processEvents();
    };
    EXPECT_EQ(run.go(), "ok");
    EXPECT_EQ(run.at(0) + run.at(1) + run.at(2), "001");
    EXPECT_EQ(run.at(4) + run.at(5), "10") << "A released and C pressed while the dialog had the keys";
}
