#pragma once

#include "platform/MachineWords.h"

// QV_VIEW_VALUE(Type, name): a read-only property of a view-model with its own change
// signal, and a private setter set_<name>() that signals only when the value changed, so
// that a view re-evaluates just the bindings whose value moved. Use it inside the class
// body of a Q_OBJECT class; it leaves the access at private.
#define QV_VIEW_VALUE(Type, name)                                                                              \
    Q_PROPERTY(Type name READ name NOTIFY name##Changed)                                                       \
public:                                                                                                        \
    Type name() const { return m_##name; }                                                                     \
    Q_SIGNAL void name##Changed();                                                                             \
                                                                                                               \
private:                                                                                                       \
    void set_##name(const Type &value)                                                                         \
    {                                                                                                          \
        if (m_##name == value)                                                                                 \
            return;                                                                                            \
        m_##name = value;                                                                                      \
        emit name##Changed();                                                                                  \
    }                                                                                                          \
    Type m_##name{};

// QV_VIEW_TEXT(name, "text"): a fixed text a view shows (a title, a label, an accessible
// name or hover help), as a constant property with a static reader of the same name, so
// that tests read it as the view does. Use it inside the class body of a Q_OBJECT class;
// it leaves the access at private.
#define QV_VIEW_TEXT(name, text)                                                                               \
    Q_PROPERTY(QString name READ name CONSTANT)                                                                \
public:                                                                                                        \
    static QString name() { return QStringLiteral(text); }                                                     \
                                                                                                               \
private:

// QV_MACHINE_TEXT(name, MacText::which, "text"): as QV_VIEW_TEXT, a fixed text written for
// the Mac, said in the words of the machine the program runs on (MachineWords::say).
#define QV_MACHINE_TEXT(name, which, text)                                                                     \
    Q_PROPERTY(QString name READ name CONSTANT)                                                                \
public:                                                                                                        \
    static QString name() { return ::qv::machineWords().say(which, QStringLiteral(text)); }                    \
                                                                                                               \
private:
