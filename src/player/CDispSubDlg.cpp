#include "player/CDispSubDlg.h"

namespace kx {

constexpr int kRefreshDelayMs = 3;

CDispSubDlg::CDispSubDlg(SampleIndex& rearIndex, QWidget* parent)
    : QWidget(parent), rear_(1, rearIndex, this) {
    refresh_.setSingleShot(true);
    refresh_.setInterval(kRefreshDelayMs);
    connect(&refresh_, &QTimer::timeout, this, [this] {
        VideoChannel& shown = rear_.shownChannel();
        std::lock_guard lock(shown.displayMutex());
        if (shown.display().draw) {
            shown.display().draw->Check();
            shown.display().draw->Show();
        }
    });
    hide();
}

void CDispSubDlg::ShowAndRefresh() {
    show();
    raise();
    refresh_.start();
}

void CDispSubDlg::resizeEvent(QResizeEvent*) {
    rear_.setGeometry(rect());
    refresh_.start();
}

}  // namespace kx
