#pragma once
// The mailbox popup: a small borderless window that lists the subjects of the
// retrieved messages and slides up at the bottom right of the screen when a
// retrieve session has brought in its last message. It owns the POP3 socket
// `pop3` and wires it to the POP3 dialogue; closing it ends the program.

#include "core/DefaultInstance.h"
#include "pop3/Pop3Session.h"

#include <QAbstractSocket>
#include <QTimer>
#include <QWidget>

class PictureButton;
class QLabel;
class QListWidget;
class QTcpSocket;

class Email : public QWidget
{
    Q_OBJECT
public:
    static Email& instance() { return DefaultInstance<Email>::get(); }

    // The POP3 port; the program has no setting for it.
    static constexpr quint16 Pop3Port = 110;
    // A running session that gets no complete reply or message for this long
    // fails.
    static constexpr int IdleTimeoutMs = 60000;

    Email();

    QLabel* Label6 = nullptr;
    PictureButton* Exit = nullptr;
    QListWidget* lstMessages = nullptr;
    QTcpSocket* pop3 = nullptr;

    // Closes any session still running and starts a new one.
    void StartSession(Pop3Session::Mode mode);

    void pop3_DataArrival();
    void lstMessages_DblClick();
    void Exit_Click();

    // Position in twips.
    float Left() const { return m_left; }
    float Top() const { return m_top; }
    void setTop(float top);

    // The form-level state of the session.
    qint16 MessageCount() const { return m_session.messageCount(); }
    qint16 CurrentMessage() const { return m_session.currentMessage(); }
    const QByteArray& ReceiveBuffer() const { return m_session.receiveBuffer(); }
    bool sessionRunning() const { return m_session.running(); }

    // Tests only: another port than 110 and a shorter idle time-out.
    static void setPortForTest(quint16 port);
    static void setIdleTimeoutForTest(int ms);

protected:
    void closeEvent(QCloseEvent* event) override;
    void paintEvent(QPaintEvent* event) override;

private:
    void runActions(const Pop3Actions& actions);
    void errorPath(const QByteArray& what);
    void pop3_Error(QAbstractSocket::SocketError error);
    void idleTimeout();
    void endSession();

    Pop3Session m_session;
    QTimer m_idle;
    int m_generation = 0; // changes whenever a session starts or ends
    float m_left = 0;
    float m_top = 0;
};

namespace Module1
{
// Shows the mailbox window and slides it up to its resting place; returns
// when it is there.
void SlideInMailbox();
} // namespace Module1
