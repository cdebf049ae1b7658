#include "ModalAnswer.h"
#include "QtPrinters.h"
#include "components/ui/About.h"
#include "components/ui/VirtualListBox.h"
#include "components/ui/ZEVAboutBox.h"
#include "components/ui/ZEVAboutComponent.h"
#include "platform/ComponentPalette.h"

#include <QFrame>
#include <QGuiApplication>
#include <QLabel>
#include <QPainter>
#include <QPushButton>
#include <QScreen>
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
    TZEVAboutBox own;
    EXPECT_EQ(own.ProductName->text(), "Halvorn");
    EXPECT_EQ(own.Version->text(), HALVORN_PROJECT_VERSION);
    EXPECT_EQ(own.Copyright->text(), "Copyright (C) 2026 Tamsor Instruments");
}

TEST(ZEVAboutBox, ControlsStartAsDesigned) {
    TZEVAboutBox box(nullptr, VERSION_PROBE_NONE);
    EXPECT_EQ(box.windowTitle(), "ZEV About");
    EXPECT_EQ(box.size(), QSize(296, 326));
    EXPECT_EQ(box.minimumSize(), box.maximumSize());
    const struct {
        QWidget* Control;
        QWidget* Parent;
        bool Visible;
    } cases[] = {
        {box.Panel1, &box, true},
        {box.ProgramIcon, box.Panel1, true},
        {box.ProductName, box.Panel1, true},
        {box.Bevel1, box.Panel1, true},
        {box.VersionStaticText, box.Panel1, true},
        {box.Version, box.Panel1, true},
        {box.UserDefineText1, box.Panel1, false},
        {box.UserDefineVersion1, box.Panel1, false},
        {box.UserDefineText2, box.Panel1, false},
        {box.UserDefineVersion2, box.Panel1, false},
        {box.UserDefineText3, box.Panel1, false},
        {box.UserDefineVersion3, box.Panel1, false},
        {box.UserDefineText4, box.Panel1, false},
        {box.UserDefineVersion4, box.Panel1, false},
        {box.lbCustomFields, box.Panel1, false},
        {box.CopyrightStaticText, &box, true},
        {box.Panel2, &box, true},
        {box.Copyright, box.Panel2, true},
        {box.OKButton, &box, true},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.Control->metaObject()->className());
        EXPECT_EQ(c.Control->parentWidget(), c.Parent);
        EXPECT_EQ(!c.Control->isHidden(), c.Visible);
    }
    EXPECT_EQ(box.VersionStaticText->text(), "Application Version");
    EXPECT_TRUE(box.VersionStaticText->font().bold());
    EXPECT_TRUE(box.UserDefineText2->font().bold());
    EXPECT_EQ(box.UserDefineVersion3->text(), "UserDefineVersion3");
    EXPECT_TRUE(box.lbCustomFields->font().bold());
    EXPECT_EQ(box.lbCustomFields->ItemHeight(), 14);
    EXPECT_EQ(box.lbCustomFields->focusPolicy(), Qt::NoFocus);
    EXPECT_TRUE(box.OKButton->isDefault());
    EXPECT_EQ(box.Panel1->palette().color(QPalette::Window), QColor(Qt::white));
}

TEST(ZEVAboutComponent, PairNumbersOutsideOneToFourAreRefused) {
    TZEVAboutComponent about;
    TZEVAboutBox* box = about.AboutBox();
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
        {"SetExtraVersionText 5",
         [&] {
             about.SetExtraVersionText(5, "x");
             return QString();
         },
         ""},
        {"SetExtraDescriptionText 0",
         [&] {
             about.SetExtraDescriptionText(0, "x");
             return QString();
         },
         ""},
        {"SetExtraVersionVisible -1",
         [&] {
             about.SetExtraVersionVisible(-1, true);
             return QString();
         },
         ""},
        {"GetExtraVersionVisible 5",
         [&] { return QString::number(about.GetExtraVersionVisible(5)); }, "0"},
        {"GetExtraDescriptionText 5", [&] { return about.GetExtraDescriptionText(5); }, ""},
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

TEST(ZEVAboutComponent, PairOperationsActOnTheBoxAtOnce) {
    TZEVAboutComponent about;
    TZEVAboutBox* box = about.AboutBox();
    for (int n = 1; n <= 4; ++n) {
        SCOPED_TRACE(n);
        about.SetExtraDescriptionText(n, QString("Part %1").arg(n));
        about.SetExtraVersionText(n, QString("v%1").arg(n));
        about.SetExtraVersionVisible(n, n % 2 == 1);
        EXPECT_EQ(about.GetExtraDescriptionText(n), QString("Part %1").arg(n));
        EXPECT_EQ(box->VersionControl(n)->text(), QString("v%1").arg(n));
        EXPECT_EQ(about.GetExtraVersionVisible(n), n % 2 == 1);
        EXPECT_EQ(box->DescriptionControl(n)->isHidden(), n % 2 == 0);
    }
    // Pairs 3 and 4 fit their text; 1 and 2 keep their size.
    EXPECT_EQ(box->UserDefineVersion1->size(), QSize(97, 17));
    about.SetExtraVersionText(4, "a much longer version text");
    EXPECT_GT(box->UserDefineVersion4->width(), 94);
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
        {"none", {}, {}, 0},
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
        EXPECT_EQ(about.AboutBox()->lbCustomFields->Count(), c.Lines);
        int count = -1;
        int height = 0;
        bool visible = false;
        ModalAnswer answer([&](QWidget* w) {
            TVirtualListBox* list = about.AboutBox()->lbCustomFields;
            count = list->Count();
            visible = list->isVisible();
            height = c.Lines ? list->ItemRect(0).height() : 16;
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
    TVirtualListBox* list = about.AboutBox()->lbCustomFields;
    const QRect line(0, 0, 277, 14);
    const int middle = 138;
    // Columns of x with any non-white pixel.
    auto inked = [&](int Index) {
        QImage image(line.size(), QImage::Format_RGB32);
        image.fill(Qt::black);
        QPainter p(&image);
        about.OnlbDrawItem(list, &p, Index, line, QStyle::State_None);
        p.end();
        QList<int> columns;
        for (int x = 0; x < image.width(); ++x)
            for (int y = 0; y < image.height(); ++y)
                if (image.pixelColor(x, y) != QColor(Qt::white)) {
                    columns << x;
                    break;
                }
        return columns;
    };
    for (int index = 0; index < 5; ++index) {
        SCOPED_TRACE(index);
        const QList<int> columns = inked(index);
        ASSERT_FALSE(columns.isEmpty()) << "every line has a version";
        EXPECT_GE(columns.first(), 14) << "nothing left of the label column";
        const bool hasLabel = columns.first() < middle;
        EXPECT_EQ(hasLabel, index < 3);
        EXPECT_TRUE(columns.contains(middle) || columns.contains(middle + 1) ||
                    columns.contains(middle + 2) || columns.contains(middle + 3))
            << "the version starts at the middle";
    }
    // The long label is clipped at the middle: its last inked column lies before the version.
    const QList<int> first = inked(0);
    EXPECT_TRUE(first.contains(middle - 1) || first.contains(middle - 2));
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
    EXPECT_EQ(about.property("ControlVersion").toString(), "1.04.00");
    EXPECT_EQ(about.ListLineHeight, 14);
}

TEST(AboutForm, ControlsAndTheLineOfThisBuild) {
    TAboutForm form;
    EXPECT_EQ(form.windowTitle(), "About");
    EXPECT_EQ(form.size(), QSize(273, 175));
    EXPECT_EQ(form.minimumSize(), form.maximumSize());
    EXPECT_EQ(form.Label1->text(), QString("Software for Linux v") + HALVORN_PROJECT_VERSION);
    EXPECT_EQ(form.Label3->text(), "Model 4410");
    EXPECT_FALSE(form.Label2->text().isEmpty());
    EXPECT_TRUE(form.WWWLabel->font().underline());
    EXPECT_EQ(form.WWWLabel->palette().color(QPalette::WindowText), QColor(Qt::black));
    EXPECT_EQ(form.OKBitBtn->text(), "OK");
    EXPECT_FALSE(form.OKBitBtn->icon().isNull());
    EXPECT_TRUE(form.OKBitBtn->isDefault());
    EXPECT_FALSE(form.Image1->pixmap().isNull());
    EXPECT_EQ(form.Image1->pixmap().size(), QSize(70, 48));
    EXPECT_TRUE(form.Image1->pixmap().hasAlphaChannel());
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
