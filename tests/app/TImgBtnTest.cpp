// The title-bar button's picture states and click, driven by the events the window system sends.
#include <gtest/gtest.h>

#include <QCoreApplication>
#include <QEnterEvent>
#include <QMouseEvent>

#include "app/TImgBtn.h"

namespace vellumark::app {
namespace {

QPixmap Solid(QColor colour) {
    QPixmap pixmap(25, 20);
    pixmap.fill(colour);
    return pixmap;
}

class TImgBtnTest : public ::testing::Test {
protected:
    void SetUp() override {
        button.resize(25, 31);
        button.SetPicUp(up);
        button.SetPicDown(down);
        button.SetPicDisable(disabled);
        button.SetPic(normal);
        QObject::connect(&button, &TImgBtn::OnClick, [this] { ++clicks; });
    }

    QColor Shown() const { return button.Shown().toImage().pixelColor(0, 0); }

    void Enter() {
        QEnterEvent event(QPointF(5, 5), QPointF(5, 5), QPointF(5, 5));
        QCoreApplication::sendEvent(&button, &event);
    }
    void Leave() {
        QEvent event(QEvent::Leave);
        QCoreApplication::sendEvent(&button, &event);
    }
    void Mouse(QEvent::Type type, QPoint at, Qt::MouseButtons held) {
        QMouseEvent event(type, at, button.mapToGlobal(at), Qt::LeftButton, held, Qt::NoModifier);
        QCoreApplication::sendEvent(&button, &event);
    }
    void Press() { Mouse(QEvent::MouseButtonPress, QPoint(5, 5), Qt::LeftButton); }
    void ReleaseAt(QPoint at) { Mouse(QEvent::MouseButtonRelease, at, Qt::NoButton); }

    const QPixmap normal = Solid(Qt::blue);
    const QPixmap up = Solid(Qt::green);
    const QPixmap down = Solid(Qt::red);
    const QPixmap disabled = Solid(Qt::gray);
    TImgBtn button;
    int clicks = 0;
};

TEST_F(TImgBtnTest, PressMoveOffMoveBackAndReleaseClicksOnce) {
    EXPECT_EQ(Shown(), QColor(Qt::blue));
    Enter();
    EXPECT_EQ(Shown(), QColor(Qt::green));
    Press();
    EXPECT_EQ(Shown(), QColor(Qt::red));
    Leave();
    EXPECT_EQ(Shown(), QColor(Qt::blue));
    Enter();
    EXPECT_EQ(Shown(), QColor(Qt::red)) << "still held: the pressed picture comes back";
    ReleaseAt(QPoint(5, 5));
    EXPECT_EQ(Shown(), QColor(Qt::green));
    EXPECT_EQ(clicks, 1);
}

TEST_F(TImgBtnTest, DraggingOffWhileHeldShowsPicAndReleasingOutsideDoesNotClick) {
    Enter();
    Press();
    // Held, the mouse is grabbed: leaving comes as a move outside.
    Mouse(QEvent::MouseMove, QPoint(40, 5), Qt::LeftButton);
    EXPECT_EQ(Shown(), QColor(Qt::blue));
    Mouse(QEvent::MouseMove, QPoint(6, 6), Qt::LeftButton);
    EXPECT_EQ(Shown(), QColor(Qt::red));
    Mouse(QEvent::MouseMove, QPoint(40, 5), Qt::LeftButton);
    ReleaseAt(QPoint(40, 5));
    EXPECT_EQ(clicks, 0);
    EXPECT_EQ(Shown(), QColor(Qt::blue));
}

TEST_F(TImgBtnTest, UnsupportedNeverSwitchesPicturesButStillClicks) {
    button.SetSupported(false);
    int events = 0;
    QObject::connect(&button, &TImgBtn::OnMouseEnter, [&] { ++events; });
    QObject::connect(&button, &TImgBtn::OnMouseDown, [&] { ++events; });
    Enter();
    Press();
    Leave();
    Enter();
    ReleaseAt(QPoint(5, 5));
    EXPECT_EQ(Shown(), QColor(Qt::blue));
    EXPECT_EQ(clicks, 1);
    EXPECT_EQ(events, 0);
}

TEST_F(TImgBtnTest, EnabledShowsPicUpAndDisabledShowsPicDisable) {
    button.SetEnabled(false);
    EXPECT_FALSE(button.isEnabled());
    EXPECT_EQ(Shown(), QColor(Qt::gray));
    button.SetPicDisable(Solid(Qt::black));
    EXPECT_EQ(Shown(), QColor(Qt::black)) << "a new disabled picture shows at once";
    button.SetEnabled(true);
    EXPECT_EQ(Shown(), QColor(Qt::green)) << "PicUp even with the mouse elsewhere";
    Enter();
    Leave();
    EXPECT_EQ(Shown(), QColor(Qt::blue));
}

TEST_F(TImgBtnTest, SettersKeepTheirOwnCopiesAndOnlyPicShowsAtOnce) {
    QPixmap mine = Solid(Qt::yellow);
    button.SetPicUp(mine);
    EXPECT_EQ(Shown(), QColor(Qt::blue));
    mine.fill(Qt::cyan);
    EXPECT_EQ(button.PicUp().toImage().pixelColor(0, 0), QColor(Qt::yellow));
    button.SetPic(mine);
    EXPECT_EQ(Shown(), QColor(Qt::cyan));
}

TEST_F(TImgBtnTest, AClickHandlerThatReplacesPicturesIsFollowedByTheNewPicUp) {
    QObject::connect(&button, &TImgBtn::OnClick, [this] {
        button.SetPic(Solid(Qt::darkBlue));
        button.SetPicUp(Solid(Qt::darkGreen));
        button.SetPicDown(Solid(Qt::darkRed));
    });
    Enter();
    Press();
    ReleaseAt(QPoint(5, 5));
    EXPECT_EQ(Shown(), QColor(Qt::darkGreen));
}

}  // namespace
}  // namespace vellumark::app
