#include "runner/window.h"

#include "runner/keys.h"
#include "runner/run_error.h"

#include <QApplication>
#include <QCloseEvent>
#include <QEventLoop>
#include <QInputDialog>
#include <QKeyEvent>
#include <QMessageBox>
#include <QPainter>
#include <QScreen>

namespace runner {

namespace {

const QString kDialogCaption = QStringLiteral("MOXY");

QString fromProgram(std::string_view text) { return QString::fromLatin1(text.data(), static_cast<qsizetype>(text.size())); }

// The key flag of a Qt key event (see runner/keys.h).
std::optional<moxy::Key> trackedKey(const QKeyEvent& event) {
    return keyOfEvent(event.key(), event.modifiers().testFlag(Qt::KeypadModifier), event.nativeScanCode());
}

// Runs [dialog] without blocking the runner window's close button: a local loop that
// ends when the dialog is done or the window closes.
int runBesideWindow(QDialog& dialog, RunnerWindow* window) {
    QEventLoop loop;
    int result = QDialog::Rejected;
    QObject::connect(&dialog, &QDialog::finished, &loop, [&](int code) {
        result = code;
        loop.quit();
    });
    if (window)
        QObject::connect(window, &RunnerWindow::closed, &loop, &QEventLoop::quit);
    dialog.setWindowModality(Qt::NonModal);
    dialog.show();
    dialog.raise();
    dialog.activateWindow();
    loop.exec();
    return result;
}

}  // namespace

std::optional<QString> QtRunnerDialogs::askText(QWidget* window, const QString& prompt) {
    QInputDialog dialog(window);
    dialog.setWindowTitle(kDialogCaption);
    dialog.setLabelText(prompt);
    dialog.setInputMode(QInputDialog::TextInput);
    if (runBesideWindow(dialog, qobject_cast<RunnerWindow*>(window)) != QDialog::Accepted)
        return std::nullopt;
    return dialog.textValue();
}

void QtRunnerDialogs::tell(QWidget* window, const QString& text) {
    QMessageBox box(QMessageBox::NoIcon, kDialogCaption, text, QMessageBox::Ok, window);
    runBesideWindow(box, qobject_cast<RunnerWindow*>(window));
}

RunnerWindow::RunnerWindow(HostOptions options, std::unique_ptr<RunnerDialogs> dialogs)
    : BasicHost(std::move(options)), m_dialogs(dialogs ? std::move(dialogs) : std::make_unique<QtRunnerDialogs>()) {
    setObjectName(QStringLiteral("main1"));
    setWindowTitle(QString());
    setAttribute(Qt::WA_OpaquePaintEvent);
    setFocusPolicy(Qt::StrongFocus);
    resize(kClientWidth, kClientHeight);
    if (const QScreen* screen = QGuiApplication::primaryScreen(); screen && screen->refreshRate() > 1)
        m_frameNanoseconds = static_cast<qint64>(1e9 / screen->refreshRate());
    m_sinceFrame.start();
}

RunnerWindow::~RunnerWindow() = default;

void RunnerWindow::throwIfClosed() const {
    if (m_closed)
        throw WindowClosed{};
}

void RunnerWindow::showDrawing() {
    update();
    m_sinceFrame.restart();
}

void RunnerWindow::pumpEvents() {
    // Painting at most once per display frame keeps a program that yields a million times
    // a second fast; the frame it skips is shown at a later yield or when it stops.
    if (m_sinceFrame.nsecsElapsed() >= m_frameNanoseconds)
        showDrawing();
    QCoreApplication::processEvents(QEventLoop::AllEvents);
    throwIfClosed();
}

void RunnerWindow::waitUntilClosed() {
    showDrawing();
    if (m_closed)
        return;
    QEventLoop loop;
    connect(this, &RunnerWindow::closed, &loop, &QEventLoop::quit);
    loop.exec();
}

void RunnerWindow::showErrorReport(const QString& text) {
    if (m_closed)
        return;
    showDrawing();
    QMessageBox box(QMessageBox::Critical, kDialogCaption, text, QMessageBox::Ok, this);
    runBesideWindow(box, this);
}

std::string RunnerWindow::inputBox(std::string_view prompt) {
    showDrawing();
    m_inDialog = true;
    const std::optional<QString> answer = m_dialogs->askText(this, fromProgram(prompt));
    m_inDialog = false;
    throwIfClosed();
    if (!answer)
        return std::string();
    const QByteArray bytes = answer->toLatin1();
    return std::string(bytes.constData(), static_cast<std::size_t>(bytes.size()));
}

void RunnerWindow::messageBox(std::string_view text) {
    showDrawing();
    m_inDialog = true;
    m_dialogs->tell(this, fromProgram(text));
    m_inDialog = false;
    throwIfClosed();
}

ScreenSize RunnerWindow::screenSize() {
    const QScreen* screen = this->screen() ? this->screen() : QGuiApplication::primaryScreen();
    if (!screen)
        return {};
    return {screen->size().width(), screen->size().height()};
}

void RunnerWindow::setWindowWidth(double pixels) {
    // The whole window, frame included; the drawing surface takes the same size, so it
    // always covers the client area.
    const int outer = windowPixels(pixels);
    const int frame = frameGeometry().width() - width();
    resize(std::max(outer - frame, 1), height());
    canvas().resize(outer, canvas().height());
    update();
}

void RunnerWindow::setWindowHeight(double pixels) {
    const int outer = windowPixels(pixels);
    const int frame = frameGeometry().height() - height();
    resize(width(), std::max(outer - frame, 1));
    canvas().resize(canvas().width(), outer);
    update();
}

void RunnerWindow::setWindowTop(double pixels) { move(frameGeometry().x(), screenPixels(pixels)); }

void RunnerWindow::setWindowLeft(double pixels) { move(screenPixels(pixels), frameGeometry().y()); }

void RunnerWindow::setCaption(std::string_view caption) { setWindowTitle(fromProgram(caption)); }

void RunnerWindow::paintEvent(QPaintEvent*) {
    QPainter painter(this);
    painter.fillRect(rect(), palette().window());
    painter.drawImage(0, 0, canvas().image());
}

void RunnerWindow::setKey(QKeyEvent* event, bool down) {
    // Keys pressed while a dialog is open belong to the dialog; held keys repeat
    // nothing.
    if (m_inDialog || event->isAutoRepeat())
        return;
    // A release goes to the key its press set, even if shift changed in between.
    const quint32 scanCode = event->nativeScanCode();
    std::optional<moxy::Key> key = trackedKey(*event);
    if (!down && scanCode != 0) {
        if (const auto pressed = m_keyOfScanCode.find(scanCode); pressed != m_keyOfScanCode.end()) {
            key = pressed->second;
            m_keyOfScanCode.erase(pressed);
        }
    }
    if (!key)
        return;
    m_keysDown[static_cast<int>(*key)] = down;
    if (down && scanCode != 0)
        m_keyOfScanCode[scanCode] = *key;
}

void RunnerWindow::keyPressEvent(QKeyEvent* event) { setKey(event, true); }

void RunnerWindow::keyReleaseEvent(QKeyEvent* event) { setKey(event, false); }

void RunnerWindow::closeEvent(QCloseEvent* event) {
    // Closing the window ends the runner at once, wherever the program is.
    m_closed = true;
    event->accept();
    emit closed();
}

}  // namespace runner
