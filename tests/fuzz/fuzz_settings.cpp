// The stored preferences record as LoadSettings reads it, and the stored
// password form as DecodePassword reads it: any text is accepted, and what
// the program writes always reads back as written.

#include "core/PasswordScrambler.h"
#include "core/PreferencesRecord.h"

#include <QString>

#include <cstdint>
#include <cstdlib>

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    const QString text = QString::fromUtf8(reinterpret_cast<const char*>(data), qsizetype(size));

    const QStringList fields = PreferencesRecord::split(text);
    if (fields.size() > 4)
        std::abort();
    if (fields.size() == 4 && PreferencesRecord::join(fields[0], fields[2], fields[3]) !=
                                  fields[0] + ',' + "110" + ',' + fields[2] + ',' + fields[3])
        std::abort();
    // Reading any stored form must not fail.
    (void)PasswordScrambler::decode(fields.value(3));

    // Whatever is typed as a password comes back exactly after a restart,
    // and nothing the server or user name boxes cannot hold reaches the record.
    const QString stored = PasswordScrambler::storedForm(text);
    const QString record =
        PreferencesRecord::join(QStringLiteral("pop"), QStringLiteral("ann"), stored);
    const QStringList back = PreferencesRecord::split(record);
    if (back.size() != 4 || back[0] != QLatin1String("pop") || back[2] != QLatin1String("ann"))
        std::abort();
    if (PasswordScrambler::decode(back[3]) != text)
        std::abort();
    return 0;
}
