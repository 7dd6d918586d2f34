#pragma once
// The mailbox popup: a small borderless window that lists the subjects of the
// retrieved messages and slides up at the bottom right of the screen when a
// retrieve session has brought in its last message. It owns the POP3 client
// `pop3` and shows what it reports; closing it ends the program.

#include "core/DefaultInstance.h"
#include "pop3/Pop3Client.h"

#include <QWidget>

class PictureButton;
class QLabel;
class QListWidget;

class Email : public QWidget
{
    Q_OBJECT
public:
    static Email& instance() { return DefaultInstance<Email>::get(); }

    Email();

    QLabel* Label6 = nullptr;
    PictureButton* Exit = nullptr;
    QListWidget* lstMessages = nullptr;
    Pop3Client* pop3 = nullptr;

    // Closes any session still running and starts a new one.
    void StartSession(Pop3Session::Mode mode);

    void lstMessages_DblClick();
    void Exit_Click();

    // Position in twips.
    float Left() const { return m_left; }
    float Top() const { return m_top; }
    void setTop(float top);

    // The form-level state of the session.
    int MessageCount() const { return pop3->session().messageCount(); }
    int CurrentMessage() const { return pop3->session().currentMessage(); }
    const QByteArray& ReceiveBuffer() const { return pop3->session().receiveBuffer(); }
    bool sessionRunning() const { return pop3->session().running(); }

    // The list row of a subject: its first 1,000 characters, control
    // characters shown as replacement characters.
    static QString listRow(const QString& subject);
    // Appends the row of a subject, with the row as its tooltip.
    void addRow(const QString& subject);

protected:
    void closeEvent(QCloseEvent* event) override;
    void paintEvent(QPaintEvent* event) override;

private:
    void errorPath(const QByteArray& reason, const QString& plain);
    void refusal(const QString& text);

    float m_left = 0;
    float m_top = 0;
};

namespace Module1
{
// Shows the mailbox window and slides it up to its resting place; returns
// when it is there.
void SlideInMailbox();
} // namespace Module1
