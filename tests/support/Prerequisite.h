#pragma once
// A test that needs something this machine may lack (the mail host, a tool).
// A developer's quick run skips it, saying why; where QB_REQUIRE_PREREQUISITES
// is set (scripts/test, and so CI) it fails instead, so that a missing server
// or tool never counts as a pass.

#include <QString>
#include <QtTest>

namespace Prerequisite
{

bool required();
// Empty when the program is on the PATH, else why the test cannot run.
QString program(const QString& name, const QString& package);

} // namespace Prerequisite

// missingReason: a QString, empty when everything is there.
#define QB_REQUIRE_OR_SKIP(missingReason)                                                          \
    do {                                                                                           \
        const QString qbMissing = (missingReason);                                                 \
        if (!qbMissing.isEmpty()) {                                                                \
            if (Prerequisite::required())                                                          \
                QFAIL(qPrintable(QStringLiteral("missing prerequisite: ") + qbMissing));           \
            QSKIP(qPrintable(qbMissing));                                                          \
        }                                                                                          \
    } while (false)
