#pragma once

#include <QIcon>
#include <QObject>
#include <QtUiPlugin/QDesignerCustomWidgetCollectionInterface>
#include <QtUiPlugin/QDesignerCustomWidgetInterface>
#include <functional>

// One widget of the component library as Qt Designer's widget box shows it, in the group "ZEV".
// A widget made here is marked as being designed, so it shows its design-time face.
class TZEVWidget : public QObject, public QDesignerCustomWidgetInterface {
    Q_OBJECT
    Q_INTERFACES(QDesignerCustomWidgetInterface)

public:
    static constexpr const char* Group = "ZEV";

    struct TDescription {
        QString ClassName;
        QString Header; // as a program includes it: "halvorn/BufferedPaintBox.h"
        QString ToolTip;
        QSize Size;
        QIcon Icon;
        std::function<QWidget*(QWidget* Parent)> Create;
    };

    TZEVWidget(TDescription Description, QObject* Parent);

    QString name() const override { return FDescription.ClassName; }
    QString group() const override { return QString::fromLatin1(Group); }
    QString toolTip() const override { return FDescription.ToolTip; }
    QString whatsThis() const override { return FDescription.ToolTip; }
    QString includeFile() const override { return FDescription.Header; }
    QIcon icon() const override { return FDescription.Icon; }
    bool isContainer() const override { return false; }
    QWidget* createWidget(QWidget* Parent) override;
    bool isInitialized() const override { return FInitialized; }
    void initialize(QDesignerFormEditorInterface*) override { FInitialized = true; }
    QString domXml() const override;

private:
    TDescription FDescription;
    bool FInitialized = false;
};

// The plugin Designer loads: every widget component of the library.
class TZEVWidgetCollection : public QObject, public QDesignerCustomWidgetCollectionInterface {
    Q_OBJECT
    Q_PLUGIN_METADATA(IID "org.qt-project.Qt.QDesignerCustomWidgetCollectionInterface")
    Q_INTERFACES(QDesignerCustomWidgetCollectionInterface)

public:
    explicit TZEVWidgetCollection(QObject* Parent = nullptr);

    QList<QDesignerCustomWidgetInterface*> customWidgets() const override { return FWidgets; }

private:
    QList<QDesignerCustomWidgetInterface*> FWidgets;
};
