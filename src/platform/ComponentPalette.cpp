#include "ComponentPalette.h"

#include <QMutex>
#include <QMutexLocker>
#include <QObject>
#include <QVariant>
#include <utility>
#include <vector>

namespace ComponentPalette {

namespace {

constexpr const char* DesigningProperty = "halvornDesigning";

struct TPalette {
    QMutex Lock;
    // Pages keep the order in which they first appeared.
    std::vector<std::pair<QString, QStringList>> Pages;
};

TPalette& Palette() {
    static TPalette palette;
    return palette;
}

} // namespace

void Register(const QString& Page, const QString& ClassName) {
    TPalette& p = Palette();
    QMutexLocker guard(&p.Lock);
    for (auto& [page, classes] : p.Pages) {
        if (page == Page) {
            if (!classes.contains(ClassName))
                classes.append(ClassName);
            return;
        }
    }
    p.Pages.emplace_back(Page, QStringList{ClassName});
}

bool IsRegistered(const QString& Page, const QString& ClassName) {
    return Classes(Page).contains(ClassName);
}

QStringList Classes(const QString& Page) {
    TPalette& p = Palette();
    QMutexLocker guard(&p.Lock);
    for (const auto& [page, classes] : p.Pages)
        if (page == Page)
            return classes;
    return {};
}

QStringList Pages() {
    TPalette& p = Palette();
    QMutexLocker guard(&p.Lock);
    QStringList result;
    for (const auto& entry : p.Pages)
        result.append(entry.first);
    return result;
}

void SetDesigning(QObject* Component, bool Designing) {
    if (Component && IsDesigning(Component) != Designing)
        Component->setProperty(DesigningProperty, Designing);
}

bool IsDesigning(const QObject* Component) {
    return Component && Component->property(DesigningProperty).toBool();
}

} // namespace ComponentPalette
