#include "support/TestEnvironment.h"

#include "core/Module1.h"
#include "core/ProgramExit.h"
#include "core/SettingsStore.h"
#include "ui/DebugA.h"
#include "ui/Email.h"
#include "ui/Options.h"
#include "ui/frmSendMail.h"
#include "ui/frmSplash.h"

#include <QDir>
#include <QFile>
#include <QStandardPaths>

namespace TestEnvironment
{
namespace
{
int s_exits = 0;
}

void isolate()
{
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
    Module1::ResetState();
}

void startAfresh()
{
    resetWindows();
    resetExit();
    QFile::remove(SettingsStore::forThisProgram().fileName());
}

} // namespace TestEnvironment
