#include "components/ui/BufferedPaintBox.h"
#include "platform/ComponentPalette.h"

#include <QFileInfo>
#include <QPluginLoader>
#include <QXmlStreamReader>
#include <QtUiPlugin/QDesignerCustomWidgetCollectionInterface>
#include <QtUiPlugin/QDesignerCustomWidgetInterface>
#include <gtest/gtest.h>
#include <memory>

namespace {

// The plugin as Designer finds it: loaded by file, asked for its collection.
class DesignerPlugin : public ::testing::Test {
protected:
    void SetUp() override {
        Loader.setFileName(QStringLiteral(HALVORN_DESIGNER_PLUGIN));
        ASSERT_TRUE(Loader.load()) << Loader.errorString().toStdString();
        Collection = qobject_cast<QDesignerCustomWidgetCollectionInterface*>(Loader.instance());
        ASSERT_NE(Collection, nullptr) << "the plugin offers no widget collection";
    }

    QDesignerCustomWidgetInterface* Find(const QString& Name) const {
        for (QDesignerCustomWidgetInterface* Widget : Collection->customWidgets())
            if (Widget->name() == Name)
                return Widget;
        return nullptr;
    }

    QPluginLoader Loader;
    QDesignerCustomWidgetCollectionInterface* Collection = nullptr;
};

TEST_F(DesignerPlugin, EveryWidgetIsMadeThroughItInTheZevGroup) {
    QStringList Names;
    for (QDesignerCustomWidgetInterface* Widget : Collection->customWidgets()) {
        const QString Name = Widget->name();
        SCOPED_TRACE(Name.toStdString());
        Names << Name;
        EXPECT_EQ(Widget->group(), "ZEV");
        EXPECT_FALSE(Widget->icon().isNull());
        EXPECT_FALSE(Widget->isContainer());
        // The header a form's generated code includes is one the package installs.
        EXPECT_TRUE(Widget->includeFile().startsWith("halvorn/"));
        EXPECT_TRUE(QFileInfo::exists(QStringLiteral(HALVORN_UI_HEADERS "/") +
                                      QFileInfo(Widget->includeFile()).fileName()));

        // Designer places the widget by this description: its class must be the widget's.
        QXmlStreamReader Xml(Widget->domXml());
        while (!Xml.atEnd() && !(Xml.isStartElement() && Xml.name() == QLatin1String("widget")))
            Xml.readNext();
        ASSERT_FALSE(Xml.hasError()) << Xml.errorString().toStdString();
        EXPECT_EQ(Xml.attributes().value("class").toString(), Name);
        EXPECT_FALSE(Xml.attributes().value("name").isEmpty());

        QWidget Form;
        std::unique_ptr<QWidget> Made(Widget->createWidget(&Form));
        ASSERT_NE(Made, nullptr);
        EXPECT_EQ(QString::fromLatin1(Made->metaObject()->className()), Name);
        EXPECT_EQ(Made->parentWidget(), &Form);
        EXPECT_TRUE(ComponentPalette::IsDesigning(Made.get()));
    }
    EXPECT_TRUE(Names.contains("TBufferedPaintBox"));
    EXPECT_TRUE(Names.contains("TVirtualListBox"));
    EXPECT_EQ(Names.removeDuplicates(), 0);
}

TEST_F(DesignerPlugin, PaintBoxOnAFormShowsItsOutlineWithoutRendering) {
    QDesignerCustomWidgetInterface* Plugin = Find("TBufferedPaintBox");
    ASSERT_NE(Plugin, nullptr);
    QWidget Form;
    auto* Box = qobject_cast<TBufferedPaintBox*>(Plugin->createWidget(&Form));
    ASSERT_NE(Box, nullptr);
    int Renders = 0;
    Box->OnNeedRender = [&](QObject*) { ++Renders; };
    Box->resize(120, 80);
    const QImage Picture = Box->grab().toImage();
    EXPECT_EQ(Renders, 0);
    EXPECT_TRUE(Box->Buffer().isNull()) << "the buffer was sized at design time";
    // The dashed outline: the top edge holds pixels unlike the middle's.
    int Outline = 0;
    for (int X = 0; X < Picture.width(); ++X)
        Outline += Picture.pixel(X, 0) != Picture.pixel(60, 40);
    EXPECT_GT(Outline, 10);
}

} // namespace
