#include "support/TestEnvironment.h"

#include "core/DebugLog.h"
#include "core/DebugLogFile.h"
#include "core/Log.h"
#include "core/Module1.h"
#include "core/ProgramExit.h"
#include "core/SettingsStore.h"
#include "pop3/MessageStore.h"
#include "ui/DebugA.h"
#include "ui/Email.h"
#include "ui/MainForm.h"
#include "ui/Options.h"
#include "ui/frmSendMail.h"
#include "ui/frmSplash.h"

#include <QDir>
#include <QFile>
#include <QStandardPaths>
#include <QTemporaryDir>

namespace TestEnvironment
{
namespace
{
int s_exits = 0;
}

void isolate()
{
    // Test programs run side by side: each gets a home of its own, so their
    // settings files and "Debug.txt" never meet.
    static QTemporaryDir home;
    qputenv("HOME", QFile::encodeName(home.path()));
    qputenv("XDG_CONFIG_HOME", QFile::encodeName(home.filePath("config")));
    qputenv("XDG_DATA_HOME", QFile::encodeName(home.filePath("data")));
    DebugLogFile::setExecutableFolderForTest(home.filePath("program"));
    QDir().mkpath(home.filePath("program"));
    QStandardPaths::setTestModeEnabled(true);
    QFile::remove(SettingsStore(QString()).fileName());
    resetExit();
}

int exitCount()
{
    return s_exits;
}

void resetExit()
{
    ProgramExit::resetForTest();
    s_exits = 0;
    ProgramExit::setTerminator([] { ++s_exits; });
}

void resetWindows()
{
    DefaultInstance<Email>::destroyForTest();
    DefaultInstance<frmSplash>::destroyForTest();
    DefaultInstance<frmSendMail>::destroyForTest();
    DefaultInstance<Options>::destroyForTest();
    DefaultInstance<DebugA>::destroyForTest();
    Module1::ProtocolLog().clear();
    Module1::ProtocolLog().setLimit(DebugLog::DefaultLimit);
    Module1::ResetState();
    Module1::ClearMessages();
    Module1::Viewer = nullptr;
}

void startAfresh()
{
    resetWindows();
    resetExit();
    QFile::remove(SettingsStore::forThisProgram().fileName());
}

} // namespace TestEnvironment
