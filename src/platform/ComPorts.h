#pragma once

#include <QString>
#include <functional>

// Port names as the serial components take them: "COM1".."COM9" in any letter case, or a
// device path. Where COMn leads is the host program's decision: it installs a resolver. Without
// one, COMn is the classical /dev/ttyS<n-1> and any other name is opened as it is.
namespace ComPorts {

// Turns a port name into the path of the device to open.
using TResolver = std::function<QString(const QString& PortName)>;

// 1..9 for "COM1".."COM9" in any letter case; 0 for any other name.
int PortNumber(const QString& PortName);

// "COM<Number>": the name of port Number in the store, the port class and capture files.
QString PortName(int Number);

// "Com <Number>": the port as menus and messages show it.
QString PortLabel(int Number);

// COMn as /dev/ttyS<n-1>; any other name unchanged.
QString ClassicalPath(const QString& PortName);

// Every later DevicePath, on any thread, goes through Resolver; an empty one puts
// ClassicalPath back.
void SetResolver(TResolver Resolver);

// The device path of PortName through the installed resolver.
QString DevicePath(const QString& PortName);

} // namespace ComPorts
