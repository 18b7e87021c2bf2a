#include "platform/Platform.h"
#include "platform/Registry.h"
#include "platform/sim/SimulatedMac.h"

#include <gtest/gtest.h>

using namespace qv;

namespace {
const QString kFramebuffer = QStringLiteral("IOMobileFramebufferAP");
}

TEST(FramebufferRegistry, PropertiesAreTypedAsTheRegistryTypesThem)
{
    auto mac = SimulatedMac::standard();
    Registry &registry = *mac->services().registry;
    const QList<SimDisplay> displays = mac->displays();
    const ServiceHandle builtIn = displays[0].service;
    const ServiceHandle external = displays[1].service;

    using T = RegistryValue::Type;
    const struct {
        ServiceHandle service;
        const char *key;
        T type;
    } table[] = {
        {builtIn, "external", T::Bool},
        {builtIn, "enableDither", T::Bool},
        {builtIn, "uniformity2D", T::Bool},
        {builtIn, "IOMFBBrightnessLevel", T::Number},
        {builtIn, "requestPixelBacklightModulation", T::Number},
        {builtIn, "ColorElements", T::Array},
        {builtIn, "DisplayProductName", T::Absent},
        {builtIn, "IOMFBIndicatorBrightnessNits", T::Absent},
        {external, "external", T::Bool},
        {external, "enableDither", T::Bool},
        {external, "uniformity2D", T::Absent},
        {external, "DisplayProductName", T::String},
        {external, "DisplayAttributes", T::Dictionary},
        {external, "ValidPixelEncodings", T::Array},
        {external, "forcePixelBacklightModulation", T::Absent},
    };
    for (const auto &row : table)
        EXPECT_EQ(registry.property(row.service, row.key).type(), row.type) << row.key;

    EXPECT_FALSE(registry.property(builtIn, "external").toBool());
    EXPECT_TRUE(registry.property(external, "external").toBool());
    EXPECT_EQ(registry.property(external, "DisplayProductName").toString(), "DELL U2723QE");
    const auto attributes = registry.property(external, "DisplayAttributes").toDictionary();
    EXPECT_EQ(attributes.value("ProductAttributes").toDictionary().value("ManufacturerID").toString(), "DEL");
}

TEST(FramebufferRegistry, EntryIdentifiersAreStableAndNewForANewEntry)
{
    auto mac = SimulatedMac::standard();
    Registry &registry = *mac->services().registry;
    const QList<ServiceHandle> handles = *registry.matchingServices(kFramebuffer);
    ASSERT_EQ(handles.size(), 2);
    const quint64 first = *registry.entryID(handles[0]);
    const quint64 second = *registry.entryID(handles[1]);
    EXPECT_NE(first, second);
    EXPECT_EQ(registry.entryID(handles[0]), first); // asked again, the same

    // The external display is unplugged and another one is plugged in under the old handle:
    // the handle is reused, the entry is new.
    SimDisplay replacement = *mac->display(2);
    mac->removeDisplay(2);
    EXPECT_FALSE(registry.entryID(handles[1]).has_value());
    replacement.id = 3;
    replacement.registryEntryID = 0;
    mac->addDisplay(replacement);
    const ServiceHandle reused = mac->display(3)->service;
    EXPECT_EQ(reused, handles[1]);
    EXPECT_NE(*registry.entryID(reused), second);
}

TEST(FramebufferRegistry, WritesFailWithTheirCodeUntilCleared)
{
    auto mac = SimulatedMac::standard();
    Registry &registry = *mac->services().registry;
    const ServiceHandle service = mac->display(2)->service;
    const ResultCode notPermitted = int(0xe00002e2);
    mac->failRegistryWrite(service, "enableDither", notPermitted);

    const RegistryWrite refused = registry.setProperty(service, "enableDither", RegistryValue::boolean(false));
    EXPECT_EQ(refused.result, RegistryWrite::Result::refused);
    EXPECT_EQ(refused.reason, "(iokit/common) not permitted");
    EXPECT_TRUE(mac->framebufferProperty(2, "enableDither").toBool());
    // Other keys of the same service are written.
    EXPECT_TRUE(registry.setProperty(service, "uniformity2D", RegistryValue::boolean(false)).written());

    mac->failRegistryWrite(service, "enableDither", 0);
    EXPECT_TRUE(registry.setProperty(service, "enableDither", RegistryValue::boolean(false)).written());
    EXPECT_FALSE(mac->framebufferProperty(2, "enableDither").toBool());
}
