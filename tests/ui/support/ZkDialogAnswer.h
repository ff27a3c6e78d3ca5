#pragma once

#include <QString>
#include <functional>

class QWidget;

namespace zk::test {

// Answers the next modal dialog as a user would: once a modal window other
// than `except` is active, `answer` runs on it (it clicks, types, closes).
// Call it before the code that opens the dialog; the answer runs from the
// dialog's own event loop. Fails the test when no dialog came within the
// timeout.
void AnswerNextDialog(std::function<void(QWidget& dialog)> answer, int timeoutMs = 5000);

// The text of a message box (its main text), empty for another widget.
QString MessageBoxText(const QWidget& dialog);

// Clicks the dialog's button with this text, mnemonics ignored ("OK",
// "Yes", "Mégse"), or fails the test and closes the dialog.
void ClickButton(QWidget& dialog, const QString& text);

}  // namespace zk::test
