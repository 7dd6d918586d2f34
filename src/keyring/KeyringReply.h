#pragma once
// How a request to the keyring ended, in a form the windows can show next to
// their check box ("No keyring answered") and the log can keep (the
// keyring's own words).

#include <QString>

struct KeyringReply {
    enum class Outcome {
        Done,      // stored, read or removed; a probe: a keyring answers
        NotFound,  // a read: the keyring holds no password under that key
        NoKeyring, // nothing answered: none installed, none running
        Locked,    // the keyring stays locked: its unlock was not given
        Refused,   // the keyring or the user said no
        Failed,    // anything else; `detail` says what
    };

    KeyringReply() = default;
    explicit KeyringReply(Outcome outcome) : outcome(outcome) {}

    Outcome outcome = Outcome::Failed;
    QString password; // what a read found
    QString detail;   // the keyring's own message, empty when it gave none

    bool ok() const { return outcome == Outcome::Done; }
    // Plain words for the user; empty when the request was done.
    QString reason() const;
};
