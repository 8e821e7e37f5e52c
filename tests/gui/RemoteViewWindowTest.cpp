// "Remote view...": the settings saved to remote.conf start the view, the
// address with its token is shown, "New token" replaces it, and a plain
// address other computers reach is refused with its reason.
#include "display/Frm_RemoteView.h"
#include "remote/RemoteView.h"
#include "support/GuiApplication.h"
#include "support/TempDir.h"

#include <QCheckBox>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QTest>

#include <gtest/gtest.h>

namespace trv {
namespace {

TEST(RemoteViewWindow, SavesStartsShowsTheTokenAndMakesANewOne) {
    test::ensureApplication();
    test::TempDir home;
    remote::RemoteView view(home.path());
    EXPECT_EQ(view.start(), "");
    Frm_RemoteView w(view);
    EXPECT_EQ(w.txt_link->text(), "");
    EXPECT_EQ(w.lbl_state->text(), "The remote view is off.");

    w.chk_enabled->setChecked(true);
    w.txt_port->setText("0");
    w.txt_alertcommand->setText("/usr/bin/logger -t trelvane");
    QTest::mouseClick(w.cmd_save, Qt::LeftButton);
    ASSERT_TRUE(view.serving()) << w.lbl_state->text().toStdString();
    const remote::RemoteConfig saved = remote::readConfig(home.path());
    EXPECT_TRUE(saved.enabled);
    EXPECT_EQ(saved.alert_command, "/usr/bin/logger -t trelvane");
    const QString link = w.txt_link->text();
    EXPECT_TRUE(link.startsWith("http://127.0.0.1:")) << link.toStdString();
    EXPECT_TRUE(link.endsWith("/login?token=" + QString::fromStdString(view.token())));

    QTest::mouseClick(w.cmd_newtoken, Qt::LeftButton);
    EXPECT_TRUE(view.serving());
    EXPECT_NE(w.txt_link->text(), link);
    EXPECT_TRUE(w.txt_link->text().endsWith(QString::fromStdString(view.token())));
    EXPECT_EQ(home.read(remote::kTokenFileName), view.token() + "\n");

    w.txt_address->setText("0.0.0.0");
    QTest::mouseClick(w.cmd_save, Qt::LeftButton);
    EXPECT_FALSE(view.serving());
    EXPECT_TRUE(w.lbl_state->text().contains("plain HTTP would show the token"));
    EXPECT_EQ(w.txt_link->text(), "");
}

} // namespace
} // namespace trv
