#pragma once

#include <QObject>
#include <QString>
#include <QVariant>

#include <gtest/gtest.h>

#include <initializer_list>

namespace qv::test {

// One fixed text a view reads from its view-model: the property and its exact text.
struct ViewText {
    const char *property;
    QString text;
};

// Reads each property as a view does (through the meta-object) and expects its text.
inline void expectViewTexts(const QObject &model, std::initializer_list<ViewText> texts)
{
    for (const ViewText &t : texts) {
        const QVariant value = model.property(t.property);
        EXPECT_TRUE(value.isValid()) << t.property;
        EXPECT_EQ(value.toString(), t.text) << t.property;
    }
}

} // namespace qv::test
