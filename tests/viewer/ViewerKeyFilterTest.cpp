#include "app/ViewerKeyFilter.h"

#include <gtest/gtest.h>

#include <QApplication>
#include <QKeyEvent>
#include <QLineEdit>
#include <QWindow>

namespace kx {
namespace {

class KeyCountingEdit : public QLineEdit {
  public:
    int presses = 0;

  protected:
    void keyPressEvent(QKeyEvent* event) override {
        ++presses;
        QLineEdit::keyPressEvent(event);
    }
};

TEST(ViewerKeyFilter, ActsOnceAndStillDeliversTheKey) {
    KeyCountingEdit edit;
    edit.show();
    edit.activateWindow();
    edit.setFocus();
    QApplication::processEvents();
    ASSERT_NE(edit.windowHandle(), nullptr);

    ViewerKeyFilter filter;
    int playPause = 0, back = 0, forward = 0, escape = 0;
    filter.SetHandler(KeyAction::PlayPause, [&] { ++playPause; });
    filter.SetHandler(KeyAction::StepBackward, [&] { ++back; });
    filter.SetHandler(KeyAction::StepForward, [&] { ++forward; });
    filter.SetHandler(KeyAction::Escape, [&] { ++escape; });
    qApp->installEventFilter(&filter);

    auto press = [&](int key, Qt::KeyboardModifiers modifiers = Qt::NoModifier) {
        QKeyEvent down(QEvent::KeyPress, key, modifiers);
        QKeyEvent up(QEvent::KeyRelease, key, modifiers);
        QCoreApplication::sendEvent(edit.windowHandle(), &down);
        QCoreApplication::sendEvent(edit.windowHandle(), &up);
    };
    press(Qt::Key_Space);
    press(Qt::Key_Left);
    press(Qt::Key_4, Qt::KeypadModifier);
    press(Qt::Key_Right);
    press(Qt::Key_Escape);
    press(Qt::Key_4);  // the top-row 4 is not a step
    qApp->removeEventFilter(&filter);

    EXPECT_EQ(playPause, 1);
    EXPECT_EQ(back, 2);
    EXPECT_EQ(forward, 1);
    EXPECT_EQ(escape, 1);
    EXPECT_EQ(edit.presses, 6) << "the filter must never swallow a key";
}

TEST(ViewerKeyFilter, QtKeyEventsMapToTheViewersKeyMessages) {
    QKeyEvent altDown(QEvent::KeyPress, Qt::Key_Alt, Qt::AltModifier);
    QKeyEvent altUp(QEvent::KeyRelease, Qt::Key_Alt, Qt::NoModifier);
    QKeyEvent altT(QEvent::KeyPress, Qt::Key_T, Qt::AltModifier);
    QKeyEvent space(QEvent::KeyPress, Qt::Key_Space, Qt::NoModifier);
    EXPECT_EQ(ViewerKeyFilter::MessageOf(altDown), KeyMessage::SysKeyDown);
    EXPECT_EQ(ViewerKeyFilter::MessageOf(altUp), KeyMessage::KeyUp);
    EXPECT_EQ(ViewerKeyFilter::MessageOf(altT), KeyMessage::SysKeyDown);
    EXPECT_EQ(ViewerKeyFilter::MessageOf(space), KeyMessage::KeyDown);
    EXPECT_EQ(ViewerKeyFilter::VirtualKeyOf(altDown), kVkMenu);
    EXPECT_EQ(ViewerKeyFilter::VirtualKeyOf(altT), kVkT);
}

}  // namespace
}  // namespace kx
