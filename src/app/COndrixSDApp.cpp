#include "app/COndrixSDApp.h"

#include <QApplication>
#include <QGuiApplication>
#include <QScreen>
#include <QThread>

#include "app/InterfaceFonts.h"
#include "app/LanguageTable.h"
#include "app/Version.h"
#include "app/ViewerSettings.h"
#include "library/CardDiscovery.h"
#include "platform/PostMsg.h"
#include "platform/ProgramPath.h"
#include "platform/UserFolders.h"

namespace kx {
namespace {

int PrimaryScreenHeight() {
    const QScreen* screen = QGuiApplication::primaryScreen();
    if (!screen) return 0;
    return static_cast<int>(screen->size().height() * screen->devicePixelRatio());
}

}  // namespace

COndrixSDApp::COndrixSDApp() = default;
COndrixSDApp::~COndrixSDApp() = default;

bool COndrixSDApp::InitInstance() {
    // Another viewer of this user: it has been asked to come to the front; end quietly.
    singleInstance_ = std::make_unique<SingleInstance>();
    if (!singleInstance_->BecomePrimary()) return false;

    QCoreApplication::setOrganizationName(QStringLiteral("Korvane"));
    QCoreApplication::setApplicationName(QString::fromLatin1(kProfileKeyName));

    programPath_ = ViewerProgramPath(ExecutablePath());
    versionText_ = BuildVersionText();

    // The viewer start-up: display scale, settings files, language, trace header, then the
    // card search, which chooses the record folder.
    int scale = DisplayScaleForScreenHeight(PrimaryScreenHeight());
    Settings().Load({DocumentsFolder(), VideosFolder(), programPath_}, versionText_, scale,
                    StartUpCardSearch(ViewerCards()));
    ViewerFonts().Select(ViewerLanguage().name(), scale);

    mainFrame_ = std::make_unique<CMainFrame>();
    QObject::connect(
        singleInstance_.get(), &SingleInstance::activationRequested, mainFrame_.get(),
        [frame = mainFrame_.get()] { postMsg(frame, Msg::SysCommandBringToFront, 0, 0); });
    qApp->installEventFilter(&keyFilter_);

    // One pixel taller forces a complete layout pass of the frame's children.
    mainFrame_->resize(1280 * scale, 800 * scale);
    QRect frame = mainFrame_->geometry();
    mainFrame_->setGeometry(frame.x(), frame.y(), frame.width(), frame.height() + 1);
    mainFrame_->show();

    QThread::currentThread()->setPriority(QThread::HighestPriority);
    return true;
}

int COndrixSDApp::ExitInstance(int exitCode) {
    if (qApp) qApp->removeEventFilter(&keyFilter_);
    mainFrame_.reset();
    return exitCode;
}

}  // namespace kx
