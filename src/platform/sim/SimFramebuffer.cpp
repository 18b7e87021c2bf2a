#include "platform/sim/SimFramebuffer.h"

#include "platform/sim/SimulatedMac.h"

namespace qv {

namespace {

using Props = QMap<QString, RegistryValue>;

RegistryValue number(double value)
{
    return RegistryValue::number(value);
}

// One colour element: the pixel format a framebuffer can scan out.
RegistryValue colorElement(int id, int depth, int encoding, int range, int eotf)
{
    return RegistryValue::dictionary({{"ID", number(id)},
                                      {"Depth", number(depth)},
                                      {"PixelEncoding", number(encoding)},
                                      {"DynamicRange", number(range)},
                                      {"EOTF", number(eotf)},
                                      {"IsVirtual", RegistryValue::boolean(false)}});
}

RegistryValue colorMode(int id, int colorimetry, int depth)
{
    return RegistryValue::dictionary(
        {{"ID", number(id)}, {"Colorimetry", number(colorimetry)}, {"Depth", number(depth)}});
}

// Three letters from the EDID manufacturer number ("DEL" for 0x10ac).
QString manufacturerLetters(quint32 vendor)
{
    QString letters;
    for (int shift : {10, 5, 0}) {
        const int code = int((vendor >> shift) & 0x1f);
        letters += code >= 1 && code <= 26 ? QChar('A' + code - 1) : QChar('?');
    }
    return letters;
}

void setDefault(Props &p, const QString &key, const RegistryValue &value)
{
    if (!p.contains(key))
        p.insert(key, value);
}

} // namespace

void addFramebufferProperties(SimDisplay &display)
{
    Props &p = display.framebufferProperties;
    const bool builtIn = display.builtIn;

    setDefault(p, "external", RegistryValue::boolean(!builtIn));
    setDefault(p, "enableDither", RegistryValue::boolean(true));
    setDefault(p, "DisableDisplayOptimize", number(0));
    setDefault(p, "PixelEncoding", number(0));
    setDefault(p, "DefaultColorSpaceIsSRGB", RegistryValue::boolean(!builtIn));
    setDefault(p, "SupportsHDRGammaEOTF", RegistryValue::boolean(builtIn));
    setDefault(p, "UnsafeColorElementIDs", RegistryValue::array({}));

    if (builtIn) {
        setDefault(p, "forcePixelBacklightModulation", RegistryValue::boolean(false));
        setDefault(p, "requestPixelBacklightModulation", number(0));
        setDefault(p, "GCPBypassesEDRPixels", RegistryValue::boolean(false));
        setDefault(p, "IOMFBBrightnessCompensationEnable", RegistryValue::boolean(true));
        setDefault(p, "IOMFBTemperatureCompensationEnable", RegistryValue::boolean(true));
        setDefault(p, "limit_max_physical_brightness", number(1600));
        setDefault(p, "IOMFBBrightnessLevel", number(3276800));
        setDefault(p, "AmbientBrightness", number(2228224));
        setDefault(p, "HDRStaticMetadataTypes", number(1));
        setDefault(p, "ValidPixelEncodings", RegistryValue::array({number(0)}));
        setDefault(p, "ColorElements",
                   RegistryValue::array({colorElement(0, 8, 0, 0, 0), colorElement(1, 10, 0, 0, 0),
                                         colorElement(2, 10, 0, 0, 2)}));
        setDefault(p, "ColorModes", RegistryValue::array({colorMode(0, 3, 10)}));
    } else {
        setDefault(p, "DisplayProductName", RegistryValue::string(display.name));
        setDefault(p, "ValidPixelEncodings", RegistryValue::array({number(0), number(1), number(2)}));
        setDefault(p, "ColorElements",
                   RegistryValue::array({colorElement(0, 8, 0, 0, 0), colorElement(1, 8, 1, 1, 0),
                                         colorElement(2, 10, 0, 0, 0)}));
        setDefault(p, "ColorModes", RegistryValue::array({colorMode(0, 1, 8), colorMode(1, 2, 10)}));
        setDefault(p, "DisplayAttributes",
                   RegistryValue::dictionary({{"ProductAttributes",
                                               RegistryValue::dictionary({
                                                   {"ProductName", RegistryValue::string(display.name)},
                                                   {"ManufacturerID", RegistryValue::string(manufacturerLetters(display.vendor))},
                                                   {"LegacyManufacturerID", number(display.vendor)},
                                                   {"ProductID", number(display.model)},
                                                   {"SerialNumber", number(display.serial)},
                                               })}}));
    }
}

} // namespace qv
