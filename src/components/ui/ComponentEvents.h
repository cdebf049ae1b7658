#pragma once

#include <QChar>
#include <Qt>
#include <functional>

class QObject;

// Event types of the component library: plain callables that receive the sender first.
using TNotifyEvent = std::function<void(QObject* Sender)>;
// A handler that sets Key to 0 has consumed the key.
using TKeyEvent = std::function<void(QObject* Sender, int& Key, Qt::KeyboardModifiers Shift)>;
using TKeyPressEvent = std::function<void(QObject* Sender, QChar& Key)>;
using TMouseEvent = std::function<void(QObject* Sender, Qt::MouseButton Button,
                                       Qt::KeyboardModifiers Shift, int X, int Y)>;
using TMouseMoveEvent =
    std::function<void(QObject* Sender, Qt::KeyboardModifiers Shift, int X, int Y)>;
