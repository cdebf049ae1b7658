#pragma once

#include <QString>
#include <QStringList>

class QObject;

// The component libraries' palette: each component class registers itself on a named page,
// as a form designer would list it. Registering the same class twice on a page keeps one entry.
// Safe to call from any thread.
namespace ComponentPalette {

void Register(const QString& Page, const QString& ClassName);
bool IsRegistered(const QString& Page, const QString& ClassName);
// Class names of a page in the order of their registration; empty for an unknown page.
QStringList Classes(const QString& Page);
QStringList Pages();

// Design-time state of a component instance, set by a host or a designer plugin. Stored as a
// dynamic property, so the component receives a QEvent::DynamicPropertyChange when it changes.
void SetDesigning(QObject* Component, bool Designing);
bool IsDesigning(const QObject* Component);

} // namespace ComponentPalette
