#pragma once
// Another seat's change, told: on a server, a connection of its own listens for the notices its
// rules send with every change of trades, contacts, parcels, payments and invoices. A file tells
// nothing (one seat only). A lost connection is tried again every few seconds.

#include <QObject>
#include <QString>
#include <QTimer>
#include <memory>

class QSocketNotifier;

namespace gd {

struct PgConnection;

class ChangeWatch final : public QObject {
    Q_OBJECT
public:
    explicit ChangeWatch(const QString& source, QObject* parent = nullptr);
    ~ChangeWatch() override;
    bool listening() const { return conn_ != nullptr; }

signals:
    // At most a few times a second, however many changes came.
    void changed();

private:
    void connectNow();
    void readNotices();

    QString source_;
    std::shared_ptr<PgConnection> conn_;
    QSocketNotifier* notifier_ = nullptr;
    QTimer retry_, settle_;
};

}  // namespace gd
