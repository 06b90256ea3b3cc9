#include <QApplication>

#include "app/COndrixSDApp.h"

extern "C" {
#include <libavutil/log.h>
}

int main(int argc, char** argv) {
    // The display scale is the only scaling of the interface; Qt must not scale again.
    qputenv("QT_ENABLE_HIGHDPI_SCALING", "0");
    QCoreApplication::setAttribute(Qt::AA_ShareOpenGLContexts);
    // Decoder chatter is of no use to a driver; failures go to the trace log.
    av_log_set_level(AV_LOG_FATAL);
    QApplication application(argc, argv);

    kx::COndrixSDApp viewer;
    if (!viewer.InitInstance()) return 0;
    return viewer.ExitInstance(application.exec());
}
