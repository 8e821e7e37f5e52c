#include "display/SurfaceQt.h"

#include "GuiApplication.h"
#include "support/TempDir.h"

#include <QApplication>
#include <QFile>
#include <QSignalSpy>
#include <QTest>

#include <gtest/gtest.h>

namespace trv {
namespace {

class SurfaceQtTest : public ::testing::Test {
  protected:
    void SetUp() override { test::ensureApplication(); }

    static QColor at(SurfaceQt& s, int px, int py) { return s.image().pixelColor(px, py); }
};

TEST_F(SurfaceQtTest, FilledBoxLandsWhereTheScaleSaysWithYUpOrDown) {
    SurfaceQt s(200, 100);
    // y upwards: bottom 0, top 100; x 0..200, a unit per pixel.
    s.setScale(0, 100, 200, 0);
    s.clear();
    s.filledBox(20, 10, 60, 40, colour::Red);
    EXPECT_EQ(at(s, 40, 75), QColor(255, 0, 0));     // user (40, 25)
    EXPECT_EQ(at(s, 40, 20), QColor(255, 255, 255)); // user (40, 80): above the box
    EXPECT_EQ(at(s, 20, 89), QColor(255, 0, 0));     // corners are part of the box
    EXPECT_EQ(at(s, 60, 60), QColor(255, 0, 0));
    EXPECT_EQ(at(s, 61, 75), QColor(255, 255, 255));

    // y downwards, and a scale that is not a unit per pixel.
    s.setScale(-30, -30, 300, 300); // 330 units over 200 x 100 pixels
    s.clear();
    s.filledBox(0, 0, 165, 165, rgb(0, 0, 255));
    QPointF inside = s.toPixel(100, 100);
    EXPECT_EQ(at(s, int(inside.x()), int(inside.y())), QColor(0, 0, 255));
    EXPECT_EQ(at(s, 5, 5), QColor(255, 255, 255)); // user (-21.75, -26.7)
    EXPECT_EQ(at(s, 199, 99), QColor(255, 255, 255));
    EXPECT_NEAR(s.userX(inside.x()), 100, 1e-9);
    EXPECT_NEAR(s.userY(inside.y()), 100, 1e-9);
}

TEST_F(SurfaceQtTest, DrawingPersistsUntilClearedAndAcrossAGrowingResize) {
    SurfaceQt s(100, 100);
    s.setScale(0, 0, 100, 100);
    s.filledBox(10, 10, 20, 20, colour::Green);
    s.line(0, 50, 99, 50, colour::Black);
    EXPECT_EQ(at(s, 15, 15), QColor(0, 255, 0));
    EXPECT_EQ(at(s, 70, 50), QColor(0, 0, 0));
    s.filledBox(30, 30, 40, 40, colour::Blue); // drawing after a look goes on
    EXPECT_EQ(at(s, 15, 15), QColor(0, 255, 0));
    EXPECT_EQ(at(s, 35, 35), QColor(0, 0, 255));

    s.resize(150, 120);
    EXPECT_EQ(s.pixelWidth(), 150);
    EXPECT_EQ(at(s, 15, 15), QColor(0, 255, 0));
    EXPECT_EQ(at(s, 140, 110), QColor(255, 255, 255));

    s.clear();
    EXPECT_EQ(at(s, 15, 15), QColor(255, 255, 255));
}

TEST_F(SurfaceQtTest, TextHangsBelowAndRightOfItsPoint) {
    SurfaceQt s(300, 100);
    s.setScale(0, 100, 300, 0); // y up
    s.clear();
    s.setForeColor(colour::Black);
    s.text(100, 60, "W888");
    double w = s.textWidth("W888");
    EXPECT_GT(w, 10);
    EXPECT_NEAR(s.currentX(), 100 + w, 1e-9);
    int dark = 0, elsewhere = 0;
    for (int y = 0; y < 100; ++y)
        for (int x = 0; x < 300; ++x) {
            if (at(s, x, y).lightness() > 128) continue;
            bool inBox = x >= 100 && x <= 100 + w + 1 && y >= 40 && y <= 40 + 16;
            (inBox ? dark : elsewhere) += 1;
        }
    EXPECT_GT(dark, 10);
    EXPECT_EQ(elsewhere, 0);
}

TEST_F(SurfaceQtTest, LongTraceDrawsTheSamePixelsAsItsLines) {
    // Noisy samples, some columns holding dozens of them, some a single one.
    for (int samples : {20000, 300}) {
        std::vector<double> y;
        unsigned v = 12345;
        for (int i = 0; i < samples; ++i) {
            v = v * 1103515245u + 12345u;
            y.push_back(1000 + (v >> 16) % 900 - (i % 5000 == 0 ? 800 : 0));
        }
        SurfaceQt fast(640, 300), slow(640, 300);
        for (SurfaceQt* s : {&fast, &slow}) {
            s->setScale(-50, 2150, samples, -150);
            s->clear();
        }
        fast.trace(0, 1, y, colour::Red);
        slow.Surface::trace(0, 1, y, colour::Red); // the lines one by one
        int differ = 0;
        for (int py = 0; py < 300; ++py)
            for (int px = 0; px < 640; ++px) differ += fast.image().pixel(px, py) != slow.image().pixel(px, py);
        EXPECT_EQ(differ, 0) << samples << " samples";
        EXPECT_EQ(fast.currentX(), samples - 1);
    }
}

TEST_F(SurfaceQtTest, SavesABitmapThatReadsBack) {
    test::TempDir dir;
    SurfaceQt s(64, 48);
    s.setScale(0, 48, 64, 0);
    s.clear();
    s.filledBox(0, 0, 31, 47, rgb(200, 200, 200));
    std::string path = dir.path() + "/plot.bmp";
    ASSERT_TRUE(s.saveBmp(path));
    QFile f(QString::fromStdString(path));
    ASSERT_TRUE(f.open(QIODevice::ReadOnly));
    EXPECT_EQ(f.read(2), QByteArray("BM"));
    f.close();
    QImage back(QString::fromStdString(path), "BMP");
    ASSERT_FALSE(back.isNull());
    EXPECT_EQ(back.size(), QSize(64, 48));
    EXPECT_EQ(back.pixelColor(10, 10), QColor(200, 200, 200));
    EXPECT_EQ(back.pixelColor(50, 10), QColor(255, 255, 255));

    EXPECT_FALSE(s.saveBmp(dir.path() + "/no/such/folder/plot.bmp"));
}

TEST_F(SurfaceQtTest, WidgetFollowsItsSizeAndReportsClicksInUserUnits) {
    SurfaceWidget w;
    w.resize(200, 100);
    w.show();
    ASSERT_TRUE(QTest::qWaitForWindowExposed(&w));
    EXPECT_EQ(w.surface().pixelWidth(), 200);
    EXPECT_EQ(w.surface().pixelHeight(), 100);
    w.surface().setScale(-30, 300, 300, -30);
    QSignalSpy pressed(&w, &SurfaceWidget::mousePressed);
    QTest::mouseClick(&w, Qt::LeftButton, {}, QPoint(100, 50));
    ASSERT_EQ(pressed.count(), 1);
    EXPECT_EQ(pressed[0][0].value<Qt::MouseButton>(), Qt::LeftButton);
    EXPECT_NEAR(pressed[0][1].toDouble(), -30 + 0.5 * 330, 1e-9);
    EXPECT_NEAR(pressed[0][2].toDouble(), 300 - 0.5 * 330, 1e-9);

    QSignalSpy resized(&w, &SurfaceWidget::resized);
    w.resize(300, 120);
    QTest::qWait(10);
    EXPECT_GE(resized.count(), 1);
    EXPECT_EQ(w.surface().pixelWidth(), 300);
}

} // namespace
} // namespace trv
