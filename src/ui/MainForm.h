#pragma once
// The message viewer: a borderless popup that shows one retrieved message
// (address line, subject, body without its uuencoded attachment) level with
// the mailbox window and directly to its left. Each opening makes a new
// viewer; its "X" closes only that one.

#include "pop3/MessageStore.h"

#include <QWidget>

class PictureButton;
class QLabel;
class QLineEdit;
class QPlainTextEdit;
class QPushButton;

class MainForm : public QWidget
{
    Q_OBJECT
public:
    explicit MainForm(QWidget* parent = nullptr);

    QPushButton* Command1 = nullptr;
    PictureButton* Exit = nullptr;
    QLineEdit* txtSender = nullptr;
    QPlainTextEdit* txtMessage = nullptr;
    QLabel* Label7 = nullptr;
    QLabel* txtSubject = nullptr;
    QLabel* Label5 = nullptr;
    QLabel* Label1 = nullptr;
    // Under the body: the attached files by name and size, shown only when
    // the message has any (the body box is shorter then), and a button that
    // saves one (the line's context menu does the same).
    QLabel* lblAttachments = nullptr;
    QPushButton* cmdSave = nullptr;

    // Fills the viewer from the message at `index` (decoded for display
    // beside the message tables), cuts the body,
    // slides it (hidden) level with the mailbox window and shows it.
    void Form_Load(int index);

    void Command1_Click();
    void Exit_Click();
    // One file: saves it; several: a menu of them.
    void cmdSave_Click();
    void saveFile(qsizetype file);

    // The body as shown, with its own line ends (the box shows LF only).
    const QString& shownBody() const { return m_body; }

    // Position in twips.
    float Left() const { return m_left; }
    float Top() const { return m_top; }
    void setTop(float top);

    // The number of steps the last slide made.
    int slideSteps() const { return m_slideSteps; }

protected:
    void paintEvent(QPaintEvent* event) override;

private:
    friend void SlideInViewerSteps(MainForm& viewer);
    void showSubject(const QString& subject);
    void showAttachments(const QStringList& names);
    void showFilesMenu(const QPoint& at);
    QString m_body;
    Module1::HeldMessage m_message; // as it was when the viewer opened
    QList<Mime::Attachment> m_files;
    float m_left = 0;
    float m_top = 0;
    int m_slideSteps = 0;
};

namespace Module1
{
// Opens a new viewer on the row selected in Email's lstMessages. Nothing
// happens when no row is selected or the row is outside the tables.
void OpenViewer();
// Moves the (hidden) viewer up to Email's Top, then shows it.
void SlideInViewer(MainForm& viewer);
} // namespace Module1
