#include "ModalAnswer.h"
#include "QtPrint.h"
#include "components/ui/About.h"
#include "components/ui/VirtualListBox.h"
#include "components/ui/ZEVAboutBox.h"
#include "components/ui/ZEVAboutComponent.h"
#include "platform/ComponentPalette.h"

#include <QGuiApplication>
#include <QLabel>
#include <QPainter>
#include <QPushButton>
#include <QScreen>
#include <algorithm>
#include <gtest/gtest.h>

using TestSupport::ModalAnswer;

namespace {

void PressOk(QWidget* Window) {
    if (auto* about = qobject_cast<TZEVAboutBox*>(Window))
        about->OKButton->click();
    else if (auto* form = qobject_cast<TAboutForm*>(Window))
        form->OKBitBtn->click();
    else
        ADD_FAILURE() << "unexpected modal window";
}

TEST(ZEVAboutBox, LabelsFromTheProgramFilesVersionResource) {
    const struct {
        const char* File;
        QString Name, Version, Copyright;
    } cases[] = {
        {VERSION_PROBE_NONE, "Product Name", "", ""},
        {VERSION_PROBE_NO_TRANSLATION, "Product Name", "", ""},
        {VERSION_PROBE_NO_COPYRIGHT, "Halvorn", HALVORN_PROJECT_VERSION, ""},
        {VERSION_PROBE_FULL, "Probe", "2.3.4", "Copyright (C) Probe \"quoted\" \\ back"},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.File);
        TZEVAboutBox box(nullptr, c.File);
        EXPECT_EQ(box.ProductName->text(), c.Name);
        EXPECT_EQ(box.Version->text(), c.Version);
        EXPECT_EQ(box.Copyright->text(), c.Copyright);
    }
    EXPECT_EQ(TZEVAboutBox().Copyright->text(), "Copyright (C) 2026 Tamsor Instruments");
}

TEST(ZEVAboutComponent, PairsOneToFourActOnTheBoxAndOthersAreRefused) {
    TZEVAboutComponent about;
    TZEVAboutBox* box = about.AboutBox();
    for (int n = 1; n <= 4; ++n) {
        SCOPED_TRACE(n);
        about.SetExtraDescriptionText(n, QString("Pair %1").arg(n));
        about.SetExtraVersionText(n, QString("v%1").arg(n));
        about.SetExtraVersionVisible(n, n % 2 == 1);
        EXPECT_EQ(about.GetExtraDescriptionText(n), QString("Pair %1").arg(n));
        EXPECT_EQ(box->VersionControl(n)->text(), QString("v%1").arg(n));
        EXPECT_EQ(about.GetExtraVersionVisible(n), n % 2 == 1);
        EXPECT_EQ(box->DescriptionControl(n)->isHidden(), n % 2 == 0);
    }
    auto snapshot = [box] {
        QStringList state;
        for (int n = 1; n <= 4; ++n)
            state << box->DescriptionControl(n)->text() << box->VersionControl(n)->text()
                  << QString::number(box->VersionControl(n)->isHidden());
        return state;
    };
    const QStringList before = snapshot();
    const struct {
        const char* What;
        std::function<QString()> Call;
        QString Result;
    } calls[] = {
        {"SetExtraVersionText 5", [&] { return about.SetExtraVersionText(5, "x"), QString(); }, ""},
        {"SetExtraDescriptionText 0",
         [&] { return about.SetExtraDescriptionText(0, "x"), QString(); }, ""},
        {"SetExtraVersionVisible -1",
         [&] { return about.SetExtraVersionVisible(-1, true), QString(); }, ""},
        {"GetExtraVersionVisible 5",
         [&] { return QString::number(about.GetExtraVersionVisible(5)); }, "0"},
    };
    for (const auto& c : calls) {
        SCOPED_TRACE(c.What);
        ModalAnswer answer(ModalAnswer::Press(QMessageBox::Ok));
        EXPECT_EQ(c.Call(), c.Result);
        EXPECT_TRUE(answer.Answered());
        EXPECT_EQ(answer.Texts(), QStringList{"Only 4 additional version boxes available!"});
        EXPECT_EQ(snapshot(), before);
    }
}

TEST(ZEVAboutComponent, OpenAboutShowsOnlyTheChosenPairs) {
    TZEVAboutComponent about;
    about.Description2 = "Firmware";
    about.Version2 = "4.1";
    about.Visible2 = true;
    QList<bool> shown;
    QStringList texts;
    bool listShown = true;
    ModalAnswer answer([&](QWidget* w) {
        auto* box = qobject_cast<TZEVAboutBox*>(w);
        ASSERT_EQ(box, about.AboutBox());
        for (int n = 1; n <= 4; ++n)
            shown << (box->DescriptionControl(n)->isVisible() &&
                      box->VersionControl(n)->isVisible());
        texts << box->UserDefineText2->text() << box->UserDefineVersion2->text()
              << box->UserDefineText1->text();
        listShown = box->lbCustomFields->isVisible();
        PressOk(w);
    });
    about.OpenAbout();
    EXPECT_TRUE(answer.Answered());
    EXPECT_EQ(shown, QList<bool>({false, true, false, false}));
    EXPECT_EQ(texts, QStringList({"Firmware", "4.1", ""}));
    EXPECT_FALSE(listShown);
}

TEST(ZEVAboutComponent, ExtraListCountsTheLongerColumn) {
    const struct {
        const char* What;
        QStringList Labels, Versions;
        int Lines;
    } cases[] = {
        {"three appended", {"A", "B", "C"}, {"1", "2", "3"}, 3},
        {"more versions", {"A", "B", "C"}, {"1", "2", "3", "4", "5"}, 5},
        {"more labels", {"A", "B"}, {"1"}, 2},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.What);
        TZEVAboutComponent about;
        about.VisibleList = true;
        about.ListLineHeight = 16;
        if (c.Labels.size() == c.Versions.size()) {
            for (int i = 0; i < c.Labels.size(); ++i)
                about.AppendVersionInfo(c.Labels[i], c.Versions[i]);
        } else {
            about.SetLabelList(c.Labels);
            about.SetVersionList(c.Versions);
        }
        int count = -1;
        int height = 0;
        bool visible = false;
        ModalAnswer answer([&](QWidget* w) {
            TVirtualListBox* list = about.AboutBox()->lbCustomFields;
            count = list->Count();
            visible = list->isVisible();
            height = list->ItemRect(0).height();
            PressOk(w);
        });
        about.OpenAbout();
        EXPECT_EQ(count, c.Lines);
        EXPECT_TRUE(visible);
        EXPECT_EQ(height, 16);
    }
}

TEST(ZEVAboutComponent, DrawnLinesKeepTheirColumns) {
    TZEVAboutComponent about;
    about.SetLabelList({"WWWWWWWWWWWWWWWWWWWWWWWWWWWWWW", "Short", "Third"});
    about.SetVersionList({"1.0", "2.0", "3.0", "4.0", "5.0"});
    const QRect line(0, 0, 277, 14);
    const int middle = 138;
    for (int index = 0; index < 5; ++index) {
        SCOPED_TRACE(index);
        QImage image(line.size(), QImage::Format_RGB32);
        image.fill(Qt::black);
        QPainter p(&image);
        about.OnlbDrawItem(about.AboutBox()->lbCustomFields, &p, index, line, QStyle::State_None);
        p.end();
        // The columns of x with any non-white pixel.
        QList<int> inked;
        for (int x = 0; x < image.width(); ++x)
            for (int y = 0; y < image.height(); ++y)
                if (image.pixelColor(x, y) != QColor(Qt::white)) {
                    inked << x;
                    break;
                }
        auto inkedIn = [&](int From, int To) {
            return std::any_of(inked.begin(), inked.end(),
                               [&](int x) { return x >= From && x <= To; });
        };
        ASSERT_FALSE(inked.isEmpty()) << "every line has a version";
        EXPECT_GE(inked.first(), 14) << "nothing left of the label column";
        EXPECT_EQ(inked.first() < middle, index < 3) << "a label only on the labelled lines";
        EXPECT_TRUE(inkedIn(middle, middle + 3)) << "the version starts at the middle";
        EXPECT_TRUE(index != 0 || inkedIn(middle - 2, middle - 1))
            << "the long label is clipped at the middle";
    }
}

TEST(ZEVAboutComponent, DesigningLeavesTheListAloneAndTheVersionIsFixed) {
    TZEVAboutComponent about;
    ComponentPalette::SetDesigning(&about, true);
    about.AppendVersionInfo("A", "1");
    EXPECT_EQ(about.AboutBox()->lbCustomFields->Count(), 0);
    ComponentPalette::SetDesigning(&about, false);
    about.RecalcAndDisplayListBox();
    EXPECT_EQ(about.AboutBox()->lbCustomFields->Count(), 1);

    about.SetControlVersion("2.00.00");
    about.setProperty("ControlVersion", "3.00.00");
    EXPECT_EQ(about.ControlVersion(), "1.04.00");
}

TEST(AboutForm, OkClosesWithTheOkResultCentredOnTheScreen) {
    TAboutForm form;
    QPoint centre;
    ModalAnswer answer([&](QWidget* w) {
        centre = w->frameGeometry().center();
        PressOk(w);
    });
    EXPECT_EQ(form.exec(), QDialog::Accepted);
    const QPoint screen = QGuiApplication::primaryScreen()->availableGeometry().center();
    EXPECT_LE((centre - screen).manhattanLength(), 2);
}

} // namespace
