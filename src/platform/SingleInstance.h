#pragma once
// One viewer per user: the first start listens on a local socket named after the application
// id and the user; a later start connects, asks the first to come to the front and ends.
#include <QLocalServer>
#include <QObject>
#include <QString>

namespace kx {

inline constexpr const char* kApplicationId = "OndrixSD.AppID.NoVersion";

class SingleInstance : public QObject {
    Q_OBJECT
  public:
    explicit SingleInstance(QString serverName = DefaultServerName(), QObject* parent = nullptr);

    static QString DefaultServerName();

    // True when no other viewer answers and this process now owns the name. False when another
    // viewer was found; it has then been asked to come to the front.
    bool BecomePrimary();

  signals:
    // A later start asked this viewer to come to the front.
    void activationRequested();

  private:
    bool AskRunningViewerToActivate();
    void OnNewConnection();

    QString serverName_;
    QLocalServer server_;
};

}  // namespace kx
