// Shared by the window tests: answering the message boxes a command shows,
// and waiting for what the event loop brings, never longer than needed.
#pragma once

#include <QApplication>
#include <QInputDialog>
#include <QLineEdit>
#include <QMessageBox>
#include <QPushButton>
#include <QTimer>
#include <QtTest>
#include <functional>
#include <memory>

namespace corvalin::test {

// Answers every message box that opens while it lives: records its text and
// presses `button`. Any other dialog is recorded by its title and cancelled.
class BoxAnswerer : public QObject {
  public:
    explicit BoxAnswerer(QMessageBox::StandardButton button = QMessageBox::Ok) : button_(button) {
        connect(&timer_, &QTimer::timeout, this, &BoxAnswerer::Look);
        timer_.start(10);
    }
    QStringList texts;

  private:
    void Look() {
        for (QWidget* widget : QApplication::topLevelWidgets()) {
            auto* dialog = qobject_cast<QDialog*>(widget);
            if (!dialog || !dialog->isVisible() || !dialog->isModal() ||
                answered_.contains(dialog)) {
                continue;
            }
            answered_.append(dialog);
            auto* box = qobject_cast<QMessageBox*>(dialog);
            if (!box) {
                QString seen = "dialog: " + dialog->windowTitle();
                if (auto* input = qobject_cast<QInputDialog*>(dialog))
                    seen += " " + input->textValue();
                // The URL wizard: the address it was opened with.
                if (auto* url = dialog->findChild<QLineEdit*>("Url")) seen += " " + url->text();
                texts.append(seen);
                dialog->reject();
                continue;
            }
            texts.append(box->text());
            QAbstractButton* press = box->button(button_);
            if (!press) press = box->buttons().isEmpty() ? nullptr : box->buttons().front();
            if (press) {
                press->click();
            } else {
                box->close();
            }
        }
    }

    QMessageBox::StandardButton button_;
    QTimer timer_;
    QList<QPointer<QDialog>> answered_;
};

// The offscreen platform says on every window that it cannot pass size hints
// on; that says nothing about the program. Call from initTestCase, after
// QtTest has installed its own handler, which gets every other message.
inline void QuietenOffscreenWarnings() {
    static QtMessageHandler next = nullptr;
    next = qInstallMessageHandler(
        [](QtMsgType type, const QMessageLogContext& context, const QString& message) {
            if (!message.contains("propagateSizeHints")) next(type, context, message);
        });
}

// Counts the times a widget was shown, however briefly: a state that comes
// and goes within one turn of the event loop is still seen.
class ShowCounter : public QObject {
  public:
    explicit ShowCounter(QWidget* widget) { widget->installEventFilter(this); }
    int shown = 0;

  protected:
    bool eventFilter(QObject*, QEvent* event) override {
        if (event->type() == QEvent::Show) ++shown;
        return false;
    }
};

// Runs the event loop until `done` holds; false after `timeout_ms`.
inline bool WaitFor(const std::function<bool()>& done, int timeout_ms = 60000) {
    QElapsedTimer clock;
    clock.start();
    while (!done()) {
        if (clock.elapsed() > timeout_ms) return false;
        QCoreApplication::processEvents(QEventLoop::AllEvents | QEventLoop::WaitForMoreEvents, 50);
    }
    return true;
}

}  // namespace corvalin::test
