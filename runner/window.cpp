#include "runner/window.h"

#include "runner/keys.h"
#include "runner/canvas_image.h"
#include "runner/run_error.h"

#include <QAbstractNativeEventFilter>
#include <QApplication>
#include <QCloseEvent>
#include <QEventLoop>
#include <QFontMetrics>
#include <QGuiApplication>
#include <QInputDialog>
#include <QKeyEvent>
#include <QLabel>
#include <QLayout>
#include <QSpacerItem>
#include <QMessageBox>
#include <QPainter>
#include <QScreen>

#include <xcb/xcb.h>

#include <algorithm>
#include <cstdlib>
#include <cstring>

namespace runner {

namespace {

const QString kDialogCaption = QStringLiteral("MOXY");

QString fromProgram(std::string_view text) { return QString::fromLatin1(text.data(), static_cast<qsizetype>(text.size())); }

// The key flag of a Qt key event (see runner/keys.h).
std::optional<moxy::Key> trackedKey(const QKeyEvent& event) {
    return keyOfEvent(event.key(), event.modifiers().testFlag(Qt::KeypadModifier), event.nativeScanCode());
}

// Keeps a dialog centred on the runner window while it is open: when it is shown, when
// either window moves or changes size, and when the window manager reports the dialog's
// frame (until then its outer size is not known).
class Centring : public QObject {
public:
    Centring(QWidget& dialog, QWidget* window) : m_dialog(dialog), m_window(window) {
        dialog.installEventFilter(this);
        if (window)
            window->installEventFilter(this);
        m_poll.setInterval(50);
        connect(&m_poll, &QTimer::timeout, this, [this] {
            if (frameOf(m_dialog) != m_frame)
                centre();
            if (++m_polls > 40)
                m_poll.stop();
        });
        m_poll.start();
    }
    void centre() {
        m_frame = frameOf(m_dialog);
        const QRect outer = m_dialog.frameGeometry();
        const QScreen* screen = m_window ? m_window->screen() : m_dialog.screen();
        const QRect around = m_window && m_window->isVisible() ? m_window->frameGeometry()
                             : screen                           ? screen->availableGeometry()
                                                                : outer;
        QPoint at = around.center() - QPoint(outer.width() / 2, outer.height() / 2);
        if (screen) {
            // The caption stays reachable: never above or left of the screen.
            const QRect room = screen->availableGeometry();
            at.setX(std::max(room.left(), std::min(at.x(), room.right() - outer.width())));
            at.setY(std::max(room.top(), std::min(at.y(), room.bottom() - outer.height())));
        }
        if (at != outer.topLeft())
            m_dialog.move(at);
    }

protected:
    bool eventFilter(QObject* watched, QEvent* event) override {
        const QEvent::Type type = event->type();
        if (type == QEvent::Show || type == QEvent::Move || type == QEvent::Resize) {
            if (watched == m_window || type == QEvent::Show || frameOf(m_dialog) != m_frame)
                QTimer::singleShot(0, this, [this] { centre(); });
        }
        return false;
    }

private:
    static QMargins frameOf(const QWidget& widget) {
        const QRect outer = widget.frameGeometry();
        const QRect inner = widget.geometry();
        return {inner.left() - outer.left(), inner.top() - outer.top(), outer.right() - inner.right(),
                outer.bottom() - inner.bottom()};
    }

    QWidget& m_dialog;
    QPointer<QWidget> m_window;
    QMargins m_frame;
    QTimer m_poll;
    int m_polls = 0;
};

// While a dialog is modal to the runner window, Qt holds back the window's close
// requests; this watch passes the close button's request of the runner window on, so
// that closing the runner still ends it.
class CloseButtonWatch : public QAbstractNativeEventFilter {
public:
    explicit CloseButtonWatch(QWidget* window) : m_window(window) {
        auto* x11 = qGuiApp ? qGuiApp->nativeInterface<QNativeInterface::QX11Application>() : nullptr;
        if (!x11 || !window || !x11->connection())
            return;
        m_connection = x11->connection();
        m_protocols = atom("WM_PROTOCOLS");
        m_delete = atom("WM_DELETE_WINDOW");
        m_windowId = static_cast<xcb_window_t>(window->winId());
        QCoreApplication::instance()->installNativeEventFilter(this);
    }
    ~CloseButtonWatch() override {
        if (m_connection)
            QCoreApplication::instance()->removeNativeEventFilter(this);
    }
    CloseButtonWatch(const CloseButtonWatch&) = delete;
    CloseButtonWatch& operator=(const CloseButtonWatch&) = delete;

    bool nativeEventFilter(const QByteArray& type, void* message, qintptr*) override {
        if (type != "xcb_generic_event_t")
            return false;
        const auto* event = static_cast<const xcb_generic_event_t*>(message);
        if ((event->response_type & 0x7f) != XCB_CLIENT_MESSAGE)
            return false;
        const auto* client = static_cast<const xcb_client_message_event_t*>(message);
        if (client->format == 32 && client->window == m_windowId && client->type == m_protocols &&
            client->data.data32[0] == m_delete && m_window) {
            QPointer<QWidget> window = m_window;
            QMetaObject::invokeMethod(
                window, [window] { if (window) window->close(); }, Qt::QueuedConnection);
        }
        return false;
    }

private:
    xcb_atom_t atom(const char* name) {
        const xcb_intern_atom_cookie_t cookie =
            xcb_intern_atom(m_connection, 0, static_cast<std::uint16_t>(std::strlen(name)), name);
        xcb_intern_atom_reply_t* reply = xcb_intern_atom_reply(m_connection, cookie, nullptr);
        const xcb_atom_t result = reply ? reply->atom : xcb_atom_t{XCB_ATOM_NONE};
        std::free(reply);
        return result;
    }

    QPointer<QWidget> m_window;
    xcb_connection_t* m_connection = nullptr;
    xcb_window_t m_windowId = 0;
    xcb_atom_t m_protocols = XCB_ATOM_NONE;
    xcb_atom_t m_delete = XCB_ATOM_NONE;
};

// Room for the caption in a dialog's frame: the caption's text plus the frame's icon
// and buttons (generous: window managers draw captions in a bold, larger font).
int captionWidth(const QWidget& dialog) {
    QFont font = dialog.font();
    font.setBold(true);
    font.setPointSizeF(font.pointSizeF() * 1.25);
    return QFontMetrics(font).horizontalAdvance(dialog.windowTitle()) + 160;
}

// Shows [dialog] modal to [window] (the runner window, or none), centred on it, and
// waits until it is done or the runner window closes.
int runOverWindow(QDialog& dialog, QWidget* window) {
    QEventLoop loop;
    int result = QDialog::Rejected;
    QObject::connect(&dialog, &QDialog::finished, &loop, [&](int code) {
        result = code;
        loop.quit();
    });
    if (auto* runner = qobject_cast<RunnerWindow*>(window))
        QObject::connect(runner, &RunnerWindow::closed, &loop, &QEventLoop::quit);
    dialog.setWindowModality(window ? Qt::WindowModal : Qt::ApplicationModal);
    // A message box sizes itself to its layout when shown: an empty item as wide as the
    // caption needs keeps it wide enough.
    if (QLayout* layout = dialog.layout())
        layout->addItem(new QSpacerItem(captionWidth(dialog), 0, QSizePolicy::Minimum, QSizePolicy::Minimum));
    dialog.adjustSize();
    Centring centring(dialog, window);
    centring.centre();
    const CloseButtonWatch closeButton(window);
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
    // A program's text is shown as it is, never read as markup.
    for (QLabel* label : dialog.findChildren<QLabel*>())
        label->setTextFormat(Qt::PlainText);
    if (runOverWindow(dialog, window) != QDialog::Accepted)
        return std::nullopt;
    return dialog.textValue();
}

void QtRunnerDialogs::tell(QWidget* window, const QString& text) {
    QMessageBox box(QMessageBox::NoIcon, kDialogCaption, text, QMessageBox::Ok, window);
    box.setTextFormat(Qt::PlainText);
    runOverWindow(box, window);
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
    // Until the window manager has framed the window its frame counts as nothing; the
    // geometry a program wanted is applied again once the frame is known.
    m_frameWatch.setInterval(50);
    connect(&m_frameWatch, &QTimer::timeout, this, [this] {
        if (frame() != m_appliedFrame)
            applyWanted();
        else if (++m_frameWatchTicks > 60)
            m_frameWatch.stop();
    });
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
    // a second fast; the frame it skips is shown at a later yield or between slices.
    if (m_sinceFrame.nsecsElapsed() >= m_frameNanoseconds)
        showDrawing();
    QCoreApplication::processEvents(QEventLoop::AllEvents);
    // The program sees the keys as they are now, and no other change until its next yield.
    std::copy(std::begin(m_keysHeld), std::end(m_keysHeld), std::begin(m_keysDown));
    throwIfClosed();
}

void RunnerWindow::takeKeys() {
    if (m_sinceFrame.nsecsElapsed() >= m_frameNanoseconds)
        showDrawing();
    std::copy(std::begin(m_keysHeld), std::end(m_keysHeld), std::begin(m_keysDown));
}

namespace {
// The program's time between two visits of the event loop: short enough for the window
// to paint and close promptly, long enough to cost nothing measurable.
constexpr qint64 kSliceNanoseconds = 8'000'000;
}  // namespace

RunResult RunnerWindow::run(Session& session) {
    QEventLoop loop;
    m_session = &session;
    m_runLoop = &loop;
    QTimer::singleShot(0, this, &RunnerWindow::runSlice);
    loop.exec();
    m_session = nullptr;
    m_runLoop = nullptr;
    return session.result();
}

void RunnerWindow::runSlice() {
    QElapsedTimer clock;
    clock.start();
    try {
        while (!m_session->finished() && !m_closed && clock.nsecsElapsed() < kSliceNanoseconds) {
            switch (m_session->resumeFor(std::chrono::nanoseconds(kSliceNanoseconds - clock.nsecsElapsed()))) {
            case SliceEnd::Yielded:
                pumpEvents();
                break;
            case SliceEnd::InputBox:
                m_session->answer(inputBox(m_session->request()));
                break;
            case SliceEnd::MessageBox:
                messageBox(m_session->request());
                break;
            default:
                break;
            }
        }
    } catch (const WindowClosed&) {
    }
    if (m_closed)
        m_session->stop();  // between two opcodes, wherever the program is
    if (m_session->finished()) {
        m_runLoop->quit();
        return;
    }
    // Back to the event loop: the current drawing at the display's pace, the close
    // button; keys are noted and reach the program at its next yield.
    if (m_sinceFrame.nsecsElapsed() >= m_frameNanoseconds)
        showDrawing();
    QTimer::singleShot(0, this, &RunnerWindow::runSlice);
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
    box.setTextFormat(Qt::PlainText);
    runOverWindow(box, this);
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

QMargins RunnerWindow::frame() const {
    const QRect outer = frameGeometry();
    const QRect inner = geometry();
    return {inner.left() - outer.left(), inner.top() - outer.top(), outer.right() - inner.right(),
            outer.bottom() - inner.bottom()};
}

void RunnerWindow::applyWanted() {
    const QMargins margins = frame();
    m_appliedFrame = margins;
    QSize client = size();
    if (m_wanted.width)
        client.setWidth(std::max(*m_wanted.width - margins.left() - margins.right(), 1));
    if (m_wanted.height)
        client.setHeight(std::max(*m_wanted.height - margins.top() - margins.bottom(), 1));
    if (client != size())
        resize(client);
    if (m_wanted.left || m_wanted.top) {
        QPoint at = frameGeometry().topLeft();
        if (m_wanted.left)
            at.setX(*m_wanted.left);
        if (m_wanted.top)
            at.setY(*m_wanted.top);
        if (at != frameGeometry().topLeft())
            move(at);
    }
    update();
    watchFrame();
}

void RunnerWindow::watchFrame() {
    m_frameWatchTicks = 0;
    if (!m_frameWatch.isActive())
        m_frameWatch.start();
}

void RunnerWindow::moveEvent(QMoveEvent* event) {
    QWidget::moveEvent(event);
    if (m_wanted.any() && frame() != m_appliedFrame)
        applyWanted();
}

void RunnerWindow::resizeEvent(QResizeEvent* event) {
    QWidget::resizeEvent(event);
    if (m_wanted.any() && frame() != m_appliedFrame)
        applyWanted();
}

void RunnerWindow::setWindowWidth(double pixels) {
    // The whole window, frame included; the drawing surface takes the same size, so it
    // always covers the client area.
    m_wanted.width = windowPixels(pixels);
    canvas().resize(*m_wanted.width, canvas().height());
    applyWanted();
}

void RunnerWindow::setWindowHeight(double pixels) {
    m_wanted.height = windowPixels(pixels);
    canvas().resize(canvas().width(), *m_wanted.height);
    applyWanted();
}

void RunnerWindow::setWindowTop(double pixels) {
    m_wanted.top = screenPixels(pixels);
    applyWanted();
}

void RunnerWindow::setWindowLeft(double pixels) {
    m_wanted.left = screenPixels(pixels);
    applyWanted();
}

void RunnerWindow::setCaption(std::string_view caption) { setWindowTitle(fromProgram(caption)); }

void RunnerWindow::paintEvent(QPaintEvent*) {
    QPainter painter(this);
    painter.fillRect(rect(), palette().window());
    painter.drawImage(0, 0, imageOf(canvas()));
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
    m_keysHeld[static_cast<int>(*key)] = down;
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
