#pragma once
// What the POP3 dialogue asks its owner to do, in order.

#include <QByteArray>
#include <QList>
#include <QString>

struct Pop3Action {
    enum class Kind {
        Send,  // write `bytes` to the socket
        Log,   // "log X" with X = `text`
        Store, // message `index` (0-based), the RETR reply in `bytes`: into the tables and the list
        SlideIn, // the last message is in: slide the mailbox window in
        Close,   // the session ended normally: close the socket
        Fail,    // error path: close, "Error Has Occured" box, log "POP3 Error: " + `bytes`;
                 // `text` says why in plain words, under the box's text
    };

    explicit Pop3Action(Kind k) : kind(k) {}

    Kind kind;
    QByteArray bytes;
    QString text;
    // Send: let pending events run before the next action (the DELE loop).
    bool yieldAfter = false;
    // Store:
    int index = -1;
    // Store: false when no line of the reply begins with "..", so that no
    // dot has to be undone when the message is read.
    bool doubledDots = true;
};

using Pop3Actions = QList<Pop3Action>;
