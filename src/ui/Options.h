#pragma once
// The settings window. It stays loaded for the whole run: it hosts the tray
// icon control and owns the "&File" menu that the tray icon pops up.

#include "core/DefaultInstance.h"

#include <QMainWindow>

class QCheckBox;
class QLabel;
class QLineEdit;
class QMenu;
class QPushButton;
class QFrame;
class QSpinBox;
class TrayIcon;

class Options : public QMainWindow
{
    Q_OBJECT
public:
    static Options& instance() { return DefaultInstance<Options>::get(); }

    Options();

    QLabel* Label1 = nullptr;
    QLineEdit* Server = nullptr;
    QLabel* Label5 = nullptr;
    QLabel* Label4 = nullptr;
    QLineEdit* Username = nullptr;
    QLabel* Label2 = nullptr;
    QLineEdit* Password = nullptr;
    QLabel* Label3 = nullptr;
    QLineEdit* ServerB = nullptr;
    QCheckBox* chkSplash = nullptr;
    QCheckBox* chkDebug = nullptr;
    TrayIcon* TrayIcon1 = nullptr;
    QPushButton* cmdOK = nullptr;
    // The automatic check's band, under the controls above.
    QFrame* lineCheck = nullptr;
    QCheckBox* chkAutoCheck = nullptr;
    QSpinBox* txtMinutes = nullptr;
    QLabel* lblMinutes = nullptr;
    QCheckBox* chkLogin = nullptr;

    QMenu* mnuFile = nullptr;
    QAction* mnuConnect = nullptr;
    QAction* mnusep2 = nullptr;
    QAction* mnuOptions = nullptr;
    QAction* mnuWrite = nullptr;
    QAction* mnuDel = nullptr;
    QAction* mnusepA = nullptr;
    QAction* mnuExit = nullptr;

    // Scrambles the text of the Password box in place.
    void Encrypt();

    void cmdOK_Click();
    void mnuConnect_Click();
    void mnuOptions_Click();
    void mnuWrite_Click();
    void mnuDel_Click();
    void mnuExit_Click();
    void TrayIcon1_Click(qint16 Button, qint16 Shift, float X, float Y);

    // Without a notification area, closing this window is the way out of the
    // program; with one, closing only hides it.
    void setCloseEndsProgram(bool ends) { m_closeEndsProgram = ends; }

protected:
    void closeEvent(QCloseEvent* event) override;

private:
    void buildControls(QWidget* client);
    void buildMenu();

    bool m_closeEndsProgram = false;
};
