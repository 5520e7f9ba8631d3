// The runner window driving a program in slices from Qt's event loop (offscreen): a
// program that never yields is painted and can be closed, keys still reach it only at
// its yields; and every text a program shows in a dialog is plain text.
#include "support/program_builder.h"
#include "moxy/format.h"
#include "runner/session.h"
#include "runner/window.h"

#include <QApplication>
#include <QDialog>
#include <QKeyEvent>
#include <QLabel>
#include <QTimer>

#include <gtest/gtest.h>

using moxy::Op;
using moxy::SubCode;
using testing_support::set;
using testing_support::slot;

namespace {

struct SlicedWindowRun {
    runner::RunnerWindow window{runner::HostOptions{}};
    runner::Interpreter interpreter;
    runner::Session session{interpreter};
    explicit SlicedWindowRun(const std::string& program) : interpreter(program, window) { window.show(); }
    std::string go() { return runner::statusText(window.run(session)); }
    const std::string& at(int k) const { return interpreter.cell(33150 + k); }
};

// A loop of [times] passes without a yield, counting in slot [k].
void busyLoop(moxy::Writer& w, int k, const char* times, int label) {
    set(w, k, "0");
    set(w, k + 1, times);
    set(w, k + 2, std::to_string(label));
    w.label(label);
    slot(w, k).op(Op::Increment).op(Op::SetPar1);
    slot(w, k + 1).op(Op::SetPar2).op(Op::IfLess);
    slot(w, k + 2).op(Op::Jump).op(Op::EndIf);
}

// Every visible dialog's labels, as (text, format).
std::vector<std::pair<QString, Qt::TextFormat>> openDialogLabels() {
    std::vector<std::pair<QString, Qt::TextFormat>> labels;
    for (QWidget* widget : QApplication::topLevelWidgets())
        if (auto* dialog = qobject_cast<QDialog*>(widget); dialog && dialog->isVisible())
            for (QLabel* label : dialog->findChildren<QLabel*>())
                if (!label->text().isEmpty())
                    labels.emplace_back(label->text(), label->textFormat());
    return labels;
}

void closeOpenDialogs() {
    for (QWidget* widget : QApplication::topLevelWidgets())
        if (auto* dialog = qobject_cast<QDialog*>(widget); dialog && dialog->isVisible())
            dialog->reject();
}

}  // namespace

TEST(WindowSlices, ANeverYieldingProgramIsPaintedAndClosable) {
    moxy::Writer w;
    set(w, 0, "2").op(Op::ColourByDigit);
    set(w, 1, "10").op(Op::SetPar1).op(Op::SetPar2);
    set(w, 2, "30").op(Op::SetRes);
    set(w, 3, "30").op(Op::FilledBox);
    set(w, 4, "1");
    w.label(1).cell(130, 134).op(Op::Jump);  // for ever, without a yield
    SlicedWindowRun run(w.code());
    QImage shown;
    QTimer::singleShot(200, &run.window, [&] {
        shown = run.window.grab().toImage();
        run.window.close();
    });
    EXPECT_EQ(run.go(), "ended");
    ASSERT_FALSE(shown.isNull());
    EXPECT_EQ(shown.pixelColor(20, 20), QColor(255, 0, 0)) << "the drawing so far is shown";
    EXPECT_GT(run.interpreter.steps(), 0u);
}

TEST(WindowSlices, KeysReachTheProgramOnlyAtItsYields) {
    // The key goes down while the program is busy between slices; it reads "0" until its
    // next yield.
    moxy::Writer w;
    slot(w, 0).key(moxy::Key::A);
    busyLoop(w, 10, "300000", 1);
    slot(w, 1).key(moxy::Key::A).op(Op::Yield);
    slot(w, 2).key(moxy::Key::A);
    SlicedWindowRun run(w.code());
    QCoreApplication::postEvent(&run.window, new QKeyEvent(QEvent::KeyPress, Qt::Key_A, Qt::NoModifier));
    EXPECT_EQ(run.go(), "ok");
    EXPECT_EQ(run.at(0) + run.at(1) + run.at(2), "001");
}

TEST(WindowSlices, DialogsShowTheProgramsTextAsPlainText) {
    const std::string markup = "<img src=/etc/x.png><a href=file:///etc/passwd>go</a>";
    moxy::Writer w;
    set(w, 0, markup).op(Op::SetPar1);
    slot(w, 1).op(Op::InputBox);
    slot(w, 0).system(SubCode::MessageBox);
    SlicedWindowRun run(w.code());
    std::vector<std::pair<QString, Qt::TextFormat>> seen;
    std::function<void()> look = [&] {
        const auto labels = openDialogLabels();
        if (labels.empty()) {
            QTimer::singleShot(10, look);
            return;
        }
        seen.insert(seen.end(), labels.begin(), labels.end());
        closeOpenDialogs();
        if (seen.size() < 2)
            QTimer::singleShot(10, look);
    };
    QTimer::singleShot(0, look);
    EXPECT_EQ(run.go(), "ok");
    ASSERT_EQ(seen.size(), 2u);
    for (const auto& [text, format] : seen) {
        SCOPED_TRACE(text.toStdString());
        EXPECT_EQ(text, QString::fromStdString(markup));
        EXPECT_EQ(format, Qt::PlainText);
    }

    std::vector<std::pair<QString, Qt::TextFormat>> report;
    QTimer::singleShot(0, [&] {
        report = openDialogLabels();
        closeOpenDialogs();
    });
    run.window.showErrorReport(QString::fromStdString(markup));
    ASSERT_FALSE(report.empty());
    EXPECT_EQ(report.front().second, Qt::PlainText);
    run.window.close();
}
