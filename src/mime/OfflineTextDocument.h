#pragma once
// A text document that never fetches what HTML refers to: images, style
// sheets and any other resource come back empty, whether the address is on
// the network or on this machine. Mail is untrusted; reading it must not
// tell its sender that it was read, nor pull local files into it.

#include <QTextDocument>

class OfflineTextDocument : public QTextDocument
{
    Q_OBJECT
public:
    explicit OfflineTextDocument(QObject* parent = nullptr) : QTextDocument(parent) {}

    // How many resources the document asked for (and did not get).
    int refusedRequests() const { return m_refused; }

protected:
    QVariant loadResource(int type, const QUrl& name) override;

private:
    int m_refused = 0;
};
